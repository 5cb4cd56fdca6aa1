#pragma once
// The tactic map and its markers: map points from world places, and markers
// that follow their objects on it.
#include <string>

#include "interface/draw_nodes.h"

namespace vesk {

class TMap : public TImageNode {
public:
    // A marker copied from a pattern: bound to an object (a TMapNode showing
    // the object's "list_icon"), or a static button at a place.
    TSimpleNode* AddMarker(const std::string& name, const std::string& pattern, const std::string& objectHex,
                           int left, int top);
    void DelMarker(const std::string& name);
    // The "TacticMap" node shows the image; the offsets, angle (degrees) and
    // scale divisor place the map points.
    void SetMap(const std::string& image, int xOffset, int yOffset, int angleDegrees, int scaleDivisor);
    TIPoint MapPoint(float x, float y) const;
    float ScaleFactor() const { return scale_; }

private:
    int xOffset_ = 90, yOffset_ = 0;
    float angle_ = 0, cos_ = 1, sin_ = 0;
    float scale_ = 0.0014285714f;
};

// A map marker: follows its object's place on the map it belongs to.
class TMapNode : public TMegaButton {
public:
    void Tick(int ms) override;
};

} // namespace vesk
