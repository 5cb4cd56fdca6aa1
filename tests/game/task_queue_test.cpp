// The task queue: linking, starting, finishing, stopping and flushing tasks,
// pooled tasks and the task counter.
#include "game/params.h"
#include "game/task_queue.h"
#include "game_logic_fixture.h"

namespace vesk::test {
namespace {

// A task that records its start and can be told to finish.
class RecordingTask : public TGameObjTask {
    VESK_GAME_CLASS(RecordingTask)
public:
    void Start() override { Started().push_back(name_); }
    static std::vector<std::string>& Started() {
        static std::vector<std::string> names;
        return names;
    }
};

class TaskQueue : public GameLogicTest {
protected:
    void SetUp() override {
        GameLogicTest::SetUp();
        RegisterGameClass(RecordingTask::StaticClass());
        RecordingTask::Started().clear();
        Run("engine_AddVar('', 'ship', 'TBaseGameObjectList') engine_AddVar('ship', 'tasks', "
            "'TGameObjTaskManager')");
        q = dynamic_cast<TGameObjTaskManager*>(FindVarByPath("ship.tasks"));
        ASSERT_NE(nullptr, q);
    }
    RecordingTask* Add(const std::string& name, bool append = true) {
        Run("engine_AddCashedVar('ship.tasks', '" + name + "', 'RecordingTask')");
        auto* t = dynamic_cast<RecordingTask*>(FindVarByPath("ship.tasks." + name));
        if (t) append ? t->Append() : t->InsertNext();
        return t;
    }
    // The queue's chain from first to last, checked against the back links.
    std::string Chain() const {
        std::string s;
        const TGameObjTask* prev = nullptr;
        for (const TGameObjTask* t = q->FirstTask(); t; prev = t, t = t->NextTask()) {
            EXPECT_EQ(prev, t->PrevTask()) << t->GetName();
            s += t->GetName() + " ";
        }
        EXPECT_EQ(prev, q->LastTask());
        return s;
    }
    std::string Started() const {
        std::string s;
        for (const auto& n : RecordingTask::Started()) s += n + " ";
        return s;
    }
    TGameObjTaskManager* q = nullptr;
};

TEST_F(TaskQueue, ChildrenAndScriptedStart) {
    EXPECT_EQ("{[[curTask]],[[flush]],[[StopCurTask]],[[newUid]],}", Eval("engine_GetTable('ship.tasks')"));
    RecordingTask* a = Add("a");
    EXPECT_EQ("{[[selfObj]],[[isFirst]],[[isLast]],}", Eval("engine_GetTable('ship.tasks.a')"));
    // Queued, the task works for the queue's owner.
    EXPECT_EQ(FindVarByPath("ship"), a->SelfObj()->GetValue());
    Add("b");
    EXPECT_EQ("1 0 0 1",
              Eval("engine_Execute('ship.tasks.a.isFirst') .. ' ' .. engine_Execute('ship.tasks.a.isLast') "
                   ".. ' ' .. engine_Execute('ship.tasks.b.isFirst') .. ' ' .. "
                   "engine_Execute('ship.tasks.b.isLast')"));
    Run("engine_Execute('ship.tasks')");
    EXPECT_EQ("a ", Started());
    EXPECT_EQ("a", Eval("engine_GetVar('ship.tasks.curTask')"));
    // A running queue is not started again.
    Run("engine_Execute('ship.tasks')");
    EXPECT_EQ("a ", Started());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(TaskQueue, FinishingStartsTheNextInTheSameCall) {
    RecordingTask* a = Add("a");
    Add("b");
    Add("c");
    EXPECT_EQ("a b c ", Chain());
    q->StartNext();
    EXPECT_EQ(a, q->CurTask());
    a->Finish();
    EXPECT_EQ("a b ", Started());
    EXPECT_EQ("b", q->CurTaskName()->GetValue());
    EXPECT_EQ("b c ", Chain());
    EXPECT_TRUE(a->IsDeleted());
    EXPECT_EQ(nullptr, FindVarByPath("ship.tasks.a"));

    // "StopCurTask" finishes the running one.
    Run("engine_Execute('ship.tasks.StopCurTask')");
    EXPECT_EQ("a b c ", Started());
    // Finishing the last leaves the queue empty; the flush only clears the links.
    Run("engine_Execute('ship.tasks.StopCurTask')");
    EXPECT_EQ(nullptr, q->CurTask());
    EXPECT_EQ(nullptr, q->FirstTask());
    EXPECT_EQ(nullptr, q->LastTask());
    EXPECT_EQ("", q->CurTaskName()->GetValue());
    Run("engine_Execute('ship.tasks.StopCurTask')"); // nothing runs: nothing happens
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(TaskQueue, InsertNextGoesRightAfterTheFirst) {
    struct Case {
        std::vector<std::pair<const char*, bool>> adds; // name, append
        const char* chain;
    };
    const Case cases[] = {
        {{{"x", false}}, "x "},
        {{{"a", true}, {"x", false}}, "a x "},
        {{{"a", true}, {"b", true}, {"c", true}, {"x", false}}, "a x b c "},
        {{{"a", true}, {"x", false}, {"y", false}, {"b", true}}, "a y x b "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chain);
        for (const auto& [name, append] : c.adds) Add(name, append);
        EXPECT_EQ(c.chain, Chain());
        Run("engine_Execute('ship.tasks') engine_Execute('ship.tasks.flush')");
        EXPECT_EQ("", Chain());
    }
    // While a task runs, the new one is next, ahead of the rest.
    Add("a");
    Add("b");
    q->StartNext();
    Add("urgent", false);
    q->StopCurTask();
    EXPECT_EQ("urgent", q->CurTaskName()->GetValue());
    EXPECT_EQ("urgent b ", Chain());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(TaskQueue, FlushDeletesTheRunningAndQueuedTasksOrOnlyUnlinks) {
    RecordingTask* a = Add("a");
    RecordingTask* b = Add("b");
    RecordingTask* c = Add("c");
    q->StartNext();
    Run("engine_Execute('ship.tasks.flush')");
    EXPECT_EQ("", q->CurTaskName()->GetValue());
    EXPECT_EQ(nullptr, q->CurTask());
    for (RecordingTask* t : {a, b, c}) EXPECT_TRUE(t->IsDeleted()) << t->GetName();
    EXPECT_EQ("a ", Started());
    Frame();

    // Nothing running: the tasks stay as children, out of the chain, and can be queued again.
    RecordingTask* d = Add("d");
    RecordingTask* e = Add("e");
    q->Flush();
    EXPECT_EQ("", Chain());
    EXPECT_FALSE(d->IsDeleted());
    EXPECT_EQ(nullptr, d->NextTask());
    EXPECT_EQ(nullptr, e->PrevTask());
    e->Append();
    d->Append();
    EXPECT_EQ("e d ", Chain());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(TaskQueue, TasksLeavingTheQueueAreUnlinked) {
    RecordingTask* a = Add("a");
    Add("b");
    Add("c");
    // Queued twice, the chain would run in a circle: the second time is ignored.
    a->Append();
    a->InsertNext();
    EXPECT_EQ("a b c ", Chain());
    Run("engine_DelVar('ship.tasks.b')");
    EXPECT_EQ("a c ", Chain());
    q->StartNext();
    Run("engine_DelVar('ship.tasks.a')"); // the running one
    EXPECT_EQ(nullptr, q->CurTask());
    EXPECT_EQ("", q->CurTaskName()->GetValue());
    EXPECT_EQ("c ", Chain());
    // Finishing a task that is not running only takes it out.
    q->StartNext();
    Add("d")->Finish();
    EXPECT_EQ("c", q->CurTaskName()->GetValue());
    EXPECT_EQ("c ", Chain());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(TaskQueue, PooledTasksCountAndRaiseNewUid) {
    TStatisticCounter* counter = Statistics->Task();
    RecordingTask* a = Add("a");
    Add("b");
    EXPECT_EQ("2", Eval("engine_GetVar('ship.tasks.newUid')"));
    EXPECT_EQ(2, counter->Value());
    q->StartNext();
    a->Finish();
    EXPECT_EQ(1, counter->Value());
    EXPECT_EQ(1, counter->Decrements());
    Frame(); // a goes back to its pool
    RecordingTask* again = Add("again");
    EXPECT_EQ(a, again);
    EXPECT_EQ(nullptr, again->NextTask());
    EXPECT_EQ("b again ", Chain());
    EXPECT_EQ("3", Eval("engine_GetVar('ship.tasks.newUid')"));
    EXPECT_EQ(2, counter->Value());
    EXPECT_EQ(3, counter->Increments());

    // A task made by name is no pooled task: it is not counted.
    Run("engine_AddVar('ship.tasks', 'plain', 'RecordingTask')");
    Run("engine_DelVar('ship.tasks.plain')");
    EXPECT_EQ(2, counter->Value());
    // Outside a queue a task cannot be linked.
    Run("engine_AddVar('ship', 'stray', 'RecordingTask')");
    auto* stray = dynamic_cast<TGameObjTask*>(FindVarByPath("ship.stray"));
    EXPECT_THROW(stray->Append(), Halted);
    EXPECT_EQ("TGameObjTask.Append error: ->stray->ship->_G is not in a task queue", FirstFatal());
}

} // namespace
} // namespace vesk::test
