// The interface script commands of engine_Desktop, the frame timer and the
// small tool functions, called from Lua as the interface scripts call them.
#include <gtest/gtest.h>

#include "core/lua_functions.h"
#include "core/lua_machine.h"
#include "core/var_list.h"
#include "interface/interface_fixture.h"
#include "interface/text_fixture.h"
#include "interface/tool_functions.h"
#include "physics/camera.h"
#include "platform/files.h"
#include "render/view_camera.h"

namespace vesk::test {
namespace {

class ToolFunctionsTest : public InterfaceTest {
protected:
    TSimpleNode* Find(const std::string& name) {
        int status = 0;
        return root->ChildByName(name, status, true, false);
    }
    std::string Eval(const std::string& expression) {
        Lua("result = " + expression);
        return Global("result");
    }
};

TEST_F(ToolFunctionsTest, InsertUpdateSetAndDeleteNodes) {
    Lua("engine_Desktop('insert', 'menu', 'desktop')");
    Lua("set('insert', 'title', 'menu', '', 'TLabelNode')");
    TSimpleNode* menu = Find("menu");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->ClassName(), "TMegaButton");
    TSimpleNode* title = Find("title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->ClassName(), "TLabelNode");
    EXPECT_EQ(title->Parent(), menu);

    // "update" sets pairs; an odd argument at the end is ignored.
    Lua("engine_Desktop('update', 'title', 'TEXT', 'Start', 'LEFT', '40', 'TOP')");
    EXPECT_EQ(Prop(title, "TEXT"), "Start");
    EXPECT_EQ(Prop(title, "LEFT"), "40");
    EXPECT_EQ(Prop(title, "TOP"), "0");
    // Two arguments set one property, by path or on the node whose handler runs.
    Lua("engine_Desktop('title::WIDTH', 300)");
    EXPECT_EQ(Prop(title, "WIDTH"), "300");
    InterfaceTools->RunHandler("title", "engine_Desktop('HEIGHT', '24')");
    EXPECT_EQ(Prop(title, "HEIGHT"), "24");

    // A name already under the parent is left alone and nothing is reported.
    Lua("engine_Desktop('insert', 'title', 'menu', '', 'TMegaButton')");
    EXPECT_EQ(Find("title"), title);
    EXPECT_EQ(menu->ChildCount(), 1);

    // A pattern is copied into the new node with its children.
    Lua("engine_Desktop('insert', 'menu2', 'desktop', 'menu')");
    TSimpleNode* copy = Find("menu2");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Pattern(), menu);
    ASSERT_EQ(copy->ChildCount(), 1);
    EXPECT_EQ(Prop(copy->ChildAt(0), "TEXT"), "Start");

