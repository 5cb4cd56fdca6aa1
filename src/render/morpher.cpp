#include "render/morpher.h"

#include "render/device.h"
#include "shared/errors.h"

#include <cmath>
#include <cstring>

namespace vesk {

using platform::IDirect3DVertexBuffer9;

bool VertexStreamDataClass::Init(IDirect3DVertexBuffer9* vb, uint32_t strideBytes, int32_t keep,
                                 int32_t streamNo, const std::string& streamName) {
    if (!vb) {
        ErrorReport("VertexStreamDataClass.Init: (_vb=nil)", "mhl");
        return false;
    }
    vb->AddRef(); // the stream keeps its own reference
    buffer = platform::Ref<IDirect3DVertexBuffer9>(vb);
    stride = strideBytes;
    value = keep;
    stream = streamNo;
    name = streamName;
    platform::D3DVERTEXBUFFER_DESC desc;
    if (vb->GetDesc(&desc) >= 0) {
        fvf = desc.FVF;
        size = desc.Size;
    }
    return true;
}

MorphStreamData VertexStreamDataClass::AsStreamData() const {
    MorphStreamData d;
    d.stream = stream;
    d.fvf = fvf;
    d.stride = stride;
    d.buffer = buffer.Get();
    return d;
}

bool MorpherClass::AddVertexStreamData(int32_t stream, int32_t value, uint32_t stride,
                                       IDirect3DVertexBuffer9* vb, const std::string& name) {
    auto data = std::make_unique<VertexStreamDataClass>();
    if (!data->Init(vb, stride, value, stream, name)) return false;
    streams_.push_back(std::move(data));
    return true;
}

void MorpherClass::SetupStreams(const MorphRecordLookup& lookup) {
    for (auto& s : streams_) s->morph = lookup ? lookup(s->name) : nullptr;
}

bool MorpherClass::GetVertexData(size_t index, VertexStreamDataClass*& out) {
    if (index >= streams_.size()) {
        out = nullptr;
        return false;
    }
    out = streams_[index].get();
    return true;
}

bool MorpherClass::GetVertexData(int index, MorphStreamData*& out) {
    VertexStreamDataClass* data = nullptr;
    if (index < 0 || !GetVertexData(static_cast<size_t>(index), data)) {
        out = nullptr;
        return false;
    }
    handed_.resize(streams_.size());
    handed_[index] = data->AsStreamData();
    out = &handed_[index];
    return true;
}

void MorpherClass::SetStreams() {
    if (!Device) return;
    for (size_t i = 0; i < streams_.size(); ++i) {
        const auto& s = *streams_[i];
        Device->SetStreamSource(static_cast<uint32_t>(i), s.buffer.Get(), 0, s.stride);
    }
    if (streams_.size() > MorphStreamsInUse) MorphStreamsInUse = static_cast<uint32_t>(streams_.size());
}

namespace {

// A locked buffer that unlocks itself.
class LockedVB {
public:
    LockedVB() = default;
    LockedVB(const LockedVB&) = delete;
    LockedVB& operator=(const LockedVB&) = delete;
    ~LockedVB() {
        if (vb_) vb_->Unlock();
    }
    bool Lock(IDirect3DVertexBuffer9* vb, uint32_t bytes) {
        void* p = nullptr;
        if (vb->Lock(0, bytes, &p, 0) < 0 || !p) return false;
        vb_ = vb;
        data_ = static_cast<uint8_t*>(p);
        return true;
    }
    uint8_t* Data() const { return data_; }

private:
    IDirect3DVertexBuffer9* vb_ = nullptr;
    uint8_t* data_ = nullptr;
};

struct Source {
    const VertexStreamDataClass* stream;
    std::unique_ptr<LockedVB> lock;
};

float ReadFloat(const uint8_t* p) {
    float f;
    std::memcpy(&f, p, sizeof f);
    return f;
}
void WriteFloat(uint8_t* p, float f) {
    std::memcpy(p, &f, sizeof f);
}

} // namespace

bool MorpherClass::CalcMAResultVertexBuffer(uint32_t frame) {
    VertexStreamDataClass* res = nullptr;
    if (!GetVertexData(size_t{0}, res)) {
        ErrorReport("MorpherClass.CalcMAResultVertexBuffer: not GetVertexData(0,pvsdRes)", "mhl");
        return false;
    }
    if (res->stream != -1) {
        ErrorReport("BRU MAObj: error: pvsdRes.Stream<>-1", "mhl");
        return false;
    }
    const uint32_t resStride =
        (res->fvf & platform::D3DFVF_TEX2) ? MORPH_RESULT_STRIDE_TEX2 : MORPH_RESULT_STRIDE;
    const uint32_t count = res->size / resStride;

    // Weights are checked before anything is locked, so a bad frame leaves the buffers alone.
    std::vector<Source> sources;
    for (size_t k = 1; k + 1 < streams_.size(); ++k)
        if (streams_[k]->morph) sources.push_back({streams_[k].get(), nullptr});
    for (size_t k = 1; k < sources.size(); ++k)
        if (frame >= sources[k].stream->morph->KeyCount()) {
            ErrorReport("CalcMAResultVertexBuffer", "mhl");
            return false;
        }

    LockedVB result;
    if (!result.Lock(res->buffer.Get(), count * resStride)) {
        ErrorReport("CMParser.LockVB MSS ", "mhl");
        return false;
    }
    for (auto& s : sources) {
        // A source shorter than the result would be read past its end.
        s.lock = std::make_unique<LockedVB>();
        if (s.stream->size < count * MORPH_SOURCE_STRIDE ||
            !s.lock->Lock(s.stream->buffer.Get(), count * MORPH_SOURCE_STRIDE)) {
            ErrorReport("CMParser.LockVB MSS ", "mhl");
            return false;
        }
    }
    if (sources.empty()) return true;

    uint8_t* out = result.Data();
    const uint8_t* base = sources[0].lock->Data();
    for (uint32_t i = 0; i < count; ++i)
        std::memcpy(out + i * resStride, base + i * MORPH_SOURCE_STRIDE, MORPH_SOURCE_STRIDE);

    for (size_t k = 1; k < sources.size(); ++k) {
        const float w = sources[k].stream->morph->weights[frame];
        const uint8_t* target = sources[k].lock->Data();
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t* r = out + i * resStride;
            const uint8_t* t = target + i * MORPH_SOURCE_STRIDE;
            const uint8_t* b = base + i * MORPH_SOURCE_STRIDE;
            // position at byte 0, normal at byte 16; the weight at byte 12 stays the base's
            for (uint32_t off : {0u, 4u, 8u, 16u, 20u, 24u})
                WriteFloat(r + off, ReadFloat(r + off) + (ReadFloat(t + off) - ReadFloat(b + off)) * w);
        }
    }
    return true;
}

void MorphAnimationClock::Tick(float dtMs, bool gamePaused) {
    if (gamePaused) return;
    if ((flags & MORPH_ANIM_PLAYING) && !(flags & MORPH_ANIM_PAUSED)) {
        clock += 0.001f * dtMs;
        if (clock >= length) {
            // A zero length is finished at once.
            if (flags & MORPH_ANIM_LOOP)
                clock = 0;
            else
                flags &= ~MORPH_ANIM_PLAYING;
        }
    }
}

void MorphAnimationClock::CalcCurFrame(uint32_t keyCount) {
    position = length > 0 ? clock / length : 0;
    if (position > 1) position = 1;
    if (keyCount > 0) frame = static_cast<uint32_t>(std::lround(static_cast<float>(keyCount - 1) * position));
}

} // namespace vesk
