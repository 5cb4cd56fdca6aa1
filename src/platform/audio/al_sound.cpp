#include "platform/audio/al_sound.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <deque>
#include <thread>
#include <vector>

#include "platform/audio/sound_base.h"
#include "platform/system.h"

namespace vesk::platform {

namespace {

// Sound positions arrive in the engine's left-handed space; OpenAL's is right-handed.
inline void ToAL(const D3DVALUE3& v, float out[3]) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = -v.z;
}

ALenum ALFormatOf(const WAVEFORMATEX& f) {
    if (f.nChannels == 1) return f.wBitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    return f.wBitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

class ALDevice;

class ALBuffer final : public SoundBufferBase {
public:
    ALBuffer(ALDevice& device, const DSBUFFERDESC& desc);
    ALBuffer(ALDevice& device, const ALBuffer& original);
    ~ALBuffer() override;

    Result GetStatus(uint32_t* status) override;
    Result GetCurrentPosition(uint32_t* play, uint32_t* write) override;
    Result SetCurrentPosition(uint32_t position) override;
    Result Play(uint32_t reserved, uint32_t priority, uint32_t flags) override;
    Result Stop() override;

    // Moves finished slices out and queues what comes next (device mutex held).
    void Pump();
    // Gains and 3D values again (the listener moved or changed its factors).
    void Refresh3D() { On3DApplied(); }

protected:
    void OnVolumeChanged() override;
    void On3DApplied() override;
    uint32_t WriteCursor() override { return CurrentCursor(); }

private:
    struct Slice {
        ALuint buffer;
        uint32_t offset, length;
    };
    void Init();
    void Unqueue(bool all);
    uint32_t CurrentCursor();
    uint32_t SliceBytes() const;
    bool MutedAtMax();

    ALDevice& al_;
    ALuint source_ = 0;
    std::deque<Slice> queued_;
    std::vector<ALuint> spare_;
    bool playing_ = false;
    bool looping_ = false;
    uint32_t cursor_ = 0;  // the play cursor while nothing is queued
    uint32_t feedPos_ = 0; // next ring byte to queue
};

class ALDevice final : public SoundDeviceBase {
public:
    ALDevice(ALCdevice* device, ALCcontext* context, bool loopback, bool followClock)
        : device_(device), context_(context), loopback_(loopback), followClock_(loopback && followClock),
          clockStart_(PerfCounter()) {}
    ~ALDevice() override {
        stop_ = true;
        if (pump_.joinable()) pump_.join();
        if (alcGetCurrentContext() == context_) alcMakeContextCurrent(nullptr);
        alcDestroyContext(context_);
        alcCloseDevice(device_);
    }

    void StartPump() {
        if (loopback_) return;
        pump_ = std::thread([this] {
            while (!stop_) {
                PumpAll();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    void MakeCurrent() {
        if (alcGetCurrentContext() != context_) alcMakeContextCurrent(context_);
    }
    void PumpAll() {
        std::lock_guard lock(mutex_);
        MakeCurrent();
        for (auto& b : LiveBuffers()) static_cast<ALBuffer&>(*b).Pump();
    }
    bool Render(int16_t* out, uint32_t frames) {
        static auto render =
            reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
        if (!loopback_ || !render) return false;
        // Slices of 10 ms, so looping buffers are fed as a real device would feed them.
        const uint32_t step = std::max<uint32_t>(1, rate / 100);
        while (frames > 0) {
            const uint32_t n = std::min(step, frames);
            PumpAll();
            {
                std::lock_guard lock(mutex_);
                MakeCurrent();
                render(device_, out, static_cast<ALCsizei>(n));
            }
            out += n * 2;
            frames -= n;
        }
        PumpAll();
        return true;
    }

    // Renders, and drops, what has played since the last call by the engine's
    // clock. Only the thread that made the device moves playback on, so a
    // worker asking between two frames sees the playback the frame left.
    void CatchUp() {
        if (!followClock_ || std::this_thread::get_id() != owner_) return;
        const int64_t freq = PerfFrequency();
        if (freq <= 0) return;
        const int64_t ticks = std::max<int64_t>(0, PerfCounter() - clockStart_);
        const uint64_t due = static_cast<uint64_t>(ticks / freq) * rate +
                             static_cast<uint64_t>(ticks % freq) * rate / static_cast<uint64_t>(freq);
        if (due <= rendered_) return;
        std::lock_guard lock(mutex_);
        constexpr uint32_t kChunk = 4096;
        scratch_.resize(size_t(kChunk) * 2);
        while (rendered_ < due) {
            const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kChunk, due - rendered_));
            Render(scratch_.data(), n);
            rendered_ += n;
        }
    }

    void OnListenerApplied() override {
        CatchUp();
        MakeCurrent();
        const DS3DLISTENER& l = Listener().Applied();
        float p[3], v[3], f[3], t[3];
        ToAL(l.vPosition, p);
        ToAL(l.vVelocity, v);
        ToAL(l.vOrientFront, f);
        ToAL(l.vOrientTop, t);
        alListenerfv(AL_POSITION, p);
        alListenerfv(AL_VELOCITY, v);
        const float orient[6] = {f[0], f[1], f[2], t[0], t[1], t[2]};
        alListenerfv(AL_ORIENTATION, orient);
        alDopplerFactor(l.flDopplerFactor);
        // The distance factor is metres per unit: sound crosses fewer units per second.
        alSpeedOfSound(343.3f / std::max(l.flDistanceFactor, 1e-6f));
        for (auto& b : LiveBuffers()) static_cast<ALBuffer&>(*b).Refresh3D();
    }
    void OnMasterVolume() override {
        MakeCurrent();
        alListenerf(AL_GAIN, VolumeToGain(masterVolume));
    }

    uint32_t rate = 44100;

protected:
    std::shared_ptr<SoundBufferBase> MakeBuffer(const DSBUFFERDESC& desc) override {
        MakeCurrent();
        return std::make_shared<ALBuffer>(*this, desc);
    }
    std::shared_ptr<SoundBufferBase> MakeDuplicate(const SoundBufferBase& original) override {
        MakeCurrent();
        return std::make_shared<ALBuffer>(*this, static_cast<const ALBuffer&>(original));
    }

private:
    ALCdevice* device_;
    ALCcontext* context_;
    bool loopback_;
    bool followClock_;
    int64_t clockStart_;
    uint64_t rendered_ = 0; // sample frames rendered since clockStart_
    std::vector<int16_t> scratch_;
    std::thread::id owner_ = std::this_thread::get_id();
    std::thread pump_;
    std::atomic<bool> stop_{false};
};

// ---- buffers ---------------------------------------------------------------------
ALBuffer::ALBuffer(ALDevice& device, const DSBUFFERDESC& desc) : SoundBufferBase(device, desc), al_(device) {
    Init();
}

ALBuffer::ALBuffer(ALDevice& device, const ALBuffer& original)
    : SoundBufferBase(device, original), al_(device) {
    Init();
}

void ALBuffer::Init() {
    alGenSources(1, &source_);
    OnVolumeChanged();
    On3DApplied();
}

ALBuffer::~ALBuffer() {
    std::lock_guard lock(Mutex());
    al_.MakeCurrent();
    alSourceStop(source_);
    Unqueue(true);
    alDeleteSources(1, &source_);
    if (!spare_.empty()) alDeleteBuffers(static_cast<ALsizei>(spare_.size()), spare_.data());
}

uint32_t ALBuffer::SliceBytes() const {
    const uint32_t align = std::max<uint32_t>(1, format_.nBlockAlign);
    uint32_t bytes = std::min(format_.nAvgBytesPerSec / 50, Size() / 8); // 20 ms, at most 1/8 of the ring
    bytes -= bytes % align;
    return std::max(bytes, align);
}

bool ALBuffer::MutedAtMax() {
    if (!(flags_ & DSBCAPS_CTRL3D) || !(flags_ & DSBCAPS_MUTE3DATMAXDISTANCE)) return false;
    if (applied3d_.dwMode != DS3DMODE_NORMAL) return false;
    const DS3DLISTENER& l = al_.Listener().Applied();
    const float dx = applied3d_.vPosition.x - l.vPosition.x, dy = applied3d_.vPosition.y - l.vPosition.y,
                dz = applied3d_.vPosition.z - l.vPosition.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz) > applied3d_.flMaxDistance;
}

void ALBuffer::OnVolumeChanged() {
    al_.CatchUp();
    al_.MakeCurrent();
    alSourcef(source_, AL_GAIN, MutedAtMax() ? 0.0f : VolumeToGain(volume_));
    const float rate = static_cast<float>(format_.nSamplesPerSec);
    alSourcef(source_, AL_PITCH, frequency_ == 0 || rate <= 0 ? 1.0f : frequency_ / rate);
    if (!(flags_ & DSBCAPS_CTRL3D)) {
        // A plain buffer sits at the listener; pan moves a mono one sideways.
        const float x = pan_ / 10000.0f;
        alSourcei(source_, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(source_, AL_POSITION, x, 0.0f, -std::sqrt(std::max(0.0f, 1.0f - x * x)));
        alSourcef(source_, AL_ROLLOFF_FACTOR, 0.0f);
    }
}

void ALBuffer::On3DApplied() {
    al_.CatchUp();
    if (!(flags_ & DSBCAPS_CTRL3D)) return;
    al_.MakeCurrent();
    float p[3], v[3];
    ToAL(applied3d_.vPosition, p);
    ToAL(applied3d_.vVelocity, v);
    if (applied3d_.dwMode == DS3DMODE_DISABLE) p[0] = p[1] = p[2] = 0.0f;
    alSourcei(source_, AL_SOURCE_RELATIVE, applied3d_.dwMode == DS3DMODE_NORMAL ? AL_FALSE : AL_TRUE);
    alSourcefv(source_, AL_POSITION, p);
    alSourcefv(source_, AL_VELOCITY, v);
    alSourcef(source_, AL_REFERENCE_DISTANCE, applied3d_.flMinDistance);
    alSourcef(source_, AL_MAX_DISTANCE, std::max(applied3d_.flMaxDistance, applied3d_.flMinDistance));
    alSourcef(source_, AL_ROLLOFF_FACTOR, al_.Listener().Applied().flRolloffFactor);
    OnVolumeChanged();
}

void ALBuffer::Unqueue(bool all) {
    ALint processed = 0;
    if (all) {
        alSourcei(source_, AL_BUFFER, 0);
        for (auto& s : queued_) spare_.push_back(s.buffer);
        queued_.clear();
        return;
    }
    alGetSourcei(source_, AL_BUFFERS_PROCESSED, &processed);
    for (ALint i = 0; i < processed && !queued_.empty(); ++i) {
        ALuint b = 0;
        alSourceUnqueueBuffers(source_, 1, &b);
        const Slice s = queued_.front();
        queued_.pop_front();
        cursor_ = (s.offset + s.length) % std::max<uint32_t>(1, Size());
        spare_.push_back(b);
    }
}

void ALBuffer::Pump() {
    if (!playing_) return;
    al_.MakeCurrent();
    Unqueue(false);
    // Queue ahead: a one-shot buffer all that is left, a looping one four slices.
    const uint32_t slice = SliceBytes();
    uint32_t ahead = 0;
    for (auto& s : queued_) ahead += s.length;
    while (true) {
        if (feedPos_ >= Size()) {
            if (!looping_) break;
            feedPos_ = 0;
        }
        if (looping_ && ahead >= slice * 4) break;
        const uint32_t len = looping_ ? std::min(slice, Size() - feedPos_) : Size() - feedPos_;
        ALuint b = 0;
        if (!spare_.empty()) {
            b = spare_.back();
            spare_.pop_back();
        } else {
            alGenBuffers(1, &b);
        }
        alBufferData(b, ALFormatOf(format_), ring_->data() + feedPos_, static_cast<ALsizei>(len),
                     static_cast<ALsizei>(format_.nSamplesPerSec));
        alSourceQueueBuffers(source_, 1, &b);
        queued_.push_back({b, feedPos_, len});
        feedPos_ += len;
        ahead += len;
    }
    ALint state = 0;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) {
        if (queued_.empty()) {
            // A one-shot buffer has played to its end.
            playing_ = false;
            cursor_ = 0;
            alSourceStop(source_);
            Unqueue(true);
        } else {
            alSourcePlay(source_); // first start, or an underrun of a looping buffer
        }
    }
}

uint32_t ALBuffer::CurrentCursor() {
    if (!playing_ || queued_.empty()) return cursor_;
    ALint offset = 0;
    alGetSourcei(source_, AL_BYTE_OFFSET, &offset);
    uint32_t pos = static_cast<uint32_t>(std::max(0, offset));
    for (auto& s : queued_) {
        if (pos < s.length) return s.offset + pos;
        pos -= s.length;
    }
    return (queued_.back().offset + queued_.back().length) % std::max<uint32_t>(1, Size());
}

Result ALBuffer::GetStatus(uint32_t* status) {
    if (!status) return E_POINTER;
    al_.CatchUp();
    std::lock_guard lock(Mutex());
    Pump();
    *status = (playing_ ? DSBSTATUS_PLAYING : 0) | (playing_ && looping_ ? DSBSTATUS_LOOPING : 0);
    return S_OK;
}

Result ALBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
    al_.CatchUp();
    std::lock_guard lock(Mutex());
    Pump();
    const uint32_t cursor = CurrentCursor();
    if (play) *play = cursor;
    if (write) *write = playing_ ? feedPos_ % std::max<uint32_t>(1, Size()) : cursor;
    return S_OK;
}

Result ALBuffer::SetCurrentPosition(uint32_t position) {
    al_.CatchUp();
    std::lock_guard lock(Mutex());
    if (position >= Size()) return DSERR_INVALIDPARAM;
    position -= position % std::max<uint32_t>(1, format_.nBlockAlign);
    al_.MakeCurrent();
    const bool wasPlaying = playing_;
    if (wasPlaying) alSourceStop(source_);
    Unqueue(true);
    cursor_ = feedPos_ = position;
    if (wasPlaying) Pump();
    return S_OK;
}

Result ALBuffer::Play(uint32_t, uint32_t, uint32_t flags) {
    al_.CatchUp();
    std::lock_guard lock(Mutex());
    al_.MakeCurrent();
    const bool looping = (flags & DSBPLAY_LOOPING) != 0;
    if (playing_ && looping == looping_) return S_OK;
    if (playing_) {
        // The loop mode changed: requeue from where playback stands.
        cursor_ = CurrentCursor();
        alSourceStop(source_);
        Unqueue(true);
    }
    looping_ = looping;
    playing_ = true;
    feedPos_ = cursor_;
    Pump();
    return S_OK;
}

Result ALBuffer::Stop() {
    al_.CatchUp();
    std::lock_guard lock(Mutex());
    al_.MakeCurrent();
    if (playing_) {
        Unqueue(false);
        cursor_ = CurrentCursor();
    }
    playing_ = false;
    alSourceStop(source_);
    Unqueue(true);
    return S_OK;
}

std::shared_ptr<IDirectSound8> OpenDevice(const ALSoundConfig& config) {
    ALCdevice* device = nullptr;
    std::vector<ALCint> attrs;
    if (config.loopback) {
        auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
            alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        if (!open) return nullptr;
        device = open(nullptr);
        attrs = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT,
                 ALC_SHORT_SOFT,           ALC_FREQUENCY,   static_cast<ALCint>(config.rate)};
    } else {
        device = alcOpenDevice(nullptr);
    }
    if (!device) return nullptr;
    attrs.insert(attrs.end(), {ALC_HRTF_SOFT, ALC_FALSE, 0});
    ALCcontext* context = alcCreateContext(device, attrs.data());
    if (!context) {
        alcCloseDevice(device);
        return nullptr;
    }
    auto al = std::make_shared<ALDevice>(device, context, config.loopback, config.followClock);
    al->rate = config.rate;
    al->MakeCurrent();
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    al->StartPump();
    return al;
}

} // namespace

std::shared_ptr<IDirectSound8> CreateALDirectSound(const ALSoundConfig& config) {
    return OpenDevice(config);
}

std::shared_ptr<IDirectSound8> CreateDefaultDirectSound() {
    ALSoundConfig config;
    config.loopback = config.followClock = ClockFollowsFrames();
    return OpenDevice(config);
}

bool RenderLoopback(IDirectSound8* device, int16_t* out, uint32_t frames) {
    auto* al = dynamic_cast<ALDevice*>(device);
    return al && out && al->Render(out, frames);
}

} // namespace vesk::platform
