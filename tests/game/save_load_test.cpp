// Saving nodes as Lua text and loading them back: the exact text per
// parameter kind, values that need other quoting, and a large round trip.
#include <fstream>
#include <functional>
#include <sstream>

#include "game_tree_fixture.h"

namespace vesk::test {
namespace {

using SaveLoad = GameTreeTest;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every node below root as "path class value" lines, in tree order.
void Describe(TBaseGameObject* node, const std::string& path, std::string& out) {
    int32_t cursor;
    TBaseGameObject* child;
    node->First(cursor);
    while (node->Next(cursor, child)) {
        const std::string p = path + "/" + child->GetName();
        std::string value;
        // Values that are never saved (non-saved integers, free links) are left out.
        if ((dynamic_cast<TGameObjectBaseParam*>(child) &&
             !dynamic_cast<TGameObjectIntNonSavedParam*>(child)) ||
            dynamic_cast<TGameObjectParam*>(child) || dynamic_cast<TGameEvent*>(child))
            child->stringValue(value);
        out += p + " " + child->ClassName() + " " + value + "\n";
        Describe(child, p, out);
    }
}

struct KindCase {
    const char* fixture;
    std::function<void(TBaseGameObject* obj, TBaseGameObject* table)> build;
};

TEST_F(SaveLoad, SavedTextPerKindIsExact) {
    const KindCase cases[] = {
        {"sub_param",
         [](TBaseGameObject* o, TBaseGameObject*) {
             NewGameObject<TGameObjectSubParam>("speed", o)->setValue(1.5f);
             NewGameObject<TGameObjectCurSubParam>("level", o)->setValue(0.1f);
         }},
        {"int_param",
         [](TBaseGameObject* o, TBaseGameObject*) {
             NewGameObject<TGameObjectIntParam>("count", o)->setValue(-42);
             NewGameObject<TGameObjectIntNonSavedParam>("hidden", o)->setValue(5);
         }},
        {"string_param",
         [](TBaseGameObject* o, TBaseGameObject*) {
             NewGameObject<TGameObjectStringParam>("title", o)->setValue("Vega station");
             NewGameObject<TGameObjectStringParam>("empty", o);
             NewGameObject<TGameObjectStringParam>("open", o)->setValue("[");
             NewGameObject<TGameObjectStringParam>("close", o)->setValue("]");
         }},
        {"link_param",
         [](TBaseGameObject* o, TBaseGameObject* table) {
             auto* l = NewGameObject<TGameObjectLinkParam>("target", o);
             l->SetTable(table);
             l->setValue(NewGameObject<TBaseGameObject>("alpha", table));
             NewGameObject<TGameObjectLinkParam>("none", o)->SetTable(table);
             NewGameObject<TGameObjectFreeLink>("free", o)->setValue(table);
             NewGameObject<TGameObjectMethodParam>("method", o);
         }},
        {"vector_param",
         [](TBaseGameObject* o, TBaseGameObject*) {
             NewGameObject<TGameObjectVectorParam>("pos", o)->SetVector(1.0f, -2.5f, 1e20f);
             auto* mm = NewGameObject<TGameMinMaxParam>("range", o);
             mm->Min()->setValue(3.0f);
             mm->Max()->setValue(4.0f);
         }},
        {"param",
         [](TBaseGameObject* o, TBaseGameObject*) {
             auto* p = NewGameObject<TGameObjectParam>("hp", o);
             p->Max()->setValue(100.0f);
             p->Cur()->setValue(40.0f);
             p->Speed()->setValue(-2.0f);
         }},
        {"event",
         [](TBaseGameObject* o, TBaseGameObject*) {
             auto* e = NewGameObject<TGameEvent>("onHit", NewGameObject<TGameEventList>("events", o));
             e->stringUpdate("hits = hits + 1");
         }},
    };
    auto* table = NewGameObject<TBaseGameObjectList>("table", GlobalObjects);
    Run("saveData = function(path, file) savedFile = file end");
    for (const KindCase& c : cases) {
        auto* obj = NewGameObject<TBaseGameObjectList>("obj", GlobalObjects);
        c.build(obj, table);
        ChunkRecorder rec;
        obj->saveData("saves\\obj.lua");
        EXPECT_EQ(ReadText(std::string(VESK_TEST_DATA_DIR) + "/game/saves/" + c.fixture + ".txt"),
                  rec.Joined())
            << c.fixture;
        obj->Delete();
        Frame();
    }
    // The backslash of the file name reached the script as written.
    EXPECT_EQ("saves\\obj.lua", Global("savedFile"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(SaveLoad, AwkwardValuesAndNamesComeBackUnchanged) {
    const char* values[] = {"a]]b", "[[x]]", "ends]", "]=]", "\nlead", "cr\r\nlf", "q\"uote\\"};
    auto* obj = NewGameObject<TBaseGameObjectList>("obj", GlobalObjects);
    int i = 0;
    for (const char* v : values)
        NewGameObject<TGameObjectStringParam>("s" + std::to_string(i++), obj)->setValue(v);
    // Names that are not Lua identifiers, and one with quotes and backslashes.
    NewGameObject<TGameObjectIntParam>("has space", obj)->setValue(7);
    NewGameObject<TGameObjectIntParam>("1st", obj)->setValue(8);
    NewGameObject<TGameObjectIntParam>("q\"\\n", obj)->setValue(9);
    const std::string file = dir / "awk\"ward.lua";
    obj->saveData(file);

    auto* back = NewGameObject<TBaseGameObjectList>("back", GlobalObjects);
    i = 0;
    for (const char* v : values) {
        (void)v;
        NewGameObject<TGameObjectStringParam>("s" + std::to_string(i++), back);
    }
    for (const char* n : {"has space", "1st", "q\"\\n"}) NewGameObject<TGameObjectIntParam>(n, back);
    back->loadData(file);
    EXPECT_EQ("back", Global("loadedPath"));
    // A path with quotes and backslashes reaches the script as it is.
    auto* odd = NewGameObject<TBaseGameObjectList>("we\"ird\\", GlobalObjects);
    odd->saveData(dir / "odd.lua");
    EXPECT_EQ("we\"ird\\", Global("savedPath"));
    std::string a, b;
    Describe(obj, "", a);
    Describe(back, "", b);
    EXPECT_EQ(a, b);
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(SaveLoad, KeysMissingFromAnOlderFileLeaveValuesAlone) {
    auto* obj = NewGameObject<TBaseGameObjectList>("obj", GlobalObjects);
    NewGameObject<TGameObjectIntParam>("old", obj)->setValue(1);
    obj->saveData(dir / "old.lua");
    auto* added = NewGameObject<TGameObjectIntParam>("added", obj);
    added->setValue(5);
    auto* addedF = NewGameObject<TGameObjectSubParam>("addedF", obj);
    addedF->setValue(2.5f);
    auto* addedS = NewGameObject<TGameObjectStringParam>("addedS", obj);
    addedS->setValue("keep");
    static_cast<TGameObjectIntParam*>(obj->FindChild("old"))->setValue(3);
    obj->loadData(dir / "old.lua");
    EXPECT_EQ(1, static_cast<TGameObjectIntParam*>(obj->FindChild("old"))->GetValue());
    EXPECT_EQ(5, added->GetValue());
    EXPECT_EQ(2.5f, addedF->GetValue());
    EXPECT_EQ("keep", addedS->GetValue());
    EXPECT_EQ("", FirstFatal());
}

TEST_F(SaveLoad, ScriptsSaveLoadAndMirrorByPath) {
    Run("engine_AddVar('', 'ship', 'TBaseGameObjectList') engine_AddVar('ship', 'hp', 'TGameObjectParam')");
    Run("engine_AddVar('ship', 'name', 'TGameObjectStringParam') engine_SetVar('ship.name', 'Kite')");
    Run("engine_SetVar('ship.hp.max', '10') engine_SetVar('ship.hp', '7')");
    Run("engine_UpdateToScript('ship', 'mirror')");
    EXPECT_EQ("TBaseGameObjectList", Eval("mirror.engineType"));
    EXPECT_EQ("7", Eval("mirror.hp.cur"));
    EXPECT_EQ("Kite", Eval("mirror.name"));
    Run("mirror.hp.cur = 3 mirror.name = 'Lark' engine_UpdateToEngine('ship', 'mirror')");
    EXPECT_EQ("3", Eval("engine_GetVar('ship.hp')"));
    EXPECT_EQ("Lark", Eval("engine_GetVar('ship.name')"));

    Run("DIR = " + LuaQuote(dir.path()));
    Run("engine_SaveToFile('ship', DIR .. '/ship.lua')");
    EXPECT_EQ("ship", Global("savedPath"));
    Run("engine_SetVar('ship.hp', '1') engine_SetVar('ship.name', 'x')");
    Run("engine_LoadFromFile('ship', DIR .. '/ship.lua')");
    EXPECT_EQ("3", Eval("engine_GetVar('ship.hp')"));
    EXPECT_EQ("Lark", Eval("engine_GetVar('ship.name')"));
    EXPECT_TRUE(NoLuaErrors());
}

// A tree of n nodes with every parameter kind; values only when filled.
void BuildTree(TBaseGameObject* root, TBaseGameObject* table, int n, bool filled) {
    int made = 0;
    for (int g = 0; made < n; ++g) {
        auto* group = NewGameObject<TBaseGameObjectList>("g" + std::to_string(g), root);
        ++made;
        const float f = static_cast<float>(g) * 0.37f - 11.0f;
        auto* sub = NewGameObject<TGameObjectSubParam>("f", group);
        auto* cur = NewGameObject<TGameObjectCurSubParam>("c", group);
        auto* in = NewGameObject<TGameObjectIntParam>("i", group);
        auto* ns = NewGameObject<TGameObjectIntNonSavedParam>("n", group);
        auto* str = NewGameObject<TGameObjectStringParam>("s", group);
        auto* vec = NewGameObject<TGameObjectVectorParam>("v", group);
        auto* mm = NewGameObject<TGameMinMaxParam>("mm", group);
        auto* par = NewGameObject<TGameObjectParam>("p", group);
        auto* link = NewGameObject<TGameObjectLinkParam>("l", group);
        link->SetTable(table);
        auto* ev = NewGameObject<TGameEvent>("e", group);
        made += 10 + 3 + 2 + 4 + 1 + 4; // the nodes above and their own children
        if (!filled) continue;
        sub->setValue(f);
        cur->setValue(f * 3.0f);
        in->setValue(g * 7 - 100);
        ns->setValue(g);
        str->setValue(g % 5 == 0 ? "a]]b" + std::to_string(g) : "name " + std::to_string(g));
        vec->SetVector(f, -f, f * 1e6f);
        mm->Min()->setValue(-f);
        mm->Max()->setValue(f * 0.001f);
        par->Max()->setValue(1000.0f);
        par->Cur()->setValue(static_cast<float>(g % 1000));
        par->Speed()->setValue(f);
        link->setValue(table->FindChild("t" + std::to_string(g % 10)));
        ev->stringUpdate("x = " + std::to_string(g));
    }
}

TEST_F(SaveLoad, TenThousandNodesRoundTrip) {
    auto* table = NewGameObject<TBaseGameObjectList>("table", GlobalObjects);
    for (int i = 0; i < 10; ++i) NewGameObject<TBaseGameObject>("t" + std::to_string(i), table);
    auto* a = NewGameObject<TBaseGameObjectList>("a", GlobalObjects);
    BuildTree(a, table, 10000, true);
    a->saveData(dir / "big.lua");
    auto* b = NewGameObject<TBaseGameObjectList>("b", GlobalObjects);
    BuildTree(b, table, 10000, false);
    b->loadData(dir / "big.lua");
    std::string da, db;
    Describe(a, "", da);
    Describe(b, "", db);
    EXPECT_GT(std::count(da.begin(), da.end(), '\n'), 10000);
    EXPECT_EQ(da, db);
    EXPECT_TRUE(NoLuaErrors());
}

} // namespace
} // namespace vesk::test
