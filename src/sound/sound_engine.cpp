#include "sound/sound_engine.h"

#include "core/lua_machine.h"
#include "platform/audio/null_sound.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/window.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "sound/sound_script.h"

namespace vesk {

using namespace platform;

std::shared_ptr<ISoundEngineInterface> SoundEngine;

namespace {
const char* const kStreamNames[] = {"Music", "Ambience", "Radio", "Battle", "Dialog"};
const char* TrueFalse(bool b) {
    return b ? "True" : "False";
}
bool IsStream(int channel) {
    return channel >= 1 && channel <= 5;
}
} // namespace

TSoundEngine::TSoundEngine(bool workerThread) : workerThread_(workerThread) {}

TSoundEngine::~TSoundEngine() {
    if (thread_) {
        thread_->Terminate();
        thread_->WaitFor();
    }
}

void TSoundEngine::Message(const std::string& text) {
    if (callback_) callback_(text);
    std::lock_guard lock(logLock_);
    log_.insert(log_.begin(), TimeOfDayText() + " " + text);
    if (log_.size() > kMaxLogLines) log_.pop_back();
}

std::vector<std::string> TSoundEngine::LogLines() {
    std::lock_guard lock(logLock_);
    return log_;
}

TStreamSoundChannel* TSoundEngine::StreamChannel(int channel) {
    return IsStream(channel) ? streams_[channel - 1].get() : nullptr;
}

TCustomSoundChannel* TSoundEngine::Channel(int channel) {
    if (IsStream(channel)) return streams_[channel - 1].get();
    if (channel == 6) return interface_.get();
    if (channel == 7) return space_.get();
    return nullptr;
}

std::vector<TCustomSoundChannel*> TSoundEngine::AllChannels() {
    std::vector<TCustomSoundChannel*> all;
    for (int c = 1; c <= 7; ++c)
        if (TCustomSoundChannel* ch = Channel(c)) all.push_back(ch);
    return all;
}

int TSoundEngine::Init(void* window) {
    if (!SoundCore) SoundCore = std::make_unique<TSoundCore>();
    const Result r = SoundCore->Init(window);
    enabled_ = r != -1;

    auto sink = [this](const std::string& t) { Message(t); };
    auto runner = [](const std::string& text) {
        if (LuaMachine) LuaMachine->RunString(text);
    };
    for (int i = 0; i < 5; ++i) {
        streams_[i] = std::make_unique<TStreamSoundChannel>(kStreamNames[i]);
        streams_[i]->SetMessageSink(sink);
        streams_[i]->SetCallbackRunner(runner);
    }
    interface_ = std::make_unique<TSoundChannel>();
    interface_->SetMessageSink(sink);
    space_ = std::make_unique<TSpaceChannel>();
    space_->SetMessageSink(sink);

    // When the clock moves with the frames, the streams are fed between the
    // frames every 50 ms of game time instead: a worker thread would feed them
    // at its own pace and a stream's end would fall on another frame each run.
    frameWorker_ = workerThread_ && platform::ClockFollowsFrames();
    frameWorkerMs_ = 0;
    if (workerThread_ && !frameWorker_) {
        thread_ = std::make_unique<TSoundThread>([this] { DeferredWorkerPass(); }, kWorkerIntervalMs);
        thread_->Start();
    }

    QueryCaps();
    SetMuteTime(0, 1000);
    SetVolume(7, 0.0f);
    Mute(7, true);
    Update(5000);
    folder_ = ExeFolder() + "\\";
    return r;
}

void TSoundEngine::WorkerPass() {
    ++threadTicks_;
    for (auto& s : streams_)
        if (s) s->StreamPass();
}

void TSoundEngine::DeferredWorkerPass() {
    if (workerStopped_) return;
    ScopedReportDeferral deferral([this](const std::string& text, const std::string& flags) {
        std::lock_guard lock(faultLock_);
        workerReports_.push_back({text, flags});
        if (flags.find('h') != std::string::npos) workerStopped_ = true;
    });
    try {
        WorkerPass();
    } catch (...) {
        ErrorReport("TSoundThread.Execute: AV", "mhl");
    }
}

void TSoundEngine::ReportWorkerFaults() {
    std::vector<DeferredReport> reports;
    {
        std::lock_guard lock(faultLock_);
        reports.swap(workerReports_);
    }
    for (const DeferredReport& r : reports) ErrorReport(r.text, r.flags);
}

void TSoundEngine::Done() {
    Stop(0);
    Clear(0);
    if (thread_) {
        thread_->Terminate();
        thread_->WaitFor();
        thread_.reset();
    }
    // The shut-down is already running: what the worker still had to say is logged only.
    {
        std::lock_guard lock(faultLock_);
        for (const DeferredReport& r : workerReports_) ErrorReport(r.text, "");
        workerReports_.clear();
    }
    for (auto& s : streams_) s.reset();
    interface_.reset();
    space_.reset();
    enabled_ = false;
}

void TSoundEngine::Start(int channel) {
    if (!enabled_) return;
    if (IsStream(channel)) {
        streams_[channel - 1]->Start();
    } else if (channel > 7) {
        Message("ERR SoundEngine.Start fault. Channel=" + ChannelName(channel));
    }
}

int TSoundEngine::Stop(int channel) {
    if (!enabled_) return -1;
    if (IsStream(channel)) {
        streams_[channel - 1]->Stop();
        return 0;
    }
    if (channel == 6) return interface_->StopAll();
    if (channel == 7) return space_->StopAll();
    if (channel == 0) {
        for (auto& s : streams_) s->Stop();
        return interface_->StopAll();
    }
    return channel;
}

int TSoundEngine::Add(int channel, const std::string& file, int fadeIn, int fadeOut,
                      const std::string& callback, bool loop) {
    if (!enabled_) return -1;
    const std::string path = folder_ + file;
    if (!SoundFileExists(path)) {
        Message("ERR SoundEngine.Add fault - file not found: " + file);
        return -1;
    }
    int result = -1;
    if (IsStream(channel)) {
        streams_[channel - 1]->AddTheme(path, fadeIn, fadeOut, callback);
        result = 0;
    } else if (channel == 6) {
        result = interface_->AddSound(path, false);
    } else if (channel == 7) {
        result = space_->AddSound(path, loop);
    }
    if (result == -1)
        Message("ERR SoundEngine.Add fault. Channel=" + ChannelName(channel) + ", FileName=" + file +
                ", FadeIn=" + IntToStr32(fadeIn) + ", FadeOut=" + IntToStr32(fadeOut) + ", CallBack=\"" +
                callback + "\", Loop=" + TrueFalse(loop) + ", " + DXErrorText(space_->LastLoadResult()));
    return result;
}

void TSoundEngine::Clear(int channel) {
    if (!enabled_) return;
    if (IsStream(channel)) {
        streams_[channel - 1]->Clear();
    } else if (channel == 6) {
        interface_->ClearSounds();
    } else if (channel == 7) {
        space_->ClearSounds();
    } else if (channel == 0) {
        for (auto& s : streams_) s->Clear();
        interface_->ClearSounds();
        space_->ClearSounds();
    } else {
        Message("MSG SoundEngine.Clear fault. Channel=" + ChannelName(channel));
    }
}

void TSoundEngine::SetVolume(int channel, float volume) {
    if (!enabled_) return;
    if (channel == 0) {
        for (auto* c : AllChannels()) c->SetVolume(volume);
    } else if (TCustomSoundChannel* c = Channel(channel)) {
        c->SetVolume(volume);
    }
}

float TSoundEngine::GetChannelVolume(int channel) {
    TCustomSoundChannel* c = enabled_ ? Channel(channel) : nullptr;
    return c ? c->GetVolume() : -1.0f;
}

int TSoundEngine::GetChannelState(int channel) {
    TStreamSoundChannel* s = enabled_ ? StreamChannel(channel) : nullptr;
    return s ? static_cast<int>(s->State()) : static_cast<int>(StreamState::NotExist);
}

void TSoundEngine::GetChannelFile(int channel, std::string& file) {
    TStreamSoundChannel* s = enabled_ ? StreamChannel(channel) : nullptr;
    file = s ? s->GetCurrentFile() : "--";
}

void TSoundEngine::SetLoop(int channel, bool loop) {
    if (!enabled_) return;
    if (TStreamSoundChannel* s = StreamChannel(channel))
        s->SetLoop(loop);
    else
        Message("ERR SoundEngine.SetLoop fault. Channel=" + ChannelName(channel) +
                ", loop=" + TrueFalse(loop));
}

bool TSoundEngine::GetLoop(int channel) {
    TStreamSoundChannel* s = enabled_ ? StreamChannel(channel) : nullptr;
    return s ? s->GetLoop() : false;
}

int TSoundEngine::Play(int channel, const std::string& file, int fadeIn, int fadeOut,
                       const std::string& callback) {
    if (!enabled_) return -1;
    const std::string path = folder_ + file;
    if (file.empty() || !SoundFileExists(path)) {
        Message("ERR SoundEngine.Play fault. File not found. Channel=" + ChannelName(channel) +
                ", Filename=" + file);
        return -1;
    }
    if (TStreamSoundChannel* s = StreamChannel(channel)) {
        s->Play(path, fadeIn, fadeOut, callback);
        return 0;
    }
    Message("ERR SoundEngine.Play fault. Channel=" + ChannelName(channel) + ", Filename=" + file);
    return -1;
}

int TSoundEngine::PlaySound(int channel, int id) {
    if (!enabled_) return -1;
    if (channel == 6) return interface_->PlaySound(id);
    Message("ERR SoundEngine.PlaySound fault. Channel=" + ChannelName(channel) + ", ID=" + IntToStr32(id));
    return -1;
}

int TSoundEngine::Mute(int channel, bool on) {
    if (!enabled_ || channel > 7 || channel < 0) return -1;
    if (channel == 0) {
        for (auto* c : AllChannels()) c->Mute(on);
    } else {
        Channel(channel)->Mute(on);
    }
    return 0;
}

void TSoundEngine::SetMuteTime(int channel, int ms) {
    if (!enabled_) return;
    if (channel == 0) {
        for (auto& s : streams_) s->SetMuteTime(ms);
        interface_->SetMuteTime(ms);
    } else if (TCustomSoundChannel* c = Channel(channel)) {
        c->SetMuteTime(ms);
    }
}

void TSoundEngine::Enum(int channel, std::vector<std::string>& list) {
    if (!enabled_) return;
    if (channel == 6)
        interface_->EnumSounds(list);
    else if (channel == 7)
        space_->EnumSounds(list);
    else
        Message("MSG SoundEngine.Enum fault. Channel= " + ChannelName(channel));
}

void TSoundEngine::SetMaxPlayCount(int channel, int count) {
    if (!enabled_) return;
    if (channel == 7)
        space_->SetMaxPlayCount(count);
    else
        Message("ERR SoundEngine.SetMaxPlayCount fault. Channel=" + ChannelName(channel) +
                ", MaxCount=" + IntToStr32(count) + ")");
}

void TSoundEngine::SetSmartStopStep(int, int step) {
    if (enabled_) space_->SetSmartStopStep(step);
}

int TSoundEngine::Play3DSound(int channel, int id, int minDistance, int maxDistance, int divisor,
                              IEngineObject* object, ISoundController*& controller) {
    controller = nullptr;
    if (!enabled_) return -1;
    int result = -1;
    if (channel == 7) result = space_->Play3DSound(id, minDistance, maxDistance, divisor, object, controller);
    if (result == -1)
        Message("ERR SoundEngine.Play3DSound fault. Channel=" + ChannelName(channel) +
                (channel == 7 ? ", SoundID=" : ", ID=") + IntToStr32(id) +
                ", MinDist=" + IntToStr32(minDistance) + ", MaxDist=" + IntToStr32(maxDistance));
    return result;
}

void TSoundEngine::SetListenerPosition(const Vec3& v) {
    if (SoundCore) SoundCore->SetListenerPosition(v);
}
void TSoundEngine::SetListenerOrientation(const Vec3& front, const Vec3& top) {
    if (SoundCore) SoundCore->SetListenerOrientation(front, top);
}
void TSoundEngine::SetListenerVelocity(const Vec3& v) {
    if (SoundCore) SoundCore->SetListenerVelocity(v);
}
void TSoundEngine::SetRolloff(float f) {
    if (SoundCore) SoundCore->SetRolloff(f);
}
void TSoundEngine::SetDistanceFactor(float f) {
    if (SoundCore) SoundCore->SetDistanceFactor(f);
}
void TSoundEngine::SetDoppler(float f) {
    if (SoundCore) SoundCore->SetDoppler(f);
}
void TSoundEngine::SetTimeFactor(int factor) {
    if (enabled_) space_->SetTimeFactor(factor);
}

void TSoundEngine::Update(int ms) {
    ReportWorkerFaults();
    if (!enabled_) return;
    if (frameWorker_) {
        frameWorkerMs_ += ms;
        if (frameWorkerMs_ >= kWorkerIntervalMs) {
            frameWorkerMs_ = 0;
            DeferredWorkerPass();
        }
    }
    for (auto* c : AllChannels()) c->Update(ms);
    accumulated_ += ms;
    if (accumulated_ > commitInterval_) {
        accumulated_ = 0;
        if (SoundCore) SoundCore->CommitListener();
    }
}

int TSoundEngine::GetPlayingCount(int channel) {
    if (!enabled_ || channel != 7) return -1;
    return space_->GetPlayingCount();
}

void TSoundEngine::SetFileFolder(const std::string& folder) {
    folder_ = folder;
    if (!FolderExists(folder))
        Message("ERR TSoundEngine.SetFileFolder fault: Directory not exists - \"" + folder + "\"");
}

int TSoundEngine::QueryCaps() {
    if (!enabled_ || !SoundCore || !SoundCore->Device()) return 0;
    DSCAPS caps;
    caps.dwSize = 96;
    SoundCore->Device()->GetCaps(&caps);
    return 0;
}

void TSoundEngine::GetStatus(std::string& text) {
    text = "Sound Engine Status: #R";
    if (!streams_[0]) return; // before Init or after Done
    for (int c : {2, 4, 5, 1, 3}) text += streams_[c - 1]->GetStatusLine() + "#R";
    text += space_->GetStatusLine() + "#R";
}

void TSoundEngine::GetPlayCountText(std::string& text) {
    if (space_) text = IntToStr32(space_->PlayCount());
}

void TSoundEngine::GetMessages(int count, std::string& text) {
    std::lock_guard lock(logLock_);
    text.clear();
    for (int i = 0; i < count && i < static_cast<int>(log_.size()); ++i) text += log_[i] + "#R";
}

// ---- the application's service --------------------------------------------------------------
void SoundService::CreateCore() {
    if (!SoundCore) SoundCore = std::make_unique<TSoundCore>();
}

void SoundService::Start(bool soundOn, IWindow& window) {
    // The message sink goes in first, so that the engine's start-up messages
    // and the silent engine's one message reach it.
    if (soundOn) {
        auto engine = std::make_shared<TSoundEngine>();
        SoundEngine = engine;
        engine->SetMessageCallback(messages_);
        engine->Init(window.NativeHandle());
    } else {
        SoundEngine = std::make_shared<TSoundGag>();
        SoundEngine->SetMessageCallback(messages_);
    }
}

void SoundService::Update(int ms) {
    if (SoundEngine) SoundEngine->Update(ms);
}

void SoundService::Done() {
    if (SoundEngine) SoundEngine->Done();
    SoundEngine.reset();
    SoundCore.reset();
}

void InstallSoundServices(CoreServices& services, bool headless, SoundMessageCallback messages) {
    if (headless) UseNullSound();
    InstallSoundScriptFunctions();
    services.sound = std::make_unique<SoundService>(std::move(messages));
}

} // namespace vesk
