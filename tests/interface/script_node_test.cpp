// Input routing through the tree and the Lua handlers of script nodes.
#include <gtest/gtest.h>

#include "interface/interface_fixture.h"

namespace vesk::test {
namespace {

class ScriptNodeTest : public InterfaceTest {};

TEST_F(ScriptNodeTest, AClickRunsTheHandlerWithItsNodeInSlf) {
    TMegaButton* ok = Button(root, "okButton", 100, 100, 80, 20);
    ok->SetProperty("onMouseClick", "clicks = (clicks or 0) + 1; who = slf");
    ok->SetProperty("ONMOUSEDOWN", "trail = (trail or '') .. 'd'");
    ok->SetProperty("ONLMOUSEUP", "trail = (trail or '') .. 'u'");
    ok->SetProperty("ONMOUSEUP", "trail = (trail or '') .. 'U'");
    Click(120, 110);
    EXPECT_EQ("1", Global("clicks"));
    EXPECT_EQ("okButton", Global("who"));
    EXPECT_EQ("okButton", InterfaceTools->CurrentNodeName());
    EXPECT_EQ("dUu", Global("trail")); // the click before the up handlers
    // Outside the rectangle (right and bottom edges exclusive) nothing runs.
    Click(180, 110);
    Click(120, 120);
    EXPECT_EQ("1", Global("clicks"));
    // A name that would break a quoted Lua string still reaches slf unchanged.
    ok->SetProperty("NAME", "say \"hi\"\\");
    Click(100, 100);
    EXPECT_EQ("say \"hi\"\\", Global("who"));
}

TEST_F(ScriptNodeTest, DoubleClickPressMoveOffAndOverlap) {
    TMegaButton* a = Button(root, "a", 0, 0, 100, 100);
    TMegaButton* b = Button(root, "b", 50, 50, 100, 100);
    for (TMegaButton* n : {a, b}) {
        n->SetProperty("ONMOUSECLICK", "last = 'click ' .. slf");
        n->SetProperty("ONMOUSEDBLCLICK", "last = 'dbl ' .. slf");
    }
    // Overlapping siblings: the later one takes the press.
    Click(75, 75);
    EXPECT_EQ("click b", Global("last"));
    desktop.doubleClick = true;
    Click(20, 20);
    EXPECT_EQ("dbl a", Global("last"));
    desktop.doubleClick = false;

    // Press on a, move off it, release elsewhere: no click.
    Lua("last = nil");
    desktop.cursor = {20, 20};
    DispatchMouseMove(root, 20, 20);
    EXPECT_EQ(a, DispatchMouseButton(root, 20, 20, 0, 0));
    EXPECT_TRUE(a->Pressed());
    desktop.cursor = {300, 300};
    DispatchMouseMove(root, 300, 300);
    EXPECT_FALSE(a->Pressed());
    desktop.cursor = {20, 20};
    DispatchMouseMove(root, 20, 20);
    DispatchMouseButton(root, 20, 20, 1, 0);
    EXPECT_EQ("", Global("last"));

    // Hidden or disabled nodes take nothing, nor do their children.
    TMegaButton* inner = Button(a, "inner", 0, 0, 10, 10);
    a->SetEnabled(false);
    desktop.cursor = {5, 5};
    EXPECT_EQ(root, DispatchMouseButton(root, 5, 5, 0, 0));
    a->SetEnabled(true);
    EXPECT_EQ(inner, DispatchMouseButton(root, 5, 5, 0, 0));
}

TEST_F(ScriptNodeTest, HoverRunsOverMoveAndOutOnEveryVisibleNode) {
    TMegaButton* panel = Button(root, "panel", 100, 100, 200, 200);
    TMegaButton* knob = Button(panel, "knob", 10, 10, 20, 20); // 110..130 on screen
    for (TMegaButton* n : {panel, knob}) {
        n->SetProperty("ONMOUSEOVER", "log = (log or '') .. '+' .. slf .. ' '");
        n->SetProperty("ONMOUSEOUT", "log = (log or '') .. '-' .. slf .. ' '");
    }
    knob->SetProperty("ONMOUSEMOVE", "moves = (moves or 0) + 1");
    auto move = [&](int x, int y) {
        desktop.cursor = {x, y};
        DispatchMouseMove(root, x, y);
    };
    move(115, 115);
    move(116, 116);
    move(200, 200);
    move(10, 10);
    EXPECT_EQ("+panel +knob -knob -panel ", Global("log"));
    EXPECT_EQ("2", Global("moves"));
    EXPECT_FALSE(knob->Hovered());
}

TEST_F(ScriptNodeTest, MouseWheelGoesToNodesThatWantIt) {
    TMegaButton* list = Button(root, "list", 0, 0, 300, 300);
    Button(list, "row", 0, 0, 300, 20); // no wheel handlers: the list takes it
    list->SetProperty("ONMOUSEWHEELUP", "wheel = 'up'");
    list->SetProperty("ONMOUSEWHEELDOWN", "wheel = 'down'");
    desktop.cursor = {10, 10};
    EXPECT_EQ(list, DispatchMouseWheel(root, 120));
    EXPECT_EQ("up", Global("wheel"));
    EXPECT_EQ(list, DispatchMouseWheel(root, -120));
    EXPECT_EQ("down", Global("wheel"));
    EXPECT_EQ(list, DispatchMouseWheel(root, 0));
    EXPECT_EQ("down", Global("wheel"));
}

TEST_F(ScriptNodeTest, HotKeysNeedTheirExactModifiers) {
    TMegaButton* save = Add(root, "save");
    save->SetProperty("HOTKEY", "F5");
    save->SetProperty("ONKEYDOWN", "saved = (saved or 0) + 1");
    save->SetProperty("ONKEYUP", "released = 1");
    TMegaButton* other = Add(root, "other");
    other->SetProperty("HOTKEY", "LSHIFT+F5");
    other->SetProperty("ONKEYDOWN", "shifted = 1");

    EXPECT_EQ(save, DispatchKey(root, 63, 0));
    EXPECT_EQ("1", Global("saved"));
    desktop.modifiers = 32 | 64; // left Shift held
    EXPECT_EQ(other, DispatchKey(root, 63, 0));
    EXPECT_EQ("1", Global("saved"));
    EXPECT_EQ("1", Global("shifted"));
    desktop.modifiers = 0;
    EXPECT_EQ(nullptr, DispatchKey(root, 64, 0));
    EXPECT_EQ(save, DispatchKey(root, 63, 1));
    EXPECT_EQ("1", Global("released"));
    // Keys reach hidden nodes, not disabled ones.
    save->SetVisible(false);
    EXPECT_EQ(save, DispatchKey(root, 63, 0));
    save->SetEnabled(false);
    EXPECT_EQ(nullptr, DispatchKey(root, 63, 0));
}

TEST_F(ScriptNodeTest, TickTimesAndTheTickedFlag) {
    TMegaButton* slow = Add(root, "slow");
    slow->SetProperty("TICKTIME", "500");
    slow->SetProperty("ONTICK", "slow = (slow or 0) + 1");
    TMegaButton* fast = Add(root, "fast");
    fast->SetProperty("ONTICK", "fast = (fast or 0) + 1");
    TMegaButton* child = Add(fast, "child");
    child->SetProperty("ONTICK", "child = (child or 0) + 1");
    for (int i = 0; i < 10; ++i) TickTree(root, 100);
    EXPECT_EQ("2", Global("slow"));
    EXPECT_EQ("10", Global("fast"));
    EXPECT_EQ("10", Global("child"));
    // Hidden nodes tick; an unticked node and its children do not.
    fast->SetVisible(false);
    TickTree(root, 100);
    EXPECT_EQ("11", Global("fast"));
    fast->SetTicked(false);
    TickTree(root, 100);
    EXPECT_EQ("11", Global("fast"));
    EXPECT_EQ("11", Global("child"));
}

TEST_F(ScriptNodeTest, ExecuteRunsHandlersAndMethods) {
    TMegaButton* n = Add(root, "n");
    n->SetProperty("ONTICK", "ran = slf");
    n->Execute("onTick");
    EXPECT_EQ("n", Global("ran"));
    n->SetProperty("ALPHATIME", "100");
    n->SetVisible(false);
    n->Execute("fadein");
    EXPECT_TRUE(n->Fading());
}

TEST_F(ScriptNodeTest, CopiesCarryHandlersHotKeysAndFlags) {
    TMegaButton* p = Add(root, "p");
    p->SetProperty("ONMOUSECLICK", "x = 1");
    p->SetProperty("ONTICK", "t = 1");
    p->SetProperty("HOTKEY", "RALT+Q");
    p->SetProperty("TICKTIME", "300");
    p->SetProperty("ENABLED", "0");
    p->SetProperty("VISIBLE", "0");
    TMegaButton* c = Add(root, "c", "TMegaButton", "p");
    EXPECT_EQ("x = 1", c->Handler(TNodeEvent::MouseClick));
    EXPECT_EQ("t = 1", Prop(c, "ONTICK"));
    EXPECT_EQ(16, c->HotKey());
    EXPECT_EQ(2, c->HotKeyModifiers());
    EXPECT_EQ(300, c->TickCountdown());
    EXPECT_FALSE(c->Enabled());
    EXPECT_FALSE(c->Visible());
    EXPECT_FALSE(c->Pressed());
}

class CountingNode : public TMegaButton {
public:
    int updates = 0;
    void Update() override { ++updates; }
};

TEST_F(ScriptNodeTest, UpdateSkipsHiddenSubtreesUnlessForced) {
    auto* outer = TEngineObject::New<CountingNode>();
    auto* inner = TEngineObject::New<CountingNode>();
    root->AddChild(outer);
    outer->SetParent(root);
    outer->AddChild(inner);
    inner->SetParent(outer);
    UpdateTree(root, false);
    EXPECT_EQ(1, outer->updates);
    EXPECT_EQ(1, inner->updates);
    outer->SetVisible(false);
    UpdateTree(root, false);
    EXPECT_EQ(1, inner->updates);
    UpdateTree(root, true);
    EXPECT_EQ(2, outer->updates);
    EXPECT_EQ(2, inner->updates);
}

TEST_F(ScriptNodeTest, UpdateAndDrawWalks) {
    TMegaButton* shown = Button(root, "shown", 0, 0, 10, 10);
    shown->SetProperty("COLOR", "FF0000");
    TMegaButton* hidden = Button(root, "hidden", 0, 0, 10, 10);
    hidden->SetProperty("COLOR", "00FF00");
    hidden->SetVisible(false);
    TMegaButton* layer = Button(root, "CursorLayer", 0, 0, 0, 0);
    TMegaButton* arrow = Button(layer, "arrow", 5, 5, 4, 4);
    arrow->SetProperty("COLOR", "0000FF");
    DrawTree(root);
    EXPECT_EQ((std::vector<std::string>{"fill 0 0 10 10 FFFF0000", "fill 5 5 9 9 FF0000FF"}), draw.calls);
    draw.calls.clear();
    DrawCursorLayer(root);
    EXPECT_EQ((std::vector<std::string>{"fill 5 5 9 9 FF0000FF"}), draw.calls);
}

} // namespace
} // namespace vesk::test
