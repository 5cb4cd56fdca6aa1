#include "mesh.h"

#include "physics/cm_writer.h"
#include "shared/math.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace vesk::contentgen {

namespace {

constexpr float kTwoPi = 6.28318530718f;

Vec3 TriangleCross(const Vec3& a, const Vec3& b, const Vec3& c) {
    return Vec3Cross(Vec3Sub(b, a), Vec3Sub(c, a));
}

// Unit length, or up when the vector has none.
Vec3 NormalOr(const Vec3& v, const Vec3& fallback) {
    const float len = Vec3Length(v);
    return len > 1e-12f ? Vec3Scale(v, 1.0f / len) : fallback;
}

bool Degenerate(const Vec3& a, const Vec3& b, const Vec3& c) {
    return Vec3LengthSq(TriangleCross(a, b, c)) < 1e-14f;
}

// Signed power: sign(x) * |x|^e, the superellipse's profile.
float SignedPow(float x, float e) {
    return std::copysign(std::pow(std::fabs(x), e), x);
}

} // namespace

uint32_t Mesh::AddVertex(const MeshVertex& v) {
    vertices.push_back(v);
    return static_cast<uint32_t>(vertices.size() - 1);
}

void Mesh::AddTriangle(const std::string& material, uint32_t a, uint32_t b, uint32_t c) {
    auto it =
        std::find_if(parts.begin(), parts.end(), [&](const MeshPart& p) { return p.material == material; });
    if (it == parts.end()) {
        parts.push_back({material, {}});
        it = parts.end() - 1;
    }
    it->indices.insert(it->indices.end(), {a, b, c});
}

void Mesh::Append(const Mesh& other, const Matrix& transform) {
    Matrix inverse;
    MatrixInverse(transform, inverse);
    const auto base = static_cast<uint32_t>(vertices.size());
    for (MeshVertex v : other.vertices) {
        v.p = Vec3TransformCoord(v.p, transform);
        // Normals go through the inverse transpose so scaled shapes stay lit right.
        const Vec3 n = v.n;
        v.n = NormalOr({n.x * inverse.m[0][0] + n.y * inverse.m[0][1] + n.z * inverse.m[0][2],
                        n.x * inverse.m[1][0] + n.y * inverse.m[1][1] + n.z * inverse.m[1][2],
                        n.x * inverse.m[2][0] + n.y * inverse.m[2][1] + n.z * inverse.m[2][2]},
                       n);
        vertices.push_back(v);
    }
    // A mirroring transform turns the winding; keep the triangles facing out.
    const bool mirrored = MatrixDeterminant(transform) < 0;
    for (const MeshPart& part : other.parts)
        for (size_t i = 0; i + 2 < part.indices.size(); i += 3) {
            const uint32_t a = base + part.indices[i], b = base + part.indices[i + 1],
                           c = base + part.indices[i + 2];
            if (mirrored)
                AddTriangle(part.material, a, c, b);
            else
                AddTriangle(part.material, a, b, c);
        }
}

void Mesh::Append(const Mesh& other) {
    Append(other, Matrix{});
}

size_t Mesh::TriangleCount() const {
    size_t n = 0;
    for (const auto& p : parts) n += p.indices.size() / 3;
    return n;
}

std::vector<uint32_t> Mesh::AllIndices() const {
    std::vector<uint32_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.indices.begin(), p.indices.end());
    return all;
}

Vec3 Mesh::Min() const {
    if (vertices.empty()) return {};
    Vec3 m = vertices.front().p;
    for (const auto& v : vertices) m = {std::min(m.x, v.p.x), std::min(m.y, v.p.y), std::min(m.z, v.p.z)};
    return m;
}

Vec3 Mesh::Max() const {
    if (vertices.empty()) return {};
    Vec3 m = vertices.front().p;
    for (const auto& v : vertices) m = {std::max(m.x, v.p.x), std::max(m.y, v.p.y), std::max(m.z, v.p.z)};
    return m;
}

