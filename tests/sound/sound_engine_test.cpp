#include "sound/sound_engine.h"

#include "platform/window.h"
#include "shared/errors.h"
#include "sound_fixture.h"

#include <chrono>
#include <thread>

namespace vesk {
namespace {

using namespace platform;

class SoundEngineTest : public test::SoundTest {
protected:
    void SetUp() override {
        test::SoundTest::SetUp();
        SoundCore.reset(); // the engine starts its own core
        engine = std::make_unique<TSoundEngine>(false);
        ASSERT_EQ(engine->Init(nullptr), 0);
        device = LastNullSoundDevice();
        engine->SetFileFolder(dir.path() + "/");
        engine->SetMessageCallback([this](const std::string& t) { messages.push_back(t); });
    }
    void TearDown() override {
        engine->Done();
        engine.reset();
        test::SoundTest::TearDown();
    }
    NullSoundBuffer& DeviceOf(TCustomSoundBuffer& b) {
        return *static_cast<NullSoundBuffer*>(b.DeviceBuffer());
    }
    std::string Last() { return messages.empty() ? "" : messages.back(); }

    std::unique_ptr<TSoundEngine> engine;
    std::vector<std::string> messages;
};

TEST_F(SoundEngineTest, InitLeavesTheSpaceChannelMutedAndSilent) {
    EXPECT_TRUE(engine->Enabled());
    EXPECT_TRUE(engine->IsEnabled());
    EXPECT_FLOAT_EQ(engine->GetChannelVolume(7), 0.0f);
    EXPECT_TRUE(engine->SpaceChannel()->IsMuted());
    EXPECT_FLOAT_EQ(engine->GetChannelVolume(1), 0.0f);
    EXPECT_FLOAT_EQ(engine->GetChannelVolume(0), -1.0f);
    EXPECT_EQ(engine->GetChannelState(1), 0);
    EXPECT_EQ(engine->GetChannelState(6), 3);
    std::string status;
    engine->GetStatus(status);
    EXPECT_EQ(status, "Sound Engine Status: #R"
                      "Ambience Waiting, Vol=0, File=, FIT=0, FOT=0#R"
                      "Battle Waiting, Vol=0, File=, FIT=0, FOT=0#R"
                      "Dialog Waiting, Vol=0, File=, FIT=0, FOT=0#R"
                      "Music Waiting, Vol=0, File=, FIT=0, FOT=0#R"
                      "Radio Waiting, Vol=0, File=, FIT=0, FOT=0#R"
                      "Space: Playing, Vol=0#R");
    EXPECT_EQ(CallsStarting("GetCaps").size(), 1u);
    TSoundEngine fresh(false);
    fresh.Init(nullptr);
    std::string folder;
    fresh.GetFileFolder(folder);
    EXPECT_EQ(folder, ExeFolder() + "\\");
    fresh.Done();
}

TEST_F(SoundEngineTest, ChannelFaultsWriteTheirMessages) {
    const std::string a = "a.wav";
    Wav(a);
    ISoundController* controller = nullptr;
    std::vector<std::string> list;
    const struct {
        std::function<void()> call;
        std::string message; // empty: no message
    } cases[] = {
        {[&] { engine->Start(6); }, ""},
        {[&] { engine->Start(0); }, ""},
        {[&] { engine->Start(9); }, "ERR SoundEngine.Start fault. Channel="},
        {[&] { engine->Start(8); }, "ERR SoundEngine.Start fault. Channel=Unknow"},
        {[&] { EXPECT_EQ(engine->Add(1, "none.wav", 0, 0, "", false), -1); },
         "ERR SoundEngine.Add fault - file not found: none.wav"},
        {[&] { EXPECT_EQ(engine->Add(0, a, 5, 6, "cb()", true), -1); },
         "ERR SoundEngine.Add fault. Channel=All, FileName=a.wav, FadeIn=5, FadeOut=6, CallBack=\"cb()\", "
         "Loop=True, " +
             DXErrorText(0)},
        {[&] { engine->Clear(9); }, "MSG SoundEngine.Clear fault. Channel="},
        {[&] { engine->SetLoop(6, true); }, "ERR SoundEngine.SetLoop fault. Channel=Interface, loop=True"},
        {[&] { EXPECT_EQ(engine->Play(2, "b.wav", 0, 0, ""), -1); },
         "ERR SoundEngine.Play fault. File not found. Channel=Ambience, Filename=b.wav"},
        {[&] { EXPECT_EQ(engine->Play(6, a, 0, 0, ""), -1); },
         "ERR SoundEngine.Play fault. Channel=Interface, Filename=a.wav"},
        {[&] { EXPECT_EQ(engine->PlaySound(5, 3), -1); },
         "ERR SoundEngine.PlaySound fault. Channel=Dialog, ID=3"},
        {[&] { engine->Enum(1, list); }, "MSG SoundEngine.Enum fault. Channel= Music"},
        {[&] { engine->SetMaxPlayCount(3, 4); },
         "ERR SoundEngine.SetMaxPlayCount fault. Channel=Radio, MaxCount=4)"},
        {[&] { EXPECT_EQ(engine->Play3DSound(6, 0, 1, 2, 1, nullptr, controller), -1); },
         "ERR SoundEngine.Play3DSound fault. Channel=Interface, ID=0, MinDist=1, MaxDist=2"},
        {[&] { EXPECT_EQ(engine->Play3DSound(7, 9, 1, 2, 1, nullptr, controller), -1); },
         "ERR SoundEngine.Play3DSound fault. Channel=Space, SoundID=9, MinDist=1, MaxDist=2"},
        {[&] { engine->SetFileFolder(dir / "nope"); },
         "ERR TSoundEngine.SetFileFolder fault: Directory not exists - \"" + (dir / "nope") + "\""},
    };
    for (const auto& c : cases) {
        messages.clear();
        c.call();
        EXPECT_EQ(Last(), c.message);
        EXPECT_LE(messages.size(), 1u);
    }
    EXPECT_EQ(engine->Stop(9), 9);
    EXPECT_EQ(engine->Mute(8, true), -1);
    EXPECT_EQ(engine->GetPlayingCount(6), -1);
    std::string file;
    engine->GetChannelFile(6, file);
    EXPECT_EQ(file, "--");
}

TEST_F(SoundEngineTest, StopOfAllLeavesTheSpaceChannelPlaying) {
    Wav("a.wav");
    Wav("b.wav");
    const int space = engine->Add(7, "a.wav", 0, 0, "", true);
    const int ui = engine->Add(6, "b.wav", 0, 0, "", false);
    ASSERT_EQ(space, 0);
    ASSERT_EQ(ui, 0);
    EXPECT_EQ(engine->Add(6, "b.wav", 0, 0, "", false), 0); // the same file: the same id
    ISoundController* controller = nullptr;
    EXPECT_EQ(engine->Play3DSound(7, space, 10, 100, 1, nullptr, controller), 0);
    EXPECT_EQ(engine->PlaySound(6, ui), 0);
    EXPECT_EQ(engine->Stop(0), 0);
    EXPECT_TRUE(engine->SpaceChannel()->Buffer(0)->IsPlaying());
    EXPECT_FALSE(engine->InterfaceChannel()->Buffer(0)->IsPlaying());
    EXPECT_EQ(engine->GetPlayingCount(7), 1);
    engine->Update(10);
    std::string count = "x";
    engine->GetPlayCountText(count);
    EXPECT_EQ(count, "1");
    engine->Clear(0);
    EXPECT_EQ(engine->SpaceChannel()->GetSoundCount(), 0);
}

TEST_F(SoundEngineTest, LogKeepsTheNewestHundredLines) {
    for (int i = 1; i <= 101; ++i) engine->Message("m" + std::to_string(i));
    const auto lines = engine->LogLines();
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines.front(), TimeOfDayText() + " m101");
    EXPECT_EQ(lines.back().substr(9), "m2");
    std::string text;
    engine->GetMessages(2, text);
    EXPECT_EQ(text, lines[0] + "#R" + lines[1] + "#R");
    EXPECT_EQ(messages.size(), 101u);
}

TEST_F(SoundEngineTest, WorkerPassRefillsTheStreamsInChannelOrder) {
    Wav("t.wav");
    for (int c : {5, 3, 1, 4, 2}) EXPECT_EQ(engine->Play(c, "t.wav", 0, 0, ""), 0);
    std::vector<std::string> expected;
    for (int c = 1; c <= 5; ++c)
        expected.push_back("buf" + std::to_string(DeviceOf(engine->StreamChannel(c)->Buffer()).Number()) +
                           ".Lock(131072,131072,0x0)");
    device->ClearCalls();
    engine->WorkerPass();
    std::vector<std::string> locks;
    for (auto& call : device->Calls())
        if (call.find(".Lock(") != std::string::npos) locks.push_back(call);
    EXPECT_EQ(locks, expected);
    EXPECT_EQ(engine->GetThreadTicks(), 1);
    EXPECT_EQ(engine->GetChannelState(3), 1);
    std::string file;
    engine->GetChannelFile(3, file);
    EXPECT_EQ(file, dir / "t.wav");
}

TEST_F(SoundEngineTest, UpdateCommitsTheListenerAfterTheInterval) {
    engine->SetListenerPosition({7, 0, 0});
    const int before = device->CommitCount();
    engine->Update(60);
    EXPECT_EQ(device->CommitCount(), before);
    engine->Update(60);
    EXPECT_EQ(device->CommitCount(), before + 1);
    EXPECT_FLOAT_EQ(device->Listener().Applied().vPosition.x, 7.0f);
    engine->SetCommitInterval(0);
    engine->Update(1);
    EXPECT_EQ(device->CommitCount(), before + 2);
}

TEST_F(SoundEngineTest, VolumeMuteAndLoopReachTheChannels) {
    engine->SetVolume(0, 0.5f);
    for (int c = 1; c <= 6; ++c) EXPECT_FLOAT_EQ(engine->GetChannelVolume(c), 0.5f) << c;
    EXPECT_FLOAT_EQ(engine->GetChannelVolume(7), 0.0f); // still muted: 0.5 waits as the saved volume
    EXPECT_EQ(engine->Mute(7, false), 0);
    engine->Update(1000); // the space channel keeps its own mute time of 2000 ms
    EXPECT_FLOAT_EQ(engine->GetChannelVolume(7), 0.25f);
    engine->Update(1000);
    EXPECT_FLOAT_EQ(engine->GetChannelVolume(7), 0.5f);
    engine->SetLoop(4, true);
    EXPECT_TRUE(engine->GetLoop(4));
    EXPECT_FALSE(engine->GetLoop(6));
}

TEST_F(SoundEngineTest, TheWorkerThreadRuns) {
    TSoundEngine threaded;
    threaded.Init(nullptr);
    while (threaded.GetThreadTicks() < 2) std::this_thread::yield();
    threaded.Done();
}

TEST_F(SoundEngineTest, FailedStartUpLeavesTheEngineDisabled) {
    engine->Done();
    NullSoundConfig noDevice;
    noDevice.failCreateDevice = true;
    UseNullSound(noDevice);
    engine = std::make_unique<TSoundEngine>(false);
    EXPECT_EQ(engine->Init(nullptr), -1);
    EXPECT_FALSE(engine->Enabled());
    engine->SetMessageCallback([this](const std::string& t) { messages.push_back(t); });
    messages.clear();
    Wav("a.wav");
    EXPECT_EQ(engine->Add(1, "a.wav", 0, 0, "", false), -1);
    EXPECT_EQ(engine->Play(1, "a.wav", 0, 0, ""), -1);
    engine->Start(9);
    EXPECT_TRUE(messages.empty());
    std::string status;
    engine->GetStatus(status);
    EXPECT_EQ(status.substr(0, 23), "Sound Engine Status: #R");
}

TEST(SoundGag, AnswersWithoutSound) {
    TSoundGag gag;
    std::vector<std::string> got;
    gag.SetMessageCallback([&](const std::string& t) { got.push_back(t); });
    EXPECT_EQ(got, std::vector<std::string>{"Sound is disable"});
    std::string text = "unchanged";
    gag.GetPlayCountText(text);
    EXPECT_EQ(text, "unchanged");
    gag.GetStatus(text);
    EXPECT_EQ(text, "Sound is disable");
    gag.GetMessages(5, text);
    EXPECT_EQ(text, "Sound is disable");
    gag.GetChannelFile(1, text);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(gag.IsEnabled());
    EXPECT_EQ(gag.GetChannelState(1), 3);
    EXPECT_EQ(gag.GetThreadTicks(), -1);
    EXPECT_EQ(gag.Add(1, "x", 0, 0, "", false), 0);
    EXPECT_FLOAT_EQ(gag.GetChannelVolume(1), 0.0f);
}

TEST(SoundServiceTest, PicksTheEngineBySoundSwitch) {
    test::ErrorTrap trap;
    UseNullSound();
    NullWindow window;
    SoundService service;
    service.Start(false, window);
    EXPECT_FALSE(SoundEngine->IsEnabled());
    service.Done();
    EXPECT_EQ(SoundEngine, nullptr);
    service.Start(true, window);
    ASSERT_TRUE(SoundEngine);
    EXPECT_TRUE(dynamic_cast<TSoundEngine*>(SoundEngine.get())->Enabled());
    service.Update(16);
    service.Done();
    EXPECT_EQ(SoundEngine, nullptr);
    EXPECT_EQ(SoundCore, nullptr);
    SetDirectSoundFactory({});

    // Headless runs install the null device under the engine.
    CoreServices services;
    InstallSoundServices(services, true);
    ASSERT_TRUE(services.sound);
    services.sound->Start(true, window);
    EXPECT_TRUE(LastNullSoundDevice());
    EXPECT_TRUE(dynamic_cast<TSoundEngine*>(SoundEngine.get())->Enabled());
    services.sound->Done();
    SetDirectSoundFactory({});
}

TEST(SoundServiceTest, EitherEngineTalksToTheServicesMessageSink) {
    test::ErrorTrap trap;
    UseNullSound();
    NullWindow window;
    std::vector<std::string> got;
    SoundService service([&](const std::string& t) { got.push_back(t); });
    service.Start(false, window);
    EXPECT_EQ(got, std::vector<std::string>{"Sound is disable"});
    service.Done();
    got.clear();
    service.Start(true, window);
    SoundEngine->Start(9);
    EXPECT_EQ(got, std::vector<std::string>{"ERR SoundEngine.Start fault. Channel="});
    service.Done();
    SetDirectSoundFactory({});
}

// A stream that fails while the worker refills it is reported by the main
// thread's next update: the fatal report's shut-down never runs on the worker.
class SoundWorkerTest : public test::SoundTest {};

TEST_F(SoundWorkerTest, StreamFaultWaitsForTheMainThread) {
    SoundCore.reset();
    TSoundEngine engine; // with its worker thread
    ASSERT_EQ(engine.Init(nullptr), 0);
    auto dev = LastNullSoundDevice();
    engine.SetFileFolder(dir.path() + "/");
    test::WavFormat longWave;
    longWave.frames = 22050 * 30; // still streaming when the fault comes, however slow the machine
    Wav("a.wav", longWave);
    const auto mainThread = std::this_thread::get_id();
    std::vector<std::thread::id> reportedOn;
    const auto trapHook = GetErrorHooks().onReport;
    GetErrorHooks().onReport = [&](const std::string& text, const std::string& flags) {
        if (flags.find('h') != std::string::npos) reportedOn.push_back(std::this_thread::get_id());
        trapHook(text, flags);
    };
    ASSERT_EQ(engine.Play(1, "a.wav", 0, 0, ""), 0);
    engine.Update(10);
    dev->Config().failLock = true;
    // The failing pass stops the worker's passes: the counter stands still. A
    // worker merely kept off the processor by a loaded machine stands still for
    // a while too, so the counter must stay still far longer than a pass takes.
    int last = -1, still = 0;
    for (int i = 0; i < 300 && still < 25; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        const int t = engine.GetThreadTicks();
        still = t == last ? still + 1 : 0;
        last = t;
    }
    ASSERT_GE(still, 25);
    EXPECT_TRUE(reportedOn.empty());
    EXPECT_TRUE(trap.lastFatal.empty());
    EXPECT_THROW(engine.Update(10), test::Halted);
    EXPECT_EQ(reportedOn, std::vector<std::thread::id>{mainThread});
    EXPECT_EQ(trap.lastFatal.rfind("TStreamSoundChannel.Update fault. Name=Music", 0), 0u) << trap.lastFatal;
    // The worker stopped streaming after the fault: one report, not one per pass.
    dev->Config().failLock = false;
    engine.Update(10);
    EXPECT_EQ(reportedOn.size(), 1u);
    GetErrorHooks().onReport = trapHook;
    engine.Done();
}

} // namespace
} // namespace vesk
