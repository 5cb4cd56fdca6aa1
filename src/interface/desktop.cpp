#include "interface/desktop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "core/extra_settings.h"
#include "core/lua_readers.h"
#include "game/player.h"
#include "interface/gun_controller.h"
#include "interface/hud_markers.h"
#include "interface/hud_nodes.h"
#include "interface/key_names.h"
#include "interface/radar.h"
#include "interface/ship_controller.h"
#include "interface/status_engine.h"
#include "interface/text_layer.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

// The bound HUD controls in binding order.
constexpr const char* kHudNames[7] = {"spaceAH",        "Map",      "IndicatorArray", "FOVVariator", "Radar",
                                      "CountdownTimer", "GameTimer"};

struct ModifierKey {
    int code;
    uint8_t bit;
    const char* name;
};
constexpr ModifierKey kModifierKeys[] = {
    {157, TDeskTop::kRCtrl, "RCTRL"}, {184, TDeskTop::kRAlt, "RALT"},    {56, TDeskTop::kLAlt, "LALT"},
    {29, TDeskTop::kLCtrl, "LCTRL"},  {42, TDeskTop::kLShift, "LSHIFT"}, {54, TDeskTop::kRShift, "RSHIFT"}};

// The combination's modifiers in the order the handler receives them.
constexpr std::pair<uint8_t, const char*> kComboOrder[] = {
    {TDeskTop::kLCtrl, "LCTRL+"},   {TDeskTop::kRCtrl, "RCTRL+"}, {TDeskTop::kLShift, "LSHIFT+"},
    {TDeskTop::kRShift, "RSHIFT+"}, {TDeskTop::kLAlt, "LALT+"},   {TDeskTop::kRAlt, "RALT+"}};

constexpr int kPrintScreen = 183;
// How far the cockpit view turns for a full steering axis in one mouse motion.
constexpr float kCockpitViewStep = 0.05f;
// Red 0.05, green 0.1, blue 0.15, alpha 0.
constexpr uint32_t kClearColour = 0x000D1A26u;

// A setting is on unless it is empty, "0" or false (booleans read "False").
bool SettingOn(const std::string& value) {
    return !value.empty() && value != "0" && platform::LowerCaseCp1251(value) != "false";
}

const ModifierKey* ModifierOf(int code) {
    for (const ModifierKey& m : kModifierKeys)
        if (m.code == code) return &m;
    return nullptr;
}

} // namespace

std::string DesktopModeName(int mode) {
    if (mode >= 0 && mode < static_cast<int>(std::size(kDesktopModeNames))) return kDesktopModeNames[mode];
    return "Mode " + std::to_string(mode);
}

TDeskTop::TDeskTop() {
    SetName("desktop");
    SetLeft(0);
    SetTop(0);
    SetWidth(kVirtualWidth);
    SetHeight(kVirtualHeight);
    postModes_ = PfxAcceptModes;
    guns_ = std::make_unique<TGunController>(this);
    status_ = std::make_unique<TStatusEngine>(this);
    if (ShipController) ShipController->SetMatchMark(status_.get());
}

TDeskTop::~TDeskTop() {
    if (ShipController) ShipController->SetMatchMark(nullptr);
}

TSimpleNode* TDeskTop::HudControl(const std::string& name) const {
    for (size_t i = 0; i < std::size(kHudNames); ++i)
        if (name == kHudNames[i]) return CachedDynamicCast<TSimpleNode>(FindEngineObjectById(hudIds_[i]));
    return nullptr;
}

TAHLayer* TDeskTop::MarkerLayers() const {
    return CachedDynamicCast<TAHLayer>(HudControl("spaceAH"));
}

TRadar* TDeskTop::Radar() const {
    return CachedDynamicCast<TRadar>(HudControl("Radar"));
}

TMap* TDeskTop::Map() const {
    return CachedDynamicCast<TMap>(HudControl("Map"));
}

TIndicator* TDeskTop::Indicators() const {
    return CachedDynamicCast<TIndicator>(HudControl("IndicatorArray"));
}

TGameTimer* TDeskTop::GameTimer() const {
    return CachedDynamicCast<TGameTimer>(HudControl("GameTimer"));
}

TGameTimer* TDeskTop::CountdownTimer() const {
    return CachedDynamicCast<TGameTimer>(HudControl("CountdownTimer"));
}

