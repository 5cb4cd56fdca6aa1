#pragma once
// The morpher a morph render object carries: a list of vertex streams, the
// first the render object's own (result) buffer, then the morph sources, the
// last the texture-coordinate stream. Before the object is drawn the morpher
// writes base + sum of w_k * (target_k - base) into the result buffer, the
// weights taken from the morph records' keys at the current frame.
#include "platform/gfx/device.h"
#include "render/render_object.h"
#include "shared/engine_object.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

// The morph-object record of a model: one weight per animation key (the
// float at byte 8 of each stored key).
struct MorphRecord {
    std::vector<float> weights;
    uint32_t KeyCount() const { return static_cast<uint32_t>(weights.size()); }
};

// Finds the morph record of a stream's name in a model tree; nullptr when absent.
using MorphRecordLookup = std::function<const MorphRecord*(const std::string& name)>;

class VertexStreamDataClass {
public:
    // Reads the buffer's FVF from its description; a nil buffer is fatal.
    bool Init(platform::IDirect3DVertexBuffer9* vb, uint32_t stride, int32_t value, int32_t stream,
              const std::string& name);

    platform::Ref<platform::IDirect3DVertexBuffer9> buffer;
    uint32_t stride = 0;
    int32_t value = 0;
    int32_t stream = -1;
    const MorphRecord* morph = nullptr;
    std::string name;
    uint32_t fvf = 0;
    uint32_t size = 0; // bytes, from the description

    MorphStreamData AsStreamData() const;
};

inline constexpr uint32_t MORPH_SOURCE_STRIDE = 28;
inline constexpr uint32_t MORPH_RESULT_STRIDE = 36;
inline constexpr uint32_t MORPH_RESULT_STRIDE_TEX2 = 44;

class MorpherClass : public TEngineObject, public IRenderObjectMorpher {
public:
    // Appends a stream; false (after the fatal report) for a nil buffer.
    bool AddVertexStreamData(int32_t stream, int32_t value, uint32_t stride,
                             platform::IDirect3DVertexBuffer9* vb, const std::string& name);
    // Looks up every stream's morph record by its name (nil when absent).
    void SetupStreams(const MorphRecordLookup& lookup);

    bool GetVertexData(int index, MorphStreamData*& out) override;
    bool GetVertexData(size_t index, VertexStreamDataClass*& out);
    size_t GetCount() const { return streams_.size(); }
    void SetSourceObject(const std::string& name, void* geomObject) {
        sourceName_ = name;
        sourceObject_ = geomObject;
    }
    const std::string& SourceName() const { return sourceName_; }

    // Sets every stream on the device in order and records how many are in use.
    void SetStreams() override;
    // Blends the given frame into the result stream. False after a fatal report.
    bool CalcMAResultVertexBuffer(uint32_t frame);

private:
    std::vector<std::unique_ptr<VertexStreamDataClass>> streams_;
    std::vector<MorphStreamData> handed_; // what GetVertexData(int) gives the render object
    std::string sourceName_;
    void* sourceObject_ = nullptr;
};

// The animation clock of a morphed character (flags 1 playing, 8 loop, 16 paused).
inline constexpr uint64_t MORPH_ANIM_PLAYING = 1;
inline constexpr uint64_t MORPH_ANIM_LOOP = 8;
inline constexpr uint64_t MORPH_ANIM_PAUSED = 16;

struct MorphAnimationClock {
    uint64_t flags = 0;
    float position = 0; // 0..1
    uint32_t frame = 0;
    float clock = 0;  // seconds
    float length = 0; // seconds

    void PlayFrom(float seconds) {
        flags |= MORPH_ANIM_PLAYING;
        clock = seconds;
    }
    // Advances the clock; gamePaused stops everything.
    void Tick(float dtMs, bool gamePaused);
    // keyCount is that of the animation's first track; 0 leaves the frame as it is.
    void CalcCurFrame(uint32_t keyCount);
};

} // namespace vesk
