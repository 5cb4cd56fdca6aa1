#include "render/component.h"
#include "render/world_links.h"

#include "platform/text.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/math.h"

#include <exception>

namespace vesk {

ClamClass* ClamClass::Create() {
    ErrorReport("ClamClass.Create: use Init(_carrier) instead", "mhl");
    return nullptr;
}

void ClamClass::Bind(IEngineObject* carrier) {
    carrier_ = carrier;
    if (carrier_) AddMutualSubscriber(carrier_);
    Bound();
}

void ClamClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && carrier_ && sender == carrier_) {
        CarrierLost();
        carrier_ = nullptr;
    }
    TEngineObject::Message(sender, msg, param);
}

// ---- lights ---------------------------------------------------------------------------------

ColorValue ColourFromArgb(uint32_t argb) {
    auto ch = [argb](int shift) { return static_cast<float>((argb >> shift) & 0xFF) / 255.0f; };
    return {ch(16), ch(8), ch(0), ch(24)};
}

LightClass* LightClass::CreateCopy(IEngineObject* carrier) const {
    LightClass* copy = ClamClass::Init<LightClass>(carrier);
    copy->lights_ = lights_;
    return copy;
}

void LightClass::AddLight(const Vec3& position, uint32_t diffuse, uint32_t specular, float attenuation0,
                          float attenuation1) {
    UnitLight l;
    l.type = kLightPoint;
    l.position = position;
    l.colour = ColourFromArgb(diffuse);
    l.specular = ColourFromArgb(specular);
    l.range = 1.0e9f;
    l.attenuation0 = attenuation0;
    l.attenuation1 = attenuation1;
    lights_.push_back(l);
}

bool LightClass::GetLight(int index, UnitLight& out) const {
    if (index < 0 || index >= GetCount()) return false;
    out = lights_[static_cast<size_t>(index)];
    return true;
}

// ---- rotator --------------------------------------------------------------------------------

RotatorClass* RotatorClass::CreateCopy(IEngineObject* other) const {
    IEngineObject* carrier = other;
    if (auto* c = other ? dynamic_cast<ClamClass*>(other->GetInstance()) : nullptr) carrier = c->Carrier();
    RotatorClass* r = ClamClass::Init<RotatorClass>(carrier);
    r->mode_ = mode_;
    r->angleX_ = angleX_;
    r->speedX_ = speedX_;
    r->angleY_ = angleY_;
    r->speedY_ = speedY_;
    r->angleZ_ = angleZ_;
    r->speedZ_ = speedZ_;
    r->matX_ = matX_;
    r->matY_ = matY_;
    r->matZ_ = matZ_;
    return r;
}

bool RotatorClass::PartRuns(uint16_t bit) const {
    if (mode_ & bit) return true;
    auto* unit = Carrier() ? dynamic_cast<TBaseRenderUnit*>(Carrier()->GetInstance()) : nullptr;
    return unit && unit->HasFlag2(BRU2_ROTATE_ALL);
}

void RotatorClass::Update(float dtMs) {
    constexpr float kTwoPi = 2.0f * kPi;
    auto step = [dtMs](float& angle, float speed) {
        angle += speed * dtMs * 2.0f * kPi * 0.001f;
        if (angle > kTwoPi) angle -= kTwoPi;
        if (angle < 0.0f) angle += kTwoPi;
    };
    if (PartRuns(kRotateX)) {
        step(angleX_, speedX_);
        matX_ = MatrixRotationX(angleX_);
    }
    if (PartRuns(kRotateY)) {
        step(angleY_, speedY_);
        matY_ = MatrixRotationY(angleY_);
    }
    if (PartRuns(kRotateZ)) {
        step(angleZ_, speedZ_);
        matZ_ = MatrixRotationZ(angleZ_);
    }
    if (PartRuns(kRotateAxis)) {
        step(axisAngle_, axisSpeed_);
        matAxis_ = MatrixRotationAxis(axis_, axisAngle_);
    }
}

void RotatorClass::Apply(Matrix& m) const {
    const Matrix in = m;
    if (mode_ & kRotateX) m = MatrixProduct(matX_, in);
    if (mode_ & kRotateY) m = MatrixProduct(matY_, in);
    if (mode_ & kRotateZ) m = MatrixProduct(matZ_, in);
    if (mode_ & kRotateAxis) m = MatrixProduct(matAxis_, in);
}

// ---- killer ---------------------------------------------------------------------------------

KillerClass* KillerClass::Init(TBaseRenderUnit* bruToKill, IEngineObject* link) {
    if (!bruToKill) {
        ErrorReport("KillerClass.Init: bruToKill = nil", "mhl");
        return nullptr;
    }
    if (!link) {
        ErrorReport("KillerClass.Init: _link = nil", "mhl");
        return nullptr;
    }
    KillerClass* k = ClamClass::Init<KillerClass>(bruToKill);
    k->SetOther(link);
    return k;
}

