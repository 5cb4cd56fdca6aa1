#include "game/task_queue.h"

#include <lua.hpp>

#include "game/object_effects.h"
#include "game/params.h"
#include "game/statistics.h"
#include "shared/errors.h"

namespace vesk {

// ---- TGameObjTaskManager ------------------------------------------------------------------

void TGameObjTaskManager::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    curTask_ = NewGameObject<TGameObjectStringParam>("curTask", this);
    auto* flush = NewGameObject<TGameObjectMethodParam>("flush", this);
    flush->setValue([](void* q) { static_cast<TGameObjTaskManager*>(q)->Flush(); }, this);
    flush_ = flush;
    auto* stop = NewGameObject<TGameObjectMethodParam>("StopCurTask", this);
    stop->setValue([](void* q) { static_cast<TGameObjTaskManager*>(q)->StopCurTask(); }, this);
    stopCurTask_ = stop;
    newUid_ = NewGameObject<TGameObjectIntParam>("newUid", this);
}

int TGameObjTaskManager::Execute(lua_State*) {
    StartNext();
    return 0;
}

void TGameObjTaskManager::SetCur(TGameObjTask* t) {
    cur_ = t;
    if (curTask_) curTask_->setValue(t ? t->GetName() : std::string());
}

void TGameObjTaskManager::StartNext() {
    if (cur_) return;
    if (first_) {
        SetCur(first_);
        first_->Start();
    } else {
        Flush();
    }
}

void TGameObjTaskManager::StopCurTask() {
    if (cur_) cur_->Finish();
}

void TGameObjTaskManager::Flush() {
    TGameObjTask* t = cur_;
    if (!t) {
        // The tasks stay children of the queue, no longer linked.
        for (TGameObjTask* u = first_; u;) {
            TGameObjTask* next = u->next_;
            u->next_ = u->prev_ = nullptr;
            u = next;
        }
        first_ = last_ = nullptr;
        return;
    }
    first_ = last_ = nullptr;
    SetCur(nullptr);
    while (t) {
        TGameObjTask* next = t->next_;
        t->next_ = t->prev_ = nullptr;
        if (next) next->prev_ = nullptr;
        t->Delete();
        t = next;
    }
}

void TGameObjTaskManager::NoteStartInWalk(uint64_t walk) {
    if (walk == 0) return;
    if (walk != countedWalk_) {
        countedWalk_ = walk;
        startsInWalk_ = 0;
    }
    ++startsInWalk_;
}

bool TGameObjTaskManager::MayEndInWalk(uint64_t walk) {
    if (walk != countedWalk_ || startsInWalk_ <= kMaxStartsPerWalk) return true;
    if (!toldOfLimit_) {
        toldOfLimit_ = true;
        FastLogAdd("TGameObjTaskManager: " + GetDebugPath(this) + " - more than " +
                   std::to_string(kMaxStartsPerWalk) +
                   " steps began in one tick; the queue goes on in the next (a sequence that never waits?)");
    }
    return false;
}

void TGameObjTaskManager::Unlink(TGameObjTask* t) {
    if (cur_ == t) SetCur(nullptr);
    if (t->prev_ && t->prev_->next_ == t) t->prev_->next_ = t->next_;
    if (t->next_ && t->next_->prev_ == t) t->next_->prev_ = t->prev_;
    if (first_ == t) first_ = t->next_;
    if (last_ == t) last_ = t->prev_;
    t->next_ = t->prev_ = nullptr;
}

void TGameObjTaskManager::ChildLeft(TBaseGameObject* child) {
    if (auto* t = dynamic_cast<TGameObjTask*>(child)) Unlink(t);
    ForgetChild(child, curTask_, flush_, stopCurTask_, newUid_);
}

// ---- TGameObjTask --------------------------------------------------------------------------------

void TGameObjTask::MakeChildren() {
    selfObj_ = NewGameObject<TGameObjectFreeLink>("selfObj", this);
    auto* first = NewGameObject<TGameObjTaskQuery>("isFirst", this);
    first->SetQuery([](const TGameObjTask& t) {
        const TGameObjTaskManager* q = t.Queue();
        return q && q->FirstTask() == &t;
    });
    isFirst_ = first;
    auto* last = NewGameObject<TGameObjTaskQuery>("isLast", this);
    last->SetQuery([](const TGameObjTask& t) {
        const TGameObjTaskManager* q = t.Queue();
        return q && q->LastTask() == &t;
    });
    isLast_ = last;
}

