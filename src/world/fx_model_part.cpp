#include "world/fx_model_part.h"

#include "core/lua_readers.h"
#include "platform/files.h"
#include "render/animated_obj.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/key_animation.h"
#include "render/material.h"
#include "render/model_tree.h"
#include "render/render_object.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vesk {

void FXModelPartClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    SetVisible(true);
    track_ = nullptr;
    length_ = clock_ = 0.0f;
    playing_ = loop_ = false;
    key_ = 0;
    intensity_.reset();
    unclipped_ = false;
}

bool FXModelPartClass::Load(IModelTree& model, IModelTree* animation, const std::string& object,
                            uint64_t options) {
    if (!model.HasModelObject(object)) return false;
    TRenderObject* ro = model.BuildRO(object, false, options);
    if (!ro) return false;
    SetName(object);
    std::shared_ptr<IUnitRenderObject> view = UnitViewOf(ro);
    SetPassFlagsFromMaterials(*view);
    AddRO(std::move(view));
    SetBaseMatrix(ro->GetMatrix());
    track_ = animation ? animation->FindRecordTrack(object) : nullptr;
    length_ = track_ ? (track_->endFrame - track_->startFrame) / 30.0f : 0.0f;
    return true;
}

uint32_t FXModelPartClass::KeyCount() const {
    return track_ && track_->keys ? track_->keyCount : 0;
}

void FXModelPartClass::Play(bool loop) {
    playing_ = true;
    loop_ = loop;
    clock_ = 0.0f;
    ShowFraction(0.0f);
}

void FXModelPartClass::Tick(float dtMs) {
    TBaseRenderUnit::Tick(dtMs);
    if (!playing_ || IsRenderPaused()) return;
    clock_ += 0.001f * dtMs;
    if (clock_ >= length_) {
        if (loop_ && length_ > 0.0f) {
            clock_ = std::fmod(clock_, length_);
        } else {
            clock_ = length_;
            playing_ = false;
        }
    }
    ShowFraction(Progress());
}

void FXModelPartClass::ShowFraction(float fraction) {
    const uint32_t keys = KeyCount();
    if (keys == 0) return;
    const float f = std::clamp(fraction, 0.0f, 1.0f);
    key_ = static_cast<int32_t>(std::nearbyint(static_cast<float>(keys - 1) * f));
    // The key's matrix sits at byte 32 of its record.
    const auto* record = static_cast<const uint8_t*>(track_->keys) + size_t(key_) * track_->keyStride;
    Matrix m;
    std::memcpy(&m.m, record + 32, sizeof m.m);
    localMatrix_ = m;
}

void FXModelPartClass::DoRender() {
    if (!HasFlag(BRU_VISIBLE) || !ros_ || !Device) return;
    Device->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
    AddAnimatedUnitLights(*this, GetLightMask());
    BeginRender();
    uint32_t clipping = 0;
    if (unclipped_) {
        Device->GetRenderState(platform::D3DRS_CLIPPLANEENABLE, &clipping);
        DeviceSetRenderState(platform::D3DRS_CLIPPLANEENABLE, 0);
    }
    for (const auto& entry : *ros_) {
        auto* ro = dynamic_cast<TRenderObject*>(entry.get());
        if (!ro) continue;
        ROMaterialClass* m = intensity_ ? ro->GetMaterial(0) : nullptr;
        if (!m) {
            ro->Render();
            continue;
        }
        // The render object is shared by every copy: its material is set for this draw only.
        const platform::D3DMATERIAL9 saved = m->GetD3DMaterial();
        platform::D3DMATERIAL9 lit = saved;
        const float k = *intensity_;
        lit.Diffuse = lit.Ambient = lit.Specular = lit.Emissive = {k, k, k, k};
        m->SetD3DMaterial(lit);
        ro->Render();
        m->SetD3DMaterial(saved);
    }
    if (unclipped_) DeviceSetRenderState(platform::D3DRS_CLIPPLANEENABLE, clipping);
    EndRender();
    ClearLocalLights();
}

TBaseRenderUnit* FXModelPartClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXModelPartClass*>(TBaseRenderUnit::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->track_ = track_;
    copy->length_ = length_;
    copy->clock_ = clock_;
    copy->playing_ = playing_;
    copy->loop_ = loop_;
    copy->key_ = key_;
    copy->intensity_ = intensity_;
    copy->unclipped_ = unclipped_;
    return copy;
}

std::string MeshEntryFile(const std::string& meshName) {
    int32_t number = 0;
    const std::string entry =
        "mesh[" + (TryParseInt32(meshName, number) ? meshName : LuaQuote(meshName)) + "]";
    const std::string path = GetLuaString(entry + ".path", true), name = GetLuaString(entry + ".name", true);
    if (name.empty()) return {};
    return path.empty() ? name : path + "/" + name;
}

std::vector<FXModelPartClass*> LoadModelParts(TBaseRenderUnit& owner, const std::string& meshName,
                                              uint64_t options) {
    std::vector<FXModelPartClass*> parts;
    const std::string base = MeshEntryFile(meshName);
    IModelTree* model = base.empty() ? nullptr : GetModelTree(base + ".cm");
    if (!model) {
        FastLogAddError(owner.GetName() + ": no model for the mesh entry \"" + meshName + "\"");
        return parts;
    }
    IModelTree* animation = nullptr;
    if (platform::FileExists(base + ".cma")) {
        animation = GetModelTree(base + ".cma");
        if (animation && animation->FirstTrack() && !animation->HasAnimationRoot()) {
            ErrorReport("CMAData.PAnimationRoot=nil", "mhl");
            return parts;
        }
    }
    if (!animation) animation = model;
    for (const std::string& object : model->ModelObjectNames()) {
        auto* part = TBaseRenderUnit::Create<FXModelPartClass>(&owner);
        if (!part->Load(*model, animation, object, options)) {
            if (part->DiscardBRU()) part->Free();
            continue;
        }
        owner.AddChild(part);
        parts.push_back(part);
    }
    return parts;
}

} // namespace vesk
