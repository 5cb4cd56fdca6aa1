// The sound device layer on the recording null device: descriptions and
// formats, ring locks, duplicates, deferred 3D settings.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/audio/null_sound.h"

namespace vesk::platform {
namespace {

WAVEFORMATEX Pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

class SoundDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), S_OK); }
    std::shared_ptr<IDirectSoundBuffer> Make(uint32_t flags, uint32_t bytes, const WAVEFORMATEX& f,
                                             Result expect = S_OK) {
        DSBUFFERDESC d;
        d.dwFlags = flags;
        d.dwBufferBytes = bytes;
        d.lpwfxFormat = &f;
        std::shared_ptr<IDirectSoundBuffer> b;
        EXPECT_EQ(device->CreateSoundBuffer(&d, &b), expect);
        return b;
    }
    std::shared_ptr<NullSoundDevice> device = std::make_shared<NullSoundDevice>();
};

TEST_F(SoundDeviceTest, DescriptionsAndFormatsAreChecked) {
    WAVEFORMATEX notPcm = Pcm(1, 22050, 16);
    notPcm.wFormatTag = 3;
    WAVEFORMATEX badAlign = Pcm(2, 22050, 16);
    badAlign.nBlockAlign = 2;
    const struct {
        const char* what;
        uint32_t flags, bytes;
        WAVEFORMATEX format;
        Result result;
    } cases[] = {
        {"mono 16", DSBCAPS_CTRLVOLUME, 100, Pcm(1, 22050, 16), S_OK},
        {"stereo 8", DSBCAPS_CTRLVOLUME, 100, Pcm(2, 8000, 8), S_OK},
        {"not PCM", 0, 100, notPcm, DSERR_BADFORMAT},
        {"six channels", 0, 100, Pcm(6, 22050, 16), DSERR_BADFORMAT},
        {"24 bits", 0, 100, Pcm(1, 22050, 24), DSERR_BADFORMAT},
        {"rate too low", 0, 100, Pcm(1, 50, 16), DSERR_BADFORMAT},
        {"block align", 0, 100, badAlign, DSERR_BADFORMAT},
        {"empty", 0, 0, Pcm(1, 22050, 16), DSERR_INVALIDPARAM},
        {"3D with pan", DSBCAPS_CTRL3D | DSBCAPS_CTRLPAN, 100, Pcm(1, 22050, 16), DSERR_INVALIDPARAM},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        Make(c.flags, c.bytes, c.format, c.result);
    }
    auto fresh = std::make_shared<NullSoundDevice>();
    DSBUFFERDESC d;
    WAVEFORMATEX f = Pcm(1, 22050, 16);
    d.dwBufferBytes = 10;
    d.lpwfxFormat = &f;
    std::shared_ptr<IDirectSoundBuffer> b;
    EXPECT_EQ(fresh->CreateSoundBuffer(&d, &b), DSERR_PRIOLEVELNEEDED); // no cooperative level yet
}

