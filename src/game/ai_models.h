#pragma once
// Ship AI models: the child "ai" of every game object. A model is a list of
// parameters and events that the scripts read, set and fire; its native event
// handlers decide which enemy to fight, when to start, go on with or break
// off an attack run, when to go home to the anchor, how to walk the patrol
// route and whom to call for help. The manoeuvres themselves are named task
// sequences queued in the ship's "tasks".
#include <cstdint>
#include <string>

#include "game/events.h"
#include "game/params.h"

namespace vesk {

class TGameObjectMemory;
class TGameAiEnemies;
class TGameAiPatrols;
class TGameObjTaskManager;

// An AI event: every firing is written to the fast log with its ancestry.
class TGameAiEvent : public TGameEvent {
    VESK_GAME_CLASS(TGameAiEvent)
public:
    void Fire() override;
};

// "curEnemy": the object's "targeted" list holds exactly the ships whose
// current enemy it is.
class TCurEnemyLink : public TGameObjectFreeLink {
    VESK_GAME_CLASS(TCurEnemyLink)
public:
    void setValue(TEngineObject* obj) override;
    void Message(IEngineObject* sender, int msg, int param) override;
    // The ship whose model holds the link.
    TBaseGameObject* OwnerShip() const;
};

class TGameObjectBaseAIModel : public TGameEventList {
    VESK_GAME_CLASS(TGameObjectBaseAIModel)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    // The model is not part of a saved object (and reads nothing back).
    void UpdateToScript(const std::string&) override {}
    void UpdateToEngine(const std::string&) override {}

    // ---- virtual operations ------------------------------------------------------------
    virtual void onInitFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onShutdownFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onScanFunc(TEngineObject* obj, TEngineObject* data);
    virtual void RememberObject(TBaseGameObject* obj);
    virtual float getRangeToObj(TBaseGameObject* obj);
    // The game object that carries the model.
    virtual TBaseGameObject* Owner() const;

    TEngineObject* DefCurObj() const;
    TGameObjectMemory* Memory() const { return memory_; }
    // The event child of that name, nullptr when none.
    TGameEvent* Event(const std::string& name) const;
    // Fires the event of that name (nothing when there is none).
    void FireEvent(const std::string& name);

protected:
    void ChildLeft(TBaseGameObject* child) override;
    // Makes an event bound to a handler of the model.
    template <class Model>
    TGameEvent* NewAiEvent(const char* name, void (Model::*handler)(TEngineObject*, TEngineObject*));

    TGameObjectFreeLink* defCurObj_ = nullptr;
    TGameObjectMemory* memory_ = nullptr;
};

class TGameObjectEmptyShipAIModel : public TGameObjectBaseAIModel {
    VESK_GAME_CLASS(TGameObjectEmptyShipAIModel)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;

    float getRangeToObj(TBaseGameObject* obj) override;

    // ---- native handlers of the events of the same names --------------------------------
    virtual void onOutFromCurAnchor(TEngineObject* obj, TEngineObject* data);
    virtual void onInToCurAnchor(TEngineObject* obj, TEngineObject* data);
    virtual void werifyAnchorDistance(TEngineObject* obj, TEngineObject* data);
    virtual void searshBestEnemy(TEngineObject* obj, TEngineObject* data);
    virtual void searshBestAlly(TEngineObject* obj, TEngineObject* data);
    virtual void newRndPoint(TEngineObject* obj, TEngineObject* data);
    virtual void werifyAttackDistance(TEngineObject* obj, TEngineObject* data);
    virtual void onNormalAttackDistance(TEngineObject* obj, TEngineObject* data);
    virtual void onSmallAttackDistance(TEngineObject* obj, TEngineObject* data);
    virtual void onLargeAttackDistance(TEngineObject* obj, TEngineObject* data);
    virtual void onLostTarget(TEngineObject* obj, TEngineObject* data);
    virtual void searshNewPatrolPoint(TEngineObject* obj, TEngineObject* data);
    virtual void werifyPatrolRange(TEngineObject* obj, TEngineObject* data);
    virtual void onPatrolInProcess(TEngineObject* obj, TEngineObject* data);
    virtual void onPatrolEnding(TEngineObject* obj, TEngineObject* data);
    virtual void onAttack(TEngineObject* obj, TEngineObject* data);
    virtual void onAttacked(TEngineObject* obj, TEngineObject* data);
    virtual void activateBestWeapon(TEngineObject* obj, TEngineObject* data);
    virtual void werifyDP(TEngineObject* obj, TEngineObject* data);
    virtual void onSmallDP(TEngineObject* obj, TEngineObject* data);
    virtual void compareParam(TEngineObject* obj, TEngineObject* data);
    virtual void onImLooser(TEngineObject* obj, TEngineObject* data);
    virtual void enableFluctuationMove(TEngineObject* obj, TEngineObject* data);
    virtual void disableFluctuationMove(TEngineObject* obj, TEngineObject* data);
    virtual void onDamage(TEngineObject* obj, TEngineObject* data);
    virtual void onDamaged(TEngineObject* obj, TEngineObject* data);
    virtual void help(TEngineObject* obj, TEngineObject* data);
    virtual void assist(TEngineObject* obj, TEngineObject* data);
    virtual void onRocketLock(TEngineObject* obj, TEngineObject* data);

