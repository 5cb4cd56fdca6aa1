#include "world/locations.h"

#include "core/lua_readers.h"
#include "physics/cm_tree.h"
#include "platform/text.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/sprite_client.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/environment.h"

#include <algorithm>
#include <cmath>

namespace vesk {

namespace {

const bool kRegistered = RegisterRenderUnitClass<WELocationClass>("WELocationClass") &&
                         RegisterRenderUnitClass<WEPlanetSystemClass>("WEPlanetSystemClass");

constexpr const char* kFogPrefix = "fog:";

} // namespace

std::string ModelBaseName(const std::string& modelName) {
    std::string name = modelName;
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    const std::string lower = platform::LowerCaseCp1251(name);
    if (lower.size() > 3 && lower.compare(lower.size() - 3, 3, ".cm") == 0) name.resize(name.size() - 3);
    return name;
}

TEnvironmentSettings ReadEnvironmentSettings(const std::string& modelName) {
    const std::string entry = "spacemodel[" + LuaQuote(ModelBaseName(modelName)) + "]";
    TEnvironmentSettings s;
    s.modelPath = GetLuaString(entry + ".environment", true);
    if (const std::string t = GetLuaString(entry + ".ambient", true); !t.empty())
        s.ambient = static_cast<uint32_t>(kws2i("$" + t, "WEPlanetSystemClass: " + entry + ".ambient"));
    return s;
}

// ---- locations -----------------------------------------------------------------------------------

WELocationClass::~WELocationClass() = default;

void WELocationClass::Init(TBaseRenderUnit* parent) {
    (void)kRegistered;
    TBaseRenderUnit::Init(parent);
    tree_.reset();
    modelName_.clear();
}

void WELocationClass::ReleaseLocation() {
    tree_.reset();
}

bool WELocationClass::DiscardBRU() {
    // The fog volumes are children: they go with the others.
    ReleaseLocation();
    return TBaseRenderUnit::DiscardBRU();
}

void WELocationClass::Free() {
    ReleaseLocation();
    TBaseRenderUnit::Free();
}

void WELocationClass::LoadFromFile(const std::string& modelName) {
    ReleaseLocation();
    tree_ = std::make_unique<CMTreeClass>();
    tree_->LoadFromFile(modelName);
    modelName_ = modelName;
    SetName(ModelBaseName(modelName));
    AddBSpheresFromCM(*tree_);
    AddUHelpersFromCM(*tree_);
    SetBaseMatrix(Matrix{});
    const Matrix parent = parent_ ? parent_->GetWorldMatrix() : Matrix{};
    UpdateMatrices(&parent);
    InvalidateBSphere();
}

void WELocationClass::UpdateMatrices(const Matrix* parent) {
    TBaseRenderUnit::UpdateMatrices(parent);
    // The sphere follows the unit at once, not at the next frame.
    InvalidateBSphere();
}

void WELocationClass::CalcBSphere(Vec3* localCentre, Vec3* worldCentre, float* radius) {
    const auto& spheres = Cold().bspheres;
    if (!spheres || spheres->empty()) {
        TBaseRenderUnit::CalcBSphere(localCentre, worldCentre, radius);
        return;
    }
    // The sphere that holds every sphere of the model.
    Vec3 centre = (*spheres)[0].centre;
    float r = (*spheres)[0].radius;
    for (size_t i = 1; i < spheres->size(); ++i) {
        const BSphereRecord& b = (*spheres)[i];
        const Vec3 d = Vec3Sub(b.centre, centre);
        const float dist = Vec3Length(d);
        if (dist + b.radius <= r) continue;
        if (dist + r <= b.radius) {
            centre = b.centre;
            r = b.radius;
            continue;
        }
        const float nr = (dist + r + b.radius) * 0.5f;
        centre = Vec3Add(centre, Vec3Scale(d, (nr - r) / dist));
        r = nr;
    }
    UnitExtras& e = Extras();
    e.bsLocalCentre = centre;
    e.bsWorldCentre = Vec3TransformPoint(centre, worldMatrix_);
    e.bsRadius = r * MatrixGetColumnScale(worldMatrix_).x;
    if (localCentre) *localCentre = e.bsLocalCentre;
    if (worldCentre) *worldCentre = e.bsWorldCentre;
    if (radius) *radius = e.bsRadius;
}

bool WELocationClass::FindInChildsOnly(TBaseRenderUnit*& loc) const {
    if (!loc) {
        ErrorReport("WELocationClass.FindInChilds: _OutLocation=nil", "mhl");
        return false;
    }
    if (loc == this) return true;
    if (childs_ && childs_->IndexOf(loc) >= 0 && !loc->HasFlag(BRU_DISCARDED)) return true;
    loc = nullptr;
    return false;
}

std::vector<TBaseRenderUnit*> WELocationClass::FogObjects() const {
    std::vector<TBaseRenderUnit*> out;
    if (childs_)
        for (TBaseRenderUnit* c : *childs_)
            if (c && !c->HasFlag(BRU_DISCARDED | BRU_KILLED) && c->GetName().rfind("fog_", 0) == 0)
                out.push_back(c);
    return out;
}

void WELocationClass::CreateFog() {
    if (!tree_) return;
    // Placed again, the location keeps one set of fog volumes.
    for (TBaseRenderUnit* old : FogObjects()) old->Kill();
    for (const CMHelperStruct& h : tree_->Helpers()) {
        const std::string& name = h.names.name;
        if (platform::LowerCaseCp1251(name).find(kFogPrefix) == std::string::npos) continue;
        if (name.size() < 7) {
            FastLogAddError("WELocationClass.CreateFog: " + GetInfoStr() +
                            ": no effect named by the helper " + name);
            continue;
        }
        const std::string effect = name.substr(4, name.size() - 6);
        TBaseRenderUnit* templ = FindFXTemplate(effect);
        if (!templ) continue;
        TBaseRenderUnit* fog = SpawnEffect(templ, this, nullptr);
        if (!fog) continue;
        fog->SetName("fog_" + name);
        fog->SetPosition(h.position);
        auto* size = dynamic_cast<IParticleControl*>(fog);
        if (!size) {
            ErrorReport("WELocationClass.CreateFog: par.QueryInterface(IID_ISize, fSR) <> S_OK", "mhl");
            fog->Kill();
            continue;
        }
        // The helper's scale is the volume's size; an unscaled helper keeps the effect's own.
        const float scale = MatrixGetColumnScale(h.matrix).x;
        if (std::fabs(scale - 1.0f) > 1e-3f && scale > 0.0f) size->SetSize(scale);
        fog->UpdateMatrices(&worldMatrix_);
    }
}

// ---- planet systems --------------------------------------------------------------------------------

void WEPlanetSystemClass::Init(TBaseRenderUnit* parent) {
    WELocationClass::Init(parent);
    environment_ = nullptr;
    settings_ = TEnvironmentSettings{};
}

void WEPlanetSystemClass::LoadFromFile(const std::string& modelName) {
    settings_ = ReadEnvironmentSettings(modelName);
    WELocationClass::LoadFromFile(modelName);
}

void WEPlanetSystemClass::KillEnvironment() {
    TEnvironmentClass* env = std::exchange(environment_, nullptr);
    if (!env) return;
    env->SetName("Environment_DEAD");
    env->RemoveSubscriber(this);
    env->Kill();
}

void WEPlanetSystemClass::SetEnvironment(const TEnvironmentSettings& settings) {
    KillEnvironment();
    settings_ = settings;
    if (settings.modelPath.empty()) {
        // A system without an environment model shows no sky; the game goes on.
        FastLogAddError("WEPlanetSystemClass.SetEnvironment: " + GetInfoStr() +
                        ": spacemodel names no environment model");
        return;
    }
    auto* env = TBaseRenderUnit::Create<TEnvironmentClass>(this);
    env->SetName("Environment");
    env->SetAmbient(settings.ambient);
    AddChild(env);
    environment_ = env;
    env->AddSubscriber(this);
    env->LoadEnvironment(settings.modelPath);
}

void WEPlanetSystemClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && environment_ &&
        sender->GetInstance() == static_cast<TEngineObject*>(environment_))
        environment_ = nullptr;
    WELocationClass::Message(sender, msg, param);
}

bool WEPlanetSystemClass::DiscardBRU() {
    KillEnvironment();
    return WELocationClass::DiscardBRU();
}

void WEPlanetSystemClass::Free() {
    KillEnvironment();
    WELocationClass::Free();
}

} // namespace vesk
