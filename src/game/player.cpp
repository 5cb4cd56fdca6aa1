#include "game/player.h"

#include <lua.hpp>

#include <algorithm>
#include <stdexcept>

#include "core/lua_functions.h"
#include "game/ai_anchors.h"
#include "game/ai_helpers.h"
#include "game/ai_models.h"
#include "game/ai_tasks.h"
#include "game/cockpit.h"
#include "game/game_functions.h"
#include "game/game_lua.h"
#include "game/game_parts.h"
#include "game/game_text.h"
#include "game/items.h"
#include "game/loaded_data.h"
#include "game/lua_text.h"
#include "game/player_regimes.h"
#include "game/profiles.h"
#include "game/slots.h"
#include "game/turret_ai.h"
#include "physics/ai_unit.h"
#include "physics/camera_game.h"
#include "render/engine.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"
#include "shared/helpers.h"

namespace vesk {

TPlayer* Player = nullptr;

namespace {

constexpr int32_t kCockpitItemClass = 99;
// The name the engine gives the player's ship unit (the camera and the
// physics commands know the player's ship by it).
constexpr const char* kPlayerShipUnitName = "playership1";

// The items mounted in the ship's slots, and in the slots of those items.
template <class Visit> void ForEachShipItem(TBaseGameObject* owner, Visit visit) {
    ForEachChildOf(owner ? owner->FindChild("slots") : nullptr, [&](TBaseGameObject* child) {
        auto* slot = dynamic_cast<TGameSlot*>(child);
        TGameItem* item = slot ? slot->MountedItem() : nullptr;
        if (!item) return;
        visit(item);
        ForEachShipItem(item, visit);
    });
}

} // namespace

TBaseGameObject* PlayerShip() {
    return Player ? Player->GetShip() : nullptr;
}

// ---- TPlayerSelfShipControl, TPlayerShipLink -----------------------------------------------

void TPlayerSelfShipControl::setValue(int32_t v) {
    TGameObjectIntParam::setValue(v);
    auto* player = dynamic_cast<TPlayer*>(parent_);
    TBaseGameObject* ship = player ? player->GetShip() : nullptr;
    if (!ship) return;
    BaseAIUnitClass* ai = ShipAIUnit(ship);
    if (!ai) {
        FastLogAdd("TPlayerSelfShipControl: the player's ship " + GetLuaPath(ship) +
                   " has no AI unit to take the controls of");
        return;
    }
    if (v != 0)
        ai->TakePlayerControl();
    else
        ai->ReleasePlayerControl();
}

void TPlayerShipLink::setValue(TBaseGameObject* node) {
    const bool changed = node != linked_;
    TGameObjectLink::setValue(node);
    if (auto* player = dynamic_cast<TPlayer*>(parent_); changed && player) player->PlayerShipChanged();
}

// ---- TGameCockpitComponent -----------------------------------------------------------------

int TGameCockpitComponent::Execute(lua_State* L) {
    const std::string action = LuaArgText(L, 2);
    const std::string text = LuaArgText(L, 3);
    const float amount = text.empty() ? 0.0f : kws2f(text, "TGameCockpitComponent.Execute error: " + action);
    ICockpitCamera& camera = CockpitCamera();
    if (action == "up") {
        camera.RotateUp(amount);
    } else if (action == "down") {
        camera.RotateDown(amount);
    } else if (action == "left") {
        camera.RotateLeft(amount);
    } else if (action == "right") {
        camera.RotateRight(amount);
    } else if (action == "center") {
        vertical_ = horizontal_ = 0.0f;
        camera.RotateReset();
    } else {
        ErrorReport("TGameCockpitComponent.Execute error: action- \"" + action + "\"" +
                        Ru(" не используется"),
                    "mhl");
    }
    return 0;
}

void TGameCockpitComponent::AddViewOffset(float vertical, float horizontal) {
    auto clamp = [](float x) { return std::clamp(x, -1.0f, 1.0f); };
    vertical_ = clamp(vertical_ + vertical);
    horizontal_ = clamp(horizontal_ + horizontal);
    ICockpitCamera& camera = CockpitCamera();
    if (horizontal_ > 0.0f)
        camera.RotateRight(horizontal_);
    else if (horizontal_ < 0.0f)
        camera.RotateLeft(-horizontal_);
    if (vertical_ < 0.0f)
        camera.RotateDown(-vertical_);
    else if (vertical_ > 0.0f)
        camera.RotateUp(vertical_);
}

// ---- TPlayer -----------------------------------------------------------------------------------

TPlayer::~TPlayer() {
    if (Player == this) Player = nullptr;
}

TGameEvent* TPlayer::NewPlayerEvent(const char* name) {
    return NewGameObject<TGameEvent>(name, FindChild("events"));
}

void TPlayer::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    // The first player is the game's; another made by name is a plain node.
    if (!Player) Player = this;
    constexpr ParamKind S = ParamKind::String;
    constexpr ParamKind I = ParamKind::Int;
    constexpr ParamKind F = ParamKind::Sub;
    AddParams(this, {{"isCockpitMode", I}, {"curPartId", S}});
    NewGameObject<TPlayerShipLink>("ship", this);
    NewGameObject<TBaseGameObjectList>("vars", this);
    NewGameObject<TBaseGameSceneObject>("cursor", this);
    NewGameObject<TGameCockpitComponent>("cockpit", this);
    AddParams(this, {{"time", F}, {"count", F}});
    NewGameObject<TGameEventList>("events", this);
    NewGameObject<TGameObjectLink>("selected", this);
    NewGameObject<TPlayerSelfShipControl>("selfShipControl", this);
    AddParams(this, {{"subsystem", S}, {"location", S}});
    NewGameObject<TBaseGameObjectList>("loadedLocations", this)
        ->SetDefaultChildClass(&TGameObjectStringParam::StaticClass());
    AddParams(
        this,
        {{"playerShipMinSpeed", F}, {"playerShipForsageOverheat", F}, {"rocketTimer", ParamKind::Value}});
    NewGameObject<TGameObjectFreeLink>("tmpRocketTarget", this);
    NewGameObject<TBaseGameObjectList>("itemPool", this);
    AddParams(this, {{"res1", I}, {"res2", I}, {"res3", I}, {"res4", I}, {"res5", I}});
    NewGameObject<TGameStatistics>("statistics", this);
    NewGameObject<TonTick>("onTick", FindChild("events"));
    NewGameObject<TonCreated>("onCreated", FindChild("events"));
    for (const char* e : {"onChangeSelect", "onStartShooting", "onEndShooting"}) NewPlayerEvent(e);
    NewPlayerEvent("sayHelp")->SetHandler([this](TEngineObject*, TEngineObject*) { sendCommand("help"); });
    NewPlayerEvent("sayAssist")->SetHandler([this](TEngineObject*, TEngineObject*) {
        sendCommand("assist");
    });
    AddParams(this, {{"targetedBullets", I}, {"gObjsNum", I}});
    NewGameObject<TGameObjectives>("objectives", this);
}

