#pragma once
// The weapon panel: keeps the HUD's gun, rocket and item places in step with
// what the player's ship carries in its slots, and selects, switches, fires
// and uses them for the scripts.
#include <array>
#include <string>

#include "interface/hud_world.h"

namespace vesk {

class TDeskTop;
class TMegaButton;

class TGunController {
public:
    static constexpr int kSlots = 5;
    static constexpr int kItemPlaces = 4;

    explicit TGunController(TDeskTop* desktop) : desktop_(desktop) {}

    // Binds the panel's controls and resets the state.
    void Bind();
    // Refills the panel from the player's ship.
    void Update();

    // GUNENGINE RESET: every slot off, no selections, then rocket 0 and gun 0.
    void Reset();
    void SelectGun(int index);
    void SwitchGun(int index);
    void ShootOn();
    void ShootOff();
    void RevolveGuns();
    // Exactly the guns of the group are on.
    void Preset(int group);
    void SwitchRocket(int index);
    void SelectRocket(int index);
    void RevolveRockets();
    void LaunchRocket();
    // Uses the item shown in the item places (or stops using it).
    void UseSlot();

    int GunCount() const { return gunCount_; }
    int RocketCount() const { return rocketCount_; }
    int SelectedGun() const { return selectedGun_; }
    int SelectedRocket() const { return selectedRocket_; }
    int ItemIndex() const { return itemIndex_; }
    bool Shooting() const { return shooting_; }
    bool GunMarked(int i) const { return guns_[static_cast<size_t>(i)].on; }
    bool RocketMarked(int i) const { return rockets_[static_cast<size_t>(i)].on; }
    int GunBarColourValue(int i) const { return guns_[static_cast<size_t>(i)].barColourValue; }
    int RocketBarColourValue(int i) const { return rockets_[static_cast<size_t>(i)].barColourValue; }
    TEngineObject* Gun(int i) const { return guns_[static_cast<size_t>(i)].object.Get(); }
    TEngineObject* Rocket(int i) const { return rockets_[static_cast<size_t>(i)].object.Get(); }
    TEngineObject* Item() const;

private:
    struct Entry {
        TObjRef<TMegaButton> control, bar;
        TObjRef<TEngineObject> object;
        float reload = 0, second = 0;
        bool enabled = false;
        bool on = false; // the slot's mark
        int fullWidth = 0;
        int baseTop = 0;
        // The bar's colour value (0..100) and the bar's own colour, which the
        // value brightens towards white.
        int barColourValue = 0;
        uint32_t barColour = 0;
    };
    struct ItemPlace {
        TObjRef<TMegaButton> control, counter;
    };

    void Walk(TEngineObject* holder, bool& gunOverflow, bool& rocketOverflow);
    void Fill(Entry& e, TEngineObject* object, bool gun);
    static void SetBarColourValue(Entry& e, int value);
    // The item's "on": enabled (it takes part when the ship shoots) or not.
    static void Activate(TEngineObject* item, bool on);
    void SetGun(int i, bool on);
    bool InFlight() const;

    TDeskTop* desktop_;
    TObjRef<TMegaButton> weaponOn_, weaponOff_;
    std::array<Entry, kSlots> guns_, rockets_;
    int gunCount_ = 0, rocketCount_ = 0;
    std::array<ItemPlace, kItemPlaces> items_;
    TObjRef<TEngineObject> item_;
    int itemIndex_ = -1;
    std::array<std::array<bool, kSlots>, kSlots> groups_{};
    int selectedGun_ = -1, selectedRocket_ = -1;
    bool shooting_ = false;
};

} // namespace vesk
