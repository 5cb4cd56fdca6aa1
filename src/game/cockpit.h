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
    // Mounted, the cockpit is seen only from inside: hidden until it is used.
    void onInSlotFunc(TEngineObject* obj, TEngineObject* data) override;
    void onOutSlotFunc(TEngineObject* obj, TEngineObject* data) override;

protected:
    // A cockpit is no gun: whatever its gun model calls it, it is a part with
    // its own model riding on the ship, built as a wing is.
    std::string UnitClassOf(const std::string&) const override { return "WingClass"; }

private:
    // The ship seen from outside again, the camera out of the cockpit.
    void ShowOutside();
};

void RegisterCockpitClasses();

} // namespace vesk
