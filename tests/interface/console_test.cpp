#include <gtest/gtest.h>

#include "core/lua_machine.h"
#include "core/string_tables.h"
#include "core/var_list.h"
#include "interface/console.h"
#include "interface/interface_parts.h"
#include "platform/files.h"
#include "text_fixture.h"

namespace vesk::test {
namespace {

class ConsoleTest : public TextLayerTest {
protected:
    void SetUp() override {
        TextLayerTest::SetUp();
        TextLayer = std::move(layer);
        InitVarLists();
        LuaDebugMode = false;
        CreateLuaMachine();
        // The mirror keeps what it is given.
        LuaMachine->RunString("mirror = {} iConsole = {} "
                              "function iConsole.AddLine(s) table.insert(mirror, s) end "
                              "function iConsole.Clear() mirror = {} end "
                              "iDebug = {} function iDebug.SetVisible(v) debugVisible = v end "
                              "function log(s) logged = s end");
        InstallConsole();
        platform::SetExeFolderOverride(dir.path());
    }
    void TearDown() override {
        platform::SetExeFolderOverride("");
        Console.reset();
        GetInterfaceParts().execConsoleFile = nullptr;
        FreeLuaMachine();
        FreeAllVarLists();
        TextLayer.reset();
        TextLayerTest::TearDown();
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        for (int i = 1; i <= Console->LineCount(); ++i) out.push_back(Console->Line(i));
        return out;
    }
    std::string LuaGlobal(const std::string& expr) {
        LuaMachine->RunString("probe = tostring(" + expr + ")");
        lua_State* L = LuaMachine->State();
        lua_getglobal(L, "probe");
        std::string s = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
        lua_pop(L, 1);
        return s;
    }
    TempDir dir;
};

TEST_F(ConsoleTest, LinesAreMirroredSafelyAndWrapAtTheLimit) {
    Console->AddLine("say \"hi\" \\ ]] done");
    EXPECT_EQ(LuaGlobal("mirror[1]"), "say \"hi\" \\ ]] done");
    EXPECT_EQ(Console->LastUpdateCount(), 1);

    // Long text is split by width: 983 pixels at 6 a character.
    Console->Clear();
    Console->AddLine(std::string(200, 'x'));
    ASSERT_EQ(Console->LineCount(), 2);
    EXPECT_EQ(Console->Line(1).size(), 164u);
    EXPECT_EQ(LuaGlobal("table.getn(mirror)"), "2");

    Console->Clear();
    for (int i = 0; i < TConsole::kMaxLines; ++i) Console->AddLine("l");
    EXPECT_EQ(Console->LineCount(), TConsole::kMaxLines);
    Console->AddLine("next");
    EXPECT_EQ(Console->LineCount(), 1);
    EXPECT_EQ(Console->Line(1), "next");
    EXPECT_EQ(LuaGlobal("table.getn(mirror)"), "1");
}

TEST_F(ConsoleTest, TextBeforeTheFontExistsIsLost) {
    auto keep = std::move(TextLayer);
    Console->AddLine("lost");
    EXPECT_EQ(Console->LineCount(), 0);
    EXPECT_EQ(LuaGlobal("table.getn(mirror)"), "0");
    TextLayer = std::move(keep);
}

// The engine writes lines (the sound engine's start-up message) before the
// main script has made its mirror: they stay in the console without a
// script error, and the mirror takes what comes after it.
TEST_F(ConsoleTest, LinesBeforeTheScriptsMirrorStayInTheConsoleOnly) {
    LuaMachine->RunString("iConsole = nil alerts = {} function _ALERT(s) table.insert(alerts, s) end");
    Console->AddLine("early");
    Console->Clear();
    Console->AddLine("early again");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"early again"}));
    EXPECT_EQ(LuaGlobal("table.getn(alerts)"), "0");
    LuaMachine->RunString(
        "mirror = {} iConsole = {} function iConsole.AddLine(s) table.insert(mirror, s) end");
    Console->AddLine("later");
    EXPECT_EQ(LuaGlobal("mirror[1]"), "later");
    EXPECT_EQ(LuaGlobal("table.getn(mirror)"), "1");
}

TEST_F(ConsoleTest, RunsFilesSkippingCommentsAndBlankLines) {
    ASSERT_TRUE(platform::CreateFolders(dir / "data/scripts"));
    ASSERT_TRUE(platform::WriteFile(dir / "data/scripts/default.ini",
                                    "; a comment\r\n\r\nvis.jets=0\r\n   \r\ndebug on\r\ncam.fov = 1.5"));
    GetInterfaceParts().execConsoleFile("data/scripts/default.ini");
    EXPECT_EQ(SpVars->Get("vis.jets"), VarValue(0));
    EXPECT_EQ(LuaGlobal("debugVisible"), "true");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"vis.jets=0", "cam.fov = 1.5"}));
    EXPECT_FLOAT_EQ(SpVars->Get("cam.fov").AsSingle(), 1.5f);

    Console->ExecFile("local.ini");
    EXPECT_EQ(Console->Line(3), "ERROR: Console file not exists: " + platform::ExeFolder() + "\\local.ini");
}

