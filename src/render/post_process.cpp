#include "render/post_process.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/config_record.h"
#include "platform/files.h"
#include "platform/image_codecs.h"
#include "platform/system.h"
#include "render/device.h"
#include "render/shader.h"
#include "render/world_links.h"
#include "shared/errors.h"

namespace vesk {

using namespace platform;

std::unique_ptr<PostProcessManager> PostProcess;
bool PostProcessFailed = false;

namespace {

constexpr const char* kEffectFile = "data/shaders/post_process.fx";
constexpr const char* kNoiseTexture = "data/textures/general/noise.dds";

// A step's result: a failure is reported with the step's text (fatal).
void Check(Result r, const char* step) {
    CheckDXResult(r, step, "mhl");
}

struct ScreenVertex {
    float x, y, z, rhw, u, v;
};
static_assert(sizeof(ScreenVertex) == 24);

} // namespace

// ---- the manager ---------------------------------------------------------------------------
void PostProcessManager::Create() {
    if (enabled_) {
        ErrorReport("PostProcessManager::Create have already called!", "mhl");
        return;
    }
    Release();
    enabled_ = false;
    targetWidth_ = targetHeight_ = 0;
    current_ = kBackBuffer;
    sourceBound_ = true;
}

void PostProcessManager::Release() {
    effect_.reset();
    for (auto& t : textures_) t = nullptr;
    for (auto& s : surfaces_) s = nullptr;
    backBuffer_ = nullptr;
    noise_ = nullptr;
}

void PostProcessManager::Init(uint32_t width, uint32_t height, const std::string& effectFile) {
    if (!FileExists(effectFile)) {
        ErrorReport(effectFile + " is missing.", "mhl");
        return;
    }
    std::string errors;
    if (Failed(PostEffect::CreateFromFile(Device.Get(), effectFile, effect_, &errors)) || !effect_) {
        if (!errors.empty()) FastLogAddError(errors);
        ShowMessageBox("PostProcess disabled", "Error");
        PostProcessFailed = true;
        Disable();
        return;
    }
    // Targets 0..3 at the frame size, 4 and 5 at a quarter, 6 and 7 at an eighth.
    static const int kDivisor[kTargets] = {1, 1, 1, 1, 4, 4, 8, 8};
    for (int i = 0; i < kTargets; ++i) {
        const auto w = uint32_t(std::max(1L, std::lround(double(width) / kDivisor[i])));
        const auto h = uint32_t(std::max(1L, std::lround(double(height) / kDivisor[i])));
        Result r = Device->CreateTexture(w, h, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                         textures_[size_t(i)].Put(), nullptr);
        CheckDXResult(r, "CreateRenderTarget: " + std::to_string(i), "mhl");
        if (Failed(r)) return;
        Check(textures_[size_t(i)]->GetSurfaceLevel(0, surfaces_[size_t(i)].Put()), "GetSurfaceLevel");
    }
    // A missing noise picture is content: it is reported, and the effects take
    // their grain from noise made here instead.
    Result r = D3DXCreateTextureFromFileExA(Device.Get(), kNoiseTexture, D3DX_DEFAULT, D3DX_DEFAULT,
                                            D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                            D3DX_DEFAULT, 0, nullptr, nullptr, noise_.Put());
    if (Failed(r) || !noise_) {
        ErrorReport("D3DXCreateTextureFromFile(noise.dds): " + std::string(kNoiseTexture) +
                        " not loaded, made noise stands in",
                    "m");
        MakeNoise();
    }
    if (noise_ && effect_->GetParameterDesc("g_txNoise"))
        Check(effect_->SetTexture("g_txNoise", noise_.Get()), "SetTexture(\"g_txNoise\")");
}

void PostProcessManager::MakeNoise() {
    noise_ = nullptr;
    if (Failed(Device->CreateTexture(kNoiseSize, kNoiseSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                     noise_.Put(), nullptr)) ||
        !noise_)
        return;
    D3DLOCKED_RECT locked{};
    if (Failed(noise_->LockRect(0, &locked, nullptr, 0))) {
        noise_ = nullptr;
        return;
    }
    // Grey grain of a fixed sequence: the same picture every run.
    uint32_t seed = 4711u;
    for (uint32_t y = 0; y < kNoiseSize; ++y) {
        auto* row =
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * uint32_t(locked.Pitch));
        for (uint32_t x = 0; x < kNoiseSize; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const uint32_t grey = seed >> 24;
            row[x] = 0xFF000000u | grey << 16 | grey << 8 | grey;
        }
    }
    noise_->UnlockRect(0);
}