void KillerClass::SetOther(IEngineObject* other) {
    if (other_) RemoveMutualSubscriber(other_);
    other_ = other;
    toKill_ = Carrier() ? dynamic_cast<TBaseRenderUnit*>(Carrier()->GetInstance()) : nullptr;
    if (other_) AddMutualSubscriber(other_);
}

void KillerClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && other_ && sender == other_) {
        TBaseRenderUnit* unit = toKill_;
        try {
            // Both links go first: the kill fires once, whatever it sets off.
            other_ = nullptr;
            toKill_ = nullptr;
            if (unit) unit->Kill();
        } catch (const std::exception&) {
            auto id = [](IEngineObject* o) {
                return o && o->GetInstance() ? o->GetInstance()->GetHex() : std::string("0");
            };
            ErrorReport("KillerClass.Message: AV, _sender: " + id(sender) + ", linkObj: " + id(sender) +
                            ", bruToKill: " + (unit ? unit->GetHex() : std::string("0")),
                        "mhl");
        }
    }
    ClamClass::Message(sender, msg, param);
}

// ---- rays -----------------------------------------------------------------------------------

RayOpsClass* GameOpsClass::GetRays() {
    if (!rays_) rays_ = ClamClass::Init<RayOpsClass>(Carrier());
    return rays_;
}

void GameOpsClass::DropRays() {
    if (RayOpsClass* r = std::exchange(rays_, nullptr)) r->Free();
}

void GameOpsClass::Free() {
    if (RayOpsClass* r = std::exchange(rays_, nullptr)) r->Free();
    ClamClass::Free();
}

void RayGroupClass::AddRay(TBaseRenderUnit* ray) {
    if (!ray) return;
    rays_.push_back(ray);
    AddMutualSubscriber(ray);
}

void RayGroupClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender)
        std::erase_if(rays_, [sender](TBaseRenderUnit* r) { return r == sender->GetInstance(); });
    ClamClass::Message(sender, msg, param);
}

RayGroupClass* RayOpsClass::GetGroup(const std::string& name) const {
    for (RayGroupClass* g : groups_)
        if (platform::SameTextCp1251(g->GetName(), name)) return g;
    return nullptr;
}

void RayOpsClass::AddGroup(const std::string& name) {
    if (GetGroup(name)) {
        ErrorReport("RayOpsClass.AddGroup: GetGroup(" + name + ",g): group already exists", "mhl");
        return;
    }
    RayGroupClass* g = ClamClass::Init<RayGroupClass>(Carrier());
    g->SetName(name);
    groups_.push_back(g);
    AddMutualSubscriber(g);
}

void RayOpsClass::AddRay(const std::string& groupName, TBaseRenderUnit* ray) {
    RayGroupClass* g = GetGroup(groupName);
    if (!g) {
        ErrorReport("RayOpsClass.AddRay: not GetGroup(" + groupName + ")", "mhl");
        return;
    }
    g->AddRay(ray);
}

void RayOpsClass::EnableRay(const std::string& groupName, bool enable) {
    RayGroupClass* g = GetGroup(groupName);
    if (!g) {
        ErrorReport("RayOpsClass.EnableRay: not GetGroup(" + groupName + ",g)", "mhl");
        return;
    }
    const std::vector<TBaseRenderUnit*> rays = g->Rays();
    for (TBaseRenderUnit* r : rays) r->SetVisible(enable);
}

void RayOpsClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender)
        std::erase_if(groups_, [sender](RayGroupClass* g) { return g == sender->GetInstance(); });
    ClamClass::Message(sender, msg, param);
}

void RayOpsClass::Free() {
    // The groups belong to the ray operations.
    const std::vector<RayGroupClass*> groups = std::move(groups_);
    groups_.clear();
    for (RayGroupClass* g : groups) g->Free();
    ClamClass::Free();
}

namespace {
GameOpsMaker& InstalledGameOpsMaker() {
    static GameOpsMaker maker;
    return maker;
}
} // namespace

void SetGameOpsMaker(GameOpsMaker maker) {
    InstalledGameOpsMaker() = std::move(maker);
}

GameOpsClass* MakeGameOps(IEngineObject* carrier) {
    if (const GameOpsMaker& maker = InstalledGameOpsMaker()) return maker(carrier);
    return ClamClass::Init<GameOpsClass>(carrier);
}

IShipsOps* GameOpsClass::GetShipsOps() {
    const auto& ships = GetRenderWorldLinks().shipsOps;
    return ships ? ships() : nullptr;
}

} // namespace vesk
