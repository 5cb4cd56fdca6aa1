// The OpenAL device rendered through a loopback device, faster than real time.
#include <cmath>

#include "platform/audio/al_sound.h"
#include "sound/sound_channels.h"
#include "sound_fixture.h"

namespace vesk {
namespace {

using namespace platform;

class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        SetDirectSoundFactory([](std::shared_ptr<IDirectSound8>* out) -> Result {
            *out = CreateALDirectSound(ALSoundConfig{true, 44100});
            return *out ? S_OK : DSERR_NODRIVER;
        });
        SoundCore = std::make_unique<TSoundCore>();
        ASSERT_EQ(SoundCore->Init(nullptr), 0);
    }
    void TearDown() override {
        SoundCore.reset();
        SetDirectSoundFactory({});
    }
    // Renders frames of stereo; appends them to `rendered`.
    void Render(uint32_t frames) {
        const size_t at = rendered.size();
        rendered.resize(at + frames * 2);
        ASSERT_TRUE(RenderLoopback(SoundCore->Device(), rendered.data() + at, frames));
    }
    double Rms(int channel, size_t fromFrame = 0) const {
        double sum = 0;
        size_t n = 0;
        for (size_t i = fromFrame * 2 + channel; i < rendered.size(); i += 2, ++n)
            sum += double(rendered[i]) * rendered[i];
        return n ? std::sqrt(sum / n) : 0.0;
    }

    test::ErrorTrap trap;
    test::TempDir dir;
    std::vector<int16_t> rendered;
};

TEST_F(LoopbackTest, SourceLeftOfTheListenerIsLouderOnTheLeft) {
    // A mono tone at 440 Hz.
    std::string data;
    for (int i = 0; i < 22050; ++i)
        test::PutU16(
            data, static_cast<uint16_t>(static_cast<int16_t>(10000 * std::sin(i * 2 * M_PI * 440 / 44100))));
    test::WavFormat format;
    format.rate = 44100;
    format.frames = 0;
    std::string wav = test::MakeWav(format);
    wav.replace(wav.size() - 4, 4, std::string("\x88\x58\x00\x00", 4)); // data size 22050 * 2
    wav += data;
    const std::string path = dir / "tone.wav";
    ASSERT_TRUE(WriteFile(path, wav));

    TFast3DSoundBuffer b;
    ASSERT_EQ(b.Load(path, true), 0);
    b.SetDistances(1, 100, 1);
    b.SetPosition({-2, 0, 0}); // the listener looks along +z with +y up: -x is on the left
    b.ApplyIfChanged();
    b.SetVolume(0);
    ASSERT_EQ(b.Play(), 0);
    SoundCore->CommitListener();
    Render(11025);
    const double left = Rms(0), right = Rms(1);
    EXPECT_GT(left, 500.0);
    EXPECT_GT(left, 4 * right) << left << " / " << right;

    // Moved to the right, after the next commit.
    b.SetPosition({2, 0, 0});
    b.ApplyIfChanged();
    SoundCore->CommitListener();
    rendered.clear();
    Render(11025);
    EXPECT_GT(Rms(1, 1000), 4 * Rms(0, 1000));
    EXPECT_TRUE(b.IsPlaying()); // a looping buffer goes round
}

TEST_F(LoopbackTest, StreamedOggPlaysThroughWithoutGaps) {
    test::CopyDataFile("theme.ogg", dir / "theme.ogg");
    TStreamSoundChannel ch("Music");
    ch.SetVolume(1.0f);
    ch.Play(dir / "theme.wav", 0, 0, "");
    ch.Update(1);
    // Render as the game would: the worker's pass every 50 ms, the frame's update in between.
    int rounds = 0;
    while (ch.State() == StreamState::Playing && rounds < 200) {
        Render(2205);
        ch.StreamPass();
        ch.Update(50);
        ++rounds;
    }
    EXPECT_EQ(ch.State(), StreamState::Waiting);
    size_t first = rendered.size(), last = 0, longestQuiet = 0, quiet = 0;
    for (size_t f = 0; f < rendered.size() / 2; ++f) {
        const bool loud = std::abs(rendered[f * 2]) > 300;
        if (loud) {
            if (first == rendered.size()) first = f;
            if (last != 0 || f > first) longestQuiet = std::max(longestQuiet, quiet);
            last = f;
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    ASSERT_LT(first, last);
    // 3 s of tone: 132300 frames, give or take the encoder's edges.
    EXPECT_NEAR(static_cast<double>(last - first), 132300.0, 1500.0);
    // A 440 Hz tone never stays near zero for more than a few samples.
    EXPECT_LT(longestQuiet, 20u);
}

// With a clock the frames move (fixed-step runs), the default device plays in
// the clock's time: a sound lasts its length in frames however long the
// frames take, so it ends on the same frame in every run.
TEST(ClockFollowingSound, ASoundEndsWhenTheClockHasMovedItsLength) {
    if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
    test::ErrorTrap trap;
    test::TempDir dir;
    FrameClock clock;
    ScopedClock clockGuard{clock};
    SoundCore = std::make_unique<TSoundCore>();
    ASSERT_EQ(SoundCore->Init(nullptr), 0);
    test::WavFormat format;
    format.rate = 44100;
    format.frames = 4410; // 100 ms
    const std::string path = dir / "shot.wav";
    ASSERT_TRUE(WriteFile(path, test::MakeWav(format)));
    {
        TFastSoundBuffer b;
        ASSERT_EQ(b.Load(path, false), 0);
        ASSERT_EQ(b.Play(), 0);
        // Wall time alone does not play it.
        SleepMs(200);
        EXPECT_TRUE(b.IsPlaying());
        // Frames of 16 ms: still playing after six (96 ms), over after seven (112 ms).
        for (int frame = 1; frame <= 6; ++frame) {
            clock.AdvanceMs(16);
            EXPECT_TRUE(b.IsPlaying()) << "frame " << frame;
        }
        clock.AdvanceMs(16);
        EXPECT_FALSE(b.IsPlaying());
        // Played again, it lasts its length again.
        ASSERT_EQ(b.Play(), 0);
        clock.AdvanceMs(90);
        EXPECT_TRUE(b.IsPlaying());
        clock.AdvanceMs(20);
        EXPECT_FALSE(b.IsPlaying());
    }
    SoundCore.reset();
}

} // namespace
} // namespace vesk