bool PostProcessManager::IsActive() const {
    return enabled_ && SetupRecord.postProcess != 0;
}

void PostProcessManager::CopyBackBuffer() {
    if (!IsActive() || !Device || !surfaces_[0]) return;
    Check(Device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer_.Put()), "getBB");
    Check(Device->StretchRect(backBuffer_.Get(), nullptr, surfaces_[0].Get(), nullptr, D3DTEXF_LINEAR),
          "StretchRect");
    current_ = 0;
}

void PostProcessManager::FreeBackBufferCopy() {
    if (!IsActive()) return;
    current_ = 0;
    backBuffer_ = nullptr;
}

IDirect3DTexture9* PostProcessManager::GetTexture(int index) const {
    return index >= 0 && index < kTargetSlots ? textures_[size_t(index)].Get() : nullptr;
}

IDirect3DSurface9* PostProcessManager::GetSurface(int index) const {
    return index >= 0 && index < kTargetSlots ? surfaces_[size_t(index)].Get() : nullptr;
}

void PostProcessManager::BindTarget(uint32_t stage, int index) {
    Check(Device->SetTexture(stage, GetTexture(index)), "Settexture");
    if (index == 0) sourceBound_ = true;
}

int PostProcessManager::PickTarget(int scale) const {
    switch (scale) {
    case 1:
        return current_ == 1 ? 2 : 1;
    case 2:
        return current_ == 4 ? 5 : 4;
    case 4:
        return current_ == 6 ? 7 : 6;
    default:
        return 0;
    }
}

int PostProcessManager::FinalTarget(bool toBackBuffer) {
    if (toBackBuffer) return kBackBuffer;
    current_ = current_ == 0 || sourceBound_ ? 1 : 0;
    return current_;
}

void PostProcessManager::SurfaceSize(int target, float& w, float& h) {
    IDirect3DSurface9* s = target == kBackBuffer ? backBuffer_.Get() : GetSurface(target);
    Ref<IDirect3DSurface9> fetched;
    if (!s && target == kBackBuffer) {
        Check(Device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, fetched.Put()), "getBB");
        s = fetched.Get();
    }
    D3DSURFACE_DESC desc{};
    Check(s ? s->GetDesc(&desc) : D3DERR_INVALIDCALL, "GetDesc");
    w = float(desc.Width);
    h = float(desc.Height);
}

void PostProcessManager::RunTechnique(const std::string& name, int target) {
    current_ = target;
    Check(effect_ ? effect_->SetTechnique(name) : D3DERR_INVALIDCALL, "SetTechnique");
    Ref<IDirect3DSurface9> backBuffer = backBuffer_;
    if (target == kBackBuffer && !backBuffer)
        Check(Device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.Put()), "getBB");
    IDirect3DSurface9* surface = target == kBackBuffer ? backBuffer.Get() : GetSurface(target);
    Check(Device->SetRenderTarget(0, surface), "SetRenderTarget");
    Check(effect_->Begin(nullptr, 7), "_Begin");
    D3DSURFACE_DESC desc{};
    Check(surface ? surface->GetDesc(&desc) : D3DERR_INVALIDCALL, "GetDesc");
    targetWidth_ = float(desc.Width) - 0.5f;
    targetHeight_ = float(desc.Height) - 0.5f;
    const float inv[2] = {1.0f / targetWidth_, 1.0f / targetHeight_};
    Check(effect_->SetValue("vInvSourceSize", inv, 8), "SetValue");
    Check(effect_->BeginPass(0), "BeginPass");
    Check(effect_->CommitChanges(), "CommitChanges");
    const ScreenVertex quad[4] = {{-0.5f, -0.5f, 0.5f, 1.0f, 0.0f, 0.0f},
                                  {targetWidth_, -0.5f, 0.5f, 1.0f, 1.0f, 0.0f},
                                  {-0.5f, targetHeight_, 0.5f, 1.0f, 0.0f, 1.0f},
                                  {targetWidth_, targetHeight_, 0.5f, 1.0f, 1.0f, 1.0f}};
    Check(DeviceDrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex)), "DrawPrimitiveUP");
    Check(effect_->EndPass(), "EndPass");
    Check(effect_->End(), "_End");
    sourceBound_ = false;
}

void PostProcessManager::SetKernel(int target) {
    float w = 0, h = 0;
    SurfaceSize(target, w, h);
    float kernel[26];
    for (int i = -6; i <= 6; ++i) {
        kernel[(i + 6) * 2] = w > 0 ? float(i) / w : 0.0f;
        kernel[(i + 6) * 2 + 1] = 0.0f;
    }
    Check(effect_->SetValue("PixelKernel", kernel, sizeof kernel), "SetValue");
    targetWidth_ = w;
    targetHeight_ = h;
}