float Mesh::SignedVolume() const {
    // Taken about the box centre so the sum stays well conditioned far from the origin.
    const Vec3 c = Vec3Scale(Vec3Add(Min(), Max()), 0.5f);
    double volume = 0;
    for (const auto& part : parts)
        for (size_t i = 0; i + 2 < part.indices.size(); i += 3) {
            const Vec3 a = Vec3Sub(vertices[part.indices[i]].p, c);
            const Vec3 b = Vec3Sub(vertices[part.indices[i + 1]].p, c);
            const Vec3 d = Vec3Sub(vertices[part.indices[i + 2]].p, c);
            volume += Vec3Dot(a, Vec3Cross(b, d));
        }
    return static_cast<float>(volume / 6.0);
}

void Mesh::FlipWinding() {
    for (auto& part : parts)
        for (size_t i = 0; i + 2 < part.indices.size(); i += 3)
            std::swap(part.indices[i + 1], part.indices[i + 2]);
}

void Mesh::Invert() {
    FlipWinding();
    for (auto& v : vertices) v.n = Vec3Scale(v.n, -1.0f);
}

// ---- shapes ---------------------------------------------------------------------------

Mesh Loft(const std::vector<Ring>& input, const LoftOptions& options) {
    Mesh mesh;
    if (input.size() < 2 || input.front().size() < 3) return mesh;
    // A ring that has shrunk to (nearly) a point, as at a pole or a nose, is
    // made exactly one so the slivers beside it drop out instead of facing
    // any which way.
    std::vector<Ring> rings = input;
    float extent = 0;
    for (const Ring& ring : rings)
        for (const Vec3& p : ring) extent = std::max(extent, Vec3Length(Vec3Sub(p, rings[0][0])));
    for (Ring& ring : rings) {
        float spread = 0;
        for (const Vec3& p : ring) spread = std::max(spread, Vec3Length(Vec3Sub(p, ring[0])));
        if (spread < extent * 1e-5f) std::fill(ring.begin(), ring.end(), ring[0]);
    }
    const size_t R = rings.size(), N = rings.front().size();
    const size_t columns = N + 1; // the first column again, for the texture seam
    for (size_t r = 0; r < R; ++r)
        for (size_t i = 0; i < columns; ++i) {
            MeshVertex v;
            v.p = rings[r][i % N];
            v.u = options.uScale * static_cast<float>(i) / static_cast<float>(N);
            v.v = options.vScale * static_cast<float>(r) / static_cast<float>(R - 1);
            mesh.AddVertex(v);
        }
    auto at = [&](size_t r, size_t i) { return static_cast<uint32_t>(r * columns + i); };
    std::vector<std::array<uint32_t, 3>> body;
    for (size_t r = 0; r + 1 < R; ++r)
        for (size_t i = 0; i < N; ++i) {
            const uint32_t a = at(r, i), b = at(r, i + 1), c = at(r + 1, i + 1), d = at(r + 1, i);
            for (const auto& t : {std::array<uint32_t, 3>{a, b, c}, std::array<uint32_t, 3>{a, c, d}})
                if (!Degenerate(mesh.vertices[t[0]].p, mesh.vertices[t[1]].p, mesh.vertices[t[2]].p))
                    body.push_back(t);
        }
    // Caps: a fan from the ring's centre, wound against the body's edge.
    struct Cap {
        std::vector<std::array<uint32_t, 3>> tris;
        std::string material;
    };
    std::vector<Cap> caps;
    auto addCap = [&](size_t r, const std::string& material, bool reversed) {
        if (material.empty()) return;
        Vec3 centre{};
        for (const Vec3& p : rings[r]) centre = Vec3Add(centre, p);
        centre = Vec3Scale(centre, 1.0f / static_cast<float>(N));
        Cap cap{{}, material};
        const uint32_t c = mesh.AddVertex({centre, {}, 0.5f, 0.5f});
        std::vector<uint32_t> loop;
        for (size_t i = 0; i < N; ++i) {
            const float a = kTwoPi * static_cast<float>(i) / static_cast<float>(N);
            loop.push_back(
                mesh.AddVertex({rings[r][i], {}, 0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a)}));
        }
        for (size_t i = 0; i < N; ++i) {
            const uint32_t p = loop[i], q = loop[(i + 1) % N];
            const std::array<uint32_t, 3> t =
                reversed ? std::array<uint32_t, 3>{c, p, q} : std::array<uint32_t, 3>{c, q, p};
            if (!Degenerate(mesh.vertices[t[0]].p, mesh.vertices[t[1]].p, mesh.vertices[t[2]].p))
                cap.tris.push_back(t);
        }
        caps.push_back(std::move(cap));
    };
    addCap(0, options.startCap, false);
    addCap(R - 1, options.endCap, true);

    // Face outwards: the enclosed volume must come out positive.
    Mesh probe;
    probe.vertices = mesh.vertices;
    for (const auto& t : body) probe.AddTriangle("", t[0], t[1], t[2]);
    for (const auto& cap : caps)
        for (const auto& t : cap.tris) probe.AddTriangle("", t[0], t[1], t[2]);
    const bool flip = probe.SignedVolume() < 0;
    auto emit = [&](std::vector<std::array<uint32_t, 3>>& tris, const std::string& material) {
        for (auto& t : tris) {
            if (flip) std::swap(t[1], t[2]);
            mesh.AddTriangle(material, t[0], t[1], t[2]);
        }
    };

    // Smooth normals over the body; the seam column and rings shrunk to a
    // point share theirs.
    std::vector<Vec3> normals(mesh.vertices.size());
    auto accumulate = [&](const std::vector<std::array<uint32_t, 3>>& tris) {
        for (const auto& t : tris) {
            Vec3 n = TriangleCross(mesh.vertices[t[0]].p, mesh.vertices[t[1]].p, mesh.vertices[t[2]].p);
            if (flip) n = Vec3Scale(n, -1.0f);
            for (uint32_t k : t) normals[k] = Vec3Add(normals[k], n);
        }
    };
    accumulate(body);
    for (size_t r = 0; r < R; ++r) {
        const Vec3 seam = Vec3Add(normals[at(r, 0)], normals[at(r, N)]);
        normals[at(r, 0)] = normals[at(r, N)] = seam;
        bool point = true;
        for (size_t i = 1; i < N && point; ++i)
            point = rings[r][i].x == rings[r][0].x && rings[r][i].y == rings[r][0].y &&
                    rings[r][i].z == rings[r][0].z;
        if (point) {
            Vec3 sum{};
            for (size_t i = 0; i < N; ++i) sum = Vec3Add(sum, normals[at(r, i)]);
            for (size_t i = 0; i < columns; ++i) normals[at(r, i)] = sum;
        }
    }
    for (auto& cap : caps) {
        Vec3 sum{};
        for (const auto& t : cap.tris)
            sum = Vec3Add(sum,
                          TriangleCross(mesh.vertices[t[0]].p, mesh.vertices[t[1]].p, mesh.vertices[t[2]].p));
        if (flip) sum = Vec3Scale(sum, -1.0f);
        for (const auto& t : cap.tris)
            for (uint32_t k : t) normals[k] = sum;
    }
    for (size_t k = 0; k < mesh.vertices.size(); ++k) mesh.vertices[k].n = NormalOr(normals[k], {0, 0, 1});
    emit(body, options.material);
    for (auto& cap : caps) emit(cap.tris, cap.material);
    return mesh;
}

