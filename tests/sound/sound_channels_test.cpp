#include "sound/sound_channels.h"

#include "sound_fixture.h"

namespace vesk {
namespace {

using namespace platform;
using test::WavFormat;

class SoundChannelTest : public test::SoundTest {
protected:
    NullSoundBuffer& DeviceOf(TCustomSoundBuffer& b) {
        return *static_cast<NullSoundBuffer*>(b.DeviceBuffer());
    }
    std::vector<std::string> reports;
    SoundMessageSink sink = [this](const std::string& t) { reports.push_back(t); };
};

// A channel that counts how often its volume is applied.
class CountingChannel : public TCustomSoundChannel {
public:
    void ApplyVolume() override { ++applied; }
    int applied = 0;
};

TEST_F(SoundChannelTest, VolumeOutsideZeroToOneIsReportedAndIgnored) {
    CountingChannel c;
    c.SetMessageSink(sink);
    c.SetVolume(0.25f);
    c.SetVolume(1.5f);
    c.SetVolume(-0.1f);
    EXPECT_FLOAT_EQ(c.GetVolume(), 0.25f);
    EXPECT_EQ(reports,
              (std::vector<std::string>{"TCustomSoundChannel.SetVolume fault. Invalid value = 1.50",
                                        "TCustomSoundChannel.SetVolume fault. Invalid value = -0.10"}));
    EXPECT_EQ(c.applied, 1);
}

TEST_F(SoundChannelTest, MuteFadesDownAndBack) {
    CountingChannel c;
    c.SetMuteTime(1000);
    c.SetVolume(0.8f);
    c.Mute(true);
    c.Update(250);
    EXPECT_FLOAT_EQ(c.GetVolume(), 0.6f);
    c.Mute(true); // a second mute keeps the saved volume
    EXPECT_FLOAT_EQ(c.SavedVolume(), 0.8f);
    c.Update(1000);
    EXPECT_FLOAT_EQ(c.GetVolume(), 0.0f);
    EXPECT_TRUE(c.IsMuted());
    c.SetVolume(0.4f); // while muted: the volume to come back to
    EXPECT_FLOAT_EQ(c.GetVolume(), 0.0f);
    c.Mute(false);
    c.Update(500);
    EXPECT_FLOAT_EQ(c.GetVolume(), 0.2f);
    c.Update(600);
    EXPECT_FLOAT_EQ(c.GetVolume(), 0.4f);
    EXPECT_FALSE(c.IsMuted());
}

TEST_F(SoundChannelTest, UnmutingAChannelThatIsNotMutedKeepsItsVolume) {
    CountingChannel c;
    c.SetVolume(0.5f);
    c.Mute(false);
    c.Update(100);
    c.Update(5000);
    EXPECT_FLOAT_EQ(c.GetVolume(), 0.5f);
    // Without a mute time the change is at once.
    c.SetMuteTime(0);
    c.Mute(true);
    EXPECT_FLOAT_EQ(c.GetVolume(), 0.0f);
    c.Mute(false);
    EXPECT_FLOAT_EQ(c.GetVolume(), 0.5f);
}

class StreamChannelTest : public SoundChannelTest {
protected:
    void SetUp() override {
        SoundChannelTest::SetUp();
        ch.SetMessageSink(sink);
        ch.SetCallbackRunner([this](const std::string& t) { callbacks.push_back(t); });
    }
    // Plays the current theme (a file shorter than a half) to its end.
    void PlayThrough() {
        ch.StreamPass(); // fills the other half with silence: the file is spent
        DeviceOf(ch.Buffer()).AdvanceBytes(TStreamSoundBuffer::kHalf);
        ch.StreamPass(); // the buffer reports finished
        ch.Update(10);
    }
    TStreamSoundChannel ch{"Music"};
    std::vector<std::string> callbacks;
};

TEST_F(StreamChannelTest, VolumeNeverSetPlaysSilent) {
    ch.Play(Wav("a.wav"), 0, 0, "");
    ch.Update(10);
    EXPECT_EQ(ch.State(), StreamState::Playing);
    EXPECT_FLOAT_EQ(ch.FadeLevel(), 1.0f);
    EXPECT_EQ(DeviceOf(ch.Buffer()).Volume(), -10000);
    ch.SetVolume(1.0f);
    EXPECT_EQ(DeviceOf(ch.Buffer()).Volume(), 0);
}

TEST_F(StreamChannelTest, QueueEndsOrLoops) {
    for (bool loop : {false, true}) {
        SCOPED_TRACE(loop);
        callbacks.clear();
        ch.Clear();
        ch.Update(10);
        ch.SetLoop(loop);
        ch.AddTheme(Wav("one.wav"), 0, 0, "done1()");
        ch.AddTheme(Wav("two.wav"), 0, 0, "");
        ch.Start();
        EXPECT_EQ(ch.GetCurrentFile(), dir / "one.wav");
        PlayThrough();
        EXPECT_EQ(ch.State(), StreamState::Playing);
        EXPECT_EQ(ch.GetCurrentFile(), dir / "two.wav");
        PlayThrough();
        EXPECT_EQ(callbacks, std::vector<std::string>{"done1()"});
        EXPECT_EQ(ch.State(), loop ? StreamState::Playing : StreamState::Waiting);
        EXPECT_EQ(ch.GetCurrentFile(), dir / "one.wav");
        EXPECT_EQ(DeviceOf(ch.Buffer()).Playing(), loop);
    }
}

TEST_F(StreamChannelTest, PlayWhilePlayingFadesOutThenStartsTheNewTheme) {
    ch.SetVolume(1.0f);
    ch.Play(Wav("old.wav"), 100, 200, "");
    clock.AdvanceMs(100);
    ch.Update(100);
    EXPECT_FLOAT_EQ(ch.FadeLevel(), 1.0f);
    ch.Play(Wav("new.wav"), 400, 0, "");
    EXPECT_EQ(ch.State(), StreamState::Stopping);
    EXPECT_EQ(ch.GetCurrentFile(), dir / "new.wav");
    clock.AdvanceMs(100);
    ch.Update(100);
    EXPECT_FLOAT_EQ(ch.FadeLevel(), 0.5f);
    EXPECT_EQ(DeviceOf(ch.Buffer()).Volume(), TCustomSoundBuffer::BendVolume(-5000));
    clock.AdvanceMs(100);
    ch.Update(100);
    EXPECT_EQ(ch.State(), StreamState::Playing);
    EXPECT_FLOAT_EQ(ch.FadeLevel(), 0.0f); // the new theme fades in from where the level stands
    clock.AdvanceMs(200);
    ch.Update(200);
    EXPECT_FLOAT_EQ(ch.FadeLevel(), 0.5f);
    EXPECT_EQ(ch.GetStatusLine(), "Music Playing, Vol=1, File=" + (dir / "new.wav") + ", FIT=400, FOT=0");
}

TEST_F(StreamChannelTest, StopAndClearEndWaiting) {
    ch.Play(Wav("a.wav"), 0, 50, "");
    ch.Update(10);
    ch.Stop();
    EXPECT_EQ(ch.State(), StreamState::Stopping);
    clock.AdvanceMs(60);
    ch.Update(60);
    EXPECT_EQ(ch.State(), StreamState::Waiting);
    EXPECT_EQ(ch.GetCurrentFile(), dir / "a.wav"); // a stop keeps the queue
    ch.Start();
    ch.Update(10);
    ch.Clear();
    clock.AdvanceMs(60);
    ch.Update(60);
    EXPECT_EQ(ch.State(), StreamState::Waiting);
    EXPECT_EQ(ch.GetCurrentFile(), "");
    EXPECT_FALSE(DeviceOf(ch.Buffer()).Playing());
}

TEST_F(StreamChannelTest, RefillFailureIsFatal) {
    ch.Play(Wav("a.wav"), 0, 0, "");
    device->Config().failLock = true;
    EXPECT_THROW(ch.StreamPass(), test::Halted);
    EXPECT_EQ(trap.lastFatal, "TStreamSoundChannel.Update fault. Name=Music, File=" + (dir / "a.wav") +
                                  ", ErrCode=" + std::to_string(DSERR_BUFFERLOST));
}

TEST_F(SoundChannelTest, SameFileTwiceIsLoadedOnce) {
    TSoundChannel c;
    const std::string a = Wav("a.wav");
    EXPECT_EQ(c.AddSound(a, false), 0);
    EXPECT_EQ(c.AddSound(Wav("b.wav"), false), 1);
    EXPECT_EQ(c.AddSound(a, false), 0);
    EXPECT_EQ(CallsStarting("CreateSoundBuffer").size(), 3u); // primary + two
    EXPECT_EQ(c.FindSound(dir / "b.wav"), 1);
    EXPECT_EQ(c.PlaySound(2), -1);
    EXPECT_EQ(c.AddSound(dir / "none.wav", false), -1);
    std::vector<std::string> list;
    c.EnumSounds(list);
    EXPECT_EQ(list, (std::vector<std::string>{a, dir / "b.wav"}));
    EXPECT_EQ(c.GetMemoryUsed(), 4000);
}

TEST_F(SoundChannelTest, PlayingOneSpaceSoundThreeTimesMakesTwoClones) {
    TSpaceChannel c;
    ASSERT_EQ(c.AddSound(Wav("shot.wav"), false), 0);
    ASSERT_EQ(c.AddSound(Wav("other.wav"), false), 1);
    EXPECT_EQ(c.PlaySound(0), 0);
    EXPECT_EQ(c.PlaySound(0), 2);
    EXPECT_EQ(c.PlaySound(0), 3);
    EXPECT_EQ(c.GetSoundCount(), 4);
    EXPECT_TRUE(c.Buffer(2)->clone);
    EXPECT_EQ(c.Buffer(0)->nextClone, c.Buffer(2));
    EXPECT_EQ(c.Buffer(2)->nextClone, c.Buffer(3));
    EXPECT_EQ(c.GetPlayingCount(), 3);
    // A finished copy is played again before a new one is made.
    DeviceOf(*c.Buffer(2)).AdvanceBytes(100000);
    c.Update(10);
    EXPECT_FALSE(c.Buffer(2)->started);
    EXPECT_EQ(c.PlaySound(0), 2);
    EXPECT_EQ(c.GetSoundCount(), 4);
}

TEST_F(SoundChannelTest, SpaceChannelKeepsTheBestRankedAudible) {
    TSpaceChannel c;
    c.SetVolume(1.0f);
    for (int i = 0; i < 8; ++i) {
        WavFormat format;
        format.frames = 20000;
        ASSERT_EQ(c.AddSound(Wav("s" + std::to_string(i) + ".wav", format), i == 7), i);
    }
    for (int i = 0; i < 8; ++i) {
        ISoundController* controller = nullptr;
        ASSERT_EQ(c.Play3DSound(i, 10, 1000, 1, nullptr, controller), i);
        // Farther sounds rank lower: sounds 6 (one-shot) and 7 (looping) are the two worst.
        static_cast<TCustom3DSoundBuffer*>(c.Buffer(i))->SetPosition({10.0f * (i + 1), 0, 0});
    }
    c.Update(10);
    EXPECT_EQ(c.PlayCount(), 8);
    ASSERT_EQ(c.Ranking().size(), 8u);
    for (int r = 0; r < 8; ++r) EXPECT_EQ(c.Ranking()[r].index, r);
    EXPECT_TRUE(c.Buffer(7)->IsPaused());
    EXPECT_EQ(c.Buffer(6)->StoredVolume(), -2000);
    for (int pass = 0; pass < 3; ++pass) c.Update(10);
    EXPECT_EQ(c.Buffer(6)->StoredVolume(), -8000);
    EXPECT_FALSE(c.Buffer(6)->IsPlaying());
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(c.Buffer(i)->IsPlaying()) << i;

    // The loop ranks high again: it plays on.
    static_cast<TCustom3DSoundBuffer*>(c.Buffer(7))->SetPosition({1, 0, 0});
    c.Update(10);
    EXPECT_TRUE(c.Buffer(7)->IsPlaying());
    std::vector<std::string> list;
    c.EnumSounds(list);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0], "00 - 0007      1.00      1.00" + (dir / "s7.wav"));
    EXPECT_EQ(c.GetStatusLine(), "Space: Playing, Vol=1");
}

} // namespace
} // namespace vesk