    // The help request: up to two friendly AI ships within "messRadius" of
    // the owner get the named event ("help" or "assist") with the owner as
    // its object and "defCurObj" as its data. Returns how many were asked.
    int SendHelpRequest(const std::string& eventName);

    // Clears the owner's task queue, then queues the sequence as a
    // TTaskuseSequence named namePrefix + its id, and starts the queue.
    void QueueSequence(const std::string& sequenceId, const std::string& namePrefix);

    // ---- the model's values --------------------------------------------------------------
    TGameAiEnemies* Enemies() const { return enemies_; }
    TGameAiPatrols* Patrols() const { return patrols_; }
    TGameObjectFreeLink* Link(const char* name) const;
    TEngineObject* LinkedObject(const char* name) const;
    void SetLink(const char* name, TEngineObject* obj);
    float Number(const char* name) const;
    void SetNumber(const char* name, float v);
    TGameObjTaskManager* OwnerTasks() const;
    // The fluctuation counter while it runs (nullptr otherwise).
    TEngineObject* FluctuationCounter() const;

protected:
    void ChildLeft(TBaseGameObject* child) override;
    TGameAiEnemies* enemies_ = nullptr;
    TGameAiPatrols* patrols_ = nullptr;

private:
    // The NPC physics of the owner's unit; reports when there is none.
    class TNPCPhysicComponent* NpcPhysics(const char* who);
    int32_t fluctuationCounterId_ = 0;
};

class TGameObjectShipAIModel : public TGameObjectEmptyShipAIModel {
    VESK_GAME_CLASS(TGameObjectShipAIModel)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;

    void onInitFunc(TEngineObject* obj, TEngineObject* data) override;
    void onShutdownFunc(TEngineObject* obj, TEngineObject* data) override;
    void onScanFunc(TEngineObject* obj, TEngineObject* data) override;
    float getRangeToObj(TBaseGameObject* obj) override;

    void searshBestEnemy(TEngineObject* obj, TEngineObject* data) override;
    void onNormalAttackDistance(TEngineObject* obj, TEngineObject* data) override;
    void onSmallAttackDistance(TEngineObject* obj, TEngineObject* data) override;
    void onLargeAttackDistance(TEngineObject* obj, TEngineObject* data) override;
    void onOutFromCurAnchor(TEngineObject* obj, TEngineObject* data) override;
    void onInToCurAnchor(TEngineObject* obj, TEngineObject* data) override;
    void onLostTarget(TEngineObject* obj, TEngineObject* data) override;
    void searshNewPatrolPoint(TEngineObject* obj, TEngineObject* data) override;
    void onPatrolInProcess(TEngineObject* obj, TEngineObject* data) override;
    void onPatrolEnding(TEngineObject* obj, TEngineObject* data) override;
    void activateBestWeapon(TEngineObject* obj, TEngineObject* data) override;

protected:
    // The attack-run sequences: the ids queued and the names their tasks take.
    virtual const char* AttackSequence(int which) const;
    // Sets curAttackTarget and curEnemy.
    void TakeEnemy(TEngineObject* enemy);

private:
    bool counted_ = false;
};

// Heavy ships fly their own attack runs.
class THeavyShipAiModel : public TGameObjectShipAIModel {
    VESK_GAME_CLASS(THeavyShipAiModel)
protected:
    const char* AttackSequence(int which) const override;
};

// Switches every weapon by its range alone: those that reach the enemy on,
// the others off.
class TGameObjectAdvancedAiModel : public TGameObjectShipAIModel {
    VESK_GAME_CLASS(TGameObjectAdvancedAiModel)
public:
    void activateBestWeapon(TEngineObject* obj, TEngineObject* data) override;
};

// The support and core models fly as the ship model does.
class TGameObjectRegenAIModel : public TGameObjectShipAIModel {
    VESK_GAME_CLASS(TGameObjectRegenAIModel)
};
class TGameObjectCoreAIModel : public TGameObjectShipAIModel {
    VESK_GAME_CLASS(TGameObjectCoreAIModel)
};

// The object's "ai_model": setting it to the name of an entry of the scripts'
// table "ai" replaces the object's model with one of the class that entry
// names ("engineType").
class TGameObjectAiModelLink : public TGameObjectStringParam {
    VESK_GAME_CLASS(TGameObjectAiModelLink)
public:
    void setValue(const std::string& name) override;
};

// The model of a game object (its child "ai"), nullptr when it has none.
TGameObjectBaseAIModel* AiModelOf(const TBaseGameObject* obj);

void RegisterAiModelClasses();

} // namespace vesk