void TPlayer::Delete() {
    if (Player == this) Player = nullptr;
    TBaseGameObjectList::Delete();
}

TBaseGameObject* TPlayer::GetShip() const {
    auto* link = CachedDynamicCast<TGameObjectLinkParam>(ShipNode());
    return link ? link->GetLinked() : nullptr;
}

TBaseGameObject* TPlayer::Selected() const {
    auto* link = CachedDynamicCast<TGameObjectLinkParam>(SelectedNode());
    return link ? link->GetLinked() : nullptr;
}

TEngineObject* TPlayer::getPShipTarget() {
    TBaseGameObject* ship = GetShip();
    if (!ship) {
        ErrorReport("TPlayer.getPShipTarget error: Player.ship=nil", "mhl");
        return nullptr;
    }
    auto* link = dynamic_cast<TGameObjectFreeLink*>(ship->FindChild("rocketTarget"));
    return link ? link->GetValue() : nullptr;
}

void TPlayer::setPShipTarget(TEngineObject* target) {
    TBaseGameObject* ship = GetShip();
    if (auto* link = ship ? dynamic_cast<TGameObjectFreeLink*>(ship->FindChild("rocketTarget")) : nullptr)
        link->setValue(target);
}

void TPlayer::SelectTarget(TEngineObject* target) {
    if (target == Selected()) return;
    auto* node = dynamic_cast<TBaseGameObject*>(target);
    if (target && !node) {
        ErrorReport("TPlayer.setFlyTarget: ( pflyObject as IEngineObject) = nil", "mhl");
        return;
    }
    if (auto* link = dynamic_cast<TGameObjectLinkParam*>(FindChild("selected"))) link->setValue(node);
    RunLua(node ? "player.selected=" + LuaQuote(GetLuaPath(node)) : std::string("player.selected=nil"));
    RunLua("updateSelectedShip()");
}

TEngineObject* TPlayer::CursorTarget() const {
    return cursorTargetId_ ? FindEngineObjectById(cursorTargetId_) : nullptr;
}

void TPlayer::SetCursorTarget(TEngineObject* target) {
    if (target == CursorTarget()) return;
    auto* node = dynamic_cast<TBaseGameObject*>(target);
    if (target && !node) {
        ErrorReport("TPlayer.setCursorTarget: ( pflyObject as IEngineObject) = nil", "mhl");
        return;
    }
    cursorTargetId_ = node ? node->GetId() : 0;
    RunLua(node ? "player.cursor=" + LuaQuote(GetLuaPath(node)) : std::string("player.cursor=nil"));
}

