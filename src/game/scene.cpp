#include "game/scene.h"

#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "game/camera_tracks.h"
#include "game/events.h"
#include "game/game_ini_table.h"
#include "game/game_text.h"
#include "game/params.h"
#include "game/player.h"
#include "game/world_link.h"
#include "physics/camera_game.h"
#include "render/helpers.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "world/locations.h"

#include <algorithm>

namespace vesk {

namespace {

void Run(const std::string& text) {
    if (LuaMachine) LuaMachine->RunString(text);
}

// Runs the text only when the Lua value named by guard exists.
void RunIf(const std::string& text, const std::string& guard) {
    if (LuaMachine) LuaMachine->RunString(text, guard);
}

std::string Q(const std::string& text) {
    return LuaQuote(text);
}

template <class T> T* Child(const TBaseGameObject* node, const char* name) {
    return node ? dynamic_cast<T*>(const_cast<TBaseGameObject*>(node)->FindChild(name)) : nullptr;
}

int32_t IntOf(const TBaseGameObject* node, const char* name) {
    auto* p = Child<TGameObjectIntParam>(node, name);
    return p ? p->GetValue() : 0;
}

std::string TextOf(const TBaseGameObject* node, const char* name) {
    TBaseGameObject* p = node ? const_cast<TBaseGameObject*>(node)->FindChild(name) : nullptr;
    std::string text;
    if (p) p->stringValue(text);
    return text;
}

// The children of a node in list order.
std::vector<TBaseGameObject*> ChildrenOf(TBaseGameObject* node) {
    std::vector<TBaseGameObject*> out;
    if (!node) return out;
    int32_t cursor;
    TBaseGameObject* child;
    node->First(cursor);
    while (node->Next(cursor, child))
        if (child) out.push_back(child);
    return out;
}

TGameObjectMethodParam* Method(const char* name, TBaseGameObject* owner, void (*code)(void*)) {
    auto* m = NewGameObject<TGameObjectMethodParam>(name, owner);
    m->setValue(code, owner);
    return m;
}

TBaseRenderUnit* ShipUnit() {
    TBaseGameObject* ship = scene_player::Ship();
    auto* hex = Child<TGameObjectFreeLink>(ship, "hex");
    return hex ? dynamic_cast<TBaseRenderUnit*>(hex->GetValue()) : nullptr;
}

// The camera follows no object and plays no shot of its own.
void ResetPlayerCamera() {
    if (TGameCamera* c = GameCamera()) {
        c->StopCutScene();
        c->StopObjView();
    }
}

void SetBaseRegime() {
    const TGameClass* base = FindGameClassQuiet("TPlayerShipBaseRegime");
    if (auto* player = dynamic_cast<TPlayer*>(scene_player::Player()); player && base) {
        player->SetShipRegime(*base);
        return;
    }
    // A player of the scripts' own: the regime is the effect "pshipRegime" of the ship.
    TBaseGameObject* ship = scene_player::Ship();
    TBaseGameObject* effects = ship ? ship->FindChild("effects") : nullptr;
    TBaseGameObject* regime = effects ? effects->FindChild("pshipRegime") : nullptr;
    if (!regime || !base || &regime->GameClass() == base) return;
    regime->Delete();
    NewGameObject(*base, "pshipRegime", effects);
}

} // namespace

SceneInterfaceLinks& GetSceneInterfaceLinks() {
    static SceneInterfaceLinks links;
    return links;
}

// ---- the player ------------------------------------------------------------------------------------

namespace scene_player {

TBaseGameObject* Player() {
    return GlobalObjects ? GlobalObjects->Player() : nullptr;
}

TBaseGameObject* Ship() {
    if (auto* player = dynamic_cast<TPlayer*>(Player())) return player->GetShip();
    if (auto* link = Child<TGameObjectLinkParam>(Player(), "ship")) return link->GetLinked();
    auto* free = Child<TGameObjectFreeLink>(Player(), "ship");
    return free ? dynamic_cast<TBaseGameObject*>(free->GetValue()) : nullptr;
}

void SetSelfShipControl(bool on) {
    if (auto* p = Child<TGameObjectIntParam>(Player(), "selfShipControl")) p->setValue(on ? 1 : 0);
}

std::vector<std::string> LoadedLocations() {
    std::vector<std::string> out;
    for (TBaseGameObject* e : ChildrenOf(Player() ? Player()->FindChild("loadedLocations") : nullptr)) {
        std::string v;
        e->stringValue(v);
        out.push_back(v);
    }
    return out;
}

void AddLoadedLocation(const std::string& name) {
    if (auto* player = dynamic_cast<TPlayer*>(Player())) return player->AddLoadedLocation(name);
    TBaseGameObject* list = Player() ? Player()->FindChild("loadedLocations") : nullptr;
    if (!list) return;
    for (const std::string& v : LoadedLocations())
        if (v == name) return;
    NewGameObject<TGameObjectStringParam>(name, list)->setValue(name);
}

void RemoveLoadedLocation(const std::string& name) {
    if (auto* player = dynamic_cast<TPlayer*>(Player())) return player->RemoveLoadedLocation(name);
    TBaseGameObject* list = Player() ? Player()->FindChild("loadedLocations") : nullptr;
    if (!list) return;
    for (TBaseGameObject* e : ChildrenOf(list)) {
        std::string v;
        e->stringValue(v);
        if (v != name) continue;
        e->Delete();
        return;
    }
    ErrorReport(Ru("TPlayer.removeLoadedLocation error: попытка очистки незагруженной локации ") + name,
                "mhl");
}

} // namespace scene_player

// ---- helper lists, minimap, scene ------------------------------------------------------------------

void TGameHelperList::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    for (const char* list : {"gen", "trigger", "anchor", "mesh"})
        NewGameObject<TBaseGameObjectList>(list, this);
}

