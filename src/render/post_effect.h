#pragma once
// A full-screen effect file: named techniques of one pixel-shader pass each and
// named parameters that the techniques share. The file is text:
//   #parameter NAME float|float2|float3|float4 cR [COUNT]   constant registers R .. R+COUNT-1
//   #parameter NAME texture sN                             the texture on sampler stage N
//   #technique NAME                                       starts a technique; its body runs to
//                                                         the next #technique or the end
// Lines before the first technique (other than #parameter lines) are shader
// text shared by every technique. A body is the pixel-shader text of the shader
// format (see platform/gfx/d3dx.h) without its #pixelshader line: parameters are
// reached by name (a float parameter with COUNT > 1 as NAME(k)), the source
// picture through s0 and s1.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

namespace vesk {

class PostEffect {
public:
    enum class ParamType { Float, Texture };
    struct ParamDesc {
        std::string name;
        ParamType type = ParamType::Float;
        uint32_t reg = 0;      // first constant register or sampler stage
        uint32_t elements = 1; // registers used
        uint32_t columns = 1;  // floats per element
        uint32_t Floats() const { return type == ParamType::Float ? elements * columns : 0; }
    };

    // Parses the text and builds every technique's shader on the device. On a
    // failure the result is D3DXERR_INVALIDDATA (or the device's) with the reason in errors.
    static platform::Result Create(platform::IDirect3DDevice9* device, const std::string& text,
                                   std::unique_ptr<PostEffect>& out, std::string* errors);
    static platform::Result CreateFromFile(platform::IDirect3DDevice9* device, const std::string& fileName,
                                           std::unique_ptr<PostEffect>& out, std::string* errors);

    // nullptr when the effect has no parameter of that name.
    const ParamDesc* GetParameterDesc(const std::string& name) const;
    // Copies up to the parameter's size (bytes / 4 floats); the rest keeps its value.
    platform::Result SetValue(const std::string& name, const void* data, uint32_t bytes);
    platform::Result SetTexture(const std::string& name, platform::IDirect3DBaseTexture9* texture);
    // The floats a parameter holds (empty for textures and unknown names).
    std::vector<float> GetFloats(const std::string& name) const;

    platform::Result SetTechnique(const std::string& name);
    const std::string& CurrentTechnique() const { return current_; }
    bool HasTechnique(const std::string& name) const;
    // The pixel shader a technique draws with (nullptr for an unknown name).
    platform::IDirect3DPixelShader9* TechniqueShader(const std::string& name) const;
    // One pass per technique; flags are accepted and the device state is never saved.
    platform::Result Begin(uint32_t* passes, uint32_t flags);
    // Sets the technique's shader and commits the parameters.
    platform::Result BeginPass(uint32_t pass);
    // Sets the parameters' constants and textures on the device.
    platform::Result CommitChanges();
    platform::Result EndPass();
    platform::Result End();

private:
    struct Param {
        ParamDesc desc;
        std::vector<float> values;
        platform::Ref<platform::IDirect3DBaseTexture9> texture;
    };
    struct Technique {
        std::string name;
        platform::Ref<platform::IDirect3DPixelShader9> shader;
    };
    Param* Find(const std::string& name);
    const Param* Find(const std::string& name) const;

    platform::Ref<platform::IDirect3DDevice9> device_;
    std::vector<Param> params_;
    std::vector<Technique> techniques_;
    std::string current_;
    int technique_ = -1;
    bool begun_ = false, inPass_ = false;
};

} // namespace vesk