void TPlayer::PlayerShipChanged() {
    RunLua("updatePlayerShip()");
}

void TPlayer::AddLoadedLocation(const std::string& name) {
    TBaseGameObject* list = FindChild("loadedLocations");
    if (!list) return;
    bool there = false;
    ForEachChildOf(list, [&](TBaseGameObject* e) {
        auto* p = dynamic_cast<TGameObjectStringParam*>(e);
        there = there || (p && p->GetValue() == name);
    });
    if (!there) NewGameObject<TGameObjectStringParam>(name, list)->setValue(name);
}

void TPlayer::RemoveLoadedLocation(const std::string& name) {
    TBaseGameObject* list = FindChild("loadedLocations");
    TBaseGameObject* found = nullptr;
    ForEachChildOf(list, [&](TBaseGameObject* e) {
        auto* p = dynamic_cast<TGameObjectStringParam*>(e);
        if (!found && p && p->GetValue() == name) found = e;
    });
    if (!found) {
        ErrorReport(Ru("TPlayer.removeLoadedLocation error: попытка очистки незагруженной локации ") + name,
                    "mhl");
        return;
    }
    found->Delete();
}

namespace {

TBaseGameObject* RegimeEffect(TBaseGameObject* ship) {
    auto* so = dynamic_cast<TBaseGameSceneObject*>(ship);
    TBaseGameObject* effects = so ? so->Effects() : nullptr;
    return effects ? effects->FindChild(kRegimeEffectName) : nullptr;
}

IPlayerShipRegime* MakeRegime(TBaseGameObject* ship, const TGameClass& cls) {
    auto* so = dynamic_cast<TBaseGameSceneObject*>(ship);
    if (!so || !so->Effects()) return nullptr;
    auto* effect = dynamic_cast<TGameObjectEffect*>(NewGameObject(cls, kRegimeEffectName, so->Effects()));
    if (effect && effect->OnEnable()) {
        effect->OnEnable()->SetEventData(ship);
        effect->OnEnable()->Fire();
    }
    return dynamic_cast<IPlayerShipRegime*>(effect);
}

} // namespace

IPlayerShipRegime* TPlayer::GetShipRegime() {
    TBaseGameObject* ship = GetShip();
    if (!ship) return nullptr;
    if (auto* regime = dynamic_cast<IPlayerShipRegime*>(RegimeEffect(ship))) return regime;
    return MakeRegime(ship, TPlayerShipBaseRegime::StaticClass());
}

IPlayerShipRegime* TPlayer::SetShipRegime(const TGameClass& regime) {
    TBaseGameObject* ship = GetShip();
    TBaseGameObject* present = ship ? RegimeEffect(ship) : nullptr;
    if (!present) return nullptr;
    if (&present->GameClass() == &regime) return dynamic_cast<IPlayerShipRegime*>(present);
    present->Delete();
    return MakeRegime(ship, regime);
}

void TPlayer::sendCommand(const std::string& command) {
    if (command != "help" && command != "assist") {
        ErrorReport(Ru("TPlayer.sendCommand error: команда \"") + command + Ru("\" не поддерживается"),
                    "mhl");
        return;
    }
    if (auto* model = dynamic_cast<TGameObjectEmptyShipAIModel*>(AiModelOf(GetShip())))
        model->SendHelpRequest(command);
}

// ---- the actions ------------------------------------------------------------------------------

void TPlayer::CockpitOn(bool on) {
    ForEachShipItem(GetShip(), [on](TGameItem* item) {
        if (item->ItemClass() == kCockpitItemClass) item->FireEvent(on ? "onStartUse" : "onEndUse");
    });
    if (auto* mode = dynamic_cast<TGameObjectIntParam*>(FindChild("isCockpitMode")))
        mode->setValue(on ? 1 : 0);
}

void TPlayer::FastSave() {
    TBaseGameObject* ship = GetShip();
    if (!ship) return;
    SetShipRegime(TPlayerShipBaseRegime::StaticClass());
    ForEachShipItem(ship, [](TGameItem* item) { item->FireEvent("onEndUse"); });
    ship->UpdateToScript("playership");
}

std::string TPlayer::NewSaveId() {
    TBaseGameObject* count = FindVarByPath("playerSettings.numberSaves");
    auto* n = dynamic_cast<TGameObjectIntParam*>(count);
    return "save_" + std::to_string(n ? n->GetValue() : 0);
}

