#include "render/ro_builders.h"

#include "shared/errors.h"

#include <cmath>
#include <cstring>

namespace vesk {

using namespace platform;

uint32_t PrimitiveCountOfIndices(size_t indexCount) {
    return static_cast<uint32_t>(std::nearbyint(static_cast<double>(indexCount) / 3.0));
}

namespace {

// Locks the whole chunk of the render object; nullptr (reported) when it cannot.
void* LockAll(TRenderObject& ro, uint32_t count) {
    void* data = nullptr;
    if (!ro.GetVB() || ro.LockVB(&data, 0, count, D3DLOCK_NOOVERWRITE) < 0 || !data) {
        ErrorReport("ROBuilder.CreateRO: LockVB", "mhl");
        return nullptr;
    }
    return data;
}

} // namespace

void WriteIndexChunk(ROMaterialClass& m, const std::vector<uint32_t>& indices) {
    uint32_t format = 101;
    for (uint32_t i : indices)
        if (i > 65535) {
            format = 102;
            break;
        }
    if (!BuffersManager || indices.empty()) return;
    IIndexBuffer* ib = BuffersManager->GetIB(static_cast<uint32_t>(indices.size()), format, D3DPOOL_MANAGED);
    if (!ib) return;
    m.SetIB(ib);
    void* data = nullptr;
    if (m.LockIB(static_cast<uint32_t>(indices.size()), &data) < 0 || !data) {
        ErrorReport("ROBuilder.SetMaterialProperties: LockIB", "mhl");
        return;
    }
    for (uint32_t i = 0; i < indices.size(); ++i) ib->SetIndex(data, i, indices[i]);
    m.UnlockIB();
    ib->UpdateMinMax();
}

void ROBuilderBase::SetMaterialProperties(TRenderObject& ro, const ROModelNode& node) {
    for (const ROModelMaterial& nm : node.materials) {
        const std::string name = nm.nameSet ? nm.name : "checker";
        ROMaterialClass* m = ro.AddMaterial();
        m->SetMaterialFromLua(name, "checker", nullptr, node.fileName);
        WriteIndexChunk(*m, nm.indices);
        m->SetPrimCount(PrimitiveCountOfIndices(nm.indices.size()));
    }
}

void ROGenericFactory::CreateRO(TRenderObject& ro, const ROModelNode& node, uint32_t pool, uint32_t usage) {
    const auto n = static_cast<uint32_t>(node.vertices.size());
    if (!BuffersManager) return;
    ro.SetVB(BuffersManager->GetVB(n, FVF_PosNormalTex, pool, usage));
    ro.SetVertexCount(n);
    auto* out = static_cast<VertexPosNormalTex*>(LockAll(ro, n));
    if (!out) return;
    for (uint32_t i = 0; i < n; ++i) {
        const ROModelVertex& v = node.vertices[i];
        out[i] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, -v.v};
    }
    ro.UnlockVB();
}

void ROLightMapFactory::CreateRO(TRenderObject& ro, const ROModelNode& node, uint32_t pool, uint32_t usage) {
    const auto n = static_cast<uint32_t>(node.vertices.size());
    if (!BuffersManager) return;
    ro.SetVB(BuffersManager->GetVB(n, FVF_PosNormalTex2, pool, usage));
    ro.SetVertexCount(n);
    auto* out = static_cast<VertexPosNormalTex2*>(LockAll(ro, n));
    if (!out) return;
    for (uint32_t i = 0; i < n; ++i) {
        const ROModelVertex& v = node.vertices[i];
        out[i] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, -v.v, v.u2, -v.v2};
    }
    ro.UnlockVB();
}

void ROCubeModeFactory::CreateRO(TRenderObject& ro, const ROModelNode& node, uint32_t pool, uint32_t usage) {
    if (!BuffersManager) return;
    ro.SetVB(BuffersManager->GetVB(36, FVF_PosNormalTex, pool, usage));
    ro.SetVertexCount(36);
    auto* out = static_cast<VertexPosNormalTex*>(LockAll(ro, 36));
    if (!out) return;
    const Vec3 a = node.boxCorner1, b = node.boxCorner2;
    const Vec3 c{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, (a.z + b.z) * 0.5f};
    // Corner k takes x from b when bit 0 is set, y with bit 1, z with bit 2.
    auto corner = [&](int k) { return Vec3{k & 1 ? b.x : a.x, k & 2 ? b.y : a.y, k & 4 ? b.z : a.z}; };
    static const int kFaces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    int n = 0;
    for (const auto& f : kFaces)
        for (int k : {f[0], f[1], f[2], f[0], f[2], f[3]}) {
            const Vec3 p = corner(k);
            float dx = p.x - c.x, dy = p.y - c.y, dz = p.z - c.z;
            const float len = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (len > 0) {
                dx /= len;
                dy /= len;
                dz /= len;
            }
            out[n++] = {p.x, p.y, p.z, dx, dy, dz, 0, 0};
        }
    ro.UnlockVB();
}

void ROCubeModeFactory::SetMaterialProperties(TRenderObject& ro, const ROModelNode&) {
    ro.AddMaterial();
    ROMaterialClass* m = nullptr;
    if (!ro.TryGetMaterial(0, m)) {
        ErrorReport("CMParser.CreateRO: not ro.GetMaterial(i,romat) 1", "mhl");
        return;
    }
    std::vector<uint32_t> indices(36);
    for (uint32_t i = 0; i < 36; ++i) indices[i] = i;
    WriteIndexChunk(*m, indices);
    m->SetPrimCount(12);
    m->SetColors(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0.0f);
    m->SetTechnique(10);
    if (!ro.TryGetMaterial(0, m))
        ErrorReport("ROCubeModeFactory.SetMaterialProperties: not ro.GetMaterial(0,romat)", "mhl");
}

TRenderObject* BuildModelRenderObject(const ROModelNode& node, const ROModelBuild& build) {
    auto* ro = TEngineObject::New<TRenderObject>();
    ro->Create(build.pool, build.applyState, build.restoreState, 0, 0, build.usage);
    ro->SetName(node.objectName);
    ro->SetPrimitiveType(D3DPT_TRIANGLELIST);
    ro->SetBox(node.boxCorner1, node.boxCorner2);
    ro->SetMatrix(node.matrix);
    ROBuilderBase* builder = build.builder == ROBuilderKind::CubeMode
                                 ? static_cast<ROBuilderBase*>(TEngineObject::New<ROCubeModeFactory>())
                             : build.builder == ROBuilderKind::LightMap
                                 ? static_cast<ROBuilderBase*>(TEngineObject::New<ROLightMapFactory>())
                                 : static_cast<ROBuilderBase*>(TEngineObject::New<ROGenericFactory>());
    builder->CreateRO(*ro, node, build.pool, build.usage);
    builder->SetMaterialProperties(*ro, node);
    builder->Free();
    const uint32_t stride = ro->GetVB() ? ro->GetVB()->GetStride() : 0;
    ro->SetTotals(0, ro->VertexCount(), ro->VertexCount() * stride);
    return ro;
}

} // namespace vesk
