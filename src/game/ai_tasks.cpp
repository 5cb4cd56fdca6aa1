#include "game/ai_tasks.h"

#include <vector>

#include "game/ai_helpers.h"
#include "game/ai_models.h"
#include "game/events.h"
#include "game/game_lua.h"
#include "game/game_objects.h"
#include "game/lua_text.h"
#include "game/obj_managers.h"
#include "game/player.h"
#include "physics/ai_unit.h"
#include "render/helpers.h"
#include "shared/errors.h"

namespace vesk {

namespace {

// Makes a step of the class under the queue from its pool; nullptr when that
// class is no step.
TTaskwait* NewStep(const TGameClass& cls, const std::string& name, TBaseGameObject* queue) {
    TBaseGameObject* made = NewPooledObject(cls, name, queue);
    auto* step = dynamic_cast<TTaskwait*>(made);
    if (!step && made) made->Delete();
    return step;
}

} // namespace

// ---- TTaskwait ------------------------------------------------------------------------------------

void TTaskwait::MakeWaitChildren() {
    NewGameObject<TonTick>("onTick", this)->SetHandler([this](TEngineObject* o, TEngineObject* d) {
        onTickFunc(o, d);
    });
    NewGameObject<TGameObjectSubParam>("time", this)->setValue(DefaultTime());
    NewGameObject<TGameObjectSubParam>("timeLeft", this);
}

void TTaskwait::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjTask::Create(name, parent);
    MakeWaitChildren();
    MakeStepChildren();
}

void TTaskwait::CreateEmpty() {
    TGameObjTask::CreateEmpty();
    MakeWaitChildren();
    MakeStepChildren();
}

void TTaskwait::ReInit(const std::string& name, TBaseGameObject* parent) {
    TGameObjTask::ReInit(name, parent);
    // A step taken from its pool starts from the class's defaults.
    ForEachChildOf(this, [](TBaseGameObject* child) {
        if (auto* link = dynamic_cast<TGameObjectFreeLink*>(child))
            link->setValue(nullptr);
        else if (auto* text = dynamic_cast<TGameObjectStringParam*>(child))
            text->setValue(std::string());
        else if (auto* number = dynamic_cast<TGameObjectSubParam*>(child))
            number->setValue(0.0f);
    });
    SetTime(DefaultTime());
}

void TTaskwait::Delete() {
    if (TonTick* tick = OnTick()) tick->Deactivate();
    TGameObjTask::Delete();
}

void TTaskwait::CopyStructure(TBaseGameObject*& dest) {
    TGameObjTask::CopyStructure(dest);
    // The copy counts its own time from the start.
    if (auto* d = dynamic_cast<TTaskwait*>(dest); d && d != this)
        if (TGameObjectSubParam* left = Child<TGameObjectSubParam>(d, "timeLeft")) left->setValue(0.0f);
}

void TTaskwait::Start() {
    TGameObjTask::Start();
    TonTick* tick = OnTick();
    if (tick) tick->Activate();
    tTickedObjects* list = tick ? tick->GetTickList() : nullptr;
    startedInWalk_ = list ? list->CurrentWalk() : 0;
    if (TGameObjTaskManager* q = Queue()) q->NoteStartInWalk(startedInWalk_);
    Action();
}

void TTaskwait::onTickFunc(TEngineObject*, TEngineObject* data) {
    auto* list = dynamic_cast<tTickedObjects*>(data);
    TGameObjectSubParam* left = Child<TGameObjectSubParam>(this, "timeLeft");
    if (!left) return;
    const uint64_t walk = list ? list->CurrentWalk() : 0;
    const bool startedInThisWalk = walk != 0 && walk == startedInWalk_;
    // A step that began during this walk (its predecessor ended in it) did not
    // live through the frame time this walk hands out: its wait counts from
    // the next tick. Otherwise every step of a sequence no longer than one
    // frame would end in the same tick, and a sequence that queues itself
    // again would run round without end in it.
    if (list && !startedInThisWalk) left->setValue(left->GetValue() + 0.001f * list->GetFrameTime());
    if (left->GetValue() < Time()) return;
    if (startedInThisWalk) {
        TGameObjTaskManager* q = Queue();
        if (q && !q->MayEndInWalk(walk)) return;
    }
    Finish();
}

TonTick* TTaskwait::OnTick() const {
    return objects_ ? dynamic_cast<TonTick*>(objects_->Find("onTick")) : nullptr;
}

float TTaskwait::Time() const {
    TGameObjectSubParam* t = Child<TGameObjectSubParam>(this, "time");
    return t ? t->GetValue() : 0.0f;
}