    Lua("engine_Desktop('delete', 'menu2')");
    EXPECT_EQ(Find("menu2"), nullptr);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(ToolFunctionsTest, HandlersAndMethodsRunThroughTheirNodes) {
    Lua("engine_Desktop('insert', 'base', 'desktop')");
    Lua("engine_Desktop('base::ONMOUSECLICK', 'clicked = slf')");
    Lua("engine_Desktop('insert', 'child', 'desktop', 'base')");
    Lua("engine_Desktop('child::ONMOUSECLICK')");
    EXPECT_EQ(Global("clicked"), "child");
    // The child replaces its handler and runs its pattern's through INHERITED.
    Lua("engine_Desktop('child::ONMOUSECLICK', 'clicked = \"own\"; "
        "engine_Desktop(\"INHERITED::onmouseclick\")')");
    Lua("engine_Desktop('child::ONMOUSECLICK')");
    EXPECT_EQ(Global("clicked"), "child");
    // Any other command is a method of the node.
    Lua("engine_Desktop('insert', 'fader', 'desktop')");
    Lua("engine_Desktop('update', 'fader', 'VISIBLE', '0', 'ALPHATIME', '100')");
    Lua("engine_Desktop('fader::FADEIN')");
    EXPECT_TRUE(static_cast<TSensNode*>(Find("fader"))->Visible());
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(ToolFunctionsTest, FaultsEndOnlyTheCommand) {
    struct Case {
        const char* chunk;
        std::vector<std::string> texts; // in report order
    };
    const Case cases[] = {
        {"engine_Desktop('ghost::TEXT', 'x')",
         {"TSimpleNode.ChildByName fault: incorect name: ghost",
          "TDesktop.GetChild fault: control not found. See file \"[DesktopTree]_All_For_Debug\"... ",
          "TDesktop.RunScript fault. 4", "engine_Desktop fault: script = ghost::TEXT x"}},
        {"engine_Desktop('insert', 'n', 'nowhere')",
         {"TSimpleNode.ChildByName fault: incorect name: nowhere",
          "TDesktop.GetChild fault: control not found. See file \"[DesktopTree]_All_For_Debug\"... ",
          "TDesktop.RunScript fault. 7", "engine_Desktop fault: script = insert n nowhere"}},
        {"engine_Desktop('frobnicate', 'a', 'b')",
         {"TiTools.RunScript fault - incorrect command: frobnicate",
          "engine_Desktop fault: script = frobnicate a b"}},
    };
    for (const Case& c : cases) {
        trap.reports.clear();
        Lua(c.chunk);
        std::vector<std::string> texts;
        for (const Report& r : trap.reports) {
            texts.push_back(r.text);
            EXPECT_EQ(r.flags, "m") << r.text;
        }
        EXPECT_EQ(texts, c.texts) << c.chunk;
    }
    EXPECT_TRUE(trap.lastFatal.empty());
}

TEST_F(ToolFunctionsTest, QuickAccessors) {
    Lua("engine_Desktop('insert', 'panel', 'desktop')");
    Lua("engine_Desktop('insert', 'caption', 'panel')");
    Lua("setfast_text('caption', 'Hello')");
    EXPECT_EQ(Eval("getfast_text('caption')"), "Hello");
    EXPECT_EQ(Eval("get_hex('caption')"), std::to_string(Find("caption")->GetId()));
    Lua("setfast_visible('panel', false)");
    EXPECT_EQ(Eval("tostring(getfast_visible('caption'))"), "true");
    EXPECT_EQ(Eval("tostring(get_visible('caption'))"), "false"); // its panel is hidden
    EXPECT_EQ(Eval("tostring(getfast_text('nothing'))"), "nil");
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(ToolFunctionsTest, EveryToolFunctionHasItsHandler) {
    for (const char* name : {"engine_Desktop",
                             "set",
                             "run",
                             "get_hex",
                             "setfast_visible",
                             "setfast_text",
                             "getfast_text",
                             "getfast_visible",
                             "get_visible",
                             "engine_GetLineWidth",
                             "engine_GetDirContent",
                             "engine_GetIniParam",
                             "engine_SetIniParam",
                             "engine_GetFov",
                             "engine_SetFov",
                             "engine_GetGeneralVolume",
                             "engine_SetGeneralVolume",
                             "engine_AnsiStr2HexString",
                             "engine_HexStr2AnsiString",
                             "engine_UpperCase",
                             "engine_GetTime"})
        EXPECT_NE(GetEngineFunction(name), nullptr) << name;
    EXPECT_EQ(GetEngineFunction("set"), GetEngineFunction("engine_Desktop"));
}

TEST_F(ToolFunctionsTest, FrameTimerCountsAndCaps) {
    TiTools& t = *InterfaceTools;
    float ms = 1500;
    t.FrameTick(ms);
    EXPECT_FLOAT_EQ(ms, 1000.0f);
    EXPECT_EQ(t.FramesLastSecond(), 1); // 1500 ms already passed the mark
    for (int i = 0; i < 10; ++i) {
        ms = 101;
        t.FrameTick(ms);
    }
    EXPECT_EQ(t.FramesLastSecond(), 10);
    t.SetMaxFrameTime(50);
    ms = 80;
    t.FrameTick(ms);
    EXPECT_FLOAT_EQ(ms, 50.0f);
    t.SetFrameCap(false);
    ms = 80;
    t.FrameTick(ms);
    EXPECT_FLOAT_EQ(ms, 80.0f);
    for (int i = 0; i < 12; ++i) {
        ms = 90;
        t.FrameTick(ms);
    }
    EXPECT_EQ(t.ExcessLastSecond(), 30);
}

TEST_F(ToolFunctionsTest, TextTimeAndSettingsTools) {
    EXPECT_EQ(TimeDigits({2024, 1, 1, 9, 7, 3, 45}), "09070345");
    EXPECT_EQ(TimeDigits({2024, 1, 1, 14, 5, 9, 7}), "14050907");
    const std::string now = Eval("engine_GetTime()");
    EXPECT_TRUE(now.size() == 8 || now.size() == 9) << now; // three digits from 100 ms on

    EXPECT_EQ(Eval("engine_AnsiStr2HexString('Ab')"), "@00410062@");
    EXPECT_EQ(Eval("engine_HexStr2AnsiString('@00410062@')"), "Ab");
    EXPECT_EQ(Eval("engine_UpperCase('abc\\224')"), "ABC\xC0"); // Cyrillic a in the system code page
    EXPECT_EQ(Eval("engine_UpperCase('@04300061@')"), "@04100041@");
    // Text that only looks like hex-text is taken as it stands.
    EXPECT_EQ(Eval("engine_UpperCase('@me@')"), "@ME@");

    InitVarLists();
    IniVars->DeclareVar("difficulty", VarType::Integer);
    IniVars->Put("difficulty", VarValue(int32_t(2)));
    EXPECT_EQ(Eval("engine_GetIniParam('difficulty')"), "2");
    Lua("engine_SetIniParam('difficulty', 3.7)");
    EXPECT_EQ(IniVars->Get("difficulty").AsInteger(), 3);

    platform::CreateFolders(dir / "saves/slot1");
    platform::WriteFile(dir / "saves/a.sav", "x");
    platform::WriteFile(dir / "saves/b.txt", "x");
    Lua("list = engine_GetDirContent('saves\\\\*.SAV')");
    EXPECT_EQ(Eval("table.getn(list) .. list[1]"), "1a.sav");
    EXPECT_EQ(Eval("table.getn(engine_GetDirContent('saves/*'))"), "3"); // folders too
    EXPECT_EQ(Eval("table.getn(engine_GetDirContent('saves/*.none'))"), "0");
    EXPECT_TRUE(trap.reports.empty());
    FreeAllVarLists();
}

TEST_F(ToolFunctionsTest, FieldOfViewOfTheSceneCamera) {
    auto camera = std::make_shared<CameraClass>();
    SetDefaultViewCamera(camera);
    Lua("engine_SetFov(62.6)");
    EXPECT_FLOAT_EQ(camera->GetFOV(), 62.6f);
    EXPECT_EQ(Eval("engine_GetFov()"), "63");
    SetDefaultViewCamera(nullptr);
    EXPECT_EQ(Eval("engine_GetGeneralVolume()"), "0"); // no sound core: silent
    Lua("engine_SetGeneralVolume(40)");
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(ToolFunctionsTest, AWrongArgumentCountEndsTheProgram) {
    for (const auto& [chunk, text] :
         {std::pair{"engine_GetTime(1)", "engine_GetTime: NumElements<>0"},
          std::pair{"engine_SetIniParam('x')", "engine_SetIniParam: NumElements<>2"},
          std::pair{"engine_Desktop()", "engine_Desktop fault: script = "}}) {
        trap.reports.clear();
        try {
            Lua(chunk);
        } catch (const Halted&) {
        }
        ASSERT_FALSE(trap.reports.empty()) << chunk;
        EXPECT_EQ(trap.reports.front().text, text);
    }
}

class LineWidthTest : public TextLayerTest {};

TEST_F(LineWidthTest, MeasuresOnTheTextLayerInVirtualPixels) {
    CreateLuaMachine();
    InstallToolFunctions();
    TextLayer = std::move(layer);
    InterfaceScaleX = 2.0f;
    LuaMachine->RunString(
        "w1 = engine_GetLineWidth('abcd', '12'); w2 = engine_GetLineWidth('@00410042@', 12) "
        "w3 = engine_GetLineWidth('@ab@', 12)");
    lua_State* L = LuaMachine->State();
    lua_getglobal(L, "w1");
    EXPECT_STREQ(lua_tostring(L, -1), "12"); // 4 x 6 screen pixels at kx 2
    lua_getglobal(L, "w2");
    EXPECT_STREQ(lua_tostring(L, -1), "6");
    lua_getglobal(L, "w3");
    EXPECT_STREQ(lua_tostring(L, -1), "12"); // four characters as they stand
    lua_pop(L, 3);
    TextLayer.reset();
    FreeLuaMachine();
}

} // namespace
} // namespace vesk::test
