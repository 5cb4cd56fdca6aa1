#include "world/env.h"

#include "physics/ph_scene.h"
#include "physics/ph_script.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "world/environment.h"
#include "world/fx_base.h"
#include "world/locations.h"
#include "world/world_functions.h"

namespace vesk {

std::unique_ptr<TEnv> Env;

WorldObjectLinks& GetWorldObjectLinks() {
    static WorldObjectLinks links;
    return links;
}

namespace {

// The render engine's environment: the current planet system's, else what the
// engine had before (its stand-in, which keeps interface viewports drawing
// while there is no planet system).
struct EnvironmentLink {
    std::function<TBaseRenderUnit*()> fallback;
    TBaseRenderUnit* operator()() const {
        TEnvironmentClass* env = nullptr;
        if (Env && Env->GetEnvironment(env)) return env;
        return fallback ? fallback() : nullptr;
    }
};

// Its settings: the current environment's, else what the engine had before
// (the plain set ships are lit by until there is a planet system).
struct EnvironmentSetLink {
    std::function<const EnvironmentSet*()> fallback;
    const EnvironmentSet* operator()() const {
        TEnvironmentClass* env = nullptr;
        if (Env && Env->GetEnvironment(env)) return &env->Set();
        return fallback ? fallback() : nullptr;
    }
};

void InstallEnvironmentLinks() {
    RenderWorldLinks& l = GetRenderWorldLinks();
    if (!l.environment.target<EnvironmentLink>()) l.environment = EnvironmentLink{l.environment};
    if (!l.environmentSet.target<EnvironmentSetLink>())
        l.environmentSet = EnvironmentSetLink{l.environmentSet};
}

} // namespace

// ---- TEnv ------------------------------------------------------------------------------------------

TEnv::~TEnv() {
    DestroyPlanetSystem();
}

bool TEnv::CreatePlanetSystem(const std::string& modelName) {
    DestroyPlanetSystem();
    // Under the engine root: the root's frame draws, ticks and cleans it.
    psys_ = TBaseRenderUnit::Create<WEPlanetSystemClass>(Engine);
    if (Engine) Engine->AddChild(psys_);
    psys_->LoadFromFile(modelName);
    InstallEnvironmentLinks();
    return true;
}

void TEnv::DestroyPlanetSystem() {
    WEPlanetSystemClass* psys = std::exchange(psys_, nullptr);
    if (!psys) return;
    FastLogAdd("DBG DestroyPlanetSystem: " + psys->GetHex());
    if (TBaseRenderUnit* parent = psys->Parent()) parent->ReleaseChild(psys);
    if (psys->DiscardBRU()) psys->Free();
}

bool TEnv::GetEnvironment(TEnvironmentClass*& out) const {
    out = nullptr;
    return psys_ && psys_->GetEnvironment(out);
}

TBaseRenderUnit* TEnv::GetSkyPart() const {
    TEnvironmentClass* env = nullptr;
    return GetEnvironment(env) ? env->Stars() : nullptr;
}

void TEnv::SetDustMode(int mode) {
    TEnvironmentClass* env = nullptr;
    if (GetEnvironment(env)) env->SetDustMode(mode);
}

TBaseRenderUnit* TEnv::AddObject(const std::string& objectName, const std::string& modelFile,
                                 IPhysicParamsSource& params, BaseAIUnitClass*& ai, int32_t& counter) {
    ai = nullptr;
    counter = counter_++;
    if (!PhysicsScene) CreatePhysicsScene();
    return PhysicsScene->AddObject(objectName + IntToStr32(counter), modelFile, params, ai);
}

void TEnv::UpdatePlanetSystem() {
    if (!psys_) return;
    const Matrix parent = psys_->Parent() ? psys_->Parent()->GetWorldMatrix() : Matrix{};
    psys_->UpdateMatrices(&parent);
}

void SetWorldDustMode(int mode) {
    if (Env) Env->SetDustMode(mode);
}

namespace {
std::function<void()>& PlayerShipSteering() {
    static std::function<void()> update;
    return update;
}
} // namespace

void SetPlayerShipSteering(std::function<void()> update) {
    PlayerShipSteering() = std::move(update);
}

// ---- the service --------------------------------------------------------------------------------

namespace {

// The physics wraps this service and steps the scene's moving units in its
// slices (physics/ph_services.h): the slice has nothing more to do here.
class SpaceSceneService : public ISpaceScene {
public:
    void TickPhys(float) override {}
    void UpdatePlanetSystem() override {
        if (Env) Env->UpdatePlanetSystem();
    }
    void UpdatePlayerShipSteering() override {
        if (PlayerShipSteering()) PlayerShipSteering()();
    }
    void DestroyPlanetSystem() override {
        if (Env) Env->DestroyPlanetSystem();
    }
    void FreeFXTemplates() override {
        vesk::FreeFXTemplates();
        FreeFXRecordPools();
    }
    void Free() override { Env.reset(); }
};

} // namespace

void InstallSpaceScene(CoreServices& services) {
    if (!Env) Env = std::make_unique<TEnv>();
    RegisterWorldFunctions();
    RenderWorldLinks& r = GetRenderWorldLinks();
    r.planetSystem = []() -> TBaseRenderUnit* { return Env ? Env->PlanetSystem() : nullptr; };
    r.location = [](TBaseRenderUnit* psys, int32_t id) -> TBaseRenderUnit* {
        auto* system = dynamic_cast<WELocationClass*>(psys);
        auto* loc = dynamic_cast<TBaseRenderUnit*>(FindEngineObjectById(id));
        if (!system || !loc) return nullptr;
        return system->FindInChildsOnly(loc) ? loc : nullptr;
    };
    PhysicsScriptLinks& p = GetPhysicsScriptLinks();
    p.planetSystem = []() -> TBaseRenderUnit* { return Env ? Env->PlanetSystem() : nullptr; };
    p.sceneModel = []() -> CMTreeClass* {
        return Env && Env->PlanetSystem() ? Env->PlanetSystem()->Tree() : nullptr;
    };
    services.scene = std::make_unique<SpaceSceneService>();
}

} // namespace vesk
