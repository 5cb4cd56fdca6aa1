#pragma once
// The indicator array: the HUD's warning and status lamps, each a child node
// named after its type, shown while it is on and hidden while it is off.
#include <array>
#include <cstdint>
#include <string>

#include "interface/draw_nodes.h"

namespace vesk {

class TIndicator : public TOpacityNode {
public:
    static constexpr int kCount = 35;
    static constexpr int kTestStepMs = 500;
    static const std::array<const char*, kCount> kNames;

    // The type whose node bears the name (reported; 0 when none does).
    int TypeOf(const std::string& name);
    void TurnOn(const std::string& name) { TurnOnType(TypeOf(name)); }
    void TurnOff(const std::string& name) { TurnOffType(TypeOf(name)); }
    void TurnOnType(int type);
    void TurnOffType(int type);
    // Every bound indicator off; the test mode is left as it is.
    void Reset();
    TMegaButton* Lamp(int type) const;
    bool TestMode() const { return testMode_; }
    bool AllOn() const { return allOn_; }
    int ActiveType() const { return active_; }

    void Tick(int ms) override;
    void ExeMethod(const std::string& method) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    void Init();

    bool testMode_ = false;
    int testIndex_ = 0;
    int previousTest_ = kCount - 1;
    int testTime_ = 0;
    bool allOn_ = false;
    std::array<int32_t, kCount> lamps_{}; // node ids, 0 before INIT
    std::array<int, kCount> autoOff_{};
    std::array<int, kCount> remaining_{};
    int active_ = 0;
};

} // namespace vesk