void PostProcessManager::SetNeighbours(int target) {
    float w = 0, h = 0;
    SurfaceSize(target, w, h);
    const float iw = w > 0 ? 1.0f / w : 0.0f, ih = h > 0 ? 1.0f / h : 0.0f;
    const float pixels[8] = {-iw, 0, iw, 0, 0, -ih, 0, ih};
    Check(effect_->SetValue("Pixels", pixels, sizeof pixels), "SetValue");
    targetWidth_ = w;
    targetHeight_ = h;
}

void PostProcessManager::RunChain(const std::string& name, bool toBackBuffer) {
    const int start = current_;
    if (name == "blur" || name == "bloom") {
        const bool blur = name == "blur";
        const int scale = blur ? 2 : 4;
        SetKernel(PickTarget(scale));
        const char* steps[3] = {"hblur", "vblur", nullptr};
        const char* bloomSteps[3] = {"brightpass", "hbloom", "vbloom"};
        const int count = blur ? 2 : 3;
        for (int i = 0; i < count; ++i) {
            BindTarget(0, current_);
            RunTechnique(blur ? steps[i] : bloomSteps[i], PickTarget(scale));
        }
        BindTarget(0, start);
        BindTarget(1, current_);
        RunTechnique(blur ? "merge_2" : "bloom_add", FinalTarget(toBackBuffer));
    } else if (name == "radian_blur") {
        BindTarget(0, current_);
        RunTechnique("radian_blur", PickTarget(1));
        BindTarget(0, current_);
        RunTechnique("copy", FinalTarget(toBackBuffer));
    } else {
        if (name == "sharp") SetNeighbours(PickTarget(1));
        BindTarget(0, current_);
        RunTechnique(name, FinalTarget(toBackBuffer));
    }
}

template <class F> void PostProcessManager::WithStateBracket(F&& body) {
    IDirect3DDevice9* d = Device.Get();
    uint32_t fvf = 0, zEnable = 0, zWrite = 0, cull = 0, address[2] = {}, addressV[2] = {};
    Check(d->GetFVF(&fvf), "getfvf");
    Check(d->GetRenderState(D3DRS_ZENABLE, &zEnable), "getZEnabled failed!");
    Check(d->GetRenderState(D3DRS_ZWRITEENABLE, &zWrite), "getZWrite enabled failed!");
    d->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    for (uint32_t s = 0; s < 2; ++s) {
        Check(d->GetSamplerState(s, D3DSAMP_ADDRESSU, &address[s]), "GetSamplerState");
        // V goes back as well: left clamped, the scene's wrapped textures would
        // show one row from the next frame on.
        if (d->GetSamplerState(s, D3DSAMP_ADDRESSV, &addressV[s]) != D3D_OK) addressV[s] = D3DTADDRESS_WRAP;
        d->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        d->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    }
    Check(d->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1), "SetFVF");
    d->GetRenderState(D3DRS_CULLMODE, &cull);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    body();
    d->SetFVF(fvf);
    for (uint32_t s = 0; s < 2; ++s) {
        d->SetSamplerState(s, D3DSAMP_ADDRESSU, address[s]);
        d->SetSamplerState(s, D3DSAMP_ADDRESSV, addressV[s]);
    }
    d->SetTexture(0, nullptr);
    d->SetTexture(1, nullptr);
    d->SetRenderState(D3DRS_ZENABLE, zEnable);
    d->SetRenderState(D3DRS_ZWRITEENABLE, zWrite);
    d->SetPixelShader(nullptr);
    d->SetVertexShader(nullptr);
    d->SetRenderState(D3DRS_CULLMODE, cull);
}

void PostProcessManager::RenderSingleEffects() {
    if (!Device || !effect_) return;
    try {
        WithStateBracket([this] {
            const float time = float(Now().millisecond % 100) * 0.01f;
            Check(effect_->SetValue("ftime", &time, 4), "SetValue");
            RunChain("fotofilter", false);
            RunChain("sharp", false);
            RunChain("blur", false);
            RunChain("bloom", true);
        });
    } catch (const std::exception&) {
        ErrorReport("Some error in RenderSingleEffects...", "mhl");
    }
}

void PostProcessManager::RenderRadialBlur() {
    if (!Device || !effect_) return;
    try {
        WithStateBracket([this] { RunChain("radian_blur", true); });
    } catch (const std::exception&) {
        ReportDXError("RenderRadialBlur", D3DERR_INVALIDCALL, "mhl");
    }
}

