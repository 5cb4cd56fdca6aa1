#include "render/render_object.h"

#include "core/paths.h"
#include "platform/files.h"
#include "platform/gfx/d3dx.h"
#include "render/device.h"
#include "render/fog.h"
#include "render/shader.h"
#include "shared/class_manager.h"
#include "shared/errors.h"

#include <algorithm>

namespace vesk {

using namespace platform;

uint32_t MorphStreamsInUse = 1;

namespace {

const bool kRegistered =
    ClassManager.RegisterClass<TClassKind<TEngineObject>, TRenderObject>("TRenderObject");

// Strips and fans of n vertices hold n - 2 triangles; drawing more would read past the chunk.
uint32_t DrawnCount(D3DPRIMITIVETYPE type, uint32_t primCount, uint32_t vertexCount) {
    if (type != D3DPT_TRIANGLESTRIP && type != D3DPT_TRIANGLEFAN) return primCount;
    return std::min(primCount, vertexCount >= 2 ? vertexCount - 2 : 0u);
}

} // namespace

namespace {
// The name under which the depth-write switch of blended objects sits in the set.
const std::string kBlendedStates = "blended";
} // namespace

TRenderObject::TRenderObject() {
    (void)kRegistered;
}

void TRenderObject::Create(uint32_t pool, uint64_t applyFlags, uint64_t restoreFlags, uint64_t flags,
                           uint64_t count, uint32_t usage) {
    if (!states_) states_ = RenderStateManagerClass::Create(this);
    states_->SetFromFlags(applyFlags, restoreFlags);
    flags_ = flags;
    if (flags) PrepareGeometry(count, pool, usage);
}

void TRenderObject::Prepare(D3DPRIMITIVETYPE type, uint32_t vertices, uint32_t fvf, uint32_t primCount,
                            uint32_t pool, uint32_t usage) {
    primitiveType_ = type;
    AddMaterial()->SetPrimCount(primCount);
    vb_ = BuffersManager ? BuffersManager->GetVB(vertices, fvf, pool, usage) : nullptr;
    vertexCount_ = vertices;
    primitiveTotal_ = primCount;
    vertexTotal_ = vertices;
    byteTotal_ = vertices * GetFVFVertexSize(fvf);
}

void TRenderObject::PrepareGeometry(uint64_t count64, uint32_t pool, uint32_t usage) {
    const uint32_t n = static_cast<uint32_t>(count64);
    elementCount_ = n;
    const uint64_t f = flags_;
    if (f & RO_QUADS) return Prepare(D3DPT_TRIANGLELIST, 6 * n, FVF_PosColorTex2, 2 * n, pool, usage);
    if (f & RO_QUAD) return Prepare(D3DPT_TRIANGLELIST, 6, FVF_PosColorTex2, 2, pool, usage);
    if (f & RO_TLQUADS) return Prepare(D3DPT_TRIANGLELIST, 6 * n, FVF_TLVertex, 0, pool, usage);
    if (f & RO_TLSCREENQUAD) return Prepare(D3DPT_TRIANGLESTRIP, 4, FVF_TLVertex, 2, pool, usage);
    if (f & RO_POINTS) return Prepare(D3DPT_POINTLIST, n, FVF_PosColorTex2, n, pool, usage);
    if (f & RO_TLPOINTS) return Prepare(D3DPT_POINTLIST, n, FVF_TLColorTex, n, pool, usage);
    if (f & RO_LINES) return Prepare(D3DPT_LINELIST, 2 * n, FVF_PosColorTex2, n, pool, usage);
    if (f & RO_TLLINES) return Prepare(D3DPT_LINELIST, 2 * n, FVF_TLVertex, n, pool, usage);
    if (f & RO_TLSTRIP) return Prepare(D3DPT_TRIANGLESTRIP, n, FVF_TLVertex, n, pool, usage);
    if (f & RO_TLFAN) return Prepare(D3DPT_TRIANGLEFAN, n, FVF_TLVertex, n, pool, usage);
    if (f & RO_TLLINESTRIP) return Prepare(D3DPT_LINESTRIP, 2 * n, FVF_TLVertex, n, pool, usage);
    if (f & RO_LINESTRIP) return Prepare(D3DPT_LINESTRIP, 2 * n, FVF_PosColorTex2, n, pool, usage);
    if (f & RO_INDEXEDQUADS) {
        Prepare(D3DPT_TRIANGLELIST, 4 * n, FVF_PosColorTex, 2 * n, pool, usage);
        if (BuffersManager) (*materials_)[0]->SetIB(BuffersManager->GetIB(6 * n, 101, D3DPOOL_MANAGED));
        return;
    }
    if (f & RO_POINTSPRITES) {
        Prepare(D3DPT_POINTLIST, n, FVF_PosSizeColor, n, pool, usage | D3DUSAGE_POINTS);
        states_->AddState(D3DRS_POINTSPRITEENABLE, 0xFFFFFFFFu, "");
        states_->AddState(D3DRS_POINTSCALEENABLE, 0xFFFFFFFFu, "");
        states_->AddRestoreState(D3DRS_POINTSPRITEENABLE, 0, "");
        states_->AddRestoreState(D3DRS_POINTSCALEENABLE, 0, "");
        states_->AddState(D3DRS_POINTSCALE_A, FloatBits(0.0f), "");
        states_->AddState(D3DRS_POINTSCALE_B, FloatBits(0.0f), "");
        states_->AddState(D3DRS_POINTSCALE_C, FloatBits(1.0f), "");
        return;
    }
    AddMaterial();
}

ROMaterialClass* TRenderObject::AddMaterial() {
    if (!materials_) materials_ = std::make_unique<std::vector<ROMaterialClass*>>();
    materials_->push_back(New<ROMaterialClass>());
    return materials_->back();
}

ROMaterialClass* TRenderObject::GetMaterial(size_t i) const {
    return materials_ && i < materials_->size() ? (*materials_)[i] : nullptr;
}

bool TRenderObject::TryGetMaterial(size_t i, ROMaterialClass*& out) const {
    out = GetMaterial(i);
    return out != nullptr;
}

void TRenderObject::SetZWriteOffWhileDrawing(bool on) {
    if (!states_) states_ = RenderStateManagerClass::Create(this);
    states_->ClearStates(kBlendedStates);
    states_->ClearRestoreStates(kBlendedStates);
    if (!on) return;
    states_->AddState(D3DRS_ZWRITEENABLE, 0, kBlendedStates);
    states_->AddRestoreState(D3DRS_ZWRITEENABLE, 1, kBlendedStates);
}

int TRenderObject::FirstMaterialTechnique() const {
    const ROMaterialClass* m = GetMaterial(0);
    return m ? m->GetTechnique() : -1;
}

Result TRenderObject::LockVB(void** data, uint32_t from, uint32_t count, uint32_t flags) {
    if (!vb_) {
        ErrorReport("TRenderObject.LockVB: VertexBuffer=nil", "mhl");
        return E_FAIL;
    }
    return vb_->Lock(data, from, count, flags);
}

void TRenderObject::UnlockVB() {
    if (vb_) vb_->Unlock();
}

void TRenderObject::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements) {
    if (!elements) {
        ErrorReport("PVertexDeclarationData=nil", "mhl");
        return;
    }
    // Up to and including the end marker; a list is never longer than the device allows.
    std::vector<D3DVERTEXELEMENT9> copy;
    for (uint32_t i = 0; i < MAXD3DDECLLENGTH + 1; ++i) {
        copy.push_back(elements[i]);
        if (elements[i].Type == D3DDECLTYPE_UNUSED && elements[i].Usage == 0) break;
    }
    declData_ = std::move(copy);
    if (declaration_) return;
    if (!Device || Device->CreateVertexDeclaration(declData_.data(), declaration_.Put()) < 0 || !declaration_)
        ErrorReport("d3dd.CreateVertexDeclaration(PVertexDeclarationData,VertexDeclaration9);", "mhl");
}

