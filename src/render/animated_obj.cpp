#include "render/animated_obj.h"

#include "core/lua_readers.h"
#include "platform/files.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/key_animation.h"
#include "render/lamp_setup.h"
#include "render/lights.h"
#include "render/world_links.h"
#include "shared/errors.h"

#include <cmath>

namespace vesk {

namespace {
const bool kRegistered = RegisterRenderUnitClass<AnimatedObjClass>("AnimatedObjClass");

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}
} // namespace

void AnimatedObjClass::Init(TBaseRenderUnit* parent) {
    (void)kRegistered;
    TBaseRenderUnit::Init(parent);
    SetName("AnimatedObj");
    SetFlag(32768);
    animFlags_ = 0;
    clock_ = 0;
    length_ = 0;
}

void AnimatedObjClass::SetTrackInfo(bool hasTrack, uint32_t keyCount, float length) {
    hasTrack_ = hasTrack;
    keyCount_ = keyCount;
    length_ = length;
}

void AnimatedObjClass::LoadMesh(const std::string& meshId, const std::string& objectName, uint64_t buildA,
                                uint64_t buildB) {
    const std::string entry = "mesh[" + (AllDigits(meshId) ? meshId : LuaQuote(meshId)) + "]";
    const std::string base = GetLuaString(entry + ".path", true) + "/" + GetLuaString(entry + ".name", true);
    IModelTree* tree = vesk::GetModelTree(base + ".cm");
    if (!tree) {
        FastLogAddError("AnimatedObjClass.LoadMesh: no model tree for " + base + ".cm");
        return;
    }
    IModelTree* animation = platform::FileExists(base + ".cma") ? vesk::GetModelTree(base + ".cma") : tree;
    if (!animation) animation = tree;
    if (!tree->HasModelObject(objectName)) {
        ErrorReport("not cmtree.GetGeomobject(_GOName,pgeomobj): " + objectName, "mhl");
        return;
    }
    // The two build values are one option set: their bits pass through unchanged.
    TRenderObject* ro = tree->BuildRO(objectName, false, buildA | buildB);
    if (!ro) return;
    modelTree_ = animation;
    AddRO(UnitViewOf(ro));
    SaveRoMaterial();
    SetLocalMatrix(ro->GetMatrix());
    AttachKeyAnimation(*animation, objectName);
    if (TBaseRenderUnit* parent = Parent()) parent->AddLampsFromCM(*tree, animation);
    if (const ROKeyTrack* track = animation->FirstTrack()) {
        if (!animation->HasAnimationRoot()) {
            ErrorReport("CMAData.PAnimationRoot=nil", "mhl");
            return;
        }
        SetTrackInfo(true, track->keyCount, (track->endFrame - track->startFrame) / 30.0f);
    }
}

void AnimatedObjClass::SaveRoMaterial() {
    const RenderObjectList* list = GetROList();
    if (!list) return;
    if (list->empty()) {
        ErrorReport("AnimatedObjClass.SaveRoMaterial: ROList.Count=0", "mhl");
        return;
    }
    auto* ro = dynamic_cast<TRenderObject*>(list->front().get());
    ROMaterialClass* m = ro ? ro->GetMaterial(0) : nullptr;
    if (!m) return;
    workingMaterial_ = m->GetD3DMaterial();
    baseMaterial_ = workingMaterial_;
}

void AnimatedObjClass::GetROMaterialPointer(platform::D3DMATERIAL9*& base, platform::D3DMATERIAL9*& working) {
    const RenderObjectList* list = GetROList();
    if (!list) {
        ErrorReport("AnimatedObjClass.GetROMaterialPointer: ROList=nil", "mhl");
        return;
    }
    if (list->empty()) {
        ErrorReport("AnimatedObjClass.GetROMaterialPointer: ROList.Count=0", "mhl");
        return;
    }
    base = &baseMaterial_;
    working = &workingMaterial_;
}

void AnimatedObjClass::GetROPointer(TRenderObject*& out) {
    const RenderObjectList* list = GetROList();
    if (!list) return;
    if (list->empty()) {
        ErrorReport("AnimatedObjClass.GetROMaterialPointer: ROList.Count=0", "mhl");
        return;
    }
    out = dynamic_cast<TRenderObject*>(list->front().get());
}

