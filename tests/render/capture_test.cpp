#include <gtest/gtest.h>

#include <filesystem>

#include "null_device_scope.h"
#include "platform/files.h"
#include "platform/system.h"
#include "render/capture.h"
#include "render/capture_files.h"
#include "shared/errors.h"
#include "support/error_trap.h"

#include <algorithm>
#include <map>
#include <regex>
#include <set>

namespace vesk {
// Holds the frame copy's lock so that workers stay busy while a test looks.
struct CaptureTestAccess {
    static std::mutex& FrameLock(CaptureClass& c) { return c.frameMutex_; }
};
} // namespace vesk

using namespace vesk;
using namespace vesk::platform;
using vesk::test::ErrorTrap;
using vesk::test::Halted;
using vesk::test::NullDeviceScope;
using vesk::test::TempDir;

namespace {

std::vector<std::string> SortedFiles(const std::string& folder) {
    auto v = ListFolder(folder, true, false);
    std::sort(v.begin(), v.end());
    return v;
}

std::string ReadAll(const std::string& path) {
    std::string s;
    ReadFile(path, s);
    return s;
}

class Capture : public ::testing::Test {
protected:
    void SetUp() override {
        scope.Init();
        ASSERT_TRUE(Device);
        ini["capture_fps"] = "10";
        ini["capture_num_devices"] = "1";
        ini["capture_path_0"] = dir / "cap0_";
        ini["capture_path_1"] = dir / "cap1_";
        ini["capture_path_2"] = "";
        ini["capture_init"] = "1";
    }

    // A capture texture of the given size whose pixel (x, y) is B = x, G = y, R = 0x80 + x + y, A = 0xFF.
    Ref<IDirect3DTexture9> MakeTexture(uint32_t w, uint32_t h) {
        Ref<IDirect3DTexture9> tex;
        EXPECT_EQ(Device->CreateTexture(w, h, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                        tex.Put(), nullptr),
                  D3D_OK);
        D3DLOCKED_RECT r;
        EXPECT_EQ(tex->LockRect(0, &r, nullptr, 0), D3D_OK);
        for (uint32_t y = 0; y < h; ++y) {
            auto* row = static_cast<uint8_t*>(r.pBits) + size_t(y) * r.Pitch;
            for (uint32_t x = 0; x < w; ++x) {
                row[x * 4 + 0] = uint8_t(x);
                row[x * 4 + 1] = uint8_t(y);
                row[x * 4 + 2] = uint8_t(0x80 + x + y);
                row[x * 4 + 3] = 0xFF;
            }
        }
        tex->UnlockRect(0);
        return tex;
    }

    std::unique_ptr<CaptureClass> Make(uint32_t w = 3, uint32_t h = 2) {
        return std::make_unique<CaptureClass>(
            MakeTexture(w, h), 77, [this](const std::string& k) { return ini.count(k) ? ini[k] : ""; });
    }

    // One round of the timer thread with a fixed step.
    static void Round(CaptureClass& c, float dtUs) {
        c.FrameTick(dtUs);
        c.AdvanceTimer(dtUs);
        c.WaitForWorkers();
    }

    ErrorTrap trap;
    NullDeviceScope scope;
    TempDir dir;
    ManualClock clock;
    ScopedClock clockGuard{clock};
    std::map<std::string, std::string> ini;
};

} // namespace

TEST(CaptureFiles, FrameAndScreenshotNames) {
    EXPECT_EQ(CaptureFrameFileName("cap0_123456/", 7), "cap0_123456/000007.bmp");
    EXPECT_EQ(CaptureFrameFileName("cap0_123456/", 12345), "cap0_123456/012345.bmp");
    EXPECT_EQ(CaptureFrameFileName("c/", 1234567), "c/1234567.bmp");
    LocalDateTime t;
    t.year = 2026, t.month = 3, t.day = 9, t.hour = 7, t.minute = 5, t.second = 4, t.millisecond = 12;
    EXPECT_EQ(ScreenshotFileName(t, 42), "screenshots\\Vesk_Annals_9-03-26_07-05-04-012_42.bmp");
    t.day = 28, t.hour = 23;
    EXPECT_EQ(ScreenshotFileName(t, 999), "screenshots\\Vesk_Annals_28-03-26_23-05-04-012_999.bmp");
}

TEST(CaptureFiles, RowsArePaddedToFourBytes) {
    // Widths 1..4 give rows of 3, 6, 9, 12 bytes padded to 4, 8, 12, 12.
    const uint32_t strides[] = {4, 8, 12, 12};
    for (uint32_t w = 1; w <= 4; ++w) {
        EXPECT_EQ(BmpRowStride(w), strides[w - 1]);
        EXPECT_EQ(BmpFileSize(w, 3), 54u + 3 * strides[w - 1]);
    }
}

