#include "platform/audio/null_sound.h"

#include <cstdio>
#include <mutex>

namespace vesk::platform {

namespace {
std::mutex g_lastMutex;
std::weak_ptr<NullSoundDevice> g_last;

std::string Hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%X", v);
    return b;
}
std::string Num(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}
} // namespace

// ---- buffers ---------------------------------------------------------------------
NullSoundBuffer::NullSoundBuffer(NullSoundDevice& device, const DSBUFFERDESC& desc, int number)
    : SoundBufferBase(device, desc), null_(device), number_(number) {}

NullSoundBuffer::NullSoundBuffer(NullSoundDevice& device, const NullSoundBuffer& original, int number)
    : SoundBufferBase(device, original), null_(device), number_(number) {}

void NullSoundBuffer::Record(const std::string& call) {
    null_.Record("buf" + std::to_string(number_) + "." + call);
}

Result NullSoundBuffer::GetStatus(uint32_t* status) {
    if (!status) return E_POINTER;
    std::lock_guard lock(Mutex());
    if (null_.Config().failGetStatus) return DSERR_GENERIC;
    *status = (playing_ ? DSBSTATUS_PLAYING : 0) | (playing_ && looping_ ? DSBSTATUS_LOOPING : 0);
    return S_OK;
}

Result NullSoundBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
    std::lock_guard lock(Mutex());
    if (null_.Config().failGetPosition) return DSERR_GENERIC;
    if (play) *play = cursor_;
    if (write) *write = cursor_;
    return S_OK;
}

Result NullSoundBuffer::SetCurrentPosition(uint32_t position) {
    std::lock_guard lock(Mutex());
    Record("SetCurrentPosition(" + std::to_string(position) + ")");
    if (position >= Size()) return DSERR_INVALIDPARAM;
    cursor_ = position - position % (format_.nBlockAlign ? format_.nBlockAlign : 1);
    return S_OK;
}

Result NullSoundBuffer::SetVolume(int32_t volume) {
    std::lock_guard lock(Mutex());
    Record("SetVolume(" + std::to_string(volume) + ")");
    if (null_.Config().failSetVolume) return DSERR_INVALIDPARAM;
    return SoundBufferBase::SetVolume(volume);
}

Result NullSoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** p1, uint32_t* b1, void** p2,
                             uint32_t* b2, uint32_t flags) {
    std::lock_guard lock(Mutex());
    Record("Lock(" + std::to_string(offset) + "," + std::to_string(bytes) + "," + Hex(flags) + ")");
    if (null_.Config().failLock) return DSERR_BUFFERLOST;
    return SoundBufferBase::Lock(offset, bytes, p1, b1, p2, b2, flags);
}

Result NullSoundBuffer::Unlock(void* p1, uint32_t b1, void* p2, uint32_t b2) {
    std::lock_guard lock(Mutex());
    Record("Unlock(" + std::to_string(b1) + "," + std::to_string(b2) + ")");
    if (null_.Config().failUnlock) return DSERR_INVALIDCALL;
    return SoundBufferBase::Unlock(p1, b1, p2, b2);
}

Result NullSoundBuffer::Play(uint32_t, uint32_t, uint32_t flags) {
    std::lock_guard lock(Mutex());
    Record("Play(" + Hex(flags) + ")");
    if (null_.Config().failPlay) return DSERR_BUFFERLOST;
    playing_ = true;
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    return S_OK;
}

Result NullSoundBuffer::Stop() {
    std::lock_guard lock(Mutex());
    Record("Stop()");
    playing_ = false;
    return S_OK;
}

void NullSoundBuffer::AdvanceBytes(uint64_t bytes) {
    std::lock_guard lock(Mutex());
    if (!playing_ || Size() == 0) return;
    const uint64_t next = cursor_ + bytes;
    if (!looping_ && next >= Size()) {
        playing_ = false;
        cursor_ = 0;
        return;
    }
    cursor_ = static_cast<uint32_t>(next % Size());
}

// ---- device ----------------------------------------------------------------------
NullSoundDevice::NullSoundDevice(NullSoundConfig config) : config_(std::move(config)) {}

