#pragma once
// The root render unit "3DEngine" and the engine-wide services beside it: the
// render list and its pool, the viewport set, the scene root, the updater
// manager, the frame counter, timing counters, the render-pause query and
// the live-object registry. The engine draws each frame: the tree becomes a
// flat list of entries for two stages and two passes, and the list is run.
#include "platform/gfx/device.h"
#include "render/lights.h"
#include "render/obj_manager.h"
#include "render/render_unit.h"
#include "render/world_links.h"
#include "shared/compact_map.h"
#include "shared/updater.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vesk {

class D3DRoutineClass;
class IViewCamera;
class RenderListWalk;

// ---- render-list entries --------------------------------------------------------------
class RenderListUnitClass {
public:
    static constexpr uint16_t kDraw = 1;        // the unit's Draw
    static constexpr uint16_t kAfterChilds = 2; // the unit's EndRender
    static constexpr uint16_t kBeginEnv = 8;    // the environment's BeginRender

    void Init(TBaseRenderUnit* unit, uint16_t kind) {
        unit_ = unit;
        kind_ = kind;
    }
    // Any other kind does nothing.
    void Execute();
    uint16_t Kind() const { return kind_; }
    TBaseRenderUnit* Unit() const { return unit_; }
    // The id of the pool slot the entry lives in; -1 when it is not from a pool.
    int32_t SlotId() const { return slotId_; }
    void SetSlotId(int32_t id) { slotId_ = id; }

private:
    TBaseRenderUnit* unit_ = nullptr;
    int32_t slotId_ = -1;
    uint16_t kind_ = 0;
};

// ---- viewports ------------------------------------------------------------------------
struct TViewportEntry {
    int32_t word0 = 0, word1 = 0; // unused, always 0
    platform::D3DVIEWPORT9 viewport;
    std::shared_ptr<IViewCamera> camera;
};

class TViewportClass {
public:
    TViewportClass() { Create(); }
    void Create();
    void Destroy();
    // Appends an entry with the viewport given or the full screen; returns its index.
    int AddViewport(const platform::D3DVIEWPORT9* viewport, std::shared_ptr<IViewCamera> camera);
    void SetViewport(int i);
    void ClearTarget(uint32_t colour);
    void ClearZBuffer(float depth);
    TLightManager& GetLightManager() { return lights_; }
    void SetViewportData(int i, const platform::D3DVIEWPORT9& viewport);
    // Fractions of the screen, rounded to whole pixels.
    void SetViewportRect(int i, float x, float y, float w, float h);
    // The previous camera goes.
    void SetViewportCamera(int i, std::shared_ptr<IViewCamera> camera);
    IViewCamera* GetCamera() const { return current_ ? current_ : nullptr; }
    IViewCamera* GetViewportCamera(int i) const;
    bool GetViewport(int i, platform::D3DVIEWPORT9& out) const;
    TViewportEntry* GetViewportPtr(int i);
    int Count() const { return static_cast<int>(entries_.size()); }
    int CurrentIndex() const { return index_; }
    void SetScreenSize(uint32_t width, uint32_t height) {
        screenWidth_ = width;
        screenHeight_ = height;
    }

private:
    std::vector<TViewportEntry> entries_;
    int index_ = -1;
    TLightManager lights_;
    IViewCamera* current_ = nullptr;
    uint32_t screenWidth_ = 1024, screenHeight_ = 768;
};

// ---- frame counter, timing counters, render pause, live objects ----------------------------
class RenderFrameCounterClass {
public:
    void NextFrame() { ++frame_; }
    uint64_t GetFrame() const { return frame_; }
    void Reset() { frame_ = 0; }

private:
    uint64_t frame_ = 0;
};
extern RenderFrameCounterClass RenderFrameCounter;