void TTaskwait::SetTime(float seconds) {
    if (TGameObjectSubParam* t = Child<TGameObjectSubParam>(this, "time")) t->setValue(seconds);
}

float TTaskwait::TimeLeft() const {
    TGameObjectSubParam* t = Child<TGameObjectSubParam>(this, "timeLeft");
    return t ? t->GetValue() : 0.0f;
}

TBaseGameObject* TTaskwait::Ship() const {
    return SelfObj() ? dynamic_cast<TBaseGameObject*>(SelfObj()->GetValue()) : nullptr;
}

TGameObjectEmptyShipAIModel* TTaskwait::Model() const {
    return dynamic_cast<TGameObjectEmptyShipAIModel*>(AiModelOf(Ship()));
}

TEngineObject* TTaskwait::FreeLinkValue(const char* name) const {
    auto* link = objects_ ? dynamic_cast<TGameObjectFreeLink*>(objects_->Find(name)) : nullptr;
    return link ? link->GetValue() : nullptr;
}

std::string TTaskwait::TextValue(const char* name) const {
    return TextOf(this, name);
}

void TTaskwait::LogMissing(const std::string& what) {
    FastLogAdd(ClassName() + ": " + GetDebugPath(this) + " - " + what + ": the step only waits");
}

BaseAIUnitClass* TTaskwait::ShipAI() {
    TBaseGameObject* ship = Ship();
    BaseAIUnitClass* ai = ShipAIUnit(ship);
    if (!ai) LogMissing(ship ? "the ship " + GetLuaPath(ship) + " has no AI unit" : "no ship");
    return ai;
}

TNPCPhysicComponent* TTaskwait::ShipNPC() {
    BaseAIUnitClass* ai = ShipAI();
    return ai ? ai->GetNPCController() : nullptr;
}

TBaseRenderUnit* TTaskwait::TargetUnit(TEngineObject* target) {
    TBaseRenderUnit* unit = UnitOf(target);
    if (!unit) LogMissing("the target has no unit");
    return unit;
}

// ---- the steps ------------------------------------------------------------------------------------

void TTaskstepToGameObj::MakeStepChildren() {
    NewGameObject<TGameObjectFreeLink>("objId", this);
}

void TTaskstepToGameObj::Action() {
    TEngineObject* target = FreeLinkValue("objId");
    if (!target) return;
    if (TNPCPhysicComponent* npc = ShipNPC())
        if (TBaseRenderUnit* unit = TargetUnit(target)) npc->DoMoveToObject(unit, nullptr);
}

void TTaskstepToPoint::MakeStepChildren() {
    for (const char* axis : {"x", "y", "z"}) NewGameObject<TGameObjectSubParam>(axis, this);
}

void TTaskstepToPoint::Action() {
    auto value = [this](const char* axis) {
        TGameObjectSubParam* p = Child<TGameObjectSubParam>(this, axis);
        return p ? p->GetValue() : 0.0f;
    };
    const Vec3 point{value("x"), value("y"), value("z")};
    if (TNPCPhysicComponent* npc = ShipNPC()) npc->DoMoveToPoint(point, nullptr, nullptr);
}

void TTaskstop::Action() {
    if (TNPCPhysicComponent* npc = ShipNPC()) npc->DoStop();
}

void TTaskoneStepToDefAiObj::Action() {
    TGameObjectEmptyShipAIModel* model = Model();
    TEngineObject* target = model ? model->DefCurObj() : nullptr;
    if (!target) return;
    if (TNPCPhysicComponent* npc = ShipNPC())
        if (TBaseRenderUnit* unit = TargetUnit(target)) npc->DoMoveToObject(unit, nullptr);
}

void TTaskoneStepFollowToDefAiObj::Action() {
    TGameObjectEmptyShipAIModel* model = Model();
    TEngineObject* target = model ? model->DefCurObj() : nullptr;
    if (!target) return;
    if (TNPCPhysicComponent* npc = ShipNPC())
        if (TBaseRenderUnit* unit = TargetUnit(target)) npc->DoFollowToObject(unit, true, 0.0f, 2, nullptr);
}

namespace {
void BeginShot(TBaseGameObject* ship, TEngineObject* target) {
    auto* object = dynamic_cast<TGameObject*>(ship);
    if (!object || !target) return;
    if (auto* rocketTarget = dynamic_cast<TGameObjectFreeLink*>(object->FindChild("rocketTarget")))
        rocketTarget->setValue(target);
    if (TGameEvent* e = object->Event("onShipBeginShot")) {
        if (e->EventObjLink()) e->EventObjLink()->setValue(object);
        e->SetEventData(target);
        e->Fire();
    }
}
} // namespace

