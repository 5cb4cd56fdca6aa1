#include "game/ai_models.h"

#include <cctype>
#include <cmath>
#include <set>

#include "game/ai_anchors.h"
#include "game/ai_helpers.h"
#include "game/ai_tasks.h"
#include "game/fx_objects.h"
#include "game/game_constants.h"
#include "game/game_lua.h"
#include "game/game_objects.h"
#include "game/items.h"
#include "game/lua_text.h"
#include "game/player.h"
#include "game/slots.h"
#include "game/statistics.h"
#include "physics/ai_unit.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math_geometry.h"

namespace vesk {

namespace {

constexpr float kManeurPointDistance = 900000.0f;
constexpr float kFluctuationTime = 5.0f;
constexpr int kMaxHelpers = 2;

TSmartList* TargetedListOf(TEngineObject* obj) {
    auto* node = dynamic_cast<TBaseGameObject*>(obj);
    return node ? dynamic_cast<TSmartList*>(node->FindChild("targeted")) : nullptr;
}

std::string AiModelName(const TBaseGameObject* obj) {
    auto* p = obj && obj->GetObjects()
                  ? dynamic_cast<TGameObjectStringParam*>(obj->GetObjects()->Find("ai_model"))
                  : nullptr;
    return p ? p->GetValue() : std::string();
}

float DurabilitySum(const TBaseGameObject* obj) {
    return AiParamCur(obj, "durability") + AiParamCur(obj, "armor") + AiParamCur(obj, "shield");
}

// Where the manoeuvre point's helper goes: under the engine root.
class RootHelperHost : public IHelperHost {
public:
    explicit RootHelperHost(TBaseRenderUnit& root) : root_(root) {}
    IPlacedUnit* AddHelper(const std::string& name, const Vec3& position) override {
        made = root_.AddHelper(name, position);
        if (made) made->SetWorldPosition(position);
        placed_.position = position;
        return &placed_;
    }
    HelperClass* made = nullptr;

private:
    struct Placed : IPlacedUnit {
        Vec3 position{};
        Vec3 UnitPosition() const override { return position; }
        float UnitBoundingRadius() const override { return 0.0f; }
    };
    TBaseRenderUnit& root_;
    Placed placed_;
};

bool IsLuaName(const std::string& s) {
    if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

} // namespace

TGameObjectBaseAIModel* AiModelOf(const TBaseGameObject* obj) {
    return obj && obj->GetObjects() ? dynamic_cast<TGameObjectBaseAIModel*>(obj->GetObjects()->Find("ai"))
                                    : nullptr;
}

// ---- TGameAiEvent, TCurEnemyLink -------------------------------------------------------------

void TGameAiEvent::Fire() {
    if (deleted_) return;
    FastLogAdd(AiAncestry(this));
    TGameEvent::Fire();
}

TBaseGameObject* TCurEnemyLink::OwnerShip() const {
    return parent_ ? parent_->GetParent() : nullptr;
}

void TCurEnemyLink::setValue(TEngineObject* obj) {
    if (obj != linked_) {
        TBaseGameObject* ship = OwnerShip();
        if (TSmartList* old = TargetedListOf(linked_); old && ship) old->Remove(ship);
        if (TSmartList* now = TargetedListOf(obj); now && ship) now->Add(ship);
    }
    TGameObjectFreeLink::setValue(obj);
}

void TCurEnemyLink::Message(IEngineObject* sender, int msg, int param) {
    TGameObjectFreeLink::Message(sender, msg, param);
}

// ---- TGameObjectBaseAIModel ------------------------------------------------------------------

template <class Model>
TGameEvent* TGameObjectBaseAIModel::NewAiEvent(const char* name,
                                               void (Model::*handler)(TEngineObject*, TEngineObject*)) {
    auto* e = NewGameObject<TGameAiEvent>(name, this);
    auto* self = static_cast<Model*>(this);
    e->SetHandler([self, handler](TEngineObject* o, TEngineObject* d) { (self->*handler)(o, d); });
    return e;
}

void TGameObjectBaseAIModel::Create(const std::string& name, TBaseGameObject* parent) {
    TGameEventList::Create(name, parent);
    defCurObj_ = NewGameObject<TGameObjectFreeLink>("defCurObj", this);
    memory_ = NewGameObject<TGameObjectMemory>("memory", this);
    NewAiEvent("onInit", &TGameObjectBaseAIModel::onInitFunc);
    NewAiEvent("onShutdown", &TGameObjectBaseAIModel::onShutdownFunc);
    NewAiEvent("onScan", &TGameObjectBaseAIModel::onScanFunc);
}

void TGameObjectBaseAIModel::Delete() {
    TGameEventList::Delete();
}

void TGameObjectBaseAIModel::ChildLeft(TBaseGameObject* child) {
    ForgetChild(child, defCurObj_, memory_);
}

void TGameObjectBaseAIModel::onInitFunc(TEngineObject*, TEngineObject*) {}
void TGameObjectBaseAIModel::onShutdownFunc(TEngineObject*, TEngineObject*) {}

void TGameObjectBaseAIModel::onScanFunc(TEngineObject*, TEngineObject*) {
    if (!memory_) return;
    memory_->Forget();
    ForEachChildOf(GlobalList("obj"), [this](TBaseGameObject* obj) { RememberObject(obj); });
}

void TGameObjectBaseAIModel::RememberObject(TBaseGameObject* obj) {
    if (!memory_ || obj == Owner() || SOClassOf(obj) != kSOClassShip || !UnitOf(obj)) return;
    memory_->Remember(obj, getRangeToObj(obj));
}

float TGameObjectBaseAIModel::getRangeToObj(TBaseGameObject* obj) {
    if (!UnitOf(obj))
        ErrorReport("TGameObjectTurretAIModel.getRangeToObj [" + AiAncestry(Owner()) +
                        "] error : " + AiAncestry(obj) + " - _obj.hex=nil",
                    "mhl");
    return 0.0f;
}

TBaseGameObject* TGameObjectBaseAIModel::Owner() const {
    return parent_;
}

TEngineObject* TGameObjectBaseAIModel::DefCurObj() const {
    return defCurObj_ ? defCurObj_->GetValue() : nullptr;
}

TGameEvent* TGameObjectBaseAIModel::Event(const std::string& name) const {
    return objects_ ? dynamic_cast<TGameEvent*>(objects_->Find(name)) : nullptr;
}

void TGameObjectBaseAIModel::FireEvent(const std::string& name) {
    if (TGameEvent* e = Event(name)) e->Fire();
}

// ---- TGameObjectEmptyShipAIModel ----------------------------------------------------------------

void TGameObjectEmptyShipAIModel::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectBaseAIModel::Create(name, parent);
    using M = TGameObjectEmptyShipAIModel;
    auto link = [this](const char* n) { NewGameObject<TGameObjectFreeLink>(n, this); };
    auto number = [this](const char* n, float v) {
        NewGameObject<TGameObjectSubParam>(n, this)->setValue(v);
    };
    auto integer = [this](const char* n, int32_t v) {
        NewGameObject<TGameObjectIntParam>(n, this)->setValue(v);
    };
    enemies_ = NewGameObject<TGameAiEnemies>("enemies", this);
    patrols_ = NewGameObject<TGameAiPatrols>("patrols", this);
    link("curPatrolPoint");
    NewAiEvent("searshNewPatrolPoint", &M::searshNewPatrolPoint);
    NewAiEvent("werifyPatrolRange", &M::werifyPatrolRange);
    NewAiEvent("onPatrolInProcess", &M::onPatrolInProcess);
    NewAiEvent("onPatrolEnding", &M::onPatrolEnding);
    link("assistEnemy");
    link("helpEnemy");
    link("attackEnemy");
    NewGameObject<TCurEnemyLink>("curEnemy", this);
    link("curAlly");
    link("curAnchor");
    number("maxAnchorRange", 0.0f);
    number("inAnchorRange", 0.0f);
    integer("minManeurAngle", 20);
    integer("maxManeurAngle", 60);
    NewAiEvent("newRndPoint", &M::newRndPoint);
    link("curManeurPoint");
    link("curAttackTarget");
    number("maxAttackRange", 2500.0f);
    number("minAttackRange", 1000.0f);
    NewAiEvent("werifyAttackDistance", &M::werifyAttackDistance);
    NewAiEvent("onNormalAttackDistance", &M::onNormalAttackDistance);
    NewAiEvent("onSmallAttackDistance", &M::onSmallAttackDistance);
    NewAiEvent("onLargeAttackDistance", &M::onLargeAttackDistance);
    NewAiEvent("onLostTarget", &M::onLostTarget);
    integer("nearAttackedObj", 0);
    NewAiEvent("searshBestEnemy", &M::searshBestEnemy);
    NewAiEvent("searshBestAlly", &M::searshBestAlly);
    NewAiEvent("onOutFromCurAnchor", &M::onOutFromCurAnchor);
    NewAiEvent("onInToCurAnchor", &M::onInToCurAnchor);
    NewAiEvent("werifyAnchorDistance", &M::werifyAnchorDistance);
    NewAiEvent("onAttack", &M::onAttack);
    NewAiEvent("onAttacked", &M::onAttacked);
    NewAiEvent("activateBestWeapon", &M::activateBestWeapon);
    number("messRadius", 2000.0f);
    NewAiEvent("help", &M::help);
    NewAiEvent("assist", &M::assist);
    NewAiEvent("werifyDP", &M::werifyDP);
    NewAiEvent("onSmallDP", &M::onSmallDP);
    NewAiEvent("compareParam", &M::compareParam);
    NewAiEvent("onImLooser", &M::onImLooser);
    NewAiEvent("onRocketLock", &M::onRocketLock);
    link("curAttackRocket");
    NewAiEvent("enableFluctuationMove", &M::enableFluctuationMove);
    NewAiEvent("disableFluctuationMove", &M::disableFluctuationMove);
    NewAiEvent("onDamage", &M::onDamage);
    NewAiEvent("onDamaged", &M::onDamaged);
}

void TGameObjectEmptyShipAIModel::Delete() {
    // A model that goes stops counting as an attacker of its enemy.
    if (!deleted_) SetLink("curEnemy", nullptr);
    TGameObjectBaseAIModel::Delete();
}

void TGameObjectEmptyShipAIModel::ChildLeft(TBaseGameObject* child) {
    TGameObjectBaseAIModel::ChildLeft(child);
    ForgetChild(child, enemies_, patrols_);
}

TGameObjectFreeLink* TGameObjectEmptyShipAIModel::Link(const char* name) const {
    return objects_ ? dynamic_cast<TGameObjectFreeLink*>(objects_->Find(name)) : nullptr;
}

TEngineObject* TGameObjectEmptyShipAIModel::LinkedObject(const char* name) const {
    TGameObjectFreeLink* l = Link(name);
    return l ? l->GetValue() : nullptr;
}

void TGameObjectEmptyShipAIModel::SetLink(const char* name, TEngineObject* obj) {
    if (TGameObjectFreeLink* l = Link(name)) l->setValue(obj);
}

float TGameObjectEmptyShipAIModel::Number(const char* name) const {
    TBaseGameObject* p = objects_ ? objects_->Find(name) : nullptr;
    if (auto* f = dynamic_cast<TGameObjectSubParam*>(p)) return f->GetValue();
    if (auto* i = dynamic_cast<TGameObjectIntParam*>(p)) return static_cast<float>(i->GetValue());
    return 0.0f;
}

void TGameObjectEmptyShipAIModel::SetNumber(const char* name, float v) {
    TBaseGameObject* p = objects_ ? objects_->Find(name) : nullptr;
    if (auto* f = dynamic_cast<TGameObjectSubParam*>(p)) f->setValue(v);
    if (auto* i = dynamic_cast<TGameObjectIntParam*>(p)) i->setValue(static_cast<int32_t>(v));
}

TGameObjTaskManager* TGameObjectEmptyShipAIModel::OwnerTasks() const {
    TBaseGameObject* owner = Owner();
    return owner ? dynamic_cast<TGameObjTaskManager*>(owner->FindChild("tasks")) : nullptr;
}

TEngineObject* TGameObjectEmptyShipAIModel::FluctuationCounter() const {
    return fluctuationCounterId_ ? FindEngineObjectById(fluctuationCounterId_) : nullptr;
}

float TGameObjectEmptyShipAIModel::getRangeToObj(TBaseGameObject*) {
    return 0.0f;
}

void TGameObjectEmptyShipAIModel::QueueSequence(const std::string& sequenceId,
                                                const std::string& namePrefix) {
    TGameObjTaskManager* queue = OwnerTasks();
    if (!queue) return;
    ClearTaskQueue(queue);
    auto* task =
        dynamic_cast<TTaskuseSequence*>(NewPooledObject(TTaskuseSequence::StaticClass(), namePrefix, queue));
    if (!task) return;
    task->AppendIdToName();
    task->SetSequenceId(sequenceId);
    if (task->SelfObj()) task->SelfObj()->setValue(Owner());
    task->Activate();
    queue->StartNext();
}

// ---- measuring handlers ----------------------------------------------------------------------

void TGameObjectEmptyShipAIModel::werifyAnchorDistance(TEngineObject*, TEngineObject*) {
    auto* anchor = dynamic_cast<TBaseGameObject*>(LinkedObject("curAnchor"));
    if (!anchor || !UnitOf(anchor)) return;
    const float d = getRangeToObj(anchor);
    const float leash = Number("maxAnchorRange");
    const float home = Number("inAnchorRange");
    if (d > leash)
        FireEvent("onOutFromCurAnchor");
    else if (d > 0.6f * leash && home == 0.0f)
        FireEvent("onOutFromCurAnchor");
    else if (d <= 0.6f * leash && home != 1.0f)
        FireEvent("onInToCurAnchor");
}

void TGameObjectEmptyShipAIModel::werifyAttackDistance(TEngineObject*, TEngineObject*) {
    auto* target = dynamic_cast<TBaseGameObject*>(LinkedObject("curAttackTarget"));
    if (!target) {
        // Without a target there is no range to classify: the scan that follows
        // the loss decides what comes next.
        FireEvent("onLostTarget");
        return;
    }
    const float d = getRangeToObj(target);
    if (d > Number("maxAttackRange")) {
        SetNumber("nearAttackedObj", 0);
        FireEvent("onLargeAttackDistance");
    } else if (d <= Number("minAttackRange") || Number("nearAttackedObj") != 0.0f) {
        SetNumber("nearAttackedObj", 1);
        FireEvent("onSmallAttackDistance");
    } else {
        FireEvent("onNormalAttackDistance");
    }
}

void TGameObjectEmptyShipAIModel::werifyPatrolRange(TEngineObject*, TEngineObject*) {
    auto* point = dynamic_cast<TBaseGameObject*>(LinkedObject("curPatrolPoint"));
    TBaseGameObject* owner = Owner();
    auto* radius = owner && owner->GetObjects()
                       ? dynamic_cast<TGameObjectSubParam*>(owner->GetObjects()->Find("radius"))
                       : nullptr;
    if (point && getRangeToObj(point) > 2.0f * (radius ? radius->GetValue() : 0.0f))
        FireEvent("onPatrolInProcess");
    else
        FireEvent("onPatrolEnding");
}

void TGameObjectEmptyShipAIModel::werifyDP(TEngineObject*, TEngineObject*) {
    TGameObjectParam* hull = AiParam(Owner(), "durability");
    if (hull && hull->Cur() && hull->Max() && hull->Cur()->GetValue() <= 0.25f * hull->Max()->GetValue())
        FireEvent("onSmallDP");
}

void TGameObjectEmptyShipAIModel::compareParam(TEngineObject*, TEngineObject*) {
    auto* other = dynamic_cast<TBaseGameObject*>(DefCurObj());
    if (!other) return;
    if (DurabilitySum(Owner()) * 2.0f < DurabilitySum(other)) FireEvent("onImLooser");
}

void TGameObjectEmptyShipAIModel::newRndPoint(TEngineObject*, TEngineObject*) {
    if (TEngineObject* old = LinkedObject("curManeurPoint")) {
        SetLink("curManeurPoint", nullptr);
        if (auto* node = dynamic_cast<TBaseGameObject*>(old)) node->Delete();
    }
    auto* target = dynamic_cast<TBaseGameObject*>(DefCurObj());
    TBaseGameObject* list = GlobalList("obj");
    if (!target || !list) return;
    auto* point = dynamic_cast<TBaseGameSceneObject*>(
        NewChildOfClass("TGameDinamicTrigger", TBaseGameSceneObject::StaticClass(), "ap_", list));
    if (!point) return;
    point->AppendIdToName();
    SetLink("curManeurPoint", point);
    const int32_t lo = static_cast<int32_t>(Number("minManeurAngle"));
    const int32_t hi = static_cast<int32_t>(Number("maxManeurAngle"));
    const int32_t angle =
        hi > lo ? lo + std::min(hi - lo - 1, static_cast<int32_t>(UniformRandom() * float(hi - lo))) : lo;
    TBaseRenderUnit* from = UnitOf(Owner());
    TBaseRenderUnit* toward = UnitOf(target);
    if (!Engine || !from || !toward) {
        FastLogAdd("TGameObjectEmptyShipAIModel.newRndPoint: " + GetDebugPath(this) +
                   " - no unit to place the manoeuvre point at");
        return;
    }
    Vec3 a, b;
    from->GetPosition(a);
    toward->GetPosition(b);
    RootHelperHost host(*Engine);
    PlaceAsmHelper(host, a, b, kManeurPointDistance, static_cast<float>(angle));
    if (host.made) point->SetHex(host.made);
}

// ---- messages between ships ------------------------------------------------------------------

void TGameObjectEmptyShipAIModel::onAttack(TEngineObject* obj, TEngineObject*) {
    auto* enemy = dynamic_cast<TBaseGameObject*>(LinkedObject("curEnemy"));
    if (!enemy || AiModelName(enemy).empty()) return;
    TGameObjectBaseAIModel* model = AiModelOf(enemy);
    TGameEvent* attacked = model ? model->Event("onAttacked") : nullptr;
    if (!attacked) return;
    attacked->SetEventData(obj);
    attacked->Fire();
}

void TGameObjectEmptyShipAIModel::onAttacked(TEngineObject*, TEngineObject* data) {
    TBaseGameObject* ship = PlayerShip();
    if (ship && data == ship) SetLink("attackEnemy", ship);
}

void TGameObjectEmptyShipAIModel::help(TEngineObject*, TEngineObject* data) {
    SetLink("helpEnemy", data);
}

void TGameObjectEmptyShipAIModel::assist(TEngineObject*, TEngineObject* data) {
    SetLink("assistEnemy", data);
}

void TGameObjectEmptyShipAIModel::onRocketLock(TEngineObject*, TEngineObject*) {
    SetLink("curAttackRocket", nullptr);
}

int TGameObjectEmptyShipAIModel::SendHelpRequest(const std::string& eventName) {
    TBaseGameObject* owner = Owner();
    TBaseRenderUnit* own = UnitOf(owner);
    if (!own) return 0;
    const float radius = Number("messRadius");
    TEngineObject* target = DefCurObj();
    int asked = 0;
    ForEachChildOf(GlobalList("obj"), [&](TBaseGameObject* obj) {
        if (asked >= kMaxHelpers || obj == owner || SOClassOf(obj) != kSOClassShip) return;
        TBaseRenderUnit* unit = UnitOf(obj);
        if (!unit || SurfaceRange(own, unit) > radius) return;
        if (std::lround(AttitudeOf(owner, obj)) <= 50 || AiModelName(obj).empty()) return;
        TGameObjectBaseAIModel* model = AiModelOf(obj);
        TGameEvent* e = model ? model->Event(eventName) : nullptr;
        if (!e) return;
        if (e->EventObjLink()) e->EventObjLink()->setValue(owner);
        e->SetEventData(target);
        e->Fire();
        ++asked;
    });
    return asked;
}

// ---- the wobble --------------------------------------------------------------------------------

TNPCPhysicComponent* TGameObjectEmptyShipAIModel::NpcPhysics(const char* who) {
    BaseAIUnitClass* ai = ShipAIUnit(Owner());
    TNPCPhysicComponent* npc = ai ? ai->GetNPCController() : nullptr;
    if (!npc)
        ErrorReport(std::string("TGameObjectEmptyShipAIModel.") + who + " error: TNPCPhysicComponent=nil",
                    "mhl");
    return npc;
}

void TGameObjectEmptyShipAIModel::enableFluctuationMove(TEngineObject*, TEngineObject*) {
    TNPCPhysicComponent* npc = NpcPhysics("enableFluctuationMoveFunc");
    if (!npc) return;
    npc->StartFluctuationMove(200.0f, 40.0f, 30.0f, 1.2f);
    if (FluctuationCounter()) return;
    // The wobble ends by itself after a while unless told to end before.
    auto* counter = NewGameObject<TGameTimeEffect>("fluctuationCounter", this);
    fluctuationCounterId_ = counter->GetId();
    if (counter->TimeMax()) counter->TimeMax()->setValue(kFluctuationTime);
    if (counter->FuncLink()) counter->FuncLink()->setValue(Event("disableFluctuationMove"));
}

void TGameObjectEmptyShipAIModel::disableFluctuationMove(TEngineObject*, TEngineObject*) {
    TNPCPhysicComponent* npc = NpcPhysics("disableFluctuationMoveFunc");
    if (!npc) return;
    npc->StopFluctuationMove();
    fluctuationCounterId_ = 0;
}

// ---- handlers without a native action in the empty model ------------------------------------

void TGameObjectEmptyShipAIModel::onOutFromCurAnchor(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onInToCurAnchor(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::searshBestEnemy(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::searshBestAlly(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onNormalAttackDistance(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onSmallAttackDistance(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onLargeAttackDistance(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onLostTarget(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::searshNewPatrolPoint(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onPatrolInProcess(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onPatrolEnding(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::activateBestWeapon(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onSmallDP(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onImLooser(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onDamage(TEngineObject*, TEngineObject*) {}
void TGameObjectEmptyShipAIModel::onDamaged(TEngineObject*, TEngineObject*) {}

// ---- TGameObjectShipAIModel -------------------------------------------------------------------

void TGameObjectShipAIModel::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEmptyShipAIModel::Create(name, parent);
    if (Statistics && Statistics->Ai()) {
        Statistics->Ai()->Inc();
        counted_ = true;
    }
}

void TGameObjectShipAIModel::Delete() {
    if (counted_ && Statistics && Statistics->Ai()) Statistics->Ai()->Dec();
    counted_ = false;
    TGameObjectEmptyShipAIModel::Delete();
}

void TGameObjectShipAIModel::onInitFunc(TEngineObject*, TEngineObject*) {
    for (const char* name : {"curManeurPoint", "curAttackTarget", "curPatrolPoint", "curEnemy"})
        SetLink(name, nullptr);
}

void TGameObjectShipAIModel::onShutdownFunc(TEngineObject*, TEngineObject*) {
    QueueSequence("onShutdown", "onShutdown_");
}

void TGameObjectShipAIModel::onScanFunc(TEngineObject*, TEngineObject*) {
    TEngineObject* anchor = LinkedObject("curAnchor");
    const float leash = Number("maxAnchorRange");
    if (patrols_) patrols_->SetAnchor(anchor, leash);
    if (enemies_) enemies_->SetAnchor(anchor, leash);
    FireEvent("searshBestEnemy");
    if (LinkedObject("curEnemy")) {
        QueueSequence("newAttackManeur", "newAttackManeurnt_");
        return;
    }
    if (!LinkedObject("curPatrolPoint")) {
        FireEvent("searshNewPatrolPoint");
        if (!LinkedObject("curPatrolPoint")) {
            QueueSequence("nothing", "nothingnt_");
            return;
        }
    }
    QueueSequence("patrolProcess", "patrolProcessnt_");
}

float TGameObjectShipAIModel::getRangeToObj(TBaseGameObject* obj) {
    TBaseRenderUnit* own = UnitOf(Owner());
    TBaseRenderUnit* other = UnitOf(obj);
    return own && other ? SurfaceRange(own, other) : kAiNoRange;
}

void TGameObjectShipAIModel::TakeEnemy(TEngineObject* enemy) {
    SetLink("curAttackTarget", enemy);
    SetLink("curEnemy", enemy);
}

void TGameObjectShipAIModel::searshBestEnemy(TEngineObject*, TEngineObject*) {
    TBaseGameObject* owner = Owner();
    if (TBaseGameObject* ship = PlayerShip(); ship && ship != owner) {
        auto* targeted = dynamic_cast<TSmartList*>(ship->FindChild("targeted"));
        if (targeted && targeted->Contains(owner)) return;
        const int32_t maxAttackers = GameConstants ? GameConstants->PlayerShipMaxAttackers() : 1;
        auto* anchor = LinkedObject("curAnchor");
        if ((!targeted || targeted->CountLinked() < maxAttackers) && anchor) {
            TBaseRenderUnit* anchorUnit = UnitOf(anchor);
            if (!anchorUnit) return;
            TBaseRenderUnit* shipUnit = UnitOf(ship);
            if (shipUnit && CentreRange(shipUnit, anchorUnit) <= Number("maxAnchorRange") &&
                IsHostile(owner, ship)) {
                TakeEnemy(ship);
                FastLogAdd("AI: " + GetLuaPath(owner) + " takes the player's ship " + GetLuaPath(ship) +
                           " as its enemy");
                return;
            }
        }
    }
    for (const char* name : {"helpEnemy", "assistEnemy", "attackEnemy"}) {
        if (TEngineObject* enemy = LinkedObject(name)) {
            TakeEnemy(enemy);
            SetLink(name, nullptr);
            return;
        }
    }
    TakeEnemy(enemies_ ? enemies_->BestEnemy() : nullptr);
}

const char* TGameObjectShipAIModel::AttackSequence(int which) const {
    static const char* const kNames[] = {"newAttackManeur", "continueAttackManeur", "leaveFromObj"};
    return kNames[which];
}

const char* THeavyShipAiModel::AttackSequence(int which) const {
    static const char* const kNames[] = {"newAttackManeur_heavy", "continueAttackManeur_heavy",
                                         "leaveFromObj_heavy"};
    return kNames[which];
}

void TGameObjectShipAIModel::onLargeAttackDistance(TEngineObject*, TEngineObject*) {
    QueueSequence(AttackSequence(0), "newAttackManeur_");
}

void TGameObjectShipAIModel::onNormalAttackDistance(TEngineObject*, TEngineObject*) {
    QueueSequence(AttackSequence(1), "continueAttackManeur_");
}

void TGameObjectShipAIModel::onSmallAttackDistance(TEngineObject*, TEngineObject*) {
    QueueSequence(AttackSequence(2), "leaveFromObj_");
}

void TGameObjectShipAIModel::onOutFromCurAnchor(TEngineObject*, TEngineObject*) {
    QueueSequence("goToCurAnchor", "goToCurAnchor_");
}

void TGameObjectShipAIModel::onInToCurAnchor(TEngineObject*, TEngineObject*) {
    QueueSequence("onInToCurAnchor", "onInToCurAnchor_");
}

void TGameObjectShipAIModel::onLostTarget(TEngineObject*, TEngineObject*) {
    ClearTaskQueue(OwnerTasks());
    FireEvent("onScan");
}

void TGameObjectShipAIModel::searshNewPatrolPoint(TEngineObject*, TEngineObject*) {
    auto* current = dynamic_cast<TBaseGameObject*>(LinkedObject("curPatrolPoint"));
    SetLink("curPatrolPoint", patrols_ ? patrols_->getNextAnchor(current) : nullptr);
}

void TGameObjectShipAIModel::onPatrolInProcess(TEngineObject*, TEngineObject*) {
    FireEvent("onScan");
}

void TGameObjectShipAIModel::onPatrolEnding(TEngineObject*, TEngineObject*) {
    FireEvent("searshNewPatrolPoint");
    FireEvent("onScan");
}

void TGameObjectShipAIModel::activateBestWeapon(TEngineObject*, TEngineObject*) {
    auto* enemy = dynamic_cast<TBaseGameObject*>(LinkedObject("curEnemy"));
    if (!enemy || !UnitOf(enemy)) return;
    const float d = getRangeToObj(enemy);
    auto isWeapon = [](TGameItem* item) { return item->ItemClass() == 1 && item->WeaponType() != 3; };
    int kinetic = 0;
    int energy = 0;
    ForEachMountedItem(SlotListOf(Owner()), [&](TGameItem* item) {
        if (!isWeapon(item)) return;
        if (item->Group() == "kinetic") ++kinetic;
        if (item->Group() == "energy") ++energy;
    });
    const bool shielded = AiParamCur(enemy, "shield") > 0.0f;
    ForEachMountedItem(SlotListOf(Owner()), [&](TGameItem* item) {
        if (IntOf(item, "bulletType") == 1) {
            const bool out = d < FloatOf(item, "minRange") || d > FloatOf(item, "range");
            item->FireEvent(out ? "onDisable" : "onEnable");
            return;
        }
        if (!isWeapon(item)) return;
        if (item->Group() == "kinetic") {
            if (shielded && energy > 0)
                item->FireEvent("onDisable");
            else if (!shielded)
                item->FireEvent("onEnable");
        } else if (item->Group() == "energy") {
            if (shielded)
                item->FireEvent("onEnable");
            else if (kinetic > 0)
                item->FireEvent("onDisable");
        }
    });
}

void TGameObjectAdvancedAiModel::activateBestWeapon(TEngineObject*, TEngineObject*) {
    auto* enemy = dynamic_cast<TBaseGameObject*>(LinkedObject("curEnemy"));
    if (!enemy || !UnitOf(enemy)) return;
    const float d = getRangeToObj(enemy);
    ForEachMountedItem(SlotListOf(Owner()), [&](TGameItem* item) {
        if (item->ItemClass() != 1 || item->WeaponType() == 3) return;
        const bool reaches = d >= FloatOf(item, "minRange") && d <= FloatOf(item, "range");
        item->FireEvent(reaches ? "onEnable" : "onDisable");
    });
}

// ---- TGameObjectAiModelLink -----------------------------------------------------------------------

void TGameObjectAiModelLink::setValue(const std::string& value) {
    const std::string name = value.empty() ? "dummy" : value;
    const std::string notThere = "TGameObjectAiModelLink.setValue error ai[\"" + name + "\"]== nil\"";
    // The name goes into Lua text: anything but a plain name is no model of the scripts.
    if (!IsLuaName(name)) {
        ErrorReport(notThere, "m");
        return;
    }
    TBaseGameObject* object = parent_;
    if (!object) {
        value_ = value;
        return;
    }
    if (TGameObjectBaseAIModel* old = AiModelOf(object)) {
        old->FireEvent("onShutdown");
        old->Delete();
    }
    std::string count;
    GameReadLua("length(ai." + name + ")", count);
    if (count == "0") {
        ErrorReport(notThere, "mhl");
        return;
    }
    std::string className;
    GameReadLua("ai." + name + ".engineType", className);
    if (const TGameClass* cls = FindGameClass(className)) NewGameObject(*cls, "ai", object);
    RunLua("setAi(" + LuaQuote(GetLuaPath(object)) + "," + LuaQuote(name) + ")");
    value_ = value;
}

void RegisterAiModelClasses() {
    for (const TGameClass* cls :
         {&TGameAiEvent::StaticClass(), &TCurEnemyLink::StaticClass(), &TGameObjectBaseAIModel::StaticClass(),
          &TGameObjectEmptyShipAIModel::StaticClass(), &TGameObjectShipAIModel::StaticClass(),
          &THeavyShipAiModel::StaticClass(), &TGameObjectAdvancedAiModel::StaticClass(),
          &TGameObjectRegenAIModel::StaticClass(), &TGameObjectCoreAIModel::StaticClass(),
          &TGameObjectAiModelLink::StaticClass()})
        RegisterGameClass(*cls);
}

} // namespace vesk
