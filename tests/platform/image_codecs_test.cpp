#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/gfx/d3dx.h"
#include "platform/gfx/null_device.h"
#include "platform/image_codecs.h"
#include "support/error_trap.h"
#include "support/image_files.h"

using namespace vesk::platform;
using namespace vesk::test;

namespace {

struct Bgra {
    int b, g, r, a;
};
Bgra At(const std::vector<uint8_t>& px, uint32_t width, uint32_t x, uint32_t y) {
    const uint8_t* p = &px[(size_t(y) * width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

void ExpectColor(Bgra p, int r, int g, int b, int a, int tol = 0) {
    EXPECT_NEAR(p.r, r, tol);
    EXPECT_NEAR(p.g, g, tol);
    EXPECT_NEAR(p.b, b, tol);
    EXPECT_NEAR(p.a, a, tol);
}

class NullDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        d3d_ = CreateNullDirect3D();
        D3DPRESENT_PARAMETERS pp;
        pp.Windowed = 1;
        ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                     dev_.Put()),
                  D3D_OK);
    }
    Ref<IDirect3DTexture9> Load(const std::string& file, uint32_t w, uint32_t h, uint32_t mips, D3DFORMAT f,
                                Result expect = D3D_OK) {
        Ref<IDirect3DTexture9> tex;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(dev_.Get(), file.data(), file.size(), w, h, mips, 0, f,
                                                      D3DPOOL_MANAGED, 0, nullptr, tex.Put()),
                  expect);
        return tex;
    }
    std::vector<uint8_t> LevelBytes(IDirect3DTexture9* tex, uint32_t level) {
        D3DSURFACE_DESC d;
        tex->GetLevelDesc(level, &d);
        D3DLOCKED_RECT lr;
        EXPECT_EQ(tex->LockRect(level, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        const uint32_t pitch = FormatPitch(d.Format, d.Width), rows = FormatRows(d.Format, d.Height);
        std::vector<uint8_t> out(size_t(pitch) * rows);
        for (uint32_t y = 0; y < rows; ++y)
            std::memcpy(&out[size_t(y) * pitch], static_cast<uint8_t*>(lr.pBits) + size_t(y) * lr.Pitch,
                        pitch);
        tex->UnlockRect(level);
        return out;
    }
    Ref<NullDirect3D> d3d_;
    Ref<IDirect3DDevice9> dev_;
};

} // namespace

TEST(DdsDecoder, Dxt1BlockDecodesToItsFourColours) {
    DecodedImage img;
    ASSERT_TRUE(DecodeDds(reinterpret_cast<const uint8_t*>(DxtDds(4, 4, D3DFMT_DXT1, kDxt1Block).data()),
                          128 + 8, img));
    EXPECT_EQ(img.format, D3DFMT_DXT1);
    ASSERT_EQ(img.levels.size(), 1u);
    const auto px = LevelToBgra(img.format, img.levels[0].data(), img.levels[0].size(), 4, 4);
    ASSERT_EQ(px.size(), 64u);
    for (uint32_t x = 0; x < 4; ++x) {
        ExpectColor(At(px, 4, x, 0), 255, 0, 0, 255);
        ExpectColor(At(px, 4, x, 1), 0, 0, 255, 255);
        ExpectColor(At(px, 4, x, 2), 170, 0, 85, 255);
        ExpectColor(At(px, 4, x, 3), 85, 0, 170, 255);
    }
    // The other endpoint order is the colour-key mode: index 3 is transparent black.
    const std::string keyed("\x1F\x00\x00\xF8\xFF\xFF\xFF\xFF", 8);
    const auto k = LevelToBgra(D3DFMT_DXT1, reinterpret_cast<const uint8_t*>(keyed.data()), 8, 4, 4);
    ExpectColor(At(k, 4, 2, 2), 0, 0, 0, 0);
}

