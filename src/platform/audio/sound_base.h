#pragma once
// What the sound backends share: the ring memory of secondary buffers with
// Lock/Unlock, the stored volume, pan and frequency, the deferred and applied
// 3D settings of buffers and listener, and the device's list of live buffers
// that CommitDeferredSettings walks. A backend adds the sound itself through
// the hooks. One device-wide mutex serialises every call, so the streaming
// thread and the main thread may use different buffers of one device.
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/dsound.h"

namespace vesk::platform {

class SoundDeviceBase;

class SoundBufferBase : public IDirectSoundBuffer,
                        public IDirectSound3DBuffer,
                        public std::enable_shared_from_this<SoundBufferBase> {
public:
    SoundBufferBase(SoundDeviceBase& device, const DSBUFFERDESC& desc);
    // A duplicate: shares the original's ring.
    SoundBufferBase(SoundDeviceBase& device, const SoundBufferBase& original);

    Result GetFormat(WAVEFORMATEX* out) override;
    Result SetFormat(const WAVEFORMATEX* format) override;
    Result GetVolume(int32_t* volume) override;
    Result SetVolume(int32_t volume) override;
    Result GetPan(int32_t* pan) override;
    Result SetPan(int32_t pan) override;
    Result GetFrequency(uint32_t* frequency) override;
    Result SetFrequency(uint32_t frequency) override;
    Result Lock(uint32_t offset, uint32_t bytes, void** p1, uint32_t* b1, void** p2, uint32_t* b2,
                uint32_t flags) override;
    Result Unlock(void* p1, uint32_t b1, void* p2, uint32_t b2) override;
    Result Get3DBuffer(std::shared_ptr<IDirectSound3DBuffer>* out) override;
    Result GetListener(std::shared_ptr<IDirectSound3DListener>* out) override;

    // IDirectSound3DBuffer
    Result SetPosition(float x, float y, float z, uint32_t apply) override;
    Result SetVelocity(float x, float y, float z, uint32_t apply) override;
    Result SetMinDistance(float d, uint32_t apply) override;
    Result SetMaxDistance(float d, uint32_t apply) override;
    Result SetMode(uint32_t mode, uint32_t apply) override;
    Result GetAllParameters(DS3DBUFFER* out) override;

    uint32_t Flags() const { return flags_; }
    uint32_t Size() const { return static_cast<uint32_t>(ring_->size()); }
    const WAVEFORMATEX& Format() const { return format_; }
    // The 3D settings in force (after the last commit or immediate call).
    const DS3DBUFFER& Applied3D() const { return applied3d_; }
    const std::vector<uint8_t>& Bytes() const { return *ring_; }
    // Called with the device mutex held by the commit.
    void CommitDeferred();
    const SoundDeviceBase* Device() const { return &device_; }

protected:
    // Backend hooks, called with the device mutex held.
    virtual void OnVolumeChanged() {}
    virtual void On3DApplied() {}
    // The cursor that Lock with DSBLOCK_FROMWRITECURSOR starts at.
    virtual uint32_t WriteCursor() { return 0; }
    std::recursive_mutex& Mutex();
    Result Set3D(uint32_t apply, const std::function<void(DS3DBUFFER&)>& change);

    SoundDeviceBase& device_;
    std::shared_ptr<SoundDeviceBase> keepDevice_; // buffers keep their device alive
    std::shared_ptr<std::vector<uint8_t>> ring_;
    WAVEFORMATEX format_{};
    uint32_t flags_ = 0;
    Sound3DAlgorithm algorithm_ = Sound3DAlgorithm::Default;
    int32_t volume_ = 0;
    int32_t pan_ = 0;
    uint32_t frequency_ = 0;
    DS3DBUFFER pending3d_, applied3d_;
    bool dirty3d_ = false;
    bool locked_ = false;
};

class SoundListenerBase : public IDirectSound3DListener {
public:
    explicit SoundListenerBase(SoundDeviceBase& device) : device_(device) {}
    Result SetPosition(float x, float y, float z, uint32_t apply) override;
    Result SetVelocity(float x, float y, float z, uint32_t apply) override;
    Result SetOrientation(float fx, float fy, float fz, float tx, float ty, float tz,
                          uint32_t apply) override;
    Result SetDistanceFactor(float f, uint32_t apply) override;
    Result SetRolloffFactor(float f, uint32_t apply) override;
    Result SetDopplerFactor(float f, uint32_t apply) override;
    Result GetAllParameters(DS3DLISTENER* out) override;
    Result SetAllParameters(const DS3DLISTENER* in, uint32_t apply) override;
    Result CommitDeferredSettings() override;

