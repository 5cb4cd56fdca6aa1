#include "interface/service_router.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/application.h"
#include "core/lua_functions.h"
#include "game/params.h"
#include "game/player_regimes.h"
#include "interface/desktop.h"
#include "interface/gun_controller.h"
#include "interface/hud_markers.h"
#include "interface/hud_nodes.h"
#include "interface/hud_world.h"
#include "interface/interface_tools.h"
#include "interface/radar.h"
#include "interface/ship_controller.h"
#include "physics/ai_unit.h"
#include "physics/camera_game.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

constexpr size_t kMaxArgs = 101;

// A word the handler does not know: the call's fault report follows.
struct ServFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Upper(const std::string& s) {
    return platform::UpperCaseCp1251(s);
}

// Plain conversion: a text that is no number fails the call.
int ToInt(const std::string& s) {
    int32_t v = 0;
    if (!TryParseInt32(s, v)) throw std::invalid_argument("'" + s + "' is not a valid integer value");
    return v;
}

// A float; an empty text is 0.
float ToFloat(const std::string& s) {
    if (s.empty()) return 0.0f;
    double v = 0;
    if (!TryParseFloatVal(s, v))
        throw std::invalid_argument("'" + s + "' is not a valid floating point value");
    return static_cast<float>(v);
}

// An integer, 0 for a text that is no number.
int IntOrZero(const std::string& s) {
    int32_t v = 0;
    return TryParseInt32(s, v) ? v : 0;
}

class Call {
public:
    explicit Call(const std::vector<std::string>& args) : args_(args) {
        args_.resize(std::max<size_t>(args_.size(), 2));
        args_[0] = Upper(args_[0]);
        args_[1] = Upper(args_[1]);
    }
    const std::string& Service() const { return args_[0]; }
    const std::string& Command() const { return args_[1]; }
    // Parameter n (1-based): "" when the call did not pass it.
    std::string P(size_t n) const { return n + 1 < args_.size() ? args_[n + 1] : std::string(); }
    std::string UpperP(size_t n) const { return Upper(P(n)); }
    size_t Count() const { return count_; }
    void SetCount(size_t n) { count_ = n; }
    std::vector<std::string> results;

private:
    std::vector<std::string> args_;
    size_t count_ = 0;
};

TDeskTop* Desktop() {
    return InterfaceTools ? dynamic_cast<TDeskTop*>(InterfaceTools->Desktop()) : nullptr;
}

// A part of the HUD the call needs; its absence is a fault of the content.
template <class T> T& Need(T* part, const char* what) {
    if (!part) throw std::runtime_error(std::string("no ") + what);
    return *part;
}

TDeskTop& Desk() {
    return Need(Desktop(), "desktop");
}

TShipController& Ship() {
    return Need(ShipController.get(), "ship controller");
}

// ---- the services ------------------------------------------------------------------------

void Physics(Call& c) {
    const std::string& cmd = c.Command();
    if (cmd != "SHIP" && cmd != "COCKPITCAMERA") throw ServFault("incorrect command (" + cmd + ")");
    const std::string method = c.UpperP(1);
    BaseAIUnitClass* ai = HudShipAI(HudPlayerShip());
    auto strafe = [&]() {
        if (method == "STRAFERIGHT") {
            if (ai) ai->StrafeRight();
        } else if (method == "STRAFELEFT") {
            if (ai) ai->StrafeLeft();
        } else if (method == "STRAFESTOP") {
            if (ai) ai->StrafeStop();
        } else {
            return false;
        }
        return true;
    };
    if (cmd == "SHIP") {
        if (method == "ROTATELEFT") {
            const float f = ToFloat(c.P(2));
            if (ai) ai->RotateLeft(f);
        } else if (method == "ROTATERIGHT") {
            const float f = ToFloat(c.P(2));
            if (ai) ai->RotateRight(f);
        } else if (method == "TURNRIGHT") {
            if (ai) ai->TurnRight();
        } else if (method == "TURNLEFT") {
            if (ai) ai->TurnLeft();
        } else if (method == "STOPROTATE") {
            if (ai) ai->StopRotate();
        } else if (!strafe()) {
            throw ServFault("incorrect method (" + method + ")");
        }
        return;
    }
    TGameCamera* camera = GameCamera();
    if (method == "ROTATELEFT") {
        if (camera) camera->CockpitRotateLeft(1.0f);
    } else if (method == "ROTATERIGHT") {
        if (camera) camera->CockpitRotateRight(1.0f);
    } else if (method == "ROTATEUP") {
        if (camera) camera->CockpitRotateUp(1.0f);
    } else if (method == "ROTATEDOWN") {
        if (camera) camera->CockpitRotateDown(1.0f);
    } else if (method == "ROTATERESET") {
        if (camera) camera->CockpitRotateReset();
    } else if (!strafe()) {
        throw ServFault("incorrect method (" + method + ")");
    }
}

