#pragma once
// The sound-engine interface through which the whole game reaches sound; the
// sound engine with its core, seven channels, worker thread, file folder and
// message log; the silent engine that answers every call without sound; and
// the application's sound service that picks one of them at start-up.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/services.h"
#include "platform/math_types.h"
#include "sound/sound_channels.h"
#include "sound/sound_core.h"

namespace vesk {

// Channel numbers: 0 All, 1 Music, 2 Ambience, 3 Radio, 4 Battle, 5 Dialog, 6 Interface, 7 Space.
using SoundMessageCallback = std::function<void(const std::string&)>;

class ISoundEngineInterface {
public:
    virtual ~ISoundEngineInterface() = default;
    virtual void Start(int channel) = 0;
    virtual int Stop(int channel) = 0;
    virtual int Add(int channel, const std::string& file, int fadeIn, int fadeOut,
                    const std::string& callback, bool loop) = 0;
    virtual void Clear(int channel) = 0;
    virtual void SetVolume(int channel, float volume) = 0;
    virtual float GetChannelVolume(int channel) = 0;
    virtual int GetChannelState(int channel) = 0;
    virtual void GetChannelFile(int channel, std::string& file) = 0;
    virtual void SetLoop(int channel, bool loop) = 0;
    virtual bool GetLoop(int channel) = 0;
    virtual int Play(int channel, const std::string& file, int fadeIn, int fadeOut,
                     const std::string& callback) = 0;
    virtual int PlaySound(int channel, int id) = 0;
    virtual int Mute(int channel, bool on) = 0;
    virtual void SetMuteTime(int channel, int ms) = 0;
    virtual void Enum(int channel, std::vector<std::string>& list) = 0;
    virtual void SetMaxPlayCount(int channel, int count) = 0;
    virtual void SetSmartStopStep(int channel, int step) = 0;
    virtual int Play3DSound(int channel, int id, int minDistance, int maxDistance, int divisor,
                            IEngineObject* object, ISoundController*& controller) = 0;
    virtual void SetListenerPosition(const Vec3& v) = 0;
    virtual void SetListenerOrientation(const Vec3& front, const Vec3& top) = 0;
    virtual void SetListenerVelocity(const Vec3& v) = 0;
    virtual void SetCommitInterval(int ms) = 0;
    virtual void SetRolloff(float f) = 0;
    virtual void SetDistanceFactor(float f) = 0;
    virtual void SetDoppler(float f) = 0;
    virtual void SetTimeFactor(int factor) = 0;
    virtual void Update(int ms) = 0;
    virtual int GetThreadTicks() = 0;
    virtual int Init(void* window) = 0;
    virtual void Done() = 0;
    virtual bool IsEnabled() = 0;
    virtual void SetMessageCallback(SoundMessageCallback callback) = 0;
    virtual int GetReserved() = 0;
    virtual int GetPlayingCount(int channel) = 0;
    virtual int GetValue32() = 0;
    virtual void SetFileFolder(const std::string& folder) = 0;
    virtual void GetFileFolder(std::string& folder) = 0;
    virtual int QueryCaps() = 0;
    virtual void GetStatus(std::string& text) = 0;
    virtual void GetPlayCountText(std::string& text) = 0;
    virtual void GetMessages(int count, std::string& text) = 0;
};

// The one sound engine of the game (the full or the silent one); empty before start-up.
extern std::shared_ptr<ISoundEngineInterface> SoundEngine;

class TSoundEngine final : public ISoundEngineInterface {
public:
    // Without the worker thread, WorkerPass is driven by the caller (tests).
    explicit TSoundEngine(bool workerThread = true);
    ~TSoundEngine() override;

    void Start(int channel) override;
    int Stop(int channel) override;
    int Add(int channel, const std::string& file, int fadeIn, int fadeOut, const std::string& callback,
            bool loop) override;
    void Clear(int channel) override;
    void SetVolume(int channel, float volume) override;
    float GetChannelVolume(int channel) override;
    int GetChannelState(int channel) override;
    void GetChannelFile(int channel, std::string& file) override;
    void SetLoop(int channel, bool loop) override;
    bool GetLoop(int channel) override;
    int Play(int channel, const std::string& file, int fadeIn, int fadeOut,
             const std::string& callback) override;
    int PlaySound(int channel, int id) override;
    int Mute(int channel, bool on) override;
    void SetMuteTime(int channel, int ms) override;
    void Enum(int channel, std::vector<std::string>& list) override;
    void SetMaxPlayCount(int channel, int count) override;
    void SetSmartStopStep(int channel, int step) override;
    int Play3DSound(int channel, int id, int minDistance, int maxDistance, int divisor, IEngineObject* object,
                    ISoundController*& controller) override;
    void SetListenerPosition(const Vec3& v) override;
    void SetListenerOrientation(const Vec3& front, const Vec3& top) override;
    void SetListenerVelocity(const Vec3& v) override;
    void SetCommitInterval(int ms) override { commitInterval_ = ms; }
    void SetRolloff(float f) override;
    void SetDistanceFactor(float f) override;
    void SetDoppler(float f) override;
    void SetTimeFactor(int factor) override;
    void Update(int ms) override;
    int GetThreadTicks() override { return threadTicks_; }
    int Init(void* window) override;
    void Done() override;
    bool IsEnabled() override { return true; }
    void SetMessageCallback(SoundMessageCallback callback) override { callback_ = std::move(callback); }
    int GetReserved() override { return 0; }
    int GetPlayingCount(int channel) override;
    int GetValue32() override { return value32_; }
    void SetFileFolder(const std::string& folder) override;
    void GetFileFolder(std::string& folder) override { folder = folder_; }
    int QueryCaps() override;
    void GetStatus(std::string& text) override;
    void GetPlayCountText(std::string& text) override;
    void GetMessages(int count, std::string& text) override;

