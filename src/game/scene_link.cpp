#include "game/scene_link.h"

namespace vesk {

namespace {
IGameSceneLink* Installed = nullptr;
}

void SetGameSceneLink(IGameSceneLink* link) {
    Installed = link;
}

IGameSceneLink& GameSceneLink() {
    static StandInGameSceneLink standIn;
    return Installed ? *Installed : standIn;
}

} // namespace vesk
