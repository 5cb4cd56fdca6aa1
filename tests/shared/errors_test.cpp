#include "shared/errors.h"

#include "platform/files.h"
#include "platform/system.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace vp = vesk::platform;
using vesk::test::ErrorTrap;
using vesk::test::Halted;
using vesk::test::TempDir;

namespace {

// Logs and reports go to a temporary program folder; every global is restored.
class ErrorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        vp::SetExeFolderOverride(dir.path());
        vesk::SetLogFolder(dir / "logs");
        vesk::LogEnabled = true;
        vesk::GetErrorLogSources().measuredCpuMhz = [] { return 1234u; };
        // Never start a viewer from a test.
        vp::SetStartProgramHandler([](const std::string&, const std::vector<std::string>&) { return true; });
    }
    void TearDown() override {
        vesk::LogEnabled = false;
        vesk::SetMemLogEnabled(false);
        vesk::SetLogFolder("logs/def");
        vesk::GetErrorLogSources() = vesk::ErrorLogSources{};
        vesk::PendingErrorTexts.clear();
        vp::SetExeFolderOverride("");
        vp::SetStartProgramHandler(nullptr);
    }
    std::string Read(const std::string& path) {
        std::string text;
        vp::ReadFile(path, text);
        return text;
    }
    std::vector<std::string> Lines(const std::string& path) {
        std::vector<std::string> lines;
        std::string text = Read(path), line;
        for (char c : text) {
            if (c == '\n')
                lines.push_back(line), line.clear();
            else
                line += c;
        }
        return lines;
    }
    std::string ReportFolder() { return dir / "Logs/ErrorLogs"; }

    TempDir dir;
    ErrorTrap trap;
};

} // namespace

TEST_F(ErrorsTest, FlagRulesDecideQueueReleaseAndHalt) {
    struct Case {
        const char* flags;
        size_t queued;
        int releases, shutdowns;
        bool halts;
    };
    const Case cases[] = {
        {"", 0, 0, 0, false},  {"w", 1, 0, 0, false},  {"wm", 1, 0, 0, false}, {"m", 1, 0, 0, false},
        {"l", 0, 0, 0, false}, {"ww", 0, 0, 0, false}, {"mhl", 1, 1, 1, true}, {"hl", 0, 0, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("flags \"") + c.flags + "\"");
        ErrorTrap local;
        vesk::PendingErrorTexts.clear();
        vp::DeleteFile(dir / "logs/errlog.txt");
        vp::DeleteFile(dir / "logs/log.txt");
        bool halted = false;
        ::testing::internal::CaptureStderr();
        try {
            vesk::ErrorReport("boom", c.flags);
        } catch (const Halted& h) {
            halted = true;
            EXPECT_STREQ(h.what(), "boom");
        }
        const std::string terminal = ::testing::internal::GetCapturedStderr();
        // What ends the game is said in the general log and on the terminal too.
        EXPECT_EQ(terminal, c.halts ? "vesk: boom\n" : "");
        EXPECT_EQ(Lines(dir / "logs/log.txt").size(), c.halts ? 1u : 0u);
        EXPECT_EQ(halted, c.halts);
        EXPECT_EQ(vesk::PendingErrorTexts.size(), c.queued);
        EXPECT_EQ(local.displayReleases, c.releases);
        EXPECT_EQ(local.shutdowns, c.shutdowns);
        auto lines = Lines(dir / "logs/errlog.txt");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].substr(8), ": boom"); // after "HH:MM:SS"
    }
}

