#pragma once
// The radar: a face whose children are radar markers, one per object the
// scripts announce. Each marker places itself on the face from the object's
// direction seen from the player's ship, hides beyond its range, shows
// another image for the selected object and another colour and size for
// objects behind the ship.
#include <cstdint>
#include <string>

#include "interface/draw_nodes.h"

namespace vesk {

class TRadar : public TImageNode {
public:
    static constexpr const char* kMarkerPrefix = "RadarMarker_";
    // A marker of the class copied from the pattern for the object ("hex"
    // text), named after it ("_cp" behind the name for a ship waypoint);
    // nullptr (reported) when the text names no object.
    TSimpleNode* AddMarker(const std::string& pattern, const std::string& objectHex,
                           const std::string& className, bool shipWaypoint = false);
};

class TRadarNode : public TMegaButton {
public:
    int VisibleRange() const { return visibleRange_; }
    const std::string& MarkerImage() const { return image_; }
    const std::string& SelectedImage() const { return selectedImage_; }
    uint32_t BackColor() const { return backColor_; }
    uint32_t ImageColor() const { return imageColor_; }
    int BackImageSize() const { return backImageSize_; }
    int ImageSize() const { return imageSize_; }
    // The object is before the ship (drawn in the image colour and size).
    bool InFront() const { return inFront_; }

    void Tick(int ms) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    int visibleRange_ = 50000;
    std::string selectedImage_, image_;
    uint32_t backColor_ = 0x50FFFFFF;
    uint32_t imageColor_ = 0xFFFFFFFF;
    int backImageSize_ = 7;
    int imageSize_ = 15;
    bool inFront_ = true;
    std::string shownColour_; // the image colour last given to the node
};

void RegisterRadarClasses();

} // namespace vesk