TEST_F(Capture, FrameFileByteForByte) {
    auto cap = Make(3, 2);
    cap->Start();
    ASSERT_TRUE(cap->Capturing());
    cap->CopyFrame();
    Round(*cap, 31000);
    EXPECT_EQ(cap->TotalFrames(), 1u);
    const std::string path = dir / ("cap0_" + std::to_string(clock.Counter()) + "/000000.bmp");
    EXPECT_EQ(cap->SessionPath(0), dir / ("cap0_" + std::to_string(clock.Counter()) + "/"));
    const std::string file = ReadAll(path);
    const uint8_t expected[] = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, // file header
                                40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0,
                                0, // info header
                                0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                // bottom row first (y = 1): B, G, R per pixel, then 3 bytes of padding
                                0, 1, 0x81, 1, 1, 0x82, 2, 1, 0x83, 0, 0, 0,
                                // top row (y = 0)
                                0, 0, 0x80, 1, 0, 0x81, 2, 0, 0x82, 0, 0, 0};
    ASSERT_EQ(file.size(), sizeof expected);
    EXPECT_EQ(file, std::string(reinterpret_cast<const char*>(expected), sizeof expected));
    cap->Stop();
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Capture, NumbersContinueAcrossSessions) {
    vesk::test::TempDir logs;
    SetLogFolder(logs.path());
    LogEnabled = true;
    auto cap = Make(2, 2);
    cap->Start();
    const int64_t first = clock.Counter();
    cap->CopyFrame();
    for (int i = 0; i < 3; ++i) Round(*cap, 100000);
    clock.AdvanceMs(5000);
    cap->Stop();
    EXPECT_FALSE(cap->Capturing());
    cap->Start();
    const int64_t second = clock.Counter();
    cap->CopyFrame();
    Round(*cap, 100000);
    cap->Stop();
    LogEnabled = false;
    SetLogFolder("logs/def");
    const std::string s1 = dir / ("cap0_" + std::to_string(first) + "/");
    const std::string s2 = dir / ("cap0_" + std::to_string(second) + "/");
    EXPECT_EQ(SortedFiles(s1), (std::vector<std::string>{"000000.bmp", "000001.bmp", "000002.bmp"}));
    EXPECT_EQ(SortedFiles(s2), (std::vector<std::string>{"000003.bmp"}));
    const std::string log = ReadAll(logs / "log.txt");
    EXPECT_NE(log.find("CAPTURE: TIMER(BEGIN): " + std::to_string(first)), std::string::npos);
    EXPECT_NE(log.find(", TotalFrames: 3, SkippedFramesNum: 0, average fps: "), std::string::npos);
    EXPECT_NE(log.find(", TotalFrames: 4, SkippedFramesNum: 0, average fps: "), std::string::npos);
}

TEST_F(Capture, FramesDueEveryThirdOrFourthRound) {
    auto cap = Make(2, 2);
    EXPECT_EQ(cap->FrameInterval(), 100000.0f);
    cap->Start();
    cap->CopyFrame();
    std::vector<int> dueRounds;
    for (int round = 0; round < 40; ++round) {
        const uint32_t before = cap->TotalFrames();
        Round(*cap, round == 0 ? 0.0f : 31000.0f); // the first round measures nothing
        if (cap->TotalFrames() > before) dueRounds.push_back(round);
    }
    cap->Stop();
    ASSERT_GE(dueRounds.size(), 10u);
    EXPECT_EQ(dueRounds[0], 1);
    for (size_t i = 1; i < dueRounds.size(); ++i) {
        const int gap = dueRounds[i] - dueRounds[i - 1];
        EXPECT_TRUE(gap == 3 || gap == 4) << gap;
    }
}

// When the clock moves with the frames (fixed-step runs), the frames move the
// capture's timer: a frame is written every interval of game time, however
// fast the frames come, and none while no frame comes.
TEST_F(Capture, FramesOfAFixedStepRunAreDueInGameTime) {
    FrameClock frames;
    ScopedClock framesGuard{frames};
    auto cap = Make(2, 2); // 10 frames a second
    cap->Start();
    SleepMs(100);
    EXPECT_EQ(cap->TotalFrames(), 0u);
    std::vector<int> written;
    for (int frame = 1; frame <= 50; ++frame) {
        frames.AdvanceMs(16);
        const uint32_t before = cap->TotalFrames();
        cap->CopyFrame(); // writes the frame due before it returns
        if (cap->TotalFrames() > before) written.push_back(frame);
    }
    cap->Stop();
    // 800 ms of frames of 16 ms: the first frame at once, then one each 100 ms.
    EXPECT_EQ(written, (std::vector<int>{1, 7, 13, 19, 25, 32, 38, 44, 50}));
    EXPECT_EQ(cap->SkippedFrames(), 0u);
}

