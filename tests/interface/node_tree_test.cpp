// The node tree: creation by class name, copies of patterns, lookups by name,
// properties, deferred release, the node cache, the colour table and the dump.
#include <gtest/gtest.h>

#include "interface/interface_fixture.h"
#include "platform/files.h"
#include "shared/class_manager.h"

namespace vesk::test {
namespace {

class NodeTreeTest : public InterfaceTest {};

TEST_F(NodeTreeTest, PatternCopiesAreDeepAndCarryTheChildNames) {
    TMegaButton* pattern = Add(root, "menuPattern");
    pattern->SetProperty("ONMOUSECLICK", "x=1");
    pattern->SetLeft(40);
    auto* caption = Add<TLabelNode>(pattern, "caption", "TLabelNode");
    caption->SetProperty("TEXT", "Hello");
    Add<TImageNode>(caption, "icon", "TImageNode");

    TSimpleNode* menu = root->CreateChild("TMegaButton", "menuPattern");
    ASSERT_NE(nullptr, menu);
    menu->SetProperty("NAME", "menu");
    EXPECT_EQ("TMegaButton", menu->ClassName());
    EXPECT_EQ(pattern, menu->Pattern());
    EXPECT_EQ("40", Prop(menu, "LEFT"));
    ASSERT_EQ(1, menu->ChildCount());
    TSimpleNode* copy = menu->GetChild(0);
    EXPECT_NE(caption, copy);
    EXPECT_EQ("caption", copy->Name());
    EXPECT_EQ("TLabelNode", copy->ClassName());
    EXPECT_EQ(menu, copy->Parent());
    EXPECT_EQ("Hello", Prop(copy, "TEXT"));
    ASSERT_EQ(1, copy->ChildCount());
    EXPECT_EQ("icon", copy->GetChild(0)->Name());
    EXPECT_EQ("TImageNode", copy->GetChild(0)->ClassName());

    TSimpleNode* plain = root->CreateChild("TMegaButton", "");
    EXPECT_EQ(0, plain->ChildCount());
    EXPECT_EQ(nullptr, plain->Pattern());
    EXPECT_EQ("", Prop(plain, "PATTERN"));
    // first=true puts the node before its siblings.
    TSimpleNode* front = root->CreateChild("TRectNode", "", true);
    EXPECT_EQ(front, root->GetChild(0));
}

TEST_F(NodeTreeTest, APatternCopiedIntoItsOwnSubtreeCopiesWhatWasThere) {
    TMegaButton* p = Add(root, "p");
    TMegaButton* c = Add(p, "c");
    Add(c, "leaf");
    // c gets a copy of p: p's child c (with its leaf) as it was before the copy began.
    TSimpleNode* inner = c->CreateChild("TMegaButton", "p");
    EXPECT_EQ(2, c->ChildCount());
    ASSERT_EQ(1, inner->ChildCount());
    EXPECT_EQ("c", inner->GetChild(0)->Name());
    EXPECT_EQ(1, inner->GetChild(0)->ChildCount());
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(NodeTreeTest, LookupsWalkDepthFirstAndMatchTheNodeItselfFirst) {
    TMegaButton* a = Add(root, "a");
    TMegaButton* deep = Add(a, "twin");
    Add(root, "twin");
    int status = -1;
    EXPECT_EQ(deep, root->ChildByName("twin", status, false, true));
    EXPECT_EQ(0, status);
    EXPECT_EQ(a, a->ChildByName("a", status, false, true));
    EXPECT_EQ(root, deep->FindInTree("desktop", true));
    EXPECT_EQ(deep, deep->FindInTree("twin", true));
    EXPECT_EQ(1, root->IndexOfChild("twin"));
    EXPECT_EQ(-1, root->IndexOfChild("nothing"));
    // Names compare with their letter case.
    EXPECT_EQ(nullptr, root->ChildByName("TWIN", status, true, true));
    EXPECT_EQ(0, status);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(NodeTreeTest, AMissedLookupIsALevelOneFaultWithATreeDump) {
    int status = 0;
    EXPECT_EQ(nullptr, root->ChildByName("ghost", status, false, true));
    EXPECT_EQ(2, status);
    ASSERT_EQ(1u, trap.reports.size());
    EXPECT_EQ("TSimpleNode.ChildByName fault: incorect name: ghost", trap.reports[0].text);
    EXPECT_EQ("m", trap.reports[0].flags);
    bool dumped = false;
    for (const std::string& f : platform::ListFolder(dir.path()))
        dumped |= f.rfind("DesktopTree_ALL_", 0) == 0;
    EXPECT_TRUE(dumped);
    // Without the report flag nothing is said.
    EXPECT_EQ(nullptr, root->ChildByName("ghost", status, false, false));
    EXPECT_EQ(0, status);
    EXPECT_EQ(1u, trap.reports.size());
}

TEST_F(NodeTreeTest, FatalTreeFaults) {
    Add(root, "one");
    struct Case {
        const char* name;
        std::function<void()> run;
        const char* text;
    } cases[] = {
        {"bad index", [&] { root->GetChild(1); }, "TSimpleNode.GetChild fault: incorect index: 1"},
        {"negative index", [&] { root->GetChild(-1); }, "TSimpleNode.GetChild fault: incorect index: -1"},
        {"missing pattern", [&] { root->CreateChild("TMegaButton", "nope"); },
         "TSimpleNode.CreateChild fault: pattern nope not found"},
        {"unknown set key", [&] { root->SetProperty("colour2", "1"); },
         "TSimpleNode.SetProperty fault: desktop, property: COLOUR2, value: 1"},
        {"unknown get key", [&] { Prop(root, "bogus"); },
         "TSimpleNode.GetProperty fault: desktop, property: BOGUS"},
        {"write-only handler", [&] { Prop(root, "ONMOUSECLICK"); },
         "TSimpleNode.GetProperty fault: desktop, property: ONMOUSECLICK"},
        {"unknown method", [&] { root->Execute("wobble"); },
         "TScriptNode.ExeMethod fault - unknow Method: WOBBLE"},
        {"bad integer", [&] { root->SetProperty("left", "ten"); },
         "TRectNode.SetProperty fault: control - desktop, property - LEFT, value - ten"},
        {"bad tick time", [&] { root->SetProperty("TICKTIME", "1.5"); },
         "TScriptNode.SetProperty fault: control - desktop, property - TICKTIME, value - 1.5"},
        {"bad fade time", [&] { root->SetProperty("ALPHATIME", "1s"); },
         "TOpacityNode.SetProperty fault: control - desktop, property - ALPHATIME, value - 1s"},
        {"bad flash time", [&] { root->SetProperty("flashtime", ""); },
         "TFlashNode.SetProperty fault: control - desktop, property - FLASHTIME, value - "},
        {"bad alpha", [&] { root->SetProperty("FRAMEALPHA", "x"); },
         "TPolygonNode.SetProperty fault: control - desktop, property - FRAMEALPHA, value - x"},
        {"bad image left", [&] { root->SetProperty("IMAGELEFT", "1.0"); },
         "TImageNode.SetProperty fault: control - desktop, property - IMAGELEFT, value - 1.0"},
        {"bad font size", [&] { root->SetProperty("FONTSIZE", "big"); },
         "TLabelNode.SetProperty fault: control - desktop, property - FONTSIZE, value - big"},
        {"bad angle", [&] { root->SetProperty("ANGLE", "half"); },
         "TTransformNode.SetProperty fault: control - desktop, property - ANGLE, value - half"},
        {"bad hot key", [&] { root->SetProperty("HOTKEY", "ctrl+F5"); },
         "THotKeyNode.SetHotKey fault - wrong param: ctrl+F5"},
        {"unknown class", [&] { root->CreateChild("TNoSuchNode", ""); },
         "Class \"TNoSuchNode\" is not registered with ClassManager"},
        {"colour index", [&] { SysColorTable->GetColor(10); },
         "TSysColorTable.GetColor fault: invalid color index - 10"},
        {"dead object", [&] { root->SetProperty("OBJPOINTER", "999999"); },
         "TActiveHelper.SetProperty: ( iobj as IEngineObject) = nil"},
    };
    for (const Case& c : cases) {
        trap.reports.clear();
        EXPECT_THROW(c.run(), Halted) << c.name;
        EXPECT_EQ(c.text, trap.lastFatal) << c.name;
    }
    EXPECT_EQ(1, root->ChildCount()); // no half-made node was left behind
}

// Each class takes its own keys and hands every other key, as the caller
// wrote it, on to its base class, up to the tree's root class: a class that
// kept a key from its bases would leave NAME or VISIBLE unset, or an unknown
// key unreported.
TEST_F(NodeTreeTest, EveryNodeClassHandsOtherKeysToItsBase) {
    int checked = 0;
    for (int i = 0; i < ClassManager.Count(); ++i) {
        const TClassRef& c = ClassManager.Item(i);
        if (!c.IsKind<TNodeKind>()) continue;
        SCOPED_TRACE(c.Name());
        TSimpleNode* n = root->CreateChild(c.Name(), "");
        ASSERT_NE(nullptr, n);
        EXPECT_TRUE(n->SetProperty("name", "probe"));
        EXPECT_EQ("probe", n->Name());
        if (TSensNode* s = n->AsSens()) {
            EXPECT_TRUE(n->SetProperty("Visible", "0"));
            EXPECT_FALSE(s->Visible());
        }
        trap.reports.clear();
        EXPECT_THROW(n->SetProperty("NoSuchKey", "1"), Halted);
        // Reported once, by the root class, whatever the classes between.
        ASSERT_EQ(1u, trap.reports.size());
        EXPECT_EQ("TSimpleNode.SetProperty fault: probe, property: NOSUCHKEY, value: 1", trap.lastFatal);
        root->DeleteChild("probe");
        ++checked;
    }
    EXPECT_GE(checked, 60);
    EXPECT_EQ(0, root->ChildCount());
}

TEST_F(NodeTreeTest, BasePropertiesByCaseInsensitiveKeys) {
    TMegaButton* parent = Add(root, "panel");
    TMegaButton* child = Add(parent, "Knob", "TMegaButton");
    Add(child, "x");
    struct Case {
        const char* key;
        const char* value;
    } cases[] = {
        {"NAME", "Knob"},
        {"name", "Knob"},
        {"parent", "panel"},
        {"Parent", "panel"},
        {"PATTERN", ""},
        {"CHILDCOUNT", "1"},
        {"childcount", "1"},
        {"VISIBLE", "1"},
        {"ENABLED", "1"},
        {"FOCUSED", "1"},
        {"TICKED", "1"},
        {"TICKTIME", "0"},
        {"ONTICK", ""},
        {"HOTKEY", ""},
        {"LEFT", "0"},
        {"ALPHATIME", "0"},
        {"FLASH", "0"},
        {"FLASHFREQUENCY", "0"},
        {"ANGLE", "3.14159274101257"},
        {"SCALE", "0"},
        {"TEXT", ""},
        {"IMAGE", ""},
        {"--", ""},
    };
    for (const Case& c : cases) {
        std::string v = "unset";
        EXPECT_TRUE(child->GetProperty(c.key, v)) << c.key;
        EXPECT_EQ(c.value, v) << c.key;
    }
    // Values keep their case; booleans are "1" and anything else.
    struct SetCase {
        const char* key;
        const char* value;
        const char* readKey;
        const char* expect;
    } sets[] = {
        {"name", "MiXed", "NAME", "MiXed"},       {"visible", "0", "VISIBLE", "0"},
        {"Visible", "1", "VISIBLE", "1"},         {"enabled", "yes", "ENABLED", "0"},
        {"TICKED", "0", "TICKED", "0"},           {"focused", "0", "FOCUSED", "0"},
        {"onTick", "a = 1", "ONTICK", "a = 1"},   {"TickTime", "250", "TICKTIME", "250"},
        {"width", "-5", "WIDTH", "-5"},           {"top", "$10", "TOP", "16"},
        {"ALPHAPAUSE", "30", "ALPHAPAUSE", "30"}, {"flashfrequency", "100", "FLASHFREQUENCY", "100"},
        {"scale", "1.5", "SCALE", "1.5"},         {"hotkey", "lalt+x", "HOTKEY", "lalt+x"},
        {"text", "Привет", "TEXT", "Привет"},
    };
    for (const SetCase& s : sets) {
        EXPECT_TRUE(child->SetProperty(s.key, s.value)) << s.key;
        EXPECT_EQ(s.expect, Prop(child, s.readKey)) << s.key;
    }
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(NodeTreeTest, ReleaseRenamesOnceQueuesOnceAndTakesTheChildren) {
    TMegaButton* a = Add(root, "a");
    TMegaButton* b = Add(a, "b");
    TMegaButton* c = Add(b, "c");
    const size_t before = LiveEngineObjectCount();
    a->Release();
    a->Release();
    EXPECT_EQ("_deleted_a", a->Name());
    EXPECT_EQ("_deleted_b", b->Name());
    EXPECT_EQ("_deleted_c", c->Name());
    EXPECT_EQ(0, a->ChildCount());
    EXPECT_EQ(nullptr, b->Parent());
    EXPECT_EQ(3, TEODestroyManager->QueueCount());
    // The button's own log line names it (after the rename).
    EXPECT_EQ("TMegaButton _deleted_a", TEODestroyManager->Log()[0]);
    int status = 0;
    EXPECT_EQ(nullptr, root->ChildByName("a", status, true, false));
    TEODestroyManager->Flush();
    EXPECT_EQ(before - 3, LiveEngineObjectCount());
    EXPECT_EQ(0, root->ChildCount());
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(NodeTreeTest, DeleteChildUnlinksAtOnceAndFreesAtTheFlush) {
    TMegaButton* menu = Add(root, "menu");
    TMegaButton* item = Add(menu, "item");
    TTestPoint* probe = Add<TTestPoint>(menu, "probe", "TTestPoint");
    root->DeleteChild("item");
    EXPECT_EQ(1, menu->ChildCount());
    EXPECT_EQ("_deleted_item", item->Name());
    // The parent may go first: the queued node no longer points at it.
    menu->Free();
    EXPECT_EQ(nullptr, item->Parent());
    EXPECT_EQ(0, root->ChildCount());
    // Classes derived from the button log their class name only.
    TTestPoint* marker = Add<TTestPoint>(root, "marker", "TTestPoint");
    marker->Release();
    EXPECT_EQ("TTestPoint", TEODestroyManager->Log().back());
    TEODestroyManager->Flush();
    EXPECT_EQ(0, root->ChildCount());
    (void)probe;
}

TEST_F(NodeTreeTest, APatternThatGoesAwayLeavesItsCopiesWithoutPattern) {
    Add(root, "pat");
    TSimpleNode* copy = root->CreateChild("TMegaButton", "pat");
    copy->SetProperty("NAME", "copy");
    EXPECT_EQ("pat", Prop(copy, "PATTERN"));
    root->DeleteChild("pat");
    TEODestroyManager->Flush();
    EXPECT_EQ(nullptr, copy->Pattern());
    EXPECT_EQ("", Prop(copy, "PATTERN"));
    int counter = 0;
    std::string text;
    DumpTree(root, text, 0, counter);
    EXPECT_EQ("addControl(\"desktop->copy\",\"TMegaButton\",{ }) \n", text);
}

TEST_F(NodeTreeTest, TheNodeCacheKeepsTwentyMostRecentFirst) {
    THashEngine cache;
    std::vector<TMegaButton*> nodes;
    for (int i = 0; i < 21; ++i) nodes.push_back(Add(root, "n" + std::to_string(i)));
    for (int i = 0; i < 20; ++i) cache.Add(nodes[static_cast<size_t>(i)]);
    EXPECT_EQ(nodes[0], cache.Find("n0")); // a hit changes places with the front
    EXPECT_EQ(nodes[0], cache.At(0));
    EXPECT_EQ(nodes[19], cache.At(19));
    cache.Add(nodes[20]);
    EXPECT_EQ(20, cache.Count());
    EXPECT_EQ(nodes[20], cache.At(0));
    EXPECT_EQ(nullptr, cache.Find("n19")); // the last entry was dropped
    cache.Remove(nodes[5]);
    EXPECT_EQ(nullptr, cache.Find("n5"));
    EXPECT_EQ(19, cache.Count());
    // A node that is freed leaves the tool object's cache.
    InterfaceTools->NodeCache().Add(nodes[3]);
    nodes[3]->Free();
    EXPECT_EQ(0, InterfaceTools->NodeCache().Count());
}

TEST_F(NodeTreeTest, ColourTable) {
    TSysColorTable t;
    EXPECT_EQ(10, t.Count());
    EXPECT_EQ(0x00000000u, t.GetColor(0));
    EXPECT_EQ(0xFF00FF00u, t.GetColor(2));
    EXPECT_EQ(0xFF7F7F7Fu, t.GetColor(9));
    struct Case {
        const char* text;
        uint32_t argb;
    } cases[] = {
        {"FF8000", 0xFFFF8000},  {"ff8000", 0xFFFF8000}, {"80FF8000", 0x80FF8000}, {"00112233", 0x00112233},
        {"1234567", 0x01234567}, {"zz", 0xFFFFFFFF},     {"", 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        t.SetColorValue(3, c.text);
        EXPECT_EQ(c.argb, t.GetColor(3)) << c.text;
    }
    t.SetColor(25, 0xFF123456); // past the end: appended
    EXPECT_EQ(11, t.Count());
    EXPECT_EQ(0xFF123456u, t.GetColor(10));
    t.SetColor(-1, 0xFFFFFFFF);
    EXPECT_EQ(11, t.Count());
}

TEST_F(NodeTreeTest, TreeDumpFileAndItsFilter) {
    TMegaButton* menu = Add(root, "menu");
    TMegaButton* hidden = Add(menu, "hidden");
    hidden->SetVisible(false);
    Add(hidden, "inner");
    TMegaButton* off = Add(menu, "off");
    off->SetEnabled(false);
    Add(off, "leaf");
    Add(root, "copy", "TMegaButton", "menu");

    const std::string file = DumpTreeToFile(root, "ALL");
    ASSERT_EQ(0u, file.rfind("DesktopTree_ALL_", 0));
    ASSERT_EQ(26u, file.size());
    EXPECT_EQ(std::string::npos, file.substr(16, 6).find_first_not_of("0123456789"));
    EXPECT_EQ(".txt", file.substr(22));
    std::string text;
    ASSERT_TRUE(platform::ReadFile(dir / file, text));
    EXPECT_EQ("-- Desktop controls list. WriteFlag = ALL\n"
              "addControl(\"desktop->menu\",\"TMegaButton\",{ }) \n"
              "\taddControl(\"menu->hidden\",\"TMegaButton\",{ \t}) \n"
              "\t\taddControl(\"hidden->inner\",\"TMegaButton\",{ \t\t}) \n"
              "\taddControl(\"menu->off\",\"TMegaButton\",{ \t}) \n"
              "\t\taddControl(\"off->leaf\",\"TMegaButton\",{ \t\t}) \n"
              "addControl(\"desktop->copy(menu)\",\"TMegaButton\",{ }) \n"
              "\taddControl(\"copy->hidden\",\"TMegaButton\",{ \t}) \n"
              "\t\taddControl(\"hidden->inner\",\"TMegaButton\",{ \t\t}) \n"
              "\taddControl(\"copy->off\",\"TMegaButton\",{ \t}) \n"
              "\t\taddControl(\"off->leaf\",\"TMegaButton\",{ \t\t}) \n"
              "-- Controls counter = 10\n",
              text);

    // Which nodes each write flag lets through (written / counted).
    struct Case {
        uint8_t flag;
        int count;
    } cases[] = {{0, 10}, {1, 2}, {2, 6}, {3, 2}, {4, 4}, {5, 6}, {6, 10}, {7, 0}};
    for (const Case& c : cases) {
        InterfaceTools->SetDumpWriteFlag(c.flag);
        int counter = 0;
        std::string out;
        DumpTree(root, out, 0, counter);
        EXPECT_EQ(c.count, counter) << int(c.flag);
    }
}

} // namespace
} // namespace vesk::test