std::vector<std::pair<std::string, std::string>> TGameHelperList::Entries(const std::string& list) const {
    std::vector<std::pair<std::string, std::string>> out;
    for (TBaseGameObject* c : ChildrenOf(const_cast<TGameHelperList*>(this)->FindChild(list))) {
        if (&c->GameClass() != &TBaseGameObjectList::StaticClass()) {
            out.emplace_back(c->GetName(), c->GetName());
            continue;
        }
        for (TBaseGameObject* g : ChildrenOf(c)) out.emplace_back(c->GetName() + g->GetName(), c->GetName());
    }
    return out;
}

void TGameMinimap::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    NewGameObject<TGameObjectStringParam>("image", this);
    NewGameObject<TGameObjectIntParam>("dx", this);
    NewGameObject<TGameObjectIntParam>("dy", this);
    NewGameObject<TGameObjectSubParam>("angle", this);
    NewGameObject<TGameObjectSubParam>("scale", this)->setValue(1000.0f);
}

void TGameScene::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    SetDefaultChildClass(&TGameSubsystem::StaticClass());
}

// ---- subsystems ----------------------------------------------------------------------------------

void TGameSubsystem::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    Method("load", this, [](void* s) { static_cast<TGameSubsystem*>(s)->LoadFunc(); });
    Method("unload", this, [](void* s) { static_cast<TGameSubsystem*>(s)->UnloadFunc(); });
    NewGameObject<TBaseGameObjectList>("locations", this)
        ->SetDefaultChildClass(&TGameLocation::StaticClass());
    NewGameObject<TGameHelperList>("helpers", this);
    NewGameObject<TGameObjectStringParam>("mesh", this);
    NewGameObject<TGameObjectIntParam>("isInstation", this);
    NewGameObject<TGameObjectIntParam>("isBackgroundRoot", this);
    NewGameObject<TGameObjectIntParam>("isBackgroundCredits", this);
    NewGameObject<TonLoad>("onLoad", this);
    NewGameObject<TGameMinimap>("minimap", this);
}

TBaseGameObject* TGameSubsystem::FindChildOf(const char* name) const {
    return const_cast<TGameSubsystem*>(this)->FindChild(name);
}

TGameHelperList* TGameSubsystem::Helpers() const {
    return dynamic_cast<TGameHelperList*>(FindChildOf("helpers"));
}

int32_t TGameSubsystem::Flag(const char* name) const {
    return IntOf(this, name);
}

std::string TGameSubsystem::Text(const char* name) const {
    return TextOf(this, name);
}

void TGameSubsystem::ShowMinimap() const {
    const auto& links = GetSceneInterfaceLinks();
    if (!links.setMinimap) return;
    TBaseGameObject* m = FindChildOf("minimap");
    auto* angle = Child<TGameObjectSubParam>(m, "angle");
    auto* scale = Child<TGameObjectSubParam>(m, "scale");
    links.setMinimap(TextOf(m, "image"), IntOf(m, "dx"), IntOf(m, "dy"),
                     angle ? static_cast<int>(angle->GetValue()) : 0,
                     scale ? static_cast<int>(scale->GetValue()) : 1000);
}

