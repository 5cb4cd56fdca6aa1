#pragma once
// The steps of a ship's behaviour in its task queue: wait, fly to an object
// or a point, stop, start or end shooting, fire an AI event, call for help,
// set an AI value, teleport, switch between player and NPC physics, and run
// a named sequence of such steps. Every step acts when the queue starts it,
// then waits its "time" and finishes, and the queue moves on.
#include <string>

#include "game/params.h"
#include "game/task_queue.h"

namespace vesk {

class TonTick;
class TGameObjectEmptyShipAIModel;
class TNPCPhysicComponent;
class BaseAIUnitClass;

class TTaskwait : public TGameObjTask {
    VESK_GAME_CLASS(TTaskwait)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    // The task's tick starts, then the step's action runs.
    void Start() override;
    void CopyStructure(TBaseGameObject*& dest) override;

    // Appends the task to its queue.
    void Activate() { Append(); }
    void onTickFunc(TEngineObject* obj, TEngineObject* data);

    TonTick* OnTick() const;
    float Time() const;
    void SetTime(float seconds);
    float TimeLeft() const;

    // The ship the step acts on ("selfObj").
    TBaseGameObject* Ship() const;
    // The ship's AI model, nullptr when it has none.
    TGameObjectEmptyShipAIModel* Model() const;

protected:
    // What the step does when it starts (none for a plain wait).
    virtual void Action() {}
    // The children a step class adds after the wait's own.
    virtual void MakeStepChildren() {}
    virtual float DefaultTime() const { return 0.3f; }

    // The ship's AI unit and its NPC physics; a ship without them is written
    // to the fast log once per step and the step only waits.
    BaseAIUnitClass* ShipAI();
    TNPCPhysicComponent* ShipNPC();
    // The render unit of a target; a target without one is logged.
    class TBaseRenderUnit* TargetUnit(TEngineObject* target);
    void LogMissing(const std::string& what);
    TEngineObject* FreeLinkValue(const char* name) const;
    std::string TextValue(const char* name) const;

private:
    void MakeWaitChildren();
    // The walk of the ticked list the step began in (0: between walks).
    uint64_t startedInWalk_ = 0;
};

// Steps whose target is the "objId" link.
class TTaskstepToGameObj : public TTaskwait {
    VESK_GAME_CLASS(TTaskstepToGameObj)
protected:
    void MakeStepChildren() override;
    void Action() override;
};

class TTaskstepToPoint : public TTaskwait {
    VESK_GAME_CLASS(TTaskstepToPoint)
protected:
    void MakeStepChildren() override;
    void Action() override;
    float DefaultTime() const override { return 0.2f; }
};

class TTaskstop : public TTaskwait {
    VESK_GAME_CLASS(TTaskstop)
protected:
    void Action() override;
};

class TTaskoneStepToDefAiObj : public TTaskwait {
    VESK_GAME_CLASS(TTaskoneStepToDefAiObj)
protected:
    void Action() override;
};

class TTaskoneStepAttackToDefAiObj : public TTaskoneStepToDefAiObj {
    VESK_GAME_CLASS(TTaskoneStepAttackToDefAiObj)
};

class TTaskoneStepFollowToDefAiObj : public TTaskwait {
    VESK_GAME_CLASS(TTaskoneStepFollowToDefAiObj)
protected:
    void Action() override;
};

class TTaskstartShooting : public TTaskwait {
    VESK_GAME_CLASS(TTaskstartShooting)
protected:
    void MakeStepChildren() override;
    void Action() override;
};

class TTaskstartShotToDefAiObj : public TTaskwait {
    VESK_GAME_CLASS(TTaskstartShotToDefAiObj)
protected:
    void Action() override;
};

class TTaskendShooting : public TTaskwait {
    VESK_GAME_CLASS(TTaskendShooting)
protected:
    void Action() override;
};

class TTaskoneShotToDefAiObj : public TTaskwait {
    VESK_GAME_CLASS(TTaskoneShotToDefAiObj)
protected:
    void Action() override;
};

class TTaskaiEvent : public TTaskwait {
    VESK_GAME_CLASS(TTaskaiEvent)
protected:
    void MakeStepChildren() override;
    void Action() override;
};

class TTaskrelinkDefaultAiObject : public TTaskwait {
    VESK_GAME_CLASS(TTaskrelinkDefaultAiObject)
protected:
    void MakeStepChildren() override;
    void Action() override;
};

class TTaskuseSequence : public TTaskwait {
    VESK_GAME_CLASS(TTaskuseSequence)
public:
    void SetSequenceId(const std::string& id);

protected:
    void MakeStepChildren() override;
    // Appends a pooled copy of every step of "sequences".<sequenceId>.
    void Action() override;
};

class TTasksendMessage : public TTaskwait {
    VESK_GAME_CLASS(TTasksendMessage)
protected:
    void MakeStepChildren() override;
    void Action() override;
};

class TTasksetAiParam : public TTaskwait {
    VESK_GAME_CLASS(TTasksetAiParam)
protected:
    void MakeStepChildren() override;
    void Action() override;
};

class TTaskteleportToHelper : public TTaskwait {
    VESK_GAME_CLASS(TTaskteleportToHelper)
protected:
    void MakeStepChildren() override;
    void Action() override;
};

class TTaskSetPShipPhType : public TTaskwait {
    VESK_GAME_CLASS(TTaskSetPShipPhType)
protected:
    void Action() override;
};

class TTaskSetNPCPhType : public TTaskwait {
    VESK_GAME_CLASS(TTaskSetNPCPhType)
protected:
    void Action() override;
};

class TTaskSetSpeed : public TTaskwait {
    VESK_GAME_CLASS(TTaskSetSpeed)
protected:
    void Action() override;
};

// "sequences": each child is a sequence named by its id, a list of task
// templates.
class TGameTaskSequences : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameTaskSequences)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

// Stops and deletes the running task and every task queued in the queue.
void ClearTaskQueue(TGameObjTaskManager* queue);

void RegisterAiTaskClasses();
// "GameVarInit": "sequences" under the root.
void CreateTaskSequences(TBaseGameObject* root);

} // namespace vesk