// Runs a method parameter of the player's ship; a ship without it is left alone.
void ShipMethod(const char* name) {
    TBaseGameObject* ship = HudPlayerShip();
    if (!ship) return;
    if (!HudFireEvent(ship, name))
        if (auto* m = dynamic_cast<TGameObjectMethodParam*>(ship->FindChild(name))) m->Execute(nullptr);
}

// The regime the player's ship switches to: a word, or the next in turn
// (attack to defence, defence to base, any other to attack).
std::string RegimeClass(const std::string& word) {
    if (word == "ATTACK") return TPlayerShipAttackRegime::StaticClass().name;
    if (word == "DEFEND") return TPlayerShipDefenceRegime::StaticClass().name;
    if (word == "NORMAL") return TPlayerShipBaseRegime::StaticClass().name;
    const std::string cls = HudShipRegime();
    if (cls == TPlayerShipAttackRegime::StaticClass().name)
        return TPlayerShipDefenceRegime::StaticClass().name;
    if (cls == TPlayerShipDefenceRegime::StaticClass().name) return TPlayerShipBaseRegime::StaticClass().name;
    return TPlayerShipAttackRegime::StaticClass().name;
}

void ShipService(Call& c) {
    const std::string& cmd = c.Command();
    const std::string p1 = c.UpperP(1);
    if (cmd == "SPEED") {
        TShipController& s = Ship();
        if (p1 == "UP")
            s.SpeedUp();
        else if (p1 == "DOWN")
            s.SpeedDown();
        else if (p1 == "MIN")
            s.SpeedMin();
        else if (p1 == "MAX")
            s.SpeedMax();
        else if (p1 == "NORM")
            s.SpeedNorm();
        else if (p1 == "SET")
            s.SetSpeed(ToInt(c.P(2)));
        else
            throw ServFault("incorrect parameter (" + p1 + ")");
    } else if (cmd == "FORCING") {
        if (p1 == "ON")
            ShipMethod("startForsage");
        else if (p1 == "OFF")
            ShipMethod("endForsage");
        else
            throw ServFault("incorrect parameter");
    } else if (cmd == "MODE") {
        if (p1 == "TURN" || p1 == "ATTACK" || p1 == "DEFEND" || p1 == "NORMAL")
            HudSetShipRegime(RegimeClass(p1));
        else
            throw ServFault("incorrect param (" + p1 + ")");
    } else {
        throw ServFault("incorrect command (" + cmd + ")");
    }
}

void RadarService(Call& c) {
    if (c.Command() != "ADD") throw ServFault("incorrect command (" + c.Command() + ")");
    Need(Desk().Radar(), "radar").AddMarker(c.P(1), c.P(2), "TRadarNode");
}

void HelperService(Call& c) {
    if (c.Command() != "ADD") throw ServFault("incorrect command (" + c.Command() + ")");
    struct Kind {
        const char* word;
        TAHLayer::TKind kind;
        const char* radarPattern; // nullptr: no radar marker
    };
    static const Kind kKinds[] = {
        {"ENEMY", TAHLayer::kEnemy, "RadarLabel_enemy"},
        {"ENEMYROCKET", TAHLayer::kEnemyRocket, nullptr},
        {"FRIEND", TAHLayer::kFriend, "RadarLabel_friend"},
        {"NEUTRAL", TAHLayer::kNeutral, nullptr},
        {"WAYPOINT", TAHLayer::kWaypoint, "RadarLabel_Waypoint"},
        {"WAYPOINTONSHIP", TAHLayer::kWaypointOnShip, "RadarLabel_ShipWaypoint"},
        {"FRIENDMINE", TAHLayer::kFriendMine, nullptr},
    };
    const std::string kind = c.UpperP(1);
    const auto k =
        std::find_if(std::begin(kKinds), std::end(kKinds), [&](const Kind& x) { return kind == x.word; });
    if (k == std::end(kKinds)) throw ServFault("incorrect helper type (" + kind + ")");
    TDeskTop& d = Desk();
    TEngineObject* object = HudObjectFromHex(c.P(2), "TAHLayer.AddHelper");
    if (!object) return;
    Need(d.MarkerLayers(), "marker layers").AddHelper(k->kind, object);
    if (k->radarPattern)
        Need(d.Radar(), "radar")
            .AddMarker(k->radarPattern, c.P(2), "TRadarNode", k->kind == TAHLayer::kWaypointOnShip);
}