void TGameSubsystem::LoadFunc() {
    const std::string sub = GetName();
    // A new system: the player's ship leaves the old one bare.
    scene_player::SetSelfShipControl(false);
    if (TBaseGameObject* ship = scene_player::Ship()) {
        if (TBaseGameObject* effects = ship->FindChild("effects")) effects->DeleteChildren();
        for (TBaseGameObject* slot : ChildrenOf(ship->FindChild("slots")))
            if (auto* item = Child<TGameObjectLinkParam>(slot, "item"); item && item->GetLinked())
                item->setValue(nullptr);
    }
    if (auto* player = dynamic_cast<TPlayer*>(scene_player::Player()))
        player->PlayerShipChanged();
    else
        RunIf("updatePlayerShip()", "updatePlayerShip");
    ResetPlayerCamera();
    if (const auto& reset = GetSceneInterfaceLinks().resetTacticMap) reset();
    ShowMinimap();
    RefreshLoadingBar();
    RefreshLoadingBar();

    if (auto* p = Child<TGameObjectStringParam>(scene_player::Player(), "subsystem")) p->setValue(sub);
    Run("player.subsystem=" + Q(sub));
    GetLuaStringDef("(paths and paths.locations)", "paths.locations.." + Q(sub), "");
    RefreshLoadingBar();
    RefreshLoadingBar();
    Run("engine_CreatePlanetSystem(" + Q(Text("mesh")) + ")");
    RefreshLoadingBar();
    Run("updateLocSpheres(" + Q(sub) + ")");
    RefreshLoadingBar();
    Run("updateGlobalHelpers(" + Q(sub) + ")");
    RefreshLoadingBar();
    Run("addTrigger({id=\"Scene\",max_name=\"model:player\"})");
    RefreshLoadingBar();

    if (GameIniTable && GameIniTable->GetInt("loadGlobalObjects") == 1)
        if (TGameHelperList* helpers = Helpers())
            for (const auto& [id, model] : helpers->Entries("mesh"))
                Run("createGlobalObj({id=" + Q(id) + ",class=\"planet\",spacemodel=" + Q(model) +
                    ",max_name=" + Q("mesh:" + id) + ",selectable=0,indestructable=3})");
    RefreshLoadingBar();

    const std::vector<std::string> loaded = scene_player::LoadedLocations();
    for (TBaseGameObject* c : ChildrenOf(Locations())) {
        auto* loc = dynamic_cast<TGameLocation*>(c);
        if (!loc) continue;
        const bool wanted = loaded.empty()
                                ? loc->IntValue("loaded") == 1
                                : std::find(loaded.begin(), loaded.end(), loc->GetName()) != loaded.end();
        // A location the player's list leaves out is not loaded, whatever its data
        // said: still marked loaded, the subsystem's unload would unload it again.
        if (!wanted) {
            if (!loaded.empty()) loc->SetIntValue("loaded", 0);
            continue;
        }
        loc->SetIntValue("loaded", 0);
        loc->LoadFunc();
    }
    RefreshLoadingBar();
    Run("addPlayerShip()");
}

void TGameSubsystem::UnloadFunc() {
    SetBaseRegime();
    for (TBaseGameObject* c : ChildrenOf(Locations()))
        if (auto* loc = dynamic_cast<TGameLocation*>(c); loc && loc->IntValue("loaded") == 1)
            loc->UnloadFunc();
}

// ---- locations ----------------------------------------------------------------------------------

void TGameLocation::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    events_ = NewGameObject<TGameEventList>("events", this);
    onLoad_ = NewGameObject<TonLoad>("onLoad", events_);
    onLoad_->SetHandler([this](TEngineObject*, TEngineObject*) { onLoadFunc(); });
    for (const char* s : {"name", "description", "mesh", "helper"})
        NewGameObject<TGameObjectStringParam>(s, this);
    NewGameObject<TGameObjectIntParam>("loaded", this);
    for (const char* s : {"hex", "helperHex"}) NewGameObject<TGameObjectStringParam>(s, this);
    NewGameObject<TGameObjectSubParam>("radius", this);
    for (const char* s : {"subsystem", "saveFileName"}) NewGameObject<TGameObjectStringParam>(s, this);
    Method("load", this, [](void* l) { static_cast<TGameLocation*>(l)->LoadFunc(); });
    Method("unload", this, [](void* l) { static_cast<TGameLocation*>(l)->UnloadFunc(); });
    Method("beginLoad", this, [](void* l) { static_cast<TGameLocation*>(l)->BeginLoadFunc(); });
    NewGameObject<TGameHelperList>("helpers", this);
    NewGameObject<TGameObjectIntParam>("isCutScene", this);
    NewGameObject<TGameObjectIntParam>("isNormalLocation", this);
    NewGameObject<TGameObjectStringParam>("subtitles", this);
}

