#include "render/engine.h"

#include "platform/gfx/d3dx.h"
#include "platform/text.h"
#include "render/capture.h"
#include "render/device.h"
#include "render/key_animation.h"
#include "render/morphed_obj.h"
#include "render/post_process.h"
#include "render/render_walk.h"
#include "render/video_renderer.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/async_objects.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/memstatus.h"
#include "shared/timers.h"

#include <cmath>
#include <iterator>

namespace vesk {

using namespace platform;

TEngineClass* Engine = nullptr;
RenderFrameCounterClass RenderFrameCounter;
DebugOpsClass DebugOps;
RenderPauseClass RenderPause;
std::unique_ptr<LiveObjectRegistryClass> LiveObjects;
UpdaterManagerClass* UpdaterManager = nullptr;

namespace {

// The frame's clear colour (0.05, 0.1, 0.15, 0) as a 32-bit colour.
constexpr D3DCOLOR kClearColour = 0x000D1A26;
constexpr float kFarPlane = 150000.0f;
constexpr float kNearPlane = 1.0f;
// Pixel shader 2.0's instruction slots (the device layer reports no count of its own).
constexpr uint32_t kPs20InstructionSlots = 96;

// A one-level texture of the device viewport's size in the back buffer's format.
void CreateViewportTexture(IDirect3DDevice9* d, uint32_t usage, D3DPOOL pool, Ref<IDirect3DTexture9>& out,
                           const char* failText) {
    D3DVIEWPORT9 vp;
    d->GetViewport(&vp);
    const D3DFORMAT format = PresentParameters.BackBufferFormat != D3DFMT_UNKNOWN
                                 ? PresentParameters.BackBufferFormat
                                 : D3DFMT_X8R8G8B8;
    CheckDXResult(d->CreateTexture(vp.Width, vp.Height, 1, usage, format, pool, out.Put(), nullptr), failText,
                  "mhl");
}

// The capture object of frame capture and screenshots.
class CaptureObject : public IEngineCapture {
public:
    CaptureObject(Ref<IDirect3DTexture9> texture, CaptureIniReader ini)
        : capture_(std::move(texture), 0, std::move(ini)) {}
    void Start() override { capture_.Start(); }
    void Stop() override { capture_.Stop(); }
    void CopyFrame() override { capture_.CopyFrame(); }
    bool Screenshot() override { return capture_.Screenshot(); }

private:
    CaptureClass capture_;
};

} // namespace

// ---- render-list entries ------------------------------------------------------------------

void RenderListUnitClass::Execute() {
    if (!unit_) return;
    switch (kind_) {
    case kDraw:
        unit_->Draw();
        break;
    case kAfterChilds:
        unit_->EndRender();
        break;
    case kBeginEnv:
        unit_->BeginRender();
        break;
    default:
        break;
    }
}

// ---- viewports ------------------------------------------------------------------------------

void TViewportClass::Create() {
    entries_.clear();
    index_ = -1;
    lights_.Create();
    current_ = nullptr;
}

void TViewportClass::Destroy() {
    entries_.clear();
    current_ = nullptr;
    index_ = -1;
}

int TViewportClass::AddViewport(const D3DVIEWPORT9* viewport, std::shared_ptr<IViewCamera> camera) {
    TViewportEntry e;
    if (viewport)
        e.viewport = *viewport;
    else
        e.viewport = {0, 0, screenWidth_, screenHeight_, 0.0f, 1.0f};
    e.camera = std::move(camera);
    entries_.push_back(std::move(e));
    return Count() - 1;
}

TViewportEntry* TViewportClass::GetViewportPtr(int i) {
    if (i < 0 || i >= Count()) return nullptr;
    return &entries_[static_cast<size_t>(i)];
}

void TViewportClass::SetViewport(int i) {
    TViewportEntry* e = GetViewportPtr(i);
    if (!e) return;
    if (IDirect3DDevice9* d = Device.Get())
        CheckDXResult(d->SetViewport(&e->viewport), "d3dd.SetViewport", "mhl");
    if (e->camera) {
        e->camera->SetScreenSize(static_cast<float>(e->viewport.Width),
                                 static_cast<float>(e->viewport.Height));
        e->camera->CalcMatrices(kNearPlane, kFarPlane);
        current_ = e->camera.get();
    } else {
        e->camera = DefaultViewCamera();
    }
    index_ = i;
}

void TViewportClass::ClearTarget(uint32_t colour) {
    if (IDirect3DDevice9* d = Device.Get())
        CheckDXResult(d->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0),
                      "Failed RE_Clear.d3dd.Clear(target): ", "mhl");
}

