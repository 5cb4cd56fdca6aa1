#pragma once
// The application object: the command line, the start-up of every subsystem in
// a fixed order, the main window, the main loop, the frame, the game tick and
// the two-phase shut-down.
#include "core/services.h"
#include "platform/system.h"
#include "platform/window.h"
#include "shared/engine_object.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

class TCore : public TEngineObject {
public:
    explicit TCore(CoreServices services);
    ~TCore() override;
    TCore(const TCore&) = delete;
    TCore& operator=(const TCore&) = delete;

    // "-mod <name>", "-luadebug"; and for unattended runs "-headless" (no
    // display, sound or input), "-frames N" (quit after N frames) and
    // "-fixeddt MS" (every frame takes exactly MS milliseconds).
    void ParseCommandLine(const std::vector<std::string>& params);
    void Init();
    // The main loop; returns the exit status when the loop ended without a
    // quit request (an exception ended it), otherwise the shut-down halts.
    int Run();
    void Frame();
    void Tick(float dt);
    // false: ask the main loop to end; true: the final shut-down, then the halt.
    void Shutdown(bool now);
    // The final shut-down without the halt (the central report halts itself).
    void FinalShutdown();
    void CreateMainWindow(const std::string& caption);
    // The main window's procedure.
    int WndProc(const platform::WindowEvent& event);
    float GetFrameDelta() const { return FrameDelta; }

    CoreServices& Services() { return services_; }
    platform::IWindow* MainWindow() { return window_.get(); }

    bool Done = false;
    bool QuitRequested = false;
    int64_t LastCounter = 0;
    float FrameDelta = 0.0f;
    uint32_t ScriptTickAccum = 0;

    // Unattended runs.
    bool Headless = false;
    int FrameLimit = 0;        // 0: no limit
    double FixedFrameMs = 0.0; // 0: the real clock
    int FramesRun = 0;

    // Replaceable for tests: the window maker (default: SDL, or the null
    // window when headless) and the halt (default: end the process).
    std::function<std::unique_ptr<platform::IWindow>()> MakeWindow;
    std::function<void(int status)> Halt;

private:
    // One step of the start-up or the shut-down, under its own name; a step
    // with a memory label is bracketed by the memory log.
    struct Step {
        Step(const char* stepName, std::function<void()> step) : name(stepName), run(std::move(step)) {}
        Step(const char* stepName, const char* label, std::function<void()> step)
            : name(stepName), memoryLabel(label), run(std::move(step)) {}
        const char* name;
        const char* memoryLabel = nullptr;
        std::function<void()> run;
    };
    // Runs the steps in order, up to the one after which `ended` is set.
    void RunSteps(const std::vector<Step>& steps, const bool* ended = nullptr);
    // The deferred-destruction purge between the shut-down's steps.
    void Purge();
    void InstallErrorHooks();
    bool AcquireInstance(const std::string& caption);
    std::string StartCaption();

    CoreServices services_;
    std::unique_ptr<platform::IWindow> window_;
    std::unique_ptr<platform::FrameClock> fixedClock_;
    std::unique_ptr<platform::InstanceLock> instance_;
    std::string instanceKey_;
};

// The application object; set while one exists.
extern TCore* Core;
// The main loop renders frames only while set (the window procedure changes it).
extern bool AppActive;
extern std::string FontPath;
extern bool FontAdded;
extern float ScreenScaleX;
extern float ScreenScaleY;

// The physics slices for one tick's dt: 30 ms slices while more than 30 ms
// remain (the rest is not given to physics), a step of 30 ms or less whole,
// and a vanishing step as 1 ms.
std::vector<float> PhysicsSlices(float dt);

} // namespace vesk
