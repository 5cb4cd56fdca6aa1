#include "game/cockpit.h"

#include "game/ai_helpers.h"
#include "physics/camera_game.h"
#include "render/helpers.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

class GameCameraCockpit : public ICockpitCamera {
public:
    // The camera's cockpit mover takes the ship, the eye's base, the values
    // 2.0 and 0.5, and a speed factor; the view follows the ship's axes, so
    // the direction helper only has to exist.
    void SetCockpitMode(TBaseRenderUnit* ship, TBaseRenderUnit* camPos, TBaseRenderUnit*) override {
        if (TGameCamera* c = GameCamera()) c->SetCockpitMode(ship, camPos, 2.0f, 0.5f, 0.0f);
    }
    void ResetCockpitMode() override {
        if (TGameCamera* c = GameCamera()) c->ResetCockpitMode();
    }
    void RotateUp(float x) override {
        if (TGameCamera* c = GameCamera()) c->CockpitRotateUp(x);
    }
    void RotateDown(float x) override {
        if (TGameCamera* c = GameCamera()) c->CockpitRotateDown(x);
    }
    void RotateLeft(float x) override {
        if (TGameCamera* c = GameCamera()) c->CockpitRotateLeft(x);
    }
    void RotateRight(float x) override {
        if (TGameCamera* c = GameCamera()) c->CockpitRotateRight(x);
    }
    void RotateReset() override {
        if (TGameCamera* c = GameCamera()) c->CockpitRotateReset();
    }
};

ICockpitCamera*& InstalledCamera() {
    static ICockpitCamera* camera = nullptr;
    return camera;
}

void SetTreeVisible(TEngineObject* unit, bool on) {
    if (auto* u = dynamic_cast<TBaseRenderUnit*>(unit)) u->SetVisibleTree(on);
}

} // namespace

ICockpitCamera& CockpitCamera() {
    static GameCameraCockpit game;
    return InstalledCamera() ? *InstalledCamera() : game;
}

void SetCockpitCamera(ICockpitCamera* camera) {
    InstalledCamera() = camera;
}

void TGameItemCockpit::onStartUseFunc(TEngineObject* obj, TEngineObject* data) {
    if (Used() == 1) return;
    TBaseRenderUnit* unit = UnitOf(this);
    HelperClass* camPos = nullptr;
    HelperClass* camDir = nullptr;
    for (const char* helper : {"cam_pos", "cam_dir"}) {
        HelperClass*& out = helper[4] == 'p' ? camPos : camDir;
        if (!unit || !unit->FindHelper(helper, out)) {
            ErrorReport(Ru("TGameItemCockpit.onStartUseFunc error: в кокпите ") + AiAncestry(this) +
                            Ru(" не приписан один из хелперов камеры (") + helper + ")",
                        "mhl");
            return;
        }
    }
    TBaseGameObject* ship = ParentShip();
    // The outside of the ship goes, the cockpit stays.
    SetTreeVisible(UnitOf(ship), false);
    unit->SetVisibleTree(true);
    CockpitCamera().SetCockpitMode(UnitOf(ship), camPos, camDir);
    TGameItem::onStartUseFunc(obj, data);
    // An item whose use does not start (no charge) would leave the view in a
    // cockpit that its end of use never leaves again.
    if (Used() != 1) ShowOutside();
}

void TGameItemCockpit::onEndUseFunc(TEngineObject* obj, TEngineObject* data) {
    if (Used() != 1) return;
    ShowOutside();
    TGameItem::onEndUseFunc(obj, data);
}

void TGameItemCockpit::ShowOutside() {
    SetTreeVisible(UnitOf(ParentShip()), true);
    SetTreeVisible(GetHex(), false);
    CockpitCamera().ResetCockpitMode();
}

void TGameItemCockpit::onInSlotFunc(TEngineObject* obj, TEngineObject* data) {
    TGameItem::onInSlotFunc(obj, data);
    if (Used() != 1) SetTreeVisible(GetHex(), false);
}

void TGameItemCockpit::onOutSlotFunc(TEngineObject* obj, TEngineObject* data) {
    TGameItem::onOutSlotFunc(obj, data);
    SetTreeVisible(GetHex(), false);
}

void RegisterCockpitClasses() {
    RegisterGameClass(TGameItemCockpit::StaticClass());
}

} // namespace vesk