void TDeskTop::Upload() {
    for (size_t i = 0; i < std::size(kHudNames); ++i) {
        int status = 0;
        TSimpleNode* n = ChildByName(kHudNames[i], status, false, true);
        hudIds_[i] = n ? n->GetId() : 0;
        if (!n)
            InterfaceFault(
                std::string("TDeskTop.Upload fault: ") + kHudNames[i] + " interface control not found", 2);
        if (i == 0) cursor_.Init(this);
    }
    // The flight HUD's panels, once their controls exist.
    if (TAHLayer* layers = MarkerLayers()) layers->Init(this);
    status_->Bind();
    guns_->Bind();
    if (InterfaceTools) InterfaceTools->ReadFileVersion();
    ReadSettings();
}

void TDeskTop::ReadSettings() {
    int32_t maxLag = 0;
    if (TryParseInt32(Setting("maxlag"), maxLag) && links.setMaxLag) links.setMaxLag(maxLag);
    fps_ = SettingOn(Setting("fps"));
    if (SettingOn(Setting("nocinimaticmenuback"))) TiTools::RunLua("ini[\"nocinimaticmenuback\"] = true");
}

TSimpleNode* TDeskTop::GetChildNode(const std::string& name, int& status, bool report) {
    status = 0;
    if (InterfaceTools)
        if (TSimpleNode* hit = InterfaceTools->NodeCache().Find(name)) return hit;
    TSimpleNode* n = ChildByName(name, status, false, report);
    if (n) {
        if (InterfaceTools) InterfaceTools->NodeCache().Add(n);
        return n;
    }
    if (status == 2) {
        if (InterfaceTools) InterfaceTools->SetDumpWriteFlag(0);
        InterfaceFault(
            "TDesktop.GetChild fault: control not found. See file \"[DesktopTree]_All_For_Debug\"... ", 1);
    }
    return nullptr;
}

void TDeskTop::SetTickedOf(TSimpleNode* node, bool on) {
    if (TSensNode* s = node ? node->AsSens() : nullptr) s->SetTicked(on);
}

void TDeskTop::SetPause(bool flag) {
    if (flag == pause_) return;
    pause_ = flag;
    SetTickedOf(HudControl("CountdownTimer"), !flag);
    SetTickedOf(status_->Panel(), !flag);
}

void TDeskTop::SetStrobe(bool flag) {
    if (flag == strobe_) return;
    strobe_ = flag;
    if (flag) {
        delayedPause_ = true;
        strobeCountdown_ = kStrobeMs;
        SetPause(false);
        ++strobeSeconds_;
    } else {
        delayedPause_ = false;
        SetPause(false);
        strobeSeconds_ = 0;
    }
}

void TDeskTop::SetCameraRotationMode(bool flag) {
    if (flag == cameraRotation_) return;
    cameraRotation_ = flag;
    travel_ = 0;
    if (!flag && links.cameraRotationOff) links.cameraRotationOff();
}

void TDeskTop::UpdateLoadingBar() {
    if (!LoadingBarShown()) return;
    TiTools::RunLua(loadingBarHandler_);
    oneShotClear_ = true;
    Render();
}

void TDeskTop::PlayVideo(const std::string& file, const std::string& handler) {
    if (!SettingOn(Setting("playvideo"))) {
        TiTools::RunLua(handler);
        return;
    }
    int step = 0;
    try {
        int status = 0;
        TSimpleNode* viewport = GetChildNode("VideoPlayer", status, true);
        if (!viewport) throw std::runtime_error("no viewport");
        step = 1;
        const bool loop = handler == "LOOP";
        const std::string onEnd = loop ? handler : "iSubtitles.Stop() " + handler;
        if (!links.openVideo || !links.openVideo(viewport, file, loop, onEnd))
            throw std::runtime_error("not opened");
        step = 4;
        if (Setting("subtitles") == "1") TiTools::RunLua("iSubtitles.Start(" + LuaQuote(file) + ")");
        videoRunning_ = true;
    } catch (const std::exception&) {
        ErrorReport("TDeskTop.PlayVideo: (" + std::to_string(step) + ")" + file + ", " + handler, "mhl");
    }
}

void TDeskTop::StopVideo() {
    int status = 0;
    if (TSimpleNode* viewport = GetChildNode("VideoPlayer", status, true); viewport && links.stopVideo)
        links.stopVideo(viewport);
    if (Setting("subtitles") == "1") TiTools::RunLua("iSubtitles.Stop()");
    videoRunning_ = false;
}