    const DS3DLISTENER& Applied() const { return applied_; }

protected:
    friend class SoundDeviceBase;
    Result Change(uint32_t apply, const std::function<void(DS3DLISTENER&)>& change);
    SoundDeviceBase& device_;
    DS3DLISTENER pending_, applied_;
};

// The primary buffer: its format, its volume (the device's master gain) and the listener.
class PrimaryBufferBase : public IDirectSoundBuffer {
public:
    explicit PrimaryBufferBase(std::shared_ptr<SoundDeviceBase> device) : device_(std::move(device)) {}
    Result GetFormat(WAVEFORMATEX* out) override;
    Result SetFormat(const WAVEFORMATEX* format) override;
    Result GetStatus(uint32_t* status) override;
    Result GetCurrentPosition(uint32_t* play, uint32_t* write) override;
    Result SetCurrentPosition(uint32_t) override { return DSERR_INVALIDCALL; }
    Result GetVolume(int32_t* volume) override;
    Result SetVolume(int32_t volume) override;
    Result GetPan(int32_t* pan) override;
    Result SetPan(int32_t) override { return S_OK; }
    Result GetFrequency(uint32_t* frequency) override;
    Result SetFrequency(uint32_t) override { return DSERR_CONTROLUNAVAIL; }
    Result Lock(uint32_t, uint32_t, void**, uint32_t*, void**, uint32_t*, uint32_t) override {
        return DSERR_PRIOLEVELNEEDED;
    }
    Result Unlock(void*, uint32_t, void*, uint32_t) override { return DSERR_INVALIDCALL; }
    Result Play(uint32_t, uint32_t, uint32_t flags) override;
    Result Stop() override { return S_OK; }
    Result Get3DBuffer(std::shared_ptr<IDirectSound3DBuffer>* out) override;
    Result GetListener(std::shared_ptr<IDirectSound3DListener>* out) override;

private:
    std::shared_ptr<SoundDeviceBase> device_;
};

class SoundDeviceBase : public IDirectSound8, public std::enable_shared_from_this<SoundDeviceBase> {
public:
    SoundDeviceBase();
    Result SetCooperativeLevel(void* window, uint32_t level) override;
    Result CreateSoundBuffer(const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer>* out) override;
    Result DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                std::shared_ptr<IDirectSoundBuffer>* out) override;
    Result GetCaps(DSCAPS* caps) override;

    std::recursive_mutex& Mutex() { return mutex_; }
    uint32_t CooperativeLevel() const { return level_; }
    // The listener of the primary buffer (made with the device).
    SoundListenerBase& Listener() { return *listener_; }
    // Applies the listener's and every buffer's deferred settings (mutex held).
    void CommitAll();
    // Live secondary buffers, oldest first.
    std::vector<std::shared_ptr<SoundBufferBase>> LiveBuffers();

    // Backend hooks.
    virtual void OnListenerApplied() {}
    virtual void OnMasterVolume() {}
    // The primary buffer's state.
    WAVEFORMATEX primaryFormat{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
    int32_t masterVolume = 0;

protected:
    virtual std::shared_ptr<SoundBufferBase> MakeBuffer(const DSBUFFERDESC& desc) = 0;
    virtual std::shared_ptr<SoundBufferBase> MakeDuplicate(const SoundBufferBase& original) = 0;
    virtual std::shared_ptr<IDirectSoundBuffer> MakePrimary(const DSBUFFERDESC&) {
        return std::make_shared<PrimaryBufferBase>(shared_from_this());
    }
    virtual Result CheckCreate(const DSBUFFERDESC&) { return S_OK; }

    std::recursive_mutex mutex_;
    std::unique_ptr<SoundListenerBase> listener_;
    std::vector<std::weak_ptr<SoundBufferBase>> buffers_;
    uint32_t level_ = 0;
};

} // namespace vesk::platform