void TTaskstartShooting::MakeStepChildren() {
    NewGameObject<TGameObjectFreeLink>("objId", this);
}

void TTaskstartShooting::Action() {
    BeginShot(Ship(), FreeLinkValue("objId"));
}

void TTaskstartShotToDefAiObj::Action() {
    TGameObjectEmptyShipAIModel* model = Model();
    BeginShot(Ship(), model ? model->DefCurObj() : nullptr);
}

void TTaskendShooting::Action() {
    auto* object = dynamic_cast<TGameObject*>(Ship());
    if (TGameEvent* e = object ? object->Event("onShipEndShot") : nullptr) e->Fire();
}

void TTaskoneShotToDefAiObj::Action() {
    TGameObjectEmptyShipAIModel* model = Model();
    TEngineObject* target = model ? model->DefCurObj() : nullptr;
    TBaseGameObject* queue = GetParent();
    if (!target || !queue) return;
    // Both go right after this step: the shot starts, then it ends.
    if (TTaskwait* end = NewStep(TTaskendShooting::StaticClass(), "es_", queue)) {
        end->AppendIdToName();
        end->SelfObj()->setValue(Ship());
        end->InsertNext();
    }
    if (TTaskwait* start = NewStep(TTaskstartShooting::StaticClass(), "ss_", queue)) {
        start->AppendIdToName();
        start->SelfObj()->setValue(Ship());
        if (auto* objId = dynamic_cast<TGameObjectFreeLink*>(start->FindChild("objId")))
            objId->setValue(target);
        start->InsertNext();
    }
}

void TTaskaiEvent::MakeStepChildren() {
    NewGameObject<TGameObjectStringParam>("eventId", this);
}

void TTaskaiEvent::Action() {
    TGameObjectEmptyShipAIModel* model = Model();
    const std::string id = TextValue("eventId");
    TGameEvent* e = model ? model->Event(id) : nullptr;
    if (!e) {
        LogMissing("no AI event \"" + id + "\"");
        return;
    }
    e->Fire();
}

void TTaskrelinkDefaultAiObject::MakeStepChildren() {
    NewGameObject<TGameObjectStringParam>("aiObjString", this);
}

void TTaskrelinkDefaultAiObject::Action() {
    TGameObjectEmptyShipAIModel* model = Model();
    if (!model) return;
    if (TGameObjectFreeLink* def = model->Link("defCurObj"))
        def->setValue(model->LinkedObject(TextValue("aiObjString").c_str()));
}

void TTaskuseSequence::MakeStepChildren() {
    NewGameObject<TGameObjectStringParam>("sequenceId", this);
}

void TTaskuseSequence::SetSequenceId(const std::string& id) {
    if (auto* p = dynamic_cast<TGameObjectStringParam*>(FindChild("sequenceId"))) p->setValue(id);
}

void TTaskuseSequence::Action() {
    TBaseGameObject* sequences = GlobalObjects ? GlobalObjects->FindChild("sequences") : nullptr;
    TBaseGameObject* sequence = sequences ? sequences->FindChild(TextValue("sequenceId")) : nullptr;
    TBaseGameObject* queue = GetParent();
    if (!sequence || !queue) return;
    // Taken first: the steps made below must not be walked.
    std::vector<TBaseGameObject*> templates;
    ForEachChildOf(sequence, [&](TBaseGameObject* t) { templates.push_back(t); });
    for (TBaseGameObject* templ : templates) {
        if (!dynamic_cast<TTaskwait*>(templ)) {
            LogMissing("\"" + templ->GetName() + "\" of the sequence is no step");
            continue;
        }
        TTaskwait* step = NewStep(templ->GameClass(), "seq_", queue);
        if (!step) continue;
        step->AppendIdToName();
        TBaseGameObject* dest = step;
        templ->CopyStructure(dest);
        step->SelfObj()->setValue(Ship());
        step->Activate();
    }
}

void TTasksendMessage::MakeStepChildren() {
    NewGameObject<TGameObjectStringParam>("messageId", this);
    NewGameObject<TGameObjectFreeLink>("objId", this);
}

void TTasksendMessage::Action() {
    if (TGameObjectEmptyShipAIModel* model = Model()) model->SendHelpRequest(TextValue("messageId"));
}

void TTasksetAiParam::MakeStepChildren() {
    NewGameObject<TGameObjectStringParam>("paramId", this);
    NewGameObject<TGameObjectStringParam>("value", this);
}