void TViewportClass::ClearZBuffer(float depth) {
    if (IDirect3DDevice9* d = Device.Get())
        CheckDXResult(d->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, depth, 0),
                      "Failed RE_Clear.d3dd.Clear(zbuffer): ", "mhl");
}

void TViewportClass::SetViewportData(int i, const D3DVIEWPORT9& viewport) {
    if (TViewportEntry* e = GetViewportPtr(i)) e->viewport = viewport;
}

void TViewportClass::SetViewportRect(int i, float x, float y, float w, float h) {
    TViewportEntry* e = GetViewportPtr(i);
    if (!e) return;
    const auto px = [](float f, uint32_t size) {
        return static_cast<uint32_t>(std::max(0.0f, std::round(f * static_cast<float>(size))));
    };
    e->viewport.X = px(x, screenWidth_);
    e->viewport.Y = px(y, screenHeight_);
    e->viewport.Width = px(w, screenWidth_);
    e->viewport.Height = px(h, screenHeight_);
}

void TViewportClass::SetViewportCamera(int i, std::shared_ptr<IViewCamera> camera) {
    TViewportEntry* e = GetViewportPtr(i);
    if (!e) return;
    if (current_ == e->camera.get()) current_ = camera.get();
    e->camera = std::move(camera);
}

IViewCamera* TViewportClass::GetViewportCamera(int i) const {
    if (i < 0 || i >= Count()) return nullptr;
    return entries_[static_cast<size_t>(i)].camera.get();
}

bool TViewportClass::GetViewport(int i, D3DVIEWPORT9& out) const {
    if (i < 0 || i >= Count()) return false;
    out = entries_[static_cast<size_t>(i)].viewport;
    return true;
}

// ---- counters, pause, live objects ---------------------------------------------------------

void PerfomanceCounterClass::Start(int64_t& reading) {
    GetPerfCounter(reading);
}

void PerfomanceCounterClass::Add(int64_t reading) {
    sum_ += PerfElapsedUs(reading);
    ++count_;
}

DebugOpsClass::DebugOpsClass() {
    for (const char* name :
         {"BulletsPC", "JetsPC", "ParticlesPC", "BurstPC", "ShieldsPC", "GlowPC", "CollisionPC", "Smokes",
          "Morph", "Animator", "JetsLinesPC", "ShipsPC", "TurretsPC", "DustsPC", "LampsPC", "SoundsPC",
          "User9PC", "User10PC", "User11PC"})
        counters_.emplace_back(name);
}

PerfomanceCounterClass* DebugOpsClass::Find(const std::string& name) {
    for (auto& c : counters_)
        if (c.Name() == name) return &c;
    return nullptr;
}

bool RenderPauseClass::IsRenderPaused() {
    return vesk::IsRenderPaused();
}

void LiveObjectRegistryClass::Register(const TEngineObject* o, std::string className) {
    // A class's name is kept once, however many of its units live.
    records_.Set(o, &*names_.insert(std::move(className)).first);
    if (records_.size() > kWatchLimit) {
        // A place to stop in a debugger when units pile up.
    }
}

void LiveObjectRegistryClass::Unregister(const TEngineObject* o) {
    records_.Erase(o);
}

