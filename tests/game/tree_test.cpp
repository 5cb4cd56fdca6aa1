// The game-object tree through its engine functions: paths, creation, lookup,
// re-parenting, deletion and the fatal reports of each handler.
#include "game_tree_fixture.h"

namespace vesk::test {
namespace {

using GameTree = GameTreeTest;

TEST_F(GameTree, CreatesFindsAndDeletesByPath) {
    Run("engine_AddVar('', 'ship', 'TBaseGameObjectList')");
    Run("engine_AddVar('ship', 'params', 'TBaseGameObjectList')");
    Run("engine_AddVar('ship.params', 'name', 'TGameObjectStringParam')");
    Run("engine_SetVar('ship.params.name', 'Vega')");
    EXPECT_EQ("Vega", Eval("engine_GetVar('ship.params.name')"));
    EXPECT_EQ("1", Eval("engine_IsVar('ship.params.name')"));
    EXPECT_EQ("0", Eval("engine_IsVar('ship.params.none')"));
    EXPECT_EQ("0", Eval("engine_IsVar('nothere.params')"));

    TBaseGameObject* node = FindVarByPath("ship.params.name");
    ASSERT_NE(nullptr, node);
    EXPECT_EQ("ship.params.name", GetLuaPath(node));
    EXPECT_EQ("->name->params->ship->_G", GetDebugPath(node));
    EXPECT_EQ("ship.params.name", Eval("engine_GetPath(engine_GetHex('ship.params.name'))"));
    EXPECT_EQ("name", Eval("engine_GetId(engine_GetHex('ship.params.name'))"));
    EXPECT_EQ(node->GetHex(), Eval("engine_GetHex('ship.params.name')"));

    // Gone for lookups at once, freed by the deleted list's next tick.
    const int32_t id = node->GetId();
    Run("engine_DelVar('ship.params.name')");
    EXPECT_EQ("0", Eval("engine_IsVar('ship.params.name')"));
    EXPECT_NE(nullptr, FindEngineObjectById(id));
    Frame();
    EXPECT_EQ(nullptr, FindEngineObjectById(id));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(GameTree, AddVarPicksTheClassFromArgumentsOrTheParent) {
    Run("engine_AddVar('', 'plain')");
    EXPECT_EQ(&TBaseGameObject::StaticClass(), &FindVarByPath("plain")->GameClass());
    Run("engine_AddVar('', 'lst', 'TBaseGameObjectList')");
    FindVarByPath("lst")->SetDefaultChildClass(&TGameObjectIntParam::StaticClass());
    Run("engine_AddVar('lst', 'n')");
    EXPECT_EQ(&TGameObjectIntParam::StaticClass(), &FindVarByPath("lst.n")->GameClass());
    // Class names are found in any letter case.
    Run("engine_AddVar('lst', 'v', 'tgameobjectvectorparam')");
    EXPECT_EQ("0", Eval("engine_GetVar('lst.v.x')"));

    EXPECT_THROW(Run("engine_AddVar('lst', 'w', 'TNoSuchClass')"), Halted);
    EXPECT_EQ("Class \"TNoSuchClass\" is not registered with ClassManager", FirstFatal());
}

TEST_F(GameTree, AddVarCopiesATemplateStructureWithValues) {
    Run("engine_AddVar('', 'tpl', 'TBaseGameObjectList')");
    Run("engine_AddVar('tpl', 'hp', 'TGameObjectParam')");
    Run("engine_SetVar('tpl.hp.max', '50') engine_SetVar('tpl.hp', '40')");
    Run("engine_AddVar('tpl', 'tag', 'TGameObjectStringParam') engine_SetVar('tpl.tag', 'x')");
    Run("engine_AddVar('', 'copy', 'TBaseGameObjectList', 'tpl')");
    EXPECT_EQ("40", Eval("engine_GetVar('copy.hp')"));
    EXPECT_EQ("50", Eval("engine_GetVar('copy.hp.max')"));
    EXPECT_EQ("x", Eval("engine_GetVar('copy.tag')"));
    // Copying a node into its own subtree ends (the new node is not copied into itself).
    Run("engine_AddVar('tpl', 'inner', 'TBaseGameObjectList', 'tpl')");
    EXPECT_EQ("40", Eval("engine_GetVar('tpl.inner.hp')"));
    EXPECT_EQ("0", Eval("engine_IsVar('tpl.inner.inner')"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(GameTree, LastOfSeveralEqualNamesWinsAndFreedSlotsAreReused) {
    Run("engine_AddVar('', 'l', 'TBaseGameObjectList')");
    for (const char* n : {"a", "dup", "b", "dup", "c"})
        Run(std::string("engine_AddVar('l', '") + n + "', 'TGameObjectIntParam')");
    TBaseGameObject* l = FindVarByPath("l");
    TBaseGameObject* second = l->GetObjects()->At(3);
    EXPECT_EQ(second, l->FindChild("dup"));
    Run("engine_SetVar('l.dup', '7')");
    EXPECT_EQ(7, static_cast<TGameObjectIntParam*>(second)->GetValue());

    // The winner leaves: the other one is found again.
    TBaseGameObject* first = l->GetObjects()->At(1);
    second->SetParent(nullptr);
    EXPECT_EQ(first, l->FindChild("dup"));
    // Its slot is the next one filled, and a renamed child is found by its new name.
    Run("engine_AddVar('l', 'dup', 'TGameObjectIntParam')");
    EXPECT_EQ(3, l->FindChild("dup")->GetIndexInParent());
    first->SetName("renamed");
    EXPECT_EQ(first, l->FindChild("renamed"));
    EXPECT_EQ(3, l->FindChild("dup")->GetIndexInParent());
    EXPECT_EQ("{[[a]],[[renamed]],[[b]],[[dup]],[[c]],}", Eval("engine_GetTable('l')"));
    second->Delete();
}

// A remembered lookup answers as a fresh one does after every kind of change
// to the list it was made in.
TEST_F(GameTree, RememberedLookupsFollowTheirList) {
    auto* l = NewGameObject<TBaseGameObjectList>("l", GlobalObjects);
    auto* other = NewGameObject<TBaseGameObjectList>("other", GlobalObjects);
    TChildRef<TBaseGameObject> ref;
    TChildRef<TGameObjectIntParam> typed;
    auto check = [&](const char* step) {
        EXPECT_EQ(l->FindChild("dup"), ref.Find(l, "dup")) << step;
        EXPECT_EQ(dynamic_cast<TGameObjectIntParam*>(l->FindChild("dup")), typed.Find(l, "dup")) << step;
    };
    check("empty");
    auto* first = NewGameObject<TGameObjectIntParam>("dup", l);
    check("added");
    NewGameObject<TBaseGameObject>("x", l);
    auto* second = NewGameObject<TBaseGameObject>("dup", l); // a higher slot wins, and is no int
    check("a winner of another class");
    second->SetParent(nullptr);
    check("the winner left");
    first->SetName("renamed");
    check("renamed away");
    second->SetName("dup");
    second->SetParent(l); // into the freed slot below "x"
    check("back in a lower slot");
    l->Pack();
    check("packed");
    second->Delete();
    check("deleted");
    EXPECT_EQ(nullptr, ref.Find(other, "dup")) << "asked of another node";
    auto* theirs = NewGameObject<TBaseGameObject>("dup", other);
    EXPECT_EQ(theirs, ref.Find(other, "dup"));
    EXPECT_EQ(nullptr, ref.Find(static_cast<TBaseGameObject*>(nullptr), "dup"));
    // In a queue renames go untold: its lookups are never remembered.
    auto* queued = NewGameObject<TBaseGameObject>("q", GlobalObjects);
    l->insertObj(queued);
    TChildRef<TBaseGameObject> inQueue;
    EXPECT_EQ(queued, inQueue.Find(l, "q"));
    queued->SetName("gone");
    EXPECT_EQ(nullptr, inQueue.Find(l, "q"));
    Frame();
}

TEST_F(GameTree, GetTableListsChildrenInLongBrackets) {
    Run("engine_AddVar('', 'e', 'TBaseGameObjectList')");
    EXPECT_EQ("{}", Eval("engine_GetTable('e')"));
    Run("engine_AddVar('e', 'one') engine_AddVar('e', 'a]]b')");
    Run("t = loadstring('return ' .. engine_GetTable('e'))()");
    EXPECT_EQ("one", Eval("t[1]"));
    EXPECT_EQ("a]]b", Eval("t[2]"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(GameTree, SetParentMovesNodesAndRefusesCycles) {
    Run("engine_AddVar('', 'a', 'TBaseGameObjectList') engine_AddVar('a', 'b', 'TBaseGameObjectList')");
    Run("engine_AddVar('a.b', 'c', 'TBaseGameObjectList') engine_AddVar('', 'z', 'TBaseGameObjectList')");
    Run("engine_SetParent('a.b', 'z')");
    EXPECT_EQ("1", Eval("engine_IsVar('z.b.c')"));
    EXPECT_EQ("0", Eval("engine_IsVar('a.b')"));

    // Under itself or its own descendant: refused and reported, the tree unchanged.
    Run("engine_SetParent('z', 'z.b.c')");
    Run("engine_SetParent('z', 'z')");
    EXPECT_EQ("1", Eval("engine_IsVar('z.b.c')"));
    EXPECT_EQ("z", GetLuaPath(FindVarByPath("z")));
    EXPECT_TRUE(trap.HasReport(
        "TBaseGameObject.SetParent error: cycle - Self Path: ->z->_G ParentPath: ->c->b->z->_G"));
    EXPECT_EQ("", FirstFatal());
}

TEST_F(GameTree, ParentWithoutChildrenListLeavesNoStaleSlot) {
    Run("engine_AddVar('', 'l', 'TBaseGameObjectList') engine_AddVar('l', 'n', 'TGameObjectIntParam')");
    Run("engine_AddVar('', 'p', 'TGameObjectIntParam') engine_AddVar('', 'm', 'TBaseGameObjectList')");
    TBaseGameObject* n = FindVarByPath("l.n");
    Run("engine_SetParent('l.n', 'p')");
    EXPECT_TRUE(trap.HasReport("TBaseGameObject.SetParent - _parent.objects=nil - Self Path: ->n->l->_G "
                               "ParentPath: ->p->_G"));
    EXPECT_EQ(-1, n->GetIndexInParent());
    // The freed slot is reused; moving n on must leave its new occupant alone.
    Run("engine_AddVar('l', 'k', 'TGameObjectIntParam')");
    n->SetParent(FindVarByPath("m"));
    EXPECT_EQ("1", Eval("engine_IsVar('l.k')"));
    EXPECT_EQ(n, FindVarByPath("m.n"));
}

TEST_F(GameTree, PackKeepsTheChildrenSlotsTrue) {
    Run("engine_AddVar('', 'l', 'TBaseGameObjectList')");
    for (const char* n : {"a", "b", "c", "d"}) Run(std::string("engine_AddVar('l', '") + n + "')");
    Run("engine_DelVar('l.a') engine_DelVar('l.c')");
    TBaseGameObject* l = FindVarByPath("l");
    l->Pack();
    EXPECT_EQ(2, l->GetObjects()->Count());
    // After packing, moving d away must empty d's slot, not b's.
    Run("engine_AddVar('', 'm', 'TBaseGameObjectList') engine_SetParent('l.d', 'm')");
    EXPECT_EQ("1", Eval("engine_IsVar('l.b')"));
    EXPECT_EQ("{[[b]],}", Eval("engine_GetTable('l')"));
}

TEST_F(GameTree, HandlerFaultsAreFatalWithTheirTexts) {
    Run("engine_AddVar('', 'o')");
    struct Case {
        const char* chunk;
        std::string fatal;
    };
    const Case cases[] = {
        {"engine_SetVar('o')", "engine_SetVar error: lua_gettop(L)<>2"},
        {"engine_GetVar('o.x')", Ru("engine_GetVar error: элемента o.x не существует")},
        {"engine_Execute('q')", Ru("engine_Execute error: элемента q не существует")},
        {"engine_DelVar('o.x.y')", "TBaseGameObject.Get error: objPath:->o->_G _id:x Self.id:o"},
        {"engine_SetVar('o', '1')",
         Ru("TBaseGameObject.stringUpdate error: попытка инициализации обьекта ->o->_G "
            ",класса TBaseGameObject ,без переопределения процедуры апдейта")},
        {"engine_GetVar('o')", Ru("TBaseGameObject.stringValue error: попытка запроса данных обьекта ->o->_G "
                                  ",класса TBaseGameObject ,без переопределения процедуры запроса")},
        {"engine_Execute('o')", Ru("TBaseGameObject.Execute error: ->o->_G ,класс TBaseGameObject - попытка "
                                   "запустить не перегруженный Execute")},
        {"engine_GetPath('1z')", "Exception kws2i: _str=1z: engine_GetPath error:"},
        {"engine_GetId('999999')", "Exception kws2i: _str=999999: engine_GetPath error:"},
        {"engine_SpawnVar('o', '', 'n')", "engine_SpawnVar error: AV"},
    };
    for (const Case& c : cases) {
        trap.reports.clear();
        EXPECT_THROW(Run(c.chunk), Halted) << c.chunk;
        EXPECT_EQ(c.fatal, FirstFatal()) << c.chunk;
        EXPECT_EQ("mhl", trap.reports.empty() ? "" : trap.reports.front().flags) << c.chunk;
    }
}

TEST_F(GameTree, OtherOperationsReportTheirOwnFaults) {
    auto* a = NewGameObject<TBaseGameObjectList>("a", GlobalObjects);
    auto* b = NewGameObject<TBaseGameObject>("b", a);
    EXPECT_EQ(a, b->getParentByClass(TBaseGameObjectList::StaticClass()));
    EXPECT_THROW(b->getParentByClass(TGameEvent::StaticClass()), Halted);
    EXPECT_EQ(Ru("TBaseGameObject.getParentByClass error: у обьекта ->b->a->_G не обнаружено предков класса "
                 "TGameEvent"),
              FirstFatal());
    trap.reports.clear();
    EXPECT_THROW(b->singleValue(), Halted);
    EXPECT_EQ(
        Ru("TBaseGameObject.singleValue error: обьект ->b->a->_G класса TBaseGameObject не поддерживает "
           "этот метод!"),
        FirstFatal());
    trap.reports.clear();
    EXPECT_THROW(b->Save(), Halted);
    EXPECT_EQ("TBaseGameObject.Save error: You need to override this! Class: TBaseGameObject", FirstFatal());

    b->AppendIdToName();
    EXPECT_EQ("b" + b->GetHex(), b->GetName());
    EXPECT_EQ(b, a->FindChild("b" + b->GetHex()));
    EXPECT_EQ(1, a->CountChildren());
    a->DeleteChildren();
    EXPECT_EQ(0, a->CountChildren());
}

} // namespace
} // namespace vesk::test