// Buffered lines stay in memory until a flush, then reach their files in
// order; emptying the files drops what is pending for them, a new folder
// takes only the lines written after the change, and a fatal report writes
// everything out before the shut-down runs.
TEST_F(ErrorsTest, BufferedFastLogReachesItsFilesWhenFlushed) {
    struct Unbuffer {
        ~Unbuffer() { vesk::SetFastLogBuffered(false); }
    } unbuffer;
    vesk::SetFastLogBuffered(true);
    vesk::SetMemLogEnabled(true);
    vesk::FastLogAdd("one");
    vesk::FastLogAddError("bad");
    vesk::FastLogAddMem("a\tb");
    vesk::FastLogAdd("two");
    EXPECT_EQ(vp::FileSize(dir / "logs/log.txt"), -1);
    vesk::FastLogFlush();
    auto log = Lines(dir / "logs/log.txt");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].substr(8), ": one");
    EXPECT_EQ(log[1].substr(8), ": two");
    EXPECT_EQ(Lines(dir / "logs/errlog.txt").size(), 1u);
    EXPECT_EQ(Read(dir / "logs/memlog.xls"), "a\tb\n");

    vesk::FastLogAdd("dropped");
    vesk::FastLogAddMem("kept");
    vesk::FastLogClearFiles();
    vesk::FastLogFlush();
    EXPECT_EQ(vp::FileSize(dir / "logs/log.txt"), 0);
    EXPECT_EQ(Read(dir / "logs/memlog.xls"), "a\tb\nkept\n");

    vesk::FastLogAdd("old folder");
    vesk::SetLogFolder(dir / "other");
    vesk::FastLogAdd("new folder");
    vesk::FastLogFlush();
    EXPECT_EQ(Lines(dir / "logs/log.txt").size(), 1u);
    ASSERT_EQ(Lines(dir / "other/log.txt").size(), 1u);
    EXPECT_EQ(Lines(dir / "other/log.txt")[0].substr(8), ": new folder");

    // Large amounts go out without waiting for a flush.
    const std::string line(1000, 'x');
    for (int i = 0; i < 100; ++i) vesk::FastLogAdd(line);
    EXPECT_GT(vp::FileSize(dir / "other/log.txt"), 64 * 1000);

    std::string logAtShutdown;
    const auto trapShutdown = vesk::GetErrorHooks().shutdown;
    vesk::GetErrorHooks().shutdown = [&] { logAtShutdown = Read(dir / "other/log.txt"); };
    vesk::FastLogAdd("before the fatal report");
    EXPECT_THROW(vesk::ErrorReport("fatal", "mhl"), Halted);
    vesk::GetErrorHooks().shutdown = trapShutdown;
    EXPECT_NE(logAtShutdown.find("before the fatal report"), std::string::npos);
    EXPECT_NE(Read(dir / "other/errlog.txt").find(": fatal\n"), std::string::npos);

    // Turning buffering off writes what is pending and every line after at once.
    vesk::FastLogAdd("pending");
    vesk::SetFastLogBuffered(false);
    EXPECT_NE(Read(dir / "other/log.txt").find("pending"), std::string::npos);
    vesk::FastLogAdd("direct");
    EXPECT_NE(Read(dir / "other/log.txt").find("direct"), std::string::npos);
}

TEST_F(ErrorsTest, FastLogWritesWholeLinesToTheirFilesAndClears) {
    vesk::SetMemLogEnabled(true);
    vesk::FastLogAdd("  spaced text  ");
    vesk::FastLogAddInt(-42);
    vesk::FastLogAddLuaTime("chunk 12");
    vesk::FastLogAddMem("a\tb");
    vesk::FastLogAddError("bad");

    auto log = Lines(dir / "logs/log.txt");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].size(), 8 + 17u);
    EXPECT_EQ(log[0].substr(8), ":   spaced text  "); // nothing trimmed
    EXPECT_EQ(log[1].substr(8), ": -42");
    EXPECT_EQ(Lines(dir / "logs/luatlog.txt").at(0).substr(8), ": chunk 12");
    EXPECT_EQ(Read(dir / "logs/memlog.xls"), "a\tb\n"); // no time

    vesk::SetMemLogEnabled(false);
    vesk::FastLogAddMem("skipped");
    EXPECT_EQ(Read(dir / "logs/memlog.xls"), "a\tb\n");

    vesk::FastLogClearFiles();
    EXPECT_EQ(vp::FileSize(dir / "logs/log.txt"), 0);
    EXPECT_EQ(vp::FileSize(dir / "logs/errlog.txt"), 0);
    EXPECT_EQ(vp::FileSize(dir / "logs/luatlog.txt"), 0);
    EXPECT_EQ(vp::FileSize(dir / "logs/memlog.xls"), 4); // not one of the emptied files

    vesk::SetLogFolder("");
    vesk::FastLogAdd("nowhere");
    ASSERT_EQ(trap.boxes.size(), 1u);
    EXPECT_EQ(trap.boxes[0].flags, "Unable To Add To Log");
    EXPECT_NE(trap.boxes[0].text.find("nowhere"), std::string::npos);
}