std::vector<std::string> LiveObjectRegistryClass::ClassNames() const {
    std::vector<std::string> out;
    out.reserve(records_.size());
    records_.ForEach([&out](const TEngineObject*, const std::string* name) { out.push_back(*name); });
    return out;
}

// ---- updater manager, scenes, the environment stand-in ---------------------------------------

UpdaterManagerClass::UpdaterManagerClass() {
    for (auto& l : lists_) l = New<UpdaterClass>();
}

void UpdaterManagerClass::Free() {
    for (auto& l : lists_)
        if (UpdaterClass* u = std::exchange(l, nullptr)) u->Free();
    if (UpdaterManager == this) UpdaterManager = nullptr;
    TEngineObject::Free();
}

int UpdaterManagerClass::ListFor(const TEngineObject* client) {
    if (dynamic_cast<const SceneClass*>(client)) return 2;
    if (IsClassType<TMorphedAnimatedObjClass>(client)) return 3;
    if (IsClassType<SimpleKeyAnimationClass>(client)) return 4;
    if (ClassManager.IsClassType(client, "FXBulletClass")) return 1;
    return 0;
}

void UpdaterManagerClass::AddClient(TEngineObject* client) {
    if (client) List(ListFor(client)).AddClient(client);
}

int UpdaterManagerClass::Update(float dtMs, int* rounds) {
    int r = 0, total = 0;
    int n = List(0).Update(dtMs, &r);
    total += r;
    n += List(1).UpdateOnce(dtMs, &r);
    total += r;
    n += List(3).Update(dtMs, &r);
    total += r;
    n += List(2).UpdateOnce(dtMs, &r);
    total += r;
    n += List(4).UpdateOnce(dtMs, &r);
    total += r;
    if (rounds) *rounds = total;
    return n;
}

bool UpdaterManagerClass::IsClient(TEngineObject* client) const {
    for (UpdaterClass* l : lists_)
        if (l->HasClient(client)) return true;
    return false;
}

void UpdaterManagerClass::RemoveClient(TEngineObject* client) {
    for (UpdaterClass* l : lists_) l->RemoveClient(client);
}

void SceneClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    SetFlag(BRU_ROOT);
    lastUpdate_ = -1;
    if (UpdaterManager && !UpdaterManager->IsClient(this)) UpdaterManager->AddClient(this);
}

void SceneClass::Free() {
    if (UpdaterManager) UpdaterManager->RemoveClient(this);
    TBaseRenderUnit::Free();
}

void SceneClass::DiscardScene() {
    if (UpdaterManager) UpdaterManager->RemoveClient(this);
    if (TBaseRenderUnit* p = Parent()) p->ReleaseChild(this);
    if (TBaseRenderUnit::DiscardBRU()) Free();
}

void SceneClass::UpdateMatrices(const Matrix* parent) {
    lastUpdate_ = static_cast<int64_t>(RenderFrameCounter.GetFrame());
    TBaseRenderUnit::UpdateMatrices(parent);
}

TBaseRenderUnit* SceneClass::CreateCopy(TBaseRenderUnit*) {
    ErrorReport("SceneClass.CreateCopy: not supported", "mhl");
    return nullptr;
}

void SceneClass::UpdateTick(float stepMs) {
    if (IsRenderPaused()) return;
    if (static_cast<int64_t>(RenderFrameCounter.GetFrame()) != lastUpdate_ + 1) return;
    TickTree(stepMs);
}

void EnvironmentStandInClass::FillRenderList(int stage, int pass) {
    if (Engine && stage == renderStage_ && pass == kPassOpaque && !HasFlag(BRU_KILLED))
        Engine->AddRenderListEntry(this, RenderListUnitClass::kBeginEnv);
    TBaseRenderUnit::FillRenderList(stage, pass);
}

