#pragma once
// Sound buffers: one device buffer with the file it plays. A static buffer
// holds a whole file, its 3D form follows a moving engine object through a
// dynamic link, and a streamed buffer plays long files through a ring of two
// halves that the worker thread refills.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/audio/dsound.h"
#include "platform/math_types.h"
#include "shared/engine_object.h"
#include "sound/wave_file.h"

namespace vesk {

using SoundMessageSink = std::function<void(const std::string&)>;

// What an object that a 3D sound follows sends its position and velocity through.
class ISoundController {
public:
    virtual void SetPositionVelocity(const Vec3& position, const Vec3& velocity) = 0;

protected:
    ~ISoundController() = default;
};

class TCustomSoundBuffer {
public:
    TCustomSoundBuffer() = default;
    virtual ~TCustomSoundBuffer() = default;
    TCustomSoundBuffer(const TCustomSoundBuffer&) = delete;
    TCustomSoundBuffer& operator=(const TCustomSoundBuffer&) = delete;

    virtual void FillDescription();
    virtual platform::Result QueryBuffer8() { return platform::S_OK; }
    virtual platform::Result StopBuffer();
    virtual platform::Result LoadSound() { return 0; }
    virtual platform::Result PlayBuffer();
    // A buffer of the same class, without a device buffer.
    virtual std::unique_ptr<TCustomSoundBuffer> NewOfSameClass() const = 0;

    platform::Result CreateBuffer();
    platform::Result Load(const std::string& fileName, bool loop);
    platform::Result Play();
    platform::Result Stop();
    bool Pause();
    void SetVolume(int32_t volume);
    int32_t GetVolume();
    int32_t StoredVolume() const { return volume_; }
    bool IsPlaying();
    bool IsLooping() const { return (playFlags_ & platform::DSBPLAY_LOOPING) != 0; }
    bool IsPaused() const { return paused_; }
    float GetPlayFraction();
    // nullptr when the device refuses the copy.
    std::unique_ptr<TCustomSoundBuffer> Duplicate();
    void Report(const std::string& text);
    void SetMessageSink(SoundMessageSink sink) { sink_ = std::move(sink); }

    const std::string& FileName() const { return fileName_; }
    uint32_t BufferSize() const { return bufferSize_; }
    const platform::WAVEFORMATEX& Format() const { return format_; }
    platform::IDirectSoundBuffer* DeviceBuffer() const { return buffer_.get(); }

    // The value sent to the device for a stored volume.
    static int32_t BendVolume(int32_t volume);

protected:
    SoundMessageSink sink_;
    int32_t volume_ = -10000;
    bool paused_ = false;
    uint32_t playFlags_ = 0;
    uint32_t creationFlags_ = platform::DSBCAPS_CTRLVOLUME;
    platform::DSBUFFERDESC desc_;
    std::shared_ptr<platform::IDirectSoundBuffer> buffer_;
    std::string fileName_;
    std::unique_ptr<TWaveFile3> reader_;
    platform::WAVEFORMATEX format_{};
    uint32_t bufferSize_ = 0;
};

class TFastSoundBuffer : public TCustomSoundBuffer {
public:
    platform::Result LoadSound() override;
    platform::Result PlayBuffer() override;
    std::unique_ptr<TCustomSoundBuffer> NewOfSameClass() const override {
        return std::make_unique<TFastSoundBuffer>();
    }
    virtual void ReleaseLink() {}

    int32_t index = 0;
    bool started = false;
    bool clone = false;
    TFastSoundBuffer* nextClone = nullptr;
};

class TDynamicLink;

class TCustom3DSoundBuffer : public TFastSoundBuffer {
public:
    ~TCustom3DSoundBuffer() override;
    virtual void Apply3D() {}
    virtual void ApplyDistances() {}

    void SetPosition(const Vec3& v);
    void SetVelocity(const Vec3& v);
    void ApplyIfChanged();
    void SetDistances(int32_t minDistance, int32_t maxDistance, int32_t divisor);
    // The controller of a new link to the object; none when a link already exists.
    void GetController(IEngineObject* object, ISoundController*& controller);
    void ReleaseLink() override;
    // The link is being freed on its own: forget it (a looping sound stops).
    void LinkGone();

    const Vec3& Position() const { return position_; }
    int32_t MinDistance() const { return minDistance_; }
    int32_t MaxDistance() const { return maxDistance_; }
    int32_t Divisor() const { return divisor_; }
    bool HasLink() const { return link_ != nullptr; }

    int32_t linkNumber = 0;

protected:
    int32_t divisor_ = 1;
    bool changed_ = true;
    TDynamicLink* link_ = nullptr;
    int32_t minDistance_ = 0;
    int32_t maxDistance_ = 0;
    Vec3 position_, velocity_;
};

class TFast3DSoundBuffer : public TCustom3DSoundBuffer {
public:
    TFast3DSoundBuffer();
    void FillDescription() override;
    platform::Result QueryBuffer8() override;
    void Apply3D() override;
    void ApplyDistances() override;
    std::unique_ptr<TCustomSoundBuffer> NewOfSameClass() const override {
        return std::make_unique<TFast3DSoundBuffer>();
    }

private:
    std::shared_ptr<platform::IDirectSound3DBuffer> buffer3d_;
};

// Follows an engine object for a 3D buffer: the object sends its position and
// velocity through the controller; when the object goes away the buffer lets
// the link go.
class TDynamicLink : public TEngineObject, public ISoundController {
public:
    TDynamicLink(TCustom3DSoundBuffer* buffer, IEngineObject* object);
    void SetPositionVelocity(const Vec3& position, const Vec3& velocity) override;
    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;
    // The buffer is going away: the link no longer reaches it.
    void Detach() { buffer_ = nullptr; }

private:
    TCustom3DSoundBuffer* buffer_;
    IEngineObject* object_;
};

class TStreamSoundBuffer : public TCustomSoundBuffer {
public:
    static constexpr uint32_t kSize = 0x40000;
    static constexpr uint32_t kHalf = 0x20000;

    TStreamSoundBuffer() { bufferSize_ = kSize; }
    platform::Result LoadSound() override;
    std::unique_ptr<TCustomSoundBuffer> NewOfSameClass() const override {
        return std::make_unique<TStreamSoundBuffer>();
    }
    // Refills the half that has just played; the last device result.
    platform::Result Refill();
    bool IsFinished() const { return finished_; }
    bool IsEndOfData() const { return endOfData_; }

private:
    // Reads into a locked part and pads what the reader could not give with silence.
    void FillPart(void* part, uint32_t bytes);
    uint32_t storedHalf_ = 0;
    bool finished_ = false;
    bool endOfData_ = false;
};

} // namespace vesk
