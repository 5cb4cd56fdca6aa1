// The visual node chain: hot keys, layout on the virtual screen, fades,
// flashing, object binding, rotation, edit fields and what gets drawn.
#include <gtest/gtest.h>

#include "interface/interface_fixture.h"
#include "interface/key_names.h"

namespace vesk::test {
namespace {

class VisualNodeTest : public InterfaceTest {};

TEST_F(VisualNodeTest, HotKeyTexts) {
    struct Case {
        const char* text;
        int key;
        int mods;
    } cases[] = {
        {"lctrl+lshift+f5", 63, 8 + 32 + 64},
        {"F5", 63, 0},
        {"", -1, 0},
        {"LSHIFT", 42, 32 + 64},
        {"rctrl", 157, 1},
        {"RALT+RSHIFT+NP_ENTER", 156, 2 + 4 + 64},
        {"JOYSTICK_BUTTON7", 1007, 0},
        {"joystick_button31", 1031, 0},
        {"JOYSTICK_BUTTON32", -1, 0},
        {"JOYSTICK_AXIS_RZ_DEC", 1047, 0},
        {"JOYSTICK_SLIDER0_UP", 1032, 0},
        {"LALT+", -1, 16},
        {"NOSUCHKEY", -1, 0},
        {"\\", 43, 0},
    };
    TMegaButton* n = Add(root, "n");
    for (const Case& c : cases) {
        n->SetProperty("HOTKEY", c.text);
        EXPECT_EQ(c.key, n->HotKey()) << c.text;
        EXPECT_EQ(c.mods, n->HotKeyModifiers()) << c.text;
        EXPECT_EQ(c.text, Prop(n, "HOTKEY"));
    }
    EXPECT_TRUE(trap.reports.empty());
    // With HOTKEY "" the key handlers never run.
    n->SetProperty("ONKEYDOWN", "never = 1");
    n->SetProperty("HOTKEY", "");
    EXPECT_EQ(nullptr, DispatchKey(root, -1, 0));
    EXPECT_EQ("", Global("never"));
}

TEST_F(VisualNodeTest, RectanglesNestOnTheVirtualScreen) {
    TMegaButton* panel = Button(root, "panel", 100, 50, 300, 200);
    TMegaButton* child = Button(panel, "child", 10, 20, 30, 40);
    EXPECT_EQ((TIRect{10, 20, 40, 60}), child->GetRect());
    EXPECT_EQ((TIRect{110, 70, 140, 110}), child->GetScreenRect());
    desktop.cursor = {110, 70};
    EXPECT_TRUE(child->IsUnderCursor());
    desktop.cursor = {140, 70};
    EXPECT_FALSE(child->IsUnderCursor());
    child->CenterOn({0, 0});
    EXPECT_EQ((TIRect{-15, -20, 15, 20}), child->GetRect());
    child->SetWidth(31);
    child->CenterOn({0, 0});
    EXPECT_EQ(-15, child->Left()); // division toward zero
}

TEST_F(VisualNodeTest, ScaleRectAnchors) {
    InterfaceScaleX = 0.5f;
    InterfaceScaleY = 0.75f;
    const TIRect r{924, 100, 1024, 200};
    struct Case {
        uint8_t h, v;
        TIRect expect;
    } cases[] = {
        {kScaleNone, kScaleNone, {924, 100, 1024, 200}}, {kScaleNear, kScaleNear, {462, 75, 512, 150}},
        {kScaleFar, kScaleNone, {974, 100, 1024, 200}},  {kScaleCenter, kScaleNone, {949, 100, 999, 200}},
        {kScaleNone, kScaleFar, {924, 267, 1024, 342}},  {kScaleNone, kScaleCenter, {924, 171, 1024, 246}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expect, ScaleRect(r, c.h, c.v)) << int(c.h) << " " << int(c.v);
    // Scaled coordinates round half away from zero.
    struct Rounding {
        TIRect in, out;
    } rounding[] = {
        {{925, 1, 927, 3}, {463, 1, 464, 2}}, // 462.5, 0.75, 463.5, 2.25
        {{-3, -1, -1, 2}, {-2, -1, -1, 2}},   // -1.5, -0.75, -0.5, 1.5
        {{0, 0, 1024, 768}, {0, 0, 512, 576}},
    };
    for (const Rounding& c : rounding) EXPECT_EQ(c.out, ScaleRect(c.in, kScaleNear, kScaleNear));
    // Vertical centring keeps to the screen.
    InterfaceScaleY = 2.0f;
    EXPECT_EQ((TIRect{0, 0, 10, 768}), ScaleRect({0, 0, 10, 768}, kScaleNone, kScaleCenter));

    TMegaButton* b = Button(root, "b", 924, 0, 100, 10);
    b->SetProperty("hscale", "right");
    b->SetProperty("VSCALE", "nonsense");
    InterfaceScaleY = 1.0f;
    EXPECT_EQ((TIRect{974, 0, 1024, 10}), b->GetScaledRect());
    // A copy made from it is anchored as it is.
    TSimpleNode* copy = root->CreateChild("TMegaButton", "b");
    EXPECT_EQ((TIRect{974, 0, 1024, 10}), copy->AsRect()->GetScaledRect());
}

TEST_F(VisualNodeTest, FadeInThenFadeOutHalfway) {
    TMegaButton* n = Button(root, "n", 0, 0, 10, 10);
    n->SetProperty("ALPHATIME", "1000");
    n->SetProperty("ONFADEINCOMPLETE", "fadedIn = (fadedIn or 0) + 1");
    n->SetProperty("ONFADEOUTCOMPLETE", "fadedOut = (fadedOut or 0) + 1");
    n->SetVisible(false);
    n->Execute("FADEIN");
    EXPECT_TRUE(n->Visible());
    EXPECT_FLOAT_EQ(0.0f, n->GetOpacity());
    TickTree(n, 500);
    EXPECT_FLOAT_EQ(0.5f, n->GetOpacity());
    n->FadeIn(); // a fade-in that runs goes on as it was
    EXPECT_FLOAT_EQ(0.5f, n->GetOpacity());
    TickTree(n, 500);
    EXPECT_FLOAT_EQ(1.0f, n->GetOpacity());
    EXPECT_FALSE(n->Fading());
    EXPECT_EQ("1", Global("fadedIn"));
    EXPECT_EQ(TOpacityNode::kOpacityParent, n->OpacityType());

    // Visible and at rest: FADEIN does nothing.
    n->FadeIn();
    EXPECT_FALSE(n->Fading());

    n->SetVisible(false);
    n->FadeIn();
    TickTree(n, 300);
    EXPECT_FLOAT_EQ(0.3f, n->GetOpacity());
    n->FadeOut();
    EXPECT_FLOAT_EQ(0.3f, n->GetOpacity());
    TickTree(n, 150);
    EXPECT_FLOAT_EQ(0.15f, n->GetOpacity());
    TickTree(n, 150);
    EXPECT_FALSE(n->Visible());
    EXPECT_FLOAT_EQ(0.0f, n->OwnOpacity());
    EXPECT_EQ("1", Global("fadedOut"));
    EXPECT_EQ("1", Global("fadedIn"));
}

TEST_F(VisualNodeTest, FadePausesZeroTimesAndInterruptions) {
    TMegaButton* n = Button(root, "n", 0, 0, 10, 10);
    n->SetProperty("ALPHAPAUSE", "200");
    n->SetProperty("ALPHATIME", "100");
    n->SetProperty("ONFADEOUTCOMPLETE", "out = slf");
    n->FadeOut();
    TickTree(n, 100);
    TickTree(n, 100);
    EXPECT_FLOAT_EQ(1.0f, n->GetOpacity()); // still in its pause
    TickTree(n, 50);
    EXPECT_FLOAT_EQ(0.5f, n->GetOpacity());
    // Hiding the node cuts the fade short and runs its completion.
    n->SetVisible(false);
    EXPECT_FALSE(n->Fading());
    EXPECT_EQ("n", Global("out"));
    // The next fade starts from rest.
    n->FadeIn();
    EXPECT_FLOAT_EQ(0.0f, n->GetOpacity());

    TMegaButton* z = Button(root, "z", 0, 0, 10, 10);
    z->SetVisible(false);
    z->FadeIn(); // fade time 0
    EXPECT_FLOAT_EQ(0.0f, z->GetOpacity());
    TickTree(z, 16);
    EXPECT_FLOAT_EQ(1.0f, z->GetOpacity());
    EXPECT_FALSE(z->Fading());
}

// The HUD states what it shows every frame: a node that already stands so is
// left alone, so a fade that runs goes on instead of jumping to its end.
TEST_F(VisualNodeTest, SetShownLeavesANodeThatAlreadyStandsSo) {
    TMegaButton* n = Button(root, "n", 0, 0, 10, 10);
    n->SetProperty("ALPHATIME", "1000");
    n->SetVisible(false);
    n->FadeIn();
    TickTree(n, 400);
    SetShown(n, true);
    EXPECT_TRUE(n->Fading());
    EXPECT_FLOAT_EQ(0.4f, n->GetOpacity());
    TickTree(n, 200);
    EXPECT_FLOAT_EQ(0.6f, n->GetOpacity());
    // A change still acts at once: hidden, the fade stops.
    SetShown(n, false);
    EXPECT_FALSE(n->Visible());
    EXPECT_FALSE(n->Fading());
    SetShown(nullptr, true); // a place the layout left out
}

TEST_F(VisualNodeTest, OpacityFollowsTheParentUnlessItsOwn) {
    TMegaButton* panel = Button(root, "panel", 0, 0, 10, 10);
    TMegaButton* child = Button(panel, "child", 0, 0, 10, 10);
    panel->SetOpacity(0.4f);
    EXPECT_EQ(TOpacityNode::kOpacitySelf, panel->OpacityType());
    EXPECT_FLOAT_EQ(0.4f, child->GetOpacity());
    child->SetProperty("OPACITY", "70"); // no type change
    EXPECT_FLOAT_EQ(0.4f, child->GetOpacity());
    child->SetProperty("OPACITYTYPE", "self");
    EXPECT_FLOAT_EQ(0.7f, child->GetOpacity());
    child->SetOpacity(1.0f);
    EXPECT_EQ(TOpacityNode::kOpacityParent, child->OpacityType());
}

TEST_F(VisualNodeTest, FlashingTogglesLooksOrVisibility) {
    TMegaButton* n = Button(root, "n", 0, 0, 10, 10);
    n->SetProperty("COLOR", "FF0000");
    n->SetProperty("TOGGLEONCOLOR", "FFFFFF");
    n->SetProperty("FLASHFREQUENCY", "100");
    n->SetProperty("FLASH", "1");
    auto color = [&] {
        draw.calls.clear();
        n->Draw();
        return draw.calls.empty() ? std::string() : draw.calls[0];
    };
    EXPECT_EQ("fill 0 0 10 10 FFFFFFFF", color());
    TickTree(n, 100);
    EXPECT_EQ("fill 0 0 10 10 FFFF0000", color()); // no toggle-off colour: the plain one
    TickTree(n, 60);
    TickTree(n, 40);
    EXPECT_EQ("fill 0 0 10 10 FFFFFFFF", color());
    n->SetProperty("FLASH", "0");
    EXPECT_EQ("fill 0 0 10 10 FFFF0000", color());

    TMegaButton* v = Button(root, "v", 0, 0, 10, 10);
    v->SetProperty("FLASHVISIBLE", "1");
    v->SetProperty("FLASHFREQUENCY", "50");
    v->SetProperty("FLASHTIME", "120");
    v->StartTimedFlash();
    EXPECT_FALSE(v->Visible());
    TickTree(v, 50);
    EXPECT_TRUE(v->Visible());
    TickTree(v, 50);
    EXPECT_FALSE(v->Visible());
    TickTree(v, 50); // the timed flash ends: shown again
    EXPECT_FALSE(v->Flashing());
    EXPECT_TRUE(v->Visible());
}

TEST_F(VisualNodeTest, ObjectBindingFollowsTheObjectsLife) {
    TMegaButton* target = Add(root, "target");
    TMegaButton* marker = Add(root, "marker");
    marker->SetProperty("OBJPOINTER", target->GetHex());
    EXPECT_EQ(target, marker->Object());
    EXPECT_TRUE(target->IsSubscriber(marker));
    TMegaButton* copy = Add(root, "copy", "TMegaButton", "marker");
    EXPECT_EQ(target, copy->Object());
    EXPECT_THROW(marker->SetProperty("OBJPOINTER", target->GetHex()), Halted);
    EXPECT_EQ("TObjectNode.SetProperty: Try to create double ActiveHelper by name marker", trap.lastFatal);
    target->Free();
    EXPECT_EQ(nullptr, marker->Object());
    EXPECT_EQ("deleted__deleted_marker", marker->Name());
    EXPECT_FALSE(marker->Enabled());
    EXPECT_TRUE(marker->InDestroyQueue());
    EXPECT_TRUE(copy->InDestroyQueue());
}

TEST_F(VisualNodeTest, RotationTurnsTheAngleWhileTicked) {
    TMegaButton* n = Add(root, "n");
    EXPECT_FLOAT_EQ(3.1415927f, n->Angle());
    n->SetProperty("ANGLE", "1");
    n->SetProperty("ROTATION", "150"); // 1.5 per second
    TickTree(n, 200);
    EXPECT_FLOAT_EQ(1.3f, n->Angle());
    n->SetTicked(false);
    n->Tick(200);
    EXPECT_FLOAT_EQ(1.3f, n->Angle());
    EXPECT_EQ("1.29999995231628", Prop(n, "ANGLE"));
}

TEST_F(VisualNodeTest, EditFieldTyping) {
    TMegaButton* e = Add(root, "name");
    e->SetProperty("TEXT", "ab");
    e->SetProperty("ONENTER", "entered = EditText .. '/' .. slf");
    e->SetProperty("EDIT", "1");
    EXPECT_EQ("ab|", e->Text());
    auto keys = [&](std::initializer_list<int> codes) {
        for (int k : codes) EXPECT_TRUE(e->KeyDown(k));
    };
    keys({203, 203, 46}); // LEFT LEFT c
    EXPECT_EQ("c|ab", e->Text());
    keys({207, 14, 211, 199, 211}); // END BACKSPACE DELETE HOME DELETE
    EXPECT_EQ("|a", e->Text());
    desktop.modifiers = 32 | 64;
    keys({30, 2});
    desktop.modifiers = 0;
    keys({57, 12});
    EXPECT_EQ("A! -|a", e->Text());
    keys({205, 205, 59}); // RIGHT past the end, F1 types nothing
    EXPECT_EQ("A! -a|", e->Text());
    keys({28});
    EXPECT_EQ("A! -a/name", Global("entered"));
    EXPECT_EQ("A! -a|", e->Text());

    // 19 characters and the cursor: full.
    e->SetProperty("TEXT", std::string(19, 'x'));
    keys({45});
    EXPECT_EQ(std::string(19, 'x') + "|", e->Text());
    keys({14, 45});
    EXPECT_EQ(std::string(18, 'x') + "x|", e->Text());
    // A quote in the text reaches EditText unchanged.
    e->SetProperty("TEXT", "say \"]]\"");
    keys({28});
    EXPECT_EQ("say \"]]\"/name", Global("entered"));

    e->SetProperty("EDIT", "0");
    EXPECT_EQ("say \"]]\"", e->Text());
    EXPECT_FALSE(e->KeyDown(30));
    e->Execute("ENTER");
    EXPECT_EQ("say \"]]\"/name", Global("entered"));
    e->SetProperty("ONESC", "escaped = EditText");
    e->Escape();
    EXPECT_EQ("say \"]]\"", Global("escaped"));
}

TEST_F(VisualNodeTest, AnAtSignThatOpensNoHexTextIsDrawnAsItStands) {
    TMegaButton* label = Button(root, "label", 0, 0, 400, 40);
    auto drawn = [&](TMegaButton* n) {
        draw.calls.clear();
        DrawTree(n);
        std::string runs;
        for (const std::string& c : draw.calls)
            if (c.rfind("run ", 0) == 0) runs += c.substr(4, c.find('"', 5) - 3);
        return runs;
    };
    struct Case {
        const char* text;
        const char* shown;
    };
    for (const Case& c : {Case{"a@b", "\"a@b\""}, Case{"mail@host.net", "\"mail@host.net\""},
                          Case{"@1@", "\"@1@\""}, Case{"x@004G@", "\"x@004G@\""},
                          // Well-formed hex-text is still read as such.
                          Case{"@0041@b", "\"Ab\""}}) {
        label->SetProperty("TEXT", c.text);
        EXPECT_EQ(c.shown, drawn(label)) << c.text;
    }

    // Typed into an edit field, with the cursor after it.
    TMegaButton* edit = Button(root, "edit", 0, 50, 400, 40);
    edit->SetProperty("TEXT", "me");
    edit->SetProperty("EDIT", "1");
    desktop.modifiers = 32 | 64;   // shift
    EXPECT_TRUE(edit->KeyDown(3)); // "@"
    desktop.modifiers = 0;
    EXPECT_TRUE(edit->KeyDown(30)); // "a"
    EXPECT_EQ("me@a|", edit->Text());
    EXPECT_EQ("\"me@a|\"", drawn(edit));
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(VisualNodeTest, DrawCallsOfAButton) {
    InterfaceScaleX = 0.5f;
    InterfaceScaleY = 0.5f;
    TMegaButton* panel = Button(root, "panel", 100, 100, 200, 100);
    panel->SetProperty("HSCALE", "LEFT");
    panel->SetProperty("VSCALE", "TOP");
    panel->SetProperty("COLOR", "80102030");
    panel->SetProperty("FRAMECOLOR", "FFFFFF");
    panel->SetProperty("IMAGE", "Textures\\panel.dds");
    panel->SetProperty("IMAGELEFT", "0");
    panel->SetProperty("IMAGETOP", "0");
    panel->SetProperty("IMAGEWIDTH", "64");
    panel->SetProperty("IMAGEHEIGHT", "32");
    panel->SetProperty("IMAGECLIPRIGHT", "100"); // half of the node
    panel->SetProperty("TEXT", "Hi");
    panel->SetProperty("TEXTLEFT", "10");
    panel->SetProperty("TEXTCOLOR", "FFFF00");
    panel->SetProperty("FONTSIZE", "14");
    panel->SetProperty("TEXTALIGN", "center");
    panel->SetOpacity(0.5f);
    DrawTree(panel);
    EXPECT_EQ((std::vector<std::string>{
                  "fill 50 50 150 100 40102030",
                  "frame 50 50 150 100 80FFFFFF",
                  "image Textures\\panel.dds 50 50 100 100 from 0 0 32 32 80FFFFFF",
                  // The word (12 virtual pixels) is centred in the 190-pixel text box at 110.
                  "run \"Hi\" 199 100 80FFFF00 14",
              }),
              draw.calls);

    TPolygonNode* poly = Add<TPolygonNode>(root, "poly", "TPolygonNode");
    poly->SetProperty("LEFT", "10");
    poly->SetProperty("COLOR", "FF0000");
    poly->SetProperty("ALPHA", "128");
    poly->SetProperty("X", "0, 20, 10");
    poly->SetProperty("Y", "0 0 30");
    draw.calls.clear();
    poly->Draw();
    EXPECT_EQ((std::vector<std::string>{"fillpoly 10,0 30,0 20,30 80FF0000"}), draw.calls);
    // Nothing is drawn without a drawer.
    InterfaceDrawer = nullptr;
    InterfaceTextDrawer = nullptr;
    draw.calls.clear();
    DrawTree(root);
    EXPECT_TRUE(draw.calls.empty());
}

TEST_F(VisualNodeTest, KeyNames) {
    EXPECT_EQ(57, KeyCodeByName("SPACE"));
    EXPECT_EQ(-1, KeyCodeByName("space"));
    EXPECT_EQ("F5", KeyNameByCode(63));
    EXPECT_EQ("JOYSTICK_BUTTON3", KeyNameByCode(1003));
    EXPECT_EQ("JOYSTICK_AXIS_LX_INC", KeyNameByCode(1036));
    EXPECT_EQ('q', KeyCharacter(16, false));
    EXPECT_EQ('Q', KeyCharacter(16, true));
    EXPECT_EQ(0, KeyCharacter(59, false));
}

} // namespace
} // namespace vesk::test

namespace vesk::test {
namespace {

// A label's runs: rows wrapped at the text width, placed by the vertical
// alignment, kept on one row without wrapping, and scrolled.
TEST_F(VisualNodeTest, LabelRowsWrapAlignAndScroll) {
    TMegaButton* label = Button(root, "note", 100, 200, 50, 40);
    label->SetProperty("FONTSIZE", "10");
    label->SetProperty("TEXT", "aaaa bbbb cccc");
    auto rows = [&] {
        draw.calls.clear();
        DrawTree(label);
        return draw.calls;
    };
    label->SetProperty("TEXTVERTALIGN", "BOTTOM");
    EXPECT_EQ(rows(), (std::vector<std::string>{"run \"aaaa\" 100 210 FFFFFFFF 10",
                                                "run \"bbbb\" 100 220 FFFFFFFF 10",
                                                "run \"cccc\" 100 230 FFFFFFFF 10"}));
    label->SetProperty("TEXTWRAP", "0");
    EXPECT_EQ(rows(), (std::vector<std::string>{"run \"aaaa\" 100 230 FFFFFFFF 10",
                                                "run \"bbbb\" 130 230 FFFFFFFF 10",
                                                "run \"cccc\" 160 230 FFFFFFFF 10"}));
    label->SetProperty("TEXTWRAP", "1");
    label->SetProperty("TEXTVERTALIGN", "TOP");
    label->Execute("SCROLLDOWN");
    EXPECT_EQ(rows(), (std::vector<std::string>{"run \"bbbb\" 100 200 FFFFFFFF 10",
                                                "run \"cccc\" 100 210 FFFFFFFF 10"}));
    // Moving the label moves its rows without a new layout.
    label->SetLeft(300);
    EXPECT_EQ(rows().front(), "run \"bbbb\" 300 200 FFFFFFFF 10");
}

} // namespace
} // namespace vesk::test