void TDeskTop::KeyEvent(int scanCode, bool down) {
    const std::string keyName = platform::UpperCaseCp1251(KeyNameByCode(scanCode));
    const ModifierKey* mod = ModifierOf(scanCode);
    if (down) {
        if (scanCode == kPrintScreen && links.screenshot) links.screenshot();
        // Key names hold quotes and backslashes ("\\" is a key): quoted as Lua strings.
        TiTools::RunLua("iGame.ParseCheatCode(" + LuaQuote(keyName) + ")");
        if (mod) {
            modifiers_ |= mod->bit;
            TiTools::RunLua(std::string("KeyButton=\"") + mod->name + "\"");
        }
        if (modifiers_ & (kLShift | kRShift)) modifiers_ |= kModShift;
        if (!intercept_) DispatchKey(this, scanCode, 0);
    } else {
        if (intercept_) {
            std::string combo;
            for (const auto& [bit, text] : kComboOrder)
                if (modifiers_ & bit) combo += text;
            combo += keyName;
            if (!combo.empty() && combo.back() == '+') combo.pop_back();
            if (InterfaceTools)
                InterfaceTools->RunHandler(Name(), interceptHandler_ + "(" + LuaQuote(combo) + ")");
            intercept_ = false;
        } else {
            DispatchKey(this, scanCode, 1);
        }
        if (mod) {
            modifiers_ &= static_cast<uint8_t>(~mod->bit);
            TiTools::RunLua("KeyButton=\"space\"");
        }
    }
    if (!(modifiers_ & (kLShift | kRShift))) modifiers_ &= static_cast<uint8_t>(~kModShift);
}

void TDeskTop::MouseButtonEvent(int button, bool down) {
    if (button < 0 || button > 2) return;
    if (down && button == 0) {
        doubleClick_ = doubleClickTimer_ > 0;
        doubleClickTimer_ = kDoubleClickMs;
    }
    const auto bit = static_cast<uint8_t>(1u << button);
    if (down)
        mouseButtons_ |= bit;
    else
        mouseButtons_ &= static_cast<uint8_t>(~bit);
    const TIPoint p = cursor_.Position();
    DispatchMouseButton(this, p.x, p.y, down ? 0 : 1, button);
}

void TDeskTop::MouseMoveEvent(int dx, int dy) {
    float factor = 1.5f;
    if (mode_ == kModeGame) {
        if (ShipController) ShipController->MouseMoved(dx, dy);
        const int d = cursor_.DistanceFromCentre();
        if (d < 100)
            factor = 1.5f;
        else if (d < 300)
            factor = 1.5f + static_cast<float>(d - 100) * 1.5f / 200.0f;
        else
            factor = 3.0f;
    }
    cursor_.Move(static_cast<float>(dx) * factor * sensitivityX,
                 static_cast<float>(dy) * factor * sensitivityY);
    if (mode_ == kModeGame) cursor_.Select(TICursor::kCentredLook);
    if (cameraRotation_) {
        // The view inside the cockpit turns with the steering.
        if (auto* player = dynamic_cast<TPlayer*>(HudPlayer()); player && ShipController)
            if (auto* cockpit = dynamic_cast<TGameCockpitComponent*>(player->FindChild("cockpit")))
                cockpit->AddViewOffset(ShipController->AxisV() * kCockpitViewStep,
                                       ShipController->AxisH() * kCockpitViewStep);
        travel_ +=
            static_cast<int>(std::lround(std::hypot(static_cast<double>(dx), static_cast<double>(dy))));
        if (travel_ >= 21) {
            cursor_.Hide();
            if (links.cameraLook) links.cameraLook();
            if (links.cameraRotate) links.cameraRotate(dx, dy);
            return;
        }
    }
    const TIPoint p = cursor_.Position();
    DispatchMouseMove(this, p.x, p.y);
}

void TDeskTop::MouseWheelEvent(int delta) {
    DispatchMouseWheel(this, delta);
    if ((modifiers_ & kLAlt) && links.cameraZoom) links.cameraZoom((delta / 120) * 1000);
}

void TDeskTop::FrameTick(int ms) {
    TickTree(this, std::min(ms, kMaxFrameMs));
    if (!pause_ && (mode_ == kModeGame || mode_ == kModeHideInterface)) FlightTick(ms);
}

void TDeskTop::FlightTick(int ms) {
    const auto t = static_cast<float>(ms);
    if (ShipController) {
        ShipController->FrameTick(t);
        // While the mouse turns the view, the ship holds its course.
        if (!steeringOff_) ShipController->Steer(cameraRotation_);
    }
    status_->Tick(t);
    guns_->Update();
}

