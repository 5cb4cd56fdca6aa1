// Writes small model files for content and tests: a cube, a simple ship
// (a hull box with two wing boxes, attach points and bounding spheres) or an
// animation file with one track.
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
    "       cmtool ship FILE          a hull and two wings, two attach points, three spheres\n"
    "       cmtool anim FILE NAME     an animation file: a root and a turning track for NAME\n"
    "       cmtool info FILE          what a model file holds\n";

// A box from min to max as its own geometry object: 24 vertices (flat
// normals), 12 triangles facing outwards.
void FillBox(CMGeomObjClass* o, const std::string& name, const Vec3& min, const Vec3& max) {
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

// A chunk with only the common header.
void WriteMarker(CMStringsClass& strings, uint32_t type, std::string& file) {
    CMHeaderClass h;
    h.Init(&strings, type, kChunkCommonSize, 0, "", 1);
    h.WriteToFile(file);
}

void PutVec3At(uint8_t* p, const Vec3& v) {
    PutF32(p, v.x);
    PutF32(p + 4, v.y);
    PutF32(p + 8, v.z);
}

void PutMatrixAt(uint8_t* p, const Matrix& m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) PutF32(p + 12 * r + 4 * c, m.m[r][c]);
}

// A ship: hull and wings, two attach points and three bounding spheres.
std::string ShipBytes() {
    CMStringsClass strings;
    std::string file;
    CMHeaderClass scene;
    scene.Init(&strings, CHUNK_SCENE, kSceneHeaderSize, 0, "", 1);
    PutU32(scene.GetHeader() + 20, strings.AddString("ship"));
    scene.WriteToFile(file);
    const struct {
        const char* name;
        Vec3 min, max;
    } boxes[] = {{"hull", {-4, -1, -1}, {4, 1, 1}},
                 {"wing_left", {-1, -5, -0.2f}, {1, -1, 0.2f}},
                 {"wing_right", {-1, 1, -0.2f}, {1, 5, 0.2f}}};
    for (const auto& b : boxes) {
        CMGeomObjClass o(&strings);
        FillBox(&o, b.name, b.min, b.max);
        o.WriteToFile(file);
    }
    WriteMarker(strings, CHUNK_HELPER_LIST_BEGIN, file);
    const struct {
        const char* name;
        Vec3 position;
    } helpers[] = {{"hp_gun", {4, 0, 0}}, {"hp_engine", {-4, 0, 0}}};
    for (const auto& h : helpers) {
        CMHeaderClass c;
        c.Init(&strings, CHUNK_HELPER, 88, 0, "", 1);
        PutU32(c.GetHeader() + 20, strings.AddString(h.name));
        PutVec3At(c.GetHeader() + 28, h.position);
        PutMatrixAt(c.GetHeader() + 40, MatrixTranslation(h.position.x, h.position.y, h.position.z));
        c.WriteToFile(file);
        WriteMarker(strings, CHUNK_HELPER_END, file);
    }
    WriteMarker(strings, CHUNK_HELPER_LIST_END, file);
    const struct {
        const char* name;
        Vec3 centre;
        float radius;
    } spheres[] = {{"bs_front", {2.5f, 0, 0}, 2}, {"bs_back", {-2.5f, 0, 0}, 2}, {"bs_wings", {0, 0, 0}, 5}};
    for (const auto& b : spheres) {
        CMHeaderClass c;
        c.Init(&strings, CHUNK_BSPHERE, 92, 0, "", 1);
        PutU32(c.GetHeader() + 20, strings.AddString(b.name));
        PutVec3At(c.GetHeader() + 28, b.centre);
        PutF32(c.GetHeader() + 40, b.radius);
        PutMatrixAt(c.GetHeader() + 44, MatrixTranslation(b.centre.x, b.centre.y, b.centre.z));
        c.WriteToFile(file);
    }
    strings.WriteToFile(file);
    WriteMarker(strings, CHUNK_END, file);
    return file;
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
        PutMatrixAt(k + 20, MatrixRotationZ(kPi / 2 * static_cast<float>(i)));
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
        FillBox(scene.NewGeomObj(), "cube", {-size / 2, -size / 2, -size / 2},
                {size / 2, size / 2, size / 2});
        ok = scene.SaveToFile(file);
    } else if (what == "ship") {
        ok = platform::WriteFile(file, ShipBytes());
    } else if (what == "anim" && argc > 3) {
        ok = platform::WriteFile(file, AnimationBytes(argv[3]));
    } else {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!ok) std::fprintf(stderr, "cmtool: cannot write %s\n", file.c_str());
    return ok ? 0 : 1;
}
