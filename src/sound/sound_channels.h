#pragma once
// Sound channels: a group of sounds under one volume with a mute fade. The
// streamed channel plays a queue of long files one after the other with
// fade-in and fade-out; the interface channel keeps short sounds loaded and
// starts them by number; the space channel plays 3D sounds, several copies of
// one sound at once, and keeps only the best ranked ones audible.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sound/sound_buffers.h"

namespace vesk {

class TCustomSoundChannel {
public:
    TCustomSoundChannel() = default;
    virtual ~TCustomSoundChannel() = default;
    TCustomSoundChannel(const TCustomSoundChannel&) = delete;
    TCustomSoundChannel& operator=(const TCustomSoundChannel&) = delete;

    virtual int GetSoundCount() { return 0; }
    virtual int64_t GetMemoryUsed() { return 0; }
    virtual void ApplyVolume() {}
    virtual int GetPlayingCount() { return 0; }
    // The mute fade, per frame.
    virtual void Update(int ms);

    void SetVolume(float v);
    float GetVolume() const { return volume_; }
    void Mute(bool on);
    void SetMuteTime(int ms) { muteTime_ = ms; }
    void SetMessageSink(SoundMessageSink sink) { sink_ = std::move(sink); }
    void Report(const std::string& text);
    bool IsMuted() const { return muted_; }
    float SavedVolume() const { return savedVolume_; }

protected:
    SoundMessageSink sink_;
    float volume_ = 0.0f;
    int32_t muteTimer_ = 0;
    int32_t muteTime_ = 2000;
    bool unmuting_ = false;
    float savedVolume_ = 1.0f;
    bool muted_ = false;
};

struct TSoundTheme {
    std::string fileName;
    int32_t fadeIn = 0;
    int32_t fadeOut = 0;
    std::string callback;
};

enum class StreamState : uint8_t { Waiting = 0, Playing = 1, Stopping = 2, NotExist = 3 };

class TStreamSoundChannel : public TCustomSoundChannel {
public:
    using CallbackRunner = std::function<void(const std::string&)>;

    explicit TStreamSoundChannel(std::string name = {});

    int GetSoundCount() override { return 1; }
    int64_t GetMemoryUsed() override { return buffer_.BufferSize(); }
    void ApplyVolume() override;
    void Update(int ms) override;

    void AddTheme(const std::string& file, int fadeIn, int fadeOut, const std::string& callback);
    void Play(const std::string& file, int fadeIn, int fadeOut, const std::string& callback);
    void Start();
    void Stop();
    void Clear();
    std::string GetCurrentFile();
    // The worker thread's pass: refills the streamed buffer while playing.
    void StreamPass();
    std::string GetStatusLine();

    StreamState State();
    void SetLoop(bool loop);
    bool GetLoop();
    void SetCallbackRunner(CallbackRunner runner) { runner_ = std::move(runner); }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    float FadeLevel();
    TStreamSoundBuffer& Buffer() { return buffer_; }
    int ThemeCount();

private:
    void StartCurrent();
    void BeginStop();
    void RunAfterStop();
    bool Advance();
    static uint32_t NowMs();

    StreamState state_ = StreamState::Waiting;
    uint8_t afterStop_ = 0; // 0 stop, 1 stop after clearing, 2 start the current theme
    TStreamSoundBuffer buffer_;
    std::vector<TSoundTheme> themes_;
    int32_t current_ = -1;
    int32_t fadeDuration_ = 0;
    uint32_t lastTick_ = 0;
    int32_t direction_ = 0;
    int32_t fadeIn_ = 0, fadeOut_ = 0;
    std::string callback_;
    float level_ = 0.0f;
    bool loop_ = false;
    std::recursive_mutex lock_;
    std::string name_;
    CallbackRunner runner_;
};

class TSoundChannel : public TCustomSoundChannel {
public:
    TSoundChannel();
    ~TSoundChannel() override;

    int GetSoundCount() override { return static_cast<int>(buffers_.size()); }
    int64_t GetMemoryUsed() override;
    void ApplyVolume() override;
    int GetPlayingCount() override;

    int AddSound(const std::string& file, bool loop);
    int AddBuffer(std::unique_ptr<TFastSoundBuffer> buffer);
    int PlaySound(int id);
    virtual int PlayIndex(int index);
    virtual int StopAll();
    void ClearSounds();
    virtual void EnumSounds(std::vector<std::string>& list);
    int FindSound(const std::string& file);
    void ReleaseFinished();

    platform::Result LastLoadResult() const { return lastLoad_; }
    TFastSoundBuffer* Buffer(int index) {
        return index >= 0 && index < static_cast<int>(buffers_.size()) ? buffers_[index].get() : nullptr;
    }

protected:
    virtual std::unique_ptr<TFastSoundBuffer> NewBuffer() { return std::make_unique<TFastSoundBuffer>(); }
    // round((1 - channel volume) x -10000)
    int32_t ChannelBufferVolume() const;

    platform::Result lastLoad_ = 0;
    std::vector<std::unique_ptr<TFastSoundBuffer>> buffers_;
};

class TMultisoundChannel : public TSoundChannel {
public:
    int PlayIndex(int index) override;
};

class TSpaceChannel : public TMultisoundChannel {
public:
    struct RankEntry {
        float key = 0;
        std::string fileName;
        float distance = 0;
        int32_t index = 0;
        TCustom3DSoundBuffer* buffer = nullptr;
    };

    TSpaceChannel();
    void Update(int ms) override;
    int Play3DSound(int id, int minDistance, int maxDistance, int divisor, IEngineObject* object,
                    ISoundController*& controller);
    void SetSmartStopStep(int step) { smartStopStep_ = step; }
    void SetTimeFactor(int factor) { timeFactor_ = factor; }
    void SetMaxPlayCount(int count) { maxPlayCount_ = count; }
    int MaxPlayCount() const { return maxPlayCount_; }
    int PlayCount() const { return playCount_; }
    std::string GetStatusLine() const;
    void EnumSounds(std::vector<std::string>& list) override;
    const std::vector<RankEntry>& Ranking() const { return ranking_; }

protected:
    std::unique_ptr<TFastSoundBuffer> NewBuffer() override { return std::make_unique<TFast3DSoundBuffer>(); }

private:
    int32_t smartStopStep_ = 2000;
    int32_t timeFactor_ = 20;
    std::vector<RankEntry> ranking_;
    int32_t maxPlayCount_ = 5;
    int32_t playCount_ = 0;
};

} // namespace vesk