int TPlayer::Execute(lua_State* L) {
    const std::string action = LuaArgText(L, 2);
    const std::string arg = LuaArgText(L, 3);
    if (action == "cockpitOff") {
        CockpitOn(false);
    } else if (action == "cockpitOn") {
        CockpitOn(true);
    } else if (action == "save") {
        return PushDone(L, SaveGame(arg));
    } else if (action == "load") {
        return PushDone(L, LoadGame(arg));
    } else if (action == "loadCurProfile") {
        SwitchPlayerProfile(CurrentProfile());
    } else if (action == "loadProfile") {
        SwitchPlayerProfile(arg);
    } else if (action == "saveCurProfile") {
        return PushDone(L, SavePlayerProfile(CurrentProfile()));
    } else if (action == "delProfile") {
        return PushDone(L, DeletePlayerProfile(arg));
    } else if (action == "newProfile") {
        // A name that cannot be written leaves the current profile as it was.
        if (!MayWriteProfile(arg)) return PushDone(L, false);
        SwitchPlayerProfile("default");
        if (TBaseGameObject* saves = FindVarByPath("playerSettings.saves")) saves->DeleteChildren();
        const bool made = SavePlayerProfile(arg);
        if (made) RunLua("saveGameAdv(\"main\",nil,nil)");
        return PushDone(L, made);
    } else if (action == "fastSave") {
        FastSave();
    } else if (action == "getNewSaveId") {
        const std::string id = NewSaveId();
        lua_pushlstring(L, id.data(), id.size());
        return 1;
    } else {
        ErrorReport("TPlayer.Execute error: action- \"" + action + "\"" + Ru(" не используется"), "mhl");
    }
    return 0;
}

// ---- engine functions -------------------------------------------------------------------------

int engine_UpdatePlayerShip(lua_State* L) {
    return Guarded("engine_UpdatePlayerShip", L, [](lua_State*) {
        TBaseGameObject* ship = PlayerShip();
        TBaseRenderUnit* unit = UnitOf(ship);
        if (ship && !unit)
            FastLogAdd("engine_UpdatePlayerShip: the player's ship " + GetLuaPath(ship) +
                       " has no unit in the scene yet");
        if (Engine) Engine->SetPlayerShip(unit);
        if (!unit) return 0;
        unit->SetName(kPlayerShipUnitName);
        IRenderUnitAI* ai = nullptr;
        if (TGameCamera* camera = GameCamera(); camera && unit->GetBPU(ai)) camera->SetDefaultObject(unit);
        return 0;
    });
}

int engine_UpdateSelectedShip(lua_State* L) {
    return Guarded("engine_UpdateSelectedShip", L, [](lua_State*) {
        if (!Player) return 0;
        std::string path;
        GameReadLua("type(player) == 'table' and player.selected or nil", path);
        TBaseGameObject* target = path.empty() ? nullptr : FindVarByPath(path);
        if (!path.empty() && !target)
            FastLogAdd("engine_UpdateSelectedShip: player.selected names no object: " + path);
        Player->SelectTarget(target);
        return 0;
    });
}

int engine_SetCursorObj(lua_State* L) {
    return Guarded("engine_SetCursorObj", L, [](lua_State* L) {
        if (!Player) return 0;
        // The object under the cursor, by its hex id ("0" for none) or by its path.
        const std::string arg = LuaArgText(L, 1);
        int32_t id = 0;
        TEngineObject* target = nullptr;
        if (TryParseInt32(arg, id))
            target = ObjectFromHexText(arg, "engine_SetCursorObj error:");
        else if (!arg.empty())
            target = FindVarByPath(arg);
        Player->SetCursorTarget(target);
        return 0;
    });
}

void RegisterAiAndPlayerClasses() {
    for (const TGameClass* cls : {&TPlayer::StaticClass(), &TPlayerSelfShipControl::StaticClass(),
                                  &TPlayerShipLink::StaticClass(), &TGameCockpitComponent::StaticClass()})
        RegisterGameClass(*cls);
    RegisterRegimeClasses();
    RegisterCockpitClasses();
    RegisterAiAnchorClasses();
    RegisterAiModelClasses();
    RegisterAiTaskClasses();
    RegisterTurretClasses();
    RegisterLoadedDataClasses();
}

void RegisterPlayerFunctions() {
    SetEngineFunction("engine_UpdatePlayerShip", engine_UpdatePlayerShip);
    SetEngineFunction("engine_UpdateSelectedShip", engine_UpdateSelectedShip);
    SetEngineFunction("engine_SetCursorObj", engine_SetCursorObj);
}

void CreatePlayer(TBaseGameObject* root) {
    if (root && !root->FindChild("player")) NewGameObject<TPlayer>("player", root);
}

} // namespace vesk