void MapService(Call& c) {
    const std::string& cmd = c.Command();
    TMap& map = Need(Desk().Map(), "map");
    if (cmd == "ADD")
        map.AddMarker(c.P(1), c.P(2), c.P(3), IntOrZero(c.P(4)), IntOrZero(c.P(5)));
    else if (cmd == "DEL")
        map.DelMarker(c.P(1));
    else if (cmd == "SET")
        map.SetMap(c.P(1), ToInt(c.P(2)), ToInt(c.P(3)), ToInt(c.P(4)), ToInt(c.P(5)));
    else
        throw ServFault("incorrect command (" + cmd + ")");
}

// The regeneration of a layer of the player's ship stops and it loses a tenth.
void Weaken(const char* layer) {
    TGameObjectParam* p = HudParam(HudPlayerShip(), layer);
    if (!p || !p->Cur() || !p->Max()) return;
    if (p->Speed()) p->Speed()->setValue(0.0f);
    p->Cur()->setValue(p->Cur()->GetValue() - p->Max()->GetValue() / 10.0f);
}

void DebugService(Call& c) {
    const std::string& cmd = c.Command();
    if (cmd == "SHOW") {
    } else if (cmd == "SHOWSOUNDDATA") {
        Desk().SetSoundDataFlag(true);
    } else if (cmd == "HIDESOUNDDATA") {
        Desk().SetSoundDataFlag(false);
    } else if (cmd == "REFRESHTITS") {
        if (InterfaceTools) InterfaceTools->UpdateTextureMemory();
    } else if (cmd == "DECARMOR") {
        Weaken("armor");
    } else if (cmd == "DECSHIELD") {
        Weaken("shield");
    } else if (cmd == "DECDURABILITY") {
        Weaken("durability");
    } else {
        throw ServFault("incorrect command (" + cmd + ")");
    }
}

void TargetService(Call& c) {
    const std::string& cmd = c.Command();
    if (cmd == "MATCHSPEED") {
        Ship().MatchSpeed();
        return;
    }
    if (cmd == "MATCHTIME") {
        Ship().SetMatchTime(ToInt(c.P(1)));
        return;
    }
    if (cmd == "GETID") {
        c.results.push_back(HudObjectName(HudSelected()));
        return;
    }
    static const char* const kLayerCommands[] = {"NEXTENEMY",      "NEXTFRIEND",   "NEARENEMY",
                                                 "ATTACKINGENEMY", "NEARESTENEMY", "CENTRALENEMY",
                                                 "CENTRALOBJECT",  "SETID",        "OMEGA"};
    if (std::find_if(std::begin(kLayerCommands), std::end(kLayerCommands),
                     [&](const char* w) { return cmd == w; }) == std::end(kLayerCommands))
        throw ServFault("incorrect command (" + cmd + ")");
    TAHLayer& layers = Need(Desk().MarkerLayers(), "marker layers");
    if (cmd == "NEXTENEMY")
        layers.SelectNextEnemy(true);
    else if (cmd == "NEXTFRIEND")
        layers.SelectNextFriend();
    else if (cmd == "NEARENEMY")
        layers.SelectNearEnemy();
    else if (cmd == "ATTACKINGENEMY")
        layers.SelectAttackingEnemy();
    else if (cmd == "NEARESTENEMY")
        layers.SelectNearestEnemy();
    else if (cmd == "CENTRALENEMY")
        layers.SelectCentralEnemy();
    else if (cmd == "CENTRALOBJECT")
        layers.SelectCentralObject();
    else if (cmd == "SETID")
        layers.Select(c.P(1));
    else
        layers.SelectOmega();
}

void TimerService(Call& c, TGameTimer* timer) {
    const std::string& cmd = c.Command();
    if (cmd == "SET")
        Need(timer, "timer").SetSeconds(ToInt(c.P(1)));
    else if (cmd == "STOP")
        Need(timer, "timer").StopTimer();
    else if (cmd == "GET")
        c.results.push_back(std::to_string(Need(timer, "timer").Seconds()));
    else
        throw ServFault("incorrect command (" + c.Command() + ")");
}

void GameService(Call& c) {
    const std::string& cmd = c.Command();
    if (cmd == "QUIT") {
        if (Core) Core->Shutdown(false);
    } else if (cmd == "SPEEDUP") {
        TimeFactor += 4.0f;
    } else if (cmd == "SPEEDDOWN") {
        if (TimeFactor - 1.0f >= 4.0f) TimeFactor -= 4.0f;
    } else if (cmd == "TIMEWARPON") {
        Desk().SetTimeWarp(true);
    } else if (cmd == "TIMEWARPOFF") {
        Desk().SetTimeWarp(false);
    } else {
        throw ServFault("incorrect command (" + cmd + ")");
    }
}

