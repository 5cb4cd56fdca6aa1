// Parameters: text forms, clamping, ticks, links and their reports.
#include <functional>

#include "game_tree_fixture.h"

namespace vesk::test {
namespace {

using Params = GameTreeTest;

TEST_F(Params, CurrentMaximumSpeedClampsAndTicks) {
    Run("engine_AddVar('', 'o', 'TBaseGameObjectList') engine_AddVar('o', 'hp', 'TGameObjectParam')");
    Run("engine_SetVar('o.hp.max', '100')");
    struct Case {
        const char* set;
        const char* cur;
    };
    for (const Case& c : {Case{"40", "40"}, Case{"250", "100"}, Case{"-5", "0"}, Case{"100", "100"}}) {
        Run(std::string("engine_SetVar('o.hp', '") + c.set + "')");
        EXPECT_EQ(c.cur, Eval("engine_GetVar('o.hp')")) << c.set;
    }
    // A lower maximum leaves the current value above it until it is next set or ticks.
    Run("engine_SetVar('o.hp.max', '60')");
    EXPECT_EQ("100", Eval("engine_GetVar('o.hp.cur')"));
    Run("engine_SetVar('o.hp', '80')");
    EXPECT_EQ("60", Eval("engine_GetVar('o.hp')"));

    auto* hp = static_cast<TGameObjectParam*>(FindVarByPath("o.hp"));
    EXPECT_TRUE(hp->OnTick()->IsActive());
    Frame(1000.0f); // speed 0: nothing changes
    EXPECT_EQ(60.0f, hp->Cur()->GetValue());
    Run("engine_SetVar('o.hp.speed', '-25')");
    Frame(1000.0f);
    EXPECT_EQ(35.0f, hp->Cur()->GetValue());
    Frame(2000.0f);
    EXPECT_EQ(0.0f, hp->Cur()->GetValue());
    Frame(1000.0f);
    EXPECT_EQ(0.0f, hp->Cur()->GetValue());
    Run("engine_SetVar('o.hp.speed', '10')");
    Frame(500.0f);
    EXPECT_EQ(5.0f, hp->Cur()->GetValue());
    Frame(100000.0f);
    EXPECT_EQ(60.0f, hp->Cur()->GetValue());
    EXPECT_EQ(60.0f, hp->singleValue());
}

// A parameter's tick steps by the frame time of the list it fires from; fired
// by a script it steps by that of the list given as its data, else by nothing;
// a handler given to the tick takes the step's place.
TEST_F(Params, ParameterTicksStepByTheirListsFrameTime) {
    Run("engine_AddVar('', 'o', 'TBaseGameObjectList') engine_AddVar('o', 'hp', 'TGameObjectParam')");
    Run("engine_SetVar('o.hp.max', '100') engine_SetVar('o.hp', '0') engine_SetVar('o.hp.speed', '10')");
    auto* hp = static_cast<TGameObjectParam*>(FindVarByPath("o.hp"));
    Frame(1000.0f);
    EXPECT_EQ(10.0f, hp->Cur()->GetValue());
    EXPECT_EQ(TickedObjects, hp->OnTick()->EventDataLink()->GetValue());
    struct Case {
        const char* data; // what the script passes as the event's data
        float cur;
    };
    for (const Case& c :
         {Case{"", 10.0f}, Case{"engine_GetHex('ticked')", 20.0f}, Case{"engine_GetHex('o')", 20.0f}}) {
        const std::string data = *c.data ? c.data : "'0'";
        Run("engine_Execute('o.hp.onTick', engine_GetHex('o'), " + data + ")");
        EXPECT_EQ(c.cur, hp->Cur()->GetValue()) << c.data;
    }
    int handled = 0;
    hp->OnTick()->SetHandler([&](TEngineObject*, TEngineObject* data) {
        ++handled;
        EXPECT_EQ(TickedObjects, data);
    });
    Frame(1000.0f);
    EXPECT_EQ(1, handled);
    EXPECT_EQ(20.0f, hp->Cur()->GetValue());
    // The script left another object as the data: the list's tick puts itself back.
    EXPECT_EQ(TickedObjects, hp->OnTick()->EventDataLink()->GetValue());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Params, BadNumbersAreFatalWithTheParameterPath) {
    Run("engine_AddVar('', 'o', 'TBaseGameObjectList') engine_AddVar('o', 'f', 'TGameObjectSubParam')");
    Run("engine_AddVar('o', 'i', 'TGameObjectIntParam')");
    EXPECT_THROW(Run("engine_SetVar('o.f', '1,5')"), Halted);
    EXPECT_EQ(Ru("Exception kws2f: _str=1,5: TGameObjectSubParam.stringUpdate error: инициализация обьекта "
                 "->f->o->_G неправильным значением"),
              FirstFatal());
    trap.reports.clear();
    EXPECT_THROW(Run("engine_SetVar('o.i', '')"), Halted);
    EXPECT_EQ("kws2i: _str=\"\": TGameObjectIntParam.stringUpdate error ->i->o->_G", FirstFatal());
    trap.reports.clear();
    Run("engine_SetVar('o.i', '-12') engine_SetVar('o.f', '2.25')");
    EXPECT_EQ("-12", Eval("engine_GetVar('o.i')"));
    EXPECT_EQ("2.25", Eval("engine_GetVar('o.f')"));
}

TEST_F(Params, LinkParametersFollowTheirTableAndTarget) {
    auto* table = NewGameObject<TBaseGameObjectList>("table", GlobalObjects);
    auto* owner = NewGameObject<TBaseGameObjectList>("owner", GlobalObjects);
    auto* link = NewGameObject<TGameObjectLinkParam>("target", owner);
    EXPECT_THROW(link->stringUpdate("x"), Halted);
    EXPECT_EQ(Ru("TGameObjectLinkParam.stringUpdate error: в ссылке ->target->owner->_G не указана "
                 "ассоциативная таблица"),
              FirstFatal());
    trap.reports.clear();

    link->SetTable(table);
    auto* a = NewGameObject<TBaseGameObject>("a", table);
    Run("engine_SetVar('owner.target', 'a')");
    EXPECT_EQ(a, link->GetLinked());
    EXPECT_EQ("a", Eval("engine_GetVar('owner.target')"));

    // A name that does not exist yet is linked on the first tick after it appears.
    Run("engine_SetVar('owner.target', 'later')");
    EXPECT_EQ(a, link->GetLinked());
    Frame();
    EXPECT_EQ(a, link->GetLinked());
    auto* later = NewGameObject<TBaseGameObject>("later", table);
    Frame();
    EXPECT_EQ(later, link->GetLinked());
    EXPECT_FALSE(link->GetLinker()->OnLink()->IsActive());

    // Deleting the target clears the link at once; an empty text unlinks.
    later->Delete();
    EXPECT_EQ(nullptr, link->GetLinked());
    link->setValue(a);
    Run("engine_SetVar('owner.target', '')");
    EXPECT_EQ(nullptr, link->GetLinked());

    // A delayed link waits for a tick even when the name exists.
    auto* delayed = NewGameObject<TGameObjectDelayedLinkParam>("d", owner);
    delayed->SetTable(table);
    delayed->stringUpdate("a");
    EXPECT_EQ(nullptr, delayed->GetLinked());
    Frame();
    EXPECT_EQ(a, delayed->GetLinked());
    EXPECT_EQ("", FirstFatal());
}

TEST_F(Params, LinkAndLinkerFaultsAreFatal) {
    auto* table = NewGameObject<TBaseGameObjectList>("table", GlobalObjects);
    auto* owner = NewGameObject<TBaseGameObjectList>("owner", GlobalObjects);
    auto* link = NewGameObject<TGameObjectLinkParam>("lnk", owner);
    auto* delayed = NewGameObject<TGameObjectDelayedLinkParam>("dl", owner);
    auto* linker = NewGameObject<TGameLinker>("lk", owner);
    auto* raw = TEngineObject::New<TBaseGameObjectList>();
    struct Case {
        std::function<void()> act;
        std::string fatal;
    };
    const Case cases[] = {
        {[&] { link->setValue(table); }, Ru("TGameObjectLinkParam.setValue error: в ссылке ->lnk->owner->_G "
                                            "не указана ассоциативная таблица")},
        {[&] { delayed->stringUpdate("a"); },
         Ru("TGameObjectDelayedLinkParam.stringUpdate error: в ссылке ->dl->owner->_G не указана "
            "ассоциативная таблица")},
        {[&] {
             linker->Start(table, nullptr, "k");
             Frame();
         },
         "TGameLinker.onLinkFunc error: ->lk->owner->_G link=nil"},
        {[&] {
             linker->Start(nullptr, link, "k");
             Frame();
         },
         "TGameLinker.onLinkFunc error: ->lk->owner->_G linktable=nil"},
        {[&] { raw->insertObj(table); }, "TBaseGameObjectList.insertObj - \"Objects\" does not exist"},
        {[&] { table->Load(); },
         "TBaseGameObject.Load error: You need to override this! Class: TBaseGameObjectList"},
    };
    for (const Case& c : cases) {
        trap.reports.clear();
        EXPECT_THROW(c.act(), Halted) << c.fatal;
        EXPECT_EQ(c.fatal, FirstFatal());
        linker->Stop();
    }
    raw->Free();
}

TEST_F(Params, FreeLinksAndMethods) {
    auto* owner = NewGameObject<TBaseGameObjectList>("owner", GlobalObjects);
    auto* link = NewGameObject<TGameObjectFreeLink>("l", owner);
    auto* target = NewGameObject<TBaseGameObject>("t", owner);
    Run("engine_SetVar('owner.l', engine_GetHex('owner.t'))");
    EXPECT_EQ(target, link->GetValue());
    EXPECT_EQ(target->GetHex(), Eval("engine_GetVar('owner.l')"));
    Run("engine_SetVar('owner.l', '0')");
    EXPECT_EQ(nullptr, link->GetValue());
    EXPECT_EQ("0", Eval("engine_GetVar('owner.l')"));
    link->setValue(target);
    target->Delete();
    EXPECT_EQ(nullptr, link->GetValue());

    auto* method = NewGameObject<TGameObjectMethodParam>("m", owner);
    EXPECT_THROW(Run("engine_Execute('owner.m')"), Halted);
    EXPECT_EQ(Ru("TGameObjectMethodParam.Execute error: обьекту ->m->owner->_G не назначена исполняеммая "
                 "процедура"),
              FirstFatal());
    int calls = 0;
    method->setValue([](void* data) { ++*static_cast<int*>(data); }, &calls);
    Run("engine_Execute('owner.m')");
    EXPECT_EQ(1, calls);
    // The root's own method does nothing.
    Run("engine_Execute('emptyObjects')");
}

struct PhysicsProbe : IParamPhysicsLink {
    TBaseGameObject* player = nullptr;
    std::vector<std::string> calls;
    bool IsPlayerShip(TBaseGameObject* o) override { return o == player; }
    void PushEngine(TBaseGameObject* o, float cur) override {
        calls.push_back("engine " + o->GetName() + " " + std::to_string(static_cast<int>(cur)));
    }
    void PushVersatility(TBaseGameObject* o, float cur) override {
        calls.push_back("versatility " + o->GetName() + " " + std::to_string(static_cast<int>(cur)));
    }
};

TEST_F(Params, StandardSetTicksAndPushesToPhysics) {
    PhysicsProbe probe;
    SetParamPhysicsLink(&probe);
    auto* npc = NewGameObject<TBaseGameObjectList>("npc", GlobalObjects);
    auto* player = NewGameObject<TBaseGameObjectList>("player1", GlobalObjects);
    probe.player = player;
    auto* set = NewGameObject<TGameObjectParams>("params", npc);
    NewGameObject<TGameObjectParams>("params", player);
    EXPECT_EQ(
        "{[[durability]],[[armor]],[[versatility]],[[power]],[[p_engine]],[[force_charge]],[[sensibility]],"
        "[[invisibility]],[[damagefactor]],[[defencefactor]],[[capacity]],[[shield]],[[temperature]],}",
        Eval("engine_GetTable('npc.params')"));
    EXPECT_EQ("1", Eval("engine_IsVar('npc.params.force_charge.incSpeed')"));
    auto active = [&](const char* n) {
        return static_cast<TGameObjectParam*>(set->FindChild(n))->OnTick()->IsActive();
    };
    EXPECT_TRUE(active("durability"));
    EXPECT_FALSE(active("capacity"));
    set->ResetTicks();
    EXPECT_TRUE(active("shield"));
    EXPECT_FALSE(active("sensibility"));

    for (const char* o : {"npc", "player1"}) {
        Run(std::string("engine_SetVar('") + o + ".params.p_engine.max', '100')");
        Run(std::string("engine_SetVar('") + o + ".params.p_engine', '70')");
        Run(std::string("engine_SetVar('") + o + ".params.versatility.max', '100')");
        Run(std::string("engine_SetVar('") + o + ".params.versatility', '30')");
    }
    Frame();
    Frame(); // nothing new to push
    EXPECT_EQ((std::vector<std::string>{"engine npc 70", "versatility player1 30", "engine player1 70"}),
              probe.calls);
}

TEST_F(Params, CopiesKeepValuesAsTheyAre) {
    Run("engine_AddVar('', 't', 'TBaseGameObjectList') engine_AddVar('t', 'c', 'TGameObjectCurSubParam')");
    auto* c = static_cast<TGameObjectCurSubParam*>(FindVarByPath("t.c"));
    c->upper = 10.0f;
    c->setValue(50.0f);
    EXPECT_EQ(10.0f, c->GetValue());
    Run("engine_AddVar('t', 'i', 'TGameObjectIntParam') engine_SetVar('t.i', '9')");
    Run("engine_AddVar('', 'copy', 'TBaseGameObjectList', 't')");
    EXPECT_EQ("10", Eval("engine_GetVar('copy.c')"));
    EXPECT_EQ("9", Eval("engine_GetVar('copy.i')"));
    Run("engine_AddVar('t', 'v', 'TGameObjectVectorParam')");
    static_cast<TGameObjectVectorParam*>(FindVarByPath("t.v"))->SetVector(1, 2, 3);
    float x, y, z;
    static_cast<TGameObjectVectorParam*>(FindVarByPath("t.v"))->GetVector(x, y, z);
    EXPECT_EQ(3.0f, z);
    EXPECT_TRUE(NoLuaErrors());
}

// Scripts may delete a child or put one of another class in its place: the
// readers of an owner's children take either as absent, and the setters leave
// what is there alone.
TEST_F(Params, ChildReadersTakeAMissingOrForeignChildAsAbsent) {
    Run("engine_AddVar('', 'o', 'TBaseGameObjectList')"
        " engine_AddVar('o', 'n', 'TGameObjectIntParam') engine_SetVar('o.n', '7')"
        " engine_AddVar('o', 'f', 'TGameObjectSubParam') engine_SetVar('o.f', '2.5')"
        " engine_AddVar('o', 's', 'TGameObjectStringParam') engine_SetVar('o.s', 'abc')");
    TBaseGameObject* o = FindVarByPath("o");
    ASSERT_NE(nullptr, o);
    EXPECT_EQ(7, IntOf(o, "n"));
    EXPECT_EQ(2.5f, FloatOf(o, "f"));
    EXPECT_EQ("abc", TextOf(o, "s"));
    struct Case {
        const TBaseGameObject* owner;
        const char* name;
    };
    for (const Case& c : {Case{o, "missing"}, Case{nullptr, "n"}, Case{o, "s"}, Case{o, "f"}})
        EXPECT_EQ(0, IntOf(c.owner, c.name)) << c.name;
    for (const Case& c : {Case{o, "missing"}, Case{nullptr, "f"}, Case{o, "n"}, Case{o, "s"}})
        EXPECT_EQ(0.0f, FloatOf(c.owner, c.name)) << c.name;
    for (const Case& c : {Case{o, "missing"}, Case{nullptr, "s"}, Case{o, "n"}})
        EXPECT_EQ("", TextOf(c.owner, c.name)) << c.name;
    EXPECT_EQ(nullptr, Child<TGameObjectIntParam>(o, "s"));

    SetIntOf(o, "s", 3);
    SetTextOf(o, "n", "x");
    SetIntOf(nullptr, "n", 3);
    SetIntOf(o, "missing", 3);
    EXPECT_EQ("abc", Eval("engine_GetVar('o.s')"));
    EXPECT_EQ("7", Eval("engine_GetVar('o.n')"));
    SetIntOf(o, "n", 8);
    SetTextOf(o, "s", "def");
    EXPECT_EQ("8", Eval("engine_GetVar('o.n')"));
    EXPECT_EQ("def", Eval("engine_GetVar('o.s')"));

    // Any child's value as a script reads it.
    EXPECT_EQ(Eval("engine_GetVar('o.f')"), ValueTextOf(o, "f"));
    EXPECT_EQ("8", ValueTextOf(o, "n"));
    EXPECT_EQ("", ValueTextOf(o, "missing"));
    EXPECT_EQ("", ValueTextOf(nullptr, "n"));
    EXPECT_TRUE(NoLuaErrors());
}

} // namespace
} // namespace vesk::test