// ---- start-up and the desktop's pass -------------------------------------------------------
void RE_InitPostProcess() {
    if (!PostProcess) PostProcess = std::make_unique<PostProcessManager>();
    PostProcess->Create();
    // The effect file is loaded whatever the setup says; the setup's switch
    // decides only whether the effects run (IsActive).
    PostProcess->Enable();
    D3DVIEWPORT9 vp{};
    if (Device) Device->GetViewport(&vp);
    PostProcess->Init(vp.Width, vp.Height, kEffectFile);
    auto& links = GetRenderWorldLinks();
    if (!links.postProcessActive)
        links.postProcessActive = [] { return PostProcess && PostProcess->IsActive(); };
    if (!links.runPostProcess)
        links.runPostProcess = [] {
            if (RE_PostProcessCopyBackBuffer()) {
                RE_PostProcessSingleEffects();
                RE_PostProcessFreeBackBufferCopy();
            }
        };
}

void RE_EnablePostProcess(bool on) {
    if (!PostProcess || !SetupRecord.postProcess || PostProcessFailed) return;
    if (on)
        PostProcess->Enable();
    else
        PostProcess->Disable();
}

void RE_FreePostProcess() {
    if (PostProcess) PostProcess->Release();
    PostProcess.reset();
}

bool RE_PostProcessCopyBackBuffer() {
    if (!PostProcess || !PostProcess->IsActive()) return false;
    PostProcess->CopyBackBuffer();
    return true;
}

void RE_PostProcessSingleEffects() {
    if (PostProcess && PostProcess->IsActive()) PostProcess->RenderSingleEffects();
}

void RE_PostProcessRadialBlur() {
    if (PostProcess && PostProcess->IsActive()) PostProcess->RenderRadialBlur();
}

void RE_PostProcessFreeBackBufferCopy() {
    if (PostProcess) PostProcess->FreeBackBufferCopy();
}

// ---- effect parameters from text -----------------------------------------------------------
bool SetupEffectParam(PostEffect* effect, const std::string& name, const std::string& text) {
    const PostEffect::ParamDesc* desc = effect ? effect->GetParameterDesc(name) : nullptr;
    if (!desc) {
        FastLogAddError("_SetupEffectParam: parametr with name(" + name + ") not found");
        return false;
    }
    if (desc->type != PostEffect::ParamType::Float) {
        FastLogAddError("This type of param not supported!");
        return false;
    }
    std::vector<float> values;
    size_t pos = text.find_first_not_of(" \t");
    bool ok = pos != std::string::npos;
    const bool list = ok && text[pos] == '(';
    if (list) ++pos;
    while (ok) {
        pos = text.find_first_not_of(" \t", pos);
        if (pos == std::string::npos) {
            ok = !list && !values.empty();
            break;
        }
        if (list && text[pos] == ')') {
            ok = !values.empty() && text.find_first_not_of(" \t", pos + 1) == std::string::npos;
            break;
        }
        const char* begin = text.c_str() + pos;
        char* end = nullptr;
        const float v = std::strtof(begin, &end);
        if (end == begin || (*end && *end != ' ' && *end != '\t' && *end != ')')) {
            ok = false;
            break;
        }
        values.push_back(v);
        pos += size_t(end - begin);
        if (!list) ok = text.find_first_not_of(" \t", pos) == std::string::npos;
        if (!list) break;
    }
    if (!ok) {
        FastLogAddError("String converting failed !");
        return false;
    }
    if (Failed(effect->SetValue(name, values.data(), uint32_t(values.size() * 4))))
        ErrorReport("Effect::SetValue " + name + " failed", "mhl");
    return true;
}

// ---- the post-effect controller ------------------------------------------------------------
void PostEffectControllerClass::Create(TEngineClass* owner) {
    owner_ = owner;
    listFile_ = kDefaultList;
    LoadShaderSet();
}

void PostEffectControllerClass::LoadShaderSet() {
    shaderSet_ = nullptr;
    if (PixelShadersManager) PixelShadersManager->GetShader(listFile_, shaderSet_);
}

void PostEffectControllerClass::SetMode(const std::string& name) {
    if (name == "none") {
        if (owner_) owner_->DisableRenderToTexture();
        return;
    }
    if (owner_ && !owner_->RenderToTexture()) owner_->EnableRenderToTexture();
    listFile_ = name == "grayscale" ? kGrayscaleList : kDefaultList;
    LoadShaderSet();
}

IDirect3DPixelShader9* PostEffectControllerClass::PixelShader() {
    auto* ps = dynamic_cast<PixelShaderClass*>(shaderSet_);
    return ps ? ps->GetPixelShader() : nullptr;
}

} // namespace vesk
