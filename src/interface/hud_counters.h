#pragma once
// The HUD's counter labels: each rewrites its text every tick from the game
// (frag count, distance to an object, a parameter, the targets on an object).
#include <cstdint>
#include <string>

#include "interface/draw_nodes.h"
#include "interface/hud_world.h"

namespace vesk {

class TGameObjectParam;

class TFragCounterNode : public TLabelNode {
public:
    TFragCounterNode() { SetTicked(true); }
    void Tick(int ms) override;

private:
    THudPathRef counter_{"player.statistics.destroyedEnemyCounter"};
};

class TDistanceNode : public TLabelNode {
public:
    TDistanceNode() { SetTicked(true); }
    void Tick(int ms) override;
};

class TGamePropertyNode : public TLabelNode {
public:
    enum TVisualMode : uint8_t { kDigit, kPercent };
    TGamePropertyNode() { SetTicked(true); }
    TVisualMode VisualMode() const { return mode_; }
    TGameObjectParam* Param() const;

    void Tick(int ms) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

private:
    void LookUp();
    TVisualMode mode_ = kDigit;
    int32_t param_ = 0; // by id: the parameter may go first
    std::string paramId_;
};

class TTargetedCounterNode : public TLabelNode {
public:
    TTargetedCounterNode() { SetTicked(true); }
    void Tick(int ms) override;
};

} // namespace vesk