void ListEnvironmentStart(TBaseRenderUnit& environment) {
    if (!Engine || environment.HasFlag(BRU_KILLED)) return;
    for (int l = 0; l < kFrameListings; ++l)
        if (kFrameListing[l].pass == kPassOpaque && kFrameListing[l].stage == environment.GetRenderStage()) {
            Engine->SetListing(l);
            Engine->AddRenderListEntry(&environment, RenderListUnitClass::kBeginEnv);
        }
}

void EnvironmentStandInClass::FillRenderLists() {
    ListEnvironmentStart(*this);
    TBaseRenderUnit::FillRenderLists();
}

// ---- the engine ----------------------------------------------------------------------------

TEngineClass::TEngineClass() = default;
TEngineClass::~TEngineClass() = default;

void TEngineClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    routine_ = std::make_unique<D3DRoutineClass>();
    SetFlag(BRU_ROOT);
    name_ = "3DEngine";
    viewports_ = std::make_unique<TViewportClass>();
    engineViewport_ = viewports_->AddViewport(nullptr, nullptr);
    viewportId_ = engineViewport_;
    captureState_ = screenshotRequest_ = renderToTexture_ = false;
    renderList_ = std::make_unique<std::vector<RenderListUnitClass*>>();
    walk_ = std::make_unique<RenderListWalk>();
    const std::string pool = "ObjManagerClass.Init(" + name_ + ")[" + IntToStr32(kPoolCapacity) + "] ";
    FastLogAdd("<<<-TEngineClass.Init: " + pool + GetMemStatusStr());
    pool_ = New<ObjManagerClass>(kPoolCapacity, nullptr, this, this, "RL for TEngine", kPoolGrowth);
    FastLogAdd(">>>-TEngineClass.Init: " + pool + GetMemStatusStr());
    renderList_->reserve(kRenderListCapacity);
    localMatrix_ = Matrix{};
    updater_ = New<UpdaterManagerClass>();
    frameStep_ = totalTime_ = 0;
    cursor_ = Create<CursorClass>(this);
    AddChild(cursor_);
    GetGameOps();
    drawFlag_ = false;
    if (!Engine) Engine = this;
}

void TEngineClass::Free() {
    if (ObjManagerClass* pool = std::exchange(pool_, nullptr)) pool->Free();
    renderList_.reset();
    routine_.reset();
    postEffects_.reset();
    if (CursorClass* c = std::exchange(cursor_, nullptr)) {
        if (childs_) {
            int i = childs_->IndexOf(c);
            if (i >= 0) childs_->Put(i, nullptr);
        }
        if (c->DiscardBRU()) c->Release();
    }
    viewports_.reset();
    if (UpdaterManagerClass* u = std::exchange(updater_, nullptr)) u->Free();
    capture_.reset();
    effects_.reset();
    if (Engine == this) {
        Engine = nullptr;
        // The scene's links go with the engine (the scene itself is freed elsewhere).
        GetRenderWorldLinks().environment = nullptr;
        GetRenderWorldLinks().environmentSet = nullptr;
    }
    TBaseRenderUnit::Free();
}

bool TEngineClass::DiscardBRU() {
    cursor_ = nullptr; // discarded with the other children
    return TBaseRenderUnit::DiscardBRU();
}

void TEngineClass::Tick(float dtMs) {
    frameStep_ = dtMs;
    totalTime_ += dtMs;
    TBaseRenderUnit::Tick(dtMs);
}

bool TEngineClass::IsRenderPaused() {
    return RenderPause.IsRenderPaused();
}

IDirect3DDevice9* TEngineClass::GetDevice() const {
    return Device.Get();
}

// The entry lives in the slot itself.
static_assert(sizeof(RenderListUnitClass) <= ManagedObjectClass::kInlineBytes);

void TEngineClass::InitObject(ManagedObjectClass& slot) {
    // The entry lives in the slot's own block.
    const RenderListUnitClass entry;
    slot.SetStructData(&entry, sizeof entry);
}

void TEngineClass::DeInitObject(ManagedObjectClass& slot) {
    if (slot.HasData()) slot.DeleteStructData();
}