    // One pass of the worker: the tick counter, then the five streamed channels in order.
    void WorkerPass();
    // The pass as the worker thread runs it: what it reports waits for the
    // main thread (Update), and after a fatal report the passes stop.
    void DeferredWorkerPass();
    // Main thread: the worker's reports, in order.
    void ReportWorkerFaults();
    // The engine's message routine: callback first, then the top of the log.
    void Message(const std::string& text);
    bool Enabled() const { return enabled_; }
    TStreamSoundChannel* StreamChannel(int channel);
    TSoundChannel* InterfaceChannel() { return interface_.get(); }
    TSpaceChannel* SpaceChannel() { return space_.get(); }
    std::vector<std::string> LogLines();

    static constexpr size_t kMaxLogLines = 100;

private:
    TCustomSoundChannel* Channel(int channel);
    // The seven channels in number order (1..7).
    std::vector<TCustomSoundChannel*> AllChannels();

    std::vector<std::string> log_;
    std::mutex logLock_;
    int accumulated_ = 0;
    int commitInterval_ = 100;
    SoundMessageCallback callback_;
    int value32_ = 0;
    std::string folder_;
    bool workerThread_;
    static constexpr int kWorkerIntervalMs = 50;
    bool frameWorker_ = false; // the streams are fed from Update (fixed-step runs)
    int frameWorkerMs_ = 0;
    std::unique_ptr<TSoundThread> thread_;
    std::atomic<int> threadTicks_{0};
    struct DeferredReport {
        std::string text, flags;
    };
    std::mutex faultLock_;
    std::vector<DeferredReport> workerReports_;
    std::atomic<bool> workerStopped_{false};
    std::unique_ptr<TStreamSoundChannel> streams_[5];
    std::unique_ptr<TSoundChannel> interface_;
    std::unique_ptr<TSpaceChannel> space_;
    bool enabled_ = false;
};

// The silent engine: accepts every call and makes no sound.
class TSoundGag : public ISoundEngineInterface {
public:
    void Start(int) override {}
    int Stop(int) override { return 0; }
    int Add(int, const std::string&, int, int, const std::string&, bool) override { return 0; }
    void Clear(int) override {}
    void SetVolume(int, float) override {}
    float GetChannelVolume(int) override { return 0.0f; }
    int GetChannelState(int) override { return 3; }
    void GetChannelFile(int, std::string& file) override { file.clear(); }
    void SetLoop(int, bool) override {}
    bool GetLoop(int) override { return false; }
    int Play(int, const std::string&, int, int, const std::string&) override { return 0; }
    int PlaySound(int, int) override { return 0; }
    int Mute(int, bool) override { return 0; }
    void SetMuteTime(int, int) override {}
    void Enum(int, std::vector<std::string>&) override {}
    void SetMaxPlayCount(int, int) override {}
    void SetSmartStopStep(int, int) override {}
    int Play3DSound(int, int, int, int, int, IEngineObject*, ISoundController*& controller) override {
        controller = nullptr;
        return 0;
    }
    void SetListenerPosition(const Vec3&) override {}
    void SetListenerOrientation(const Vec3&, const Vec3&) override {}
    void SetListenerVelocity(const Vec3&) override {}
    void SetCommitInterval(int) override {}
    void SetRolloff(float) override {}
    void SetDistanceFactor(float) override {}
    void SetDoppler(float) override {}
    void SetTimeFactor(int) override {}
    void Update(int) override {}
    int GetThreadTicks() override { return -1; }
    int Init(void*) override { return 0; }
    void Done() override {}
    bool IsEnabled() override { return false; }
    void SetMessageCallback(SoundMessageCallback callback) override {
        if (callback) callback(kDisabled);
    }
    int GetReserved() override { return 0; }
    int GetPlayingCount(int) override { return 0; }
    int GetValue32() override { return 0; }
    void SetFileFolder(const std::string&) override {}
    void GetFileFolder(std::string& folder) override { folder.clear(); }
    int QueryCaps() override { return 0; }
    void GetStatus(std::string& text) override { text = kDisabled; }
    void GetPlayCountText(std::string&) override {}
    void GetMessages(int, std::string& text) override { text = kDisabled; }

    static constexpr const char* kDisabled = "Sound is disable";
};

// The application's sound service: the engine when sound is on, the silent
// engine otherwise; the engine's functions for the scripts are installed too.
class SoundService : public ISoundEngine {
public:
    // messages: where the engine's messages go (the console and the error log).
    explicit SoundService(SoundMessageCallback messages = {}) : messages_(std::move(messages)) {}
    void CreateCore() override;
    void Start(bool soundOn, platform::IWindow& window) override;
    void Update(int ms) override;
    void Done() override;

private:
    SoundMessageCallback messages_;
};

// Installs the sound service and the scripts' sound functions; headless runs
// use the null sound device. The engine's messages go to `messages`.
void InstallSoundServices(CoreServices& services, bool headless, SoundMessageCallback messages = {});

} // namespace vesk