TEST(DdsDecoder, UncompressedLevelsAndMaskedLayouts) {
    // 2x2 A8R8G8B8 with its 1x1 level.
    DecodedImage img;
    const std::string file =
        ArgbDds(2, 2, 2, {0x80FF0000u, 0xFF00FF00u, 0xFF0000FFu, 0x00FFFFFFu, 0xFF123456u});
    ASSERT_TRUE(DecodeDds(reinterpret_cast<const uint8_t*>(file.data()), file.size(), img));
    EXPECT_EQ(img.format, D3DFMT_A8R8G8B8);
    ASSERT_EQ(img.levels.size(), 2u);
    EXPECT_EQ(img.levels[1], std::vector<uint8_t>({0x56, 0x34, 0x12, 0xFF}));

    // 24-bit RGB has no device format of its own: it arrives as X8R8G8B8.
    const std::string rgb =
        Dds(2, 1, 1, 0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0, std::string("\x01\x02\x03\x04\x05\x06", 6));
    ASSERT_TRUE(DecodeDds(reinterpret_cast<const uint8_t*>(rgb.data()), rgb.size(), img));
    EXPECT_EQ(img.format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(img.levels[0], std::vector<uint8_t>({1, 2, 3, 255, 4, 5, 6, 255}));
}

TEST(DdsDecoder, RefusesBrokenFiles) {
    const std::string good = DxtDds(4, 4, D3DFMT_DXT1, kDxt1Block);
    auto withField = [&](size_t at, uint32_t v) {
        std::string s = good;
        Put32(s, at, v);
        return s;
    };
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"header only in part", good.substr(0, 100)},
        {"wrong magic", withField(0, 0x12345678)},
        {"wrong header size", withField(4, 100)},
        {"zero width", withField(16, 0)},
        {"huge height", withField(12, 1u << 20)},
        {"top level short", good.substr(0, 128 + 7)},
        {"extended header", withField(84, MakeFourCC('D', 'X', '1', '0'))},
        {"unknown four-character code", withField(84, MakeFourCC('A', 'T', 'I', '2'))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DecodedImage img;
        std::string why;
        EXPECT_FALSE(DecodeDds(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), img, &why));
        EXPECT_FALSE(why.empty());
    }
    // Missing lower levels are not fatal: the levels present are kept.
    std::string mipped = DxtDds(8, 8, D3DFMT_DXT1, std::string(32, '\0'));
    Put32(mipped, 8, 0x21007);
    Put32(mipped, 28, 4);
    DecodedImage img;
    ASSERT_TRUE(DecodeDds(reinterpret_cast<const uint8_t*>(mipped.data()), mipped.size(), img));
    EXPECT_EQ(img.levels.size(), 1u);
}