class PerfomanceCounterClass {
public:
    explicit PerfomanceCounterClass(std::string name) : name_(std::move(name)) {}
    static void Start(int64_t& reading);
    // Adds the microseconds since the reading and counts one.
    void Add(int64_t reading);
    void Reset() {
        sum_ = 0;
        count_ = 0;
    }
    float Get() const { return sum_; }
    int32_t Count() const { return count_; }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    float sum_ = 0;
    int32_t count_ = 0;
};

class DebugOpsClass {
public:
    static constexpr int kCounters = 19;
    DebugOpsClass();
    PerfomanceCounterClass& Counter(int i) { return counters_[static_cast<size_t>(i)]; }
    // The counter of that name, nullptr when there is none.
    PerfomanceCounterClass* Find(const std::string& name);
    PerfomanceCounterClass& BulletsPC() { return Counter(0); }
    PerfomanceCounterClass& JetsPC() { return Counter(1); }
    PerfomanceCounterClass& ParticlesPC() { return Counter(2); }
    PerfomanceCounterClass& BurstPC() { return Counter(3); }
    PerfomanceCounterClass& ShieldsPC() { return Counter(4); }
    PerfomanceCounterClass& GlowPC() { return Counter(5); }
    PerfomanceCounterClass& CollisionPC() { return Counter(6); }
    PerfomanceCounterClass& Smokes() { return Counter(7); }
    PerfomanceCounterClass& Morph() { return Counter(8); }
    PerfomanceCounterClass& Animator() { return Counter(9); }
    PerfomanceCounterClass& JetsLinesPC() { return Counter(10); }
    PerfomanceCounterClass& ShipsPC() { return Counter(11); }
    PerfomanceCounterClass& TurretsPC() { return Counter(12); }
    PerfomanceCounterClass& DustsPC() { return Counter(13); }
    PerfomanceCounterClass& LampsPC() { return Counter(14); }
    PerfomanceCounterClass& SoundsPC() { return Counter(15); }
    PerfomanceCounterClass& User9PC() { return Counter(16); }
    PerfomanceCounterClass& User10PC() { return Counter(17); }
    PerfomanceCounterClass& User11PC() { return Counter(18); }

private:
    std::vector<PerfomanceCounterClass> counters_;
};
extern DebugOpsClass DebugOps;

// The interface desktop's pause byte; false without a desktop.
class RenderPauseClass : public IRenderPause {
public:
    bool IsRenderPaused() override;
};
extern RenderPauseClass RenderPause;
// Inline: every effect asks each tick and each listing.
inline bool IsRenderPaused() {
    const RenderWorldLinks& links = GetRenderWorldLinks();
    if (links.desktopPauseByte) return *links.desktopPauseByte;
    return links.desktopPaused && links.desktopPaused();
}

// Live render units by reference, with their class names.
class LiveObjectRegistryClass {
public:
    // Past this many records a debug hook runs (empty).
    static constexpr size_t kWatchLimit = 15000;
    void Register(const TEngineObject* o, std::string className);
    void Unregister(const TEngineObject* o);
    size_t Count() const { return records_.size(); }
    bool Contains(const TEngineObject* o) const { return records_.Contains(o); }
    // "<class name>" of each record, for dumps.
    std::vector<std::string> ClassNames() const;

private:
    CompactMap<const TEngineObject*, const std::string*> records_;
    std::unordered_set<std::string> names_;
};
// Made by the render start-up; units register only while it exists.
extern std::unique_ptr<LiveObjectRegistryClass> LiveObjects;

// ---- updater manager and scene roots -----------------------------------------------------
class UpdaterManagerClass : public TEngineObject {
public:
    static constexpr int kLists = 5;
    UpdaterManagerClass();
    // Routed by class: FXBulletClass 1, SceneClass 2, TMorphedAnimatedObjClass 3,
    // SimpleKeyAnimationClass 4, any other 0.
    void AddClient(TEngineObject* client);
    // Lists 0 (fixed step), 1 (one round), 3 (fixed step), 2 and 4 (one round each);
    // the sum of the client counts.
    int Update(float dtMs, int* rounds = nullptr);
    bool IsClient(TEngineObject* client) const;
    void RemoveClient(TEngineObject* client);
    UpdaterClass& List(int i) { return *lists_[static_cast<size_t>(i)]; }
    static int ListFor(const TEngineObject* client);
    void Free() override;

private:
    std::array<UpdaterClass*, kLists> lists_{};
};
// The global updater manager made at start-up besides the engine's own.
extern UpdaterManagerClass* UpdaterManager;

