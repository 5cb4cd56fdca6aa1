#pragma once
// Stand-ins for the lamp and ship classes of higher subsystems, registered
// under their class names when no real class of that name is.
#include "render/component.h"
#include "render/lamp_setup.h"
#include "render/render_unit.h"
#include "render/texture.h"
#include "shared/helpers.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vesk::test {

// A lamp that writes down what it is told.
class RecLamp : public TBaseRenderUnit, public ILampSetup, public ILampLight {
public:
    void Init(TBaseRenderUnit* parent) override {
        TBaseRenderUnit::Init(parent);
        SetFlag(BRU_LAMP);
    }
    void SetSize(float s) override { Log("size " + Num(s)); }
    void SetModeStatic() override { Log("static"); }
    void SetModeSinus() override { Log("sinus"); }
    void SetModeBlink() override { Log("blink"); }
    void SetColor(uint32_t rgb) override {
        colour = rgb;
        Log("colour " + IntToHex8(int32_t(rgb)));
    }
    void SetMaxIntensity(float v) override { Log("intensity " + Num(v)); }
    void SetPhase(float v) override { Log("phase " + Num(v)); }
    void SetSpeed(float v) override { Log("speed " + Num(v)); }
    void SetLightRange(float v) override { Log("range " + Num(v)); }
    void SetGlowSize(float v) override { Log("glow " + Num(v)); }
    void SetGlowTexture(IKWTexture* t) override {
        texture = t;
        Log("texture " + (t ? t->GetName() : std::string("nil")));
    }
    float LampRange() const override { return 0; }
    ColorValue LampColour() const override { return ColourFromArgb(colour); }
    float LampIntensity() const override { return 1; }

    uint32_t colour = 0;
    IKWTexture* texture = nullptr;
    std::vector<std::string> calls;

private:
    static std::string Num(float v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", v);
        return buf;
    }
    void Log(const std::string& s) { calls.push_back(s); }
};

// A ship that writes down how it was built.
class RecShip : public TBaseRenderUnit {
public:
    std::string built;
    static inline std::vector<std::string> builds;
    int Build(const std::string& mesh, const std::string& name, int32_t options) override {
        built = mesh + "|" + name + "|" + std::to_string(options);
        builds.push_back(built);
        SetBox({-2, -2, -2}, {2, 2, 2});
        return 0;
    }
    bool DiscardBRU() override {
        ++discarded;
        return TBaseRenderUnit::DiscardBRU();
    }
    static inline int discarded = 0;
};

// Registered once for the program; a real class of that name wins when it exists.
inline bool RegisterStandIn(const char* name, bool (*registrar)()) {
    return ClassManager.IndexOf(name) >= 0 ? false : registrar();
}
inline const bool kFakeLamp =
    RegisterStandIn(kLampClassName, [] { return RegisterRenderUnitClass<RecLamp>(kLampClassName); });
inline const bool kFakeShip =
    RegisterStandIn("ShipClass", [] { return RegisterRenderUnitClass<RecShip>("ShipClass"); });

} // namespace vesk::test
