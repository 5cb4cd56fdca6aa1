// Model files (".cm"): any bytes through the chunk reader, then the look-ups
// callers make on what was read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "physics/cm_tree.h"

namespace {
volatile size_t g_sink = 0;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vesk::CMTreeClass tree;
    try {
        tree.Parse(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.cm");
    } catch (const vesk::CMFileError&) {
        return 0;
    }
    size_t n = tree.UniversalHelpers().size() + tree.Strings().size();
    for (auto& g : tree.GeomObjects()) {
        vesk::GeomObjStruct* found = nullptr;
        n += tree.GetGeomobject(g.names.name, found) ? found->vertices.size() + found->indices.size() : 0;
        for (const auto& m : g.materials) n += m.indices.size();
        // The vertex step works on whatever matrix the file gave.
        vesk::CMApplyVertexStep(g, vesk::kCMStepRotate | vesk::kCMStepTranslate | vesk::kCMStepScale);
    }
    for (const auto& s : tree.Shapes()) n += s.points.size();
    g_sink = g_sink + n;
    return 0;
}