bool TEngineClass::GetRenderList(std::vector<RenderListUnitClass*>*& out) {
    out = renderList_.get();
    return out == nullptr;
}

RenderListUnitClass* TEngineClass::GetRenderListUnit() {
    ManagedObjectClass* slot = pool_->GetObject();
    auto* e = static_cast<RenderListUnitClass*>(slot->GetDataPtr());
    e->SetSlotId(pool_->SlotId(*slot));
    return e;
}

void TEngineClass::AddRenderListEntry(TBaseRenderUnit* unit, uint16_t kind) {
    if (!renderList_ || !pool_) return;
    if (walking_) {
        listed_[static_cast<size_t>(listing_)].emplace_back(unit, kind);
        return;
    }
    RenderListUnitClass* e = GetRenderListUnit();
    e->Init(unit, kind);
    // Half as much again when full: a long list keeps little room unused.
    if (renderList_->size() == renderList_->capacity()) renderList_->reserve(renderList_->size() * 3 / 2);
    renderList_->push_back(e);
}

void TEngineClass::FillFrameRenderList() {
    walk_->Start();
    walking_ = true;
    listing_ = 0;
    FillRenderLists();
    walking_ = false;
    listing_ = 0;
    walk_->Finish();
    for (auto& listed : listed_) {
        for (const auto& [unit, kind] : listed) AddRenderListEntry(unit, kind);
        listed.clear();
    }
    for (std::vector<DeferredClient>& clients : deferred_) {
        for (const DeferredClient& c : clients) c.add(c.renderer, c.client);
        clients.clear();
    }
}

void TEngineClass::UpdateDrawPassFlag() {
    TBaseRenderUnit* env = nullptr;
    drawFlag_ = RE_GetEnvironment(env);
}

void TEngineClass::RunRenderList() {
    if (!renderList_) return;
    // By index: an entry may add entries of its own while it runs. The entries
    // and units a few places ahead are asked for early, so a long list does not
    // wait on memory at each unit.
    constexpr size_t kAhead = 32;
    for (size_t i = 0; i < renderList_->size(); ++i) {
        if (i + 2 * kAhead < renderList_->size()) __builtin_prefetch((*renderList_)[i + 2 * kAhead]);
        if (i + kAhead < renderList_->size())
            RenderListWalk::PrefetchForDraw((*renderList_)[i + kAhead]->Unit());
        RenderListUnitClass* e = (*renderList_)[i];
        e->Execute();
        if (const int32_t id = e->SlotId(); id >= 0) {
            e->SetSlotId(-1);
            if (ManagedObjectClass* slot = pool_ ? pool_->ObjectAt(id) : nullptr) slot->ReturnToPool();
        }
    }
    renderList_->clear();
}

void TEngineClass::Draw() {
    frameObjCount_ = 0;
    int64_t start = 0;
    GetPerfCounter(start);
    UpdateDrawPassFlag();
    FillFrameRenderList();
    RunRenderList();
    if (GameOpsClass* ops = Cold().gameOps)
        if (IShipsOps* ships = ops->GetShipsOps()) ships->DropShipListCache();
    GetRenderOps()->ClearClients();
}

void TEngineClass::ClearTarget(uint32_t colour) {
    if (IDirect3DDevice9* d = GetDevice())
        CheckDXResult(d->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0), "TEngineClass.ClearTarget",
                      "mhl");
}

void TEngineClass::ClearZBuffer(float depth) {
    if (IDirect3DDevice9* d = GetDevice())
        CheckDXResult(d->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, depth, 0), "TEngineClass.ClearZBuffer",
                      "mhl");
}

void TEngineClass::RE_BeginScene() {
    IDirect3DDevice9* d = GetDevice();
    if (!d || HasEngineFlags(kInScene)) return;
    CheckDXResult(d->BeginScene(), "Failed RE_BeginScene ", "mhl");
    SetEngineFlags(kInScene);
}

