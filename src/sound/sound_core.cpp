#include "sound/sound_core.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/text.h"

namespace vesk {

using namespace platform;

std::unique_ptr<TSoundCore> SoundCore;

namespace {
const char* const kChannelNames[] = {"All",    "Music",     "Ambience", "Radio", "Battle",
                                     "Dialog", "Interface", "Space",    "Unknow"};
}

int ChannelNameToNumber(const std::string& name) {
    static const char* const kUpper[] = {"ALL",    "MUSIC",  "AMBIENCE",  "RADIO",
                                         "BATTLE", "DIALOG", "INTERFACE", "SPACE"};
    const std::string up = platform::UpperCaseCp1251(name);
    for (int i = 0; i < 8; ++i)
        if (up == kUpper[i]) return i;
    return 8;
}

void ChannelNumberToName(int number, std::string& text) {
    if (number >= 0 && number <= 8) text = kChannelNames[number];
}

std::string ChannelName(int number) {
    return number >= 0 && number <= 8 ? kChannelNames[number] : "";
}

// ---- core ------------------------------------------------------------------------
TSoundCore::~TSoundCore() {
    Release();
}

void TSoundCore::Release() {
    listener_.reset();
    primary_.reset();
    device_.reset();
}

Result TSoundCore::Init(void* window) {
    Release();
    if (DirectSoundCreate8(&device_) != S_OK || !device_) {
        device_.reset();
        return -1;
    }
    Result r = device_->SetCooperativeLevel(window, DSSCL_PRIORITY);
    if (r == S_OK) {
        DSBUFFERDESC desc;
        desc.dwSize = 36;
        desc.dwFlags =
            DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME | DSBCAPS_MUTE3DATMAXDISTANCE;
        r = device_->CreateSoundBuffer(&desc, &primary_);
    }
    if (r == S_OK) {
        WAVEFORMATEX f;
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.nChannels = 2;
        f.nSamplesPerSec = 44100;
        f.wBitsPerSample = 16;
        f.nBlockAlign = 4;
        f.nAvgBytesPerSec = 176400;
        r = primary_->SetFormat(&f);
    }
    if (r == S_OK) r = primary_->GetListener(&listener_);
    if (r == S_OK) r = listener_->SetRolloffFactor(rolloff_, DS3D_DEFERRED);
    if (r == S_OK) r = listener_->SetDistanceFactor(distanceFactor_, DS3D_DEFERRED);
    if (r == S_OK) r = listener_->SetDopplerFactor(doppler_, DS3D_DEFERRED);
    if (r == S_OK) {
        params_.dwSize = sizeof(DS3DLISTENER);
        r = listener_->GetAllParameters(&params_);
    }
    if (r == S_OK) r = listener_->CommitDeferredSettings();
    if (r != S_OK) listener_.reset();
    return r;
}

void TSoundCore::SetListenerPosition(const Vec3& v) {
    position_ = v;
    if (listener_) listener_->SetPosition(v.x, v.y, v.z, DS3D_DEFERRED);
}

void TSoundCore::SetListenerVelocity(const Vec3& v) {
    velocity_ = v;
    if (listener_) listener_->SetVelocity(v.x, v.y, v.z, DS3D_DEFERRED);
}

void TSoundCore::SetListenerOrientation(const Vec3& front, const Vec3& top) {
    front_ = front;
    top_ = top;
    if (listener_) listener_->SetOrientation(front.x, front.y, front.z, top.x, top.y, top.z, DS3D_DEFERRED);
}

void TSoundCore::SetDistanceFactor(float f) {
    distanceFactor_ = f;
    if (listener_) listener_->SetDistanceFactor(f, DS3D_IMMEDIATE);
}

void TSoundCore::SetDoppler(float f) {
    doppler_ = f;
    if (listener_) listener_->SetDopplerFactor(f, DS3D_IMMEDIATE);
}

void TSoundCore::SetRolloff(float f) {
    rolloff_ = f;
    if (listener_) listener_->SetRolloffFactor(f, DS3D_IMMEDIATE);
}

void TSoundCore::CommitListener() {
    if (!listener_) return;
    // The record carries the listener's current values, not those of the start-up.
    params_.dwSize = sizeof(DS3DLISTENER);
    params_.vPosition = {position_.x, position_.y, position_.z};
    params_.vVelocity = {velocity_.x, velocity_.y, velocity_.z};
    params_.vOrientFront = {front_.x, front_.y, front_.z};
    params_.vOrientTop = {top_.x, top_.y, top_.z};
    params_.flDistanceFactor = distanceFactor_;
    params_.flRolloffFactor = rolloff_;
    params_.flDopplerFactor = doppler_;
    listener_->SetAllParameters(&params_, DS3D_DEFERRED);
    listener_->CommitDeferredSettings();
}

int TSoundCore::VolumeToPercent(int32_t volume) {
    volume = std::clamp<int32_t>(volume, DSBVOLUME_MIN, DSBVOLUME_MAX);
    return static_cast<int>(std::lround(std::pow(volume / 10000.0 + 1.0, 4.0) * 100.0));
}

int32_t TSoundCore::PercentToVolume(int percent) {
    percent = std::clamp(percent, 0, 100);
    return static_cast<int32_t>(std::lround((std::pow(percent / 100.0, 0.25) - 1.0) * 10000.0));
}

int TSoundCore::GetGeneralVolume() {
    if (!listener_ || !primary_) return 0;
    int32_t v = 0;
    if (primary_->GetVolume(&v) != S_OK) return 0;
    return VolumeToPercent(v);
}

void TSoundCore::SetGeneralVolume(int percent) {
    if (!listener_ || !primary_) return;
    primary_->SetVolume(PercentToVolume(percent));
}

// ---- worker thread -----------------------------------------------------------------
TSoundThread::TSoundThread(std::function<void()> pass, unsigned intervalMs)
    : pass_(std::move(pass)), interval_(intervalMs) {}

TSoundThread::~TSoundThread() {
    Terminate();
    // A fatal report on the worker itself may end up here: it cannot wait for itself.
    if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        WaitFor();
}

void TSoundThread::Start() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] {
        while (!terminated_) {
            if (pass_) pass_();
            // Sleep the interval in short steps so that a stop does not wait for it.
            for (unsigned slept = 0; slept < interval_ && !terminated_; slept += 5)
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(5u, interval_ - slept)));
        }
    });
}

void TSoundThread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

} // namespace vesk
