// Ship AI models against worked cases: the range checks, the choice of the
// enemy, the anchor lists and the patrol route, help requests, weapons and
// the "ai_model" switch.
#include <gtest/gtest.h>

#include "ai_fixture.h"
#include "game/statistics.h"
#include "platform/files.h"

namespace vesk::test {
namespace {

class AiModels : public AiTest {
protected:
    void SetUp() override {
        AiTest::SetUp();
        Factions();
        raider = Place("raider", {0, 0, 0}, kSOClassShip, "pirates");
        model = Fly("raider");
        ASSERT_NE(model, nullptr);
    }
    TGameObject* raider = nullptr;
    TGameObjectShipAIModel* model = nullptr;
};

TEST_F(AiModels, AttackRangeIsClassifiedAndBreakingOffHoldsUntilBeyondTheMaximum) {
    TGameObject* target = Place("target", {3000, 0, 0}, kSOClassShip, "player");
    Link(model, "curAttackTarget", target);
    // maxAttackRange 2500, minAttackRange 1000; each row is one check in order.
    struct Step {
        float x;
        const char* queued;
        float near;
    } steps[] = {
        {3000, "newAttackManeur_", 0},      // too far: a new run
        {2500, "continueAttackManeur_", 0}, // exactly the maximum is not too far
        {1000, "leaveFromObj_", 1},         // exactly the minimum: break off
        {1800, "leaveFromObj_", 1},         // between the ranges, still breaking off
        {2500, "leaveFromObj_", 1},         // at the maximum, still breaking off
        {2501, "newAttackManeur_", 0},      // beyond it: a new run
        {1800, "continueAttackManeur_", 0},
    };
    for (const Step& s : steps) {
        Move(target, {s.x, 0, 0});
        model->FireEvent("werifyAttackDistance");
        EXPECT_EQ(Queued(raider), s.queued) << s.x;
        EXPECT_EQ(model->Number("nearAttackedObj"), s.near) << s.x;
    }
    // The heavy model flies its own runs under the same task names.
    auto* heavy = Fly<THeavyShipAiModel>("raider", "heavy");
    ASSERT_NE(heavy, nullptr);
    Link(heavy, "curAttackTarget", target);
    Move(target, {3000, 0, 0});
    heavy->FireEvent("werifyAttackDistance");
    auto* q = dynamic_cast<TGameObjTaskManager*>(raider->FindChild("tasks"));
    ASSERT_TRUE(q->CurTask());
    EXPECT_EQ(Queued(raider), "newAttackManeur_");
    std::string id;
    q->CurTask()->FindChild("sequenceId")->stringValue(id);
    EXPECT_EQ(id, "newAttackManeur_heavy");
}

TEST_F(AiModels, LosingTheTargetScansInsteadOfStartingARunAtNothing) {
    model->FireEvent("werifyAttackDistance");
    // No enemy and no patrol point: the scan queues the idle sequence.
    EXPECT_EQ(Queued(raider), "nothingnt_");
}

TEST_F(AiModels, AnchorLeashSendsTheShipHomeOrLetsItGo) {
    TGameObject* base = Place("base", {0, 0, 0}, kSOClassAnchor);
    Link(model, "curAnchor", base);
    model->SetNumber("maxAnchorRange", 1000);
    struct Case {
        float x;
        float home;
        const char* queued;
    } cases[] = {
        {1200, 1, "goToCurAnchor_"},  // beyond the leash
        {800, 0, "goToCurAnchor_"},   // beyond 0.6 of it and not home
        {800, 1, ""},                 // beyond 0.6 of it but home: nothing
        {600, 0, "onInToCurAnchor_"}, // within 0.6 of it: home again
        {500, 1, ""},                 // home and there
    };
    for (const Case& c : cases) {
        ClearTaskQueue(dynamic_cast<TGameObjTaskManager*>(raider->FindChild("tasks")));
        Move(raider, {c.x, 0, 0});
        model->SetNumber("inAnchorRange", c.home);
        model->FireEvent("werifyAnchorDistance");
        EXPECT_EQ(Queued(raider), c.queued) << c.x << " " << c.home;
    }
}

class BestEnemy : public AiModels {
protected:
    void SetUp() override {
        AiModels::SetUp();
        base = Place("base", {0, 0, 0}, kSOClassAnchor);
        Link(model, "curAnchor", base);
        model->SetNumber("maxAnchorRange", 2000);
    }
    void Search() {
        model->Enemies()->SetAnchor(model->LinkedObject("curAnchor"), model->Number("maxAnchorRange"));
        model->FireEvent("searshBestEnemy");
    }
    TEngineObject* Enemy() { return model->LinkedObject("curEnemy"); }
    TGameObject* base = nullptr;
};

TEST_F(BestEnemy, PlayerWithinTheLeashIsTakenUpToTheAllowedAttackers) {
    TGameObject* pship = Place("pship", {1500, 0, 0}, kSOClassShip, "player");
    SetPlayerShip("pship");
    Search();
    EXPECT_EQ(Enemy(), pship);
    EXPECT_EQ(model->LinkedObject("curAttackTarget"), pship);
    auto* targeted = dynamic_cast<TSmartList*>(pship->FindChild("targeted"));
    EXPECT_TRUE(targeted->Contains(raider));
    // A second raider finds the one allowed attacker taken.
    TGameObject* other = Place("other", {100, 0, 0}, kSOClassShip, "pirates");
    auto* second = Fly("other");
    Link(second, "curAnchor", base);
    second->SetNumber("maxAnchorRange", 2000);
    second->FireEvent("searshBestEnemy");
    EXPECT_EQ(second->LinkedObject("curEnemy"), nullptr);
    (void)other;
    // Already an attacker: the enemy stays even when the factions make peace.
    Run("engine_SetVar('fractions.pirates.attitudes.player', '90')");
    Search();
    EXPECT_EQ(Enemy(), pship);
}

TEST_F(BestEnemy, PlayerBeyondTheLeashOrFriendlyIsLeftAlone) {
    Place("pship", {2500, 0, 0}, kSOClassShip, "player");
    SetPlayerShip("pship");
    Search();
    EXPECT_EQ(Enemy(), nullptr);
    Move(FindVarByPath("obj.pship"), {1500, 0, 0});
    Run("engine_SetVar('fractions.pirates.attitudes.player', '50')");
    Search();
    EXPECT_EQ(Enemy(), nullptr);
}

TEST_F(BestEnemy, AnchorWithoutAUnitChangesNothing) {
    Place("pship", {100, 0, 0}, kSOClassShip, "player");
    SetPlayerShip("pship");
    TGameObject* helper = Place("helper", {0, 0, 0}, kSOClassShip, "player");
    TGameObject* ghost = Ship("ghost"); // never created: no unit
    Link(model, "curAnchor", ghost);
    Link(model, "helpEnemy", helper);
    Search();
    EXPECT_EQ(Enemy(), nullptr);
    EXPECT_EQ(model->LinkedObject("helpEnemy"), helper);
}

TEST_F(BestEnemy, HelpThenAssistThenAttackerThenTheList) {
    TGameObject* a = Place("a", {100, 0, 0});
    TGameObject* b = Place("b", {200, 0, 0});
    TGameObject* c = Place("c", {300, 0, 0});
    Link(model, "helpEnemy", a);
    Link(model, "assistEnemy", b);
    Link(model, "attackEnemy", c);
    Search();
    EXPECT_EQ(Enemy(), a);
    EXPECT_EQ(model->LinkedObject("helpEnemy"), nullptr);
    EXPECT_EQ(model->LinkedObject("assistEnemy"), b);
    EXPECT_EQ(model->LinkedObject("attackEnemy"), c);
    Search();
    EXPECT_EQ(Enemy(), b);
    Search();
    EXPECT_EQ(Enemy(), c);
    EXPECT_EQ(model->LinkedObject("attackEnemy"), nullptr);
}

TEST_F(BestEnemy, TheListGivesTheHostileShipNearTheAnchorWithFewestAttackers) {
    // Listed in "targetedObjects" in creation order.
    TGameObject* first = Place("first", {500, 0, 0}, kSOClassShip, "player");
    TGameObject* second = Place("second", {600, 0, 0}, kSOClassShip, "player");
    TGameObject* far = Place("far", {2100, 0, 0}, kSOClassShip, "player");
    Place("friend", {50, 0, 0}, kSOClassShip, "smugglers");
    Move(raider, {2200, 0, 0}); // close to "far", far from the anchor
    Search();
    EXPECT_EQ(Enemy(), first); // a tie: the first met wins
    // Another ship fighting "first" makes "second" the better choice.
    auto* targeted = dynamic_cast<TSmartList*>(first->FindChild("targeted"));
    targeted->Add(second);
    model->SetLink("curEnemy", nullptr);
    Search();
    EXPECT_EQ(Enemy(), second);
    (void)far;
}

// Ships that leave and come back, as in a long game, leave no trail in
// "targetedObjects", which no frame walks: its order stays near the number of
// ships listed, and the search still goes through them in their order.
TEST_F(BestEnemy, ShipsComingAndGoingLeaveNoTrailInTheTargetedList) {
    TGameObject* first = Place("first", {500, 0, 0}, kSOClassShip, "player");
    TGameObject* second = Place("second", {600, 0, 0}, kSOClassShip, "player");
    auto* listed = dynamic_cast<TGameEvent*>(second->FindChild("isTargeted"));
    ASSERT_NE(listed, nullptr);
    for (int i = 0; i < 5000; ++i) {
        listed->Deactivate();
        listed->Activate();
    }
    const int32_t live = TargetedObjects->GetObjects()->CountNonNil();
    EXPECT_LE(TargetedObjects->GetOrder().Count(), 2 * live + 65);
    Search();
    EXPECT_EQ(Enemy(), first);
    dynamic_cast<TGameEvent*>(first->FindChild("isTargeted"))->Deactivate();
    model->SetLink("curEnemy", nullptr);
    Search();
    EXPECT_EQ(Enemy(), second);
}

TEST_F(AiModels, EnemyLinkKeepsTheTargetedListsAndAReplacedModelLetsGo) {
    TGameObject* a = Place("a", {100, 0, 0});
    TGameObject* b = Place("b", {200, 0, 0});
    auto targeted = [](TGameObject* o) { return dynamic_cast<TSmartList*>(o->FindChild("targeted")); };
    model->SetLink("curEnemy", a);
    EXPECT_EQ(targeted(a)->CountLinked(), 1);
    model->SetLink("curEnemy", b);
    EXPECT_EQ(targeted(a)->CountLinked(), 0);
    EXPECT_EQ(targeted(b)->CountLinked(), 1);
    // A model that goes stops counting as b's attacker.
    Fly("raider", "dummy");
    EXPECT_EQ(targeted(b)->CountLinked(), 0);
    EXPECT_EQ(Global("setAiCalls"), "obj.raider fighter;obj.raider dummy;");
}

TEST_F(AiModels, PatrolPointsAreVisitedInNumberOrderAndTheRouteEnds) {
    TGameObject* base = Place("base", {0, 0, 0}, kSOClassAnchor);
    Link(model, "curAnchor", base);
    model->SetNumber("maxAnchorRange", 1000);
    Place("patrol5", {0, 500, 0}, kSOClassAnchor);
    Place("patrol1", {500, 0, 0}, kSOClassAnchor);
    Place("patrol2", {0, -500, 0}, kSOClassAnchor);
    Place("patrol3", {5000, 0, 0}, kSOClassAnchor); // beyond the range: skipped
    Place("depot", {100, 0, 0}, kSOClassAnchor);    // an anchor that is no patrol point
    std::vector<std::string> route;
    model->FireEvent("onScan"); // gives the lists the anchor; takes the first point
    for (int i = 0; i < 5 && model->LinkedObject("curPatrolPoint"); ++i) {
        route.push_back(dynamic_cast<TBaseGameObject*>(model->LinkedObject("curPatrolPoint"))->GetName());
        model->FireEvent("searshNewPatrolPoint");
    }
    EXPECT_EQ(route, (std::vector<std::string>{"patrol1", "patrol2", "patrol5"}));
    EXPECT_EQ(FirstFatal(), "");
}

TEST_F(AiModels, PatrolPointWithABadNumberIsReported) {
    TGameObject* base = Place("base", {0, 0, 0}, kSOClassAnchor);
    Place("patrolX", {100, 0, 0}, kSOClassAnchor);
    model->Patrols()->SetAnchor(base, 1000);
    try {
        model->Patrols()->getNextAnchor(nullptr);
    } catch (const Halted&) {
    }
    EXPECT_NE(FirstFatal().find("TGameAiPatrols.getNextAnchor error: _G->obj->patrolX->"), std::string::npos)
        << FirstFatal();
}

TEST_F(AiModels, ScanPicksAnAttackRunAPatrolOrNothing) {
    TGameObject* base = Place("base", {0, 0, 0}, kSOClassAnchor);
    Link(model, "curAnchor", base);
    model->SetNumber("maxAnchorRange", 1000);
    model->FireEvent("onScan");
    EXPECT_EQ(Queued(raider), "nothingnt_");
    Place("patrol1", {500, 0, 0}, kSOClassAnchor);
    model->FireEvent("onScan");
    EXPECT_EQ(Queued(raider), "patrolProcessnt_");
    Place("pship", {300, 0, 0}, kSOClassShip, "player");
    SetPlayerShip("pship");
    model->FireEvent("onScan");
    EXPECT_EQ(Queued(raider), "newAttackManeurnt_");
}

TEST_F(AiModels, PatrolWalkGoesOnUntilThePointIsReached) {
    TGameObject* base = Place("base", {0, 0, 0}, kSOClassAnchor);
    Link(model, "curAnchor", base);
    model->SetNumber("maxAnchorRange", 1000);
    Place("patrol1", {500, 0, 0}, kSOClassAnchor);
    Place("patrol2", {-500, 0, 0}, kSOClassAnchor);
    model->FireEvent("onScan");
    auto point = [this] {
        return dynamic_cast<TBaseGameObject*>(model->LinkedObject("curPatrolPoint"))->GetName();
    };
    ASSERT_EQ(point(), "patrol1");
    Run("engine_SetVar('obj.raider.radius', '10')");
    Move(raider, {500, 30, 0}); // 30 from the point, more than twice the radius
    model->FireEvent("werifyPatrolRange");
    EXPECT_EQ(point(), "patrol1");
    EXPECT_EQ(Queued(raider), "patrolProcessnt_");
    Move(raider, {500, 20, 0}); // exactly twice the radius: reached
    model->FireEvent("werifyPatrolRange");
    EXPECT_EQ(point(), "patrol2");
    EXPECT_EQ(Queued(raider), "patrolProcessnt_");
}

TEST_F(AiModels, HelpRequestReachesAtMostTwoFriendsInRange) {
    TGameObject* enemy = Place("enemy", {0, 900, 0}, kSOClassShip, "player");
    model->Link("defCurObj")->setValue(enemy);
    std::vector<TGameObjectShipAIModel*> friends;
    for (const char* n : {"f1", "f2", "f3"}) {
        Place(n, {500, 0, 0}, kSOClassShip, "smugglers");
        friends.push_back(Fly(n));
    }
    Place("farFriend", {5000, 0, 0}, kSOClassShip, "smugglers");
    Fly("farFriend");
    Place("noModel", {100, 0, 0}, kSOClassShip, "smugglers");
    Place("neutral", {100, 0, 0}, kSOClassShip, "player");
    Fly("neutral");
    EXPECT_EQ(model->SendHelpRequest("help"), 2);
    int helped = 0;
    for (auto* f : friends) helped += f->LinkedObject("helpEnemy") == enemy ? 1 : 0;
    EXPECT_EQ(helped, 2);
    // Nobody friendly in range: nothing is sent.
    Run("engine_SetVar('fractions.pirates.attitudes.smugglers', '50.4')");
    EXPECT_EQ(model->SendHelpRequest("assist"), 0); // 50.4 rounds to 50: not friendly
}

TEST_F(AiModels, AttackTellsTheEnemyAndAnAttackingPlayerBecomesTheEnemy) {
    TGameObject* pship = Place("pship", {100, 0, 0}, kSOClassShip, "player");
    SetPlayerShip("pship");
    auto* pmodel = dynamic_cast<TGameObjectEmptyShipAIModel*>(AiModelOf(pship));
    ASSERT_NE(pmodel, nullptr); // every object starts with the empty model
    pmodel->SetLink("curEnemy", raider);
    pmodel->FireEvent("onAttack");
    EXPECT_EQ(model->LinkedObject("attackEnemy"), pship);
    model->FireEvent("searshBestEnemy");
    EXPECT_EQ(model->LinkedObject("curEnemy"), pship);
}

TEST_F(AiModels, WeaponsAreSwitchedForTheEnemysShield) {
    TGameObject* enemy = Place("enemy", {1000, 0, 0}, kSOClassShip, "player");
    model->SetLink("curEnemy", enemy);
    Slot("obj.raider.slots", "s1", "gun_left");
    Slot("obj.raider.slots", "s2", "gun_right");
    Slot("obj.raider.slots", "s3", "turret_top");
    TGameItem* kinetic = Item("kin", "cannon", "gun");
    TGameItem* energy = Item("en", "laser", "gun");
    TGameItem* rockets = Item("rk", "launcher", "gun");
    Run("engine_SetVar('items.kin.group', 'kinetic') engine_SetVar('items.en.group', 'energy') "
        "engine_SetVar('items.rk.bulletType', '1') engine_SetVar('items.rk.range', '900')");
    Put("obj.raider.slots.s1.item", "kin");
    Put("obj.raider.slots.s2.item", "en");
    Put("obj.raider.slots.s3.item", "rk");
    auto status = [](TGameItem* i) { return i->Status(); };
    SetValue("obj.enemy.param.shield", 100, 50);
    model->FireEvent("activateBestWeapon");
    EXPECT_EQ(status(kinetic), 0);
    EXPECT_EQ(status(energy), 1);
    EXPECT_EQ(status(rockets), 0); // 1000 is beyond its range of 900
    SetValue("obj.enemy.param.shield", 100, 0);
    Move(enemy, {850, 0, 0});
    model->FireEvent("activateBestWeapon");
    EXPECT_EQ(status(kinetic), 1);
    EXPECT_EQ(status(energy), 0);
    EXPECT_EQ(status(rockets), 1);
}

TEST_F(AiModels, DurabilityAndStrengthChecks) {
    Run("engine_SetVar('obj.raider.ai.onSmallDP', 'smallDP = 1') "
        "engine_SetVar('obj.raider.ai.onImLooser', 'looser = 1')");
    SetValue("obj.raider.param.durability", 100, 26);
    model->FireEvent("werifyDP");
    EXPECT_EQ(Global("smallDP"), "");
    SetValue("obj.raider.param.durability", 100, 25);
    model->FireEvent("werifyDP");
    EXPECT_EQ(Global("smallDP"), "1");
    // Own 25 + 100 + 100 = 225; the other 100 + 100 + 251 = 451 > 450.
    TGameObject* other = Place("other", {100, 0, 0});
    model->Link("defCurObj")->setValue(other);
    SetValue("obj.other.param.shield", 300, 250);
    model->FireEvent("compareParam");
    EXPECT_EQ(Global("looser"), "");
    SetValue("obj.other.param.shield", 300, 251);
    model->FireEvent("compareParam");
    EXPECT_EQ(Global("looser"), "1");
}

TEST_F(AiModels, ManeuverPointIsMadeForTheTargetAndReplaced) {
    model->FireEvent("newRndPoint"); // no defCurObj: nothing made
    EXPECT_EQ(model->LinkedObject("curManeurPoint"), nullptr);
    TGameObject* target = Place("target", {1000, 0, 0});
    model->Link("defCurObj")->setValue(target);
    model->FireEvent("newRndPoint");
    auto* first = dynamic_cast<TBaseGameObject*>(model->LinkedObject("curManeurPoint"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetParent(), FindVarByPath("obj"));
    EXPECT_EQ(first->GetName(), "ap_" + first->TEngineObject::GetHex());
    model->FireEvent("newRndPoint");
    EXPECT_TRUE(first->IsDeleted());
    // Without defCurObj the old point only goes.
    model->Link("defCurObj")->setValue(nullptr);
    auto* second = dynamic_cast<TBaseGameObject*>(model->LinkedObject("curManeurPoint"));
    model->FireEvent("newRndPoint");
    EXPECT_TRUE(second->IsDeleted());
    EXPECT_EQ(model->LinkedObject("curManeurPoint"), nullptr);
}

TEST_F(AiModels, WobbleNeedsTheShipsPhysics) {
    BaseAIUnitClass* ai = GiveAI(raider);
    model->FireEvent("enableFluctuationMove");
    EXPECT_TRUE(ai->GetNPCController()->TestState(USEFLUCTUATIONMOVE));
    model->FireEvent("disableFluctuationMove");
    EXPECT_FALSE(ai->GetNPCController()->TestState(USEFLUCTUATIONMOVE));
    // Left alone, the wobble ends after its five seconds.
    model->FireEvent("enableFluctuationMove");
    ASSERT_NE(model->FluctuationCounter(), nullptr);
    EXPECT_EQ(model->FluctuationCounter()->ClassName(), "TGameTimeEffect");
    for (int i = 0; i < 165; ++i) Frame(30.0f); // 4.95 s
    EXPECT_TRUE(ai->GetNPCController()->TestState(USEFLUCTUATIONMOVE));
    for (int i = 0; i < 3; ++i) Frame(30.0f);
    EXPECT_FALSE(ai->GetNPCController()->TestState(USEFLUCTUATIONMOVE));
    EXPECT_EQ(model->FluctuationCounter(), nullptr);
    raider->Ph()->setValue(nullptr);
    try {
        model->FireEvent("enableFluctuationMove");
    } catch (const Halted&) {
    }
    EXPECT_EQ(FirstFatal(),
              "TGameObjectEmptyShipAIModel.enableFluctuationMoveFunc error: TNPCPhysicComponent=nil");
}

TEST_F(AiModels, ModelSwitchRunsTheScriptsTableAndRefusesWhatIsNoName) {
    const int32_t before = Statistics->Ai()->Value();
    Fly("raider", "heavy");
    EXPECT_EQ(AiModelOf(raider)->ClassName(), "THeavyShipAiModel");
    EXPECT_EQ(Statistics->Ai()->Value(), before); // one model went, one came
    // A name that would be Lua text of its own never reaches Lua.
    const std::string hit = dir / "hit";
    Run("engine_SetVar('obj.raider.ai_model', [[x) os.execute('touch " + hit + "') --]])");
    EXPECT_FALSE(platform::FileExists(hit));
    EXPECT_TRUE(trap.HasReport("TGameObjectAiModelLink.setValue error ai[\"x) os.execute('touch " + hit +
                               "') --\"]== nil\""));
    EXPECT_EQ(AiModelOf(raider)->ClassName(), "THeavyShipAiModel");
    try {
        Run("engine_SetVar('obj.raider.ai_model', 'missing')");
    } catch (const Halted&) {
    }
    EXPECT_EQ(FirstFatal(), "TGameObjectAiModelLink.setValue error ai[\"missing\"]== nil\"");
}

} // namespace
} // namespace vesk::test

namespace vesk::test {
namespace {

TEST_F(AiModels, ScriptsFeedTheAnchorListsWithTheirOwnKinds) {
    TGameObject* hostileAnchor = Place("fort", {0, 0, 0}, kSOClassAnchor, "player");
    TGameObject* ownAnchor = Place("dock", {0, 0, 0}, kSOClassAnchor, "pirates");
    TGameObject* point = Place("patrol12", {0, 0, 0}, kSOClassAnchor);
    TGameObject* ship = Place("ship", {0, 0, 0}, kSOClassShip, "player");
    for (TGameObject* o : {hostileAnchor, ownAnchor, point, ship}) {
        const std::string hex = o->TEngineObject::GetHex();
        Run("engine_Execute('obj.raider.ai.enemies', 'updateObj', '" + hex +
            "', '250') "
            "engine_Execute('obj.raider.ai.patrols', 'updateObj', '" +
            hex + "', '40')");
    }
    EXPECT_EQ(Eval("engine_GetTable('obj.raider.ai.enemies')"), "{[[mainAnchor]],[[maxRange]],[[fort]],}");
    EXPECT_EQ(Eval("engine_GetVar('obj.raider.ai.enemies.fort.range')"), "250");
    EXPECT_EQ(Eval("engine_GetTable('obj.raider.ai.patrols')"),
              "{[[mainAnchor]],[[maxRange]],[[patrol12]],}");
    EXPECT_EQ(Eval("engine_GetVar('obj.raider.ai.patrols.patrol12.number')"), "12");
}

TEST_F(AiModels, TheEmptyModelRemembersTheShipsAround) {
    Place("a", {100, 0, 0});
    Place("rock", {50, 0, 0}, kSOClassAnchor);
    auto* empty = Fly<TGameObjectEmptyShipAIModel>("raider", "dummy");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(Queued(raider), "onShutdown_"); // the fighter's last manoeuvre
    ClearTaskQueue(empty->OwnerTasks());
    empty->FireEvent("onScan");
    EXPECT_EQ(Eval("engine_GetTable('obj.raider.ai.memory')"), "{[[a]],}");
    EXPECT_EQ(Eval("engine_GetVar('obj.raider.ai.memory.a.range')"), "0"); // the empty model measures nothing
    // Nothing queued: the empty model flies no manoeuvres.
    EXPECT_EQ(Queued(raider), "");
}

} // namespace
} // namespace vesk::test
