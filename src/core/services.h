#pragma once
// What the application object needs of the subsystems above the core: the
// render engine, the sound engine, the game-object tree with its lists, the
// interface (desktop, console, input, tools), the space scene and the camera.
// Each is a small interface; the core carries a stand-in for each so that the
// start-up, the frame and the shut-down run before a subsystem exists, and the
// higher libraries install their own implementations at start-up.
#include <memory>
#include <string>

namespace vesk {

namespace platform {
class IWindow;
}

// The engine root, the device and the frame's drawing.
class IRenderEngine {
public:
    virtual ~IRenderEngine() = default;
    // The render units' tick manager; the start-up makes it early, before the
    // Lua machine and the engine root.
    virtual void CreateTickManager() = 0;
    // Creates the engine root, the devices on the window and the render managers.
    virtual void Init(platform::IWindow& window) = 0;
    virtual void BeginScene() = 0;
    virtual void RenderFrame() = 0;
    // The frame without the 3D scene: clean-up of killed units, the viewport made current.
    virtual void SkipScene() = 0;
    virtual void EndScene() = 0;
    virtual void Present() = 0;
    // The rendered-frame counter.
    virtual void NextFrame() = 0;
    virtual void SortChildsBRU() = 0;
    // The engine root's matrices (the planet system's are the scene's).
    virtual void UpdateMatrices() = 0;
    virtual void TickTree(float dt) = 0;
    // The updater managers' tick: key animations, video textures, scenes.
    virtual void TickUpdaters(float dt) = 0;
    // Shut-down: capture stopped, units discarded, managers freed, devices released.
    virtual void StopCapture() = 0;
    // The engine root drops its killed units and the empty places they leave.
    virtual void CleanUnits() = 0;
    virtual void DiscardUnits() = 0;
    virtual void FreeManagers() = 0;
    virtual void DoneDevices() = 0;
    virtual void Release() = 0;
};

// The sound engine interface (the full one or the silent one).
class ISoundEngine {
public:
    virtual ~ISoundEngine() = default;
    // The owner of the sound device, made early in the start-up; the device
    // itself opens when the engine starts.
    virtual void CreateCore() = 0;
    // Made at start-up: with sound on, the engine is started on the window.
    virtual void Start(bool soundOn, platform::IWindow& window) = 0;
    virtual void Update(int ms) = 0;
    virtual void Done() = 0;
};

// The game-object tree "_G", its global lists and the game's own managers.
class IGameWorld {
public:
    virtual ~IGameWorld() = default;
    virtual void CreateObjManagers() = 0; // the pool registry
    virtual void CreateRoots() = 0;       // "_G", "ini", "gameSystem", "bal", "parts"
    virtual void CreateDialogs(const std::string& dialogsPath) = 0;
    virtual void CreateGameVars() = 0;         // the global lists and objects under "_G"
    virtual void CreateStandardManagers() = 0; // the preset pools
    virtual void ApplySetupFlags(bool nozzles, bool bsphereDisplay, bool showBSpheres) = 0;
    virtual void LoadIni() = 0; // "new.cfg"
    virtual void SaveIni() = 0; // when autoSaveIni is on
    virtual void LoadDefaultProfile() = 0;
    // Values the start-up hands to the scripts.
    virtual std::string IniText(const std::string& key) = 0;
    virtual std::string CurrentSaveId() = 0;
    // The global lists' ticks; a list that does not exist does nothing.
    virtual void TickList(const std::string& name, float dt) = 0;
    // The statistics counters' timers follow the game time.
    virtual void TickStatistics(float dt) = 0;
    virtual void FinishStatistics() = 0;
    virtual void DeleteItems() = 0; // "items" DeleteChildren
    virtual void FreeDialogs() = 0;
    virtual void DeleteTree() = 0;      // "_G" Delete
    virtual void ReleaseManagers() = 0; // preset pools and the pool registry
    virtual void DeleteStatistics() = 0;
    virtual void ReleaseDeleted() = 0; // the "deleted" list itself
};

// The interface engine: its core, the desktop, the console, the input devices and the tools.
class IDesktop {
public:
    virtual ~IDesktop() = default;
    virtual void InitCore() = 0;
    virtual void FreeCore() = 0;
    virtual void ExecConsoleFile(const std::string& file) = 0;
    // The value a console file's lines give a settings variable ("" when none
    // does), read before the files run.
    virtual std::string PeekConsoleValue(const std::string& file, const std::string& name) = 0;
    virtual void Create() = 0;
    virtual void InitInput(platform::IWindow& window) = 0;
    virtual void SetInputAcquired(bool acquired) = 0;
    virtual void TickInput(float dt) = 0;
    // The tools' frame timer; may cap dt.
    virtual void UpdateFrameTimer(float& dt) = 0;
    virtual std::string Version() = 0;
    virtual void SetScriptsLoaded() = 0;
    virtual void Upload() = 0;
    virtual void UpdateAll() = 0;
    virtual void EmptyHook() = 0;
    virtual void EndStartup() = 0;  // the start-up background goes away
    virtual int Mode() = 0;         // 0..15
    virtual bool SceneHidden() = 0; // hide flag or a mode without 3D
    virtual bool Paused() = 0;
    virtual bool SteeringOff() = 0;
    virtual void FrameTick(int ms) = 0;
    virtual void Update() = 0;
    virtual void Render() = 0;
    virtual void Release() = 0;
};

// The space scene ("Env"), its effects and the player's ship steering.
class ISpaceScene {
public:
    virtual ~ISpaceScene() = default;
    virtual void TickPhys(float dt) = 0;
    // The current planet system's matrices; nothing without one.
    virtual void UpdatePlanetSystem() = 0;
    virtual void UpdatePlayerShipSteering() = 0;
    virtual void DestroyPlanetSystem() = 0;
    virtual void FreeFXTemplates() = 0;
    virtual void Free() = 0;
};

class IGameCamera {
public:
    virtual ~IGameCamera() = default;
    virtual void Create() = 0;
    virtual void Init() = 0;
    virtual void ApplyStartFlags(int flags, int extra) = 0;
    virtual void Tick(float dt) = 0;
    virtual void Free() = 0;
};

// Everything the application object calls above the core.
struct CoreServices {
    std::unique_ptr<IRenderEngine> render;
    std::unique_ptr<ISoundEngine> sound;
    std::unique_ptr<IGameWorld> game;
    std::unique_ptr<IDesktop> desktop;
    std::unique_ptr<ISpaceScene> scene;
    std::unique_ptr<IGameCamera> camera;
};

// Fills every empty slot with the core's stand-in (which does nothing beyond
// what the core itself needs to run).
void FillWithStandIns(CoreServices& services);

// The stand-ins, for tests that record calls on top of them.
class StandInRenderEngine : public IRenderEngine {
public:
    void CreateTickManager() override {}
    void Init(platform::IWindow&) override {}
    void BeginScene() override {}
    void RenderFrame() override {}
    void SkipScene() override {}
    void EndScene() override {}
    void Present() override {}
    void NextFrame() override {}
    void SortChildsBRU() override {}
    void UpdateMatrices() override {}
    void TickTree(float) override {}
    void TickUpdaters(float) override {}
    void StopCapture() override {}
    void CleanUnits() override {}
    void DiscardUnits() override {}
    void FreeManagers() override {}
    void DoneDevices() override {}
    void Release() override {}
};

class StandInSoundEngine : public ISoundEngine {
public:
    void CreateCore() override {}
    void Start(bool, platform::IWindow&) override {}
    void Update(int) override {}
    void Done() override {}
};

class StandInGameWorld : public IGameWorld {
public:
    void CreateObjManagers() override {}
    void CreateRoots() override {}
    void CreateDialogs(const std::string&) override {}
    void CreateGameVars() override {}
    void CreateStandardManagers() override {}
    void ApplySetupFlags(bool, bool, bool) override {}
    void LoadIni() override {}
    void SaveIni() override {}
    void LoadDefaultProfile() override {}
    std::string IniText(const std::string&) override { return {}; }
    std::string CurrentSaveId() override { return {}; }
    void TickList(const std::string&, float) override {}
    void TickStatistics(float) override {}
    void FinishStatistics() override {}
    void DeleteItems() override {}
    void FreeDialogs() override {}
    void DeleteTree() override {}
    void ReleaseManagers() override {}
    void DeleteStatistics() override {}
    void ReleaseDeleted() override {}
};

// The version is "Unknow", as the tools report it before reading the program file.
class StandInDesktop : public IDesktop {
public:
    void InitCore() override {}
    void FreeCore() override {}
    void ExecConsoleFile(const std::string&) override {}
    std::string PeekConsoleValue(const std::string&, const std::string&) override { return {}; }
    void Create() override {}
    void InitInput(platform::IWindow&) override {}
    void SetInputAcquired(bool) override {}
    void TickInput(float) override {}
    void UpdateFrameTimer(float&) override {}
    std::string Version() override { return "Unknow"; }
    void SetScriptsLoaded() override {}
    void Upload() override {}
    void UpdateAll() override {}
    void EmptyHook() override {}
    void EndStartup() override {}
    int Mode() override { return 0; }
    bool SceneHidden() override { return false; }
    bool Paused() override { return false; }
    bool SteeringOff() override { return false; }
    void FrameTick(int) override {}
    void Update() override {}
    void Render() override {}
    void Release() override {}
};

class StandInSpaceScene : public ISpaceScene {
public:
    void TickPhys(float) override {}
    void UpdatePlanetSystem() override {}
    void UpdatePlayerShipSteering() override {}
    void DestroyPlanetSystem() override {}
    void FreeFXTemplates() override {}
    void Free() override {}
};

class StandInGameCamera : public IGameCamera {
public:
    void Create() override {}
    void Init() override {}
    void ApplyStartFlags(int, int) override {}
    void Tick(float) override {}
    void Free() override {}
};

} // namespace vesk