void TEngineClass::RE_EndScene() {
    IDirect3DDevice9* d = GetDevice();
    if (!d || !HasEngineFlags(kInScene)) return;
    CheckDXResult(d->EndScene(), "Failed d3dd.EndScene() ", "mhl");
    ClearEngineFlags(kInScene);
}

void TEngineClass::DrawTextureQuad(IDirect3DTexture9* texture, IDirect3DPixelShader9* shader) {
    IDirect3DDevice9* d = GetDevice();
    if (!d || !texture) return;
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    const float w = static_cast<float>(desc.Width), h = static_cast<float>(desc.Height);
    // White vertex colour: the texture shows as it is under the default stage.
    struct QuadVertex {
        float x, y, z, rhw;
        D3DCOLOR colour;
        float u, v;
    };
    constexpr D3DCOLOR white = 0xFFFFFFFF;
    const QuadVertex quad[4] = {{0, 0, 0.9f, 1.0f, white, 0, 0},
                                {w, 0, 0.9f, 1.0f, white, 1, 0},
                                {0, h, 0.9f, 1.0f, white, 0, 1},
                                {w, h, 0.9f, 1.0f, white, 1, 1}};
    // The quad is the whole picture: the scene's depths must not hide it, and
    // nothing of what the target held before may blend or fog into it.
    constexpr D3DRENDERSTATETYPE kOff[] = {D3DRS_ZENABLE, D3DRS_ALPHABLENDENABLE, D3DRS_ALPHATESTENABLE,
                                           D3DRS_FOGENABLE};
    uint32_t saved[std::size(kOff)] = {1, 0, 0, 0};
    for (size_t i = 0; i < std::size(kOff); ++i) {
        d->GetRenderState(kOff[i], &saved[i]);
        d->SetRenderState(kOff[i], 0);
    }
    CachedSetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    CachedSetTexture(0, texture);
    CachedSetPixelShader(shader);
    DeviceDrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(QuadVertex), d);
    CachedSetPixelShader(nullptr);
    CachedSetTexture(0, nullptr);
    for (size_t i = 0; i < std::size(kOff); ++i) d->SetRenderState(kOff[i], saved[i]);
}

void TEngineClass::RenderFrame() {
    IDirect3DDevice9* d = GetDevice();
    if (d && !drawObjectsCreated_) CreateDrawObjects(); // the viewport must be read before the first frame
    if (renderToTexture_ && d)
        CheckDXResult(d->SetRenderTarget(0, rtSurface1_.Get()),
                      "d3dd.SetRenderTarget(0,TextureRenderTargetSurface)", "mhl");
    viewports_->SetViewport(engineViewport_);
    if (!renderToTexture_) ClearTarget(kClearColour);
    ClearZBuffer(1.0f);
    int64_t start = 0;
    GetPerfCounter(start);
    Draw();
    if (renderToTexture_ && d) {
        Ref<IDirect3DSurface9> backBuffer;
        if (routine_) routine_->GetRenderTargetSurface(backBuffer);
        CheckDXResult(d->SetRenderTarget(0, backBuffer.Get()),
                      "d3dd.SetRenderTarget(0,TextureRenderTargetSurface)", "mhl");
        IDirect3DPixelShader9* shader = postEffects_ ? postEffects_->PixelShader() : nullptr;
        DrawTextureQuad(rtTexture1_.Get(), shader ? shader : postShader_.Get());
    }
    // In flight the frame gets the radial blur; the desktop runs the other
    // effects over the finished interface.
    const auto& links = GetRenderWorldLinks();
    if (links.desktopMode && links.desktopMode() == 1 && RE_PostProcessCopyBackBuffer()) {
        RE_PostProcessRadialBlur();
        RE_PostProcessFreeBackBufferCopy();
    }
    if (ReAsyncMan) ReAsyncMan->WaitAllIdle();
    CleanChildsBRU();
    viewports_->SetViewport(engineViewport_);
}