TEST(PictureDecoder, BmpTgaAndJpg) {
    // BMP written by the device layer's own encoder: exact colours, no alpha.
    const uint8_t bgra[16] = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 10, 20, 30, 255};
    const std::string bmp = EncodeBmp24(bgra, 2, 2, 8);
    DecodedImage img;
    ASSERT_TRUE(DecodeImageFile(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size(), img));
    EXPECT_EQ(img.format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(img.fileFormat, D3DXIFF_BMP);
    EXPECT_EQ(img.levels[0], std::vector<uint8_t>(bgra, bgra + 16));

    // An uncompressed 32-bit TGA, top-left origin: keeps its alpha.
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = 2;
    tga[14] = 1;
    tga[16] = 32;
    tga[17] = 0x28;
    tga += std::string("\x01\x02\x03\x80\x04\x05\x06\xFF", 8);
    ASSERT_TRUE(DecodeImageFile(reinterpret_cast<const uint8_t*>(tga.data()), tga.size(), img));
    EXPECT_EQ(img.format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(img.fileFormat, D3DXIFF_TGA);
    EXPECT_EQ(img.levels[0], std::vector<uint8_t>({1, 2, 3, 0x80, 4, 5, 6, 0xFF}));

    // A 16x8 JPG: red left half, blue right half.
    std::string jpg;
    ASSERT_TRUE(ReadFile(std::string(VESK_TEST_DATA_DIR) + "/textures/two_halves.jpg", jpg));
    ASSERT_TRUE(DecodeImageFile(reinterpret_cast<const uint8_t*>(jpg.data()), jpg.size(), img));
    EXPECT_EQ(img.fileFormat, D3DXIFF_JPG);
    EXPECT_EQ(img.format, D3DFMT_X8R8G8B8);
    ASSERT_EQ(img.width, 16u);
    ExpectColor(At(img.levels[0], 16, 2, 4), 230, 20, 20, 255, 12);
    ExpectColor(At(img.levels[0], 16, 13, 4), 20, 20, 230, 255, 12);

    const std::string junk = "definitely not a picture";
    std::string why;
    EXPECT_FALSE(DecodeImageFile(reinterpret_cast<const uint8_t*>(junk.data()), junk.size(), img, &why));
    EXPECT_FALSE(why.empty());
}

TEST(PixelConversion, EveryFormatKeepsItsColoursWithinItsPrecision) {
    // Four flat 4x4 quadrants so block formats have one colour per block.
    const uint32_t colours[4] = {0xFFFF0000u, 0x8000FF00u, 0x400000FFu, 0xFFFFFFFFu};
    std::vector<uint8_t> src(8 * 8 * 4);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) std::memcpy(&src[(y * 8 + x) * 4], &colours[(y / 4) * 2 + x / 4], 4);
    struct Case {
        D3DFORMAT f;
        int tol;      // colour tolerance
        int alphaTol; // -1: the format has no alpha (reads 255)
    } cases[] = {
        {D3DFMT_A8R8G8B8, 0, 0}, {D3DFMT_X8R8G8B8, 0, -1},  {D3DFMT_R8G8B8, 0, -1},
        {D3DFMT_R5G6B5, 4, -1},  {D3DFMT_A1R5G5B5, 4, 128}, {D3DFMT_A4R4G4B4, 9, 9},
        {D3DFMT_DXT1, 4, -1},    {D3DFMT_DXT3, 4, 9},       {D3DFMT_DXT5, 4, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatName(c.f));
        const auto level = BgraToLevel(c.f, src.data(), 8, 8);
        ASSERT_EQ(level.size(), size_t(FormatPitch(c.f, 8)) * FormatRows(c.f, 8));
        const auto back = LevelToBgra(c.f, level.data(), level.size(), 8, 8);
        ASSERT_EQ(back.size(), src.size());
        for (int q = 0; q < 4; ++q) {
            const Bgra p = At(back, 8, (q % 2) * 4 + 1, (q / 2) * 4 + 1);
            const uint32_t k = colours[q];
            EXPECT_NEAR(p.r, int(k >> 16 & 255), c.tol);
            EXPECT_NEAR(p.g, int(k >> 8 & 255), c.tol);
            EXPECT_NEAR(p.b, int(k & 255), c.tol);
            if (c.alphaTol < 0) {
                EXPECT_EQ(p.a, 255);
            } else {
                EXPECT_NEAR(p.a, int(k >> 24), c.alphaTol);
            }
        }
    }
    // Short input and unknown formats give nothing rather than reading past the end.
    EXPECT_TRUE(LevelToBgra(D3DFMT_A8R8G8B8, src.data(), 10, 8, 8).empty());
    EXPECT_TRUE(LevelToBgra(D3DFMT_D24S8, src.data(), src.size(), 8, 8).empty());
}

// Shrinking averages the source texels each target texel covers, rounded;
// halving (the mip chain) and uneven steps give that same average.
TEST(PixelConversion, ShrinkingAveragesTheCoveredTexels) {
    const struct {
        uint32_t w, h, nw, nh;
    } sizes[] = {{8, 6, 4, 3}, {2, 2, 1, 1}, {6, 6, 4, 4}, {7, 5, 3, 2}};
    for (const auto& sz : sizes) {
        SCOPED_TRACE(std::to_string(sz.w) + "x" + std::to_string(sz.h));
        std::vector<uint8_t> src(size_t(sz.w) * sz.h * 4);
        for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 37 + i / 7);
        const std::vector<uint8_t> out = ResizeBgra(src.data(), sz.w, sz.h, sz.nw, sz.nh);
        ASSERT_EQ(out.size(), size_t(sz.nw) * sz.nh * 4);
        for (uint32_t y = 0; y < sz.nh; ++y)
            for (uint32_t x = 0; x < sz.nw; ++x)
                for (int c = 0; c < 4; ++c) {
                    const uint32_t x0 = x * sz.w / sz.nw, x1 = std::max(x0 + 1, (x + 1) * sz.w / sz.nw);
                    const uint32_t y0 = y * sz.h / sz.nh, y1 = std::max(y0 + 1, (y + 1) * sz.h / sz.nh);
                    uint32_t sum = 0, n = 0;
                    for (uint32_t sy = y0; sy < y1; ++sy)
                        for (uint32_t sx = x0; sx < x1; ++sx, ++n) sum += src[(sy * sz.w + sx) * 4 + c];
                    ASSERT_EQ(out[(y * sz.nw + x) * 4 + c], (sum + n / 2) / n) << x << "," << y << " " << c;
                }
    }
}

