// The post-process effect file: parsed and built on the recording device
// (recording off), its techniques begun and its parameters set from text.
#include "render/post_effect.h"
#include "fuzz_support.h"
#include "render/post_process.h"

using namespace vesk;
using namespace vesk::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    static Ref<IDirect3DDevice9> device = fuzz::QuietNullDevice();
    fuzz::Bytes in(data, size);
    // A few parameter settings first, then the effect text.
    std::string names[3], values[3];
    for (int i = 0; i < 3; ++i) {
        names[i] = in.Text(16);
        values[i] = in.Text(32);
    }
    std::unique_ptr<PostEffect> effect;
    std::string errors;
    try {
        if (Failed(PostEffect::Create(device.Get(), in.Rest(), effect, &errors)) || !effect) {
            fuzz::g_sink = errors.size();
            return 0;
        }
        for (int i = 0; i < 3; ++i) {
            SetupEffectParam(effect.get(), names[i], values[i]);
            if (const PostEffect::ParamDesc* d = effect->GetParameterDesc(names[i]))
                fuzz::g_sink = fuzz::g_sink + d->Floats() + effect->GetFloats(names[i]).size();
            const float floats[5] = {1, 2, 3, 4, 5};
            effect->SetValue(names[i], floats, sizeof floats);
            effect->SetTexture(names[i], nullptr);
            if (effect->HasTechnique(names[i]) && Succeeded(effect->SetTechnique(names[i]))) {
                uint32_t passes = 0;
                if (Succeeded(effect->Begin(&passes, 0))) {
                    for (uint32_t p = 0; p < passes && p < 4; ++p) {
                        effect->BeginPass(p);
                        effect->CommitChanges();
                        effect->EndPass();
                    }
                    effect->End();
                }
            }
        }
    } catch (const fuzz::HaltedRun&) {
    }
    return 0;
}
