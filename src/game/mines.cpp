#include "game/mines.h"

#include "core/lua_readers.h"
#include "game/ai_helpers.h"
#include "game/combat_world.h"
#include "game/fx_objects.h"
#include "game/game_objects.h"
#include "game/game_parts.h"
#include "game/params.h"
#include "physics/ai_unit.h"
#include "render/render_unit.h"

namespace vesk {

// ---- TGameObjectMine ----------------------------------------------------------------------------------

void TGameObjectMine::MakeMineChildren() {
    onReady_ = NewGameObject<TGameEvent>("onReady", Events());
    onReady_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onReadyFunc(o, d); });
    activateRadius_ = NewGameObject<TGameObjectSubParam>("activateRadius", this);
    activateTime_ = NewGameObject<TGameObjectSubParam>("activateTime", this);
    enemyFound_ = NewGameObject<TGameObjectIntParam>("enemyFound", this);
    timeLeft_ = NewGameObject<TGameObjectSubParam>("timeLeft", this);
    fraction_ = NewGameObject<TFractionLink>("fraction", this);
    standingHelper_ = NewGameObject<TGameObjectFreeLink>("standingHelper", this);
}

void TGameObjectMine::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectRocket::Create(name, parent);
    MakeMineChildren();
}

void TGameObjectMine::CreateEmpty() {
    TGameObjectRocket::CreateEmpty();
    MakeMineChildren();
}

void TGameObjectMine::ReInit(const std::string& name, TBaseGameObject* parent) {
    TGameObjectRocket::ReInit(name, parent);
    if (onReady_ && onReady_->EventObjLink()) onReady_->EventObjLink()->setValue(this);
    if (enemyFound_) enemyFound_->setValue(0);
    if (standingHelper_) standingHelper_->setValue(nullptr);
    if (fraction_) fraction_->setValue(nullptr);
}

void TGameObjectMine::ChildLeft(TBaseGameObject* child) {
    TGameObjectRocket::ChildLeft(child);
    ForgetChild(child, activateRadius_, activateTime_, enemyFound_, timeLeft_, fraction_, standingHelper_);
    if (child == Events()) onReady_ = nullptr;
}

int32_t TGameObjectMine::EnemyFound() const {
    return enemyFound_ ? enemyFound_->GetValue() : 0;
}

TBaseGameSceneObject* TGameObjectMine::StandingHelper() const {
    return standingHelper_ ? dynamic_cast<TBaseGameSceneObject*>(standingHelper_->GetValue()) : nullptr;
}

void TGameObjectMine::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    if (CreateRocket()) {
        if (SOClass()) SOClass()->setValue(kSOClassMine);
        // Inert until armed: the timer calls onReady.
        if (Effects()) {
            auto* timer = NewGameObject<TGameTimeEffect>("reffect", Effects());
            timer->FuncLink()->setValue(onReady_);
            timer->TimeMax()->setValue(activateTime_ ? activateTime_->GetValue() : 0.0f);
        }
        if (OnCollision()) OnCollision()->Deactivate();
        if (OnTickEvent()) OnTickEvent()->Deactivate();
    }
    TEngineObject* spawner = Spawner() ? Spawner()->GetValue() : nullptr;
    if (fraction_) {
        auto* ship = dynamic_cast<TBaseGameObject*>(spawner);
        if (ship && &ship->GameClass() == &TGameObject::StaticClass()) {
            auto* theirs = Child<TGameObjectLinkParam>(ship, "fraction");
            fraction_->setValue(theirs ? theirs->GetLinked() : nullptr);
        } else if (!spawner && !fraction_->GetLinked()) {
            fraction_->stringUpdate("player");
        }
    }
    // The HUD marks the mine (when the scripts have the helper list).
    RunLua("if iActiveHelpers ~= nil and iActiveHelpers.i_AddMineAHHers ~= nil then "
           "iActiveHelpers.i_AddMineAHHers(" +
           LuaQuote(TEngineObject::GetHex()) + ") end");
}

void TGameObjectMine::onReadyFunc(TEngineObject*, TEngineObject*) {
    if (deleted_ || IsDestroyed() != 0) return;
    auto* post = dynamic_cast<TBaseGameSceneObject*>(
        NewChildOfClass("TGameDinamicTrigger", TBaseGameSceneObject::StaticClass(), "sh", Svitch()));
    if (standingHelper_) standingHelper_->setValue(post);
    if (post) {
        if (auto* parent = Child<TGameObjectFreeLink>(post, "parentShip")) parent->setValue(this);
        if (post->OnCreated()) post->OnCreated()->Fire();
        // The post is where the mine is now.
        EnsureHelperUnit(post, UnitPosition(GetHex()));
    }
    PhCommand("stop", ",\"\",0");
    if (OnTickEvent()) OnTickEvent()->Activate();
    if (OnCollision()) OnCollision()->Activate();
}

void TGameObjectMine::onTickFunc(TEngineObject*, TEngineObject* data) {
    MineTick(FrameTimeOf(data));
}

void TGameObjectMine::MineTick(float dtMs) {
    if (deleted_) return;
    TBaseRenderUnit* own = UnitOf(this);
    const float radius = activateRadius_ ? activateRadius_->GetValue() : 0.0f;
    if (EnemyFound() != 1 && own) {
        TBaseGameObject* found = nullptr;
        ForEachChildOf(RocketsList(), [&](TBaseGameObject* o) {
            if (found || o == this || SOClassOf(o) != kSOClassShip) return;
            TBaseRenderUnit* unit = UnitOf(o);
            if (!unit || SurfaceRange(unit, own) > radius) return;
            if (AttitudeOf(this, o) < 50.0f) found = o;
        });
        if (found) {
            if (enemyFound_) enemyFound_->setValue(1);
            SetCurTarget(found);
            Attack();
        }
    }
    if (EnemyFound() == 1) {
        auto* target = dynamic_cast<TBaseGameObject*>(GetCurTarget());
        if (!target) {
            ReturnToPost();
            if (enemyFound_) enemyFound_->setValue(0);
        } else if (!own || !UnitOf(target) || SurfaceRange(UnitOf(target), own) > radius) {
            ReturnToPost();
            if (enemyFound_) enemyFound_->setValue(0);
            SetCurTarget(nullptr);
        }
    }
    LifeTick(dtMs);
}

void TGameObjectMine::ResumeSpeed() {
    // Holding its post took the mine's speed to 0: the chase and the way back
    // need it again.
    if (auto* ai = dynamic_cast<BaseAIUnitClass*>(Ph() ? Ph()->GetValue() : nullptr))
        if (const TShipPhysicParams* record = ai->GetPhysicParams()) ai->SetSpeed(record->maxVelocity);
}

void TGameObjectMine::Attack() {
    auto* target = dynamic_cast<TBaseGameObject*>(GetCurTarget());
    if (!target) return;
    ResumeSpeed();
    if (target->GetParent() && target->GetParent() == RocketsList())
        PhCommand("approachToObj", ",\"\"," + LuaQuote(target->GetName()) + ",0,0,1");
    if (SOClassOf(target) == kSOClassShip) RegisterOn(target, +1);
}

void TGameObjectMine::ReturnToPost() {
    PhCommand("stop", ",\"\",0");
    TBaseRenderUnit* post = UnitOf(StandingHelper());
    if (post) {
        ResumeSpeed();
        PhCommand("goToHelperHex", ",\"\"," + LuaQuote(post->GetHex()));
    }
    if (auto* target = dynamic_cast<TBaseGameObject*>(GetCurTarget()); SOClassOf(target) == kSOClassShip)
        RegisterOn(target, -1);
}

} // namespace vesk