// A scene root of its own (an interface viewport's scene): it ticks its tree
// through the global updater manager, not with the engine's tree.
class SceneClass : public TBaseRenderUnit, public IUpdatableInterface {
public:
    // Also makes the scene a client of the global updater manager.
    void Init(TBaseRenderUnit* parent) override;
    // Leaves the updater manager.
    void Free() override;
    // Discards the scene's tree and frees it: the clean-up never does
    // (DiscardBRU answers false), its owner does when it ends.
    void DiscardScene();
    void UpdateMatrices(const Matrix* parent) override;
    // Not supported (fatal report).
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    // A scene is never released by the clean-up.
    bool DiscardBRU() override { return false; }
    // Ticks the tree when the scene was drawn in the previous frame and the desktop is not paused.
    void UpdateTick(float stepMs) override;
    void UpdateEndTick() override {}
    int64_t LastUpdateFrame() const { return lastUpdate_; }

private:
    int64_t lastUpdate_ = -1;
};

// The mouse cursor unit of the 3D scene: named "cursor", it follows the pick
// ray through the middle of the screen each frame.
class CursorClass : public TBaseRenderUnit {
public:
    // How far along the pick ray the cursor sits.
    static constexpr float kRayDistance = 1000.0f;
    void Init(TBaseRenderUnit* parent) override;
    bool DiscardBRU() override;
    void UpdateMatrices(const Matrix* parent) override;
    // The pick ray through a point of the 1024 x 768 virtual screen: the
    // camera's eye and the unit direction through that point.
    static void PickRay(const IViewCamera& camera, float x, float y, Vec3& origin, Vec3& direction);
};

// The environment until the space scene provides its own: it begins its
// render (ambient colour) in pass 2 of its stage, before its children draw.
class EnvironmentStandInClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override {
        TBaseRenderUnit::Init(parent);
        SetFlag2(BRU2_ENV_AMBIENT);
    }
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override;
};

// The environment's start entry, in the opaque listing of its stage ahead of
// its own entries: a killed environment has none.
void ListEnvironmentStart(TBaseRenderUnit& environment);

// A laser unit names the unit it starts from.
class ILaserUnit {
public:
    virtual TBaseRenderUnit* GetFromBRU() const = 0;

protected:
    ~ILaserUnit() = default;
};

// What the engine needs of frame capture and screenshots (the capture object
// by default; tests give their own).
class IEngineCapture {
public:
    virtual ~IEngineCapture() = default;
    virtual void Start() = 0;
    virtual void Stop() = 0;
    // The presented frame went into the capture texture.
    virtual void CopyFrame() = 0;
    // Saves the back buffer; false when frames should no longer be copied.
    virtual bool Screenshot() = 0;
};

// The post-effect controller's pixel shader for the render-to-texture quad.
class IPostEffectController {
public:
    virtual ~IPostEffectController() = default;
    virtual platform::IDirect3DPixelShader9* PixelShader() = 0;
    // "none" draws the frame without the pass; another name picks its shader list.
    virtual void SetMode(const std::string& name) = 0;
};

// ---- the root engine unit ----------------------------------------------------------------------

// What a higher layer keeps for one engine (the effects' lookups of a frame):
// the engine holds it and frees it with itself.
class IEngineAttachment {
public:
    virtual ~IEngineAttachment() = default;
};

