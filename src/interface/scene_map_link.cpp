#include "interface/scene_map_link.h"

#include "game/scene.h"
#include "interface/desktop.h"
#include "interface/hud_nodes.h"
#include "interface/interface_services.h"

#include <functional>
#include <vector>

namespace vesk {

namespace {

std::function<TSimpleNode*()>& Root() {
    static std::function<TSimpleNode*()> root;
    return root;
}

// Every tactic map of the interface tree.
std::vector<TMap*> Maps() {
    std::vector<TMap*> out;
    std::function<void(TSimpleNode*)> walk = [&](TSimpleNode* node) {
        if (!node) return;
        if (auto* map = dynamic_cast<TMap*>(node)) out.push_back(map);
        for (int i = 0; i < node->ChildCount(); ++i) walk(node->ChildAt(i));
    };
    walk(Root() ? Root()() : nullptr);
    return out;
}

} // namespace

void InstallSceneMapLink(std::function<TSimpleNode*()> root) {
    Root() = root ? std::move(root) : [] { return static_cast<TSimpleNode*>(CurrentDesktop()); };
    SceneInterfaceLinks& links = GetSceneInterfaceLinks();
    // A new system: the map's markers of the old one go.
    links.resetTacticMap = [] {
        for (TMap* map : Maps())
            for (int left = map->ChildCount(); left > 0; --left) {
                TSimpleNode* marker = map->ChildAt(left - 1);
                if (marker) map->DelMarker(marker->Name());
            }
    };
    // A map without its picture node shows no minimap: it keeps its own placing.
    links.setMinimap = [](const std::string& image, int dx, int dy, int angle, int scale) {
        TSimpleNode* root = Root() ? Root()() : nullptr;
        if (!root || !root->FindInTree("TacticMap", false)) return;
        for (TMap* map : Maps()) map->SetMap(image, dx, dy, angle, scale);
    };
}

} // namespace vesk
