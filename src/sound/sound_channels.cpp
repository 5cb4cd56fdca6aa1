#include "sound/sound_channels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/system.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "sound/sound_core.h"

namespace vesk {

using namespace platform;

// ---- channel base ------------------------------------------------------------------------
void TCustomSoundChannel::Report(const std::string& text) {
    if (sink_) sink_(text);
}

void TCustomSoundChannel::SetVolume(float v) {
    if (!(v >= 0.0f && v <= 1.0f)) {
        Report("TCustomSoundChannel.SetVolume fault. Invalid value = " + FloatToStrFixed2(v));
        return;
    }
    if (muted_)
        savedVolume_ = v;
    else
        volume_ = v;
    ApplyVolume();
}

void TCustomSoundChannel::Mute(bool on) {
    if (on) {
        if (muted_ && !unmuting_) return;
        unmuting_ = false;
        muteTimer_ = muteTime_;
        if (!muted_) savedVolume_ = volume_;
        muted_ = true;
    } else {
        // Only a muted channel fades back; unmuting a channel that is not muted
        // would pull its volume down and up to the last saved value.
        if (!muted_ || unmuting_) return;
        unmuting_ = true;
        muteTimer_ = muteTime_;
    }
    if (muteTime_ <= 0) {
        // No fade time: the change is at once.
        muteTimer_ = 0;
        if (unmuting_) muted_ = false;
        volume_ = unmuting_ ? savedVolume_ : 0.0f;
        ApplyVolume();
    }
}

void TCustomSoundChannel::Update(int ms) {
    if (muteTimer_ == 0) return;
    muteTimer_ -= ms;
    if (muteTimer_ <= 0) {
        muteTimer_ = 0;
        if (unmuting_) muted_ = false;
    }
    const float part = muteTime_ > 0 ? static_cast<float>(muteTimer_) / static_cast<float>(muteTime_) : 0.0f;
    const float factor = unmuting_ ? 1.0f - part : part;
    volume_ = savedVolume_ * factor;
    ApplyVolume();
}

// ---- streamed channel ------------------------------------------------------------------------
TStreamSoundChannel::TStreamSoundChannel(std::string name) : name_(std::move(name)) {}

uint32_t TStreamSoundChannel::NowMs() {
    const int64_t freq = PerfFrequency();
    if (freq <= 0) return 0;
    return static_cast<uint32_t>(PerfCounter() * 1000 / freq);
}

StreamState TStreamSoundChannel::State() {
    std::lock_guard lock(lock_);
    return state_;
}

void TStreamSoundChannel::SetLoop(bool loop) {
    std::lock_guard lock(lock_);
    loop_ = loop;
}

bool TStreamSoundChannel::GetLoop() {
    std::lock_guard lock(lock_);
    return loop_;
}

float TStreamSoundChannel::FadeLevel() {
    std::lock_guard lock(lock_);
    return level_;
}

int TStreamSoundChannel::ThemeCount() {
    std::lock_guard lock(lock_);
    return static_cast<int>(themes_.size());
}

void TStreamSoundChannel::ApplyVolume() {
    std::lock_guard lock(lock_);
    const float level = volume_ * level_;
    buffer_.SetVolume(static_cast<int32_t>(std::lround((1.0f - level) * -10000.0f)));
}

void TStreamSoundChannel::AddTheme(const std::string& file, int fadeIn, int fadeOut,
                                   const std::string& callback) {
    std::lock_guard lock(lock_);
    themes_.push_back({file, fadeIn, fadeOut, callback});
    if (themes_.size() == 1) current_ = 0;
}

void TStreamSoundChannel::StartCurrent() {
    if (current_ < 0 || current_ >= static_cast<int32_t>(themes_.size())) return;
    const TSoundTheme& t = themes_[current_];
    fadeIn_ = t.fadeIn;
    fadeOut_ = t.fadeOut;
    callback_ = t.callback;
    fadeDuration_ = fadeIn_;
    lastTick_ = NowMs();
    direction_ = 1;
    ApplyVolume();
    buffer_.Load(t.fileName, true);
    buffer_.Play();
    state_ = StreamState::Playing;
}

void TStreamSoundChannel::BeginStop() {
    if (direction_ != 0) buffer_.StopBuffer();
    fadeDuration_ = fadeOut_;
    lastTick_ = NowMs();
    direction_ = -1;
    ApplyVolume();
    state_ = StreamState::Stopping;
}

void TStreamSoundChannel::RunAfterStop() {
    if (afterStop_ == 2) {
        StartCurrent();
    } else {
        buffer_.StopBuffer();
        state_ = StreamState::Waiting;
    }
}

void TStreamSoundChannel::Play(const std::string& file, int fadeIn, int fadeOut,
                               const std::string& callback) {
    std::lock_guard lock(lock_);
    themes_.clear();
    current_ = -1;
    AddTheme(file, fadeIn, fadeOut, callback);
    switch (state_) {
    case StreamState::Waiting:
        StartCurrent();
        break;
    case StreamState::Playing:
        afterStop_ = 2;
        BeginStop();
        break;
    default:
        StartCurrent();
        break;
    }
}

void TStreamSoundChannel::Start() {
    std::lock_guard lock(lock_);
    if (state_ != StreamState::Playing && current_ >= 0) StartCurrent();
}

void TStreamSoundChannel::Stop() {
    std::lock_guard lock(lock_);
    if (state_ != StreamState::Playing) return;
    afterStop_ = 0;
    BeginStop();
}

void TStreamSoundChannel::Clear() {
    std::lock_guard lock(lock_);
    themes_.clear();
    current_ = -1;
    if (state_ != StreamState::Playing) return;
    afterStop_ = 1;
    BeginStop();
}

std::string TStreamSoundChannel::GetCurrentFile() {
    std::lock_guard lock(lock_);
    if (current_ < 0 || current_ >= static_cast<int32_t>(themes_.size())) return {};
    return themes_[current_].fileName;
}

void TStreamSoundChannel::StreamPass() {
    std::lock_guard lock(lock_);
    if (state_ != StreamState::Playing) return;
    const Result r = buffer_.Refill();
    if (r != 0)
        ErrorReport("TStreamSoundChannel.Update fault. Name=" + name_ + ", File=" + GetCurrentFile() +
                        ", ErrCode=" + IntToStr32(r),
                    "mhl");
}

bool TStreamSoundChannel::Advance() {
    if (current_ < 0 || themes_.empty()) return false;
    ++current_;
    if (current_ < static_cast<int32_t>(themes_.size())) return true;
    current_ = 0;
    return loop_;
}

void TStreamSoundChannel::Update(int ms) {
    std::lock_guard lock(lock_);
    TCustomSoundChannel::Update(ms);
    if (direction_ != 0) {
        const uint32_t now = NowMs();
        if (fadeDuration_ > 0)
            level_ += static_cast<float>(static_cast<int32_t>(now - lastTick_)) / fadeDuration_ * direction_;
        else
            level_ = direction_ > 0 ? 1.0f : 0.0f; // no fade time: at once
        lastTick_ = now;
        if (level_ <= 0.0f) {
            level_ = 0.0f;
            direction_ = 0;
            RunAfterStop();
        } else if (level_ >= 1.0f) {
            level_ = 1.0f;
            direction_ = 0;
        }
        ApplyVolume();
    } else if (state_ == StreamState::Stopping) {
        RunAfterStop();
    }
    if (state_ == StreamState::Playing && buffer_.IsFinished()) {
        if (runner_ && !callback_.empty()) runner_(callback_);
        if (Advance()) {
            StartCurrent();
        } else {
            state_ = StreamState::Waiting;
            buffer_.StopBuffer();
        }
    }
}

std::string TStreamSoundChannel::GetStatusLine() {
    std::lock_guard lock(lock_);
    static const char* const kStates[] = {" Waiting", " Playing", " Stopping", " NotExist"};
    return name_ + kStates[static_cast<int>(state_)] + ", Vol=" + FloatToStrRaw(volume_).substr(0, 7) +
           ", File=" + GetCurrentFile() + ", FIT=" + IntToStr32(fadeIn_) + ", FOT=" + IntToStr32(fadeOut_);
}

// ---- interface channel ----------------------------------------------------------------------
TSoundChannel::TSoundChannel() {
    buffers_.reserve(50);
}
TSoundChannel::~TSoundChannel() = default;

int32_t TSoundChannel::ChannelBufferVolume() const {
    return static_cast<int32_t>(std::lround((1.0f - volume_) * -10000.0f));
}

int64_t TSoundChannel::GetMemoryUsed() {
    int64_t sum = 0;
    for (auto& b : buffers_) sum += b->BufferSize();
    return sum;
}

void TSoundChannel::ApplyVolume() {
    for (auto& b : buffers_) b->SetVolume(ChannelBufferVolume());
}

int TSoundChannel::GetPlayingCount() {
    int n = 0;
    for (auto& b : buffers_)
        if (b->IsPlaying()) ++n;
    return n;
}

int TSoundChannel::AddSound(const std::string& file, bool loop) {
    const int found = FindSound(file);
    if (found >= 0) return found;
    auto buffer = NewBuffer();
    buffer->SetMessageSink([this](const std::string& t) { Report(t); });
    lastLoad_ = buffer->Load(file, loop);
    if (lastLoad_ != 0) return -1;
    const int index = static_cast<int>(buffers_.size());
    buffer->index = index;
    buffers_.push_back(std::move(buffer));
    return index;
}

int TSoundChannel::AddBuffer(std::unique_ptr<TFastSoundBuffer> buffer) {
    buffer->SetVolume(ChannelBufferVolume());
    buffers_.push_back(std::move(buffer));
    return static_cast<int>(buffers_.size()) - 1;
}

int TSoundChannel::PlaySound(int id) {
    if (id < 0 || id >= static_cast<int>(buffers_.size())) return -1;
    return PlayIndex(id);
}

int TSoundChannel::PlayIndex(int index) {
    TFastSoundBuffer* b = Buffer(index);
    if (!b) return -1;
    b->SetVolume(ChannelBufferVolume());
    b->Play();
    return 0;
}

int TSoundChannel::StopAll() {
    for (auto& b : buffers_) b->Stop();
    return 0;
}

void TSoundChannel::ClearSounds() {
    StopAll();
    buffers_.clear();
}

void TSoundChannel::EnumSounds(std::vector<std::string>& list) {
    for (auto& b : buffers_) list.push_back(b->FileName());
}

int TSoundChannel::FindSound(const std::string& file) {
    for (size_t i = 0; i < buffers_.size(); ++i)
        if (buffers_[i]->FileName() == file) return static_cast<int>(i);
    return -1;
}

void TSoundChannel::ReleaseFinished() {
    for (auto& b : buffers_) {
        if (b->started && !b->IsPlaying() && !b->IsPaused()) {
            b->ReleaseLink();
            b->started = false;
        }
    }
}

// ---- multisound channel ----------------------------------------------------------------------
int TMultisoundChannel::PlayIndex(int index) {
    TFastSoundBuffer* b = Buffer(index);
    if (!b) return -1;
    TFastSoundBuffer* last = b;
    for (TFastSoundBuffer* c = b; c; c = c->nextClone) {
        if (!c->started) {
            TSoundChannel::PlayIndex(c->index);
            return c->index;
        }
        last = c;
    }
    std::unique_ptr<TCustomSoundBuffer> copy = last->Duplicate();
    auto* fast = dynamic_cast<TFastSoundBuffer*>(copy.get());
    if (!fast) return -1;
    copy.release();
    std::unique_ptr<TFastSoundBuffer> owned(fast);
    owned->clone = true;
    owned->SetMessageSink([this](const std::string& t) { Report(t); });
    TFastSoundBuffer* raw = owned.get();
    const int newIndex = AddBuffer(std::move(owned));
    raw->index = newIndex;
    last->nextClone = raw;
    TSoundChannel::PlayIndex(newIndex);
    return newIndex;
}

// ---- space channel -------------------------------------------------------------------------
TSpaceChannel::TSpaceChannel() {
    ranking_.reserve(201);
}

void TSpaceChannel::Update(int ms) {
    TCustomSoundChannel::Update(ms);
    ReleaseFinished();
    ranking_.clear();
    const Vec3 listener = SoundCore ? SoundCore->GetListenerPosition() : Vec3{};
    for (auto& b : buffers_) {
        auto* b3 = dynamic_cast<TCustom3DSoundBuffer*>(b.get());
        if (!b3 || !(b3->IsPlaying() || b3->IsPaused())) continue;
        const Vec3& p = b3->Position();
        const float dx = p.x - listener.x, dy = p.y - listener.y, dz = p.z - listener.z;
        const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
        RankEntry e{distance / static_cast<float>(b3->Divisor()) + b3->GetPlayFraction() * timeFactor_,
                    b3->FileName(), distance, b3->index, b3};
        auto at =
            std::find_if(ranking_.begin(), ranking_.end(), [&](const RankEntry& r) { return r.key > e.key; });
        ranking_.insert(at, std::move(e));
    }
    playCount_ = static_cast<int32_t>(ranking_.size());
    for (size_t r = 0; r < ranking_.size(); ++r) {
        TCustom3DSoundBuffer* b = ranking_[r].buffer;
        if (static_cast<int32_t>(r) > maxPlayCount_) {
            if (b->IsLooping()) {
                if (!b->IsPaused()) b->Pause();
            } else {
                // Fade by the step each pass and stop once it is nearly silent.
                b->SetVolume(b->StoredVolume() - smartStopStep_);
                if (b->StoredVolume() <= smartStopStep_ - 10000) b->Stop();
            }
        } else {
            b->ApplyIfChanged();
            if (b->IsPaused()) b->Play();
        }
    }
}

int TSpaceChannel::Play3DSound(int id, int minDistance, int maxDistance, int divisor, IEngineObject* object,
                               ISoundController*& controller) {
    const int index = PlaySound(id);
    if (index >= 0) {
        if (auto* b = dynamic_cast<TCustom3DSoundBuffer*>(Buffer(index))) {
            b->SetMessageSink([this](const std::string& t) { Report(t); });
            b->SetDistances(minDistance, maxDistance, divisor);
            const LocalDateTime now = Now();
            const double dayFraction =
                (now.hour * 3600.0 + now.minute * 60.0 + now.second + now.millisecond / 1000.0) / 86400.0;
            b->linkNumber = static_cast<int32_t>(std::lround(dayFraction * 1e8));
            b->SetVolume(ChannelBufferVolume());
            b->GetController(object, controller);
        }
    }
    if (SoundCore) SoundCore->CommitListener();
    return index;
}

std::string TSpaceChannel::GetStatusLine() const {
    return "Space: Playing, Vol=" + FloatToStrRaw(volume_).substr(0, 7);
}

void TSpaceChannel::EnumSounds(std::vector<std::string>& list) {
    for (size_t r = 0; r < ranking_.size(); ++r) {
        const RankEntry& e = ranking_[r];
        char line[64];
        std::snprintf(line, sizeof line, "%02d - %04d  %8.2f  %8.2f", static_cast<int>(r) % 100, e.index,
                      e.key, e.distance);
        list.push_back(line + e.fileName);
    }
}

} // namespace vesk
