// Game events: firing with the exact Lua text, activation, the tick lists and
// the failure path of a native handler.
#include <fstream>
#include <sstream>

#include "game_tree_fixture.h"
#include "shared/errors.h"

namespace vesk::test {
namespace {

using Events = GameTreeTest;

TEST_F(Events, FireRunsHandlerThenTheCodeBracketedByHooks) {
    auto* ship = NewGameObject<TBaseGameObjectList>("ship", GlobalObjects);
    auto* list = NewGameObject<TGameEventList>("events", ship);
    auto* ev = NewGameObject<TGameEvent>("onHit", list);
    EXPECT_EQ(ship, ev->GetEventObj());
    EXPECT_EQ("{[[eventObj]],[[eventData]],[[event]],[[active]],}",
              Eval("engine_GetTable('ship.events.onHit')"));
    int handled = 0;
    ev->SetHandler([&](TEngineObject* obj, TEngineObject* data) {
        ++handled;
        EXPECT_EQ(ship, obj);
        EXPECT_EQ(nullptr, data);
    });

    // Blank code: only the handler runs.
    Run("engine_SetVar('ship.events.onHit', ' \\n\\t ')");
    {
        ChunkRecorder rec;
        Run("engine_Execute('ship.events.onHit')");
        EXPECT_TRUE(rec.chunks.empty());
    }
    EXPECT_EQ(1, handled);
    EXPECT_TRUE(ev->IsFired());

    Run("engine_SetVar('ship.events.onHit', '  x = tmp[1] \\n ')");
    EXPECT_EQ("  x = tmp[1] \n ", Eval("engine_GetVar('ship.events.onHit')"));
    ChunkRecorder rec;
    Run("engine_Execute('ship.events.onHit')");
    const std::string hex = ship->GetHex();
    EXPECT_EQ(
        (std::vector<std::string>{"tmp={}", "tmp[1]=\"" + hex + "\"",
                                  " setHook(\"->onHit->events->ship->_G\",[=[x = tmp[1]]=]); x = tmp[1]; "
                                  "emptyHook(); "}),
        rec.chunks);
    EXPECT_EQ(hex, Global("x"));
    EXPECT_EQ("x = tmp[1]", Eval("lastHookCode"));

    // Code ending in "]" or holding "]]" still makes a valid chunk; plain code keeps [[...]].
    Run("engine_SetVar('ship.events.onHit', 'z = 1')");
    rec.chunks.clear();
    Run("engine_Execute('ship.events.onHit')");
    EXPECT_EQ(" setHook(\"->onHit->events->ship->_G\",[[z = 1]]); z = 1; emptyHook(); ", rec.chunks.back());
    Run("engine_SetVar('ship.events.onHit', 'y = \"a]]b\"')");
    Run("engine_Execute('ship.events.onHit')");
    EXPECT_EQ("a]]b", Global("y"));
    EXPECT_EQ("y = \"a]]b\"", Eval("lastHookCode"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Events, ExecuteTakesObjectAndDataIds) {
    auto* a = NewGameObject<TBaseGameObjectList>("a", GlobalObjects);
    auto* ev = NewGameObject<TGameEvent>("ev", GlobalObjects); // no grandparent: no object
    EXPECT_EQ(nullptr, ev->GetEventObj());
    auto* other = NewGameObject<TBaseGameObject>("other", a);
    Run("engine_SetVar('ev', 'got1, got2 = tmp[1], tmp[2]')");
    Run("engine_Execute('ev')");
    EXPECT_EQ("", Global("got1"));
    Run("engine_Execute('ev', engine_GetHex('a.other'), engine_GetHex('a'))");
    EXPECT_EQ(other->GetHex(), Global("got1"));
    EXPECT_EQ(a->GetHex(), Global("got2"));
    EXPECT_THROW(Run("engine_Execute('ev', 'zz')"), Halted);
    EXPECT_EQ("Exception kws2i: _str=zz: TGameEvent.Execute error ->ev->_G", FirstFatal());
}

TEST_F(Events, ActivationQueuesOnTheListsAndFiresInOrder) {
    auto* o = NewGameObject<TBaseGameObjectList>("o", GlobalObjects);
    auto* evs = NewGameObject<TGameEventList>("events", o);
    std::vector<std::string> fired;
    auto make = [&](const char* name) {
        auto* e = NewGameObject<TonTick>(name, evs);
        e->SetHandler([&fired, name](TEngineObject*, TEngineObject* data) {
            fired.push_back(name);
            EXPECT_EQ(TickedObjects, data);
        });
        return e;
    };
    TonTick* a = make("a");
    TonTick* b = make("b");
    TonTick* c = make("c");
    a->Activate();
    a->Activate(); // already active: not queued twice
    b->Activate();
    Frame();
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), fired);

    // a leaves and c takes its slot before the walk: each fires once, in activation order.
    fired.clear();
    a->Deactivate();
    c->Activate();
    EXPECT_EQ(0, c->GetTickIndex());
    Frame();
    EXPECT_EQ((std::vector<std::string>{"b", "c"}), fired);
    // The same event out and in again before a walk also fires once.
    fired.clear();
    b->Deactivate();
    b->Activate();
    Frame();
    EXPECT_EQ((std::vector<std::string>{"c", "b"}), fired);

    // Deactivated during the walk: not fired again; deleted: dropped.
    fired.clear();
    c->SetHandler([&](TEngineObject*, TEngineObject*) {
        fired.push_back("c");
        b->Deactivate();
    });
    Frame();
    EXPECT_EQ((std::vector<std::string>{"c"}), fired);
    c->Delete();
    Frame();
    EXPECT_EQ(1u, fired.size());
    EXPECT_EQ(-1, TickedObjects->GetHighIndex());
    // A tick event's frame time is the list's.
    EXPECT_EQ(30.0f, TickedObjects->GetFrameTime());
}

TEST_F(Events, CreatedFiresOnceLoadOncePerActivation) {
    auto* o = NewGameObject<TBaseGameObjectList>("o", GlobalObjects);
    auto* evs = NewGameObject<TGameEventList>("events", o);
    int created = 0;
    int loaded = 0;
    auto* onCreated = NewGameObject<TonCreated>("onCreated", evs);
    onCreated->SetHandler([&](TEngineObject*, TEngineObject*) { ++created; });
    auto* onLoad = NewGameObject<TonLoad>("onLoad", evs);
    onLoad->SetHandler([&](TEngineObject*, TEngineObject*) { ++loaded; });
    onLoad->Activate();
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_EQ(1, created);
    EXPECT_EQ(1, loaded);
    onLoad->Activate();
    Frame();
    EXPECT_EQ(2, loaded);

    // A copy of an object is created again: its onCreated copy is active; the
    // template's plain event state stays its own.
    auto* tick = NewGameObject<TonTick>("t", evs);
    tick->Activate();
    Run("engine_AddVar('', 'copy', 'TBaseGameObjectList', 'o')");
    auto* copyCreated = dynamic_cast<TGameEvent*>(FindVarByPath("copy.events.onCreated"));
    ASSERT_NE(nullptr, copyCreated);
    EXPECT_TRUE(copyCreated->IsActive());
    EXPECT_FALSE(dynamic_cast<TGameEvent*>(FindVarByPath("copy.events.t"))->IsActive());
    EXPECT_TRUE(tick->IsActive());

    auto* plain = NewGameObject<TonDestroyed>("d", evs);
    EXPECT_THROW(plain->Activate(), Halted);
    EXPECT_EQ(Ru("TGameEvent.Activate error: попытка активизации обьекта ->d->events->o->_G "), FirstFatal());
}

TEST_F(Events, FailingHandlerSavesItsOwnerAndEndsTheProgram) {
    ErrorReportFolder = dir.path();
    const std::string oldLogFolder = LogFolder();
    SetLogFolder(dir.path());
    const bool oldLogEnabled = LogEnabled;
    LogEnabled = true;
    auto* ship = NewGameObject<TBaseGameObjectList>("ship", GlobalObjects);
    auto* hp = NewGameObject<TGameObjectIntParam>("hp", ship);
    hp->setValue(3);
    auto* evs = NewGameObject<TGameEventList>("events", ship);
    auto* ev = NewGameObject<TGameEvent>("onBoom", evs);
    ev->SetHandler([](TEngineObject*, TEngineObject*) { throw std::runtime_error("boom"); });
    EXPECT_THROW(ev->Fire(), Halted);
    EXPECT_EQ("Exception in the event object ->onBoom->events->ship->_G ", FirstFatal());
    std::ifstream errlog(dir / "errlog.txt");
    std::stringstream lines;
    lines << errlog.rdbuf();
    EXPECT_NE(std::string::npos, lines.str().find(": TGameEvent.Event: AV: onBoom"));
    SetLogFolder(oldLogFolder);
    LogEnabled = oldLogEnabled;
    // The report folder's backslash reaches the script intact.
    EXPECT_EQ(dir.path() + "\\last_AV_object.lua", Eval("savedFile"));
    EXPECT_EQ("3", Eval("(loadfile('" + dir.path() + "/last_AV_object.lua')() or exec_table.hp)"));
    EXPECT_TRUE(NoLuaErrors());

    trap.reports.clear();
    ev->SetHandler(nullptr);
    EXPECT_THROW(ev->Fire(), Halted);
    EXPECT_EQ(" TGameEvent.Event error:->onBoom->events->ship->_G fvalue not assigned", FirstFatal());
    ErrorReportFolder.clear();
}

TEST_F(Events, EventManagerAndPackedListCompact) {
    auto* mgr = NewGameObject<TGameEventManager>("mgr", GlobalObjects);
    auto* sub = NewGameObject<TBaseGameObjectList>("sub", mgr);
    for (const char* n : {"a", "b", "c"}) NewGameObject<TBaseGameObject>(n, sub);
    sub->FindChild("a")->Delete();
    EXPECT_EQ(3, sub->GetObjects()->Count());
    mgr->Tick(0.0f);
    EXPECT_EQ(2, sub->GetObjects()->Count());
    sub->FindChild("b")->Delete();
    PackedObjects->insertObj(sub);
    Frame();
    EXPECT_EQ(1, sub->GetObjects()->Count());
    EXPECT_EQ(0, PackedObjects->GetObjects()->Count());
    EXPECT_EQ(sub->FindChild("c"), sub->GetObjects()->At(0));
}

} // namespace
} // namespace vesk::test
