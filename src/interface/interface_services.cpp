#include "interface/interface_services.h"

#include <memory>

#include "core/services.h"
#include "core/var_list.h"
#include "game/game_ini_table.h"
#include "interface/console.h"
#include "interface/desktop.h"
#include "interface/input_devices.h"
#include "interface/interface_parts.h"
#include "interface/print_functions.h"
#include "interface/text_layer.h"
#include "interface/variators.h"
#include "platform/system.h"
#include "render/engine.h"
#include "render/world_links.h"
#include "shared/errors.h"

namespace vesk {

namespace {

TDeskTop* Desktop = nullptr;

// The input devices' events go to the desktop while it exists.
class DesktopInputReceiver : public IInputReceiver {
public:
    void KeyEvent(int scanCode, bool down) override {
        if (Desktop) Desktop->KeyEvent(scanCode, down);
    }
    void MouseButtonEvent(int button, bool down) override {
        if (Desktop) Desktop->MouseButtonEvent(button, down);
    }
    void MouseMoveEvent(int dx, int dy) override {
        if (Desktop) Desktop->MouseMoveEvent(dx, dy);
    }
    void MouseWheelEvent(int delta) override {
        if (Desktop) Desktop->MouseWheelEvent(delta);
    }
};
DesktopInputReceiver DesktopReceiver;

class DesktopService : public IDesktop {
public:
    void InitCore() override { StartInterfaceCore(); }
    void FreeCore() override {
        if (GetInterfaceParts().freeInput) GetInterfaceParts().freeInput();
        EndInterfaceCore();
    }
    void ExecConsoleFile(const std::string& file) override {
        if (GetInterfaceParts().execConsoleFile) GetInterfaceParts().execConsoleFile(file);
    }
    std::string PeekConsoleValue(const std::string& file, const std::string& name) override {
        const auto& peek = GetInterfaceParts().peekConsoleValue;
        return peek ? peek(file, name) : std::string();
    }
    void Create() override {
        if (Desktop) return;
        Desktop = TEngineObject::New<TDeskTop>();
        CreateTextLayer(); // the texts of the interface and the console
        if (InterfaceTools) InterfaceTools->SetDesktop(Desktop);
        TDeskTopLinks& l = Desktop->links;
        // The desktop's settings are settings variables ("ie" and "ini");
        // whether subtitles show is the game ini table's.
        l.setting = [](const std::string& key) -> std::string {
            if (TVarList* list = FindVarListWith(key)) return list->Get(key).AsString();
            if (key == "subtitles" && GameIniTable) return GameIniTable->ValueText("showSubtitles");
            return {};
        };
        l.setMaxLag = [this](int maxLag) { maxLag_ = maxLag; };
        l.timerFrames = [this] { return lastSecondFrames_; };
        l.systemText = [] { return InterfaceStatusText(); };
        l.fps = [this] { return static_cast<float>(lastSecondFrames_); };
        l.version = [this] { return Version(); };
        l.clearTarget = [](uint32_t argb) {
            if (Engine) Engine->ClearTarget(argb);
        };
        l.screenshot = [] {
            if (Engine) Engine->RequestScreenshot();
        };
        RenderWorldLinks& rl = GetRenderWorldLinks();
        l.postProcessActive = [&rl] { return rl.postProcessActive && rl.postProcessActive(); };
        l.runPostProcess = [&rl] {
            if (rl.runPostProcess) rl.runPostProcess();
        };
        l.setMouseInversion = [](bool on) {
            if (InputDeviceManager) InputDeviceManager->SetMouseInversion(on);
        };
        l.joystick = [] { return InputDeviceManager && InputDeviceManager->HasJoystick(); };
        rl.desktopPaused = [] { return Desktop && Desktop->Paused(); };
        rl.desktopMode = [] { return Desktop ? static_cast<int>(Desktop->Mode()) : 0; };
    }
    void InitInput(platform::IWindow& window) override {
        if (GetInterfaceParts().initInput) GetInterfaceParts().initInput(window);
        if (InputDeviceManager) InputDeviceManager->SetReceiver(&DesktopReceiver);
    }
    void SetInputAcquired(bool acquired) override {
        if (GetInterfaceParts().setInputAcquired) GetInterfaceParts().setInputAcquired(acquired);
    }
    void TickInput(float dt) override {
        if (GetInterfaceParts().tickInput) GetInterfaceParts().tickInput(dt);
    }
    // Counts frames and milliseconds; with a lag limit, a longer frame is cut to it.
    void UpdateFrameTimer(float& dt) override {
        ++frames_;
        elapsed_ += dt;
        if (elapsed_ >= 1000.0f) {
            lastSecondFrames_ = frames_;
            frames_ = 0;
            elapsed_ = 0.0f;
        }
        if (maxLag_ > 0 && dt > static_cast<float>(maxLag_)) dt = static_cast<float>(maxLag_);
    }
    std::string Version() override { return "Unknow"; }
    void SetScriptsLoaded() override {
        if (!Desktop) return;
        Desktop->SetScriptsLoaded(true);
        Desktop->SetDrawingEnabled(true);
    }
    // The HUD is bound once the scripts have built an interface; a run whose
    // scripts build none (tools, bare content) goes on without one.
    void Upload() override {
        if (!Desktop) return;
        if (Desktop->ChildCount() == 0) {
            ErrorReport("TDeskTop.Upload: the interface tree is empty, no controls bound", "");
            Desktop->ReadSettings();
            return;
        }
        Desktop->Upload();
    }
    void UpdateAll() override {
        if (Desktop) UpdateTree(Desktop, true);
    }
    void EmptyHook() override {}
    void EndStartup() override {
        if (!Desktop) return;
        Desktop->SetStartingUp(false);
        Desktop->SetClearBeforeDrawing(false);
    }
    int Mode() override { return Desktop ? Desktop->Mode() : 0; }
    bool SceneHidden() override { return Desktop && Desktop->SceneHidden(); }
    bool Paused() override { return Desktop && Desktop->Paused(); }
    bool SteeringOff() override { return Desktop && Desktop->SteeringOff(); }
    void FrameTick(int ms) override {
        if (Desktop) Desktop->FrameTick(ms);
    }
    void Update() override {
        if (Desktop) UpdateTree(Desktop, false);
    }
    void Render() override {
        if (Desktop) Desktop->Render();
    }
    void Release() override {
        if (!Desktop) return;
        RenderWorldLinks& rl = GetRenderWorldLinks();
        rl.desktopPaused = nullptr;
        rl.desktopMode = nullptr;
        if (InterfaceTools) InterfaceTools->SetDesktop(nullptr);
        TDeskTop* d = Desktop;
        Desktop = nullptr;
        d->Free();
        FreeTextLayer();
    }

private:
    int maxLag_ = 0;
    int frames_ = 0;
    float elapsed_ = 0.0f;
    int lastSecondFrames_ = 0;
};

} // namespace

void InstallInterfaceServices(CoreServices& services) {
    InstallPrintFunctions();
    services.desktop = std::make_unique<DesktopService>();
}

TDeskTop* CurrentDesktop() {
    return Desktop;
}

} // namespace vesk