TEST_F(ErrorsTest, LoggingOffWritesNoFastLogFileAtAll) {
    vesk::LogEnabled = false;
    vesk::SetMemLogEnabled(true);
    vesk::ErrorReport("quiet", "");
    vesk::ErrorReport("queued", "w");
    vesk::FastLogAdd("a");
    vesk::FastLogAddInt(1);
    vesk::FastLogAddError("b");
    vesk::FastLogAddLuaTime("c");
    vesk::FastLogAddMem("d");
    vesk::LogWriter writer("writer.txt");
    writer.Add("e");
    writer.WriteOut();
    EXPECT_EQ(writer.PendingCount(), 0u);
    EXPECT_FALSE(vp::FolderExists(dir / "logs"));
    EXPECT_EQ(vesk::PendingErrorTexts.size(), 1u); // the queue does not depend on the switch
}

TEST_F(ErrorsTest, DeviceResultsAreReportedWithNameAndDescription) {
    EXPECT_EQ(vesk::DXErrorText(vp::D3DERR_DEVICELOST),
              "D3DERR_DEVICELOST\n(" + vp::ResultDescription(vp::D3DERR_DEVICELOST) + ")");
    EXPECT_EQ(vesk::DXErrorText(0x12345678), "0x12345678\n(Unknown result)");

    vesk::CheckDXResult(vp::D3D_OK, "CreateTexture", "mhl");
    vesk::CheckDXResultToErrorLog(vp::S_OK, "Lock");
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_TRUE(vesk::PendingErrorTexts.empty());

    vesk::CheckDXResultToErrorLog(vp::DSERR_BUFFERLOST, "Lock");
    ASSERT_EQ(vesk::PendingErrorTexts.size(), 1u);
    EXPECT_EQ(vesk::PendingErrorTexts[0], "Lock\r" + vesk::DXErrorText(vp::DSERR_BUFFERLOST));
    EXPECT_TRUE(trap.reports.empty()); // queued only, no central report

    ::testing::internal::CaptureStderr();
    EXPECT_THROW(vesk::CheckDXResult(vp::E_OUTOFMEMORY, "CreateTexture", "mhl"), Halted);
    EXPECT_EQ(trap.lastFatal,
              "CreateTexture\rE_OUTOFMEMORY\n(" + vp::ResultDescription(vp::E_OUTOFMEMORY) + ")");
    // On the terminal each of the report's lines stands on a line of its own.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "vesk: CreateTexture\n    E_OUTOFMEMORY\n    (" +
                                                            vp::ResultDescription(vp::E_OUTOFMEMORY) + ")\n");
}