void TEngineClass::CleanChildsBRU() {
    // Dropping the holes of a list cannot fail: the one walk reports as the clean-up.
    try {
        CleanAndPackChildLists();
    } catch (const std::exception&) {
        ErrorReport("CleanAndRemoveZeroElementsFromChildsBRUList() - AV", "mhl");
    }
}

void TEngineClass::Present() {
    if (!drawObjectsCreated_) CreateDrawObjects();
    IDirect3DDevice9* d = GetDevice();
    if (d) {
        if (captureState_ && captureSurface_) {
            Ref<IDirect3DSurface9> target;
            if (d->GetRenderTarget(0, target.Put()) == D3D_OK)
                d->GetRenderTargetData(target.Get(), captureSurface_.Get());
            if (capture_) capture_->CopyFrame();
        }
        // A lost device is not acted on: there is no reset.
        d->Present(nullptr, nullptr, nullptr, nullptr);
    }
    if (screenshotRequest_) {
        if (!capture_) EnableCopyRenderDataToTexture(captureState_);
        if (capture_ && !capture_->Screenshot()) EnableCopyRenderDataToTexture(false);
        screenshotRequest_ = false;
    }
}

void TEngineClass::CreateDrawObjects() {
    IDirect3DDevice9* d = GetDevice();
    if (!d) return;
    drawObjectsCreated_ = true;
    D3DVIEWPORT9 vp;
    if (d->GetViewport(&vp) == D3D_OK) {
        viewports_->SetViewportData(engineViewport_, vp);
        viewports_->SetScreenSize(vp.Width, vp.Height);
        SetVideoScreenSize(vp.Width, vp.Height);
    }
    if (!viewports_->GetViewportCamera(engineViewport_))
        viewports_->SetViewportCamera(engineViewport_, DefaultViewCamera());
    D3DCAPS9 caps;
    d->GetDeviceCaps(&caps);
    FastLogAdd("RENDER ENGINE: CreateDrawObjects: ");
    FastLogAdd("Device capables: ");
    FastLogAdd("Texture size: " + IntToStr32(static_cast<int32_t>(caps.MaxTextureWidth)) + " x " +
               IntToStr32(static_cast<int32_t>(caps.MaxTextureHeight)));
    FastLogAdd("Max lights: " + IntToStr32(static_cast<int32_t>(caps.MaxActiveLights)));
    if ((caps.PixelShaderVersion & 0xFFFF) < 0x200)
        FastLogAdd("Pixel shader version 2.0: not supported");
    else
        FastLogAdd("Pixel shader version 2.0: supported, instructions slots: " +
                   IntToStr32(kPs20InstructionSlots));
    if ((caps.FVFCaps & D3DFVFCAPS_PSIZE) == 0)
        FastLogAdd("Point sprites is not supported");
    else
        FastLogAdd("Point sprites is supported, max point size: " + FloatToStrRaw(caps.MaxPointSize));
}

void TEngineClass::EnableRenderToTexture() {
    IDirect3DDevice9* d = GetDevice();
    if (!d) return;
    CreateViewportTexture(d, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, rtTexture1_,
                          "TEngineClass.EnableRenderToTexture: tex1");
    CreateViewportTexture(d, D3DUSAGE_DYNAMIC, D3DPOOL_SYSTEMMEM, rtTexture2_,
                          "TEngineClass.EnableRenderToTexture: tex2");
    if (!rtTexture1_ || !rtTexture2_) return;
    CheckDXResult(rtTexture1_->GetSurfaceLevel(0, rtSurface1_.Put()), "RE0x1", "mhl");
    CheckDXResult(rtTexture2_->GetSurfaceLevel(0, rtSurface2_.Put()), "RE0x2", "mhl");
    // The quad's pixel shader; without its file the texture is drawn as it is.
    Ref<ID3DXBuffer> code, errors;
    const char* shaderFile = "data/shaders/pspost.txt";
    if (D3DXAssembleShaderFromFileA(shaderFile, nullptr, nullptr, 0, code.Put(), errors.Put()) == D3D_OK &&
        code) {
        if (d->CreatePixelShader(static_cast<const uint32_t*>(code->GetBufferPointer()), postShader_.Put()) !=
            D3D_OK)
            FastLogAddError(std::string("TEngineClass.EnableRenderToTexture: pixel shader failed: ") +
                            shaderFile);
    } else {
        FastLogAddError(std::string("TEngineClass.EnableRenderToTexture: no pixel shader: ") + shaderFile);
    }
    renderToTexture_ = true;
}

