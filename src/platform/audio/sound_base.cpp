#include "platform/audio/sound_base.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace vesk::platform {

namespace {
std::mutex g_factoryMutex;
DirectSoundFactory g_factory;
} // namespace

std::shared_ptr<IDirectSound8> CreateDefaultDirectSound(); // al_sound.cpp

void SetDirectSoundFactory(DirectSoundFactory factory) {
    std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
}

Result DirectSoundCreate8(std::shared_ptr<IDirectSound8>* out) {
    if (!out) return E_POINTER;
    DirectSoundFactory f;
    {
        std::lock_guard lock(g_factoryMutex);
        f = g_factory;
    }
    if (f) return f(out);
    *out = CreateDefaultDirectSound();
    return *out ? S_OK : DSERR_NODRIVER;
}

float VolumeToGain(int32_t volume) {
    if (volume <= DSBVOLUME_MIN) return 0.0f;
    if (volume >= DSBVOLUME_MAX) return 1.0f;
    return static_cast<float>(std::pow(10.0, volume / 2000.0));
}

Result CheckBufferDesc(const DSBUFFERDESC& desc) {
    if (desc.dwSize != 36) return DSERR_INVALIDPARAM;
    if (desc.dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (desc.dwBufferBytes != 0 || desc.lpwfxFormat) return DSERR_INVALIDPARAM;
        return S_OK;
    }
    if (!desc.lpwfxFormat) return DSERR_INVALIDPARAM;
    if (desc.dwBufferBytes < DSBSIZE_MIN || desc.dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    const WAVEFORMATEX& f = *desc.lpwfxFormat;
    if (f.wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    if (f.nChannels < 1 || f.nChannels > 2) return DSERR_BADFORMAT;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return DSERR_BADFORMAT;
    if (f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX) return DSERR_BADFORMAT;
    if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return DSERR_BADFORMAT;
    if ((desc.dwFlags & DSBCAPS_CTRL3D) && (desc.dwFlags & DSBCAPS_CTRLPAN)) return DSERR_INVALIDPARAM;
    return S_OK;
}

bool SplitRingRegion(uint32_t size, uint32_t offset, uint32_t bytes, uint32_t flags, uint32_t writeCursor,
                     uint32_t& off1, uint32_t& len1, uint32_t& len2) {
    if (flags & DSBLOCK_FROMWRITECURSOR) offset = writeCursor;
    if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
    if (size == 0 || offset >= size || bytes == 0 || bytes > size) return false;
    off1 = offset;
    len1 = std::min(bytes, size - offset);
    len2 = bytes - len1;
    return true;
}

// ---- secondary buffers ---------------------------------------------------------------
SoundBufferBase::SoundBufferBase(SoundDeviceBase& device, const DSBUFFERDESC& desc)
    : device_(device), keepDevice_(device.shared_from_this()),
      ring_(std::make_shared<std::vector<uint8_t>>(desc.dwBufferBytes)), format_(*desc.lpwfxFormat),
      flags_(desc.dwFlags), algorithm_(desc.guid3DAlgorithm) {
    format_.cbSize = 0;
    // Fresh memory holds silence.
    std::fill(ring_->begin(), ring_->end(), format_.wBitsPerSample == 8 ? 0x80 : 0);
}

SoundBufferBase::SoundBufferBase(SoundDeviceBase& device, const SoundBufferBase& original)
    : device_(device), keepDevice_(device.shared_from_this()), ring_(original.ring_),
      format_(original.format_), flags_(original.flags_), algorithm_(original.algorithm_),
      volume_(original.volume_), pan_(original.pan_), frequency_(original.frequency_),
      pending3d_(original.pending3d_), applied3d_(original.applied3d_) {}

std::recursive_mutex& SoundBufferBase::Mutex() {
    return device_.Mutex();
}

Result SoundBufferBase::GetFormat(WAVEFORMATEX* out) {
    if (!out) return E_POINTER;
    *out = format_;
    return S_OK;
}

Result SoundBufferBase::SetFormat(const WAVEFORMATEX*) {
    return DSERR_INVALIDCALL;
}

Result SoundBufferBase::GetVolume(int32_t* volume) {
    if (!volume) return E_POINTER;
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(Mutex());
    *volume = volume_;
    return S_OK;
}

Result SoundBufferBase::SetVolume(int32_t volume) {
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard lock(Mutex());
    volume_ = volume;
    OnVolumeChanged();
    return S_OK;
}

Result SoundBufferBase::GetPan(int32_t* pan) {
    if (!pan) return E_POINTER;
    if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(Mutex());
    *pan = pan_;
    return S_OK;
}

Result SoundBufferBase::SetPan(int32_t pan) {
    if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    std::lock_guard lock(Mutex());
    pan_ = pan;
    OnVolumeChanged();
    return S_OK;
}

Result SoundBufferBase::GetFrequency(uint32_t* frequency) {
    if (!frequency) return E_POINTER;
    if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(Mutex());
    *frequency = frequency_ == 0 ? format_.nSamplesPerSec : frequency_;
    return S_OK;
}

Result SoundBufferBase::SetFrequency(uint32_t frequency) {
    if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    if (frequency != 0 && (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
        return DSERR_INVALIDPARAM;
    std::lock_guard lock(Mutex());
    frequency_ = frequency;
    OnVolumeChanged();
    return S_OK;
}

Result SoundBufferBase::Lock(uint32_t offset, uint32_t bytes, void** p1, uint32_t* b1, void** p2,
                             uint32_t* b2, uint32_t flags) {
    if (!p1 || !b1) return DSERR_INVALIDPARAM;
    std::lock_guard lock(Mutex());
    uint32_t off1 = 0, len1 = 0, len2 = 0;
    if (!SplitRingRegion(Size(), offset, bytes, flags, WriteCursor(), off1, len1, len2))
        return DSERR_INVALIDPARAM;
    if (len2 > 0 && (!p2 || !b2)) return DSERR_INVALIDPARAM;
    *p1 = ring_->data() + off1;
    *b1 = len1;
    if (p2) *p2 = len2 > 0 ? ring_->data() : nullptr;
    if (b2) *b2 = len2;
    locked_ = true;
    return S_OK;
}

Result SoundBufferBase::Unlock(void* p1, uint32_t b1, void* p2, uint32_t b2) {
    std::lock_guard lock(Mutex());
    const uint8_t* begin = ring_->data();
    const uint8_t* end = begin + ring_->size();
    auto inside = [&](void* p, uint32_t n) {
        if (!p) return n == 0;
        auto* q = static_cast<uint8_t*>(p);
        return q >= begin && q <= end && n <= static_cast<size_t>(end - q);
    };
    if (!locked_ || !inside(p1, b1) || !inside(p2, b2)) return DSERR_INVALIDPARAM;
    locked_ = false;
    return S_OK;
}

Result SoundBufferBase::Get3DBuffer(std::shared_ptr<IDirectSound3DBuffer>* out) {
    if (!out) return E_POINTER;
    if (!(flags_ & DSBCAPS_CTRL3D)) return E_NOINTERFACE;
    *out =
        std::shared_ptr<IDirectSound3DBuffer>(shared_from_this(), static_cast<IDirectSound3DBuffer*>(this));
    return S_OK;
}

Result SoundBufferBase::GetListener(std::shared_ptr<IDirectSound3DListener>* out) {
    if (out) out->reset();
    return E_NOINTERFACE;
}

Result SoundBufferBase::Set3D(uint32_t apply, const std::function<void(DS3DBUFFER&)>& change) {
    if (!(flags_ & DSBCAPS_CTRL3D)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(Mutex());
    change(pending3d_);
    if (apply == DS3D_IMMEDIATE) {
        // Only this setting: other deferred ones still wait for the commit.
        change(applied3d_);
        On3DApplied();
    } else {
        dirty3d_ = true;
    }
    return S_OK;
}

Result SoundBufferBase::SetPosition(float x, float y, float z, uint32_t apply) {
    return Set3D(apply, [&](DS3DBUFFER& b) { b.vPosition = {x, y, z}; });
}
Result SoundBufferBase::SetVelocity(float x, float y, float z, uint32_t apply) {
    return Set3D(apply, [&](DS3DBUFFER& b) { b.vVelocity = {x, y, z}; });
}
Result SoundBufferBase::SetMinDistance(float d, uint32_t apply) {
    if (!(d > 0.0f)) return DSERR_INVALIDPARAM;
    return Set3D(apply, [&](DS3DBUFFER& b) { b.flMinDistance = d; });
}
Result SoundBufferBase::SetMaxDistance(float d, uint32_t apply) {
    if (!(d > 0.0f)) return DSERR_INVALIDPARAM;
    return Set3D(apply, [&](DS3DBUFFER& b) { b.flMaxDistance = d; });
}
Result SoundBufferBase::SetMode(uint32_t mode, uint32_t apply) {
    if (mode > DS3DMODE_DISABLE) return DSERR_INVALIDPARAM;
    return Set3D(apply, [&](DS3DBUFFER& b) { b.dwMode = mode; });
}
Result SoundBufferBase::GetAllParameters(DS3DBUFFER* out) {
    if (!out) return E_POINTER;
    if (!(flags_ & DSBCAPS_CTRL3D)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(Mutex());
    *out = pending3d_;
    return S_OK;
}

void SoundBufferBase::CommitDeferred() {
    if (!dirty3d_) return;
    applied3d_ = pending3d_;
    dirty3d_ = false;
    On3DApplied();
}

// ---- listener ---------------------------------------------------------------------
Result SoundListenerBase::Change(uint32_t apply, const std::function<void(DS3DLISTENER&)>& change) {
    std::lock_guard lock(device_.Mutex());
    change(pending_);
    if (apply == DS3D_IMMEDIATE) {
        change(applied_);
        device_.OnListenerApplied();
    }
    return S_OK;
}

Result SoundListenerBase::SetPosition(float x, float y, float z, uint32_t apply) {
    return Change(apply, [&](DS3DLISTENER& l) { l.vPosition = {x, y, z}; });
}
Result SoundListenerBase::SetVelocity(float x, float y, float z, uint32_t apply) {
    return Change(apply, [&](DS3DLISTENER& l) { l.vVelocity = {x, y, z}; });
}
Result SoundListenerBase::SetOrientation(float fx, float fy, float fz, float tx, float ty, float tz,
                                         uint32_t apply) {
    return Change(apply, [&](DS3DLISTENER& l) {
        l.vOrientFront = {fx, fy, fz};
        l.vOrientTop = {tx, ty, tz};
    });
}
Result SoundListenerBase::SetDistanceFactor(float f, uint32_t apply) {
    if (!(f > 0.0f)) return DSERR_INVALIDPARAM;
    return Change(apply, [&](DS3DLISTENER& l) { l.flDistanceFactor = f; });
}
Result SoundListenerBase::SetRolloffFactor(float f, uint32_t apply) {
    if (!(f >= 0.0f && f <= 10.0f)) return DSERR_INVALIDPARAM;
    return Change(apply, [&](DS3DLISTENER& l) { l.flRolloffFactor = f; });
}
Result SoundListenerBase::SetDopplerFactor(float f, uint32_t apply) {
    if (!(f >= 0.0f && f <= 10.0f)) return DSERR_INVALIDPARAM;
    return Change(apply, [&](DS3DLISTENER& l) { l.flDopplerFactor = f; });
}
Result SoundListenerBase::GetAllParameters(DS3DLISTENER* out) {
    if (!out) return E_POINTER;
    std::lock_guard lock(device_.Mutex());
    *out = pending_;
    out->dwSize = sizeof(DS3DLISTENER);
    return S_OK;
}
Result SoundListenerBase::SetAllParameters(const DS3DLISTENER* in, uint32_t apply) {
    if (!in) return E_POINTER;
    if (!(in->flDistanceFactor > 0.0f) || !(in->flRolloffFactor >= 0.0f && in->flRolloffFactor <= 10.0f) ||
        !(in->flDopplerFactor >= 0.0f && in->flDopplerFactor <= 10.0f))
        return DSERR_INVALIDPARAM;
    return Change(apply, [&](DS3DLISTENER& l) { l = *in; });
}
Result SoundListenerBase::CommitDeferredSettings() {
    std::lock_guard lock(device_.Mutex());
    device_.CommitAll();
    return S_OK;
}

// ---- primary buffer ------------------------------------------------------------------
Result PrimaryBufferBase::GetFormat(WAVEFORMATEX* out) {
    if (!out) return E_POINTER;
    std::lock_guard lock(device_->Mutex());
    *out = device_->primaryFormat;
    return S_OK;
}
Result PrimaryBufferBase::SetFormat(const WAVEFORMATEX* format) {
    if (!format) return E_POINTER;
    std::lock_guard lock(device_->Mutex());
    if (device_->CooperativeLevel() < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
    const WAVEFORMATEX& f = *format;
    if (f.wFormatTag != WAVE_FORMAT_PCM || f.nChannels < 1 || f.nChannels > 2 ||
        (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) || f.nSamplesPerSec < DSBFREQUENCY_MIN ||
        f.nSamplesPerSec > DSBFREQUENCY_MAX || f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8)
        return DSERR_BADFORMAT;
    device_->primaryFormat = f;
    device_->primaryFormat.cbSize = 0;
    return S_OK;
}
Result PrimaryBufferBase::GetStatus(uint32_t* status) {
    if (!status) return E_POINTER;
    *status = DSBSTATUS_PLAYING | DSBSTATUS_LOOPING;
    return S_OK;
}
Result PrimaryBufferBase::GetCurrentPosition(uint32_t* play, uint32_t* write) {
    if (play) *play = 0;
    if (write) *write = 0;
    return S_OK;
}
Result PrimaryBufferBase::GetVolume(int32_t* volume) {
    if (!volume) return E_POINTER;
    std::lock_guard lock(device_->Mutex());
    *volume = device_->masterVolume;
    return S_OK;
}
Result PrimaryBufferBase::SetVolume(int32_t volume) {
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard lock(device_->Mutex());
    device_->masterVolume = volume;
    device_->OnMasterVolume();
    return S_OK;
}
Result PrimaryBufferBase::GetPan(int32_t* pan) {
    if (!pan) return E_POINTER;
    *pan = 0;
    return S_OK;
}
Result PrimaryBufferBase::GetFrequency(uint32_t* frequency) {
    if (!frequency) return E_POINTER;
    std::lock_guard lock(device_->Mutex());
    *frequency = device_->primaryFormat.nSamplesPerSec;
    return S_OK;
}
Result PrimaryBufferBase::Play(uint32_t, uint32_t, uint32_t flags) {
    return (flags & DSBPLAY_LOOPING) ? S_OK : DSERR_INVALIDPARAM;
}
Result PrimaryBufferBase::Get3DBuffer(std::shared_ptr<IDirectSound3DBuffer>* out) {
    if (out) out->reset();
    return E_NOINTERFACE;
}
Result PrimaryBufferBase::GetListener(std::shared_ptr<IDirectSound3DListener>* out) {
    if (!out) return E_POINTER;
    *out = std::shared_ptr<IDirectSound3DListener>(device_, &device_->Listener());
    return S_OK;
}

// ---- device -----------------------------------------------------------------------
SoundDeviceBase::SoundDeviceBase() : listener_(std::make_unique<SoundListenerBase>(*this)) {}

Result SoundDeviceBase::SetCooperativeLevel(void*, uint32_t level) {
    if (level != DSSCL_NORMAL && level != DSSCL_PRIORITY && level != 3 && level != 4)
        return DSERR_INVALIDPARAM;
    std::lock_guard lock(mutex_);
    level_ = level;
    return S_OK;
}

Result SoundDeviceBase::CreateSoundBuffer(const DSBUFFERDESC* desc,
                                          std::shared_ptr<IDirectSoundBuffer>* out) {
    if (!desc || !out) return DSERR_INVALIDPARAM;
    out->reset();
    std::lock_guard lock(mutex_);
    if (level_ == 0) return DSERR_PRIOLEVELNEEDED;
    Result r = CheckBufferDesc(*desc);
    if (r != S_OK) return r;
    r = CheckCreate(*desc);
    if (r != S_OK) return r;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        *out = MakePrimary(*desc);
        return *out ? S_OK : DSERR_OUTOFMEMORY;
    }
    auto buffer = MakeBuffer(*desc);
    if (!buffer) return DSERR_OUTOFMEMORY;
    buffers_.push_back(buffer);
    *out = buffer;
    return S_OK;
}

Result SoundDeviceBase::DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                             std::shared_ptr<IDirectSoundBuffer>* out) {
    if (!original || !out) return DSERR_INVALIDPARAM;
    out->reset();
    std::lock_guard lock(mutex_);
    auto* base = dynamic_cast<SoundBufferBase*>(original);
    if (!base || base->Device() != this) return DSERR_INVALIDPARAM;
    auto copy = MakeDuplicate(*base);
    if (!copy) return DSERR_OUTOFMEMORY;
    buffers_.push_back(copy);
    *out = copy;
    return S_OK;
}

Result SoundDeviceBase::GetCaps(DSCAPS* caps) {
    if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = 0x1 | 0x2 | 0x4 | 0x10 | 0x20 | 0x40 | 0x100 | 0x200 | 0x400 | 0x800;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    return S_OK;
}

void SoundDeviceBase::CommitAll() {
    listener_->applied_ = listener_->pending_;
    OnListenerApplied();
    for (auto& b : LiveBuffers()) b->CommitDeferred();
}

std::vector<std::shared_ptr<SoundBufferBase>> SoundDeviceBase::LiveBuffers() {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<SoundBufferBase>> live;
    std::erase_if(buffers_, [](const std::weak_ptr<SoundBufferBase>& w) { return w.expired(); });
    for (auto& w : buffers_)
        if (auto b = w.lock()) live.push_back(std::move(b));
    return live;
}

} // namespace vesk::platform
