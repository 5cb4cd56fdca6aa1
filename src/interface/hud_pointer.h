#pragma once
// The rocket-lock pointer: glides from the screen's centre towards a marker
// and locks the player's rockets on the marker's object when it arrives.
#include <cstdint>
#include <string>

#include "interface/draw_nodes.h"

namespace vesk {

class TMovingNode : public TEditNode {
public:
    static constexpr float kCentreX = 511, kCentreY = 383;

    TMovingNode();
    // A marker node (its object is the one locked on), or nullptr for the centre.
    void SetTarget(TObjectNode* marker);
    TObjectNode* GetTarget() const;
    void ClearArrived() { arrived_ = false; }
    bool Arrived() const { return arrived_; }
    float X() const { return x_; }
    float Y() const { return y_; }

    void Tick(int ms) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

private:
    void TargetPoint(float& x, float& y) const;
    void PlaceAt(float x, float y);

    bool arrived_ = true;
    int approachDistance_ = 511;
    float x_ = kCentreX, y_ = kCentreY, z_ = 0;
    float speed_ = 10;
    int arrivalDistance_ = 1;
    int32_t target_ = 0;
};

} // namespace vesk
