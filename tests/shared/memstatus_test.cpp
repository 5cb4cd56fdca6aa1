#include "shared/memstatus.h"

#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

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
