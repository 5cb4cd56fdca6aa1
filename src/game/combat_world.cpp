#include "game/combat_world.h"

#include "game/scene_object.h"
#include "physics/ai_unit.h"
#include "physics/coll_detector.h"
#include "render/engine.h"
#include "render/fx_descr.h"
#include "render/helpers.h"
#include "render/render_unit.h"
#include "world/fx_burst.h"
#include "world/fx_spawn.h"
#include "world/game_ops.h"
#include "world/shield.h"
#include "world/ship.h"

namespace vesk {

namespace {

// The configurations are made for the projectiles of the game side.
constexpr const char* kOwnerClass = "TGameObjectBullet";

TBaseRenderUnit* AsUnit(TEngineObject* o) {
    return dynamic_cast<TBaseRenderUnit*>(o);
}

std::string HexOf(TEngineObject* o) {
    return o ? o->GetHex() : std::string("0");
}

// A position link to a fixed point of the world.
class FixedPoint : public IDynamicTargetPosition {
public:
    explicit FixedPoint(const Vec3& p) : p_(p) {}
    Vec3 GetPos() override { return p_; }
    Vec3 GetVelocity() override { return {}; }

private:
    Vec3 p_;
};

} // namespace

TBaseRenderUnit* FxTemplateById(int32_t id) {
    return id != 0 ? FindEngineObjectAs<TBaseRenderUnit>(id) : nullptr;
}

TBaseRenderUnit* SpawnBulletFx(int32_t templateId, TEngineObject* source, const std::string& helper,
                               TEngineObject* target) {
    TBaseRenderUnit* templ = FxTemplateById(templateId);
    TBaseRenderUnit* from = AsUnit(source);
    TBaseRenderUnit* to = AsUnit(target);
    if (!templ || !from || !to) return nullptr;
    FXConfigBulletClass* config = FXConfigurator.GetBulletConfig(kOwnerClass);
    config->SetData(from, helper, to);
    return templ->SpawnEffect2(config);
}

void SpawnStartFx(int32_t templateId, TEngineObject* source, const std::string& helper,
                  TEngineObject* target) {
    TBaseRenderUnit* templ = FxTemplateById(templateId);
    if (!templ) return;
    if (dynamic_cast<FXBurstClass*>(templ)) {
        // A burst follows the barrel's attach point while its particles fly.
        TBaseRenderUnit* from = AsUnit(source);
        if (!from) return;
        FXConfigBurstDynamicPosClass* config = FXConfigurator.GetBurstDynamicPosConfig(kOwnerClass);
        config->SetData(from, helper);
        templ->SpawnEffect2(config);
        return;
    }
    FXSpawn({"", std::to_string(templateId), HexOf(source), helper, HexOf(target)});
}

void SpawnDefectFx(int32_t templateId, TEngineObject* unitHit, IBRUCollisionInfo& collision) {
    TBaseRenderUnit* templ = FxTemplateById(templateId);
    TBaseRenderUnit* unit = AsUnit(unitHit);
    if (!templ || !unit) return;
    FXConfigDefectClass* config = FXConfigurator.GetDefectConfig(kOwnerClass);
    config->SetData(unit, &collision, 1.0f);
    templ->SpawnEffect2(config);
}

bool SpawnShieldHit(TEngineObject* ship, TEngineObject* other) {
    TBaseRenderUnit* unit = AsUnit(ship);
    WorldGameOpsClass* ops = unit ? GameOpsOf(unit) : nullptr;
    EllipsoidShieldClass* shield = ops ? ops->GetShield() : nullptr;
    TBaseRenderUnit* templ = nullptr;
    if (!shield || !shield->GetEffectTemplate(templ)) return false;
    FXDescrStruct desc{};
    desc.ShieldBRU = unit;
    desc.ShieldSpawner = other;
    return TBaseRenderUnit::SpawnEffect(templ, unit, &desc) != nullptr;
}

void SpawnBurstAt(TEngineObject* templ, TEngineObject* unit, const Vec3& point) {
    auto* burst = AsUnit(templ);
    TBaseRenderUnit* target = AsUnit(unit);
    if (!burst || !target) return;
    FixedPoint at(point);
    FXConfigBurstClass* config = FXConfigurator.GetBurstConfig(kOwnerClass);
    config->SetData(&at, target);
    // The point is read while the burst is spawned, not later.
    burst->SpawnEffect2(config);
}

IBRUCollisionInfo* CollisionInfoOf(TEngineObject* unit) {
    if (auto* info = dynamic_cast<IBRUCollisionInfo*>(unit)) return info;
    if (auto* ship = dynamic_cast<ShipClass*>(unit)) return ship->GetCollisionInfo();
    return nullptr;
}

std::string UnitInfoText(TEngineObject* unit) {
    TBaseRenderUnit* u = AsUnit(unit);
    return u ? u->GetInfoStr() : std::string("nil");
}

bool IsShipUnit(TEngineObject* unit) {
    TBaseRenderUnit* u = AsUnit(unit);
    return u && u->HasFlag(BRU_SHIP);
}

float UnitRadius(TEngineObject* unit) {
    TBaseRenderUnit* u = AsUnit(unit);
    return u ? u->GetBSphereRadius() : 0.0f;
}

Vec3 UnitPosition(TEngineObject* unit) {
    Vec3 p{};
    if (TBaseRenderUnit* u = AsUnit(unit)) u->GetPosition(p);
    return p;
}

void MoveUnitTo(TEngineObject* unit, const Vec3& point) {
    TBaseRenderUnit* u = AsUnit(unit);
    if (!u) return;
    IRenderUnitAI* body = nullptr;
    if (u->GetBPU(body) && body)
        if (auto* ai = dynamic_cast<BaseAIUnitClass*>(body)) {
            Matrix m = u->GetLocalMatrix();
            MatrixSetTranslation(m, point);
            ai->SetPoseMatrix(m);
        }
    u->SetPosition(point);
    u->UpdateMatrices(u->Parent() ? &u->Parent()->GetWorldMatrix() : nullptr);
}

TBaseRenderUnit* EnsureHelperUnit(TBaseGameSceneObject* object, const Vec3& at) {
    if (!object) return nullptr;
    if (TBaseRenderUnit* unit = AsUnit(object->GetHex())) return unit;
    if (!Engine) return nullptr;
    // A helper, so that whatever is aimed at the point (a bullet, a beam, a
    // turned mesh) may end at it.
    auto* helper = TBaseRenderUnit::Create<HelperClass>(Engine);
    helper->SetName(object->GetName());
    helper->SetHelperName(object->GetName());
    Engine->AddChild(helper);
    helper->SetPosition(at);
    helper->UpdateMatrices(&Engine->GetWorldMatrix());
    object->SetHex(helper);
    return helper;
}

bool PlaceAimPoint(TBaseGameSceneObject* helper, TEngineObject* target, TEngineObject* shooter) {
    TBaseRenderUnit* targetUnit = AsUnit(target);
    TBaseRenderUnit* shooterUnit = AsUnit(shooter);
    if (!helper || !targetUnit || !shooterUnit) return false;
    Vec3 point;
    targetUnit->GetPosition(point);
    if (WorldGameOpsClass* ops = GameOpsOf(targetUnit))
        if (TargetOpsClass* aim = ops->GetTargetOps()) aim->ComputeLeadPoint(shooterUnit, point);
    TBaseRenderUnit* unit = EnsureHelperUnit(helper, point);
    if (!unit) return false;
    unit->SetPosition(point);
    unit->UpdateMatrices(unit->Parent() ? &unit->Parent()->GetWorldMatrix() : nullptr);
    return true;
}

} // namespace vesk
