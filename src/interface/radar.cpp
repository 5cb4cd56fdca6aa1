#include "interface/radar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "game/game_object.h"
#include "interface/hud_world.h"
#include "interface/interface_tools.h"
#include "platform/text.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/math.h"

namespace vesk {

namespace {} // namespace

TSimpleNode* TRadar::AddMarker(const std::string& pattern, const std::string& objectHex,
                               const std::string& className, bool shipWaypoint) {
    int32_t id = 0;
    TEngineObject* object = TryParseInt32(objectHex, id) && id > 0 ? FindEngineObjectById(id) : nullptr;
    if (!object) {
        InterfaceFault("TRadar.AddMarker fault: _object=nil", 2);
        return nullptr;
    }
    TSimpleNode* marker = CreateChild(className, pattern);
    if (!marker) return nullptr;
    marker->SetProperty("OBJPOINTER", std::to_string(id));
    marker->SetProperty("NAME", kMarkerPrefix + HudObjectName(object) + (shipWaypoint ? "_cp" : ""));
    return marker;
}

void TRadarNode::Tick(int ms) {
    TMegaButton::Tick(ms);
    TEngineObject* object = Object();
    if (!object) return;
    TEngineObject* ship = HudPlayerShip();
    int distance = 0;
    const bool inRange =
        ship && HudSurfaceDistance(object, ship, distance) && std::max(distance, 0) < visibleRange_;
    SetShown(this, inRange);
    if (!inRange) return;

    // The selected object's marker shows its own image.
    const std::string ownName = Name().size() > 12 ? Name().substr(12) : std::string();
    const std::string& want = ownName == HudObjectName(HudSelected()) ? selectedImage_ : image_;
    if (Image() != want) TImageNode::SetProperty("IMAGE", want);

    // The object's direction seen from the ship: a view along its nose (the
    // model's X axis) with its Z axis up.
    TBaseRenderUnit* unit = HudRenderUnit(object);
    TBaseRenderUnit* shipUnit = HudRenderUnit(ship);
    if (!unit || !shipUnit) return;
    const Matrix& m = shipUnit->GetWorldMatrix();
    const Vec3 eye = MatrixGetTranslation(m);
    const Vec3 nose{m.m[0][0], m.m[0][1], m.m[0][2]}, up{m.m[2][0], m.m[2][1], m.m[2][2]};
    const Matrix frame = MatrixLookAtLH(eye, Vec3Add(eye, nose), up);
    float forward = 0, side = 0, elevationSin = 0, d = 0, azimuth = 0, elevation = 0;
    unit->GetAnglesInFrame(frame, forward, side, elevationSin, d, &azimuth, &elevation);
    const float horizontal = std::cos(elevation) * side;
    const float vertical = elevationSin;
    auto* face = Parent() ? Parent()->AsRect() : nullptr;
    const float w = face ? static_cast<float>(face->Width()) : 0.0f;
    const float h = face ? static_cast<float>(face->Height()) : 0.0f;
    // Right of the nose is right on the face, above it is up.
    const int x = Round(w / 2 + (w / 2) * horizontal);
    const int y = Round(h / 2 - (h / 2) * vertical);
    inFront_ = azimuth <= kPi;
    const int size = inFront_ ? imageSize_ : backImageSize_;
    const std::string colour = ColorText(inFront_ ? imageColor_ : backColor_);
    if (colour != shownColour_) {
        shownColour_ = colour;
        TMegaButton::SetProperty("IMAGECOLOR", colour);
    }
    if (Width() != size) SetWidth(size);
    if (Height() != size) SetHeight(size);
    const int left = x - size / 2, top = y - size / 2;
    if (Left() != left) SetLeft(left);
    if (Top() != top) SetTop(top);
}

void TRadarNode::CopyTo(TSimpleNode* target) {
    TMegaButton::CopyTo(target);
    if (auto* t = dynamic_cast<TRadarNode*>(target)) {
        t->visibleRange_ = visibleRange_;
        t->selectedImage_ = selectedImage_;
        t->image_ = image_;
        t->backColor_ = backColor_;
        t->imageColor_ = imageColor_;
        t->backImageSize_ = backImageSize_;
        t->imageSize_ = imageSize_;
    }
}

bool TRadarNode::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<TMegaButton>("TRadarNode", key, value, [&](const std::string& k) {
        // IMAGE and IMAGECOLOR are kept for the point's look and go on to
        // the image node, which shows them.
        if (k == "IMAGE") {
            image_ = value;
            return TOwnKey::Other;
        }
        if (k == "SELECTEDIMAGE") {
            selectedImage_ = value;
        } else if (k == "IMAGECOLOR") {
            imageColor_ = ColorFromHexText(value);
            shownColour_ = ColorText(imageColor_);
            return TOwnKey::Other;
        } else if (k == "BACKCOLOR") {
            backColor_ = ColorFromHexText(value);
        } else if (k == "IMAGESIZE") {
            imageSize_ = PropertyInt(value);
        } else if (k == "BACKIMAGESIZE") {
            backImageSize_ = PropertyInt(value);
        } else if (k == "VISIBLERANGE") {
            visibleRange_ = PropertyInt(value);
        } else {
            return TOwnKey::Other;
        }
        return TOwnKey::Set;
    });
}

bool TRadarNode::GetProperty(const std::string& key, std::string& value) {
    if (platform::UpperCaseCp1251(key) == "--") return true;
    return TMegaButton::GetProperty(key, value);
}

void RegisterRadarClasses() {
    ClassManager.RegisterClass<TNodeKind, TRadar>();
    ClassManager.RegisterClass<TNodeKind, TRadarNode>();
}

} // namespace vesk