namespace {

// Points of a superellipse loop in two axes of a plane.
std::vector<std::pair<float, float>> Superellipse(float ha, float hb, int segments, float exponent) {
    std::vector<std::pair<float, float>> loop;
    const float e = 2.0f / std::max(exponent, 0.1f);
    for (int i = 0; i < segments; ++i) {
        const float t = kTwoPi * static_cast<float>(i) / static_cast<float>(segments);
        loop.emplace_back(ha * SignedPow(std::cos(t), e), hb * SignedPow(std::sin(t), e));
    }
    return loop;
}

} // namespace

Ring SectionX(const Vec3& at, float hy, float hz, int segments, float exponent) {
    Ring ring;
    for (auto [a, b] : Superellipse(hy, hz, segments, exponent)) ring.push_back({at.x, at.y + a, at.z + b});
    return ring;
}

Ring SectionY(const Vec3& at, float hx, float hz, int segments, float exponent) {
    Ring ring;
    for (auto [a, b] : Superellipse(hx, hz, segments, exponent)) ring.push_back({at.x + a, at.y, at.z + b});
    return ring;
}

Ring SectionZ(const Vec3& at, float hx, float hy, int segments, float exponent) {
    Ring ring;
    for (auto [a, b] : Superellipse(hx, hy, segments, exponent)) ring.push_back({at.x + a, at.y + b, at.z});
    return ring;
}