TEST(ResultCodes, EveryConstantHasItsOwnNameAndADescription) {
    const vp::Result all[] = {vp::S_OK,
                              vp::S_FALSE,
                              vp::E_NOTIMPL,
                              vp::E_NOINTERFACE,
                              vp::E_POINTER,
                              vp::E_FAIL,
                              vp::E_ACCESSDENIED,
                              vp::E_OUTOFMEMORY,
                              vp::E_INVALIDARG,
                              vp::D3DERR_WRONGTEXTUREFORMAT,
                              vp::D3DERR_UNSUPPORTEDCOLOROPERATION,
                              vp::D3DERR_UNSUPPORTEDCOLORARG,
                              vp::D3DERR_UNSUPPORTEDALPHAOPERATION,
                              vp::D3DERR_UNSUPPORTEDALPHAARG,
                              vp::D3DERR_TOOMANYOPERATIONS,
                              vp::D3DERR_CONFLICTINGTEXTUREFILTER,
                              vp::D3DERR_UNSUPPORTEDFACTORVALUE,
                              vp::D3DERR_CONFLICTINGRENDERSTATE,
                              vp::D3DERR_UNSUPPORTEDTEXTUREFILTER,
                              vp::D3DERR_CONFLICTINGTEXTUREPALETTE,
                              vp::D3DERR_DRIVERINTERNALERROR,
                              vp::D3DERR_NOTFOUND,
                              vp::D3DERR_MOREDATA,
                              vp::D3DERR_DEVICELOST,
                              vp::D3DERR_DEVICENOTRESET,
                              vp::D3DERR_NOTAVAILABLE,
                              vp::D3DERR_OUTOFVIDEOMEMORY,
                              vp::D3DERR_INVALIDDEVICE,
                              vp::D3DERR_INVALIDCALL,
                              vp::D3DERR_DRIVERINVALIDCALL,
                              vp::D3DERR_WASSTILLDRAWING,
                              vp::D3DXERR_INVALIDDATA,
                              vp::DSERR_ALLOCATED,
                              vp::DSERR_CONTROLUNAVAIL,
                              vp::DSERR_INVALIDCALL,
                              vp::DSERR_PRIOLEVELNEEDED,
                              vp::DSERR_BADFORMAT,
                              vp::DSERR_NODRIVER,
                              vp::DSERR_BUFFERLOST,
                              vp::DSERR_OTHERAPPHASPRIO,
                              vp::DSERR_UNINITIALIZED,
                              vp::DSERR_BUFFERTOOSMALL,
                              vp::DIERR_INPUTLOST,
                              vp::DIERR_NOTACQUIRED,
                              vp::DIERR_NOTINITIALIZED,
                              vp::DIERR_DEVICENOTREG};
    std::set<std::string> names;
    for (vp::Result r : all) {
        std::string name = vp::ResultName(r);
        EXPECT_NE(name.substr(0, 2), "0x") << r;
        EXPECT_NE(vp::ResultDescription(r), "Unknown result") << name;
        EXPECT_TRUE(names.insert(name).second) << name;
    }
    // Aliases of the general codes read as the general code.
    EXPECT_EQ(vp::ResultName(vp::DSERR_INVALIDPARAM), "E_INVALIDARG");
    EXPECT_EQ(vp::ResultName(vp::D3D_OK), "S_OK");
}

TEST_F(ErrorsTest, ReportsAreNumberedPerDayAndEmptyTheQueue) {
    vp::LocalDateTime d = vp::Now();
    char date[16];
    std::snprintf(date, sizeof date, "%02d_%02d_%02d", d.year % 100, d.month, d.day);
    const std::string base = ReportFolder() + "/" + date + "_VESKErrorLog_";

    EXPECT_THROW(vesk::ErrorReport("first", "mhl"), Halted);
    vesk::ErrorLogReport("", true);
    vesk::ErrorLogReport("second", true);
    EXPECT_FALSE(vesk::ErrorLogHasPending());

    auto first = Lines(base + "0000.txt");
    auto second = Lines(base + "0001.txt");
    ASSERT_GT(first.size(), 6u);
    ASSERT_GT(second.size(), 6u);
    EXPECT_EQ(first[5], "ErrorText              : first");
    EXPECT_EQ(second[5], "ErrorText              : second");
    EXPECT_EQ(vesk::NextErrorLogFileName(), base + "0002.txt");

    // A report with nothing queued still gets written, with the warning line.
    vesk::ErrorLogReport("", true);
    auto third = Lines(base + "0002.txt");
    ASSERT_GT(third.size(), 6u);
    EXPECT_EQ(third[5], "ErrorText              : Warning Error Is Unknown. This should never happen....");
}

TEST_F(ErrorsTest, AReportThatCannotBeWrittenKeepsItsTexts) {
    ASSERT_TRUE(vp::WriteFile(dir / "blocker", "not a folder"));
    vp::SetExeFolderOverride(dir / "blocker");
    vesk::ErrorLogReport("lost?", true);
    EXPECT_EQ(vesk::PendingErrorTexts, std::vector<std::string>{"lost?"});
    EXPECT_NE(Read(dir / "logs/errlog.txt").find("ErrorLogReport: unable to write"), std::string::npos);
}

