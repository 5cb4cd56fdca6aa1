// The bounding-sphere section cache: a model file read as the cache of the
// spheres its own records name (and the container's "main_sphere"), then its
// sections cut again from the cache's first object as a collision mesh.
#include "fuzz_support.h"
#include "physics/bsphere_sections.h"
#include "physics/cm_tree.h"
#include "platform/files.h"

using namespace vesk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CMTreeClass tree;
    try {
        tree.Parse(bytes, "fuzz.cm");
    } catch (const CMFileError&) {
        // Not a model file: the cache reader must refuse it all the same.
    }
    BSphereSet set;
    set.container.radius = 10;
    set.AddSpheresFrom(tree);
    const std::string cache = fuzz::RunFolder() + "/model.cm2";
    if (!platform::WriteFile(cache, bytes) || !platform::SetFileTime(cache, 1000000)) return 0;
    BSSectionMesh source;
    if (!tree.GeomObjects().empty()) source.LoadFromModel(tree.GeomObjects().front());
    try {
        // The cache is used when it fits; otherwise the sections are cut and cached anew.
        BSMeshBuilderClass(cache, 1000000).Build(set, source);
    } catch (const fuzz::HaltedRun&) {
    }
    size_t total = 0;
    for (const BSphereNode* node : {&set.container}) total += node->section ? node->section->IndexCount() : 0;
    for (BSphereNode& s : set.spheres) {
        if (!s.section) continue;
        total += s.section->IndexCount();
        // Each kept section cut once more around its own sphere.
        BSMeshBuilderClass::CutSection(s, *s.section);
        if (s.section) total += s.section->VertexCount();
    }
    fuzz::g_sink = total;
    return 0;
}
