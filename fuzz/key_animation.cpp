// Key animation: a track of keys and frames from the input played by a key
// animation through a run of updates, its key matrix, colour and factor read.
#include "render/key_animation.h"
#include "fuzz_support.h"

#include <vector>

using namespace vesk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    static TEODestroyManagerClass* destroy = [] {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        return TEODestroyManager.get();
    }();
    fuzz::Bytes in(data, size);
    ROKeyTrack track;
    track.startFrame = in.F32();
    track.endFrame = in.F32();
    const uint32_t flags = in.U8();
    const uint32_t steps = in.U8() % 32;
    std::vector<float> dts;
    for (uint32_t i = 0; i < steps; ++i) dts.push_back(in.F32());
    // The rest is the key records; a record is 116 bytes.
    std::vector<uint8_t> keys(data + std::min<size_t>(size, 2 * 4 + 2 + steps * 4), data + size);
    track.keyCount = uint32_t(keys.size() / track.keyStride);
    track.keys = keys.empty() ? nullptr : keys.data();
    auto* k = SimpleKeyAnimationClass::Create(nullptr, "fuzz");
    try {
        k->SetTrack(&track);
        k->SetFlags(flags);
        Matrix m;
        for (float dt : dts) {
            k->Update(dt);
            k->GetKeyMatrix(m);
            fuzz::g_sink = fuzz::g_sink + size_t(k->GetCurrentKey()) + size_t(m.m[3][0] != 0) +
                           size_t(k->KeyFactor() > 0) + size_t(k->KeyColour().r > 0);
        }
    } catch (const fuzz::HaltedRun&) {
    }
    k->Free();
    destroy->Flush();
    return 0;
}