IRenderStatesInterface* TRenderObject::GetRenderStates() const {
    return states_;
}

IFogOperationsInterface* TRenderObject::GetFog() {
    if (!fog_) fog_ = FogClass::Create(states_, this);
    return fog_;
}

std::string TRenderObject::GetObjectName() {
    return name_;
}

void TRenderObject::LoadVertexShader() {
    const std::string path = NativePath(DataPath + "shaders/" + shaderFile_);
    if (!FileExists(path)) {
        ErrorReport(path + " not found", "mhl");
        return;
    }
    Ref<ID3DXBuffer> code, errors;
    if (D3DXAssembleShaderFromFileA(path.c_str(), nullptr, nullptr, 0, code.Put(), errors.Put()) < 0 ||
        !code) {
        ErrorReport(
            "D3DXAssembleShaderFromFile(PAnsiChar(fname),nil,nil,D3DXSHADER_DEBUG,@pCode,@pErrorMsgs)",
            "mhl");
        return;
    }
    if (!Device) {
        ErrorReport("Can not create vertex shader while d3dd=nil", "mhl");
        return;
    }
    if (Device->CreateVertexShader(static_cast<const uint32_t*>(code->GetBufferPointer()), shader_.Put()) <
            0 ||
        !shader_)
        ErrorReport("CreateVertexShader", "mhl");
}

