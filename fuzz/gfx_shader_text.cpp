// Shader text and compressed blocks from content files: assembly, the header
// translation of both shader kinds, and block decoding must stay in bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/gfx/d3dx.h"
#include "platform/gfx/dxt.h"
#include "platform/gfx/gl_ffp_shader.h"

using namespace vesk::platform;

static volatile size_t g_sink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Ref<ID3DXBuffer> code, errors;
    if (Succeeded(D3DXAssembleShader(text.data(), uint32_t(text.size()), nullptr, nullptr, 0, code.Put(),
                                     errors.Put()))) {
        ShaderCodeInfo info;
        if (ReadShaderCode(static_cast<const uint32_t*>(code->GetBufferPointer()), &info))
            g_sink = info.source.size();
    }
    if (errors) g_sink = errors->GetBufferSize();
    std::string glsl, error;
    if (WrapVertexShader(text, &glsl, &error)) g_sink = glsl.size();
    if (WrapPixelShader(text, PostKey{2, 4}, &glsl, &error)) g_sink = glsl.size();
    if (size >= 2) {
        const uint32_t w = data[0] % 17 + 1, h = data[1] % 17 + 1;
        const D3DFORMAT f = (data[0] & 0x80) ? D3DFMT_DXT5 : (data[1] & 0x80) ? D3DFMT_DXT3 : D3DFMT_DXT1;
        g_sink = DecodeDxt(f, data + 2, size - 2, w, h).size();
    }
    return 0;
}
