// The dialog engine through engine_LoadDialog and engine_GetDialog: the tag
// reader's edge cases, conditions, actions and library scripts, jumps, answer
// types, phrase and answer files, load failures and the fatal reports.
#include "game/dialogs.h"
#include "game_logic_fixture.h"
#include "platform/files.h"
#include "shared/errors.h"

namespace vesk::test {
namespace {

class Dialogs : public GameLogicTest {
protected:
    void SetUp() override {
        GameLogicTest::SetUp();
        RegisterDialogFunctions();
        CreateGameDialog(dir.path() + "/Dialogs/");
        Run("function getPersFace(a, b) return a .. 'Name^' .. b .. 'Head^' .. a .. 'Duty^' end "
            "function DialogVar(n) return '<' .. n .. '>' end");
    }
    void TearDown() override {
        FreeGameDialog();
        GameLogicTest::TearDown();
    }
    void Write(const std::string& name, const std::string& text) {
        platform::CreateFolders(dir.path() + "/Dialogs");
        ASSERT_TRUE(platform::WriteFile(dir.path() + "/Dialogs/" + name, text));
    }
    std::string Load(const std::string& file, const std::string& a = "A", const std::string& b = "B") {
        return Eval("engine_LoadDialog('" + file + "', '" + a + "', '" + b + "')");
    }
    std::string State() { return Eval("engine_GetDialog()"); }
    std::string Choose(int n) { return Eval("engine_GetDialog(" + std::to_string(n) + ")"); }
    TGameDialog& D() { return *GameDialog; }
};

const std::string kEnd = "Answer_1=" + Ru("Конец диалога.") + "^";
const std::string kNext = "Answer_1=" + Ru("Далее...") + "^";

const char* const kTalk = R"(<HEAD NAME="talk" AUTH="Writer">
<DIALOG INCLUDES="trader,guard=G1.G2">
<LEVEL AUTH="Trader">
<SCRIPT TYPE="ACTION" SRC="lib1">log_ = (log_ or '') .. libv</SCRIPT>
<CUE LABEL="hello">Hello, [pilot]!<SCRIPT TYPE="CONDITION">met == nil</SCRIPT>
<LEVEL>
<CUE JUMP="bye">Goodbye<SCRIPT TYPE="ACTION">said = (said or '') .. 'b'</SCRIPT>
<CUE TYPE="trade">Trade
<CUE>Tell more
<LEVEL AUTH="trader">
<CUE>Nested line<SCRIPT TYPE="CONDITION">FALSE</SCRIPT>
<CUE>Last line<SCRIPT TYPE="CONDITION">false</SCRIPT>
</LEVEL>
<CUE>Hidden<SCRIPT TYPE="CONDITION">met ~= nil</SCRIPT>
</LEVEL>
<CUE>Welcome back
</LEVEL>
<LEVEL AUTH="trader" LABEL="bye">
<CUE>See you<SCRIPT TYPE="ACTION" SRC="init.lua">seen = y</SCRIPT>
</LEVEL>
<ANSWERS AUTH="trader">
<CUE AT="OTHER">No
<CUE AT="TRADE">Let's trade
</ANSWERS>
<LIBRARY>
<SCRIPT LABEL="lib1">libv = 'L'</SCRIPT>
<LEVEL AUTH="trader" LABEL="late">
<CUE>Never loaded
)";

TEST_F(Dialogs, WithoutAFileNameTheDefaultDialogFileIsLoaded) {
    Write("talk.dlg", kTalk);
    const std::string saved = DialogFileName;
    DialogFileName = "talk.dlg";
    EXPECT_EQ("0", Load(""));
    EXPECT_EQ("TALK", D().Name());
    // With no default either, the load fails as for a missing file.
    DialogFileName.clear();
    EXPECT_EQ("-1", Load(""));
    DialogFileName = saved;
}

TEST_F(Dialogs, PlaysLinesAnswersJumpsAndAnswerTypes) {
    Write("talk.dlg", kTalk);
    Write("init.lua", "y = 1\ny = y + 1\n");
    ASSERT_EQ("0", Load("talk.dlg"));
    EXPECT_EQ("TALK", D().Name());
    EXPECT_EQ("writer", D().Author());
    EXPECT_EQ(1, D().LastNpc());
    EXPECT_EQ("G1Name", D().Npc(1).name);
    EXPECT_EQ("G2Head", D().Npc(1).head);
    EXPECT_EQ("G1Duty", D().Npc(1).duty);
    // The level's action ran with its library source; the condition of the
    // hidden answer failed; the text took DialogVar's value.
    EXPECT_EQ("L", Global("log_"));
    EXPECT_EQ("NPCName=AName^NPCDuty=ADuty^NPCHead=BHead^NPCCue=Hello, <pilot>!^"
              "Answer_1=Goodbye^Answer_2=Trade^Answer_3=Tell more^",
              State());
    // A LEVEL after the library is not loaded.
    EXPECT_EQ(2u, D().Levels().children.size());
    EXPECT_EQ(1u, D().Library().size());

    // Goodbye runs its action and jumps to the NPC level "bye", whose script
    // is prefixed by the lines of its source file.
    EXPECT_EQ("NPCName=AName^NPCDuty=ADuty^NPCHead=BHead^NPCCue=See you^" + kEnd, Choose(1));
    EXPECT_EQ("b", Global("said"));
    EXPECT_EQ("2", Global("seen"));
    // "End of dialog" runs the cue's scripts again and goes nowhere.
    EXPECT_FALSE(D().ChooseAnswer(0));
    EXPECT_EQ("2", Global("seen"));
    EXPECT_FALSE(D().ChooseAnswer(5)); // out of range

    // An answer type leads to the NPC's ANSWERS cue of that AT.
    ASSERT_EQ("0", Load("talk.dlg"));
    EXPECT_TRUE(D().ChooseAnswer(1));
    EXPECT_EQ("NPCName=AName^NPCDuty=ADuty^NPCHead=BHead^NPCCue=Let's trade^" + kEnd, State());

    // Continuing into a nested NPC level whose cues all fail says the last one
    // and reports false although the state moved on.
    ASSERT_EQ("0", Load("talk.dlg"));
    EXPECT_FALSE(D().ChooseAnswer(2));
    EXPECT_EQ("NPCName=AName^NPCDuty=ADuty^NPCHead=BHead^NPCCue=Last line^" + kEnd, State());

    // A passing condition on the first cue is no longer met: the next one is said.
    Run("met = 1");
    ASSERT_EQ("0", Load("talk.dlg"));
    EXPECT_EQ("NPCName=AName^NPCDuty=ADuty^NPCHead=BHead^NPCCue=Welcome back^" + kEnd, State());
    for (const auto& r : trap.reports) ADD_FAILURE() << r.text;
}

TEST_F(Dialogs, TagReaderEdgeCases) {
    Write("tags.dlg", "<HEAD NAME=\"tags\">\n"
                      "<DIALOG>\n"
                      "<LEVEL AUTH=\"npc\">\n"
                      "<CUE LABEL=\"a\">First<CUE LABEL=\"b\">Second // a comment <CUE>\n"
                      "<SCRIPT TYPE=\"ACTION\">s1 = 1\n"
                      "</SCRIPT>\n"
                      "<CUE>After the level\n"
                      "</LEVEL>\n");
    ASSERT_EQ("0", Load("tags.dlg"));
    ASSERT_EQ(1u, D().Levels().children.size());
    const auto& level = *D().Levels().children[0];
    // The script takes only the rest of its own line; the closing tag on the
    // next line ends the level, so the cue after it is not the level's.
    ASSERT_EQ(2u, level.children.size());
    EXPECT_EQ("First", level.children[0]->text);
    EXPECT_EQ("Second ", level.children[1]->text);
    EXPECT_EQ("B", level.children[1]->label);
    ASSERT_EQ(1u, level.children[1]->scripts.size());
    EXPECT_EQ("s1 = 1", level.children[1]->scripts[0]->text);
    EXPECT_EQ("NPCName=^NPCDuty=^NPCHead=^NPCCue=First^" + kEnd, State());
}

TEST_F(Dialogs, LoadFailuresAreLoggedAndKeepWhatTheyMust) {
    const std::string savedFolder = LogFolder();
    SetLogFolder(dir.path() + "/logs");
    platform::CreateFolders(dir.path() + "/logs");
    LogEnabled = true;
    Write("ok.dlg", "<HEAD NAME=\"ok\">\n<DIALOG>\n<LEVEL>\n<CUE>Yes\n</LEVEL>\n");
    Write("nohead.dlg", "<DIALOG>\n");
    Write("nodialog.dlg", "<HEAD NAME=\"x\">\n<LEVEL>\n");
    Write("quote.dlg", "<HEAD NAME=\"q\">\n<DIALOG>\n<LEVEL LABEL=\"open>\n<CUE>Fine\n</LEVEL>\n");
    ASSERT_EQ("0", Load("ok.dlg"));
    const std::string before = State();
    EXPECT_EQ("NPCName=^NPCDuty=^NPCHead=^NPCCue=^Answer_1=Yes^", before);
    // A missing file leaves the previous dialog in place.
    EXPECT_EQ("-1", Load("missing.dlg"));
    EXPECT_EQ(before, State());
    EXPECT_EQ(1u, D().Levels().children.size());
    EXPECT_EQ("-2", Load("nohead.dlg"));
    EXPECT_EQ("-3", Load("nodialog.dlg"));
    // The answers of the dialog let go are gone with it.
    EXPECT_FALSE(D().ChooseAnswer(0));
    EXPECT_EQ("0", Load("quote.dlg"));
    EXPECT_EQ("NPCName=^NPCDuty=^NPCHead=^NPCCue=^Answer_1=Fine^", State());

    std::string log;
    ASSERT_TRUE(platform::ReadFile(dir.path() + "/logs/log.txt", log));
    LogEnabled = false;
    SetLogFolder(savedFolder);
    for (const char* text : {"Ошибка загрузки файла диалога. Файл не найден",
                             "Ошибка загрузки файла диалога. Файл не содержит тег <HEAD>",
                             "Ошибка загрузки файла диалога. Файл не содержит тег <DIALOG>",
                             "Ошибка синтаксиса диалога Q. Ошибка в описании параметра тега"})
        EXPECT_NE(std::string::npos, log.find(Ru(text))) << text;
}

TEST_F(Dialogs, PhraseAndAnswerFilesAndNpcAliases) {
    Write("phrase.txt", "RANDOM\nOnly [who] line\n");
    Write("answers.txt", "normal answers\n"
                         "<CUE TYPE=\"buy\">Buy<SCRIPT TYPE=\"CONDITION\">TRUE</SCRIPT>\n"
                         "<CUE TYPE=\"sell\">Sell<SCRIPT TYPE=\"CONDITION\">FALSE</SCRIPT>\n"
                         "no tags here\n"
                         "<CUE TYPE=\"rob\">Rob<SCRIPT TYPE=\"CONDITION\">rich == true</SCRIPT>\n");
    Write("files.dlg",
          "<HEAD NAME=\"files\">\n<DIALOG INCLUDES=\"Boss,clerk\">\n"
          "<LEVEL AUTH=\"clerk\">\n<CUE DEFAULT=\"phrase.txt\">unused\n<LEVEL>\n"
          "<CUE DEFAULT=\"answers.txt\">fallback\n<CUE DEFAULT=\"none.txt\" JUMP=\"boss\">Plain\n"
          "</LEVEL>\n</LEVEL>\n"
          "<LEVEL AUTH=\"boss\" LABEL=\"boss\">\n<CUE>Boss speaks\n</LEVEL>\n"
          "<ANSWERS AUTH=\"clerk\">\n<CUE AT=\"BUY\">Bought\n</ANSWERS>\n");
    Run("rich = true");
    ASSERT_EQ("0", Load("files.dlg", "x", "y"));
    EXPECT_EQ("NPCName=xName^NPCDuty=xDuty^NPCHead=yHead^NPCCue=Only <who> line^"
              "Answer_1=Buy^Answer_2=Rob^Answer_3=Plain^",
              State());
    EXPECT_TRUE(D().ChooseAnswer(0));
    EXPECT_EQ("NPCName=xName^NPCDuty=xDuty^NPCHead=yHead^NPCCue=Bought^" + kEnd, State());
    // "Boss" is written in upper case: the level "boss" keeps the previous NPC.
    ASSERT_EQ("0", Load("files.dlg", "x", "y"));
    EXPECT_TRUE(D().ChooseAnswer(2));
    EXPECT_EQ("NPCName=xName^NPCDuty=xDuty^NPCHead=yHead^NPCCue=Boss speaks^" + kEnd, State());
    ASSERT_EQ("0", Load("files.dlg", "x", "y"));
    EXPECT_TRUE(D().ChooseAnswer(1)); // "Rob": no ANSWERS cue for it
    EXPECT_EQ(0, D().State().answerCount);
    for (const auto& r : trap.reports) ADD_FAILURE() << r.text;
}

TEST_F(Dialogs, BracketsWithoutEndAndValuesWithBrackets) {
    Run("function DialogVar(n) if n == 'loop' then return '[loop]' end return n .. '!' end");
    Write("b.dlg", "<HEAD>\n<DIALOG>\n<LEVEL AUTH=\"n\">\n<CUE>a]b[c\n<LEVEL>\n<CUE>[x] and [loop]\n"
                   "</LEVEL>\n</LEVEL>\n");
    ASSERT_EQ("0", Load("b.dlg"));
    EXPECT_EQ("NPCName=^NPCDuty=^NPCHead=^NPCCue=a]b[c^Answer_1=x! and [loop]^", State());
    EXPECT_EQ("NoName", D().Name());
}

TEST_F(Dialogs, ScriptsMayLoadAnotherDialogWhileOneIsPlaying) {
    Write("one.dlg", "<HEAD NAME=\"one\">\n<DIALOG>\n<LEVEL>\n"
                     "<CUE>Switch<SCRIPT TYPE=\"ACTION\">engine_LoadDialog('two.dlg', '', '')</SCRIPT>\n"
                     "</LEVEL>\n");
    Write("two.dlg", "<HEAD NAME=\"two\">\n<DIALOG>\n<LEVEL AUTH=\"n\">\n<CUE>Second dialog\n</LEVEL>\n");
    ASSERT_EQ("0", Load("one.dlg"));
    EXPECT_FALSE(D().ChooseAnswer(0));
    EXPECT_EQ("TWO", D().Name());
    EXPECT_EQ("NPCName=^NPCDuty=^NPCHead=^NPCCue=Second dialog^" + kEnd, State());
}

TEST_F(Dialogs, WrongNpcDataAndUnknownLabelsAreFatal) {
    struct Case {
        const char* includes;
        const char* report;
    } cases[] = {
        {"guard=G1", "function TGameDialog.LoadDialog fault - wrong NPC data in script bad.dlg. Check tag "
                     "\"<dialog includes=...\""},
        {"a,bad=q.r,c",
         "function TGameDialog.LoadDialog fault: invalid NPC data or \"getPersFace\" fault - c"},
        {"a,bad=q.r", "function TGameDialog.LoadDialog fault: invalid NPC data -bad=q.r"},
    };
    Run("local f = getPersFace function getPersFace(a, b) if a == 'q' then return 'one^two^' end "
        "return f(a, b) end");
    for (const auto& c : cases) {
        trap.reports.clear();
        Write("bad.dlg", std::string("<HEAD>\n<DIALOG INCLUDES=\"") + c.includes + "\">\n");
        EXPECT_THROW(D().LoadDialog("bad.dlg", "A", "B"), Halted) << c.includes;
        EXPECT_EQ(c.report, FirstFatal());
    }
    Write("jump.dlg",
          "<HEAD NAME=\"jumpy\">\n<DIALOG>\n<LEVEL AUTH=\"n\">\n<CUE JUMP=\"nowhere\">Go\n</LEVEL>\n");
    trap.reports.clear();
    ASSERT_EQ(0, D().LoadDialog("jump.dlg", "", ""));
    EXPECT_EQ("NPCName=^NPCDuty=^NPCHead=^NPCCue=Go^" + kNext, D().StateText());
    EXPECT_THROW(D().ChooseAnswer(0), Halted);
    EXPECT_EQ("TGameDialog.JumpToNextDialog fault - label not found: \"NOWHERE\". Check script JUMPY",
              FirstFatal());
}

} // namespace
} // namespace vesk::test
