#pragma once
// Key animation: plays one animation track of a model file on a render unit.
// Each update picks the key nearest to the current phase (there is no
// interpolation) and writes its matrix into the carrier and, when one is set,
// its colour and factor into a colour target. Tracks are authored at 30
// frames per second and always loop.
#include "platform/math_types.h"
#include "render/component.h"
#include "shared/updater.h"

#include <cstdint>
#include <string>

namespace vesk {

class TBaseRenderUnit;

// A model file's animation track as the render engine reads it: the key
// records stay with the model; each is keyStride bytes with the 4x4 matrix at
// byte 32, the colour (r, g, b, a) at byte 96 and the factor at byte 112.
struct ROKeyTrack {
    float startFrame = 0, endFrame = 0;
    uint32_t keyCount = 0; // never more than the records behind keys
    const void* keys = nullptr;
    uint32_t keyStride = 116;
};

// Receives the current key's colour and factor.
class IKeyColourTarget {
public:
    virtual void SetKeyColour(const ColorValue& colour) = 0;
    virtual void SetKeyFactor(float factor) = 0;

protected:
    ~IKeyColourTarget() = default;
};

// Key-animation flags.
inline constexpr uint32_t KA_INVERSE = 1; // the inverse key matrix, keeping the carrier's translation
inline constexpr uint32_t KA_NOMATRIX = 4;

class SimpleKeyAnimationClass final : public KeyAnimationClass, public IUpdatableInterface {
public:
    // Bound to the carrier and registered with the updater manager (when there is one).
    static SimpleKeyAnimationClass* Create(IEngineObject* carrier, const std::string& name);

    // False without a track; the track must outlive the animation.
    bool SetTrack(const ROKeyTrack* track);
    void Update(float dtMs);
    int32_t GetCurrentKey() const { return currentKey_; }
    int32_t GetFrameCount() const { return frameCount_; }
    void SetFlags(uint32_t flags) { flags_ = flags; }
    uint32_t Flags() const { return flags_; }
    // Leaves out as it was without a valid key.
    void GetKeyMatrix(Matrix& out) const;
    ColorValue KeyColour() const;
    float KeyFactor() const;
    void SetColourTarget(IKeyColourTarget* target) { colourTarget_ = target; }
    // The same animation on the unit the object offers.
    SimpleKeyAnimationClass* CreateCopy(IEngineObject* carrier) const override;

    const std::string& Name() const { return name_; }
    float Phase() const { return phase_; }
    float Clock() const { return clock_; }
    float Length() const { return length_; }

    void UpdateTick(float stepMs) override { Update(stepMs); }
    void UpdateEndTick() override {}
    void Free() override;
    std::string ClassName() const override { return "SimpleKeyAnimationClass"; }

    SimpleKeyAnimationClass() = default;

protected:
    void CarrierLost() override { colourTarget_ = nullptr; }

private:
    bool ValidKey() const;
    const uint8_t* KeyBytes() const;
    TBaseRenderUnit* CarrierUnit() const;

    std::string name_;
    IKeyColourTarget* colourTarget_ = nullptr;
    int32_t currentKey_ = 0;
    int32_t frameCount_ = 0;
    float phase_ = 0;
    float clock_ = 0;
    float length_ = 0;
    const ROKeyTrack* track_ = nullptr;
    uint32_t flags_ = 0;
};

} // namespace vesk