Mesh Ellipsoid(const Vec3& centre, const Vec3& radii, int slices, int stacks, const std::string& material,
               float uScale, float vScale) {
    std::vector<Ring> rings;
    for (int j = 0; j <= stacks; ++j) {
        const float t = 3.14159265f * static_cast<float>(j) / static_cast<float>(stacks);
        const float s = std::sin(t);
        rings.push_back(SectionX({centre.x - radii.x * std::cos(t), centre.y, centre.z}, radii.y * s,
                                 radii.z * s, slices));
    }
    LoftOptions o;
    o.material = material;
    o.uScale = uScale;
    o.vScale = vScale;
    return Loft(rings, o);
}

Mesh Box(const Vec3& a, const Vec3& b, const std::string& material) {
    Mesh mesh;
    // Either two opposite corners will do.
    const Vec3 min{std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
    const Vec3 max{std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
    const Vec3 c = Vec3Scale(Vec3Add(min, max), 0.5f);
    const Vec3 h = Vec3Scale(Vec3Sub(max, min), 0.5f);
    // Each face: its normal and two in-plane axes with u x v along the normal.
    const struct {
        Vec3 n, u, v;
    } faces[] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                 {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                 {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}};
    auto scaled = [&](const Vec3& a) { return Vec3{a.x * h.x, a.y * h.y, a.z * h.z}; };
    for (const auto& f : faces) {
        const Vec3 fc = Vec3Add(c, scaled(f.n));
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        uint32_t idx[4];
        for (int i = 0; i < 4; ++i) {
            const Vec3 p = Vec3Add(
                fc, Vec3Add(Vec3Scale(scaled(f.u), corners[i][0]), Vec3Scale(scaled(f.v), corners[i][1])));
            idx[i] = mesh.AddVertex({p, f.n, (corners[i][0] + 1) / 2, (corners[i][1] + 1) / 2});
        }
        mesh.AddTriangle(material, idx[0], idx[1], idx[2]);
        mesh.AddTriangle(material, idx[0], idx[2], idx[3]);
    }
    return mesh;
}

Mesh CylinderX(float x0, float x1, float r0, float r1, float y, float z, int segments,
               const LoftOptions& options) {
    return Loft({SectionX({x0, y, z}, r0, r0, segments), SectionX({x1, y, z}, r1, r1, segments)}, options);
}

Mesh TorusX(float R, float r, int ringSegments, int tubeSegments, const std::string& material) {
    // Built as a loft of tube sections round the big circle; the last section
    // repeats the first so the surface closes.
    std::vector<Ring> rings;
    for (int k = 0; k <= ringSegments; ++k) {
        const float phi = kTwoPi * static_cast<float>(k % ringSegments) / static_cast<float>(ringSegments);
        const Vec3 d{0, std::cos(phi), std::sin(phi)};
        const Vec3 centre = Vec3Scale(d, R);
        Ring ring;
        for (int i = 0; i < tubeSegments; ++i) {
            const float t = kTwoPi * static_cast<float>(i) / static_cast<float>(tubeSegments);
            ring.push_back(
                Vec3Add(centre, Vec3Add(Vec3Scale(d, r * std::cos(t)), Vec3{r * std::sin(t), 0, 0})));
        }
        rings.push_back(ring);
    }
    LoftOptions o;
    o.material = material;
    o.uScale = 1;
    o.vScale = 8;
    Mesh mesh = Loft(rings, o);
    // The closing section's normals match the first one's.
    const size_t columns = static_cast<size_t>(tubeSegments) + 1;
    const size_t last = static_cast<size_t>(ringSegments) * columns;
    for (size_t i = 0; i < columns; ++i) {
        const Vec3 n = NormalOr(Vec3Add(mesh.vertices[i].n, mesh.vertices[last + i].n), mesh.vertices[i].n);
        mesh.vertices[i].n = mesh.vertices[last + i].n = n;
    }
    return mesh;
}

// ---- the model file ------------------------------------------------------------------

GeomObject& ModelFile::AddObject(const std::string& name, Mesh mesh) {
    GeomObject& o = objects.emplace_back();
    o.name = name;
    o.mesh = std::move(mesh);
    return o;
}

MaterialInfo& ModelFile::AddMaterial(const std::string& name, const std::string& diffuseMap, uint32_t rgb) {
    MaterialInfo& m = materials.emplace_back();
    m.name = name;
    m.diffuseMap = diffuseMap;
    m.diffuse[0] = static_cast<float>((rgb >> 16) & 0xFF) / 255.0f;
    m.diffuse[1] = static_cast<float>((rgb >> 8) & 0xFF) / 255.0f;
    m.diffuse[2] = static_cast<float>(rgb & 0xFF) / 255.0f;
    return m;
}

const MaterialInfo* ModelFile::Material(const std::string& name) const {
    for (const auto& m : materials)
        if (m.name == name) return &m;
    return nullptr;
}

namespace {

void PutVec3(uint8_t* p, const Vec3& v) {
    PutF32(p, v.x);
    PutF32(p + 4, v.y);
    PutF32(p + 8, v.z);
}

void PutFloats(uint8_t* p, const float* v, int n) {
    for (int i = 0; i < n; ++i) PutF32(p + 4 * i, v[i]);
}

// The twelve floats of a transform block: three axis rows and the translation row.
void PutTM(uint8_t* p, const Matrix& m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) PutF32(p + 12 * r + 4 * c, m.m[r][c]);
}

// Builds one file image chunk by chunk over a shared string table.
class ChunkWriter {
public:
    CMHeaderClass Chunk(uint32_t type, uint32_t headerSize, uint32_t dataSize = 0) {
        CMHeaderClass h;
        h.Init(&strings, type, headerSize, dataSize, "", 1);
        return h;
    }
    void Write(const CMHeaderClass& h) { h.WriteToFile(file); }
    void Marker(uint32_t type) { Write(Chunk(type, kChunkCommonSize)); }
    uint32_t Id(const std::string& text) { return strings.AddString(text); }
    std::string Finish() {
        strings.WriteToFile(file);
        Marker(CHUNK_END);
        return std::move(file);
    }

    CMStringsClass strings;
    std::string file;
};

void WriteIndexList(ChunkWriter& w, const std::vector<uint32_t>& indices) {
    CMHeaderClass h = w.Chunk(CHUNK_INDEX_LIST, kListHeaderSize, static_cast<uint32_t>(indices.size() * 4));
    PutU32(h.GetHeader() + 20, static_cast<uint32_t>(indices.size()));
    uint8_t* d = h.GetData();
    for (uint32_t i : indices) {
        PutU32(d, i);
        d += 4;
    }
    w.Write(h);
}

} // namespace

std::string ModelFile::Bytes() const {
    ChunkWriter w;
    {
        CMHeaderClass scene = w.Chunk(CHUNK_SCENE, kSceneHeaderSize);
        PutU32(scene.GetHeader() + 20, w.Id(scene_));
        float rgba[4];
        UnpackColor(ambient, rgba);
        PutFloats(scene.GetHeader() + 24, rgba, 4);
        w.Write(scene);
    }
    for (const GeomObject& o : objects) {
        CMHeaderClass h = w.Chunk(CHUNK_GEOMOBJ, kGeomObjHeaderSize);
        uint8_t* p = h.GetHeader();
        PutU32(p + 20, w.Id(o.name));
        PutU32(p + 24, w.Id(""));
        PutVec3(p + 40, o.mesh.Min());
        PutVec3(p + 52, o.mesh.Max());
        PutVec3(p + 64, {o.tm.m[3][0], o.tm.m[3][1], o.tm.m[3][2]});
        PutTM(p + 88, o.tm);
        float rgba[4];
        UnpackColor(o.colour, rgba);
        PutFloats(p + 136, rgba, 4);
        w.Write(h);

        const auto count = static_cast<uint32_t>(o.mesh.vertices.size());
        CMHeaderClass verts = w.Chunk(CHUNK_VERTEX_LIST, kListHeaderSize, count * 32);
        PutU32(verts.GetHeader() + 20, count);
        PutU32(verts.GetHeader() + 24, 32);
        uint8_t* d = verts.GetData();
        for (const MeshVertex& v : o.mesh.vertices) {
            PutVec3(d, v.p);
            PutVec3(d + 12, v.n);
            PutF32(d + 24, v.u);
            PutF32(d + 28, v.v);
            d += 32;
        }
        w.Write(verts);
        // All triangles for collision and sections, then each material's own.
        WriteIndexList(w, o.mesh.AllIndices());
        if (!o.uv2.empty()) {
            CMHeaderClass uv = w.Chunk(CHUNK_TEXCOORD_LIST, 32, static_cast<uint32_t>(o.uv2.size() * 8));
            PutU32(uv.GetHeader() + 20, static_cast<uint32_t>(o.uv2.size()));
            PutU32(uv.GetHeader() + 24, 8);
            PutU32(uv.GetHeader() + 28, 1);
            d = uv.GetData();
            for (const Vec2& t : o.uv2) {
                PutF32(d, t.x);
                PutF32(d + 4, t.y);
                d += 8;
            }
            w.Write(uv);
        }
        w.Marker(CHUNK_MATERIAL_LIST_BEGIN);
        for (const MeshPart& part : o.mesh.parts) {
            if (part.indices.empty()) continue;
            const MaterialInfo* info = Material(part.material);
            CMHeaderClass m = w.Chunk(CHUNK_MATERIAL, 200);
            uint8_t* mp = m.GetHeader();
            PutU32(mp + 20, w.Id(part.material));
            PutU32(mp + 24, w.Id(""));
            const MaterialInfo fallback;
            const MaterialInfo& mi = info ? *info : fallback;
            PutFloats(mp + 32, mi.diffuse, 4);
            PutFloats(mp + 48, mi.ambient, 4);
            PutFloats(mp + 64, mi.specular, 4);
            if (!mi.diffuseMap.empty()) {
                PutU32(mp + 80, w.Id(mi.diffuseMap));
                PutU32(mp + 84, w.Id("diffuse"));
            }
            w.Write(m);
            WriteIndexList(w, part.indices);
            w.Marker(CHUNK_MATERIAL_END);
        }
        w.Marker(CHUNK_MATERIAL_LIST_END);
        w.Marker(CHUNK_GEOMOBJ_END);
    }
    for (const SpherePoint& s : spheres) {
        CMHeaderClass h = w.Chunk(CHUNK_BSPHERE, 92);
        PutU32(h.GetHeader() + 20, w.Id(s.name));
        PutU32(h.GetHeader() + 24, w.Id(""));
        PutVec3(h.GetHeader() + 28, s.centre);
        PutF32(h.GetHeader() + 40, s.radius);
        PutTM(h.GetHeader() + 44, MatrixTranslation(s.centre.x, s.centre.y, s.centre.z));
        w.Write(h);
    }
    if (!helpers.empty()) {
        w.Marker(CHUNK_HELPER_LIST_BEGIN);
        for (const HelperPoint& hp : helpers) {
            CMHeaderClass h = w.Chunk(CHUNK_HELPER, 88);
            PutU32(h.GetHeader() + 20, w.Id(hp.name));
            PutU32(h.GetHeader() + 24, w.Id(""));
            PutVec3(h.GetHeader() + 28, hp.position);
            PutTM(h.GetHeader() + 40,
                  hp.tm ? *hp.tm : MatrixTranslation(hp.position.x, hp.position.y, hp.position.z));
            w.Write(h);
            w.Marker(CHUNK_HELPER_END);
        }
        w.Marker(CHUNK_HELPER_LIST_END);
    }
    if (!lights.empty()) {
        w.Marker(CHUNK_LIGHT_LIST_BEGIN);
        for (const LightPoint& l : lights) {
            CMHeaderClass h = w.Chunk(CHUNK_LIGHT, 60);
            PutU32(h.GetHeader() + 20, w.Id(l.name));
            PutU32(h.GetHeader() + 24, w.Id(""));
            PutVec3(h.GetHeader() + 28, l.position);
            PutU32(h.GetHeader() + 40, l.value);
            PutFloats(h.GetHeader() + 44, l.rgba, 4);
            w.Write(h);
            w.Marker(CHUNK_LIGHT_END);
        }
        w.Marker(CHUNK_LIGHT_LIST_END);
    }
    if (!cameras.empty()) {
        w.Marker(CHUNK_CAMERA_LIST_BEGIN);
        for (const CameraPoint& c : cameras) {
            CMHeaderClass h = w.Chunk(CHUNK_CAMERA, 120);
            PutU32(h.GetHeader() + 20, w.Id(c.name));
            PutU32(h.GetHeader() + 24, w.Id(""));
            PutU32(h.GetHeader() + 28, w.Id(c.target));
            PutTM(h.GetHeader() + 56, c.tm);
            PutF32(h.GetHeader() + 116, c.fov);
            w.Write(h);
            w.Marker(CHUNK_CAMERA_END);
        }
        w.Marker(CHUNK_CAMERA_LIST_END);
    }
    if (!shapes.empty()) {
        w.Marker(CHUNK_SHAPE_LIST_BEGIN);
        for (const ShapePoints& s : shapes) {
            const auto count = static_cast<uint32_t>(s.points.size());
            CMHeaderClass h = w.Chunk(CHUNK_SHAPE, 108, count * 12);
            PutU32(h.GetHeader() + 20, w.Id(s.name));
            PutU32(h.GetHeader() + 24, w.Id(""));
            PutU32(h.GetHeader() + 28, w.Id(""));
            PutTM(h.GetHeader() + 56, Matrix{});
            PutU32(h.GetHeader() + 104, count);
            uint8_t* d = h.GetData();
            for (const Vec3& p : s.points) {
                PutVec3(d, p);
                d += 12;
            }
            w.Write(h);
            w.Marker(CHUNK_SHAPE_END);
        }
        w.Marker(CHUNK_SHAPE_LIST_END);
    }
    if (!animationRoot.empty()) {
        CMHeaderClass h = w.Chunk(CHUNK_ANIMATION_ROOT, 36);
        PutU32(h.GetHeader() + 20, w.Id(animationRoot));
        PutU32(h.GetHeader() + 24, w.Id(""));
        w.Write(h);
    }
    for (const AnimTrack& t : tracks) {
        const auto count = static_cast<uint32_t>(t.keys.size());
        CMHeaderClass h = w.Chunk(CHUNK_ANIMATION_TRACK, 44, count * kFileKeySize);
        PutU32(h.GetHeader() + 20, w.Id(t.name));
        PutU32(h.GetHeader() + 24, w.Id(""));
        PutF32(h.GetHeader() + 28, t.startFrame);
        PutF32(h.GetHeader() + 32, t.endFrame);
        PutU32(h.GetHeader() + 40, count);
        uint8_t* d = h.GetData();
        for (const AnimKey& k : t.keys) {
            PutF32(d + 8, k.time);
            PutTM(d + 20, k.tm);
            PutFloats(d + 68, k.colour, 4);
            PutF32(d + 84, k.factor);
            d += kFileKeySize;
        }
        w.Write(h);
        w.Marker(CHUNK_ANIMATION_TRACK_END);
    }
    return w.Finish();
}

} // namespace vesk::contentgen
