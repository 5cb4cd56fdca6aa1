#pragma once
// Lamps and cylinders. A lamp is a light-like unit that shows a glow particle
// (a copy of the effect template "fx_simple_lamp") whose brightness follows a
// waveform: a sine, a blink or a steady light, optionally flickering in size.
// A cylinder is a unit drawn through a level-of-detail list (ship rings).
#include "render/engine.h"
#include "render/lamp_setup.h"
#include "render/render_unit.h"
#include "render/sprite_client.h"

#include <string>

namespace vesk {

class IDynamicTargetPosition;
class IParticleControl;
class TBRULOD;
class IKWTexture;

// Lamp modes are flags of the first word.
inline constexpr uint64_t LAMP_SINUS = 1024;
inline constexpr uint64_t LAMP_BLINK = 2048;
inline constexpr uint64_t LAMP_FLICKER = 0x8000000;
inline constexpr uint64_t LAMP_STATIC = 0x100ull << 32;

// Registers "TLampClass" and "TCylinder" with the class registry (once).
void RegisterLampClasses();

// Lamps alive (Init raises, Free lowers).
extern int32_t LampCount;

class TLampClass : public TBaseRenderUnit, public ILampLight, public ILampSetup {
public:
    // A lamp under parent, added to it, at position, with its glow of that size.
    static TLampClass* Make(TBaseRenderUnit* parent, const std::string& name, const Vec3& position,
                            float size);

    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    bool SkipInPass(int pass) const override { return pass == kPassOpaque; }
    void DoRender() override {}
    void Tick(float dtMs) override;
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override { FillRenderListsByPass(); }

    // The glow: a copy of "fx_simple_lamp" under the lamp that never ages
    // (made when the lamp is added to its parent; nothing when it has one).
    void CreateSprite();
    void OnAddedToParent(TBaseRenderUnit*) override { CreateSprite(); }

    void SetModeSinus() override;
    void SetModeBlink() override;
    void SetModeStatic() override;
    void SetModeFlicker(float amplitude);
    void SetSpeed(float turnsPerSecond) override { speed_ = turnsPerSecond; }
    void SetPhase(float radians) override { phase_ = radians; }
    void SetColor(uint32_t rgb) override { colour_ = rgb; }
    uint32_t GetColor() const { return colour_; }
    void SetLightRange(float range) override { lightRange_ = range; }
    // The glow takes the lamp colour scaled by x, fully opaque.
    void SetIntensity(float x);
    void SetMaxIntensity(float x) override;
    void ScaleIntensity(float f) { SetIntensity(baseIntensity_ * f); }
    void SetSize(float s) override;
    // The glow's own size and texture (the loaders' flare settings).
    void SetGlowSize(float size) override;
    void SetGlowTexture(IKWTexture* texture) override { SetTexture(texture); }
    void ScaleSize(float f);
    // The glow's size from the base size again.
    void ApplySize() { ScaleSize(1.0f); }
    // The texture manager's texture of that file goes to the glow.
    void SetTexture(const std::string& name);
    void SetTexture(IKWTexture* texture);
    // The lamp stands where the unit (or its named helper) is, each time it is listed.
    void SetDynamicPosition(TBaseRenderUnit* unit, const std::string& helper = "");

    float GetPhase() const { return phase_; }
    float GetSpeed() const { return speed_; }
    float GetIntensity() const { return intensity_; }
    float GetBaseSize() const { return baseSize_; }
    float GetFlickerAmplitude() const { return flicker_; }
    float GetLightRange() const { return lightRange_; }
    TBaseRenderUnit* GetGlow() const { return glow_; }

    // ILampLight
    float LampRange() const override { return lightRange_; }
    ColorValue LampColour() const override;
    float LampIntensity() const override { return intensity_; }

    void Message(IEngineObject* sender, int msg, int param) override;

private:
    IParticleControl* Glow() const;

    float phase_ = 0.0f;
    float speed_ = 1.0f;
    float intensity_ = 1.0f;
    uint32_t colour_ = 0xFFFFFF;
    float baseSize_ = 10.0f;
    float baseIntensity_ = 1.0f;
    float flicker_ = 0.5f;
    float lightRange_ = 0.0f;
    TBaseRenderUnit* glow_ = nullptr;
    IDynamicTargetPosition* position_ = nullptr;
};

// A unit drawn through its level-of-detail list; it stands still while the game is paused.
class TCylinder : public TBaseRenderUnit, public IRenderPause {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    void DoRender() override;
    void Tick(float dtMs) override { TBaseRenderUnit::Tick(dtMs); }
    bool IsRenderPaused() override { return RenderPause.IsRenderPaused(); }
    TBRULOD* Levels() const { return levels_; }

private:
    TBRULOD* levels_ = nullptr;
};

} // namespace vesk
