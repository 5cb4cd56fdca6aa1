#include "shared/memstatus.h"

#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace vp = vesk::platform;

namespace {

class MemStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        vesk::SetLogFolder(dir / "logs");
        vesk::LogEnabled = true;
        vesk::SetMemLogEnabled(true);
    }
    void TearDown() override {
        vesk::LogEnabled = false;
        vesk::SetMemLogEnabled(false);
        vesk::SetLogFolder("logs/def");
    }
    std::string Read(const std::string& name) {
        std::string text;
        vp::ReadFile(dir / name, text);
        return text;
    }
    vesk::test::TempDir dir;
};

} // namespace

TEST_F(MemStatusTest, StatusTextAndUsageLinesHaveTheirFormat) {
    EXPECT_TRUE(std::regex_match(vesk::GetMemStatusStr(),
                                 std::regex(R"(dwAvailPhys: \d+ kb, dwAvailPageFile: \d+ kb)")));

    int64_t phys = 0, page = 0;
    vesk::GetAvailMemKb(phys, page);
    EXPECT_GT(phys, 0);
    // A mark far above what is free shows a large positive use.
    vesk::LogMemUsage(phys + 1000000, page, "LoadShip_a", nullptr);
    vesk::LogWriter writer("mem.xls");
    vesk::LogMemUsage(phys, page, "CreateShipMesh_b", &writer);
    writer.WriteOut();

    const std::regex line(R"(([A-Za-z_]+)\tphys_mem\t(-?\d+)\tkb\tswap\t(-?\d+)\tkb\n)");
    std::smatch m;
    std::string memlog = Read("logs/memlog.xls");
    ASSERT_TRUE(std::regex_match(memlog, m, line)) << memlog;
    EXPECT_EQ(m[1], "LoadShip_a");
    EXPECT_GT(std::stoll(m[2]), 900000);
    std::string mem = Read("logs/mem.xls");
    ASSERT_TRUE(std::regex_match(mem, m, line)) << mem;
    EXPECT_EQ(m[1], "CreateShipMesh_b");
}

TEST_F(MemStatusTest, TimingLineGivesSecondsSinceTheStart) {
    vp::ManualClock clock;
    vp::ScopedClock use(clock);
    const int64_t start = vp::PerfCounter();
    clock.AdvanceMs(1500);
    vesk::LogTiming("InitRender", nullptr, start);
    vesk::LogWriter writer("timing.txt");
    clock.AdvanceMs(250);
    vesk::LogTiming("Total", &writer, start);
    writer.WriteOut();

    std::string log = Read("logs/log.txt");
    ASSERT_GT(log.size(), 8u);
    EXPECT_EQ(log.substr(8), ": InitRender_sec\t1.5\n");
    EXPECT_EQ(Read("logs/timing.txt"), "Total_sec\t1.75\n");
}

// Free memory is read for a memory-log line only while the line is written:
// with logging off or the memory log off the mark is not taken and no line
// comes of it.
TEST_F(MemStatusTest, MarksAreTakenOnlyForAWrittenMemoryLog) {
    const struct {
        bool log, memLog, taken;
    } cases[] = {{true, true, true}, {true, false, false}, {false, true, false}, {false, false, false}};
    for (const auto& c : cases) {
        vesk::LogEnabled = c.log;
        vesk::SetMemLogEnabled(c.memLog);
        const vesk::MemUsageMark mark = vesk::TakeMemUsageMark();
        EXPECT_EQ(mark.taken, c.taken) << c.log << c.memLog;
        EXPECT_EQ(mark.physKb > 0, c.taken);
        vesk::LogMemUsageSince(mark, "Step");
    }
    vesk::LogEnabled = true;
    const std::string memlog = Read("logs/memlog.xls");
    EXPECT_EQ(std::count(memlog.begin(), memlog.end(), '\n'), 1) << memlog;
}
