#include "interface/hud_map.h"

#include <cmath>
#include <exception>

#include "game/game_object.h"
#include "interface/hud_world.h"
#include "interface/interface_tools.h"
#include "render/render_unit.h"
#include "shared/math.h"

namespace vesk {

TSimpleNode* TMap::AddMarker(const std::string& name, const std::string& pattern,
                             const std::string& objectHex, int left, int top) {
    TEngineObject* object = nullptr;
    if (!objectHex.empty()) {
        int32_t id = 0;
        try {
            id = PropertyInt(objectHex);
        } catch (const std::exception&) {
        }
        object = id > 0 ? FindEngineObjectAs<TEngineObject>(id) : nullptr;
        if (!object) {
            InterfaceFault("TMap.AddMarker fault: _object=nil", 2);
            return nullptr;
        }
    }
    TSimpleNode* node = CreateChild(object ? "TMapNode" : "TMegaButton", pattern);
    if (!node) return nullptr;
    node->SetProperty("NAME", name);
    if (object) {
        static_cast<TMapNode*>(node)->SetObject(object);
        std::string icon;
        if (auto* g = dynamic_cast<TBaseGameObject*>(object))
            if (TBaseGameObject* i = g->FindChild("list_icon")) i->stringValue(icon);
        static_cast<TMapNode*>(node)->SetText(icon.empty() ? "???" : icon);
    } else if (auto* r = node->AsRect()) {
        r->SetLeft(left);
        r->SetTop(top);
    }
    return node;
}

void TMap::DelMarker(const std::string& name) {
    if (IndexOfChild(name) >= 0) DeleteChild(name);
}

void TMap::SetMap(const std::string& image, int xOffset, int yOffset, int angleDegrees, int scaleDivisor) {
    int status = 0;
    TSimpleNode* root = this;
    while (root->Parent()) root = root->Parent();
    if (TSimpleNode* map = root->ChildByName("TacticMap", status, false, true))
        map->SetProperty("IMAGE", image);
    xOffset_ = xOffset;
    yOffset_ = yOffset;
    angle_ = static_cast<float>(angleDegrees) * 3.14159265f / 180.0f;
    cos_ = std::cos(angle_);
    sin_ = std::sin(angle_);
    // A divisor of 0 would make every point infinite: the map keeps its scale.
    if (scaleDivisor != 0) scale_ = 1.0f / static_cast<float>(scaleDivisor);
}

TIPoint TMap::MapPoint(float x, float y) const {
    x += static_cast<float>(xOffset_);
    y += static_cast<float>(yOffset_);
    const float rx = x * cos_ + y * sin_, ry = -x * sin_ + y * cos_;
    return {Round(rx * scale_), Round(ry * scale_)};
}

void TMapNode::Tick(int ms) {
    TMegaButton::Tick(ms);
    auto* map = dynamic_cast<TMap*>(Parent());
    TBaseRenderUnit* unit = HudRenderUnit(Object());
    if (!map || !unit) return;
    Vec3 p;
    unit->GetPosition(p);
    CenterOn(map->MapPoint(p.x, p.y));
}

} // namespace vesk
