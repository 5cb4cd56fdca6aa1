#include "world/fx_shapes.h"

#include "core/var_list.h"
#include "render/animated_obj.h"
#include "render/device.h"
#include "render/dynamic_position.h"
#include "render/engine.h"
#include "render/lamp.h"
#include "render/material.h"
#include "render/model_tree.h"
#include "render/render_object.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/fx_model_part.h"

namespace vesk {

// ---- sphere ---------------------------------------------------------------------------------------

void FXSphereClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetFlag(0x800000ull);
    opacity_ = 0.5f;
    colour_ = 0x808080;
    radius_ = 100.0f;
}

void FXSphereClass::CreateFromLua(const std::string& id) {
    FXBaseClass::CreateFromLua(id);
    auto context = [this](const char* key, const std::string& value) {
        return std::string("FXSphereClass.CreateFromLua: ") + key + ": " + value + " for " + GetName();
    };
    if (const std::string mesh = FxKey(id, "mesh"); !mesh.empty()) {
        const std::string base = MeshEntryFile(mesh);
        if (IModelTree* model = base.empty() ? nullptr : GetModelTree(base + ".cm")) {
            if (TRenderObject* ro = model->BuildRO("base", false, 0xC0)) AddRO(UnitViewOf(ro));
        } else {
            FastLogAddError("FXSphereClass.CreateFromLua: no model for the mesh entry \"" + mesh + "\" of " +
                            id);
        }
    }
    if (const std::string t = FxKey(id, "r"); !t.empty()) radius_ = kws2f(t, context("r", t));
    if (const std::string t = FxKey(id, "color"); !t.empty())
        colour_ = static_cast<uint32_t>(kws2i("$" + t, context("color", t)));
    if (const std::string t = FxKey(id, "opacity"); !t.empty()) opacity_ = kws2f(t, context("opacity", t));
    UpdateBaseParams();
}

TBaseRenderUnit* FXSphereClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXSphereClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->opacity_ = opacity_;
    copy->colour_ = colour_;
    copy->radius_ = radius_;
    return copy;
}

void FXSphereClass::OnSpawn(const FXDescrStruct& desc) {
    radius_ = desc.SphereRadius;
    colour_ = desc.SphereColor;
    opacity_ = desc.SphereOpacity;
    UpdateBaseParams();
}

bool FXSphereClass::UpdateBaseParams() {
    if (!ros_ || ros_->size() != 1) {
        ErrorReport("FXSphereClass.UpdateBaseParams: ROList.Count<>1", "mhl");
        return false;
    }
    auto* ro = dynamic_cast<TRenderObject*>(ros_->front().get());
    ROMaterialClass* m = ro ? ro->GetMaterial(0) : nullptr;
    if (!m) {
        ErrorReport("FXSphereClass.UpdateBaseParams: not ro.GetMaterial(0,mat)", "mhl");
        return false;
    }
    platform::D3DMATERIAL9 mat = m->GetD3DMaterial();
    const platform::D3DCOLORVALUE c{static_cast<float>((colour_ >> 16) & 0xFF) / 255.0f,
                                    static_cast<float>((colour_ >> 8) & 0xFF) / 255.0f,
                                    static_cast<float>(colour_ & 0xFF) / 255.0f, opacity_};
    mat.Diffuse = mat.Ambient = c;
    m->SetD3DMaterial(mat);
    Matrix s;
    s.m[0][0] = s.m[1][1] = s.m[2][2] = radius_;
    localMatrix_ = s;
    return true;
}

void FXSphereClass::DoRender() {
    if (!Device || !UpdateBaseParams()) return;
    Device->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
    AddAnimatedUnitLights(*this, GetLightMask());
    BeginRender();
    for (const auto& entry : *ros_)
        if (auto* ro = dynamic_cast<TRenderObject*>(entry.get())) ro->Render();
    EndRender();
    ClearLocalLights();
}

// ---- glow ---------------------------------------------------------------------------------------

void FXGlowClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetFlag(0x80800000ull);
    lamp_ = nullptr;
    colour_ = 0xFFFFFF;
    source_ = nullptr;
    intensity_ = nullptr;
}

void FXGlowClass::CreateFromLua(const std::string& id) {
    FXBaseClass::CreateFromLua(id);
    auto context = [this](const char* key, const std::string& value) {
        return std::string("FXGlowClass.CreateFromLua: ") + key + ": " + value + " for " + GetName();
    };
    lamp_ = TLampClass::Make(this, "glowlamp", {0, 0, 0}, 10.0f);
    lamp_->SetModeStatic();
    if (const std::string t = FxKey(id, "size"); !t.empty()) lamp_->SetSize(kws2f(t, context("size", t)));
    if (const std::string t = FxKey(id, "color"); !t.empty())
        colour_ = static_cast<uint32_t>(kws2i("$" + t, context("color", t))) & 0xFFFFFF;
    lamp_->SetColor(colour_);
    lamp_->SetIntensity(1.0f);
    if (const std::string t = FxKey(id, "texture"); !t.empty()) {
        lamp_->SetTexture(t);
        SetTextureByName(t);
    }
}

TBaseRenderUnit* FXGlowClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXGlowClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->colour_ = colour_;
    // The copy's own lamp is the copy of the template's.
    if (copy->ChildsBRU())
        for (TBaseRenderUnit* c : *copy->ChildsBRU())
            if (auto* lamp = dynamic_cast<TLampClass*>(c)) {
                copy->lamp_ = lamp;
                break;
            }
    return copy;
}

