#include "sound/sound_buffers.h"

#include "shared/errors.h"

#include "sound_fixture.h"

namespace vesk {
namespace {

using namespace platform;
using test::Halted;
using test::WavFormat;

class SoundBufferTest : public test::SoundTest {
protected:
    NullSoundBuffer& DeviceOf(TCustomSoundBuffer& b) {
        return *static_cast<NullSoundBuffer*>(b.DeviceBuffer());
    }
};

TEST(SoundBufferVolume, BendsQuietSettings) {
    const std::pair<int32_t, int32_t> cases[] = {{-10000, -10000}, {-5000, -833},    {-1000, -100},
                                                 {0, 0},           {-20000, -10000}, {500, 0}};
    for (auto [in, out] : cases) EXPECT_EQ(TCustomSoundBuffer::BendVolume(in), out) << in;
}

TEST_F(SoundBufferTest, StaticBufferHoldsTheWholeFile) {
    WavFormat format;
    format.bits = 8;
    format.frames = 300;
    TFastSoundBuffer b;
    ASSERT_EQ(b.Load(Wav("a.wav", format), false), 0);
    EXPECT_EQ(b.BufferSize(), 300u);
    NullSoundBuffer& nb = DeviceOf(b);
    EXPECT_EQ(nb.Flags(), DSBCAPS_CTRLVOLUME);
    EXPECT_EQ(nb.Bytes()[0], 0);
    EXPECT_EQ(nb.Bytes()[299], 299 & 0xFF);
    EXPECT_FALSE(b.started);

    b.SetVolume(-5000);
    EXPECT_EQ(b.Play(), 0);
    EXPECT_TRUE(b.started);
    EXPECT_TRUE(b.IsPlaying());
    EXPECT_EQ(nb.Volume(), -833);
    EXPECT_EQ(b.GetVolume(), -833);
    nb.AdvanceBytes(150);
    EXPECT_FLOAT_EQ(b.GetPlayFraction(), 0.5f);
    EXPECT_TRUE(b.Pause());
    EXPECT_TRUE(b.IsPaused());
    EXPECT_FALSE(b.IsPlaying());
    EXPECT_EQ(nb.PlayCursor(), 150u); // a pause keeps the position
    b.Stop();
    EXPECT_EQ(nb.PlayCursor(), 0u);
    nb.AdvanceBytes(1000);
    EXPECT_FALSE(b.IsPlaying());
}

TEST_F(SoundBufferTest, WithoutDeviceBufferEveryCallIsHarmless) {
    TFastSoundBuffer b;
    EXPECT_EQ(b.Load(dir / "missing.wav", true), -1);
    EXPECT_EQ(b.Play(), -1);
    EXPECT_EQ(b.Stop(), -1);
    EXPECT_FALSE(b.IsPlaying());
    EXPECT_EQ(b.GetVolume(), 0);
    EXPECT_FLOAT_EQ(b.GetPlayFraction(), 0.0f); // looping
    EXPECT_EQ(b.Duplicate(), nullptr);
}

TEST_F(SoundBufferTest, RefusedVolumeAndStatusFailures) {
    TFastSoundBuffer b;
    ASSERT_EQ(b.Load(Wav("a.wav"), false), 0);
    device->Config().failSetVolume = true;
    b.SetVolume(-3000);
    EXPECT_EQ(b.StoredVolume(), 0);
    device->Config().failGetStatus = true;
    EXPECT_THROW(b.IsPlaying(), Halted);
    EXPECT_EQ(trap.lastFatal, "TCustomSoundBuffer.GetPlaying: fdsb8.GetStatus");
}

TEST_F(SoundBufferTest, ThreeDimensionalBufferAndDistances) {
    TFast3DSoundBuffer b;
    ASSERT_EQ(b.Load(Wav("a.wav"), false), 0);
    EXPECT_EQ(DeviceOf(b).Flags(), 0x2009Au);
    const struct {
        int32_t min, max, divisor, wantMin, wantMax, wantDivisor;
    } cases[] = {
        {50, 20, 3, 50, 1050, 3}, {-5, 100, 1, 0, 100, 1}, {10, 200, 0, 10, 200, 1}, {7, 7, -4, 7, 1007, 1}};
    for (auto& c : cases) {
        b.SetDistances(c.min, c.max, c.divisor);
        EXPECT_EQ(b.MinDistance(), c.wantMin);
        EXPECT_EQ(b.MaxDistance(), c.wantMax);
        EXPECT_EQ(b.Divisor(), c.wantDivisor);
    }
    b.SetPosition({1, 2, 3});
    b.ApplyIfChanged();
    DS3DBUFFER applied = DeviceOf(b).Applied3D();
    EXPECT_FLOAT_EQ(applied.vPosition.x, 0.0f); // deferred until the listener commits
    SoundCore->CommitListener();
    applied = DeviceOf(b).Applied3D();
    EXPECT_FLOAT_EQ(applied.vPosition.z, 3.0f);
    EXPECT_FLOAT_EQ(applied.flMaxDistance, 1007.0f);
}

// An engine object a 3D sound follows.
class Ship : public TEngineObject {};

TEST_F(SoundBufferTest, LinkToAnObjectAndItsEnd) {
    for (bool loop : {false, true}) {
        SCOPED_TRACE(loop);
        std::vector<std::string> reports;
        TFast3DSoundBuffer b;
        b.SetMessageSink([&](const std::string& t) { reports.push_back(t); });
        ASSERT_EQ(b.Load(Wav("a.wav"), loop), 0);
        b.linkNumber = 42;
        Ship* ship = TEngineObject::New<Ship>();
        ISoundController* controller = nullptr;
        b.GetController(ship, controller);
        ASSERT_NE(controller, nullptr);
        controller->SetPositionVelocity({5, 0, 0}, {1, 0, 0});
        EXPECT_FLOAT_EQ(b.Position().x, 5.0f);

        ISoundController* second = controller;
        b.GetController(ship, second);
        EXPECT_EQ(second, nullptr);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0],
                  "TCustom3DSoundBuffer.GetController fault: link already exist. Index=42, filename=" +
                      (dir / "a.wav"));