void AnimatedObjClass::SetMaterialFade(float factor) {
    const platform::D3DCOLORVALUE white{1, 1, 1, 1};
    baseMaterial_.Diffuse = baseMaterial_.Ambient = baseMaterial_.Specular = baseMaterial_.Emissive = white;
    auto scale = [factor](const platform::D3DCOLORVALUE& c) {
        return platform::D3DCOLORVALUE{c.r * factor, c.g * factor, c.b * factor, c.a * factor};
    };
    workingMaterial_.Diffuse = scale(baseMaterial_.Diffuse);
    workingMaterial_.Ambient = scale(baseMaterial_.Ambient);
    workingMaterial_.Specular = scale(baseMaterial_.Specular);
    workingMaterial_.Emissive = scale(baseMaterial_.Emissive);
}

void AnimatedObjClass::PlayFrom(float seconds) {
    animFlags_ |= AO_PLAYING;
    clock_ = seconds;
}

void AnimatedObjClass::Tick(float dtMs) {
    TBaseRenderUnit::Tick(dtMs);
    if (IsRenderPaused())
        animFlags_ |= AO_PAUSED;
    else
        animFlags_ &= ~AO_PAUSED;
    if (animFlags_ & AO_PLAYING) {
        if (!(animFlags_ & AO_PAUSED)) clock_ += 0.001f * dtMs;
        if (clock_ >= length_) {
            if (animFlags_ & AO_LOOP) {
                clock_ = 0;
            } else {
                if (animFlags_ & AO_KILLATEND) Kill();
                clock_ = 1.0f;
                animFlags_ &= ~AO_PLAYING;
            }
        }
    }
    // An animation of no length stands at its end.
    position_ = length_ > 0 ? clock_ / length_ : 1.0f;
    if (hasTrack_ && keyCount_ > 0)
        currentFrame_ = static_cast<int32_t>(std::nearbyint(static_cast<float>(keyCount_ - 1) * position_));
}

void AnimatedObjClass::DoRender() {
    if (Device) Device->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
    AddLights(kLightsLamps);
    BeginRender();
    if (const RenderObjectList* list = GetROList())
        for (const auto& entry : *list) {
            if (!HasFlag(BRU_VISIBLE)) break;
            auto* ro = dynamic_cast<TRenderObject*>(entry.get());
            if (!ro) continue;
            if (ROMaterialClass* m = ro->GetMaterial(0)) m->SetD3DMaterial(workingMaterial_);
            ro->Render();
        }
    ClearLocalLights();
}

void AnimatedObjClass::AddLights(uint16_t mask) {
    AddAnimatedUnitLights(*this, mask);
}

void AddAnimatedUnitLights(TBaseRenderUnit& unit, uint16_t mask) {
    if (unit.HasFlag2(BRU2_PARENT_LIGHTS) && unit.Parent()) unit.Parent()->AddLights(mask);
    TLightManager* lm = Engine ? &Engine->Viewports().GetLightManager() : nullptr;
    if (!lm) return;
    const EnvironmentSet* set = nullptr;
    if ((mask & kLightsSuns) && RE_GetEnvironmentSet(set))
        lm->AddDirectionalLight(kEnvironmentLightTag, set->lightDirection, ColourFromArgb(set->lightColour));
    if (!(mask & kLightsLamps) || !unit.ChildsBRU()) return;
    // Every lamp child lights the object, whatever its range.
    for (TBaseRenderUnit* c : *unit.ChildsBRU()) {
        if (!c || !c->HasFlag(BRU_LAMP)) continue;
        const auto* lamp = dynamic_cast<const ILampLight*>(c);
        if (!lamp) continue;
        if (auto* setup = dynamic_cast<ILampSetup*>(c)) setup->SetGlowSize(0.01f);
        ColorValue col = lamp->LampColour();
        const float k = lamp->LampIntensity();
        col.r *= k;
        col.g *= k;
        col.b *= k;
        Vec3 p;
        c->GetPosition(p);
        lm->AddPointLight(kLocalLightTag, p, col, 1.0f, 0.0f);
    }
}

TBaseRenderUnit* AnimatedObjClass::CreateCopy(TBaseRenderUnit* parent) {
    TBaseRenderUnit* copy = TBaseRenderUnit::CreateCopy(parent);
    if (auto* a = dynamic_cast<AnimatedObjClass*>(copy)) {
        a->animFlags_ = animFlags_;
        a->position_ = position_;
        a->currentFrame_ = currentFrame_;
        a->clock_ = clock_;
        a->length_ = length_;
        // The animation the frame is counted on goes with the state.
        a->hasTrack_ = hasTrack_;
        a->keyCount_ = keyCount_;
        a->modelTree_ = modelTree_;
    }
    return copy;
}

} // namespace vesk