void FXGlowClass::OnSpawn(const FXDescrStruct& desc) {
    if (EffectsOffMode() == 1) return;
    if (desc.GlowObject) {
        source_ = desc.GlowObject;
        intensity_ = dynamic_cast<IFXIntensity*>(source_);
        source_->AddSubscriber(this);
    }
    if (desc.GlowTargetBRU) SetPositionLinkByHelper(desc.GlowTargetBRU, desc.GlowHelper);
    Follow();
}

void FXGlowClass::Follow() {
    if (position_) {
        MatrixSetTranslation(localMatrix_, position_->GetPos());
        UpdateMatrices(parent_ && parent_ != Engine ? &parent_->GetWorldMatrix() : nullptr);
    }
    if (lamp_ && intensity_) lamp_->SetIntensity(intensity_->GetCurrentIntensity());
}

void FXGlowClass::Tick(float dtMs) {
    int64_t start = 0;
    PerfomanceCounterClass::Start(start);
    FXBaseClass::Tick(dtMs);
    Follow();
    DebugOps.GlowPC().Add(start);
}

void FXGlowClass::FillRenderList(int stage, int pass) {
    Follow();
    FXBaseClass::FillRenderList(stage, pass);
}

void FXGlowClass::Message(IEngineObject* sender, int msg, int param) {
    TEngineObject* from = sender ? sender->GetInstance() : nullptr;
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && from) {
        if (from == source_) source_ = nullptr, intensity_ = nullptr;
        if (from == static_cast<TEngineObject*>(lamp_)) lamp_ = nullptr;
    } else if (msg == EM_DYNAMIC_POSITION_LOST && position_ && from == position_->LinkObject()) {
        Kill();
    }
    FXBaseClass::Message(sender, msg, param);
}

// ---- mesh ---------------------------------------------------------------------------------------

void FXMeshClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    lifeTime_ = remaining_ = 0.0f;
    meshName_.clear();
}

void FXMeshClass::CreateFromLua(const std::string& id) {
    FXBaseClass::CreateFromLua(id);
    lifeTime_ = remaining_ = kws2f(FxKey(id, "LifeTime"), "FXMeshClass.CreateFromLua: " + id + ": LifeTime");
    meshName_ = FxKey(id, "meshname");
    if (meshName_.empty()) {
        ErrorReport("fx[\"" + id + "\"].meshname = \"\"", "mhl");
        return;
    }
    LoadModelParts(*this, meshName_, 0xC0);
}

TBaseRenderUnit* FXMeshClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXMeshClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->lifeTime_ = copy->remaining_ = lifeTime_;
    copy->meshName_ = meshName_;
    return copy;
}

void FXMeshClass::OnSpawn(const FXDescrStruct& desc) {
    if (!desc.MeshTargetBRU) return;
    SetPositionLinkByHelper(desc.MeshTargetBRU, desc.MeshHelper);
    UpdatePosition();
    FXDescrStruct sounds{};
    sounds.SoundPosition = position_;
    SpawnSounds(Engine, &sounds);
}

void FXMeshClass::Tick(float dtMs) {
    FXBaseClass::Tick(dtMs);
    if (!IsRenderPaused()) {
        remaining_ -= 0.001f * dtMs;
        if (remaining_ < 0.0f) Kill();
    }
    UpdatePosition();
}

void FXMeshClass::UpdatePosition() {
    if (!position_) return;
    if (parent_ && parent_ != Engine) {
        // Under another unit the link's point is carried into the parent's frame.
        Matrix inverse;
        if (!MatrixInverse(parent_->GetWorldMatrix(), inverse)) inverse = Matrix{};
        MatrixSetTranslation(localMatrix_, Vec3TransformCoord(position_->GetPos(), inverse));
        UpdateMatrices(&parent_->GetWorldMatrix());
    } else {
        localMatrix_ = position_->GetMatrix();
        UpdateMatrices(nullptr);
    }
}

void FXMeshClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_DYNAMIC_POSITION_LOST && sender && position_ &&
        sender->GetInstance() == position_->LinkObject())
        Kill();
    FXBaseClass::Message(sender, msg, param);
}

// ---- directed mesh --------------------------------------------------------------------------------

void FXDirectedMeshClass::Init(TBaseRenderUnit* parent) {
    FXMeshClass::Init(parent);
    destination_ = nullptr;
    turned_ = false;
}

void FXDirectedMeshClass::Free() {
    DropPositionLink(this, destination_);
    FXMeshClass::Free();
}

TBaseRenderUnit* FXDirectedMeshClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXDirectedMeshClass*>(FXMeshClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->turned_ = turned_;
    return copy;
}

void FXDirectedMeshClass::OnSpawn(const FXDescrStruct& desc) {
    if (desc.MeshDestBRU) destination_ = DynamicPositionClass::Init(this, "", desc.MeshDestBRU);
    if (desc.MeshDirected) {
        MatrixNormalizeColumns(localMatrix_);
        turned_ = true;
    }
    FXMeshClass::OnSpawn(desc);
}

void FXDirectedMeshClass::UpdatePosition() {
    if (!position_ || (parent_ && parent_ != Engine)) {
        FXMeshClass::UpdatePosition();
        return;
    }
    Matrix m = position_->GetMatrix();
    if (!turned_ && destination_) {
        // Pointed from where it stands towards the destination.
        const Vec3 at = MatrixGetTranslation(m);
        Matrix basis;
        if (KWMatrixGetBasisForDirVect(Vec3Sub(destination_->GetPos(), at), {0, 0, 1}, basis)) {
            MatrixSetTranslation(basis, at);
            m = basis;
        }
    }
    localMatrix_ = m;
    UpdateMatrices(nullptr);
}

void FXDirectedMeshClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && destination_ &&
        sender->GetInstance() == destination_->LinkObject())
        destination_ = nullptr;
    FXMeshClass::Message(sender, msg, param);
}

} // namespace vesk
