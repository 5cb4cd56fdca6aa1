#pragma once
// The sound core: the one owner of the sound device, its primary buffer and
// the 3D listener; the worker thread that refills streamed sound; the names
// of the channel groups.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/audio/dsound.h"
#include "platform/math_types.h"

namespace vesk {

// "MUSIC" 1 ... "SPACE" 7, "ALL" 0, anything else 8 (any letter case).
int ChannelNameToNumber(const std::string& name);
// "All" ... "Space" for 0-7, "Unknow" for 8; larger numbers leave text unchanged.
void ChannelNumberToName(int number, std::string& text);
// The name as the engine's messages show it: empty above 8.
std::string ChannelName(int number);

class TSoundCore {
public:
    TSoundCore() = default;
    ~TSoundCore();
    TSoundCore(const TSoundCore&) = delete;
    TSoundCore& operator=(const TSoundCore&) = delete;

    // 0 on success; -1 when there is no device; else the failing step's result.
    platform::Result Init(void* window);

    Vec3 GetListenerPosition() const { return position_; }
    void SetListenerPosition(const Vec3& v);
    void SetListenerVelocity(const Vec3& v);
    void SetListenerOrientation(const Vec3& front, const Vec3& top);
    void SetDistanceFactor(float f);
    void SetDoppler(float f);
    void SetRolloff(float f);
    // Applies the listener's current values and every deferred 3D setting.
    void CommitListener();
    // The primary buffer's volume as 0..100; 0 without a listener.
    int GetGeneralVolume();
    void SetGeneralVolume(int percent);

    platform::IDirectSound8* Device() const { return device_.get(); }
    bool HasListener() const { return listener_ != nullptr; }

    // The volume law: hundredths of a decibel (-10000..0) <-> percent (0..100).
    static int VolumeToPercent(int32_t volume);
    static int32_t PercentToVolume(int percent);

private:
    void Release();

    Vec3 position_, velocity_;
    Vec3 top_{0, 1, 0}, front_{0, 0, 1};
    float distanceFactor_ = 1.0f;
    float rolloff_ = 3.0f;
    float doppler_ = 1.0f;
    std::shared_ptr<platform::IDirectSound3DListener> listener_;
    std::shared_ptr<platform::IDirectSound8> device_;
    std::shared_ptr<platform::IDirectSoundBuffer> primary_;
    platform::DS3DLISTENER params_{};
};

// The core shared by buffers, channels and the engine.
extern std::unique_ptr<TSoundCore> SoundCore;

// A worker that calls its pass routine, then sleeps the interval, until told to stop.
class TSoundThread {
public:
    TSoundThread(std::function<void()> pass, unsigned intervalMs);
    ~TSoundThread();
    TSoundThread(const TSoundThread&) = delete;
    TSoundThread& operator=(const TSoundThread&) = delete;

    void Start();
    void Terminate() { terminated_ = true; }
    void WaitFor();

private:
    std::function<void()> pass_;
    unsigned interval_;
    std::atomic<bool> terminated_{false};
    std::thread thread_;
};

} // namespace vesk