void TGameLocation::ChildLeft(TBaseGameObject* child) {
    TBaseGameObjectList::ChildLeft(child);
    if (child == events_) {
        events_ = nullptr;
        onLoad_ = nullptr;
    }
}

TGameSubsystem* TGameLocation::Subsystem() const {
    return parent_ ? dynamic_cast<TGameSubsystem*>(parent_->GetParent()) : nullptr;
}

int32_t TGameLocation::IntValue(const char* name) const {
    return IntOf(this, name);
}

void TGameLocation::SetIntValue(const char* name, int32_t value) {
    if (auto* p = Child<TGameObjectIntParam>(this, name)) p->setValue(value);
}

std::string TGameLocation::Text(const char* name) const {
    return TextOf(this, name);
}

void TGameLocation::SetText(const char* name, const std::string& value) {
    if (auto* p = Child<TGameObjectStringParam>(this, name)) p->setValue(value);
}

void TGameLocation::BeginLoadFunc() {
    TGameSubsystem* sub = Subsystem();
    if (sub && (sub->Flag("isInstation") == 1 || sub->Flag("isBackgroundRoot") == 1 ||
                sub->Flag("isBackgroundCredits") == 1))
        return;
    const std::string call = "realLoadLocation(" + Q(GetName()) + ")";
    if (IntValue("isCutScene") == 1)
        Run("toBlack( [[" + call + "]] )");
    else if (IntValue("isNormalLocation") == 1)
        Run(call);
    else
        LoadFunc();
}

void TGameLocation::LoadFunc() {
    if (IntValue("loaded") == 1)
        FastLogAdd(Ru("TGameLocation.LoadFunc error: попытка повторной загрузки локации ") +
                   GetLuaPath(this));
    const std::string loc = GetName();
    TGameSubsystem* subsystem = Subsystem();
    const std::string sub = subsystem ? subsystem->GetName() : std::string();
    SetIntValue("loaded", 1);
    SetText("helper", "location:" + loc);
    SetText("hex", GetLuaString("engine_LoadLocation(" + Q(Text("mesh")) + ")", false));
    RefreshLoadingBar();
    Run("loadLocationFiles(" + Q(loc) + ")");
    RefreshLoadingBar();
    Run("engine_AssignLocationToUHelper(" + Q(Text("hex")) + "," + Q(Text("helper")) + ")");
    RefreshLoadingBar();
    Run("updateLocalHelpers(" + Q(sub) + "," + Q(loc) + "," + Q(Text("hex")) + ")");
    RefreshLoadingBar();

    if (auto* helpers = Child<TGameHelperList>(this, "helpers")) {
        const std::string at = ",location=" + Q(loc);
        for (const auto& [id, model] : helpers->Entries("mesh"))
            Run("CreateObj({id=" + Q(id) + ",class=\"scenic\",spacemodel=" + Q(model) +
                ",max_name=" + Q("mesh:" + id) + at + ",selectable=0,fract_cost=0,indestructable=3})");
        for (const auto& [id, cls] : helpers->Entries("gen"))
            Run("CreateObj({id=" + Q(id) + ",class=" + Q(cls) + ",max_name=" + Q("gen:" + id) + at + "})");
        for (const auto& [id, group] : helpers->Entries("trigger"))
            Run("addTrigger({SOClass=12,id=" + Q(id) + ",max_name=" + Q("trigger:" + id) + at + "})");
        for (const auto& [id, group] : helpers->Entries("anchor"))
            Run("addTrigger({SOClass=13,id=" + Q(id) + ",max_name=" + Q("anchor:" + id) + at + "})");
    }
    scene_player::AddLoadedLocation(loc);
    if (onLoad_) onLoad_->Activate();
}