void TEngineClass::EnableCopyRenderDataToTexture(bool on) {
    IDirect3DDevice9* d = GetDevice();
    if (d && !captureTexture_) {
        // In system memory: the frame is read back into it and the capture
        // workers lock it (a render target could take neither).
        CreateViewportTexture(d, 0, D3DPOOL_SYSTEMMEM, captureTexture_,
                              "TEngineClass.EnableCopyRenderDataToTexture: tex create");
        if (captureTexture_)
            CheckDXResult(captureTexture_->GetSurfaceLevel(0, captureSurface_.Put()),
                          "CaptureTexture.GetSurfaceLevel(0,CaptureTextureSurface)", "mhl");
    }
    if (!capture_ && captureTexture_) {
        if (const auto& ini = GetRenderWorldLinks().iniText)
            capture_ = std::make_unique<CaptureObject>(captureTexture_, ini);
        else
            FastLogAddError(
                "TEngineClass.EnableCopyRenderDataToTexture: no ini table for the capture settings");
    }
    captureState_ = on;
}

void TEngineClass::StartCapture() {
    EnableCopyRenderDataToTexture(true);
    if (capture_) capture_->Start();
}

void TEngineClass::StopCapture() {
    if (!capture_) return;
    EnableCopyRenderDataToTexture(false);
    capture_->Stop();
}

bool TEngineClass::GetLaserByFromBRU(TBaseRenderUnit* source, TBaseRenderUnit*& out) {
    out = nullptr;
    if (!source) {
        ErrorReport("TEngineClass.GetLaserByFromBRU: _bruFrom=nil", "mhl");
        return false;
    }
    if (childs_)
        for (TBaseRenderUnit* c : *childs_) {
            if (!c || !c->HasFlag(BRU_LASER)) continue;
            if (auto* laser = dynamic_cast<ILaserUnit*>(c); laser && laser->GetFromBRU() == source) {
                out = c;
                return true;
            }
        }
    return false;
}

TBaseRenderUnit* TEngineClass::CreateShipBRU(const std::string& a, const std::string& b) {
    IShipsOps* ships = Cold().gameOps ? Cold().gameOps->GetShipsOps() : nullptr;
    return ships ? ships->CreateShipBRU(a, b) : nullptr;
}

bool TEngineClass::FindShipByName(const std::string& name, TBaseRenderUnit*& out) {
    out = nullptr;
    IShipsOps* ships = Cold().gameOps ? Cold().gameOps->GetShipsOps() : nullptr;
    return ships && ships->FindShipByName(name, out);
}

bool TEngineClass::FindShipBRU(TBaseRenderUnit* unit) {
    IShipsOps* ships = Cold().gameOps ? Cold().gameOps->GetShipsOps() : nullptr;
    return ships && ships->FindShipBRU(unit);
}

TBaseRenderUnit* TEngineClass::FindOrAddGlobalHelper(const std::string& name) {
    if (childs_)
        for (TBaseRenderUnit* c : *childs_)
            if (c && !c->HasFlag(BRU_DISCARDED | BRU_KILLED) && platform::SameTextCp1251(c->GetName(), name))
                return c;
    TBaseRenderUnit* helper = Create<TBaseRenderUnit>(this);
    helper->SetName(name);
    AddChild(helper);
    return helper;
}

} // namespace vesk
