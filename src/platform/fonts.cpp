#include "platform/fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <mutex>

namespace vesk::platform {

namespace {

// One library handle for every face; FreeType's library is not thread-safe,
// so faces are opened and closed under the lock.
std::mutex ftLock;
FT_Library ftLibrary = nullptr;
int ftUsers = 0;

FT_Library AcquireLibrary() {
    std::lock_guard lock(ftLock);
    if (!ftLibrary && FT_Init_FreeType(&ftLibrary) != 0) {
        ftLibrary = nullptr;
        return nullptr;
    }
    ++ftUsers;
    return ftLibrary;
}

void ReleaseLibrary() {
    std::lock_guard lock(ftLock);
    if (--ftUsers == 0 && ftLibrary) {
        FT_Done_FreeType(ftLibrary);
        ftLibrary = nullptr;
    }
}

class FreeTypeFace : public IFontFace {
public:
    FreeTypeFace(FT_Face face, int size) : face_(face), size_(size) {}
    ~FreeTypeFace() override {
        {
            std::lock_guard lock(ftLock);
            FT_Done_Face(face_);
        }
        ReleaseLibrary();
    }
    int PixelSize() const override { return size_; }
    int Ascender() const override { return static_cast<int>(face_->size->metrics.ascender >> 6); }
    int Descender() const override { return static_cast<int>(face_->size->metrics.descender >> 6); }
    int LineHeight() const override { return static_cast<int>(face_->size->metrics.height >> 6); }

    int Advance(char32_t c) override {
        if (FT_Load_Char(face_, c, FT_LOAD_DEFAULT) != 0) return 0;
        return static_cast<int>((face_->glyph->advance.x + 32) >> 6);
    }

    int Kerning(char32_t left, char32_t right) override {
        if (!FT_HAS_KERNING(face_)) return 0;
        FT_Vector k{};
        if (FT_Get_Kerning(face_, FT_Get_Char_Index(face_, left), FT_Get_Char_Index(face_, right),
                           FT_KERNING_DEFAULT, &k) != 0)
            return 0;
        return static_cast<int>(k.x >> 6);
    }

    bool Rasterize(char32_t c, GlyphBitmap& out) override {
        out = {};
        if (FT_Load_Char(face_, c, FT_LOAD_RENDER) != 0) return false;
        const FT_GlyphSlot g = face_->glyph;
        const FT_Bitmap& b = g->bitmap;
        out.advance = static_cast<int>((g->advance.x + 32) >> 6);
        out.left = g->bitmap_left;
        out.top = g->bitmap_top;
        if (b.pixel_mode != FT_PIXEL_MODE_GRAY) return b.width == 0 || b.rows == 0;
        out.width = static_cast<int>(b.width);
        out.height = static_cast<int>(b.rows);
        out.coverage.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
        for (int y = 0; y < out.height; ++y) {
            const unsigned char* row = b.buffer + static_cast<ptrdiff_t>(y) * b.pitch;
            std::copy(row, row + out.width, out.coverage.begin() + static_cast<ptrdiff_t>(y) * out.width);
        }
        return true;
    }

private:
    FT_Face face_;
    int size_;
};

class FixedWidthFace : public IFontFace {
public:
    FixedWidthFace(int size, int advance) : size_(size), advance_(advance) {}
    int PixelSize() const override { return size_; }
    int Ascender() const override { return size_ - size_ / 4; }
    int Descender() const override { return -(size_ / 4); }
    int LineHeight() const override { return size_; }
    int Advance(char32_t) override { return advance_; }
    int Kerning(char32_t, char32_t) override { return 0; }
    bool Rasterize(char32_t c, GlyphBitmap& out) override {
        out = {};
        out.advance = advance_;
        if (c == U' ') return true;
        out.width = std::max(advance_ - 1, 0);
        out.height = size_;
        out.top = Ascender();
        out.coverage.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 255);
        return true;
    }

private:
    int size_, advance_;
};

} // namespace

std::unique_ptr<IFontFace> OpenFontFace(const std::string& path, int pixelSize) {
    if (pixelSize <= 0) return nullptr;
    FT_Library lib = AcquireLibrary();
    if (!lib) return nullptr;
    FT_Face face = nullptr;
    {
        std::lock_guard lock(ftLock);
        if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) face = nullptr;
        if (face && FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
            FT_Done_Face(face);
            face = nullptr;
        }
    }
    if (!face) {
        ReleaseLibrary();
        return nullptr;
    }
    return std::make_unique<FreeTypeFace>(face, pixelSize);
}

std::string StandInFontPath() {
    return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

std::unique_ptr<IFontFace> MakeFixedWidthFont(int pixelSize, int advance) {
    return std::make_unique<FixedWidthFace>(pixelSize, advance);
}

} // namespace vesk::platform
