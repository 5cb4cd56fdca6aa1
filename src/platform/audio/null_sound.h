#pragma once
// The recording null sound device: makes no sound, keeps every call as a line
// of text, keeps the buffers' bytes, and moves play cursors only when told to
// (AdvanceMs / AdvanceBytes), so tests drive playback deterministically.
// Failures can be injected per call kind.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/sound_base.h"

namespace vesk::platform {

struct NullSoundConfig {
    bool failCreateDevice = false;
    bool failCooperativeLevel = false;
    bool failSetFormat = false;
    // CreateSoundBuffer fails with DSERR_OUTOFMEMORY when this says so.
    std::function<bool(const DSBUFFERDESC&)> failCreateBuffer;
    bool failLock = false;
    bool failUnlock = false;
    bool failGetStatus = false;
    bool failGetPosition = false;
    bool failSetVolume = false;
    bool failPlay = false;
    bool failDuplicate = false;
};

class NullSoundDevice;

class NullSoundBuffer final : public SoundBufferBase {
public:
    NullSoundBuffer(NullSoundDevice& device, const DSBUFFERDESC& desc, int number);
    NullSoundBuffer(NullSoundDevice& device, const NullSoundBuffer& original, int number);

    Result GetStatus(uint32_t* status) override;
    Result GetCurrentPosition(uint32_t* play, uint32_t* write) override;
    Result SetCurrentPosition(uint32_t position) override;
    Result SetVolume(int32_t volume) override;
    Result Lock(uint32_t offset, uint32_t bytes, void** p1, uint32_t* b1, void** p2, uint32_t* b2,
                uint32_t flags) override;
    Result Unlock(void* p1, uint32_t b1, void* p2, uint32_t b2) override;
    Result Play(uint32_t reserved, uint32_t priority, uint32_t flags) override;
    Result Stop() override;

    // Moves the play cursor; a one-shot buffer stops at its end.
    void AdvanceBytes(uint64_t bytes);
    int Number() const { return number_; }
    bool Playing() const { return playing_; }
    bool Looping() const { return looping_; }
    uint32_t PlayCursor() const { return cursor_; }
    int32_t Volume() const { return volume_; }

private:
    void Record(const std::string& call);
    NullSoundDevice& null_;
    int number_;
    bool playing_ = false;
    bool looping_ = false;
    uint32_t cursor_ = 0;
};

class NullSoundDevice final : public SoundDeviceBase {
public:
    explicit NullSoundDevice(NullSoundConfig config = {});

    Result SetCooperativeLevel(void* window, uint32_t level) override;
    Result CreateSoundBuffer(const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer>* out) override;
    Result DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                std::shared_ptr<IDirectSoundBuffer>* out) override;
    Result GetCaps(DSCAPS* caps) override;

    NullSoundConfig& Config() { return config_; }
    // Every call so far, one line each ("buf3.SetVolume(-833)").
    std::vector<std::string> Calls();
    void ClearCalls();
    void Record(const std::string& line);
    // Moves every playing buffer by the bytes of ms milliseconds of its format.
    void AdvanceMs(double ms);
    std::vector<std::shared_ptr<NullSoundBuffer>> Buffers();
    int CommitCount() const { return commits_; }

    void OnListenerApplied() override;
    void OnMasterVolume() override;

protected:
    std::shared_ptr<SoundBufferBase> MakeBuffer(const DSBUFFERDESC& desc) override;
    std::shared_ptr<SoundBufferBase> MakeDuplicate(const SoundBufferBase& original) override;
    Result CheckCreate(const DSBUFFERDESC& desc) override;

private:
    NullSoundConfig config_;
    std::vector<std::string> calls_;
    int nextNumber_ = 1;
    int commits_ = 0;
};

// Installs a factory that makes null devices with this configuration; the
// device made last is kept for tests to inspect.
void UseNullSound(NullSoundConfig config = {});
std::shared_ptr<NullSoundDevice> LastNullSoundDevice();

} // namespace vesk::platform
