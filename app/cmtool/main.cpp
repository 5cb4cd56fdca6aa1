// Writes small model files for content and tests: a cube, a simple ship
// (a hull box with two wing boxes) or an animation file with one track.
#include "physics/cm_tree.h"
#include "physics/cm_writer.h"
#include "platform/files.h"
#include "shared/math.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace vesk;

const char* kUsage =
    "usage: cmtool cube FILE [SIZE]   a cube of edge SIZE (default 2)\n"
    "       cmtool ship FILE          a hull and two wings\n"
    "       cmtool anim FILE NAME     an animation file: a root and a turning track for NAME\n"
    "       cmtool info FILE          what a model file holds\n";

// A box from min to max as its own geometry object: 24 vertices (flat
// normals), 12 triangles facing outwards.
void AddBox(CMSceneClass& scene, const std::string& name, const Vec3& min, const Vec3& max) {
    CMGeomObjClass* o = scene.NewGeomObj();
    o->SetNames(name, "", "");
    o->vectors[1] = min;
    o->vectors[2] = max;
    o->vectors[3] = Vec3Scale(Vec3Add(min, max), 0.5f);
    o->colour = 0xFFFFFFFF;
    o->SetVertices(24);
    o->SetIndices(36);
    // For each face: the normal and the two in-plane axes, chosen so that
    // (u x v) points along the normal (clockwise winding seen from outside in
    // a left-handed space).
    const struct {
        Vec3 n, u, v;
    } faces[] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                 {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                 {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}};
    const Vec3 centre = o->vectors[3];
    const Vec3 half = Vec3Scale(Vec3Sub(max, min), 0.5f);
    auto along = [&](const Vec3& axis) { return Vec3{axis.x * half.x, axis.y * half.y, axis.z * half.z}; };
    uint32_t vi = 0, ii = 0;
    for (const auto& f : faces) {
        const Vec3 c = Vec3Add(centre, along(f.n));
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (uint32_t i = 0; i < 4; ++i) {
            const float* k = corners[i];
            const Vec3 p = Vec3Add(c, Vec3Add(Vec3Scale(along(f.u), k[0]), Vec3Scale(along(f.v), k[1])));
            o->SetVertex(vi + i, p, f.n, (k[0] + 1) / 2, (k[1] + 1) / 2);
        }
        for (uint32_t t : {0u, 1u, 2u, 0u, 2u, 3u}) o->SetIndex(ii++, vi + t);
        vi += 4;
    }
}

// An animation file: the root and one track of five keys turning about z.
std::string AnimationBytes(const std::string& name) {
    CMStringsClass strings;
    std::string file;
    CMHeaderClass root;
    root.Init(&strings, CHUNK_ANIMATION_ROOT, 36, 0, "", 1);
    PutU32(root.GetHeader() + 20, strings.AddString("root"));
    root.WriteToFile(file);
    constexpr uint32_t kKeys = 5;
    CMHeaderClass track;
    track.Init(&strings, CHUNK_ANIMATION_TRACK, 44, kKeys * kFileKeySize, "", 1);
    PutU32(track.GetHeader() + 20, strings.AddString(name));
    PutF32(track.GetHeader() + 28, 0.0f);
    PutF32(track.GetHeader() + 32, 400.0f);
    PutU32(track.GetHeader() + 40, kKeys);
    for (uint32_t i = 0; i < kKeys; ++i) {
        uint8_t* k = track.GetData() + i * kFileKeySize;
        PutF32(k + 8, 100.0f * static_cast<float>(i));
        const Matrix m = MatrixRotationZ(kPi / 2 * static_cast<float>(i));
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) PutF32(k + 20 + 12 * r + 4 * c, m.m[r][c]);
        for (int c = 0; c < 5; ++c) PutF32(k + 68 + 4 * c, 1.0f);
    }
    track.WriteToFile(file);
    CMHeaderClass end;
    end.Init(&strings, CHUNK_ANIMATION_TRACK_END, kChunkCommonSize, 0, "", 1);
    end.WriteToFile(file);
    strings.WriteToFile(file);
    end.Init(&strings, CHUNK_END, kChunkCommonSize, 0, "", 1);
    end.WriteToFile(file);
    return file;
}

int Info(const std::string& fileName) {
    CMTreeClass tree;
    tree.LoadFromFile(fileName);
    std::printf("%s: scene \"%s\", %zu objects, %zu helpers, %zu spheres, %zu tracks\n",
                tree.GetFileName().c_str(), tree.SceneName().c_str(), tree.GeomObjects().size(),
                tree.Helpers().size(), tree.BoundingSpheres().size(), tree.Tracks().size());
    for (const auto& g : tree.GeomObjects())
        std::printf("  %s: %u vertices, %u indices, %zu materials\n", g.names.name.c_str(), g.vertexCount,
                    g.indexCount, g.materials.size());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string what = argv[1], file = argv[2];
    if (what == "info") return Info(file);
    bool ok = false;
    if (what == "cube") {
        const float size = argc > 3 ? std::strtof(argv[3], nullptr) : 2.0f;
        CMSceneClass scene("cube");
        AddBox(scene, "cube", {-size / 2, -size / 2, -size / 2}, {size / 2, size / 2, size / 2});
        ok = scene.SaveToFile(file);
    } else if (what == "ship") {
        CMSceneClass scene("ship");
        AddBox(scene, "hull", {-4, -1, -1}, {4, 1, 1});
        AddBox(scene, "wing_left", {-1, -5, -0.2f}, {1, -1, 0.2f});
        AddBox(scene, "wing_right", {-1, 1, -0.2f}, {1, 5, 0.2f});
        ok = scene.SaveToFile(file);
    } else if (what == "anim" && argc > 3) {
        ok = platform::WriteFile(file, AnimationBytes(argv[3]));
    } else {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!ok) std::fprintf(stderr, "cmtool: cannot write %s\n", file.c_str());
    return ok ? 0 : 1;
}