void TTasksetAiParam::Action() {
    TGameObjectEmptyShipAIModel* model = Model();
    TBaseGameObject* param = model ? model->FindChild(TextValue("paramId")) : nullptr;
    if (!param) {
        LogMissing("no AI value \"" + TextValue("paramId") + "\"");
        return;
    }
    param->stringUpdate(TextValue("value"));
}

void TTaskteleportToHelper::MakeStepChildren() {
    NewGameObject<TGameObjectStringParam>("helperId", this);
    NewGameObject<TGameObjectStringParam>("locationId", this);
}

void TTaskteleportToHelper::Action() {
    TBaseGameObject* ship = Ship();
    auto* subsystem =
        Player ? dynamic_cast<TGameObjectStringParam*>(Player->FindChild("subsystem")) : nullptr;
    TBaseGameObject* location =
        subsystem ? FindVarByPath("scene." + subsystem->GetValue() + ".locations." + TextValue("locationId"))
                  : nullptr;
    auto* hex = location ? dynamic_cast<TGameObjectStringParam*>(location->FindChild("hex")) : nullptr;
    auto* unit = hex && !hex->GetValue().empty()
                     ? dynamic_cast<TBaseRenderUnit*>(ObjectFromHexText(hex->GetValue(), ClassName()))
                     : nullptr;
    HelperClass* helper = nullptr;
    if (!ship || !unit || !unit->FindHelper(TextValue("helperId"), helper)) {
        LogMissing("no helper \"" + TextValue("helperId") + "\" in the location \"" +
                   TextValue("locationId") + "\"");
        return;
    }
    RunLua("engine_PhCommand(" + LuaQuote(GetLuaPath(ship)) + ",\"teleport\",\"\"," +
           LuaQuote(helper->GetHex()) + ")");
}

void TTaskSetPShipPhType::Action() {
    if (BaseAIUnitClass* ai = ShipAI()) ai->TakePlayerControl();
}

void TTaskSetNPCPhType::Action() {
    if (BaseAIUnitClass* ai = ShipAI()) ai->ReleasePlayerControl();
}

void TTaskSetSpeed::Action() {
    TGameObjectParam* engine = AiParam(Ship(), "p_engine");
    if (engine && engine->Cur() && engine->Max()) engine->Cur()->setValue(engine->Max()->GetValue());
}

// ---- sequences and the queue --------------------------------------------------------------------

void TGameTaskSequences::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    SetDefaultChildClass(&TBaseGameObjectList::StaticClass());
}

void ClearTaskQueue(TGameObjTaskManager* queue) {
    if (!queue) return;
    if (queue->CurTask()) {
        queue->Flush();
        return;
    }
    // Nothing runs: the queued tasks go all the same.
    std::vector<TGameObjTask*> queued;
    for (TGameObjTask* t = queue->FirstTask(); t; t = t->NextTask()) queued.push_back(t);
    queue->Flush();
    for (TGameObjTask* t : queued) t->Delete();
}

void RegisterAiTaskClasses() {
    for (const TGameClass* cls : {&TTaskwait::StaticClass(),
                                  &TTaskstepToGameObj::StaticClass(),
                                  &TTaskstepToPoint::StaticClass(),
                                  &TTaskstop::StaticClass(),
                                  &TTaskoneStepToDefAiObj::StaticClass(),
                                  &TTaskoneStepAttackToDefAiObj::StaticClass(),
                                  &TTaskoneStepFollowToDefAiObj::StaticClass(),
                                  &TTaskstartShooting::StaticClass(),
                                  &TTaskstartShotToDefAiObj::StaticClass(),
                                  &TTaskendShooting::StaticClass(),
                                  &TTaskoneShotToDefAiObj::StaticClass(),
                                  &TTaskaiEvent::StaticClass(),
                                  &TTaskrelinkDefaultAiObject::StaticClass(),
                                  &TTaskuseSequence::StaticClass(),
                                  &TTasksendMessage::StaticClass(),
                                  &TTasksetAiParam::StaticClass(),
                                  &TTaskteleportToHelper::StaticClass(),
                                  &TTaskSetPShipPhType::StaticClass(),
                                  &TTaskSetNPCPhType::StaticClass(),
                                  &TTaskSetSpeed::StaticClass(),
                                  &TGameTaskSequences::StaticClass()})
        RegisterGameClass(*cls);
}

void CreateTaskSequences(TBaseGameObject* root) {
    if (root && !root->FindChild("sequences")) NewGameObject<TGameTaskSequences>("sequences", root);
}

} // namespace vesk