TEST_F(NullDeviceTest, TextureFromFileSizesLevelsAndFormats) {
    std::vector<uint8_t> px(3 * 5 * 4, 200);
    const std::string bmp = EncodeBmp24(px.data(), 3, 5, 12);
    struct Case {
        uint32_t w, h, mips;
        D3DFORMAT f;
        uint32_t expectW, expectH, expectLevels;
        D3DFORMAT expectF;
    } cases[] = {
        {0, 0, 0, D3DFMT_UNKNOWN, 4, 8, 4, D3DFMT_X8R8G8B8},
        {D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_UNKNOWN, 4, 8, 1, D3DFMT_X8R8G8B8},
        {D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, D3DFMT_A8R8G8B8, 3, 5, 1, D3DFMT_A8R8G8B8},
        {3, 5, 0, D3DFMT_DXT1, 3, 5, 3, D3DFMT_DXT1},
        {16, 16, 2, D3DFMT_R5G6B5, 16, 16, 2, D3DFMT_R5G6B5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expectW * 100 + c.expectH);
        auto tex = Load(bmp, c.w, c.h, c.mips, c.f);
        ASSERT_TRUE(tex);
        D3DSURFACE_DESC d;
        tex->GetLevelDesc(0, &d);
        EXPECT_EQ(d.Width, c.expectW);
        EXPECT_EQ(d.Height, c.expectH);
        EXPECT_EQ(d.Format, c.expectF);
        EXPECT_EQ(tex->GetLevelCount(), c.expectLevels);
        const auto top = LevelToBgra(d.Format, LevelBytes(tex.Get(), 0).data(),
                                     LevelBytes(tex.Get(), 0).size(), d.Width, d.Height);
        ExpectColor(At(top, d.Width, 0, 0), 200, 200, 200, 255, 4);
    }
    Load("nothing", 0, 0, 0, D3DFMT_UNKNOWN, D3DXERR_INVALIDDATA);
}

TEST_F(NullDeviceTest, DdsLevelsGoInUnchanged) {
    auto tex = Load(ArgbDds(2, 2, 2, {0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF123456u}), 0, 0,
                    0, D3DFMT_UNKNOWN);
    ASSERT_TRUE(tex);
    ASSERT_EQ(tex->GetLevelCount(), 2u);
    // The file's own 1x1 level, not an average of the black level above it.
    EXPECT_EQ(LevelBytes(tex.Get(), 1), std::vector<uint8_t>({0x56, 0x34, 0x12, 0xFF}));

    // A DXT1 file with format "from the file" keeps its blocks byte for byte.
    auto dxt = Load(DxtDds(4, 4, D3DFMT_DXT1, kDxt1Block), 0, 0, 1, D3DFMT_UNKNOWN);
    ASSERT_TRUE(dxt);
    const auto bytes = LevelBytes(dxt.Get(), 0);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kDxt1Block);

    // Levels the file lacks are made below its own, which stay byte for byte.
    const std::string four = kDxt1Block + kDxt1Block + kDxt1Block + kDxt1Block;
    auto chain = Load(DxtDds(8, 8, D3DFMT_DXT1, four), 0, 0, 0, D3DFMT_UNKNOWN);
    ASSERT_TRUE(chain);
    EXPECT_EQ(chain->GetLevelCount(), 4u);
    const auto top = LevelBytes(chain.Get(), 0);
    EXPECT_EQ(std::string(top.begin(), top.end()), four);
    const auto l1 = LevelBytes(chain.Get(), 1);
    const auto px = LevelToBgra(D3DFMT_DXT1, l1.data(), l1.size(), 4, 4);
    ExpectColor(At(px, 4, 0, 0), 128, 0, 128, 255, 10); // red and blue rows averaged
}

TEST(ImageInfo, FromFile) {
    vesk::test::TempDir dir;
    D3DXIMAGE_INFO info;
    EXPECT_EQ(D3DXGetImageInfoFromFileA((dir / "absent.bmp").c_str(), &info), D3DERR_NOTFOUND);
    ASSERT_TRUE(WriteFile(dir / "bad.bmp", "BM but not really"));
    EXPECT_EQ(D3DXGetImageInfoFromFileA((dir / "bad.bmp").c_str(), &info), D3DXERR_INVALIDDATA);
    ASSERT_TRUE(WriteFile(dir / "four.dds", DxtDds(4, 4, D3DFMT_DXT1, kDxt1Block)));
    ASSERT_EQ(D3DXGetImageInfoFromFileA((dir / "FOUR.DDS").c_str(), &info), D3D_OK);
    EXPECT_EQ(info.Width, 4u);
    EXPECT_EQ(info.Format, D3DFMT_DXT1);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
}
