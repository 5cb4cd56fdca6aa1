#pragma once
// The root of the interface tree and the entry point of the interface engine:
// it takes the keyboard, mouse and wheel input, ticks the tree once a frame,
// draws the interface over the scene and owns the interface mode, pause,
// strobe, double-click timing, hot-key interception and the cursor.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "interface/cursor.h"
#include "interface/draw_nodes.h"
#include "interface/interface_tools.h"

namespace vesk {

class TGunController;
class TStatusEngine;
class TAHLayer;
class TRadar;
class TMap;
class TIndicator;
class TGameTimer;

// What the desktop reaches in other subsystems; an empty link does nothing.
struct TDeskTopLinks {
    std::function<void(uint32_t argb)> clearTarget;
    std::function<void()> present;
    std::function<void()> screenshot;
    std::function<bool()> postProcessActive;
    std::function<void()> runPostProcess; // back-buffer copy, single-pass effects, release
    std::function<void(int delta)> cameraZoom;
    std::function<void()> cameraLook;                           // the camera-rotation look starts
    std::function<void(int dx, int dy)> cameraRotate;           // the look turns by the mouse's motion
    std::function<void()> cameraRotationOff;                    // the camera leaves camera-rotation mode
    std::function<std::string(const std::string& key)> setting; // "" when absent
    std::function<void(int maxLag)> setMaxLag;
    std::function<std::string()> systemText;
    std::function<std::string()> version;
    std::function<int()> timerFrames; // frames counted in the last second
    // "<a> <b> <c>": the last used index of each of the three ticked-object lists.
    std::function<std::string()> tickListsText;
    // The sound engine's status text, lines separated by line ends.
    std::function<std::string()> soundStatus;
    std::function<float()> fps;
    // The "VideoPlayer" viewport: opens a file (looping or once, the handler
    // text run when it ends) and stops it; false when the file cannot be opened.
    std::function<bool(TSimpleNode* viewport, const std::string& file, bool loop, const std::string& onEnd)>
        openVideo;
    std::function<void(TSimpleNode* viewport)> stopVideo;
    // The input device manager's mouse inversion and joystick flags.
    std::function<void(bool)> setMouseInversion;
    std::function<bool()> joystick;
};

class TDeskTop : public TMegaButton, public IDesktopView {
public:
    enum : uint8_t {
        kModeGame = 1,
        kModeShell = 2,
        kModeShellOverCinema = 3,
        kModeBlack = 4,
        kModeLoading = 5,
        kModeCinema = 6,
        kModeCutScene = 7,
        kModeSpace = 8,
        kModeHideInterface = 9
    };
    enum : uint8_t { kRCtrl = 1, kRAlt = 2, kRShift = 4, kLCtrl = 8, kLAlt = 16, kLShift = 32 };
    static constexpr int kDoubleClickMs = 250;
    static constexpr int kStrobeMs = 1000;
    static constexpr int kMaxFrameMs = 100;

    TDeskTop();
    ~TDeskTop() override;

    TDeskTopLinks links;
    float sensitivityX = 1.0f, sensitivityY = 1.0f;

    TICursor& Cursor() { return cursor_; }
    TCursorSequencer& Sequencer() { return sequencer_; }

    uint8_t Mode() const { return mode_; }
    void SetMode(int mode) { mode_ = static_cast<uint8_t>(mode & 15); }
    bool Paused() override { return pause_; }
    // Where the pause flag lives, for readers that ask too often for a call.
    const bool* PauseByte() const { return &pause_; }
    void SetPause(bool flag);
    bool Strobe() const { return strobe_; }
    void SetStrobe(bool flag);
    int StrobeSeconds() const { return strobeSeconds_; }
    bool CameraRotationMode() const { return cameraRotation_; }
    void SetCameraRotationMode(bool flag);
    bool Intercepting() const { return intercept_; }
    uint8_t MouseButtons() const { return mouseButtons_; }
    bool FpsFlag() const { return fps_; }
    bool DrawingEnabled() const { return drawing_; }
    void SetDrawingEnabled(bool on) { drawing_ = on; }
    bool ClearBeforeDrawing() const { return clearBefore_; }
    void SetClearBeforeDrawing(bool on) { clearBefore_ = on; }
    uint16_t PostProcessModes() const { return postModes_; }
    void SetPostProcessModes(uint16_t set) { postModes_ = set; }
    // The scripts' time-warp switch (GAME TIMEWARPON / TIMEWARPOFF).
    bool TimeWarp() const { return timeWarp_; }
    void SetTimeWarp(bool on) { timeWarp_ = on; }
    bool SoundDataFlag() const { return soundData_; }
    void SetSoundDataFlag(bool on) { soundData_ = on; }