void CameraService(Call& c) {
    const std::string& cmd = c.Command();
    if (cmd != "ROTATE" && cmd != "MODDINGROTATE") throw ServFault("incorrect command (" + cmd + ")");
    const std::string p1 = c.UpperP(1);
    if (p1 == "ON")
        Desk().SetCameraRotationMode(true);
    else if (p1 == "OFF")
        Desk().SetCameraRotationMode(false);
    else
        throw ServFault("incorrect subcommand (" + p1 + ")");
}

void CursorService(Call& c) {
    const std::string& cmd = c.Command();
    TDeskTop& d = Desk();
    if (cmd == "INIT") {
        d.Cursor().Init(&d);
        d.Sequencer().Init(&d);
    } else if (cmd == "SHOW") {
        d.Cursor().Show();
    } else if (cmd == "HIDE") {
        d.Cursor().Hide();
    } else if (cmd == "CHANGE") {
        d.Cursor().Change(c.P(1));
    } else if (cmd == "SETPOS") {
        d.Cursor().SetX(IntOrZero(c.P(1)));
        d.Cursor().SetY(IntOrZero(c.P(2)));
    } else {
        throw ServFault("incorrect command (" + cmd + ")");
    }
}

void SequencerService(Call& c) {
    if (c.Command() == "SHOW")
        Desk().Sequencer().Show();
    else if (c.Command() == "HIDE")
        Desk().Sequencer().Hide();
    else
        throw ServFault("incorrect command (" + c.Command() + ")");
}

void MouseService(Call& c) {
    if (c.Command() == "SETSENSPARAM")
        Ship().SetSensitivity(ToFloat(c.P(1)));
    else if (c.Command() == "SETTIMEPARAM")
        Ship().SetInterval(static_cast<int>(std::lround(ToFloat(c.P(1)))));
    else
        throw ServFault("incorrect command (" + c.Command() + ")");
}

void DesktopService(Call& c) {
    const std::string& cmd = c.Command();
    TDeskTop& d = Desk();
    if (cmd == "SETCOLOR") {
        int32_t index = -1;
        if (!TryParseInt32(c.P(1), index)) index = -1;
        if (index < 0) throw ServFault("incorrect color index (" + c.P(1) + ")");
        if (SysColorTable) SysColorTable->SetColorValue(index, c.P(2));
    } else if (cmd == "PLAYVIDEO") {
        d.PlayVideo(c.P(1), c.P(2));
    } else if (cmd == "STOPVIDEO") {
        d.StopVideo();
    } else if (cmd == "PRINTTREE") {
        static const char* const kFilters[] = {"ALL",       "MOUSEWELL", "KEYBUTTON", "MOUSEBUTTON",
                                               "MOUSEMOVE", "PAINT",     "TICK"};
        const std::string p1 = c.UpperP(1);
        const auto f =
            std::find_if(std::begin(kFilters), std::end(kFilters), [&](const char* w) { return p1 == w; });
        if (f == std::end(kFilters)) throw ServFault("incorrect WriteTree Flag (" + p1 + ")");
        if (InterfaceTools) InterfaceTools->SetDumpWriteFlag(static_cast<uint8_t>(f - std::begin(kFilters)));
        DumpTreeToFile(&d, p1);
    } else if (cmd == "MODE") {
        static const char* const kModes[] = {"IMGAME",     "IMSHELL",   "IMSHELLOVERCINEMA",
                                             "IMBLACK",    "IMLOADING", "IMCINEMA",
                                             "IMCUTSCENE", "IMSPACE",   "IMHIDEINTERFACE"};
        const std::string p1 = c.UpperP(1);
        const auto m =
            std::find_if(std::begin(kModes), std::end(kModes), [&](const char* w) { return p1 == w; });
        if (m == std::end(kModes)) throw ServFault("incorrect interface mode (" + p1 + ")");
        d.SetMode(static_cast<int>(m - std::begin(kModes)) + 1);
    } else {
        throw ServFault("incorrect command (" + cmd + ")");
    }
}

void GunEngineService(Call& c) {
    TGunController& g = Desk().Guns();
    if (c.Command() == "UPDATE")
        g.Update();
    else if (c.Command() == "RESET")
        g.Reset();
    else
        throw ServFault("incorrect command (" + c.Command() + ")");
}

