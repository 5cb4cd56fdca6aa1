#include "core/services.h"

namespace vesk {

void FillWithStandIns(CoreServices& s) {
    if (!s.render) s.render = std::make_unique<StandInRenderEngine>();
    if (!s.sound) s.sound = std::make_unique<StandInSoundEngine>();
    if (!s.game) s.game = std::make_unique<StandInGameWorld>();
    if (!s.desktop) s.desktop = std::make_unique<StandInDesktop>();
    if (!s.scene) s.scene = std::make_unique<StandInSpaceScene>();
    if (!s.camera) s.camera = std::make_unique<StandInGameCamera>();
}

} // namespace vesk
