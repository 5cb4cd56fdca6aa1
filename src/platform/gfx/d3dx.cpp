#include "platform/gfx/d3dx.h"

#include <cstring>
#include <vector>

#include "platform/files.h"

namespace vesk::platform {

namespace {

class BlobBuffer final : public ID3DXBuffer {
public:
    BlobBuffer(const void* data, uint32_t size) : bytes_(size) {
        if (size) std::memcpy(bytes_.data(), data, size);
    }
    void* GetBufferPointer() override { return bytes_.data(); }
    uint32_t GetBufferSize() override { return uint32_t(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
};

constexpr uint32_t kVertexMagic = MakeFourCC('V', 'S', 'H', '1');
constexpr uint32_t kPixelMagic = MakeFourCC('P', 'S', 'H', '1');
constexpr uint32_t kMaxShaderText = 1u << 20;

void SetError(ID3DXBuffer** errors, const std::string& text) {
    if (errors) *errors = MakeBuffer(text.c_str(), uint32_t(text.size() + 1)).Detach();
}

} // namespace

Ref<ID3DXBuffer> MakeBuffer(const void* data, uint32_t size) {
    return Ref<ID3DXBuffer>(new BlobBuffer(data, size));
}

Result D3DXAssembleShader(const char* source, uint32_t length, const void*, void*, uint32_t,
                          ID3DXBuffer** shader, ID3DXBuffer** errors) {
    if (shader) *shader = nullptr;
    if (errors) *errors = nullptr;
    if (!source || !shader) return D3DERR_INVALIDCALL;
    if (length > kMaxShaderText) {
        SetError(errors, "shader text too long");
        return D3DXERR_INVALIDDATA;
    }
    std::string text(source, length);
    // The kind comes from the first directive line.
    int kind = -1;
    size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size() && kind < 0) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("#vertexshader", 0) == 0)
            kind = 0;
        else if (line.rfind("#pixelshader", 0) == 0)
            kind = 1;
        pos = end + 1;
    }
    if (kind < 0) {
        SetError(errors, "(1): error: missing #vertexshader or #pixelshader line");
        return D3DXERR_INVALIDDATA;
    }
    if (text.find("main") == std::string::npos) {
        SetError(errors, "(" + std::to_string(lineNo) + "): error: no main function");
        return D3DXERR_INVALIDDATA;
    }
    if (text.find('\0') != std::string::npos) {
        SetError(errors, "error: NUL byte in shader text");
        return D3DXERR_INVALIDDATA;
    }
    std::vector<uint8_t> blob(8 + text.size() + 1 + 3, 0);
    const uint32_t magic = kind == 0 ? kVertexMagic : kPixelMagic;
    const uint32_t size = uint32_t(text.size());
    std::memcpy(blob.data(), &magic, 4);
    std::memcpy(blob.data() + 4, &size, 4);
    std::memcpy(blob.data() + 8, text.data(), text.size());
    blob.resize((blob.size() / 4) * 4);
    *shader = MakeBuffer(blob.data(), uint32_t(blob.size())).Detach();
    return D3D_OK;
}

Result D3DXAssembleShaderFromFileA(const char* fileName, const void* defines, void* include, uint32_t flags,
                                   ID3DXBuffer** shader, ID3DXBuffer** errors) {
    if (shader) *shader = nullptr;
    if (errors) *errors = nullptr;
    if (!fileName || !shader) return D3DERR_INVALIDCALL;
    std::string text;
    if (!ReadFile(fileName, text)) {
        SetError(errors, std::string(fileName) + ": file not found");
        return D3DERR_NOTFOUND;
    }
    Result r =
        D3DXAssembleShader(text.data(), uint32_t(text.size()), defines, include, flags, shader, errors);
    if (Failed(r) && errors && *errors) {
        std::string msg = std::string(fileName) + static_cast<const char*>((*errors)->GetBufferPointer());
        (*errors)->Release();
        SetError(errors, msg);
    }
    return r;
}

bool ReadShaderCode(const uint32_t* code, ShaderCodeInfo* out) {
    if (!code || !out) return false;
    if (code[0] != kVertexMagic && code[0] != kPixelMagic) return false;
    const uint32_t size = code[1];
    if (size > kMaxShaderText) return false;
    const char* text = reinterpret_cast<const char*>(code + 2);
    // The text is NUL-terminated right after its length; a mismatch is not our code.
    if (text[size] != '\0') return false;
    out->pixel = code[0] == kPixelMagic;
    out->source.assign(text, size);
    return true;
}

std::string EncodeBmp24(const uint8_t* bgra, uint32_t width, uint32_t height, uint32_t pitch) {
    const uint32_t rowBytes = (width * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * height;
    std::string out(54 + size_t(imageBytes), '\0');
    auto put16 = [&](size_t at, uint32_t v) {
        out[at] = char(v & 255);
        out[at + 1] = char((v >> 8) & 255);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, 54 + imageBytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    put16(26, 1);
    put16(28, 24);
    put32(34, imageBytes);
    put32(38, 2835);
    put32(42, 2835);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* src = bgra + size_t(height - 1 - y) * pitch; // bottom row first
        char* dst = out.data() + 54 + size_t(y) * rowBytes;
        for (uint32_t x = 0; x < width; ++x) {
            dst[x * 3] = char(src[x * 4]);
            dst[x * 3 + 1] = char(src[x * 4 + 1]);
            dst[x * 3 + 2] = char(src[x * 4 + 2]);
        }
    }
    return out;
}

Result D3DXSaveSurfaceToFileA(const char* destFile, D3DXIMAGE_FILEFORMAT format, IDirect3DSurface9* surface,
                              const void*, const RECT* srcRect) {
    if (!destFile || !surface || format != D3DXIFF_BMP) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    if (Failed(surface->GetDesc(&desc))) return D3DERR_INVALIDCALL;
    if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;
    RECT r = srcRect ? *srcRect : RECT{0, 0, int32_t(desc.Width), int32_t(desc.Height)};
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > int32_t(desc.Width) ||
        r.bottom > int32_t(desc.Height))
        return D3DERR_INVALIDCALL;

    // A render target is read back into a system-memory copy first.
    Ref<IDirect3DSurface9> readable = Ref<IDirect3DSurface9>::Share(surface);
    if (desc.Usage & D3DUSAGE_RENDERTARGET) {
        Ref<IDirect3DDevice9> device;
        if (Failed(surface->GetDevice(device.Put()))) return D3DERR_INVALIDCALL;
        Ref<IDirect3DSurface9> copy;
        Result res = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                         D3DPOOL_SYSTEMMEM, copy.Put(), nullptr);
        if (Failed(res)) return res;
        res = device->GetRenderTargetData(surface, copy.Get());
        if (Failed(res)) return res;
        readable = copy;
    }
    D3DLOCKED_RECT locked;
    Result res = readable->LockRect(&locked, &r, D3DLOCK_READONLY);
    if (Failed(res)) return res;
    std::string file = EncodeBmp24(static_cast<const uint8_t*>(locked.pBits), uint32_t(r.right - r.left),
                                   uint32_t(r.bottom - r.top), uint32_t(locked.Pitch));
    readable->UnlockRect();
    return WriteFile(destFile, file) ? D3D_OK : E_FAIL;
}

} // namespace vesk::platform
