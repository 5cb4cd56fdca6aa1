// The AI's task steps: each class's action on its ship, the wait in fixed
// frames, and sequences expanded into the queue.
#include <gtest/gtest.h>

#include "ai_fixture.h"
#include "physics/ph_helpers.h"

namespace vesk::test {
namespace {

class AiTasks : public AiTest {
protected:
    void SetUp() override {
        AiTest::SetUp();
        ship = Place("ship", {0, 0, 0});
        target = Place("target", {500, 0, 0});
        queue = dynamic_cast<TGameObjTaskManager*>(ship->FindChild("tasks"));
        model = dynamic_cast<TGameObjectEmptyShipAIModel*>(AiModelOf(ship));
    }
    // A step of the class in the ship's queue, with values set by path, appended.
    TTaskwait* Step(const std::string& cls, const std::string& name,
                    std::initializer_list<std::pair<std::string, std::string>> values = {}) {
        Run("engine_AddCashedVar('obj.ship.tasks', '" + name + "', '" + cls + "')");
        auto* t = dynamic_cast<TTaskwait*>(FindVarByPath("obj.ship.tasks." + name));
        for (const auto& [k, v] : values)
            Run("engine_SetVar('obj.ship.tasks." + name + "." + k + "', '" + v + "')");
        t->Activate();
        return t;
    }
    // Frames of 16 ms until the queue is idle; the count of frames.
    int RunQueue(int limit = 200) {
        int n = 0;
        while (queue->CurTask() && n < limit) {
            Frame(16.0f);
            ++n;
        }
        return n;
    }
    TGameObject* ship = nullptr;
    TGameObject* target = nullptr;
    TGameObjTaskManager* queue = nullptr;
    TGameObjectEmptyShipAIModel* model = nullptr;
};

TEST_F(AiTasks, AWaitEndsOnTheFrameItsTimeIsReached) {
    Step("TTaskwait", "w");
    queue->StartNext();
    EXPECT_EQ(RunQueue(), 19); // 19 x 0.016 = 0.304 >= 0.3, 18 frames give 0.288
    Step("TTaskstepToPoint", "p");
    queue->StartNext();
    EXPECT_EQ(RunQueue(), 13); // its own default of 0.2 s
}

TEST_F(AiTasks, StepsWithoutTheirTargetOnlyWait) {
    BaseAIUnitClass* ai = GiveAI(ship);
    for (const char* cls : {"TTaskstepToGameObj", "TTaskoneStepToDefAiObj", "TTaskoneStepFollowToDefAiObj",
                            "TTaskstartShooting", "TTaskoneShotToDefAiObj"})
        Step(cls, std::string("t") + cls);
    queue->StartNext();
    // A step that starts when the one before ends counts its wait from the
    // next frame: each waits its whole 0.3 s.
    EXPECT_EQ(RunQueue(), 5 * 19);
    EXPECT_FALSE(ai->GetNPCController()->TestState(DOMOVETOPOINT | DOFOLLOWTOOBJECT));
    EXPECT_EQ(FirstFatal(), "");
}

TEST_F(AiTasks, MovementStepsSteerTheShipsPhysics) {
    BaseAIUnitClass* ai = GiveAI(ship);
    GiveAI(target);
    TNPCPhysicComponent* npc = ai->GetNPCController();
    model->Link("defCurObj")->setValue(target);
    struct Case {
        const char* cls;
        uint64_t state;
        bool toTarget;
    } cases[] = {
        {"TTaskstepToGameObj", DOMOVETOPOINT, true},
        {"TTaskoneStepToDefAiObj", DOMOVETOPOINT, true},
        {"TTaskoneStepAttackToDefAiObj", DOMOVETOPOINT, true},
        {"TTaskstepToPoint", DOMOVETOPOINT, false},
        {"TTaskstop", D0STOP, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "m" + std::to_string(n++);
        Step(c.cls, name);
        if (std::string(c.cls) == "TTaskstepToGameObj")
            Run("engine_SetVar('obj.ship.tasks." + name + ".objId', '" + target->TEngineObject::GetHex() +
                "')");
        if (std::string(c.cls) == "TTaskstepToPoint")
            Run("engine_SetVar('obj.ship.tasks." + name + ".x', '70') engine_SetVar('obj.ship.tasks." + name +
                ".y', '-20')");
        queue->StartNext();
        EXPECT_TRUE(npc->TestState(c.state)) << c.cls;
        TPhMovePoint* point = npc->GetMovePoint();
        if (c.toTarget) {
            EXPECT_EQ(point->GetTargetObject(), UnitOf(target)) << c.cls;
        } else if (c.state == DOMOVETOPOINT) {
            EXPECT_FALSE(point->HasTargetObject());
            EXPECT_FLOAT_EQ(point->GetPosition().x, 70.0f);
            EXPECT_FLOAT_EQ(point->GetPosition().y, -20.0f);
        }
        RunQueue();
    }
    EXPECT_EQ(FirstFatal(), "");
}

TEST_F(AiTasks, ShootingStepsUseTheShipsEvents) {
    Run("engine_SetVar('obj.ship.events.onShipBeginShot', 'begins = (begins or 0) + 1 beginData = tmp[2]') "
        "engine_SetVar('obj.ship.events.onShipEndShot', 'ends = (ends or 0) + 1')");
    Step("TTaskstartShooting", "s", {{"objId", target->TEngineObject::GetHex()}});
    queue->StartNext();
    EXPECT_EQ(Global("begins"), "1");
    EXPECT_EQ(Global("beginData"), target->TEngineObject::GetHex());
    EXPECT_EQ(dynamic_cast<TGameObjectFreeLink*>(ship->FindChild("rocketTarget"))->GetValue(), target);
    RunQueue();
    // One shot: it starts, then it ends, right after the step that asked for it.
    model->Link("defCurObj")->setValue(target);
    Step("TTaskoneShotToDefAiObj", "one");
    Step("TTaskwait", "after");
    queue->StartNext();
    std::vector<std::string> order;
    for (TGameObjTask* t = queue->FirstTask(); t; t = t->NextTask())
        order.push_back(t->GetName().substr(0, 3));
    EXPECT_EQ(order, (std::vector<std::string>{"one", "ss_", "es_", "aft"}));
    RunQueue();
    EXPECT_EQ(Global("begins"), "2");
    EXPECT_EQ(Global("ends"), "1");
}

TEST_F(AiTasks, ModelStepsFireSetAndRelink) {
    Run("engine_SetVar('obj.ship.ai.onImLooser', 'looser = 1')");
    model->SetLink("curEnemy", target);
    Step("TTaskaiEvent", "e", {{"eventId", "onImLooser"}});
    Step("TTaskrelinkDefaultAiObject", "r", {{"aiObjString", "curEnemy"}});
    Step("TTasksetAiParam", "p", {{"paramId", "maxAttackRange"}, {"value", "1234"}});
    Step("TTaskaiEvent", "missing", {{"eventId", "noSuchEvent"}});
    queue->StartNext();
    RunQueue();
    EXPECT_EQ(Global("looser"), "1");
    EXPECT_EQ(model->DefCurObj(), target);
    EXPECT_EQ(model->Number("maxAttackRange"), 1234.0f);
    EXPECT_EQ(FirstFatal(), "");
}

TEST_F(AiTasks, MessageStepCallsFriendsForHelp) {
    Factions();
    Run("engine_SetVar('obj.ship.fraction', 'pirates')");
    Place("mate", {100, 0, 0}, kSOClassShip, "smugglers");
    auto* mate = Fly("mate");
    model->Link("defCurObj")->setValue(target);
    Step("TTasksendMessage", "m", {{"messageId", "assist"}});
    queue->StartNext();
    EXPECT_EQ(mate->LinkedObject("assistEnemy"), target);
}

TEST_F(AiTasks, PhysicsSwitchesAndFullEngine) {
    BaseAIUnitClass* ai = GiveAI(ship);
    SetValue("obj.ship.param.p_engine", 80, 10);
    Step("TTaskSetPShipPhType", "a");
    queue->StartNext();
    EXPECT_TRUE(ai->IsPlayerControlled());
    RunQueue();
    Step("TTaskSetNPCPhType", "b");
    Step("TTaskSetSpeed", "c");
    queue->StartNext();
    EXPECT_FALSE(ai->IsPlayerControlled());
    RunQueue();
    EXPECT_EQ(Value("obj.ship.param.p_engine"), 80.0f);
}

TEST_F(AiTasks, TeleportRunsThePhysicsCommandForTheLocationsHelper) {
    Run("engine_SetVar('player.subsystem', 'vesk') function engine_PhCommand() end");
    for (const char* path : {"scene", "scene.vesk", "scene.vesk.locations", "scene.vesk.locations.belt"}) {
        const std::string p = path;
        const size_t dot = p.rfind('.');
        const std::string parent = dot == std::string::npos ? "" : p.substr(0, dot);
        Run("engine_AddVar('" + parent + "', '" + p.substr(dot + 1) + "', 'TBaseGameObjectList')");
    }
    Run("engine_AddVar('scene.vesk.locations.belt', 'hex', 'TGameObjectStringParam')");
    TBaseRenderUnit* location = world.NewUnit("belt");
    HelperClass* dock = location->AddHelper("dock", {10, 0, 0});
    Run("engine_SetVar('scene.vesk.locations.belt.hex', '" + location->GetHex() + "')");
    ChunkRecorder chunks;
    Step("TTaskteleportToHelper", "t", {{"locationId", "belt"}, {"helperId", "dock"}});
    queue->StartNext();
    EXPECT_NE(
        chunks.Joined().find("engine_PhCommand(\"obj.ship\",\"teleport\",\"\",\"" + dock->GetHex() + "\")"),
        std::string::npos)
        << chunks.Joined();
}

TEST_F(AiTasks, SequenceExpandsIntoPooledCopiesThatRunInOrder) {
    Run("engine_AddVar('sequences', 'probe') "
        "engine_AddVar('sequences.probe', 'a', 'TTasksetAiParam') "
        "engine_SetVar('sequences.probe.a.paramId', 'minAttackRange') "
        "engine_SetVar('sequences.probe.a.value', '111') engine_SetVar('sequences.probe.a.time', '0') "
        "engine_AddVar('sequences.probe', 'b', 'TTaskwait') engine_SetVar('sequences.probe.b.time', '0.1') "
        "engine_AddVar('sequences.probe', 'c', 'TTasksetAiParam') "
        "engine_SetVar('sequences.probe.c.paramId', 'minAttackRange') "
        "engine_SetVar('sequences.probe.c.value', '222') "
        "engine_AddVar('sequences', 'empty')");
    model->QueueSequence("probe", "probe_");
    std::vector<std::string> names;
    for (TGameObjTask* t = queue->FirstTask(); t; t = t->NextTask()) {
        names.push_back(t->GetName().substr(0, 4));
        EXPECT_EQ(t->SelfObj()->GetValue(), ship);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"prob", "seq_", "seq_", "seq_"}));
    auto* b = dynamic_cast<TTaskwait*>(queue->FirstTask()->NextTask()->NextTask());
    EXPECT_FLOAT_EQ(b->Time(), 0.1f);
    // The sequence task waits its 0.3 s, then the steps run: the last value stays.
    const int frames = RunQueue();
    EXPECT_EQ(model->Number("minAttackRange"), 222.0f);
    EXPECT_EQ(frames, 19 + 7 + 19); // the sequence's wait, then 0, 0.1 and 0.3 s
    // The templates are untouched; an empty sequence still waits.
    EXPECT_EQ(Eval("engine_GetVar('sequences.probe.a.value')"), "111");
    model->QueueSequence("empty", "empty_");
    EXPECT_EQ(RunQueue(), 19);
    // Pooled steps come back with their class's defaults.
    model->QueueSequence("nothing-here", "x_");
    auto* reused = dynamic_cast<TTaskwait*>(queue->CurTask());
    ASSERT_NE(reused, nullptr);
    EXPECT_FLOAT_EQ(reused->TimeLeft(), 0.0f);
    EXPECT_EQ(Eval("engine_GetVar('" + GetLuaPath(reused) + ".sequenceId')"), "nothing-here");
}

// A step waits through game time it lived: one that starts when the one
// before ends, in the middle of a tick, counts from the next tick. So a
// sequence takes at least its steps' times added up and at most a frame more
// per step, at any frame time, instead of running whole within one long frame.
TEST_F(AiTasks, ASequenceTakesItsStepsTimesAtAnyFrameTime) {
    Run("engine_AddVar('sequences', 'three') "
        "for _, n in ipairs({ 'a', 'b', 'c' }) do engine_AddVar('sequences.three', n, 'TTaskwait') end");
    for (float dt : {1.0f, 16.0f, 50.0f, 300.0f, 1000.0f, 3000.0f}) {
        SCOPED_TRACE(dt);
        model->QueueSequence("three", "three_");
        int frames = 0;
        while (queue->CurTask() && frames < 10000) {
            Frame(dt);
            ++frames;
        }
        // The sequence task's own 0.3 s, then three waits of 0.3 s.
        const float seconds = static_cast<float>(frames) * dt / 1000.0f;
        EXPECT_GE(seconds, 1.2f - 1e-3f);
        EXPECT_LE(seconds, 1.2f + 4.0f * dt / 1000.0f + 1e-3f);
    }
}

// A sequence that queues itself again and never waits can not hold a frame:
// past a bound of steps begun in one tick the queue goes on in the next.
TEST_F(AiTasks, ASequenceThatNeverWaitsCanNotHoldTheFrame) {
    Run("engine_AddVar('sequences', 'spin') engine_AddVar('sequences.spin', 'again', 'TTaskuseSequence') "
        "engine_SetVar('sequences.spin.again.sequenceId', 'spin') engine_SetVar('sequences.spin.again.time', "
        "'0')");
    model->QueueSequence("spin", "spin_");
    Frame(300.0f); // the sequence task's own wait
    for (float dt : {16.0f, 16.0f, 1000.0f, 3000.0f}) {
        SCOPED_TRACE(dt);
        const int32_t before = queue->NewUid()->GetValue();
        Frame(dt);
        const int32_t made = queue->NewUid()->GetValue() - before;
        EXPECT_GT(made, 0); // it does go on
        EXPECT_LE(made, TGameObjTaskManager::kMaxStartsPerWalk + 1);
    }
    EXPECT_NE(queue->CurTask(), nullptr);
    ClearTaskQueue(queue);
    Frame(16.0f);
    EXPECT_EQ(FirstFatal(), "");
}

TEST_F(AiTasks, ClearingTheQueueDeletesQueuedTasksEvenWhenNoneRuns) {
    TTaskwait* a = Step("TTaskwait", "a");
    TTaskwait* b = Step("TTaskwait", "b");
    ClearTaskQueue(queue);
    EXPECT_TRUE(a->IsDeleted());
    EXPECT_TRUE(b->IsDeleted());
    EXPECT_EQ(queue->FirstTask(), nullptr);
    EXPECT_EQ(queue->CountChildren(), 4); // the queue's own four values remain
}

} // namespace
} // namespace vesk::test