void GunsService(Call& c) {
    const std::string& cmd = c.Command();
    TGunController& g = Desk().Guns();
    if (cmd == "SELECT")
        g.SelectGun(ToInt(c.P(1)));
    else if (cmd == "SWITCH")
        g.SwitchGun(ToInt(c.P(1)));
    else if (cmd == "SHOOTON")
        g.ShootOn();
    else if (cmd == "SHOOTOFF")
        g.ShootOff();
    else if (cmd == "REVOLVE")
        g.RevolveGuns();
    else if (cmd == "PRESET")
        g.Preset(ToInt(c.P(1)));
    else
        throw ServFault("incorrect command (" + cmd + ")");
}

void RocketsService(Call& c) {
    const std::string& cmd = c.Command();
    TGunController& g = Desk().Guns();
    if (cmd == "SWITCH")
        g.SwitchRocket(ToInt(c.P(1)));
    else if (cmd == "SELECT")
        g.SelectRocket(ToInt(c.P(1)));
    else if (cmd == "REVOLVE")
        g.RevolveRockets();
    else if (cmd == "LAUNCH")
        g.LaunchRocket();
    else
        throw ServFault("incorrect command (" + cmd + ")");
}

void DirectiveService(Call& c) {
    if (c.Command() != "ISEXIST") throw ServFault("incorrect command (" + c.Command() + ")");
    c.results.push_back("0");
}

void InterfaceService(Call& c) {
    if (c.Command() != "RESETINDICATORS") throw ServFault("incorrect command (" + c.Command() + ")");
    if (TIndicator* lamps = Desk().Indicators()) lamps->Reset();
}

struct Service {
    const char* name;
    void (*run)(Call&);
};

// In dispatch order: the first match wins.
const Service kServices[] = {
    {"PHYSICS", Physics},
    {"SHIP", ShipService},
    {"RADAR", RadarService},
    {"HELPER", HelperService},
    {"MAP", MapService},
    {"DEBUG", DebugService},
    {"TARGET", TargetService},
    {"TIMER", [](Call& c) { TimerService(c, Desk().GameTimer()); }},
    {"MISSIONTIMER", [](Call& c) { TimerService(c, Desk().CountdownTimer()); }},
    {"GAME", GameService},
    {"CAMERA", CameraService},
    {"CURSOR", CursorService},
    {"SEQUENCER", SequencerService},
    {"MOUSE", MouseService},
    {"DESKTOP", DesktopService},
    {"GUNENGINE", GunEngineService},
    {"GUNS", GunsService},
    {"ROCKETS", RocketsService},
    {"USESLOT", [](Call&) { Desk().Guns().UseSlot(); }},
    {"DIRECTIVE", DirectiveService},
    {"INTERFACE", InterfaceService},
};

// "engine_Serv fault - <message>; Service: S, Command: C, ParamCount= n; Params: "p";..."
void Fault(const Call& c, const std::string& message) {
    std::string text = "engine_Serv fault - " + message + "; Service: " + c.Service() +
                       ", Command: " + c.Command() + ", ParamCount= " + std::to_string(c.Count());
    if (c.Count() > 2) {
        text += "; Params: ";
        for (size_t i = 1; i + 1 < c.Count(); ++i) text += "\"" + c.P(i) + "\";";
    }
    ErrorReport(text, "mhl");
}

int EngineServ(lua_State* L) {
    const int n = lua_gettop(L);
    std::vector<std::string> args;
    for (int i = 1; i <= n && static_cast<size_t>(i) <= kMaxArgs; ++i) args.push_back(EngineArgText(L, i));
    std::vector<std::string> results = RunService(args);
    results.resize(std::min(results.size(), kMaxArgs));
    for (const std::string& r : results) lua_pushlstring(L, r.data(), r.size());
    return static_cast<int>(results.size());
}

} // namespace

std::vector<std::string> RunService(const std::vector<std::string>& args) {
    Call c(args);
    c.SetCount(std::min(args.size(), kMaxArgs));
    const auto s = std::find_if(std::begin(kServices), std::end(kServices),
                                [&](const Service& x) { return c.Service() == x.name; });
    if (s == std::end(kServices)) {
        Fault(c, "incorrect service: " + c.Service());
        return {};
    }
    try {
        s->run(c);
    } catch (const ServFault& f) {
        Fault(c, f.what());
        return {};
    } catch (const std::exception&) {
        Fault(c, "critical error");
        return {};
    }
    return c.results;
}

void InstallServiceRouter() {
    SetEngineFunction("engine_Serv", EngineServ);
}

} // namespace vesk
