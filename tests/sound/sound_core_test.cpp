#include "sound/sound_core.h"

#include <algorithm>

#include "sound_fixture.h"

namespace vesk {
namespace {

using namespace platform;

TEST(ChannelNames, MapBothWays) {
    const struct {
        const char* name;
        int number;
    } cases[] = {{"music", 1},     {"AMBIENCE", 2}, {"Radio", 3}, {"battle", 4}, {"DIALOG", 5},
                 {"interface", 6}, {"space", 7},    {"all", 0},   {"", 8},       {"musicx", 8}};
    for (auto& c : cases) EXPECT_EQ(ChannelNameToNumber(c.name), c.number) << c.name;
    std::string text = "keep";
    ChannelNumberToName(9, text);
    EXPECT_EQ(text, "keep");
    ChannelNumberToName(8, text);
    EXPECT_EQ(text, "Unknow");
    ChannelNumberToName(7, text);
    EXPECT_EQ(text, "Space");
    EXPECT_EQ(ChannelName(0), "All");
    EXPECT_EQ(ChannelName(9), "");
}

TEST(SoundVolumeLaw, PercentAndHundredthsOfDecibel) {
    EXPECT_EQ(TSoundCore::PercentToVolume(100), 0);
    EXPECT_EQ(TSoundCore::PercentToVolume(0), -10000);
    EXPECT_EQ(TSoundCore::PercentToVolume(50), -1591);
    EXPECT_EQ(TSoundCore::PercentToVolume(-20), -10000); // outside 0..100 is clamped
    EXPECT_EQ(TSoundCore::PercentToVolume(250), 0);
    for (int p = 0; p <= 100; ++p) EXPECT_EQ(TSoundCore::VolumeToPercent(TSoundCore::PercentToVolume(p)), p);
}

class SoundCoreTest : public test::SoundTest {};

TEST_F(SoundCoreTest, StartUpMakesThePrimaryBufferAndListener) {
    EXPECT_TRUE(SoundCore->HasListener());
    const auto calls = device->Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "SetCooperativeLevel(2)");
    EXPECT_EQ(calls[1], "CreateSoundBuffer(0x20091,0)");
    EXPECT_EQ(device->primaryFormat.nSamplesPerSec, 44100u);
    EXPECT_EQ(device->primaryFormat.nChannels, 2);
    const DS3DLISTENER& l = device->Listener().Applied();
    EXPECT_FLOAT_EQ(l.flRolloffFactor, 3.0f);
    EXPECT_FLOAT_EQ(l.flDistanceFactor, 1.0f);
    EXPECT_FLOAT_EQ(l.flDopplerFactor, 1.0f);

    SoundCore->SetGeneralVolume(50);
    EXPECT_EQ(SoundCore->GetGeneralVolume(), 50);
    EXPECT_EQ(device->masterVolume, -1591);
}

TEST_F(SoundCoreTest, CommitAppliesTheListenersCurrentValues) {
    SoundCore->SetRolloff(1.5f);
    SoundCore->SetListenerPosition({1, 2, 3});
    SoundCore->SetListenerOrientation({1, 0, 0}, {0, 0, 1});
    // Deferred: nothing heard until the commit.
    EXPECT_FLOAT_EQ(device->Listener().Applied().vPosition.x, 0.0f);
    SoundCore->CommitListener();
    const DS3DLISTENER& l = device->Listener().Applied();
    EXPECT_FLOAT_EQ(l.vPosition.z, 3.0f);
    EXPECT_FLOAT_EQ(l.vOrientFront.x, 1.0f);
    EXPECT_FLOAT_EQ(l.vOrientTop.z, 1.0f);
    EXPECT_FLOAT_EQ(l.flRolloffFactor, 1.5f); // not the start-up record's 3.0
    EXPECT_EQ(SoundCore->GetListenerPosition().y, 2.0f);
}

TEST_F(SoundCoreTest, FailedStartUpLeavesSettersStoringOnly) {
    struct Case {
        const char* what;
        NullSoundConfig config;
        Result expected;
    };
    NullSoundConfig noDevice, noLevel, noFormat;
    noDevice.failCreateDevice = true;
    noLevel.failCooperativeLevel = true;
    noFormat.failCreateBuffer = [](const DSBUFFERDESC& d) {
        return (d.dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
    };
    const Case cases[] = {{"no device", noDevice, -1},
                          {"cooperative level refused", noLevel, DSERR_INVALIDCALL},
                          {"primary buffer refused", noFormat, DSERR_OUTOFMEMORY}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UseNullSound(c.config);
        TSoundCore core;
        EXPECT_EQ(core.Init(nullptr), c.expected);
        EXPECT_FALSE(core.HasListener());
        core.SetListenerPosition({4, 5, 6});
        core.CommitListener();
        core.SetGeneralVolume(30);
        EXPECT_EQ(core.GetListenerPosition().x, 4.0f);
        EXPECT_EQ(core.GetGeneralVolume(), 0);
    }
}

TEST(SoundThread, PassesUntilTerminated) {
    std::atomic<int> passes{0};
    TSoundThread t([&] { ++passes; }, 1);
    t.Start();
    while (passes < 3) std::this_thread::yield();
    t.Terminate();
    t.WaitFor();
    const int seen = passes;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(passes, seen);
}

} // namespace
} // namespace vesk
