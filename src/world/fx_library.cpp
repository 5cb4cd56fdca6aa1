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
#include "world/fx_jet.h"
#include "world/fx_particle.h"

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

// The template of one entry: the unit of its row's class, not counted among the live effects.
TBaseRenderUnit* MakeTemplate(int row, const std::string& id) {
    const FXTypeRow& r = kTypes[static_cast<size_t>(row)];
    // A class that this build does not have yet is named in the log and skipped.
    if (ClassManager.IndexOf(r.className) < 0) {
        FastLogAddError("LoadFXTemplates: " + id + ": effect type \"" + r.type + "\" (" + r.className +
                        ") is not available, skipped");
        return nullptr;
    }
    TBaseRenderUnit* unit = MakeUnit(r);
    if (!unit) return nullptr;
    if (std::string(r.type) != "sphere") --FXBaseClass::LiveCountOf(r.className);
    ++counts[static_cast<size_t>(row)];
    if (r.blendMode != 0)
        if (auto* p = dynamic_cast<FXParticleClass*>(unit)) p->SetBlendMode(r.blendMode);
    return unit;
}

} // namespace

void RegisterEffectUnitClasses() {
    static const bool done =
        RegisterRenderUnitClass<FXParticleClass>() && RegisterRenderUnitClass<FXBurstClass>() &&
        RegisterRenderUnitClass<FXJetClass>() && RegisterRenderUnitClass<FXBulletClass>() &&
        RegisterRenderUnitClass<FXBulletRendererClass>();
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
