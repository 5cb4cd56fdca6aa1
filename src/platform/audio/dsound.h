#pragma once
// The sound device layer: a device with a cooperative level, a primary buffer
// with its format and the 3D listener, and secondary buffers that hold a ring
// of sample bytes (Lock/Unlock), play, stop, report their play cursor and take
// volume (hundredths of a decibel), pan and frequency. 3D buffers carry a
// position, velocity, distances and a mode. 3D settings given as deferred wait
// for the listener's CommitDeferredSettings.
//
// Objects are shared: the device keeps what it needs of its buffers, callers
// hold std::shared_ptr references. Backends: OpenAL (al_sound.h) and the
// recording null device (null_sound.h).
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/result_codes.h"

namespace vesk::platform {

// ---- records -------------------------------------------------------------------
#pragma pack(push, 1)
struct WAVEFORMATEX {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;

struct D3DVALUE3 {
    float x = 0, y = 0, z = 0;
};

enum class Sound3DAlgorithm : uint32_t { Default = 0, NoVirtualization = 1, HrtfFull = 2, HrtfLight = 3 };

struct DSBUFFERDESC {
    uint32_t dwSize = 36;
    uint32_t dwFlags = 0;
    uint32_t dwBufferBytes = 0;
    uint32_t dwReserved = 0;
    const WAVEFORMATEX* lpwfxFormat = nullptr;
    Sound3DAlgorithm guid3DAlgorithm = Sound3DAlgorithm::Default;
};

struct DS3DLISTENER {
    uint32_t dwSize = 0;
    D3DVALUE3 vPosition;
    D3DVALUE3 vVelocity;
    D3DVALUE3 vOrientFront{0, 0, 1};
    D3DVALUE3 vOrientTop{0, 1, 0};
    float flDistanceFactor = 1.0f;
    float flRolloffFactor = 1.0f;
    float flDopplerFactor = 1.0f;
};

struct DS3DBUFFER {
    D3DVALUE3 vPosition;
    D3DVALUE3 vVelocity;
    float flMinDistance = 1.0f;
    float flMaxDistance = 1000000000.0f;
    uint32_t dwMode = 0;
};

struct DSCAPS {
    uint32_t dwSize = 96;
    uint32_t dwFlags = 0;
    uint32_t dwMinSecondarySampleRate = 0;
    uint32_t dwMaxSecondarySampleRate = 0;
    uint32_t dwPrimaryBuffers = 0;
    uint32_t dwMaxHwMixingAllBuffers = 0;
    uint32_t dwMaxHw3DAllBuffers = 0;
    uint32_t dwFreeHw3DAllBuffers = 0;
    uint32_t dwTotalHwMemBytes = 0;
    uint32_t dwFreeHwMemBytes = 0;
};

// ---- constants -----------------------------------------------------------------
inline constexpr uint32_t DSSCL_NORMAL = 1;
inline constexpr uint32_t DSSCL_PRIORITY = 2;

inline constexpr uint32_t DSBCAPS_PRIMARYBUFFER = 0x1;
inline constexpr uint32_t DSBCAPS_STATIC = 0x2;
inline constexpr uint32_t DSBCAPS_LOCSOFTWARE = 0x8;
inline constexpr uint32_t DSBCAPS_CTRL3D = 0x10;
inline constexpr uint32_t DSBCAPS_CTRLFREQUENCY = 0x20;
inline constexpr uint32_t DSBCAPS_CTRLPAN = 0x40;
inline constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x80;
inline constexpr uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x10000;
inline constexpr uint32_t DSBCAPS_MUTE3DATMAXDISTANCE = 0x20000;

inline constexpr uint32_t DSBPLAY_LOOPING = 0x1;

inline constexpr uint32_t DSBSTATUS_PLAYING = 0x1;
inline constexpr uint32_t DSBSTATUS_BUFFERLOST = 0x2;
inline constexpr uint32_t DSBSTATUS_LOOPING = 0x4;

inline constexpr uint32_t DSBLOCK_FROMWRITECURSOR = 0x1;
inline constexpr uint32_t DSBLOCK_ENTIREBUFFER = 0x2;

inline constexpr int32_t DSBVOLUME_MIN = -10000;
inline constexpr int32_t DSBVOLUME_MAX = 0;
inline constexpr int32_t DSBPAN_LEFT = -10000;
inline constexpr int32_t DSBPAN_RIGHT = 10000;
inline constexpr uint32_t DSBFREQUENCY_ORIGINAL = 0;
inline constexpr uint32_t DSBFREQUENCY_MIN = 100;
inline constexpr uint32_t DSBFREQUENCY_MAX = 200000;
inline constexpr uint32_t DSBSIZE_MIN = 4;
inline constexpr uint32_t DSBSIZE_MAX = 0x0FFFFFFF;

inline constexpr uint32_t DS3D_IMMEDIATE = 0;
inline constexpr uint32_t DS3D_DEFERRED = 1;

inline constexpr uint32_t DS3DMODE_NORMAL = 0;
inline constexpr uint32_t DS3DMODE_HEADRELATIVE = 1;
inline constexpr uint32_t DS3DMODE_DISABLE = 2;

// ---- interfaces ----------------------------------------------------------------
class IDirectSound3DListener {
public:
    virtual ~IDirectSound3DListener() = default;
    virtual Result SetPosition(float x, float y, float z, uint32_t apply) = 0;
    virtual Result SetVelocity(float x, float y, float z, uint32_t apply) = 0;
    virtual Result SetOrientation(float fx, float fy, float fz, float tx, float ty, float tz,
                                  uint32_t apply) = 0;
    virtual Result SetDistanceFactor(float f, uint32_t apply) = 0;
    virtual Result SetRolloffFactor(float f, uint32_t apply) = 0;
    virtual Result SetDopplerFactor(float f, uint32_t apply) = 0;
    // Current values, deferred ones included.
    virtual Result GetAllParameters(DS3DLISTENER* out) = 0;
    virtual Result SetAllParameters(const DS3DLISTENER* in, uint32_t apply) = 0;
    // Applies every deferred listener and 3D-buffer setting of the device.
    virtual Result CommitDeferredSettings() = 0;
};

class IDirectSound3DBuffer {
public:
    virtual ~IDirectSound3DBuffer() = default;
    virtual Result SetPosition(float x, float y, float z, uint32_t apply) = 0;
    virtual Result SetVelocity(float x, float y, float z, uint32_t apply) = 0;
    virtual Result SetMinDistance(float d, uint32_t apply) = 0;
    virtual Result SetMaxDistance(float d, uint32_t apply) = 0;
    virtual Result SetMode(uint32_t mode, uint32_t apply) = 0;
    virtual Result GetAllParameters(DS3DBUFFER* out) = 0;
};

class IDirectSoundBuffer {
public:
    virtual ~IDirectSoundBuffer() = default;
    virtual Result GetFormat(WAVEFORMATEX* out) = 0;
    // Primary buffer only.
    virtual Result SetFormat(const WAVEFORMATEX* format) = 0;
    virtual Result GetStatus(uint32_t* status) = 0;
    virtual Result GetCurrentPosition(uint32_t* play, uint32_t* write) = 0;
    virtual Result SetCurrentPosition(uint32_t position) = 0;
    virtual Result GetVolume(int32_t* volume) = 0;
    virtual Result SetVolume(int32_t volume) = 0;
    virtual Result GetPan(int32_t* pan) = 0;
    virtual Result SetPan(int32_t pan) = 0;
    virtual Result GetFrequency(uint32_t* frequency) = 0;
    virtual Result SetFrequency(uint32_t frequency) = 0;
    // A region of the ring; it wraps into a second part when it runs past the end.
    virtual Result Lock(uint32_t offset, uint32_t bytes, void** p1, uint32_t* b1, void** p2, uint32_t* b2,
                        uint32_t flags) = 0;
    virtual Result Unlock(void* p1, uint32_t b1, void* p2, uint32_t b2) = 0;
    virtual Result Play(uint32_t reserved, uint32_t priority, uint32_t flags) = 0;
    virtual Result Stop() = 0;
    // The 3D side of a buffer made with DSBCAPS_CTRL3D (E_NOINTERFACE otherwise);
    // the listener of the primary buffer.
    virtual Result Get3DBuffer(std::shared_ptr<IDirectSound3DBuffer>* out) = 0;
    virtual Result GetListener(std::shared_ptr<IDirectSound3DListener>* out) = 0;
};

class IDirectSound8 {
public:
    virtual ~IDirectSound8() = default;
    virtual Result SetCooperativeLevel(void* window, uint32_t level) = 0;
    virtual Result CreateSoundBuffer(const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer>* out) = 0;
    // A buffer that shares the original's sample memory, with its own cursor and settings.
    virtual Result DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                        std::shared_ptr<IDirectSoundBuffer>* out) = 0;
    virtual Result GetCaps(DSCAPS* caps) = 0;
};

// ---- the device factory ---------------------------------------------------------
using DirectSoundFactory = std::function<Result(std::shared_ptr<IDirectSound8>* out)>;
// Tests and headless runs install their backend; empty restores the OpenAL device.
void SetDirectSoundFactory(DirectSoundFactory factory);
// The default device of the installed backend; DSERR_NODRIVER when there is none.
Result DirectSoundCreate8(std::shared_ptr<IDirectSound8>* out);

// Shared helpers of the backends.
// 10^(volume / 2000): hundredths of a decibel as a linear gain, 0 at DSBVOLUME_MIN.
float VolumeToGain(int32_t volume);
// Checks a secondary buffer's description; S_OK or DSERR_INVALIDPARAM / DSERR_BADFORMAT.
Result CheckBufferDesc(const DSBUFFERDESC& desc);
// The two parts of a ring region; false for a region outside the ring.
bool SplitRingRegion(uint32_t size, uint32_t offset, uint32_t bytes, uint32_t flags, uint32_t writeCursor,
                     uint32_t& off1, uint32_t& len1, uint32_t& len2);

} // namespace vesk::platform
