#include "world/fx_library.h"

#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/lamp.h"
#include "render/managers.h"
#include "render/render_unit.h"
#include "shared/class_manager.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "world/fx_base.h"
#include "world/fx_bullet.h"
#include "world/fx_burst.h"
#include "world/fx_defect.h"
#include "world/fx_jet.h"
#include "world/fx_laser.h"
#include "world/fx_model_part.h"
#include "world/fx_particle.h"
#include "world/fx_portal.h"
#include "world/fx_shapes.h"
#include "world/fx_shield.h"
#include "world/fx_smoke.h"
#include "world/fx_sound.h"

namespace vesk {

namespace {

constexpr std::array<FXTypeRow, kFXTypeCount> kTypes{{
    {"particle", "FXParticleClass", 0},
    {"particle_alpha", "FXParticleClass", kBlendAlpha},
    {"burst", "FXBurstClass", 0},
    {"sound", "FXSoundClass", 0},
    {"nozzlejet", "FXJetClass", 0},
    {"bullet", "FXBulletClass", 0},
    {"laser", "FXLaserClass", 0},
    {"shield", "FXShieldClass", 0},
    {"glow", "FXGlowClass", 0},
    {"sphere", "FXSphereClass", 0},
    {"smoke_blend", "FXSmokeClass", kBlendSmoke},
    {"smoke_alpha", "FXSmokeClass", kBlendAlpha},
    {"defect", "FXDefectClass", 0},
    {"mesh", "FXMeshClass", 0},
    {"directed_mesh", "FXDirectedMeshClass", 0},
    {"portal", "FXPortalClass", 0},
}};

std::array<int32_t, kFXTypeCount> counts{};

int RowOf(const std::string& type) {
    for (int i = 0; i < kFXTypeCount; ++i)
        if (type == kTypes[static_cast<size_t>(i)].type) return i;
    return -1;
}

TBaseRenderUnit* MakeUnit(const FXTypeRow& row) {
    const std::string cls = row.className;
    if (cls == "FXParticleClass" && BRUMan) return BRUMan->GetBRU(cls, nullptr);
    return ClassManager.Create<TRenderUnitKind>(cls, nullptr);
}

// Reads the template's keys and registers it under its id.
void Register(TBaseRenderUnit* unit, const std::string& id, bool owned) {
    auto* fx = dynamic_cast<FXBaseClass*>(unit);
    if (!fx) return;
    fx->CreateFromLua(id);
    if (LuaMachine)
        LuaMachine->RunString("fx[" + LuaQuote(unit->GetName()) + "].hex=\"" + unit->GetHex() + "\"");
    FXTemplates.Add(unit);
    if (owned) FXOwnedTemplates.Add(unit);
}

// A portal's gate model from its entry's "mesh"; "t1" and "t2" are its switch
// times in percent of the animation.
void LoadPortal(FXPortalClass& portal, const std::string& id) {
    auto field = [&id](const char* name) { return GetLuaString("fx[" + LuaQuote(id) + "]." + name, true); };
    portal.LoadFromMesh(field("mesh"), id);
    const std::string t1 = field("t1"), t2 = field("t2");
    const float p1 = t1.empty() ? 30.0f : kws2f(t1, "LoadFXTemplates: " + id + ": t1");
    const float p2 = t2.empty() ? 70.0f : kws2f(t2, "LoadFXTemplates: " + id + ": t2");
    portal.SetSwitchTimes(p1, p2);
}

// The template of one entry: the unit of its row's class, not counted among the live effects.
TBaseRenderUnit* MakeTemplate(int row, const std::string& id) {
    const FXTypeRow& r = kTypes[static_cast<size_t>(row)];
    TBaseRenderUnit* unit = MakeUnit(r);
    if (!unit) return nullptr;
    if (std::string(r.type) != "sphere") --FXBaseClass::LiveCountOf(r.className);
    ++counts[static_cast<size_t>(row)];
    if (r.blendMode != 0) {
        if (auto* p = dynamic_cast<FXParticleClass*>(unit)) p->SetBlendMode(r.blendMode);
        if (auto* s = dynamic_cast<FXSmokeClass*>(unit)) s->SetBlendMode(r.blendMode);
    }
    if (auto* portal = dynamic_cast<FXPortalClass*>(unit)) LoadPortal(*portal, id);
    return unit;
}

} // namespace

void RegisterEffectUnitClasses() {
    static const bool done =
        RegisterRenderUnitClass<FXParticleClass>() && RegisterRenderUnitClass<FXBurstClass>() &&
        RegisterRenderUnitClass<FXJetClass>() && RegisterRenderUnitClass<FXBulletClass>() &&
        RegisterRenderUnitClass<FXStreakRendererClass>() && RegisterRenderUnitClass<FXLaserClass>() &&
        RegisterRenderUnitClass<FXShieldClass>() && RegisterRenderUnitClass<FXSphereClass>() &&
        RegisterRenderUnitClass<FXGlowClass>() && RegisterRenderUnitClass<FXMeshClass>() &&
        RegisterRenderUnitClass<FXDirectedMeshClass>() && RegisterRenderUnitClass<FXSoundClass>() &&
        RegisterRenderUnitClass<FXSmokeClass>() && RegisterRenderUnitClass<FXPortalClass>() &&
        RegisterRenderUnitClass<FXDefectClass>() && RegisterRenderUnitClass<FXModelPartClass>();
    (void)done;
    RegisterLampClasses();
}

const std::array<FXTypeRow, kFXTypeCount>& FXTypeTable() {
    return kTypes;
}

const std::array<int32_t, kFXTypeCount>& FXTemplateCounts() {
    return counts;
}

void LoadFXTemplates() {
    RegisterEffectUnitClasses();
    FreeFXTemplates();
    // The shared sprite renderers are made before any effect is listed, so that
    // they are part of the first frame's list.
    if (Engine) Engine->GetRenderOps()->GetRenderer();
    const std::vector<std::string> keys = CallGetGameTable("fx");
    auto field = [](const std::string& key, const char* name) {
        return GetLuaString("fx[" + LuaQuote(key) + "]." + name, true);
    };
    // Particle templates come first, so that the effects naming them find them.
    const int particleRow = RowOf("particle");
    for (const std::string& key : keys) {
        if (field(key, "type") != "particle") continue;
        const std::string id = field(key, "id");
        if (TBaseRenderUnit* unit = MakeTemplate(particleRow, id)) Register(unit, id, false);
    }
    for (const std::string& key : keys) {
        const std::string type = field(key, "type");
        const int row = RowOf(type);
        if (row < 0 || row == particleRow) continue;
        const std::string id = field(key, "id");
        TBaseRenderUnit* unit = MakeTemplate(row, id);
        if (!unit) continue;
        Register(unit, id, type != "particle_alpha");
        if (type == "nozzlejet") FXJetTemplates.Add(unit);
    }
    FastLogAdd("LoadFXTemplates: " + IntToStr32(FXTemplates.Count()) + " templates from " +
               IntToStr32(static_cast<int32_t>(keys.size())) + " entries");
}

} // namespace vesk