TEST_F(SoundDeviceTest, LocksWrapAroundTheRing) {
    auto b = Make(DSBCAPS_CTRLVOLUME, 100, Pcm(1, 22050, 16));
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t b1 = 0, b2 = 0;
    ASSERT_EQ(b->Lock(80, 40, &p1, &b1, &p2, &b2, 0), S_OK);
    EXPECT_EQ(b1, 20u);
    EXPECT_EQ(b2, 20u);
    std::memset(p1, 1, b1);
    std::memset(p2, 2, b2);
    EXPECT_EQ(b->Unlock(p1, b1, p2, b2), S_OK);
    auto& nb = static_cast<NullSoundBuffer&>(*b);
    EXPECT_EQ(nb.Bytes()[99], 1);
    EXPECT_EQ(nb.Bytes()[19], 2);
    EXPECT_EQ(nb.Bytes()[20], 0);
    // Outside the ring, a second part nobody asked for, a foreign pointer.
    EXPECT_EQ(b->Lock(100, 1, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 101, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(90, 20, &p1, &b1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    ASSERT_EQ(b->Lock(0, 0, &p1, &b1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), S_OK);
    EXPECT_EQ(b1, 100u);
    uint8_t other[4];
    EXPECT_EQ(b->Unlock(other, 4, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(p1, b1, nullptr, 0), S_OK);
    EXPECT_EQ(b->Unlock(p1, b1, nullptr, 0), DSERR_INVALIDPARAM); // not locked
}

TEST_F(SoundDeviceTest, DuplicatesShareTheSamplesButNotTheCursor) {
    auto b = Make(DSBCAPS_CTRLVOLUME, 64, Pcm(1, 22050, 8));
    std::shared_ptr<IDirectSoundBuffer> copy;
    ASSERT_EQ(device->DuplicateSoundBuffer(b.get(), &copy), S_OK);
    void* p1 = nullptr;
    uint32_t b1 = 0;
    ASSERT_EQ(b->Lock(0, 4, &p1, &b1, nullptr, nullptr, 0), S_OK);
    static_cast<uint8_t*>(p1)[0] = 77;
    b->Unlock(p1, b1, nullptr, 0);
    EXPECT_EQ(static_cast<NullSoundBuffer&>(*copy).Bytes()[0], 77);
    b->Play(0, 0, 0);
    static_cast<NullSoundBuffer&>(*b).AdvanceBytes(10);
    uint32_t play = 0, write = 0;
    copy->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 0u);
    EXPECT_EQ(device->Buffers().size(), 2u);
    copy.reset();
    EXPECT_EQ(device->Buffers().size(), 1u);
}

TEST_F(SoundDeviceTest, DeferredThreeDSettingsWaitForTheCommit) {
    auto b = Make(DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME, 64, Pcm(1, 22050, 16));
    std::shared_ptr<IDirectSound3DBuffer> b3;
    ASSERT_EQ(b->Get3DBuffer(&b3), S_OK);
    auto plain = Make(DSBCAPS_CTRLVOLUME, 64, Pcm(1, 22050, 16));
    std::shared_ptr<IDirectSound3DBuffer> none;
    EXPECT_EQ(plain->Get3DBuffer(&none), E_NOINTERFACE);

    std::shared_ptr<IDirectSoundBuffer> primary;
    DSBUFFERDESC pd;
    pd.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
    ASSERT_EQ(device->CreateSoundBuffer(&pd, &primary), S_OK);
    std::shared_ptr<IDirectSound3DListener> listener;
    ASSERT_EQ(primary->GetListener(&listener), S_OK);

    b3->SetPosition(1, 2, 3, DS3D_DEFERRED);
    b3->SetMinDistance(5, DS3D_IMMEDIATE); // the deferred position still waits
    auto& nb = static_cast<NullSoundBuffer&>(*b);
    EXPECT_FLOAT_EQ(nb.Applied3D().vPosition.x, 0.0f);
    b3->SetPosition(4, 5, 6, DS3D_DEFERRED);
    EXPECT_FLOAT_EQ(nb.Applied3D().flMinDistance, 5.0f);
    EXPECT_EQ(b3->SetMinDistance(0, DS3D_DEFERRED), DSERR_INVALIDPARAM);
    listener->SetPosition(9, 0, 0, DS3D_DEFERRED);
    EXPECT_EQ(listener->CommitDeferredSettings(), S_OK);
    EXPECT_FLOAT_EQ(nb.Applied3D().vPosition.x, 4.0f);
    EXPECT_FLOAT_EQ(device->Listener().Applied().vPosition.x, 9.0f);
    EXPECT_EQ(listener->SetRolloffFactor(11.0f, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
}

TEST_F(SoundDeviceTest, VolumesAndFlags) {
    auto noVolume = Make(0, 64, Pcm(1, 22050, 16));
    EXPECT_EQ(noVolume->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    auto b = Make(DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY, 64, Pcm(1, 22050, 16));
    EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-2000), S_OK);
    int32_t v = 0;
    b->GetVolume(&v);
    EXPECT_EQ(v, -2000);
    uint32_t f = 0;
    EXPECT_EQ(b->SetFrequency(44100), S_OK);
    b->GetFrequency(&f);
    EXPECT_EQ(f, 44100u);
    EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), S_OK);
    b->GetFrequency(&f);
    EXPECT_EQ(f, 22050u);
    EXPECT_FLOAT_EQ(VolumeToGain(-2000), 0.1f);
    EXPECT_FLOAT_EQ(VolumeToGain(DSBVOLUME_MIN), 0.0f);
}

} // namespace
} // namespace vesk::platform