TEST_F(Capture, BusyDevicesTakeTurnsAndThenSkip) {
    ini["capture_num_devices"] = "2";
    auto cap = Make(2, 2);
    cap->Start();
    cap->CopyFrame();
    {
        // Workers wait for the frame copy, so both devices stay busy.
        std::lock_guard hold(CaptureTestAccess::FrameLock(*cap));
        for (int i = 0; i < 4; ++i) {
            cap->FrameTick(100000);
            cap->AdvanceTimer(100000);
        }
        EXPECT_EQ(cap->SkippedFrames(), 2u);
    }
    cap->WaitForWorkers();
    cap->Stop();
    std::set<std::string> files;
    for (int d = 0; d < 2; ++d)
        for (const auto& f : ListFolder(cap->SessionPath(d), true, false))
            files.insert(std::to_string(d) + f);
    // One frame per device, each number taken once.
    EXPECT_TRUE(files == (std::set<std::string>{"0000000.bmp", "1000001.bmp"}) ||
                files == (std::set<std::string>{"0000001.bmp", "1000000.bmp"}));
}

TEST_F(Capture, NoFrameCopyCountsAsSkipped) {
    auto cap = Make(2, 2);
    cap->Start();
    Round(*cap, 100000); // nothing was copied yet
    EXPECT_EQ(cap->SkippedFrames(), 1u);
    EXPECT_EQ(cap->TotalFrames(), 0u);
    cap->Stop();
}

TEST_F(Capture, CaptureInitZeroSwitchesStartAndStopOff) {
    ini["capture_init"] = "0";
    auto cap = Make();
    cap->Start();
    EXPECT_FALSE(cap->Capturing());
    EXPECT_TRUE(ListFolder(dir.path()).empty());
    cap->Stop();
    EXPECT_FALSE(cap->Capturing());
}

TEST_F(Capture, DeviceCountsOutsideTheArrays) {
    // More devices than the arrays hold: no path past the third is read or
    // checked, and nothing is captured.
    ini["capture_num_devices"] = "5";
    ini["capture_path_2"] = dir / "cap2_";
    auto cap = Make(2, 2);
    cap->Start();
    cap->CopyFrame();
    Round(*cap, 100000);
    EXPECT_EQ(cap->TotalFrames(), 0u);
    EXPECT_EQ(cap->SkippedFrames(), 0u);
    cap->Stop();
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Capture, MissingSettingsTakeDefaultsAndBadOnesAreReported) {
    ini.clear();
    auto cap = Make();
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_EQ(cap->NumDevices(), 1);
    EXPECT_FLOAT_EQ(cap->FrameInterval(), 40000.0f);
    cap->Start();
    EXPECT_EQ(cap->SessionPath(0).rfind("capture/dev0_", 0), 0u) << cap->SessionPath(0);
    cap->Stop();
    cap.reset();
    std::filesystem::remove_all("capture");

    struct Case {
        std::string key, value, report;
    };
    const Case cases[] = {
        {"capture_fps", "ten", "Exception kws2i: _str=ten: CaptureClass.Init: ini[\"capture_fps\"]"},
        {"capture_num_devices", "x",
         "Exception kws2i: _str=x: CaptureClass.Init: ini[\"capture_num_devices\"]"},
    };
    for (const Case& c : cases) {
        ini[c.key] = c.value;
        EXPECT_THROW(Make(), Halted) << c.report;
        EXPECT_EQ(trap.lastFatal, c.report);
        ini.erase(c.key);
        // The fatal report released the device; make another for the next case.
        scope.Init();
    }
}

TEST_F(Capture, OnlyOneObjectAtATime) {
    auto first = Make();
    EXPECT_THROW(Make(), Halted);
    EXPECT_EQ(trap.lastFatal, "Only one copy of CaptureClass may exists at time");
    scope.Init();
    first.reset();
    EXPECT_NO_THROW(Make());
}

TEST_F(Capture, DestroyedWhileWorkersWrite) {
    // The owner waits for its threads; the sanitizer run checks nothing outlives it.
    ini["capture_num_devices"] = "3";
    ini["capture_path_2"] = dir / "cap2_";
    auto cap = Make(64, 64);
    cap->Start();
    cap->CopyFrame();
    for (int i = 0; i < 3; ++i) {
        cap->FrameTick(100000);
        cap->AdvanceTimer(100000);
    }
    cap.reset();
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Capture, ScreenshotSavesTheBackBuffer) {
    const std::string old = CurrentFolder();
    ASSERT_TRUE(SetCurrentFolder(dir.path()));
    auto cap = Make();
    EXPECT_TRUE(cap->Screenshot());
    ini["capture_init"] = "0";
    EXPECT_FALSE(cap->Screenshot()); // the engine stops copying frames again
    SetCurrentFolder(old);
    const auto shots = ListFolder(dir / "screenshots", true, false);
    ASSERT_GE(shots.size(), 1u);
    const std::regex name(R"(Vesk_Annals_\d{1,2}-\d\d-\d\d_\d\d-\d\d-\d\d-\d\d\d_\d{1,3}\.bmp)");
    for (const auto& s : shots) {
        EXPECT_TRUE(std::regex_match(s, name)) << s;
        // The 800 x 600 back buffer of the null window, 24 bits per pixel.
        EXPECT_EQ(FileSize(dir / ("screenshots/" + s)), int64_t(BmpFileSize(800, 600)));
    }
    EXPECT_TRUE(trap.reports.empty());
}
