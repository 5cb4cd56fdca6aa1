// Animation files (".cma"): any bytes through the chunk reader, then the
// track look-ups of key animation.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "physics/cm_tree.h"

namespace {
volatile float g_sink = 0;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vesk::CMTreeClass tree;
    try {
        tree.Parse(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.cma");
    } catch (const vesk::CMFileError&) {
        return 0;
    }
    float sum = 0;
    for (const auto& t : tree.Tracks()) {
        vesk::CMAnimationTrackStruct* found = nullptr;
        if (!tree.GetAnimationTrack(t.names.name, found)) continue;
        for (const auto& k : found->keys) sum += k.time[0] + k.factor + k.matrix.m[3][0];
    }
    if (tree.AnimationRoot()) sum += static_cast<float>(tree.AnimationRoot()->values[0]);
    g_sink = g_sink + sum;
    return 0;
}