class TEngineClass : public TBaseRenderUnit,
                     public IManagedObjectInitiator,
                     public IManagedObjectDeInitiator,
                     public IRenderPause {
public:
    static constexpr int kRenderListCapacity = 6000;
    static constexpr int kPoolCapacity = 3000;
    static constexpr int kPoolGrowth = 1000;
    static constexpr uint64_t kInScene = 1;

    TEngineClass();
    ~TEngineClass() override;
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    bool DiscardBRU() override;
    void Draw() override;
    void Tick(float dtMs) override;

    void RE_BeginScene();
    void RE_EndScene();
    void RenderFrame();
    void Present();
    void CleanChildsBRU();
    void ClearTarget(uint32_t colour);
    void ClearZBuffer(float depth);
    platform::IDirect3DDevice9* GetDevice() const;
    // What the walks of the render list remember between walks.
    RenderListWalk& Walk() { return *walk_; }
    // True when there is no list.
    bool GetRenderList(std::vector<RenderListUnitClass*>*& out);
    // An entry from the pool, its slot recorded on it.
    RenderListUnitClass* GetRenderListUnit();
    // Appends an entry (unit, kind) to the frame's list; while the frame's walk
    // lists the tree, to the part of the list of the listing at hand.
    void AddRenderListEntry(TBaseRenderUnit* unit, uint16_t kind);
    // The listing (an index of kFrameListing) the frame's walk lists for now.
    void SetListing(int listing) { listing_ = listing; }
    // A renderer that takes clients while the tree is listed takes them in the
    // order of the listings, as if each were walked on its own: a client of a
    // later listing waits for the end of the walk (DeferClient), when the
    // clients are handed on listing by listing through renderer->AddClient.
    bool DefersClients() const { return walking_ && listing_ > 0; }
    template <class R, class C> void DeferClient(R* renderer, C* client) {
        deferred_[static_cast<size_t>(listing_)].push_back(
            {renderer, client, [](void* r, void* c) { static_cast<R*>(r)->AddClient(static_cast<C*>(c)); }});
    }
    // Runs every entry of the frame's list in order, gives each back to the pool
    // and empties the list.
    void RunRenderList();
    bool GetDrawPassFlag() const { return drawFlag_; }
    // The draw flag: whether an environment exists (worked out at the start of each Draw).
    void UpdateDrawPassFlag();
    void CreateDrawObjects();
    void EnableRenderToTexture();
    void DisableRenderToTexture() { renderToTexture_ = false; }
    void EnableCopyRenderDataToTexture(bool on);
    void StartCapture();
    void StopCapture();
    void RequestScreenshot() { screenshotRequest_ = true; }
    bool ScreenshotRequested() const { return screenshotRequest_; }
    D3DRoutineClass* GetD3DRoutine() const { return routine_.get(); }
    void SetPostEffectController(std::shared_ptr<IPostEffectController> c) { postEffects_ = std::move(c); }
    IPostEffectController* GetPostEffectController() const { return postEffects_.get(); }
    void SetCaptureObject(std::unique_ptr<IEngineCapture> c) { capture_ = std::move(c); }
    // 0 when there is a cursor, -1 without one.
    int GetCursor(CursorClass*& out) const {
        out = cursor_;
        return cursor_ ? 0 : -1;
    }
    // The first child with the laser flag whose source unit is the given one.
    bool GetLaserByFromBRU(TBaseRenderUnit* source, TBaseRenderUnit*& out);
    TBaseRenderUnit* CreateShipBRU(const std::string& a, const std::string& b);
    bool FindShipByName(const std::string& name, TBaseRenderUnit*& out);
    bool FindShipBRU(TBaseRenderUnit* unit);
    // The global helper of that name under the engine, made when missing ("WayPoint").
    TBaseRenderUnit* FindOrAddGlobalHelper(const std::string& name);
    // The player ship unit, nullptr without one.
    TBaseRenderUnit* GetPlayerShip() const { return playerShip_; }
    void SetPlayerShip(TBaseRenderUnit* ship) { playerShip_ = ship; }
    // The engine's global transform (the world transform of extra render-object lists).
    const Matrix& GetGlobalTransform() const { return worldMatrix_; }

    void SetEngineFlags(uint64_t f) { engineFlags_ |= f; }
    void ClearEngineFlags(uint64_t f) { engineFlags_ &= ~f; }
    bool HasEngineFlags(uint64_t f) const { return (engineFlags_ & f) != 0; }
    void IncFrameObjCount() { ++frameObjCount_; }
    uint32_t FrameObjCount() const { return frameObjCount_; }
    float FrameStep() const { return frameStep_; }
    float TotalTime() const { return totalTime_; }
    TViewportClass& Viewports() { return *viewports_; }
    int32_t EngineViewportId() const { return engineViewport_; }
    UpdaterManagerClass* GetUpdaterManager() const { return updater_; }
    // The effects' attachment: nullptr until they make one; only they set it.
    IEngineAttachment* EffectsAttachment() const { return effects_.get(); }
    void SetEffectsAttachment(std::unique_ptr<IEngineAttachment> a) { effects_ = std::move(a); }
    ObjManagerClass* RenderListPool() const { return pool_; }
    size_t RenderListSize() const { return renderList_ ? renderList_->size() : 0; }
    bool RenderToTexture() const { return renderToTexture_; }
    // The surface the scene is drawn into while render to texture is on.
    platform::IDirect3DSurface9* RenderTargetSurface() const { return rtSurface1_.Get(); }
    bool Capturing() const { return captureState_; }
    platform::IDirect3DTexture9* CaptureTexture() const { return captureTexture_.Get(); }

    bool IsRenderPaused() override;
    void InitObject(ManagedObjectClass& slot) override;   // NewRenderListUnit
    void DeInitObject(ManagedObjectClass& slot) override; // FreeRenderListUnit

private:
    void DrawTextureQuad(platform::IDirect3DTexture9* texture, platform::IDirect3DPixelShader9* shader);

    // The frame's one walk of the tree, its listings joined in order.
    void FillFrameRenderList();

    uint64_t engineFlags_ = 0;
    std::unique_ptr<std::vector<RenderListUnitClass*>> renderList_;
    // While the frame's walk runs: the listing at hand, what each listing takes
    // (made into entries in the list's order once the walk ends, so the list runs
    // through its pool's slots in the order it took them) and the renderers'
    // clients of the later listings.
    bool walking_ = false;
    int listing_ = 0;
    std::vector<std::pair<TBaseRenderUnit*, uint16_t>> listed_[kFrameListings];
    struct DeferredClient {
        void* renderer;
        void* client;
        void (*add)(void* renderer, void* client);
    };
    std::vector<DeferredClient> deferred_[kFrameListings];
    std::unique_ptr<RenderListWalk> walk_;
    ObjManagerClass* pool_ = nullptr;
    UpdaterManagerClass* updater_ = nullptr;
    float frameStep_ = 0, totalTime_ = 0;
    bool captureState_ = false;
    platform::Ref<platform::IDirect3DTexture9> captureTexture_;
    platform::Ref<platform::IDirect3DSurface9> captureSurface_;
    std::unique_ptr<IEngineCapture> capture_;
    CursorClass* cursor_ = nullptr;
    std::unique_ptr<D3DRoutineClass> routine_;
    std::shared_ptr<IPostEffectController> postEffects_;
    bool screenshotRequest_ = false;
    bool renderToTexture_ = false;
    bool drawFlag_ = false;
    bool drawObjectsCreated_ = false;
    platform::Ref<platform::IDirect3DTexture9> rtTexture1_, rtTexture2_;
    platform::Ref<platform::IDirect3DSurface9> rtSurface1_, rtSurface2_;
    platform::Ref<platform::IDirect3DPixelShader9> postShader_;
    std::unique_ptr<TViewportClass> viewports_;
    int32_t engineViewport_ = 0;
    uint32_t frameObjCount_ = 0;
    TBaseRenderUnit* playerShip_ = nullptr;
    std::unique_ptr<IEngineAttachment> effects_;
};

// The one engine; nullptr before the render start-up and after the shut-down.
extern TEngineClass* Engine;

} // namespace vesk
