#include "interface/interface_services.h"

#include <memory>

#include "core/config_record.h"
#include "core/services.h"
#include "core/var_list.h"
#include "game/game_ini_table.h"
#include "game/obj_managers.h"
#include "game/world_link.h"
#include "interface/console.h"
#include "interface/desktop.h"
#include "interface/device_drawer.h"
#include "interface/input_devices.h"
#include "interface/interface_parts.h"
#include "interface/print_functions.h"
#include "interface/text_layer.h"
#include "interface/variators.h"
#include "interface/video_node.h"
#include "physics/camera_game.h"
#include "platform/system.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "sound/sound_engine.h"

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

class DesktopService;
// The service that redraws the loading bar during a load (the one that exists).
DesktopService* LoadingService = nullptr;

class DesktopService : public IDesktop {
public:
    DesktopService() { LoadingService = this; }
    ~DesktopService() override {
        if (LoadingService == this) LoadingService = nullptr;
    }
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
        SetScreenScale();
        // On a device the interface and its glyphs are drawn by the device
        // drawer; the font library made with the text layer takes its glyph
        // renderer from here.
        if (Device) {
            drawer_ = std::make_unique<TDeviceDrawer>();
            InterfaceDeviceDrawer = drawer_.get();
            InterfaceDrawer = drawer_.get();
            InterfaceGlyphRenderer = drawer_.get();
        }
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
        // A lag limit of 0 or below would cut every frame to nothing: it is ignored.
        l.setMaxLag = [](int maxLag) {
            if (InterfaceTools && maxLag > 0) InterfaceTools->SetMaxFrameTime(maxLag);
        };
        l.timerFrames = [] { return InterfaceTools ? InterfaceTools->FramesLastSecond() : 0; };
        l.fps = [] { return InterfaceTools ? static_cast<float>(InterfaceTools->FramesLastSecond()) : 0.0f; };
        l.version = [this] { return Version(); };
        // The scripts' status (engine_SetStatus) when they gave one, else the system's name.
        l.systemText = [] {
            if (!InterfaceStatusText().empty()) return InterfaceStatusText();
            const platform::OsInfo os = platform::GetOsInfo();
            return os.kernelName + " " + os.release + " " + os.machine;
        };
        l.tickListsText = [] {
            auto last = [](tTickedObjects* list) { return std::to_string(list ? list->GetHighIndex() : 0); };
            return last(CreatedObjects) + " " + last(Created2Objects) + " " + last(TickedObjects);
        };
        l.soundStatus = [] {
            std::string text;
            if (SoundEngine) SoundEngine->GetStatus(text);
            return text;
        };
        l.clearTarget = [](uint32_t argb) {
            if (Engine) Engine->ClearTarget(argb);
        };
        // A frame the desktop finishes itself (the loading bar during a load)
        // is shown at once: its drawing and scene end, and it is presented.
        l.present = [this] {
            if (drawer_) drawer_->EndFrame();
            if (Engine) {
                Engine->RE_EndScene();
                Engine->Present();
            }
        };
        l.screenshot = [] {
            if (Engine) Engine->RequestScreenshot();
        };
        RenderWorldLinks& rl = GetRenderWorldLinks();
        l.postProcessActive = [&rl] { return rl.postProcessActive && rl.postProcessActive(); };
        l.runPostProcess = [&rl] {
            if (rl.runPostProcess) rl.runPostProcess();
        };
        // The "VideoPlayer" viewport is a video node: the clip and its end text are its properties.
        l.openVideo = [](TSimpleNode* viewport, const std::string& file, bool loop,
                         const std::string& onEnd) {
            auto* video = dynamic_cast<TVideoNode*>(viewport);
            if (!video) return false;
            video->SetProperty("CALLBACK", loop ? "LOOP" : onEnd);
            video->SetContent(""); // the same file again starts from its beginning
            video->SetProperty("VIDEOCLIP", file);
            return video->Video() != nullptr;
        };
        l.stopVideo = [](TSimpleNode* viewport) {
            if (auto* video = dynamic_cast<TVideoNode*>(viewport)) video->SetContent("");
        };
        l.setMouseInversion = [](bool on) {
            if (InputDeviceManager) InputDeviceManager->SetMouseInversion(on);
        };
        l.joystick = [] { return InputDeviceManager && InputDeviceManager->HasJoystick(); };
        // The game camera: the Alt-wheel zoom, and the mouse look that starts
        // once the mouse has travelled far enough and ends with the rotation mode.
        l.cameraZoom = [](int step) {
            if (TGameCamera* camera = GameCamera()) camera->Zoom(static_cast<float>(step));
        };
        l.cameraLook = [] {
            if (TGameCamera* camera = GameCamera()) camera->SetLookFlag(false, true);
        };
        l.cameraRotate = [](int dx, int dy) {
            if (TGameCamera* camera = GameCamera())
                camera->MouseRotate(static_cast<float>(dx), static_cast<float>(dy));
        };
        l.cameraRotationOff = [] {
            if (TGameCamera* camera = GameCamera()) {
                camera->SetLookFlag(false, false);
                camera->MouseRotate(0, 0);
            }
        };
        InterfaceCameraFov = [](float degrees) {
            if (TGameCamera* camera = GameCamera()) camera->SetFOV(degrees);
        };
        rl.desktopPaused = [] { return Desktop && Desktop->Paused(); };
        rl.desktopPauseByte = Desktop->PauseByte();
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
    void UpdateFrameTimer(float& dt) override {
        if (InterfaceTools) InterfaceTools->FrameTick(dt);
    }
    std::string Version() override { return InterfaceTools ? InterfaceTools->GetVersion() : "Unknow"; }
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
        // Without a device (a headless run) nothing would be seen: the tree is
        // not walked, its texts not laid out and its 3D views not rendered.
        if (!Desktop || !Device) return;
        if (drawer_) drawer_->BeginFrame();
        // The desktop draws its text layer itself, before the cursor, the
        // post effects and the present.
        Desktop->Render();
        if (drawer_) drawer_->EndFrame();
    }
    // The loading bar redrawn in the middle of a load (the frame's own
    // drawing has not begun, or is interrupted): a frame of the interface
    // alone, which the desktop presents; a scene the load interrupted goes on after.
    void LoadingFrame() {
        if (!Desktop || !Desktop->LoadingBarShown()) return;
        const bool inScene = Engine && Engine->HasEngineFlags(TEngineClass::kInScene);
        if (Engine) Engine->RE_BeginScene();
        if (drawer_) drawer_->BeginFrame();
        Desktop->UpdateLoadingBar();
        if (drawer_) drawer_->EndFrame();
        if (Engine) {
            Engine->RE_EndScene();
            if (inScene) Engine->RE_BeginScene();
        }
    }
    void Release() override {
        if (!Desktop) return;
        RenderWorldLinks& rl = GetRenderWorldLinks();
        rl.desktopPaused = nullptr;
        rl.desktopPauseByte = nullptr;
        rl.desktopMode = nullptr;
        if (InterfaceTools) InterfaceTools->SetDesktop(nullptr);
        TDeskTop* d = Desktop;
        Desktop = nullptr;
        // Freed by the next flush of the destroy queue, after the objects
        // queued before it, as everything released at shut-down is.
        d->Release();
        FreeTextLayer();
        if (drawer_) {
            if (InterfaceDrawer == drawer_.get()) InterfaceDrawer = nullptr;
            if (InterfaceGlyphRenderer == drawer_.get()) InterfaceGlyphRenderer = DiscardingGlyphRenderer();
            drawer_.reset();
        }
    }

private:
    // The interface's scale factors: the real screen over the 1024 x 768 virtual one.
    static void SetScreenScale() {
        float w = static_cast<float>(SetupRecord.width), h = static_cast<float>(SetupRecord.height);
        if (Device && PresentParameters.BackBufferWidth && PresentParameters.BackBufferHeight) {
            w = static_cast<float>(PresentParameters.BackBufferWidth);
            h = static_cast<float>(PresentParameters.BackBufferHeight);
        }
        if (w > 0 && h > 0) {
            InterfaceScaleX = w / static_cast<float>(kVirtualWidth);
            InterfaceScaleY = h / static_cast<float>(kVirtualHeight);
        }
    }

    std::unique_ptr<TDeviceDrawer> drawer_;
};

} // namespace

void InstallInterfaceServices(CoreServices& services) {
    InstallPrintFunctions();
    services.desktop = std::make_unique<DesktopService>();
    // Objects created during a load refresh the loading bar.
    SetLoadingBarRefresh([] {
        if (LoadingService) LoadingService->LoadingFrame();
    });
}

TDeskTop* CurrentDesktop() {
    return Desktop;
}

} // namespace vesk