TEST_F(ErrorsTest, ReportTakesItsFactsFromTheHooks) {
    vesk::ErrorLogSources& src = vesk::GetErrorLogSources();
    src.applicationTitle = [] { return std::string("Vesk Annals"); };
    src.version = [] { return std::string("1.2.3.4"); };
    src.commandLine = [] { return std::vector<std::string>{"-luadebug", "mod=abc"}; };
    src.luaDebug = [](std::vector<std::string>& lines) {
        lines = vesk::FormatLuaStackLevel({0, "@main.lua", "Lua", "", "", 3, 7});
        return true;
    };
    src.videoCard = [] { return std::string(600, 'v'); };
    src.resolution = [] { return std::string("1024x768"); };
    vesk::PendingErrorTexts = {"one", "two"};
    const std::string name = vesk::NextErrorLogFileName();
    vesk::ErrorLogReport("", true);

    auto lines = Lines(name);
    const std::vector<std::string> head = {
        "General Info",
        "------------",
        "Application            : Vesk Annals",
        "Version                : 1.2.3.4",
        "",
        "ErrorText              : one",
        "ErrorText              : two",
        "",
        "Params                 : -LUADEBUG MOD=ABC",
        "ParamCount             : 2",
        "",
        "LUA Debug",
        "---------",
        "Debug 0                : Source: @main.lua ",
        "                       : What: Lua ",
        "                       : LineDefined: 3 ",
        "                       : CurrentLine: 7 ",
        "",
        "Windows Info",
        "------------",
    };
    ASSERT_GE(lines.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + head.size()), head);
    const std::string text = Read(name);
    EXPECT_NE(text.find("\"Actual\" CPU Speed     : 1234Mhz\n"), std::string::npos);
    EXPECT_NE(text.find("VideoCard              : " + std::string(513, 'v') + "\n"), std::string::npos);
    EXPECT_NE(text.find("Resolution             : 1024x768\n\n"), std::string::npos);
    EXPECT_NE(text.find("Physical Memory        : "), std::string::npos);
}

TEST(ErrorLogLayout, FormatsEverySectionExactly) {
    vesk::ErrorLogFacts f;
    f.application = "Vesk";
    f.version = "Unknow";
    f.luaAlive = false;
    f.product = "Linux 6.1.0-18-amd64";
    f.majorVersion = 6;
    f.minorVersion = 1;
    f.buildNumber = 0;
    f.totalPhysKb = 2047 * 1024 + 600; // rounds up to 2048
    f.cpuOk = true;
    f.cpuVendor = "AuthenticAMD";
    f.cpuName = "AMD Athlon(tm) 64 Processor 3200+";
    f.cpuMhz = 2000;
    f.measuredMhz = 1999;
    f.resolution = "800x600";
    const std::string expected =
        "General Info\n"
        "------------\n"
        "Application            : Vesk\n"
        "Version                : Unknow\n"
        "\n"
        "ErrorText              : Warning Error Is Unknown. This should never happen....\n"
        "\n"
        "Params                 : \n"
        "ParamCount             : 0\n"
        "\n"
        "LUA Debug\n"
        "---------\n"
        "LUA was Freed\n"
        "-------------\n"
        "\n"
        "Windows Info\n"
        "------------\n"
        "Product                : Linux 6.1.0-18-amd64\n"
        "Win32MajorVersion      : 6\n"
        "Win32MinorVersion      : 1\n"
        "BuildNumber            : 0\n"
        "ServicePack            : \n"
        "ServicePackMajor       : 0\n"
        "ServicePackMinor       : 0\n"
        "\n"
        "Hardware Info\n"
        "-------------\n"
        "Physical Memory        : 2049MB\n"
        "CPU Name               : AMD Athlon(tm) 64 Processor 3200+\n"
        "CPU Clock              : 2000Mhz\n"
        "CPU Speed              : 3200Mhz\n"
        "\"Actual\" CPU Speed     : 1999Mhz\n"
        "VideoCard              : \n"
        "Resolution             : 800x600\n"
        "\n";
    EXPECT_EQ(vesk::FormatErrorLogReport(f), expected);

    // Unreadable processor facts: the three lines say so and the rest is written.
    f.cpuOk = false;
    const std::string text = vesk::FormatErrorLogReport(f);
    EXPECT_NE(text.find("CPU Name               : Error Obtaining Information\n"
                        "CPU Clock              : Error Obtaining Information\n"
                        "CPU Speed              : Error Obtaining Information\n"
                        "\"Actual\" CPU Speed     : 1999Mhz\n"),
              std::string::npos);
}

