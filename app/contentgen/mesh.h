#pragma once
// Geometry for the generated models: triangle meshes grouped by material,
// built from a few shape generators (lofts through cross-sections, ellipsoids,
// boxes), and the model file that holds them with their attach points,
// bounding spheres, lights, shapes and animation tracks.
//
// Models are authored with x forward (the nose), y to the side and z up, the
// frame the physics and the turrets use. Every triangle (a, b, c) is wound so
// that (b - a) x (c - a) points out of the surface: clockwise as seen from
// outside in the engine's left-handed space.
#include "physics/cm_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesk::contentgen {

struct MeshVertex {
    Vec3 p;
    Vec3 n;
    float u = 0, v = 0;
};

// Triangles grouped by material name, in the order the materials first appear.
struct MeshPart {
    std::string material;
    std::vector<uint32_t> indices;
};

class Mesh {
public:
    std::vector<MeshVertex> vertices;
    std::vector<MeshPart> parts;

    uint32_t AddVertex(const MeshVertex& v);
    void AddTriangle(const std::string& material, uint32_t a, uint32_t b, uint32_t c);
    // Appends another mesh with its positions and normals carried through a
    // transform (normals by the inverse transpose, renormalised).
    void Append(const Mesh& other, const Matrix& transform);
    void Append(const Mesh& other);

    size_t TriangleCount() const;
    // Every triangle's indices in part order.
    std::vector<uint32_t> AllIndices() const;
    Vec3 Min() const;
    Vec3 Max() const;
    // Volume enclosed by the triangles (positive when they face outwards).
    float SignedVolume() const;
    void FlipWinding();
    // Turns the whole mesh inside out (normals too), for surfaces seen from within.
    void Invert();
};

// A cross-section: points around a closed loop, all rings of a loft having
// the same count.
using Ring = std::vector<Vec3>;

struct LoftOptions {
    std::string material;
    // Materials of the caps closing the first and the last ring; empty leaves
    // that end open.
    std::string startCap, endCap;
    // Texture repeats around the loop and along it.
    float uScale = 1, vScale = 1;
};

// A smooth surface through the rings in order. Caps are flat. A closed result
// is turned to face outwards whichever way the rings run.
Mesh Loft(const std::vector<Ring>& rings, const LoftOptions& options);

// A superellipse loop in the plane x = at.x, centred on (at.y, at.z):
// half-widths hy and hz, exponent 2 a plain ellipse, larger ones boxier.
Ring SectionX(const Vec3& at, float hy, float hz, int segments, float exponent = 2.0f);
// The same in the plane y = at.y (wings), over x and z.
Ring SectionY(const Vec3& at, float hx, float hz, int segments, float exponent = 2.0f);
// And in the plane z = at.z (fins), over x and y.
Ring SectionZ(const Vec3& at, float hx, float hy, int segments, float exponent = 2.0f);

Mesh Ellipsoid(const Vec3& centre, const Vec3& radii, int slices, int stacks, const std::string& material,
               float uScale = 1, float vScale = 1);
// A box between two opposite corners, in either order.
Mesh Box(const Vec3& a, const Vec3& b, const std::string& material);
// A tube along x from x0 to x1 with radii r0 and r1 around (y, z).
Mesh CylinderX(float x0, float x1, float r0, float r1, float y, float z, int segments,
               const LoftOptions& options);
// A torus around the x axis: ring radius R, tube radius r.
Mesh TorusX(float R, float r, int ringSegments, int tubeSegments, const std::string& material);

// ---- the model file ------------------------------------------------------------------

struct MaterialInfo {
    std::string name;
    std::string diffuseMap; // texture name, empty for none
    float diffuse[4] = {1, 1, 1, 1};
    float ambient[4] = {0.3f, 0.3f, 0.3f, 1};
    float specular[4] = {0.5f, 0.5f, 0.5f, 1};
};

struct GeomObject {
    std::string name;
    Mesh mesh;
    // Written whole (translation included): the object's placement.
    Matrix tm;
    uint32_t colour = 0xFFFFFFFF;
    // A second texture-coordinate channel, one per vertex (light maps).
    std::vector<Vec2> uv2;
};

struct HelperPoint {
    std::string name;
    Vec3 position;
    std::optional<Matrix> tm; // a translation to the position when absent
};

struct SpherePoint {
    std::string name;
    Vec3 centre;
    float radius = 0;
};

struct LightPoint {
    std::string name;
    Vec3 position;
    float rgba[4] = {1, 1, 1, 1};
    uint32_t value = 0;
};

struct ShapePoints {
    std::string name;
    std::vector<Vec3> points;
};

struct CameraPoint {
    std::string name, target;
    Matrix tm;
    float fov = 0.8f;
};

struct AnimKey {
    float time = 0; // frames * 100, as the files count them
    Matrix tm;
    float colour[4] = {1, 1, 1, 1};
    float factor = 1;
};

struct AnimTrack {
    std::string name;
    float startFrame = 0, endFrame = 0;
    std::vector<AnimKey> keys;
};

class ModelFile {
public:
    explicit ModelFile(std::string scene) : scene_(std::move(scene)) {}

    uint32_t ambient = 0xFF202020;
    std::vector<MaterialInfo> materials;
    std::vector<GeomObject> objects;
    std::vector<HelperPoint> helpers;
    std::vector<SpherePoint> spheres;
    std::vector<LightPoint> lights;
    std::vector<ShapePoints> shapes;
    std::vector<CameraPoint> cameras;
    std::string animationRoot; // written when not empty
    std::vector<AnimTrack> tracks;

    GeomObject& AddObject(const std::string& name, Mesh mesh);
    void AddHelper(const std::string& name, const Vec3& position) { helpers.push_back({name, position, {}}); }
    void AddSphere(const std::string& name, const Vec3& centre, float radius) {
        spheres.push_back({name, centre, radius});
    }
    MaterialInfo& AddMaterial(const std::string& name, const std::string& diffuseMap, uint32_t rgb);

    // The file image.
    std::string Bytes() const;

private:
    const MaterialInfo* Material(const std::string& name) const;
    std::string scene_;
};

} // namespace vesk::contentgen