void TGameObjTask::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    MakeChildren();
}

void TGameObjTask::CreateEmpty() {
    TBaseGameObjectList::CreateEmpty();
    MakeChildren();
}

void TGameObjTask::ReInit(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::ReInit(name, parent);
    if (Statistics && Statistics->Task()) Statistics->Task()->Inc();
    next_ = prev_ = nullptr;
    // The ship of the task's last use is not this one's.
    if (selfObj_) selfObj_->setValue(nullptr);
    if (TGameObjTaskManager* q = Queue(); q && q->NewUid()) q->NewUid()->Inc();
}

void TGameObjTask::Free() {
    // Let go by its pool: the children it kept for reuse go with it.
    if (deleted_ && !poolEntry_) FreeKeptChildren(this);
    TBaseGameObjectList::Free();
}

void TGameObjTask::Delete() {
    if (!deleted_ && poolEntry_) {
        if (Statistics && Statistics->Task()) Statistics->Task()->Dec();
        DeletePooledKeepingChildren(this);
        deleted_ = true;
        return;
    }
    TBaseGameObjectList::Delete();
}

void TGameObjTask::ChildLeft(TBaseGameObject* child) {
    ForgetChild(child, selfObj_, isFirst_, isLast_);
}

TGameObjTaskManager* TGameObjTask::Queue() const {
    return dynamic_cast<TGameObjTaskManager*>(parent_);
}

bool TGameObjTask::IsQueued() const {
    const TGameObjTaskManager* q = Queue();
    return q && (q->first_ == this || prev_ != nullptr);
}

TGameObjTaskManager* TGameObjTask::QueueFor(const char* operation) {
    TGameObjTaskManager* q = Queue();
    if (!q)
        ErrorReport(std::string("TGameObjTask.") + operation + " error: " + GetDebugPath(this) +
                        " is not in a task queue",
                    "mhl");
    return q;
}

void TGameObjTask::TakeOwner(TGameObjTaskManager* q) {
    if (selfObj_ && !selfObj_->GetValue() && q->GetParent()) selfObj_->setValue(q->GetParent());
}

void TGameObjTask::InsertNext() {
    TGameObjTaskManager* q = QueueFor("InsertNext");
    // Linked twice, the chain would run in a circle.
    if (!q || IsQueued()) return;
    TakeOwner(q);
    TGameObjTask* f = q->first_;
    if (!f) {
        q->first_ = q->last_ = this;
        return;
    }
    TGameObjTask* after = f->next_;
    f->next_ = this;
    prev_ = f;
    next_ = after;
    if (after)
        after->prev_ = this;
    else
        q->last_ = this;
}

void TGameObjTask::Append() {
    TGameObjTaskManager* q = QueueFor("Append");
    if (!q || IsQueued()) return;
    TakeOwner(q);
    if (q->last_) {
        q->last_->next_ = this;
        prev_ = q->last_;
    } else {
        q->first_ = this;
    }
    q->last_ = this;
}

void TGameObjTask::Finish() {
    TGameObjTaskManager* q = Queue();
    if (!q || q->cur_ != this) {
        // Not the running task: it only leaves the queue.
        Delete();
        return;
    }
    q->SetCur(nullptr);
    TGameObjTask* next = next_;
    q->first_ = next;
    if (next) next->prev_ = nullptr;
    next_ = prev_ = nullptr;
    Delete();
    q->StartNext();
}

// ---- TGameObjTaskQuery ----------------------------------------------------------------------------

int TGameObjTaskQuery::Execute(lua_State* L) {
    auto* task = dynamic_cast<TGameObjTask*>(parent_);
    lua_pushnumber(L, task && query_ && query_(*task) ? 1 : 0);
    return 1;
}

void RegisterTaskClasses() {
    RegisterGameClass(TGameObjTaskManager::StaticClass());
    RegisterGameClass(TGameObjTask::StaticClass());
}

} // namespace vesk