void TDeskTop::Tick(int ms) {
    TMegaButton::Tick(ms);
    if (doubleClickTimer_ > 0) {
        doubleClickTimer_ -= ms;
        if (doubleClickTimer_ <= 0) {
            doubleClickTimer_ = 0;
            doubleClick_ = false;
        }
    }
    if (delayedPause_) {
        strobeCountdown_ -= ms;
        if (strobeCountdown_ <= 0) {
            strobeCountdown_ = 0;
            delayedPause_ = false;
            SetPause(true);
        }
    }
}

void TDeskTop::Render() {
    if (!drawing_ || !Visible()) return;
    const bool cleared = clearBefore_ || oneShotClear_;
    if (cleared && links.clearTarget) links.clearTarget(kClearColour);
    // The frame's texts collect in the text layer and are drawn before the
    // cursor, the post effects and the present.
    if (TextLayer) TextLayer->Clear();
    // The cursor layer is drawn once, over everything, below.
    if (mode_ != kModeHideInterface) {
        Draw();
        for (int i = 0; i < ChildCount(); ++i) {
            TSimpleNode* n = ChildAt(i);
            TSensNode* c = n ? n->AsSens() : nullptr;
            if (c && c->Visible() && c->Name() != "CursorLayer") DrawTree(c);
        }
    }
    if (!clearBefore_ && InterfaceTextDrawer) {
        auto line = [](const std::string& text, int x, int y, int size, TTextAlign align = TTextAlign::Left) {
            TTextDraw t;
            t.text = text;
            t.fontSize = size;
            t.color = 0xFFFFFFFF;
            t.align = align;
            t.rect = align == TTextAlign::Right ? TIRect{0, y, kVirtualWidth - 10, y + size + 4}
                                                : TIRect{x, y, kVirtualWidth, y + size + 4};
            InterfaceTextDrawer->DrawText(t);
        };
        if (fps_) {
            char fpsText[32];
            std::snprintf(fpsText, sizeof fpsText, "%.1f",
                          links.fps ? static_cast<double>(links.fps()) : 0.0);
            line("FPS: " + std::to_string(links.timerFrames ? links.timerFrames() : 0) + " (" + fpsText + ")",
                 2, 2, 12);
            line("System: " + (links.systemText ? links.systemText() : std::string()), 2, 14, 12);
            line("v" + (links.version ? links.version() : std::string("Unknow")), 0, 2, 12,
                 TTextAlign::Right);
            line(DesktopModeName(mode_), 0, 14, 12, TTextAlign::Right);
            line("LE: " + (links.tickListsText ? links.tickListsText() : std::string("0 0 0")), 2, 26, 12);
        }
        if (soundData_ && links.soundStatus) {
            const std::string status = links.soundStatus();
            int i = 0;
            for (size_t start = 0; start < status.size(); ++i) {
                size_t end = status.find('\n', start);
                if (end == std::string::npos) end = status.size();
                std::string text = status.substr(start, end - start);
                if (!text.empty() && text.back() == '\r') text.pop_back();
                line(text, 2, 50 + 15 * i, 15);
                start = end + 1;
            }
        }
        if (strobe_) line("Sec: " + std::to_string(strobeSeconds_), 2, 50, 20);
    }
    if (TextLayer) TextLayer->Draw();
    DrawCursorLayer(this);
    if (((postModes_ >> mode_) & 1u) && links.postProcessActive && links.postProcessActive() &&
        links.runPostProcess)
        links.runPostProcess();
    if (cleared) {
        if (links.present) links.present();
        oneShotClear_ = false;
    }
}

bool TDeskTop::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "ONINTERCEPTHOTKEY")
            interceptHandler_ = value;
        else if (k == "INTERCEPTHOTKEY")
            intercept_ = value == "1";
        else if (k == "ONUPDATELOADINGBAR")
            loadingBarHandler_ = value;
        else if (k == "PAUSE")
            SetPause(value == "1");
        else if (k == "STROBO")
            SetStrobe(value == "1");
        else if (k == "FPS")
            fps_ = value == "1";
        else if (k == "INVERSION") {
            if (links.setMouseInversion) links.setMouseInversion(value == "1");
        } else
            return TMegaButton::SetProperty(key, value);
        return true;
    } catch (const std::exception&) {
        ErrorReport("TDeskTop.SetProperty: property - " + k + ", value - " + value, "m");
        return false;
    }
}

bool TDeskTop::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "JOYSTICK") {
            value = TiTools::BoolToText(links.joystick && links.joystick());
            return true;
        }
        return TMegaButton::GetProperty(key, value);
    } catch (const std::exception&) {
        ErrorReport("TDeskTop.GetProperty fault: control - " + Name() + ", property - " + k + ", value - " +
                        value,
                    "m");
        return false;
    }
}

} // namespace vesk