void TRenderObject::SendConstants() {
    for (const ROShaderConstant& c : constants_) {
        // A record never sends more than its data holds.
        const uint16_t count = static_cast<uint16_t>(std::min<size_t>(c.count, c.data.size() / 4));
        const void* data = c.data.data();
        switch (c.kind) {
        case 1:
            if (Device->SetVertexShaderConstantF(c.startRegister, static_cast<const float*>(data), count) < 0)
                ErrorReport("d3dd.SetVertexShaderConstantF", "mhl");
            break;
        case 2:
            if (Device->SetVertexShaderConstantI(c.startRegister, static_cast<const int32_t*>(data), count) <
                0)
                ErrorReport("SetVertexShaderConstantI", "mhl");
            break;
        case 4:
            if (Device->SetVertexShaderConstantB(c.startRegister, static_cast<const int32_t*>(data), count) <
                0)
                ErrorReport("SetVertexShaderConstantB", "mhl");
            break;
        default:
            break;
        }
    }
}

void TRenderObject::Render() {
    if (flags_ & RO_HIDDEN) return;
    if (!Device) return;
    states_->ApplyStates();
    if (!(flags_ & RO_VERTEXSHADER)) {
        Device->SetVertexShader(nullptr);
        if (!(flags_ & RO_MORPHSTREAMS)) {
            if (vb_) {
                CachedSetFVF(vb_->GetFVF());
                CachedSetStreamSource(0, vb_->GetD3DBuffer(), vb_->GetStride());
            }
        } else {
            MorphStreamData* data = nullptr;
            if (!morpher_ || !morpher_->GetVertexData(0, data) || !data) {
                ErrorReport("not morpher.GetVertexData(0,pVertexStreamDataBuffer)", "mhl");
                states_->RestoreStates();
                return;
            }
            if (data->stream != -1) {
                ErrorReport("RO: pVertexStreamDataBuffer.Stream<>-1", "mhl");
                states_->RestoreStates();
                return;
            }
            Device->SetFVF(data->fvf);
            Device->SetStreamSource(0, data->buffer, 0, data->stride);
            // Set past the cache: the next object's format and buffer must reach the device.
            ForgetCachedVertexInput();
        }
        for (uint32_t i = 1; i < MorphStreamsInUse; ++i)
            if (Device->SetStreamSource(i, nullptr, 0, 0) < 0) ErrorReport("SetStreamSource", "mhl");
    } else {
        if (!declaration_) CreateVertexDeclaration(declData_.empty() ? nullptr : declData_.data());
        if (!shader_) LoadVertexShader();
        SendConstants();
        if (Device->SetVertexDeclaration(declaration_.Get()) < 0)
            ErrorReport("d3dd.SetVertexDeclaration(VertexDeclaration9)", "mhl");
        if (Device->SetVertexShader(shader_.Get()) < 0)
            ErrorReport("d3dd.SetVertexShader(VertexShader)", "mhl");
        if (morpher_) morpher_->SetStreams();
        // The declaration stands in for the format, and the morpher sets its streams itself.
        ForgetCachedVertexInput();
    }
    if (materials_) {
        const uint32_t base = vb_ ? vb_->GetStart() : 0;
        for (ROMaterialClass* m : *materials_) {
            const uint32_t count = DrawnCount(primitiveType_, m->GetPrimCount(), vertexCount_);
            if (count == 0) continue;
            m->Apply();
            if (IIndexBuffer* ib = m->GetIB()) {
                BuffersManager->SetIndices(ib);
                Device->DrawIndexedPrimitive(primitiveType_, static_cast<int32_t>(base), ib->GetMinIndex(),
                                             ib->GetMaxIndex() - ib->GetMinIndex() + 1, ib->GetStart(),
                                             count);
            } else {
                Device->DrawPrimitive(primitiveType_, base, count);
            }
            m->Restore();
        }
    }
    constants_.clear();
    states_->RestoreStates();
}

void TRenderObject::Free() {
    if (materials_)
        for (ROMaterialClass* m : *materials_) m->Free();
    materials_.reset();
    if (vb_) vb_->Release();
    vb_ = nullptr;
    if (fog_) fog_->ReleaseRef();
    fog_ = nullptr;
    if (states_) states_->ReleaseRef();
    states_ = nullptr;
    morpher_.reset();
    constants_.clear();
    TEngineObject::Free();
}

std::shared_ptr<IUnitRenderObject> UnitViewOf(TRenderObject* ro) {
    return std::shared_ptr<IUnitRenderObject>(ro, [](IUnitRenderObject*) {});
}

std::shared_ptr<IUnitRenderObject> OwnedUnitViewOf(TRenderObject* ro) {
    return std::shared_ptr<IUnitRenderObject>(
        ro, [](IUnitRenderObject* o) { static_cast<TRenderObject*>(o)->Free(); });
}

} // namespace vesk
