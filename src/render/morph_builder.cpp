// Render objects of morphed characters: the streams a morpher blends from.
#include "render/device.h"
#include "render/morpher.h"
#include "render/ro_builders.h"
#include "shared/errors.h"
#include "shared/math.h"

#include <cstring>
#include <memory>

namespace vesk {

using namespace platform;

namespace {

constexpr uint32_t kResultFvf = 0x116;     // position, blend weight, normal, one texture set
constexpr uint32_t kResultFvfTex2 = 0x216; // ... two texture sets
constexpr uint32_t kSourceFvf = 0x16;      // position, blend weight, normal
constexpr uint32_t kTexFvf = 0x100;
constexpr uint32_t kTexFvfTex2 = 0x200;

// A managed vertex buffer of count vertices filled by write(vertex index, bytes);
// nullptr after the fatal report.
template <class Write>
Ref<IDirect3DVertexBuffer9> MakeStream(uint32_t count, uint32_t stride, uint32_t fvf, const std::string& name,
                                       Write write) {
    Ref<IDirect3DVertexBuffer9> vb;
    IDirect3DDevice9* d = Device.Get();
    const Result created =
        d ? d->CreateVertexBuffer(count * stride, 0, fvf, D3DPOOL_MANAGED, vb.Put(), nullptr)
          : D3DERR_INVALIDCALL;
    if (created < 0 || !vb) {
        CheckDXResult(created < 0 ? created : D3DERR_INVALIDCALL,
                      "CMParser: d3dd.CreateVertexBuffer(): " + name, "mhl");
        return {};
    }
    void* data = nullptr;
    const Result locked = vb->Lock(0, count * stride, &data, 0);
    if (locked < 0 || !data) {
        CheckDXResult(locked < 0 ? locked : D3DERR_INVALIDCALL, "CMParser.LockVB MSS " + name, "mhl");
        return {};
    }
    auto* bytes = static_cast<uint8_t*>(data);
    for (uint32_t i = 0; i < count; ++i) write(i, bytes + size_t(i) * stride);
    const Result unlocked = vb->Unlock();
    if (unlocked < 0) {
        CheckDXResult(unlocked, "CMParser.LockVB MSS " + name, "mhl");
        return {};
    }
    return vb;
}

void PutFloats(uint8_t* at, std::initializer_list<float> values) {
    for (float v : values) {
        std::memcpy(at, &v, sizeof v);
        at += sizeof v;
    }
}

// Position less the object's translation, weight 1.0, normal: the first 28 bytes of every blended vertex.
void PutShape(uint8_t* at, const ROModelVertex& v, const Vec3& t) {
    PutFloats(at, {v.x - t.x, v.y - t.y, v.z - t.z, 1.0f, v.nx, v.ny, v.nz});
}

} // namespace

TRenderObject* BuildMorphRenderObject(const ROModelNode& node, const std::vector<const ROModelNode*>& sources,
                                      uint64_t options, bool secondUV) {
    // Without a device (a headless run) there is nothing to blend into.
    if (!Device) {
        FastLogAdd("CMTreeClass.CreateMorphRO: no device for " + node.fileName + ", " + node.objectName);
        return nullptr;
    }
    auto* ro = TEngineObject::New<TRenderObject>();
    ro->Create(D3DPOOL_MANAGED, 0x10015, 0, 0, 0, 0);
    ro->SetName(node.objectName);
    ro->SetPrimitiveType(D3DPT_TRIANGLELIST);
    Matrix world = node.matrix;
    MatrixNormalizeColumns(world);
    ro->SetMatrix(world);
    ro->SetBox(node.boxCorner1, node.boxCorner2);
    const auto count = static_cast<uint32_t>(node.vertices.size());
    ro->SetVertexCount(count);

    auto morpher = std::make_unique<MorpherClass>();
    const Vec3 t = MatrixGetTranslation(node.matrix);
    bool ok = true;
    if (options & RO_MORPHSTREAMS) {
        ro->SetFlag(RO_MORPHSTREAMS);
        const uint32_t stride = secondUV ? MORPH_RESULT_STRIDE_TEX2 : MORPH_RESULT_STRIDE;
        auto result = MakeStream(count, stride, secondUV ? kResultFvfTex2 : kResultFvf, node.objectName,
                                 [&](uint32_t i, uint8_t* at) {
                                     const ROModelVertex& v = node.vertices[i];
                                     PutShape(at, v, t);
                                     if (secondUV)
                                         PutFloats(at + 28, {v.u, -v.v, v.u2, -v.v2});
                                     else
                                         PutFloats(at + 28, {v.u, -v.v});
                                 });
        ok = result && morpher->AddVertexStreamData(-1, 0, stride, result.Get(), "Result");
    } else {
        ro->SetFlag(RO_VERTEXSHADER);
        // One stream per source shape, then the texture coordinates.
        std::vector<D3DVERTEXELEMENT9> elements;
        const auto shapes = static_cast<uint16_t>(1 + sources.size());
        for (uint16_t s = 0; s < shapes; ++s) {
            elements.push_back(
                {s, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, uint8_t(s)});
            elements.push_back(
                {s, 16, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, uint8_t(s)});
        }
        elements.push_back({shapes, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0});
        if (secondUV)
            elements.push_back(
                {shapes, 8, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 1});
        elements.push_back(D3DDECL_END);
        ro->CreateVertexDeclaration(elements.data());
    }
    auto addShape = [&](const ROModelNode& shape, int32_t stream) {
        const Vec3 own = MatrixGetTranslation(shape.matrix);
        auto vb = MakeStream(count, MORPH_SOURCE_STRIDE, kSourceFvf, shape.objectName,
                             [&](uint32_t i, uint8_t* at) { PutShape(at, shape.vertices[i], own); });
        return vb && morpher->AddVertexStreamData(stream, 0, MORPH_SOURCE_STRIDE, vb.Get(), shape.objectName);
    };
    int32_t stream = 0;
    if (ok) ok = addShape(node, stream++);
    for (const ROModelNode* s : sources)
        if (ok && s && s->vertices.size() == count) ok = addShape(*s, stream++);
    if (ok) {
        const uint32_t stride = secondUV ? 16 : 8;
        auto tex = MakeStream(count, stride, secondUV ? kTexFvfTex2 : kTexFvf, node.objectName,
                              [&](uint32_t i, uint8_t* at) {
                                  const ROModelVertex& v = node.vertices[i];
                                  if (secondUV)
                                      PutFloats(at, {v.u, -v.v, v.u2, -v.v2});
                                  else
                                      PutFloats(at, {v.u, -v.v});
                              });
        ok = tex && morpher->AddVertexStreamData(stream, 0, stride, tex.Get(), node.objectName);
    }
    if (!ok) {
        ro->Free();
        return nullptr;
    }
    ROGenericFactory materials;
    materials.SetMaterialProperties(*ro, node);
    morpher->SetSourceObject(node.objectName, nullptr);
    ro->SetMorpher(std::move(morpher));
    ro->SetTotals(0, count, 0xABCDEF00u);
    return ro;
}

} // namespace vesk
