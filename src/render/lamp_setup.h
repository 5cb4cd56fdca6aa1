#pragma once
// What the content loaders set on a lamp unit. The lamp class (a glow whose
// brightness follows a waveform) registers itself under the class name
// "TLampClass" and offers these setters.
#include <cstdint>
#include <string>

namespace vesk {

class IKWTexture;

class ILampSetup {
public:
    virtual void SetSize(float size) = 0;
    virtual void SetModeStatic() = 0;
    virtual void SetModeSinus() = 0;
    virtual void SetModeBlink() = 0;
    virtual void SetColor(uint32_t rgb) = 0;
    virtual void SetMaxIntensity(float intensity) = 0;
    virtual void SetPhase(float radians) = 0;
    virtual void SetSpeed(float turnsPerSecond) = 0;
    virtual void SetLightRange(float range) = 0;
    // The glow particle's size and texture.
    virtual void SetGlowSize(float size) = 0;
    virtual void SetGlowTexture(IKWTexture* texture) = 0;

protected:
    ~ILampSetup() = default;
};

inline constexpr const char* kLampClassName = "TLampClass";

} // namespace vesk