TEST(ErrorLogLayout, LuaLevelsListOnlyTheFieldsThatAreSet) {
    vesk::LuaStackLevel full{3, "@a.lua", "Lua", "f", "global", 1, 2};
    EXPECT_EQ(vesk::FormatLuaStackLevel(full), (std::vector<std::string>{
                                                   "Debug 3                : Source: @a.lua ",
                                                   "                       : What: Lua ",
                                                   "                       : Name: f ",
                                                   "                       : NameWhat: global ",
                                                   "                       : LineDefined: 1 ",
                                                   "                       : CurrentLine: 2 ",
                                               }));
    vesk::LuaStackLevel bare{1, "", "", "", "", -1, 0};
    EXPECT_EQ(vesk::FormatLuaStackLevel(bare), (std::vector<std::string>{
                                                   "Debug 1                : LineDefined: -1 ",
                                                   "                       : CurrentLine: 0 ",
                                               }));
}

TEST(ErrorLogLayout, RatedSpeedComesFromTheAmdModelNumber) {
    struct Case {
        const char* vendor;
        const char* name;
        unsigned mhz, rated;
    };
    const Case cases[] = {
        {"AuthenticAMD", "AMD Athlon(tm) XP 2500+", 1833, 2500},
        {"authenticamd", "AMD Athlon 3000+", 3000, 3000},                   // equal: the clock
        {"AuthenticAMD", "AMD Ryzen 7 5800X 8-Core Processor", 3800, 3800}, // no digits in the last word
        {"AuthenticAMD", "AMD Sempron 2800+", 3000, 3000},                  // below the clock
        {"AuthenticAMD", "", 1000, 1000},
        {"AuthenticAMD", "X 99999999999999999999", 1000, 1000}, // too long to be a speed
        {"GenuineIntel", "Intel Pentium 4 3200", 2000, 2000},
        {"AuthenticAMD", "4200", 1000, 4200}, // one word
    };
    for (const Case& c : cases)
        EXPECT_EQ(vesk::RatedCpuSpeed(c.vendor, c.name, c.mhz), c.rated) << c.vendor << " " << c.name;
}

#if defined(__x86_64__) || defined(__i386__)
TEST(ErrorLogLayout, MeasuredSpeedIsPlausible) {
    unsigned mhz = vesk::MeasureCpuSpeedMhz();
    EXPECT_GT(mhz, 100u);
    EXPECT_LT(mhz, 20000u);
}
#endif

TEST_F(ErrorsTest, LogWriterRewritesTheFileWithAllPendingLines) {
    vesk::LogWriter writer("startup.xls");
    writer.Add("a\t1");
    writer.Add("b\t2");
    writer.WriteOut();
    EXPECT_EQ(Read(dir / "logs/startup.xls"), "a\t1\nb\t2\n");
    writer.Add("c\t3");
    writer.WriteOut();
    EXPECT_EQ(Read(dir / "logs/startup.xls"), "a\t1\nb\t2\nc\t3\n");
    EXPECT_EQ(writer.PendingCount(), 3u);
}

TEST_F(ErrorsTest, FlushManagerWritesEveryWriterAndFreesItself) {
    auto manager = std::make_unique<vesk::FastLogFlushManClass>();
    auto w1 = std::make_shared<vesk::LogWriter>("one.txt");
    auto w2 = std::make_shared<vesk::LogWriter>("two.txt");
    manager->Add(w1);
    manager->Add(w2);
    w1->Add("x");
    w2->Add("y");
    vesk::FastLogFlushManClass::FlushAndFree(manager);
    EXPECT_EQ(manager, nullptr);
    EXPECT_EQ(Read(dir / "logs/one.txt"), "x\n");
    EXPECT_EQ(Read(dir / "logs/two.txt"), "y\n");
    vesk::FastLogFlushManClass::FlushAndFree(manager); // already freed: nothing
}

TEST_F(ErrorsTest, ConcurrentAddsLoseNoLine) {
    vesk::LogWriter writer("threads.txt");
    constexpr int kThreads = 8, kLines = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&writer, t] {
            for (int i = 0; i < kLines; ++i) writer.Add(std::to_string(t) + ":" + std::to_string(i));
        });
    for (auto& th : threads) th.join();
    writer.WriteOut();
    auto lines = Lines(dir / "logs/threads.txt");
    EXPECT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(),
              static_cast<size_t>(kThreads * kLines));
}
