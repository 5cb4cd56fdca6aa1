#pragma once
// The two-part bars of the HUD: a filled and an empty part laid out from a
// value, and the form that takes its value from a parameter of an object.
#include <array>
#include <cstdint>
#include <string>

#include "interface/draw_nodes.h"

namespace vesk {

class TActiveHelperBar : public TMegaButton {
public:
    enum TDirection : uint8_t { kLeftRight, kRightLeft, kUpDown, kDownUp };
    enum TColorSlot : uint8_t { k1Full, k1Half, k1Quarter, k2Full, k2Half, k2Quarter };

    float Value() const { return value_; }
    void SetValue(float v) { value_ = v; }
    TDirection Direction() const { return direction_; }
    uint32_t BarColor(TColorSlot slot) const { return colors_[slot]; }

    void Tick(int ms) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

protected:
    // The value before the layout; the plain bar keeps the one set.
    virtual void UpdateValue() {}

private:
    TDirection direction_ = kLeftRight;
    float value_ = 0.0f;
    int32_t bar1_ = 0, bar2_ = 0; // "Bar_1" and "Bar_2", bound on the first tick
    std::array<uint32_t, 6> colors_{};
    std::array<int32_t, 6> shownLayout_{}; // bars, widths, height and colour band last laid out
    bool coloursChanged_ = true;
};

// A bar bound to one parameter of an object: current over maximum.
class TAHObjParamBar : public TActiveHelperBar {
public:
    const std::string& ParamId() const { return paramId_; }
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

protected:
    void UpdateValue() override;

private:
    void TryBind();
    std::string paramId_;
    std::string pendingObject_;
};

class TAHObjComplexParamBar : public TAHObjParamBar {};
class TAHSpeed : public TActiveHelperBar {};
class TAHRange : public TActiveHelperBar {};

} // namespace vesk