void NullSoundDevice::Record(const std::string& line) {
    std::lock_guard lock(mutex_);
    calls_.push_back(line);
}

std::vector<std::string> NullSoundDevice::Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
}

void NullSoundDevice::ClearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

Result NullSoundDevice::SetCooperativeLevel(void* window, uint32_t level) {
    Record("SetCooperativeLevel(" + std::to_string(level) + ")");
    if (config_.failCooperativeLevel) return DSERR_INVALIDCALL;
    return SoundDeviceBase::SetCooperativeLevel(window, level);
}

Result NullSoundDevice::CreateSoundBuffer(const DSBUFFERDESC* desc,
                                          std::shared_ptr<IDirectSoundBuffer>* out) {
    if (desc)
        Record("CreateSoundBuffer(" + Hex(desc->dwFlags) + "," + std::to_string(desc->dwBufferBytes) + ")");
    return SoundDeviceBase::CreateSoundBuffer(desc, out);
}

Result NullSoundDevice::DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                             std::shared_ptr<IDirectSoundBuffer>* out) {
    Record("DuplicateSoundBuffer()");
    if (config_.failDuplicate) {
        if (out) out->reset();
        return DSERR_OUTOFMEMORY;
    }
    return SoundDeviceBase::DuplicateSoundBuffer(original, out);
}

Result NullSoundDevice::GetCaps(DSCAPS* caps) {
    Record("GetCaps()");
    return SoundDeviceBase::GetCaps(caps);
}

Result NullSoundDevice::CheckCreate(const DSBUFFERDESC& desc) {
    if (config_.failCreateBuffer && config_.failCreateBuffer(desc)) return DSERR_OUTOFMEMORY;
    return S_OK;
}

std::shared_ptr<SoundBufferBase> NullSoundDevice::MakeBuffer(const DSBUFFERDESC& desc) {
    return std::make_shared<NullSoundBuffer>(*this, desc, nextNumber_++);
}

std::shared_ptr<SoundBufferBase> NullSoundDevice::MakeDuplicate(const SoundBufferBase& original) {
    return std::make_shared<NullSoundBuffer>(*this, static_cast<const NullSoundBuffer&>(original),
                                             nextNumber_++);
}

void NullSoundDevice::OnListenerApplied() {
    const DS3DLISTENER& l = Listener().Applied();
    ++commits_;
    calls_.push_back("listener.Apply(" + Num(l.vPosition.x) + "," + Num(l.vPosition.y) + "," +
                     Num(l.vPosition.z) + ")");
}

void NullSoundDevice::OnMasterVolume() {
    calls_.push_back("primary.SetVolume(" + std::to_string(masterVolume) + ")");
}

void NullSoundDevice::AdvanceMs(double ms) {
    for (auto& b : Buffers()) {
        const double bytes = ms * b->Format().nAvgBytesPerSec / 1000.0;
        const uint32_t align = b->Format().nBlockAlign ? b->Format().nBlockAlign : 1;
        const uint64_t whole = static_cast<uint64_t>(bytes) / align * align;
        b->AdvanceBytes(whole);
    }
}

std::vector<std::shared_ptr<NullSoundBuffer>> NullSoundDevice::Buffers() {
    std::vector<std::shared_ptr<NullSoundBuffer>> out;
    for (auto& b : LiveBuffers()) out.push_back(std::static_pointer_cast<NullSoundBuffer>(b));
    return out;
}

void UseNullSound(NullSoundConfig config) {
    SetDirectSoundFactory([config](std::shared_ptr<IDirectSound8>* out) -> Result {
        if (!out) return E_POINTER;
        out->reset();
        if (config.failCreateDevice) return DSERR_NODRIVER;
        auto device = std::make_shared<NullSoundDevice>(config);
        {
            std::lock_guard lock(g_lastMutex);
            g_last = device;
        }
        *out = device;
        return S_OK;
    });
}

std::shared_ptr<NullSoundDevice> LastNullSoundDevice() {
    std::lock_guard lock(g_lastMutex);
    return g_last.lock();
}

} // namespace vesk::platform