    // The modes in which the 3D scene is not drawn, and the hide-scene flag.
    uint16_t HideSceneModes() const { return hideSceneModes_; }
    void SetHideSceneModes(uint16_t set) { hideSceneModes_ = set; }
    bool HideScene() const { return hideScene_; }
    void SetHideScene(bool on) { hideScene_ = on; }
    bool SceneHidden() const { return hideScene_ || ((hideSceneModes_ >> mode_) & 1u) != 0; }
    bool SteeringOff() const { return steeringOff_; }
    void SetSteeringOff(bool on) { steeringOff_ = on; }
    bool StartingUp() const { return startingUp_; }
    void SetStartingUp(bool on) { startingUp_ = on; }
    bool ScriptsLoaded() const { return scriptsLoaded_; }
    void SetScriptsLoaded(bool on) { scriptsLoaded_ = on; }

    // The bound HUD controls (nullptr when missing).
    TSimpleNode* HudControl(const std::string& name) const;
    TAHLayer* MarkerLayers() const;
    TRadar* Radar() const;
    TMap* Map() const;
    TIndicator* Indicators() const;
    TGameTimer* GameTimer() const;
    TGameTimer* CountdownTimer() const;
    TGunController& Guns() { return *guns_; }
    TStatusEngine& Status() { return *status_; }
    // The in-flight controllers' frame: the ship controller, the status engine
    // and the weapon panel.
    void FlightTick(int ms);

    // Binds the HUD controls by name, then reads the settings.
    void Upload();
    // "maxlag" for the frame timer, "fps" for the overlay, "nocinimaticmenuback" for the scripts.
    void ReadSettings();
    TSimpleNode* GetChildNode(const std::string& name, int& status, bool report);
    void UpdateLoadingBar();
    // The modes in which a load redraws the loading bar: the shell and the loading screen.
    bool LoadingBarShown() const { return mode_ == kModeShell || mode_ == kModeLoading; }
    void PlayVideo(const std::string& file, const std::string& handler);
    void StopVideo();
    bool VideoRunning() const { return videoRunning_; }

    void KeyEvent(int scanCode, bool down);
    void MouseButtonEvent(int button, bool down);
    void MouseMoveEvent(int dx, int dy);
    void MouseWheelEvent(int delta);
    void FrameTick(int ms);
    void Render();

    // IDesktopView
    TSimpleNode* Root() override { return this; }
    bool DoubleClickFlag() override { return doubleClick_; }
    uint8_t ModifierState() override { return modifiers_; }
    TIPoint CursorPosition() override { return cursor_.Position(); }

    void Tick(int ms) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    std::string Setting(const std::string& key) const { return links.setting ? links.setting(key) : ""; }
    void SetTickedOf(TSimpleNode* node, bool on);

    bool fps_ = false;
    std::string interceptHandler_;
    std::string loadingBarHandler_;
    bool strobe_ = false;
    int strobeCountdown_ = kStrobeMs;
    bool delayedPause_ = false;
    int strobeSeconds_ = 0;
    int doubleClickTimer_ = 0;
    bool doubleClick_ = false;
    uint8_t mode_ = 0;
    uint16_t postModes_ = 0;
    bool clearBefore_ = true;
    bool oneShotClear_ = false;
    uint8_t mouseButtons_ = 0;
    bool drawing_ = false;
    bool pause_ = false;
    bool cameraRotation_ = false;
    int travel_ = 0;
    int32_t hudIds_[7] = {};
    bool soundData_ = false;
    bool timeWarp_ = false;
    bool intercept_ = false;
    uint8_t modifiers_ = 0;
    uint16_t hideSceneModes_ = 0;
    bool hideScene_ = false;
    bool steeringOff_ = false;
    bool startingUp_ = true;
    bool scriptsLoaded_ = false;
    bool videoRunning_ = false;
    TICursor cursor_;
    TCursorSequencer sequencer_;
    std::unique_ptr<TGunController> guns_;
    std::unique_ptr<TStatusEngine> status_;
};

// The mode's name as the overlay shows it.
std::string DesktopModeName(int mode);

} // namespace vesk
