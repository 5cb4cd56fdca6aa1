#include <gtest/gtest.h>

#include "core/config_record.h"
#include "core/string_tables.h"
#include "lua_test_support.h"
#include "platform/files.h"
#include "platform/text.h"
#include "shared/helpers.h"

namespace vesk::test {
namespace {

// UTF-8 source text as the bytes of a UTF-16LE file, with or without the byte-order mark.
std::string Utf16File(std::string_view utf8, bool bom = true) {
    std::u16string wide = platform::Cp1251ToUtf16(platform::Utf8ToCp1251(utf8));
    std::string bytes = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (char16_t u : wide) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

TEST(HexWide, TextsBothWays) {
    EXPECT_EQ(WideStr2HexString(u""), "@@");
    EXPECT_EQ(WideStr2HexString(u"A\u0411\uFFFF"), "@00410411FFFF@");
    const struct {
        const char* in;
        std::u16string out;
    } cases[] = {
        {"x@0041@y", u"xAy"},
        {"@041f0440@", u"\u041F\u0440"}, // lower-case digits
        {"\xC0\xFF", u"\u0410\u044F"},   // plain bytes are Windows-1251
        {"a@0042@b@0043@", u"aBbC"},
        {"@0041", u"A"},   // no closing mark
        {"@00410", u"A0"}, // the last character is copied
        {"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(HexStr2WideString(c.in), c.out) << c.in;
    std::u16string all;
    for (char16_t u = 1; u < 0x500; u += 7) all += u;
    EXPECT_EQ(HexStr2WideString(WideStr2HexString(all)), all);
}

TEST(HexWide, Predicates) {
    EXPECT_TRUE(IsHexWideStr("@0041@"));
    EXPECT_TRUE(IsHexWideStr("@"));
    EXPECT_FALSE(IsHexWideStr("0041@"));
    EXPECT_FALSE(IsHexWideStr(""));
    EXPECT_TRUE(IsHexDigits(""));
    EXPECT_TRUE(IsHexDigits("09afAF"));
    EXPECT_FALSE(IsHexDigits("12G4"));
}

TEST(HexWide, BrokenGroupIsFatalAndNeverReadsPastTheText) {
    const std::pair<const char*, const char*> cases[] = {
        {"@00G1@", "HexStr2WideString: we try convert \"00G1\" into hex (\"@00G1@\")"},
        {"@004", "HexStr2WideString: we try convert \"004\" into hex (\"@004\")"},
        {"ab@41@", "HexStr2WideString: we try convert \"41@\" into hex (\"ab@41@\")"},
    };
    for (auto [text, report] : cases) {
        ErrorTrap trap;
        EXPECT_THROW(HexStr2WideString(text), Halted) << text;
        EXPECT_EQ(trap.lastFatal, report);
        EXPECT_EQ(trap.reports.back().flags, "mhl");
    }
}

class StringTables : public LuaMachineTest {
protected:
    void SetUp() override {
        LuaMachineTest::SetUp();
        LuaMachine->RunString("strings = {}");
    }
    std::string Entry(const std::string& key) {
        LuaMachine->RunString("e = strings[" + key + "]");
        return Global("e");
    }
    TempDir dir;
};

TEST_F(StringTables, FileWithCommentsCyrillicAndAnUnterminatedLastLine) {
    ASSERT_TRUE(platform::WriteFile(dir / "en_main.txt", Utf16File("[105]=Hello world\r\n"
                                                                   "// a note for translators\r\n"
                                                                   "\r\n"
                                                                   "[106]=Привет // comment\r\n"
                                                                   "[\"key\"]=Last")));
    ParseRefFile(dir / "en_main.txt");
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_EQ(Entry("105"), "@00480065006C006C006F00200077006F0072006C0064@");
    EXPECT_EQ(Entry("106"), "@041F04400438043204350442"
                            "0020@");
    EXPECT_EQ(Entry("\"key\""), "@004C006100730074@");
}

TEST_F(StringTables, DamagedFilesAreReportedAndLoadWhatTheyCan) {
    // No byte-order mark: the first line is kept rather than losing its "[".
    ASSERT_TRUE(platform::WriteFile(
        dir / "nobom.txt",
        Utf16File("[1]=A\r\n[2=B\r\n[1] x=os.exit() y[1]=C\r\n[-2.5]=D\r\n[ 0x10 ]=E\r\n[' k ']=F", false)));
    // An odd byte count: the stray last byte is dropped.
    ASSERT_TRUE(platform::WriteFile(dir / "odd.txt", Utf16File("[3]=C\r\n") + "x"));
    ParseRefFile(dir / "nobom.txt");
    ParseRefFile(dir / "odd.txt");
    ParseRefFile(dir / "missing.txt");
    EXPECT_EQ(Entry("1"), "@0041@");
    EXPECT_EQ(Entry("3"), "@0043@");
    EXPECT_EQ(Entry("-2.5"), "@0044@");
    EXPECT_EQ(Entry("16"), "@0045@");
    EXPECT_EQ(Entry("' k '"), "@0046@");
    ASSERT_EQ(trap.reports.size(), 4u);
    EXPECT_EQ(trap.reports[0].text,
              "ParseRefFile: " + (dir / "nobom.txt") + " does not start with a UTF-16LE byte-order mark");
    EXPECT_EQ(trap.reports[1].text, "ParseRefFile: line 2 of " + (dir / "nobom.txt") + " has no \"]=\"");
    EXPECT_EQ(trap.reports[2].text, "ParseRefFile: line 3 of " + (dir / "nobom.txt") +
                                        ": the id 1] x=os.exit() y[1 is neither a number nor a quoted text");
    EXPECT_EQ(trap.reports[3].text,
              "ParseRefFile: " + (dir / "odd.txt") + " has an odd number of bytes, the last one is ignored");
    for (const auto& r : trap.reports) EXPECT_EQ(r.flags, "");
}

TEST_F(StringTables, FolderLoadTakesThePrefixOrTheLanguage) {
    ASSERT_TRUE(platform::WriteFile(dir / "en_a.txt", Utf16File("[1]=a\r\n")));
    ASSERT_TRUE(platform::WriteFile(dir / "EN_b.TXT", Utf16File("[2]=b\r\n")));
    ASSERT_TRUE(platform::WriteFile(dir / "ru_a.txt", Utf16File("[3]=c\r\n")));
    ASSERT_TRUE(platform::WriteFile(dir / "en_c.dat", Utf16File("[4]=d\r\n")));
    LuaMachine->RunString("engine_ParseRefFiles('" + dir.path() + "', 'en')");
    EXPECT_EQ(Entry("1"), "@0061@");
    EXPECT_EQ(Entry("2"), "@0062@");
    EXPECT_EQ(Entry("3"), "");
    EXPECT_EQ(Entry("4"), "");

    SetupRecord.SetLanguage("ru");
    ParseRefFiles(dir.path(), "en");
    SetupRecord.SetLanguage("");
    EXPECT_EQ(Entry("3"), "@0063@");

    LuaMachine->RunString("strings = {} engine_ParseRefFile('" + (dir / "ru_a.txt") + "')");
    EXPECT_EQ(Entry("3"), "@0063@");
    EXPECT_EQ(Entry("1"), "");
}

// A bad argument is said with the function's name, loads nothing, and the
// calling script goes on, with or without the debug mode.
TEST_F(StringTables, BadArgumentsAreReportedAndTheScriptGoesOn) {
    const struct {
        const char* call;
        const char* report;
    } cases[] = {
        {"engine_ParseRefFile()",
         "engine_ParseRefFile: argument 1 (file) is no value, not a text; nothing is loaded"},
        {"engine_ParseRefFile({})",
         "engine_ParseRefFile: argument 1 (file) is table, not a text; nothing is loaded"},
        {"engine_ParseRefFiles('strings')",
         "engine_ParseRefFiles: argument 2 (prefix) is no value, not a text; nothing is loaded"},
        {"engine_ParseRefFiles(nil, 'en')",
         "engine_ParseRefFiles: argument 1 (folder) is nil, not a text; nothing is loaded"},
    };
    for (bool debug : {false, true}) {
        LuaDebugMode = debug;
        for (const auto& c : cases) {
            SCOPED_TRACE(c.call);
            trap.reports.clear();
            LuaMachine->RunString(std::string("after = nil ") + c.call + " after = 1");
            EXPECT_EQ(Global("after"), "1");
            ASSERT_EQ(trap.reports.size(), 1u);
            EXPECT_EQ(trap.reports[0].text, c.report);
            EXPECT_EQ(trap.reports[0].flags, "");
        }
    }
    LuaDebugMode = false;
}

TEST_F(StringTables, ModFilesReplaceBaseFilesOfTheSameNameAndAddTheirOwn) {
    ASSERT_TRUE(platform::CreateFolders(dir / "strings"));
    ASSERT_TRUE(platform::CreateFolders(dir / "mods/m/strings"));
    ASSERT_TRUE(platform::WriteFile(dir / "strings/en_a.txt", Utf16File("[1]=a\r\n[5]=five\r\n")));
    ASSERT_TRUE(platform::WriteFile(dir / "strings/en_b.txt", Utf16File("[2]=b\r\n")));
    ASSERT_TRUE(platform::WriteFile(dir / "mods/m/strings/EN_A.txt", Utf16File("[1]=A\r\n")));
    ASSERT_TRUE(platform::WriteFile(dir / "mods/m/strings/en_x.txt", Utf16File("[9]=x\r\n")));
    platform::SetExeFolderOverride(dir.path());
    ModName = "m";
    ParseRefFiles(dir / "strings", "en");
    ModName.clear();
    platform::SetExeFolderOverride("");
    EXPECT_EQ(Entry("1"), "@0041@");
    EXPECT_EQ(Entry("5"), ""); // the base file was replaced, not merged
    EXPECT_EQ(Entry("2"), "@0062@");
    EXPECT_EQ(Entry("9"), "@0078@");
}

} // namespace
} // namespace vesk::test
