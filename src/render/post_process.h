#pragma once
// Full-screen effects on the finished frame: the back buffer is copied into an
// off-screen target, chains of effect techniques run between eight render
// targets of three sizes, and the last step writes back into the back buffer.
// The post-effect controller picks the pixel shader of the engine's own
// render-to-texture quad.
#include <array>
#include <memory>
#include <string>

#include "platform/gfx/device.h"
#include "render/engine.h"
#include "render/post_effect.h"
#include "shared/engine_object.h"

namespace vesk {

class ShaderClass;

class PostProcessManager {
public:
    static constexpr int kTargetSlots = 11;
    static constexpr int kTargets = 8;
    static constexpr int kBackBuffer = -1;

    // Releases everything held; reports a second call on an enabled manager (fatal).
    void Create();
    // Loads the effect file and makes the targets for a frame of width x height.
    void Init(uint32_t width, uint32_t height, const std::string& effectFile);
    // Gives back the effect, the targets and the noise texture.
    void Release();

    void Enable() { enabled_ = true; }
    void Disable() { enabled_ = false; }
    bool IsEnabled() const { return enabled_; }
    // Enabled and switched on in the setup record.
    bool IsActive() const;

    void CopyBackBuffer();
    void FreeBackBufferCopy();
    platform::IDirect3DTexture9* GetTexture(int index) const;
    platform::IDirect3DSurface9* GetSurface(int index) const;
    void BindTarget(uint32_t stage, int index);

    int PickTarget(int scale) const;
    int FinalTarget(bool toBackBuffer);
    void RunTechnique(const std::string& name, int target);
    void RunChain(const std::string& name, bool toBackBuffer);
    // The desktop's pass: photo filter, sharpen, blur and bloom over the frame.
    void RenderSingleEffects();
    // The frame's radial blur pass.
    void RenderRadialBlur();

    PostEffect* Effect() const { return effect_.get(); }
    // The film grain the effects read ("g_txNoise"): the noise picture, or noise made in its place.
    platform::IDirect3DTexture9* NoiseTexture() const { return noise_.Get(); }
    int Current() const { return current_; }
    bool SourceBound() const { return sourceBound_; }
    float TargetWidth() const { return targetWidth_; }
    float TargetHeight() const { return targetHeight_; }

private:
    // Side of the grain made when the noise picture is missing.
    static constexpr uint32_t kNoiseSize = 64;
    void MakeNoise();
    void SetKernel(int target);
    void SetNeighbours(int target);
    void SurfaceSize(int target, float& w, float& h);
    template <class F> void WithStateBracket(F&& body);

    std::unique_ptr<PostEffect> effect_;
    std::array<platform::Ref<platform::IDirect3DTexture9>, kTargetSlots> textures_;
    std::array<platform::Ref<platform::IDirect3DSurface9>, kTargetSlots> surfaces_;
    platform::Ref<platform::IDirect3DSurface9> backBuffer_;
    bool enabled_ = false;
    float targetWidth_ = 0, targetHeight_ = 0;
    platform::Ref<platform::IDirect3DTexture9> noise_;
    int current_ = kBackBuffer;
    bool sourceBound_ = true;
};

// The program's post-process manager (made by RE_InitPostProcess) and the switch
// set when its effect file could not be built: post-processing then stays off.
extern std::unique_ptr<PostProcessManager> PostProcess;
extern bool PostProcessFailed;

// Creates and enables the manager for the device viewport with "data/shaders/post_process.fx".
void RE_InitPostProcess();
// Switches the manager on or off, when the setup allows it and the effect loaded.
void RE_EnablePostProcess(bool on);
void RE_FreePostProcess();
// What the desktop calls while it renders: the copy of the back buffer (true
// when it was made), the effect pass and the release of the copy.
bool RE_PostProcessCopyBackBuffer();
void RE_PostProcessSingleEffects();
// The frame's pass in flight.
void RE_PostProcessRadialBlur();
void RE_PostProcessFreeBackBufferCopy();

// Sets a float parameter of an effect from text: one number or a list in
// parentheses, "(0.5 1 2)". False (with a line in the error log) for an
// unknown name, a parameter that is not float, or text that does not read.
bool SetupEffectParam(PostEffect* effect, const std::string& name, const std::string& text);

// Chooses the pixel shader list of the engine's render-to-texture quad.
class PostEffectControllerClass : public TEngineObject, public IPostEffectController {
public:
    static constexpr const char* kDefaultList = "data/shaders/pspost.txt";
    static constexpr const char* kGrayscaleList = "data/shaders/pspost_grayscale.txt";

    void Create(TEngineClass* owner);
    // "none" turns the owner's render to texture off; any other name turns it
    // on and loads its list ("simple", "grayscale", anything else the default).
    void SetMode(const std::string& name) override;
    ShaderClass* GetShaderSet() const { return shaderSet_; }
    const std::string& ListFile() const { return listFile_; }
    platform::IDirect3DPixelShader9* PixelShader() override;
    std::string ClassName() const override { return "PostEffectControllerClass"; }

private:
    void LoadShaderSet();

    TEngineClass* owner_ = nullptr;
    std::string listFile_ = kDefaultList;
    ShaderClass* shaderSet_ = nullptr; // owned by the shader manager
};

} // namespace vesk
