#include "sound/sound_buffers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "shared/errors.h"
#include "shared/helpers.h"
#include "sound/sound_core.h"

namespace vesk {

using namespace platform;

// ---- the base ------------------------------------------------------------------------
void TCustomSoundBuffer::FillDescription() {
    desc_ = DSBUFFERDESC{};
    desc_.dwSize = 36;
    desc_.dwFlags = creationFlags_;
    desc_.dwBufferBytes = bufferSize_;
    desc_.lpwfxFormat = &format_;
}

Result TCustomSoundBuffer::StopBuffer() {
    return buffer_ ? buffer_->Stop() : -1;
}

Result TCustomSoundBuffer::CreateBuffer() {
    buffer_.reset();
    FillDescription();
    if (!SoundCore || !SoundCore->Device()) return DSERR_UNINITIALIZED;
    Result r = SoundCore->Device()->CreateSoundBuffer(&desc_, &buffer_);
    if (r == S_OK) r = QueryBuffer8();
    if (r != S_OK) buffer_.reset();
    return r;
}

Result TCustomSoundBuffer::Load(const std::string& fileName, bool loop) {
    fileName_ = fileName;
    if (loop)
        playFlags_ |= DSBPLAY_LOOPING;
    else
        playFlags_ &= ~DSBPLAY_LOOPING;
    return LoadSound();
}

Result TCustomSoundBuffer::PlayBuffer() {
    if (!buffer_) return -1;
    SetVolume(volume_);
    return buffer_->Play(0, 0, playFlags_);
}

Result TCustomSoundBuffer::Play() {
    paused_ = false;
    return PlayBuffer();
}

Result TCustomSoundBuffer::Stop() {
    paused_ = false;
    if (!buffer_) return -1;
    StopBuffer();
    return buffer_->SetCurrentPosition(0);
}

bool TCustomSoundBuffer::Pause() {
    paused_ = true;
    StopBuffer();
    return true;
}

int32_t TCustomSoundBuffer::BendVolume(int32_t volume) {
    // Quiet settings fall off faster than the decibel scale: v / (11 + v/1000).
    volume = std::clamp(volume, DSBVOLUME_MIN, DSBVOLUME_MAX);
    return static_cast<int32_t>(std::lround(volume / (11.0 - volume / -1000.0)));
}

void TCustomSoundBuffer::SetVolume(int32_t volume) {
    volume_ = volume;
    if (!buffer_) return;
    if (buffer_->SetVolume(BendVolume(volume)) != S_OK) volume_ = 0;
}

int32_t TCustomSoundBuffer::GetVolume() {
    int32_t v = 0;
    if (!buffer_ || buffer_->GetVolume(&v) != S_OK) return 0;
    return v;
}

bool TCustomSoundBuffer::IsPlaying() {
    if (!buffer_) return false;
    uint32_t status = 0;
    if (buffer_->GetStatus(&status) != S_OK) {
        ErrorReport("TCustomSoundBuffer.GetPlaying: fdsb8.GetStatus", "mhl");
        return false;
    }
    return (status & DSBSTATUS_PLAYING) != 0;
}

float TCustomSoundBuffer::GetPlayFraction() {
    if (IsLooping()) return 0.0f;
    if (bufferSize_ == 0) return 1.0f;
    uint32_t play = 0, write = 0;
    if (buffer_) buffer_->GetCurrentPosition(&play, &write);
    return static_cast<float>(play) / static_cast<float>(bufferSize_);
}

std::unique_ptr<TCustomSoundBuffer> TCustomSoundBuffer::Duplicate() {
    if (!buffer_ || !SoundCore || !SoundCore->Device()) return nullptr;
    auto copy = NewOfSameClass();
    if (SoundCore->Device()->DuplicateSoundBuffer(buffer_.get(), &copy->buffer_) != S_OK || !copy->buffer_)
        return nullptr;
    copy->fileName_ = fileName_;
    copy->bufferSize_ = bufferSize_;
    copy->playFlags_ = playFlags_;
    copy->format_ = format_;
    copy->QueryBuffer8();
    return copy;
}

void TCustomSoundBuffer::Report(const std::string& text) {
    if (sink_) sink_(text);
}

// ---- static buffers ---------------------------------------------------------------------
Result TFastSoundBuffer::LoadSound() {
    if (!SoundFileExists(fileName_)) return -1;
    reader_ = std::make_unique<TWaveFile3>();
    Result r = -1;
    if (reader_->Open(fileName_)) {
        format_ = reader_->GetFormat();
        bufferSize_ = reader_->GetDataSize();
        r = CreateBuffer();
        if (r == S_OK) {
            void* p1 = nullptr;
            void* p2 = nullptr;
            uint32_t b1 = 0, b2 = 0;
            r = buffer_->Lock(0, 0, &p1, &b1, &p2, &b2, DSBLOCK_ENTIREBUFFER);
            if (r == S_OK) {
                const uint32_t got = reader_->Read(p1, b1);
                // What the file could not give stays silent.
                if (got < b1)
                    std::memset(static_cast<uint8_t*>(p1) + got, reader_->GetSilenceValue(), b1 - got);
                buffer_->Unlock(p1, b1, nullptr, 0);
            }
        }
    }
    reader_->Close();
    reader_.reset();
    return r;
}

Result TFastSoundBuffer::PlayBuffer() {
    started = true;
    return TCustomSoundBuffer::PlayBuffer();
}

// ---- 3D buffers -------------------------------------------------------------------------
TCustom3DSoundBuffer::~TCustom3DSoundBuffer() {
    if (link_) {
        // The link may outlive the buffer until the destroy queue frees it.
        link_->Detach();
        link_->Release();
        link_ = nullptr;
    }
}

void TCustom3DSoundBuffer::SetPosition(const Vec3& v) {
    position_ = v;
    changed_ = true;
}

void TCustom3DSoundBuffer::SetVelocity(const Vec3& v) {
    velocity_ = v;
    changed_ = true;
}

void TCustom3DSoundBuffer::ApplyIfChanged() {
    if (!changed_) return;
    Apply3D();
    changed_ = false;
}

void TCustom3DSoundBuffer::SetDistances(int32_t minDistance, int32_t maxDistance, int32_t divisor) {
    divisor_ = std::max(divisor, 1);
    if (minDistance >= 0 && maxDistance > minDistance) {
        minDistance_ = minDistance;
        maxDistance_ = maxDistance;
    } else {
        minDistance_ = std::max(minDistance, 0);
        maxDistance_ = maxDistance > minDistance_ ? maxDistance : minDistance_ + 1000;
    }
    ApplyDistances();
}

void TCustom3DSoundBuffer::GetController(IEngineObject* object, ISoundController*& controller) {
    if (link_) {
        Report("TCustom3DSoundBuffer.GetController fault: link already exist. Index=" +
               IntToStr32(linkNumber) + ", filename=" + fileName_);
        controller = nullptr;
        return;
    }
    if (!object) return;
    link_ = TEngineObject::New<TDynamicLink>(this, object);
    controller = link_;
}

void TCustom3DSoundBuffer::ReleaseLink() {
    if (link_) {
        TDynamicLink* link = link_;
        link_ = nullptr;
        link->Detach();
        link->Release();
    }
    if (IsLooping()) Stop();
}

void TCustom3DSoundBuffer::LinkGone() {
    link_ = nullptr;
    if (IsLooping()) Stop();
}

TFast3DSoundBuffer::TFast3DSoundBuffer() {
    creationFlags_ |= DSBCAPS_CTRL3D | DSBCAPS_MUTE3DATMAXDISTANCE | DSBCAPS_LOCSOFTWARE | DSBCAPS_STATIC;
}

void TFast3DSoundBuffer::FillDescription() {
    TCustomSoundBuffer::FillDescription();
    desc_.guid3DAlgorithm = Sound3DAlgorithm::NoVirtualization;
}

Result TFast3DSoundBuffer::QueryBuffer8() {
    buffer3d_.reset();
    if (!buffer_) return -1;
    Result r = buffer_->Get3DBuffer(&buffer3d_);
    if (r == S_OK) buffer3d_->SetMode(DS3DMODE_NORMAL, DS3D_DEFERRED);
    return r;
}

void TFast3DSoundBuffer::Apply3D() {
    if (!buffer3d_) return;
    buffer3d_->SetPosition(position_.x, position_.y, position_.z, DS3D_DEFERRED);
    buffer3d_->SetVelocity(velocity_.x, velocity_.y, velocity_.z, DS3D_DEFERRED);
}

void TFast3DSoundBuffer::ApplyDistances() {
    if (!buffer3d_) return;
    buffer3d_->SetMinDistance(static_cast<float>(minDistance_), DS3D_DEFERRED);
    buffer3d_->SetMaxDistance(static_cast<float>(maxDistance_), DS3D_DEFERRED);
}

// ---- dynamic link ------------------------------------------------------------------------
TDynamicLink::TDynamicLink(TCustom3DSoundBuffer* buffer, IEngineObject* object)
    : buffer_(buffer), object_(object) {
    AddMutualSubscriber(object);
}

void TDynamicLink::SetPositionVelocity(const Vec3& position, const Vec3& velocity) {
    if (!buffer_) return;
    buffer_->SetPosition(position);
    buffer_->SetVelocity(velocity);
}

void TDynamicLink::Message(IEngineObject* sender, int msg, int param) {
    TEngineObject::Message(sender, msg, param);
    if (msg != EM_SENDER_IS_NO_LONGER_EXISTS || sender != object_) return;
    object_ = nullptr;
    if (buffer_)
        buffer_->ReleaseLink(); // releases this link
    else if (!InDestroyQueue())
        Release();
}

void TDynamicLink::Free() {
    if (object_) {
        RemoveMutualSubscriber(object_);
        object_ = nullptr;
    }
    if (buffer_) {
        TCustom3DSoundBuffer* b = buffer_;
        buffer_ = nullptr;
        b->LinkGone();
    }
    TEngineObject::Free();
}

// ---- streamed buffers -----------------------------------------------------------------------
void TStreamSoundBuffer::FillPart(void* part, uint32_t bytes) {
    const uint32_t got = reader_ ? reader_->Read(part, bytes) : 0;
    if (got < bytes)
        std::memset(static_cast<uint8_t*>(part) + got, reader_ ? reader_->GetSilenceValue() : 0, bytes - got);
}

Result TStreamSoundBuffer::LoadSound() {
    if (!SoundFileExists(fileName_)) return -1;
    if (reader_)
        reader_->Close();
    else
        reader_ = std::make_unique<TWaveFile3>();
    if (!reader_->Open(fileName_)) return -1;
    format_ = reader_->GetFormat();
    bufferSize_ = kSize;
    bool keep = false;
    if (buffer_) {
        WAVEFORMATEX old{};
        if (buffer_->GetFormat(&old) == S_OK)
            keep = old.wFormatTag == format_.wFormatTag && old.nChannels == format_.nChannels &&
                   old.nSamplesPerSec == format_.nSamplesPerSec &&
                   old.nAvgBytesPerSec == format_.nAvgBytesPerSec &&
                   old.wBitsPerSample == format_.wBitsPerSample;
    }
    if (keep) {
        buffer_->Stop();
    } else {
        const Result r = CreateBuffer();
        CheckDXResult(r, "TStreamSoundBuffer.LoadSound: " + fileName_, "");
        if (r != S_OK) return r;
    }
    void* p1 = nullptr;
    uint32_t b1 = 0;
    Result r = buffer_->Lock(0, kHalf, &p1, &b1, nullptr, nullptr, 0);
    if (r == S_OK) {
        FillPart(p1, b1);
        r = buffer_->Unlock(p1, b1, nullptr, 0);
    }
    storedHalf_ = 1;
    playFlags_ |= DSBPLAY_LOOPING;
    finished_ = false;
    endOfData_ = false;
    buffer_->SetCurrentPosition(0);
    return r;
}

Result TStreamSoundBuffer::Refill() {
    if (!buffer_ || !IsPlaying()) return S_OK;
    uint32_t play = 0, write = 0;
    Result r = buffer_->GetCurrentPosition(&play, &write);
    if (r != S_OK) {
        CheckDXResult(r, "Streamsound error: fdsb8.GetCurrentPosition()", "");
        return r;
    }
    const uint32_t current = play >= kHalf ? 1 : 0;
    if (current == storedHalf_) return S_OK;
    if (endOfData_) {
        finished_ = true;
        return S_OK;
    }
    const uint32_t offset = storedHalf_ * kHalf;
    void* p1 = nullptr;
    uint32_t b1 = 0;
    r = buffer_->Lock(offset, kHalf, &p1, &b1, nullptr, nullptr, 0);
    if (r != S_OK) {
        CheckDXResult(
            r, "Streamsound error: fdsb8.Lock(): " + DXErrorText(r) + ", offset: " + IntToStr32(offset), "");
        return r;
    }
    const uint32_t got = reader_ ? reader_->Read(p1, b1) : 0;
    if (!reader_ || reader_->IsEnd() || got < b1) {
        endOfData_ = got == 0;
        std::memset(static_cast<uint8_t*>(p1) + got, reader_ ? reader_->GetSilenceValue() : 0, b1 - got);
    }
    r = buffer_->Unlock(p1, b1, nullptr, 0);
    if (r != S_OK) {
        CheckDXResult(r, "Streamsound error: fdsb8.UnLock()", "");
        return r;
    }
    storedHalf_ = current;
    return S_OK;
}

} // namespace vesk