        b.Play();
        ship->Free(); // the object goes away: the link goes, a looping sound stops
        EXPECT_FALSE(b.HasLink());
        EXPECT_EQ(b.IsPlaying(), !loop);
        TEODestroyManager->Flush();
    }
}

TEST_F(SoundBufferTest, BufferFreedBeforeItsLinkLeavesNoDanglingLink) {
    Ship* ship = TEngineObject::New<Ship>();
    {
        TFast3DSoundBuffer b;
        ASSERT_EQ(b.Load(Wav("a.wav"), true), 0);
        ISoundController* controller = nullptr;
        b.GetController(ship, controller);
        ASSERT_NE(controller, nullptr);
    }
    TEODestroyManager->Flush();
    ship->Free();
}

TEST_F(SoundBufferTest, StreamShorterThanOneHalfEndsAfterTwoHalfChanges) {
    WavFormat format; // 1000 frames, 2000 bytes: far less than one half
    TStreamSoundBuffer b;
    ASSERT_EQ(b.Load(Wav("short.wav", format), false), 0);
    EXPECT_TRUE(b.IsLooping()); // the ring always loops
    NullSoundBuffer& nb = DeviceOf(b);
    EXPECT_EQ(nb.Size(), TStreamSoundBuffer::kSize);
    EXPECT_EQ(nb.Bytes()[2], 1);    // sample 1
    EXPECT_EQ(nb.Bytes()[2000], 0); // silence after the file
    b.Play();
    // The first pass fills the second half: the reader is spent, so it is all silence.
    EXPECT_EQ(b.Refill(), 0);
    EXPECT_TRUE(b.IsEndOfData());
    EXPECT_FALSE(b.IsFinished());
    nb.AdvanceBytes(TStreamSoundBuffer::kHalf); // into the second half
    EXPECT_EQ(b.Refill(), 0);
    EXPECT_TRUE(b.IsFinished());
}

TEST_F(SoundBufferTest, StreamRefillsTheHalfThatJustPlayed) {
    WavFormat format;
    format.channels = 2;
    format.rate = 44100;
    format.frames = 100000; // 400000 bytes: three halves and a bit
    TStreamSoundBuffer b;
    ASSERT_EQ(b.Load(Wav("long.wav", format), false), 0);
    b.Play();
    NullSoundBuffer& nb = DeviceOf(b);
    auto frameAt = [&](uint32_t offset) {
        return static_cast<uint16_t>(nb.Bytes()[offset] | (nb.Bytes()[offset + 1] << 8));
    };
    device->ClearCalls();
    b.Refill(); // cursor in half 0: half 1 gets the next data
    EXPECT_EQ(frameAt(TStreamSoundBuffer::kHalf), 32768);
    b.Refill(); // nothing changed
    nb.AdvanceBytes(TStreamSoundBuffer::kHalf);
    b.Refill(); // cursor in half 1: half 0 gets the third part
    EXPECT_EQ(frameAt(0), static_cast<uint16_t>(65536));
    EXPECT_FALSE(b.IsEndOfData());
    nb.AdvanceBytes(TStreamSoundBuffer::kHalf);
    b.Refill(); // the last bytes and silence into half 1
    EXPECT_FALSE(b.IsEndOfData());
    EXPECT_EQ(frameAt(TStreamSoundBuffer::kHalf + 400000 - 3 * TStreamSoundBuffer::kHalf), 0);
    nb.AdvanceBytes(TStreamSoundBuffer::kHalf);
    b.Refill();
    EXPECT_TRUE(b.IsEndOfData());
    nb.AdvanceBytes(TStreamSoundBuffer::kHalf);
    b.Refill();
    EXPECT_TRUE(b.IsFinished());
    const auto locks = CallsStarting("buf1.Lock");
    EXPECT_EQ(locks, (std::vector<std::string>{"buf1.Lock(131072,131072,0x0)", "buf1.Lock(0,131072,0x0)",
                                               "buf1.Lock(131072,131072,0x0)", "buf1.Lock(0,131072,0x0)"}));
}

TEST_F(SoundBufferTest, StreamFailuresReturnTheDeviceResult) {
    TStreamSoundBuffer b;
    ASSERT_EQ(b.Load(Wav("a.wav"), false), 0);
    b.Play();
    device->Config().failLock = true;
    EXPECT_EQ(b.Refill(), DSERR_BUFFERLOST);
    device->Config().failLock = false;
    device->Config().failGetPosition = true;
    EXPECT_EQ(b.Refill(), DSERR_GENERIC);
    EXPECT_TRUE(
        trap.HasReport("Streamsound error: fdsb8.GetCurrentPosition()\r" + DXErrorText(DSERR_GENERIC)));
}

} // namespace
} // namespace vesk
