#pragma once
// The task queue of a game object (its child "tasks"): AI manoeuvres are
// sequences of task steps that run one after the other. The queue starts the
// first task; a task that finishes is deleted and the next one starts at once.
#include <string>

#include "game/game_object.h"
#include "game/params.h"

namespace vesk {

class TGameObjTask;
class TGameObjectStringParam;
class TGameObjectIntParam;
class TGameObjectFreeLink;

class TGameObjTaskManager : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjTaskManager)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // engine_Execute on the queue: StartNext.
    int Execute(lua_State* L) override;

    // Starts the first task unless one runs; an empty queue is flushed.
    void StartNext();
    // Ends the running task (which starts the next).
    void StopCurTask();
    // Deletes the running task and every task after it; with none running
    // only the queue's links are cleared.
    void Flush();

    TGameObjTask* CurTask() const { return cur_; }
    TGameObjTask* FirstTask() const { return first_; }
    TGameObjTask* LastTask() const { return last_; }
    TGameObjectStringParam* CurTaskName() const { return curTask_; }
    TGameObjectIntParam* NewUid() const { return newUid_; }

    // Steps that start one after the other within one walk of the ticked list
    // (each ending at once) are counted: past this many in one walk the next
    // waits for the following tick, so that a sequence which queues itself
    // again without ever waiting can not hold the frame for ever.
    static constexpr int kMaxStartsPerWalk = 100;
    // Counts a step started in the walk (0: outside any walk, not counted).
    void NoteStartInWalk(uint64_t walk);
    // The step started in this walk may end in it.
    bool MayEndInWalk(uint64_t walk);

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    friend class TGameObjTask;
    void SetCur(TGameObjTask* t);
    // Takes a task out of the chain wherever it is (it left the queue).
    void Unlink(TGameObjTask* t);

    TGameObjTask* cur_ = nullptr;
    TGameObjTask* first_ = nullptr;
    TGameObjTask* last_ = nullptr;
    TGameObjectStringParam* curTask_ = nullptr;
    TBaseGameObject* flush_ = nullptr;
    TBaseGameObject* stopCurTask_ = nullptr;
    TGameObjectIntParam* newUid_ = nullptr;
    uint64_t countedWalk_ = 0;
    int startsInWalk_ = 0;
    bool toldOfLimit_ = false;
};

// The base of every task class.
class TGameObjTask : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjTask)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    void Free() override;

    // ---- virtual operations added by tasks -------------------------------------
    // Into the parent queue right after its first task.
    virtual void InsertNext();
    // At the end of the parent queue.
    virtual void Append();
    virtual void Start() {}
    virtual void Stop() { Finish(); }
    // Ends the task and starts the next one.
    virtual void Finish();

    TGameObjTask* NextTask() const { return next_; }
    TGameObjTask* PrevTask() const { return prev_; }
    TGameObjectFreeLink* SelfObj() const { return selfObj_; }
    // The queue this task is a child of, nullptr when its parent is none.
    TGameObjTaskManager* Queue() const;
    bool IsQueued() const;

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    friend class TGameObjTaskManager;
    void MakeChildren();
    // The queue to link into; a parent that is no queue is reported.
    TGameObjTaskManager* QueueFor(const char* operation);
    // "selfObj" is the queue's owner unless it was set before.
    void TakeOwner(TGameObjTaskManager* q);

    TGameObjTask* next_ = nullptr;
    TGameObjTask* prev_ = nullptr;
    TGameObjectFreeLink* selfObj_ = nullptr;
    TBaseGameObject* isFirst_ = nullptr;
    TBaseGameObject* isLast_ = nullptr;
};

// The method parameters "isFirst" and "isLast": engine_Execute on them
// answers 1 or 0.
class TGameObjTaskQuery : public TGameObjectMethodParam {
    VESK_GAME_CLASS(TGameObjTaskQuery)
public:
    void SetQuery(bool (*query)(const TGameObjTask& task)) { query_ = query; }
    int Execute(lua_State* L) override;

private:
    bool (*query_)(const TGameObjTask&) = nullptr;
};

void RegisterTaskClasses();

} // namespace vesk