void TGameLocation::onLoadFunc() {
    ResetPlayerCamera();
    Run(" engine_Execute(\"cameraPlayer\",\"newTrack\",\"track2\");");
    TGameSubsystem* sub = Subsystem();
    TBaseRenderUnit* shipUnit = ShipUnit();
    if (sub && sub->Flag("isInstation") == 1) {
        if (TGameCamera* c = GameCamera(); c && shipUnit) c->StartObjView(shipUnit, 90.0f, 300.0f, 400.0f);
    } else if (sub && (sub->Flag("isBackgroundRoot") == 1 || sub->Flag("isBackgroundCredits") == 1)) {
        scene_player::SetSelfShipControl(false);
    } else if (IntValue("isCutScene") == 1) {
        Run("toBlack(\"toWideScreen()\",{NoMute=1})");
        Run("iSubtitles:Start( paths.data.." + Q(Text("subtitles")) + " )");
    } else if (IntValue("isNormalLocation") == 1) {
        ResetPlayerCamera();
        if (TGameCamera* c = GameCamera(); c && shipUnit) c->SetDefaultObject(shipUnit);
        Run(" camera.fluctuation() ");
        scene_player::SetSelfShipControl(true);
        if (sub) sub->ShowMinimap();
    }
    // The player's ship starts where the location says.
    if (TBaseGameObject* ship = scene_player::Ship(); ship && shipUnit) {
        int32_t id = 0;
        TryParseInt32(Text("hex"), id);
        UniHelperClass* start = nullptr;
        if (auto* unit = dynamic_cast<TBaseRenderUnit*>(FindEngineObjectById(id));
            unit && unit->FindUHelper("mission:start", start))
            Run("engine_PhCommand(" + Q(GetLuaPath(ship)) + ",\"teleport\",\"\"," + Q(start->GetHex()) + ")");
    }
    if (TBaseGameObject* objects = GlobalObjects ? GlobalObjects->FindChild("obj") : nullptr)
        if (TBaseGameObject* scene = objects->FindChild("Scene")) {
            scene->Delete();
            Run("addTrigger({id=\"Scene\",max_name=\"model:player\"})");
        }
    const std::string loc = "loc." + GetName();
    RunIf(loc + "_npc()", "(loc and " + loc + "_npc)");
    RunIf(loc + "_startscript()", "(loc and " + loc + "_startscript)");
    if (sub)
        if (auto* e = dynamic_cast<TGameEvent*>(sub->FindChild("onLoad"))) e->Activate();
}

void TGameLocation::UnloadFunc() {
    if (IntValue("loaded") == 0) {
        FastLogAdd(Ru("TGameLocation.UnloadFunc error: попытка выгрузки незагруженной локации ") +
                   GetLuaPath(this));
        return;
    }
    SetIntValue("loaded", 0);
    const std::string loc = GetName();
    TBaseGameObject* ship = scene_player::Ship();
    if (TBaseGameObject* objects = GlobalObjects ? GlobalObjects->FindChild("obj") : nullptr)
        for (TBaseGameObject* o : ChildrenOf(objects))
            if (o != ship && !o->IsDeleted() && TextOf(o, "location") == loc) o->Delete();
    // The location's own unit goes too: loaded again, it is made again.
    int32_t id = 0;
    if (TryParseInt32(Text("hex"), id))
        if (auto* unit = dynamic_cast<WELocationClass*>(FindEngineObjectById(id))) unit->Kill();
    SetText("hex", "");
    if (scene_player::Player()) scene_player::RemoveLoadedLocation(loc);
    // Camera tracks are flown through the location they were made in.
    if (auto* tracks =
            GlobalObjects ? dynamic_cast<TCameraPlayer*>(GlobalObjects->FindChild("cameraPlayer")) : nullptr)
        tracks->Reset();
}

// ---- registration ---------------------------------------------------------------------------------

void RegisterSceneClasses() {
    RegisterGameClass(TGameScene::StaticClass());
    RegisterGameClass(TGameSubsystem::StaticClass());
    RegisterGameClass(TGameLocation::StaticClass());
    RegisterGameClass(TGameHelperList::StaticClass());
    RegisterGameClass(TGameMinimap::StaticClass());
}

void CreateGameScene(TBaseGameObject* root) {
    if (root && !root->FindChild("scene")) NewGameObject<TGameScene>("scene", root);
}

} // namespace vesk
