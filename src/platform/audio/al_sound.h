#pragma once
// The OpenAL Soft sound device. Every secondary buffer is one AL source fed
// from its ring by queued AL buffers: a one-shot buffer queues what is left to
// play at once, a looping buffer queues short slices ahead of its play cursor,
// so the owner may rewrite the part of the ring that is not playing (streaming).
// The feeding runs on a pump thread of the device, or, on a loopback device,
// between the slices that RenderLoopback renders.
#include <cstdint>
#include <memory>

#include "platform/audio/dsound.h"

namespace vesk::platform {

struct ALSoundConfig {
    // A loopback device (ALC_SOFT_loopback): no output, samples rendered on demand.
    bool loopback = false;
    uint32_t rate = 44100;
    // With loopback: playback keeps pace with the engine's clock instead of
    // the caller rendering. Whenever the game's thread asks a buffer how it
    // plays or changes it, the device first renders (and drops) the samples up
    // to the clock's time. The default device is made so when the clock moves
    // with the frames (fixed-step runs): sounds end on the same frame each run.
    bool followClock = false;
};

// nullptr when OpenAL has no device to open.
std::shared_ptr<IDirectSound8> CreateALDirectSound(const ALSoundConfig& config = {});
// Renders frames of interleaved 16-bit stereo from a loopback device, feeding
// its buffers as playback moves on; false for any other device.
bool RenderLoopback(IDirectSound8* device, int16_t* out, uint32_t frames);

} // namespace vesk::platform
