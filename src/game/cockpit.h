#pragma once
// The cockpit view is an item of class 99 in the player's ship's slots whose
// model carries the camera helpers "cam_pos" and "cam_dir". Using it puts the
// camera into the cockpit and hides the ship from outside; ending its use
// switches back.
#include "game/items.h"

namespace vesk {

class TBaseRenderUnit;

// What the cockpit asks of the game camera; the game camera answers unless a
// test puts its own in.
class ICockpitCamera {
public:
    virtual ~ICockpitCamera() = default;
    // The camera rides in the ship, its eye at the position helper.
    virtual void SetCockpitMode(TBaseRenderUnit* ship, TBaseRenderUnit* camPos, TBaseRenderUnit* camDir) = 0;
    virtual void ResetCockpitMode() = 0;
    virtual void RotateUp(float amount) = 0;
    virtual void RotateDown(float amount) = 0;
    virtual void RotateLeft(float amount) = 0;
    virtual void RotateRight(float amount) = 0;
    virtual void RotateReset() = 0;
};
ICockpitCamera& CockpitCamera();
// nullptr restores the game camera.
void SetCockpitCamera(ICockpitCamera* camera);

class TGameItemCockpit : public TGameItem {
    VESK_GAME_CLASS(TGameItemCockpit)
public:
    void onStartUseFunc(TEngineObject* obj, TEngineObject* data) override;
    void onEndUseFunc(TEngineObject* obj, TEngineObject* data) override;
    void onOutSlotFunc(TEngineObject* obj, TEngineObject* data) override;
};

void RegisterCockpitClasses();

} // namespace vesk