// The start-up reads the caption a file sets before running anything.
TEST_F(ConsoleTest, PeekReadsTheLastValueAFileGivesWithoutRunningIt) {
    ASSERT_TRUE(platform::WriteFile(dir / "local.ini", "; win.caption=Commented\r\nwin.caption=First\r\n"
                                                       "debug on\r\nWIN.CAPTION = Second Copy\r\nfps=1\r\n"));
    EXPECT_EQ(GetInterfaceParts().peekConsoleValue("local.ini", "win.caption"), "Second Copy");
    EXPECT_EQ(GetInterfaceParts().peekConsoleValue("local.ini", "maxlag"), "");
    EXPECT_EQ(GetInterfaceParts().peekConsoleValue("absent.ini", "win.caption"), "");
    // Nothing ran: no line, no variable set, no command.
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(IniVars->Get("win.caption").AsString(), "Vesk Annals");
    EXPECT_EQ(LuaGlobal("debugVisible"), "nil");
}

TEST_F(ConsoleTest, CommandsAndQuotedTokens) {
    Console->Execute("  debug \"two words\"  ");
    Console->Execute("debug off");
    EXPECT_EQ(LuaGlobal("debugVisible"), "false");
    Console->Execute("lua 'a' .. 1");
    EXPECT_EQ(LuaGlobal("logged"), "a1");
    // A quoted start is one token: only the quoted part, unquoted, reaches Lua.
    LuaMachine->RunString("b = 'B'");
    Console->Execute("lua \"b\" .. 1");
    EXPECT_EQ(LuaGlobal("logged"), "B");
    Console->Execute("clear");
    EXPECT_EQ(Console->LineCount(), 0);
    Console->Execute("clearlog");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"Logfile cleared..."}));
    Console->Execute("   ");
    EXPECT_EQ(Console->LineCount(), 1);
}

TEST_F(ConsoleTest, DebugWritesAnUnknownWordWithoutQuotes) {
    Console->Execute("debug \"two words\"");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"two words"}));
}

TEST_F(ConsoleTest, ListsVariablesByFilter) {
    Console->Execute("vis*");
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "vis* ...");
    EXPECT_EQ(lines.back(), "");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "  vis.jets=1"), lines.end());
    for (size_t i = 1; i + 1 < lines.size(); ++i)
        EXPECT_NE(lines[i].find("vis"), std::string::npos) << lines[i];

    Console->Clear();
    Console->Execute("*");
    size_t total = 0;
    for (const auto& list : AllVarLists()) total += list->Names().size();
    EXPECT_EQ(static_cast<size_t>(Console->LineCount()), total + 2);
    EXPECT_EQ(Console->Line(1), "* ...");
}

TEST_F(ConsoleTest, QueriesAndAssignments) {
    struct Case {
        const char* line;
        std::vector<std::string> out;
    };
    const Case cases[] = {
        {"vis.jets", {"vis.jets=1"}},
        {"vis.jets = 3", {"vis.jets = 3"}},
        {"vis.jets", {"vis.jets=3"}},
        {"vis.jets=abc", {"vis.jets=abc", "ERROR: Ivalid numeric input"}},
        {"vis.jets=99999999999", {"vis.jets=99999999999", "ERROR: Variant type overflow"}},
        {"vis.jets", {"vis.jets=3"}},
        {"nosuch=1", {"unknown variable name: nosuch"}},
        {"cam.from=v(1 2.3 -3)", {"cam.from=v(1 2.3 -3)"}},
        {"cam.from", {"cam.from=v(1.0 2.3 -3.0)"}},
        {"cam.from=5", {"ERROR: cam.from=5"}},
        {"cam.from=v(1 x 3)", {"cam.from=v(1 x 3)", "ERROR: Ivalid numeric input"}},
        {"win.caption=\"My game\"", {"win.caption=\"My game\""}},
        {"win.caption", {"win.caption=My game"}},
        {"win.caption=@0041@", {"win.caption=A"}},
    };
    for (const Case& c : cases) {
        Console->Clear();
        Console->Execute(c.line);
        EXPECT_EQ(Lines(), c.out) << c.line;
    }
    EXPECT_FLOAT_EQ(SpVars->GetVector("cam.from").y, 2.3f);

    // An "@" that opens no hex-text is echoed as typed (in the hex form that keeps it).
    Console->Clear();
    Console->Execute("win.caption=me@home");
    EXPECT_EQ(FindVarListWith("win.caption")->Get("win.caption"), VarValue("me@home"));
    ASSERT_EQ(Console->LineCount(), 1);
    EXPECT_EQ(HexStr2WideString(Console->Line(1)), u"win.caption=me@home");
}

} // namespace
} // namespace vesk::test
