#include "render/render_unit.h"

#include "platform/text.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/managers.h"
#include "render/multirole.h"
#include "render/obj_manager.h"
#include "render/render_object.h"
#include "render/render_walk.h"
#include "render/unit_memory.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "shared/math_geometry.h"
#include "shared/timers.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace vesk {

int32_t BRUInstanceCount = 0;

const UnitExtras TBaseRenderUnit::kNoExtras{};

namespace {

constexpr float kRadToDegView = 57.296f;
// The strID of a discarded unit that never had one.
const std::string kDeletedStrID = "_deleted_";

// The scale a matrix applies (length of its first axis).
float MatrixScale(const Matrix& m) {
    return MatrixGetColumnScale(m).x;
}

Vec3 Translation(const Matrix& m) {
    return {m.m[3][0], m.m[3][1], m.m[3][2]};
}

// Blended material techniques: drawn in pass 1 with depth writes off.
bool IsBlendedTechnique(int t) {
    switch (t) {
    case 50:
    case 51:
    case 60:
    case 61:
    case 62:
    case 70:
    case 80:
    case 81:
    case 82:
    case 90:
    case 100:
    case 101:
    case 102:
    case 110:
    case 111:
    case 112:
        return true;
    default:
        return false;
    }
}

} // namespace

// ---- life -----------------------------------------------------------------------------------

void* TBaseRenderUnit::operator new(size_t bytes) {
    return AllocateUnitMemory(bytes);
}

void TBaseRenderUnit::operator delete(void* p, size_t bytes) {
    FreeUnitMemory(p, bytes);
}

TBaseRenderUnit::~TBaseRenderUnit() = default;

void TBaseRenderUnit::Init(TBaseRenderUnit* parent) {
    parent_ = parent;
    ++BRUInstanceCount;
    if (LiveObjects) LiveObjects->Register(this, ClassName());
    flags_ = BRU_VISIBLE;
    flags2_ = 0;
    name_.clear();
    viewportId_ = parent ? parent->viewportId_ : 0;
    localMatrix_ = worldMatrix_ = drawnMatrix_ = Matrix{};
    cachedRoot_ = nullptr;
    lightMask_ = kLightsLamps;
    renderStage_ = 0;
    // A unit made again (a pooled one) starts over in what it kept apart; the
    // render objects, spheres, components and strID stay, as with a fresh unit.
    if (UnitExtras* e = extras_.get()) {
        e->attachCount = 0;
        e->bsFrame = e->bsFrame2 = kNoFrame;
        e->baseMatrix = e->billboardMatrix = Matrix{};
        e->ownedSub = nullptr;
        e->helpers = nullptr;
        e->uhelpers = nullptr;
        e->ai = nullptr;
        e->collisionEvent = nullptr;
        e->homeParent = nullptr;
        e->templ = nullptr;
        e->boxMin = {-1, -1, -1};
        e->boxMax = {1, 1, 1};
        e->screenPos = {};
        e->screenSize = 1.0f;
        e->lifeTime = e->lifeTimer = 0;
        e->skipCount = 0;
        e->tickHandle = 0;
    }
}

void TBaseRenderUnit::Free() {
    --BRUInstanceCount;
    if (LiveObjects) LiveObjects->Unregister(this);
    // A unit freed while still listed leaves a hole, never a dangling entry.
    if (parent_ && parent_->childs_) {
        int i = parent_->childs_->IndexOf(this);
        if (i >= 0) parent_->childs_->Put(i, nullptr);
    }
    if (childs_)
        for (TBaseRenderUnit* c : *childs_)
            if (c && c->parent_ == this) c->parent_ = nullptr;
    ReleaseComponents();
    TEngineObject::Free();
}

void TBaseRenderUnit::DropLink(TEngineObject* gone) {
    auto drop = [gone](auto*& link) {
        if (link && static_cast<TEngineObject*>(link) == gone) link = nullptr;
    };
    drop(renderStates_);
    UnitExtras* e = extras_.get();
    if (!e) return;
    drop(e->fog);
    drop(e->lights);
    drop(e->gameOps);
    drop(e->keyAnim);
    drop(e->renderOps);
    drop(e->rotator);
    drop(e->physicOps);
    drop(e->killer);
    if (static_cast<TEngineObject*>(e->bsContainer) == gone) e->bsContainer = nullptr;
    if (static_cast<TEngineObject*>(e->helpers) == gone) e->helpers = nullptr;
    if (static_cast<TEngineObject*>(e->uhelpers) == gone) e->uhelpers = nullptr;
    if (e->ownedSub == gone) e->ownedSub = nullptr;
    if (e->collisionEvent && e->collisionEvent->GetInstance() == gone) e->collisionEvent = nullptr;
}

void TBaseRenderUnit::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) DropLink(sender->GetInstance());
    TEngineObject::Message(sender, msg, param);
}

void TBaseRenderUnit::ReleaseComponents() {
    auto release = [](auto*& link) {
        if (auto* c = link) {
            link = nullptr;
            c->Free();
        }
    };
    UnitExtras* e = extras_.get();
    if (e) {
        release(e->rotator);
        release(e->renderOps);
        release(e->keyAnim);
        release(e->lights);
        release(e->gameOps);
        // The fog holds a reference to the render states: it goes first.
        if (FogClass* f = std::exchange(e->fog, nullptr)) f->DetachOwner();
    }
    if (RenderStateManagerClass* s = std::exchange(renderStates_, nullptr)) s->DetachOwner();
    if (e) {
        release(e->physicOps);
        release(e->killer);
        e->collisionEvent = nullptr;
    }
}

template <class C> C* TBaseRenderUnit::MakeComponent(C*& link) {
    if (!link) link = ClamClass::Init<C>(this);
    return link;
}

RenderStateManagerClass* TBaseRenderUnit::GetRenderStates() {
    if (!renderStates_) renderStates_ = RenderStateManagerClass::Create(this);
    return renderStates_;
}
RenderOpsClass* TBaseRenderUnit::GetRenderOps() {
    return MakeComponent(Extras().renderOps);
}
RotatorClass* TBaseRenderUnit::GetRotator() {
    return MakeComponent(Extras().rotator);
}
GameOpsClass* TBaseRenderUnit::GetGameOps() {
    UnitExtras& e = Extras();
    if (!e.gameOps) e.gameOps = MakeGameOps(this);
    return e.gameOps;
}
LightClass* TBaseRenderUnit::GetLights() {
    return MakeComponent(Extras().lights);
}
PhysicOpsClass* TBaseRenderUnit::GetPhysicOps() {
    return MakeComponent(Extras().physicOps);
}
FogClass* TBaseRenderUnit::GetFog() {
    // The fog works through the unit's render states.
    if (!Extras().fog) {
        RenderStateManagerClass* states = GetRenderStates();
        extras_->fog = FogClass::Create(states, this);
    }
    return extras_->fog;
}

void TBaseRenderUnit::AttachKiller(TBaseRenderUnit* other) {
    if (Cold().killer) {
        ErrorReport("TBaseRenderUnit.AttachKiller: killer already attached, " + GetInfoStr() + ", " +
                        (other ? other->GetInfoStr() : std::string("nil")),
                    "mhl");
        return;
    }
    MakeComponent(Extras().killer)->SetOther(other);
}

TBaseRenderUnit* TBaseRenderUnit::UpdateMatrixFromBPU() {
    IRenderUnitAI* ai = Cold().ai;
    if (!ai) return nullptr;
    TBaseRenderUnit* u = ai->RenderUnit();
    if (u) u->SetLocalMatrix(ai->BodyMatrix());
    return u;
}

void TBaseRenderUnit::MakeExtras() {
    extras_ = std::make_unique<UnitExtras>();
    if (HasFlag(BRU_DISCARDED)) extras_->strID = kDeletedStrID;
}

const std::string& TBaseRenderUnit::GetStrID() const {
    if (extras_) return extras_->strID;
    static const std::string none;
    return HasFlag(BRU_DISCARDED) ? kDeletedStrID : none;
}

std::string TBaseRenderUnit::GetInfoStr() const {
    return "[" + ClassName() + ", name: \"" + name_ + "\", strID: \"" + GetStrID() + "\"]";
}

// ---- drawing ---------------------------------------------------------------------------------

bool TBaseRenderUnit::SkipInPass(int pass) const {
    if (HasFlag(BRU_BLENDED) && pass == kPassOpaque) return true;
    if (HasFlag(BRU_OPAQUE) && pass == kPassBlended) return true;
    if (!HasFlag(BRU_OPAQUE | BRU_BLENDED)) return true;
    if (!Engine || !Engine->GetDrawPassFlag()) return true;
    return HasFlag(BRU_KILLED);
}

void TBaseRenderUnit::Draw() {
    DoRender();
    drawnMatrix_ = worldMatrix_;
}

void TBaseRenderUnit::SetVisible(bool on) {
    if (on)
        SetFlag(BRU_VISIBLE);
    else
        ClearFlag(BRU_VISIBLE);
}

void TBaseRenderUnit::FillRenderList(int stage, int pass) {
    bool qualifies = false;
    if (Engine) {
        qualifies = !SkipInPass(pass) && renderStage_ == stage;
        Engine->Walk().Visit(*this);
    }
    if (qualifies) Engine->AddRenderListEntry(this, RenderListUnitClass::kDraw);
    // A skipped unit does not prune its subtree.
    if (childs_) {
        const int n = childs_->Count();
        for (int i = 0; i < n; ++i)
            if (TBaseRenderUnit* c = childs_->Get(i)) c->FillRenderList(stage, pass);
    }
    if (qualifies) Engine->AddRenderListEntry(this, RenderListUnitClass::kAfterChilds);
}

void TBaseRenderUnit::FillRenderLists() {
    if (!Engine) return;
    Engine->Walk().Visit(*this);
    // The listings that take the unit, one bit each.
    unsigned takes = 0;
    for (int l = 0; l < kFrameListings; ++l)
        if (kFrameListing[l].stage == renderStage_ && !SkipInPass(kFrameListing[l].pass)) takes |= 1u << l;
    const auto list = [&](uint16_t kind) {
        for (int l = 0; l < kFrameListings; ++l)
            if (takes & (1u << l)) {
                Engine->SetListing(l);
                Engine->AddRenderListEntry(this, kind);
            }
    };
    if (takes) list(RenderListUnitClass::kDraw);
    FillChildRenderLists();
    if (takes) list(RenderListUnitClass::kAfterChilds);
}

void TBaseRenderUnit::FillChildRenderLists() {
    if (!childs_) return;
    const int n = childs_->Count();
    for (int i = 0; i < n; ++i)
        if (TBaseRenderUnit* c = childs_->Get(i)) c->FillRenderLists();
}

void TBaseRenderUnit::FillRenderListsByPass() {
    if (!Engine) return;
    for (int l = 0; l < kFrameListings; ++l) {
        Engine->SetListing(l);
        FillRenderList(kFrameListing[l].stage, kFrameListing[l].pass);
    }
}

void TBaseRenderUnit::BeginRender() {
    if (HasFlag2(BRU2_ENV_AMBIENT)) {
        const EnvironmentSet* set = nullptr;
        if (RE_GetEnvironmentSet(set))
            if (platform::IDirect3DDevice9* d = Device.Get())
                d->SetRenderState(platform::D3DRS_AMBIENT, set->ambient);
    }
    if (renderStates_) renderStates_->ApplyStates();
}

void TBaseRenderUnit::EndRender() {
    if (renderStates_) renderStates_->RestoreStates();
}

// ---- matrices --------------------------------------------------------------------------------

void TBaseRenderUnit::UpdateMatrices(const Matrix* parent) {
    // The unit's own placement first, then its parent's: a child keeps its
    // offset in the parent's turned frame.
    if (parent)
        MatrixProductTo(localMatrix_, *parent, worldMatrix_);
    else
        worldMatrix_ = localMatrix_;
    if (extras_ && extras_->rotator) extras_->rotator->ApplyToMatrix(worldMatrix_);
    if (HasFlag(BRU_BILLBOARD)) CalcBillboardMatrix();
    if (!childs_) return;
    const Matrix* forChilds = HasFlag2(BRU2_CHILDREN_IDENTITY) ? &kIdentityMatrix : &worldMatrix_;
    for (int i = 0; i < childs_->Count(); ++i)
        if (TBaseRenderUnit* c = childs_->Get(i)) c->UpdateMatrices(forChilds);
}

Matrix TBaseRenderUnit::CalcBillboardMatrix() {
    Matrix m = worldMatrix_;
    MatrixClearTranslation(m);
    MatrixNormalizeColumns(m);
    Matrix inv;
    if (!MatrixInverse(m, inv)) inv = Matrix{};
    Matrix basis;
    if (IViewCamera* cam = GetCamera()) basis = cam->GetBasisMatrix();
    // The camera's basis first, then the inverse of the unit's own turn: in
    // front of the world matrix it leaves the camera's basis.
    return Extras().billboardMatrix = MatrixProduct(basis, inv);
}

void TBaseRenderUnit::SetPosition(const Vec3& p) {
    MatrixSetTranslation(localMatrix_, p);
    InvalidateBSphere();
    CalcBSphere(nullptr, nullptr, nullptr);
}

void TBaseRenderUnit::GetPosition(Vec3& out) const {
    out = Translation(worldMatrix_);
}

void TBaseRenderUnit::SetWorldPosition(const Vec3& p) {
    MatrixSetTranslation(worldMatrix_, p);
}

Vec3 TBaseRenderUnit::GetCenter() {
    Vec3 c;
    CalcBSphere(nullptr, &c, nullptr);
    return c;
}

float TBaseRenderUnit::GetBSphereRadius() {
    float r = 0;
    CalcBSphere(nullptr, nullptr, &r);
    return r;
}

TViewportEntry* TBaseRenderUnit::GetViewport() const {
    return Engine ? Engine->Viewports().GetViewportPtr(viewportId_) : nullptr;
}

IViewCamera* TBaseRenderUnit::GetCamera() const {
    if (TViewportEntry* e = GetViewport())
        if (e->camera) return e->camera.get();
    return DefaultViewCamera().get();
}

TLightManager* TBaseRenderUnit::ViewportLights() const {
    return Engine ? &Engine->Viewports().GetLightManager() : nullptr;
}

float TBaseRenderUnit::GetDistanceToCamera() const {
    Vec3 p;
    GetPosition(p);
    IViewCamera* cam = Engine ? Engine->Viewports().GetCamera() : nullptr;
    if (!cam) cam = GetCamera();
    return Vec3Length(Vec3Sub(p, cam->GetPosition()));
}

float TBaseRenderUnit::GetProjectedSize(const Vec3& a, const Vec3& b, float size, float depth) {
    const float d = Vec3Length(Vec3Sub(a, b));
    if (d == 0.0f) return 0.0f; // the viewer at the point: no defined size
    return size * std::fabs(depth) / d * 3.0f;
}

Matrix TBaseRenderUnit::GetViewMatrix() const {
    return GetCamera()->GetViewMatrix();
}

Matrix TBaseRenderUnit::GetBillboardMatrix() const {
    IViewCamera* cam = GetCamera();
    Vec3 p;
    GetPosition(p);
    Matrix look = MatrixLookAtLH(cam->GetPosition(), p, cam->GetUpVector());
    MatrixClearTranslation(look);
    Matrix inv;
    if (!MatrixInverse(look, inv)) return Matrix{};
    return inv;
}

// ---- bounding spheres -----------------------------------------------------------------------

void TBaseRenderUnit::CalcBSphere(Vec3* localCentre, Vec3* worldCentre, float* radius) {
    const uint64_t frame = RenderFrameCounter.GetFrame();
    UnitExtras& e = Extras();
    if (e.bsFrame != frame) {
        if (ros_ && !ros_->empty() && (*ros_)[0]) (*ros_)[0]->GetBox(e.boxMin, e.boxMax);
        e.bsLocalCentre = {0, 0, 0};
        e.bsWorldCentre = Translation(drawnMatrix_);
        e.bsRadius = Vec3Length(Vec3Scale(Vec3Sub(e.boxMax, e.boxMin), 0.5f)) * MatrixScale(localMatrix_);
        if (HasFlag2(BRU2_RETRANSFORM_BSPHERES)) {
            if (e.ownSphere) TransformBSphere(*e.ownSphere, drawnMatrix_);
            if (e.bspheres)
                for (BSphereRecord& r : *e.bspheres) TransformBSphere(r, drawnMatrix_);
        }
        e.bsFrame = frame;
    }
    if (localCentre) *localCentre = e.bsLocalCentre;
    if (worldCentre) *worldCentre = e.bsWorldCentre;
    if (radius) *radius = e.bsRadius;
}

void TBaseRenderUnit::AddBSphere(const Vec3& centre, float radius, int value) {
    auto& list = BSphereList();
    if (!list) list = std::make_unique<std::vector<BSphereRecord>>();
    BSphereRecord r;
    r.name = r.name2 = name_;
    r.centre = centre;
    r.radius = radius;
    r.value = value;
    list->push_back(std::move(r));
}

std::vector<BSphereRecord>* TBaseRenderUnit::GetBSphereList() {
    CalcBSphere(nullptr, nullptr, nullptr);
    return extras_ ? extras_->bspheres.get() : nullptr;
}

void TBaseRenderUnit::SetBSpheres(TBaseRenderUnit* container) {
    if (container == Cold().bsContainer) return;
    if (TBaseRenderUnit* old = std::exchange(Extras().bsContainer, nullptr)) {
        old->RemoveSubscriber(this);
        if (!old->HasFlag(BRU_KILLED | BRU_DISCARDED)) old->Kill();
    }
    if (!container) return;
    Extras().bsContainer = container;
    // The link goes when the container does.
    if (!container->IsSubscriber(this)) container->AddSubscriber(this);
    AddChild(container);
}

TBaseRenderUnit* TBaseRenderUnit::CreateBSpheres() {
    if (TBaseRenderUnit* c = BSpheresContainer()) return c;
    if (ClassManager.IndexOf("BSpheresContainerClass") < 0) return nullptr;
    TBaseRenderUnit* c = ClassManager.Create<TRenderUnitKind>("BSpheresContainerClass", this);
    if (c) SetBSpheres(c);
    return c;
}

void TBaseRenderUnit::AddBSpheresFrom(TBaseRenderUnit* source) {
    if (!source || source == this || !source->Cold().bspheres) return;
    const std::vector<BSphereRecord> copy = *source->extras_->bspheres;
    for (const BSphereRecord& r : copy) AddBSphere(r.centre, r.radius, r.value);
}

void TBaseRenderUnit::GetOwnBSphere(BSphereRecord*& out) {
    UnitExtras& e = Extras();
    if (!e.ownSphere) {
        e.ownSphere = std::make_unique<BSphereRecord>();
        e.ownSphere->name = e.ownSphere->name2 = name_;
        e.ownSphere->centre = Vec3Scale(Vec3Add(e.boxMin, e.boxMax), 0.5f);
        e.ownSphere->radius = Vec3Length(Vec3Sub(e.boxMax, e.ownSphere->centre));
    }
    CalcBSphere(nullptr, nullptr, nullptr);
    TransformBSphere(*e.ownSphere, drawnMatrix_);
    out = e.ownSphere.get();
}

void TBaseRenderUnit::TransformBSphere(BSphereRecord& record, const Matrix& m) {
    record.worldCentre = Vec3TransformCoord(record.centre, m);
    const float scale = MatrixScale(m);
    record.worldRadius = record.radius * scale;
    if (IRenderUnitAI* ai = Cold().ai; ai && record.radius == 0.0f)
        record.worldRadius = ai->SphereScale() * scale;
}

bool TBaseRenderUnit::HitTest(const Vec3& rayStart, const Vec3& rayEnd) {
    BSphereRecord* own = nullptr;
    GetOwnBSphere(own);
    if (!SegmentHitsSphere(rayStart, rayEnd, own->worldCentre, own->worldRadius)) return false;
    const auto& list = Cold().bspheres;
    if (!list || list->empty()) return true;
    for (const BSphereRecord& r : *list)
        if (SegmentHitsSphere(rayStart, rayEnd, r.worldCentre, r.worldRadius)) return true;
    return false;
}

// ---- lights ---------------------------------------------------------------------------------

void TBaseRenderUnit::AddLights(uint16_t mask) {
    if (HasFlag2(BRU2_PARENT_LIGHTS) && parent_) parent_->AddLights(mask);
    TLightManager* lm = ViewportLights();
    if (!lm) return;
    // Every light goes in with its colour: a full table returns no record,
    // and nothing is written through it then.
    if (LightClass* lights = Cold().lights)
        for (const UnitLight& l : lights->Lights())
            lm->AddPointLight(kLocalLightTag, l.position, l.colour, 1.0f, 0.0f);
    if (mask & kLightsSuns) {
        const EnvironmentSet* set = nullptr;
        TBaseRenderUnit* env = nullptr;
        if (RE_GetEnvironment(env) && RE_GetEnvironmentSet(set))
            for (const EnvironmentSet::Sun& sun : set->suns) {
                if (!sun.unit) continue;
                Vec3 p;
                sun.unit->GetPosition(p);
                lm->AddPointLight(kLocalLightTag, p, SunColour(sun.colour), 1.0f, 0.0f);
            }
    }
    if ((mask & kLightsLamps) && childs_)
        for (TBaseRenderUnit* c : *childs_) {
            if (!c || !c->HasFlag(BRU_LAMP)) continue;
            const auto* lamp = dynamic_cast<const ILampLight*>(c);
            if (!lamp || lamp->LampRange() == 0.0f) continue;
            ColorValue col = lamp->LampColour();
            const float k = lamp->LampIntensity();
            col.r *= k;
            col.g *= k;
            col.b *= k;
            Vec3 p;
            c->GetPosition(p);
            lm->AddPointLight(kLocalLightTag, p, col, 1.0f / lamp->LampRange(), 0.0f);
        }
}

void TBaseRenderUnit::ClearLocalLights() {
    if (HasFlag(BRU_KEEPLOCALLIGHTS)) return;
    if (TLightManager* lm = ViewportLights()) lm->RemoveLightsByTag(2);
}

// ---- ticks ----------------------------------------------------------------------------------

void TBaseRenderUnit::Tick(float dtMs) {
    UnitExtras* e = extras_.get();
    if (!e) return;
    if (e->lifeTime != 0.0f) {
        e->lifeTimer -= 0.001f * dtMs;
        if (e->lifeTimer < 0.0f) Kill();
    }
    if (e->rotator) {
        auto* pause = dynamic_cast<IRenderPause*>(this);
        if (!pause || !pause->IsRenderPaused()) e->rotator->Advance(dtMs);
    }
}

void TBaseRenderUnit::TickTree(float dtMs) {
    Tick(dtMs);
    TickChilds(dtMs);
}

void TBaseRenderUnit::TickChilds(float dtMs) {
    if (!childs_) return;
    // By index, the count read each time: a tick may add children.
    for (int i = 0; i < childs_->Count(); ++i)
        if (TBaseRenderUnit* c = childs_->Get(i)) c->TickTree(dtMs);
}

void TBaseRenderUnit::TickTreeByTimer() {
    TickTree(static_cast<float>(TimerSystem.DeltaTime * 1000.0));
}

void TBaseRenderUnit::Kill() {
    if (HasFlag(BRU_KILLED)) return;
    SetFlag(BRU_KILLED);
    if (IRenderUnitAI* ai = Cold().ai) ai->OnUnitKill();
}

// ---- view -----------------------------------------------------------------------------------

bool TBaseRenderUnit::GetAnglesInFrame(const Matrix& m, float& forward, float& side, float& elevationSin,
                                       float& distance, float* azimuth, float* elevation) {
    Vec3 pos;
    GetPosition(pos);
    const Vec3 p = Vec3TransformCoord(pos, m);
    distance = Vec3Length(p);
    forward = side = 0.0f;
    if (distance == 0.0f) { // the unit at the eye has no direction
        elevationSin = 0.0f;
        if (elevation) *elevation = 0.0f;
        return false;
    }
    elevationSin = p.y / distance;
    const float elev = std::asin(std::clamp(elevationSin, -1.0f, 1.0f));
    if (elevation) *elevation = elev;
    const float horizontal = std::cos(elev) * distance;
    if (horizontal < 1e-5f) return false;
    forward = p.z / horizontal;
    side = p.x / horizontal;
    if (azimuth) *azimuth = SinCosToAngle(forward, side);
    return true;
}

bool TBaseRenderUnit::IsInView() {
    float forward, side, elevSin, distance;
    const Matrix view = GetViewMatrix();
    // Straight above or below the eye, or at it, a unit has no direction to
    // test: it is seen when the eye is inside its sphere (a cockpit round the eye).
    if (!GetAnglesInFrame(view, forward, side, elevSin, distance, nullptr, nullptr))
        return GetBSphereRadius() > distance;
    const float radius = GetBSphereRadius();
    const float fov = GetCamera()->GetFOV();
    const float angular = std::fabs(std::atan(radius / distance)) * kRadToDegView;
    const float vLimit = fov * 0.375f + angular;
    const float hLimit = fov * 0.5f + angular;
    const bool vOk = std::fabs(std::asin(std::clamp(elevSin, -1.0f, 1.0f))) * kRadToDegView < vLimit;
    // The angle off the view axis: 0 straight ahead, 180 straight behind.
    const float offAxis = 90.0f - std::asin(std::clamp(forward, -1.0f, 1.0f)) * kRadToDegView;
    const bool hOk = offAxis < hLimit;
    Vec3 pos;
    GetPosition(pos);
    const float depth = Vec3TransformPoint(pos, view).z;
    UnitExtras& e = Extras();
    e.screenSize = depth > 0 ? 1.0f : (depth < 0 ? -1.0f : 0.0f);
    if (depth < 0) e.screenPos.z = -1.0f;
    return (vOk && hOk) || radius > distance;
}

void TBaseRenderUnit::UpdateScreenPos() {
    IViewCamera* cam = GetCamera();
    ProjectionViewport vp{0, 0, 1024, 768, 0, 1};
    if (TViewportEntry* e = GetViewport())
        if (e->viewport.Width && e->viewport.Height)
            vp = {static_cast<float>(e->viewport.X),
                  static_cast<float>(e->viewport.Y),
                  static_cast<float>(e->viewport.Width),
                  static_cast<float>(e->viewport.Height),
                  e->viewport.MinZ,
                  e->viewport.MaxZ};
    const Matrix proj = cam->GetProjMatrix(), view = cam->GetViewMatrix();
    static const Matrix identity;
    Vec3 pos;
    GetPosition(pos);
    UnitExtras& e = Extras();
    e.screenPos = Vec3Project(pos, vp, proj, view, identity);
    const Vec3 a = Vec3Project(Vec3TransformCoord(e.boxMin, worldMatrix_), vp, proj, view, identity);
    const Vec3 b = Vec3Project(Vec3TransformCoord(e.boxMax, worldMatrix_), vp, proj, view, identity);
    e.screenSize = std::hypot(a.x - b.x, a.y - b.y);
    if (Vec3TransformPoint(pos, view).z < 0) {
        e.screenSize = -e.screenSize;
        e.screenPos.x = 2 * vp.x + vp.width - e.screenPos.x;
        e.screenPos.y = 2 * vp.y + vp.height - e.screenPos.y;
    }
}

// ---- tree -----------------------------------------------------------------------------------

void TBaseRenderUnit::AddChild(TBaseRenderUnit* child) {
    // The new child has no place yet: the engine's pass must reach it.
    for (TBaseRenderUnit* u = this; u; u = u->parent_ == u ? nullptr : u->parent_)
        u->ClearFlag2(BRU2_PLACED_AHEAD);
    if (!childs_) childs_ = std::make_unique<TListAsm<TBaseRenderUnit>>();
    childs_->Add(child);
    if (child) child->OnAddedToParent(this);
}

void TBaseRenderUnit::Attach(TBaseRenderUnit* child) {
    if (!child) {
        ErrorReport("TBaseRenderUnit.Attach: tbru = nil: " + GetInfoStr(), "mhl");
        return;
    }
    if (child->GetAttachCount() > 0) {
        ErrorReport("TBaseRenderUnit[" + GetInfoStr() + "].Attach: " + child->GetInfoStr() +
                        " already Attached",
                    "mhl");
        return;
    }
    ++child->Extras().attachCount;
    child->parent_ = this;
    AddChild(child);
    child->OnAttach(this);
    if (BRUTickMan) BRUTickMan->AddTickedObj(child, *child->TickHandle());
}

void TBaseRenderUnit::Detach() {
    if (GetAttachCount() < 1) {
        ErrorReport("TBaseRenderUnit[" + GetInfoStr() + "].Detach: already Detached", "mhl");
        return;
    }
    --extras_->attachCount;
    OnDetach();
    if (parent_) {
        parent_->RemoveChild(this);
        parent_ = nullptr;
        if (BRUTickMan) BRUTickMan->RemoveTickedObj(this);
    }
}

int TBaseRenderUnit::PutPlaceholder(TBaseRenderUnit* child) {
    if (!childs_ || !child) return -1;
    const int i = childs_->IndexOf(child);
    if (i < 0) return -1;
    // Walkers hold indices: the slot keeps a killed stand-in until the clean-up.
    TBaseRenderUnit* placeholder = Create<MultiroleBRUClass>(this);
    placeholder->SetName("null");
    placeholder->Kill();
    childs_->Put(i, placeholder);
    return i;
}

void TBaseRenderUnit::RemoveChild(TBaseRenderUnit* child) {
    if (!childs_) {
        ErrorReport("TBaseRenderUnit.RemoveChild: ChildsBRU<>nil, " + GetInfoStr(), "mhl");
        return;
    }
    if (PutPlaceholder(child) < 0)
        ErrorReport("TBaseRenderUnit.RemoveChild: ChildsBRU.IndexOf(tbru) = -1, " + GetInfoStr(), "mhl");
}

bool TBaseRenderUnit::ReleaseChild(TBaseRenderUnit* child) {
    return PutPlaceholder(child) >= 0;
}

void TBaseRenderUnit::MoveToParent(TBaseRenderUnit* newParent) {
    if (!newParent || newParent == parent_) return;
    // A unit under itself or its own descendant would make the tree a loop.
    if (IsInTree(newParent)) {
        FastLogAddError("TBaseRenderUnit.MoveToParent: the new parent is in the unit's own tree, " +
                        GetInfoStr());
        return;
    }
    if (parent_) parent_->ReleaseChild(this);
    newParent->AddChild(this);
    parent_ = newParent;
    cachedRoot_ = nullptr;
}

void TBaseRenderUnit::RestoreParents() {
    TBaseRenderUnit* home = Cold().homeParent;
    if (home && home != parent_) MoveToParent(home);
}

TBaseRenderUnit* TBaseRenderUnit::GetRoot() {
    if (cachedRoot_) return cachedRoot_;
    if (!parent_) return this;
    try {
        if (parent_ == this) {
            ErrorReport("TBaseRenderUnit.GetRoot: PParent = self, against conception", "mhl");
            return nullptr;
        }
        if (parent_->cachedRoot_) return cachedRoot_ = parent_->cachedRoot_;
        TBaseRenderUnit* p = parent_;
        // A chain longer than any tree can be is a loop.
        for (int steps = 0; steps < 1000000; ++steps) {
            if (p->HasFlag(BRU_ROOT)) return cachedRoot_ = p;
            if (p->parent_ == p) {
                ErrorReport("TBaseRenderUnit.GetRoot: PParent = self, against conception", "mhl");
                return nullptr;
            }
            if (!p->parent_) {
                ErrorReport(Ru("TBaseRenderUnit.GetRoot: par=nil; БЫТЬ ТАКОГО НЕ МОЖЕТ!!!, ") + GetInfoStr(),
                            "mhl");
                return nullptr;
            }
            p = p->parent_;
        }
        ErrorReport("TBaseRenderUnit.GetRoot: PParent = self, against conception", "mhl");
    } catch (const std::exception&) {
        ErrorReport("TBaseRenderUnit.GetRoot AV: " + GetInfoStr(), "mhl");
    }
    return nullptr;
}

bool TBaseRenderUnit::GetChildBRU(int index, TBaseRenderUnit*& out) const {
    out = nullptr;
    if (!childs_ || index < 0 || index >= childs_->Count()) return false;
    out = childs_->Get(index);
    return true;
}

namespace {
template <class Pred> TBaseRenderUnit* FindDepthFirst(TBaseRenderUnit* u, const Pred& match) {
    if (!u || u->HasFlag(BRU_DISCARDED)) return nullptr;
    if (match(u)) return u;
    if (const auto* list = u->ChildsBRU())
        for (TBaseRenderUnit* c : *list)
            if (TBaseRenderUnit* f = FindDepthFirst(c, match)) return f;
    return nullptr;
}
} // namespace

TBaseRenderUnit* TBaseRenderUnit::FindBRUByName(const std::string& name) {
    return FindDepthFirst(this,
                          [&](TBaseRenderUnit* u) { return platform::SameTextCp1251(u->GetName(), name); });
}

TBaseRenderUnit* TBaseRenderUnit::FindBRUByStrID(const std::string& id) {
    return FindDepthFirst(this,
                          [&](TBaseRenderUnit* u) { return platform::SameTextCp1251(u->GetStrID(), id); });
}

bool TBaseRenderUnit::IsInTree(const TBaseRenderUnit* unit) const {
    if (unit == this) return true;
    if (childs_)
        for (TBaseRenderUnit* c : *childs_)
            if (c && c->IsInTree(unit)) return true;
    return false;
}

TBaseRenderUnit* TBaseRenderUnit::FindUpWithFlags(uint64_t mask) {
    for (TBaseRenderUnit* u = this; u; u = u->parent_) {
        if (u->HasFlag(BRU_DISCARDED)) return nullptr;
        if (u->HasFlag(mask)) return u;
        if (u->parent_ == u) return nullptr;
    }
    return nullptr;
}

std::vector<TBaseRenderUnit*> TBaseRenderUnit::GetUnitsWithFlags(uint64_t mask) {
    std::vector<TBaseRenderUnit*> out;
    CollectUnitsWithFlags(mask, out);
    return out;
}

// The walk of ForEachInTree, without a call through a std::function per unit:
// shots look for the ships this way every frame.
// Most units have no children: each is looked at in its parent's loop, and
// only a unit with children costs a call.
void TBaseRenderUnit::CollectUnitsWithFlags(uint64_t mask, std::vector<TBaseRenderUnit*>& out) {
    if (HasFlag(mask) && !HasFlag(BRU_DISCARDED)) out.push_back(this);
    CollectChildsWithFlags(mask, out);
}

void TBaseRenderUnit::CollectChildsWithFlags(uint64_t mask, std::vector<TBaseRenderUnit*>& out) const {
    if (!childs_) return;
    // Nothing the walk does changes a child list.
    for (TBaseRenderUnit* c : *childs_) {
        if (!c) continue;
        if (c->HasFlag(mask) && !c->HasFlag(BRU_DISCARDED)) out.push_back(c);
        if (c->ChildCount()) c->CollectChildsWithFlags(mask, out);
    }
}

bool TBaseRenderUnit::ForEachInTree(const std::function<bool(TBaseRenderUnit*, void*)>& callback,
                                    void* data) {
    if (!callback(this, data)) return false;
    if (childs_)
        for (int i = 0; i < childs_->Count(); ++i)
            if (TBaseRenderUnit* c = childs_->Get(i))
                if (!c->ForEachInTree(callback, data)) return false;
    return true;
}

void TBaseRenderUnit::SortChildsBRU() {
    if (!childs_) return;
    const auto before = [](TBaseRenderUnit* a, TBaseRenderUnit* b) {
        // Holes stay at the end until the clean-up packs them.
        if (!a || !b) return a && !b;
        return a->sortValue_ < b->sortValue_;
    };
    // The engine sorts its children every frame and they are nearly always in
    // order already: a stable sort would leave them as they are.
    if (std::is_sorted(childs_->begin(), childs_->end(), before)) return;
    std::vector<TBaseRenderUnit*> items(childs_->begin(), childs_->end());
    std::stable_sort(items.begin(), items.end(), before);
    for (int i = 0; i < static_cast<int>(items.size()); ++i) childs_->Put(i, items[static_cast<size_t>(i)]);
}

void TBaseRenderUnit::SetVisibleTree(bool on) {
    ForEachInTree([on](TBaseRenderUnit* u, void*) { return u->SetVisible(on), true; }, nullptr);
}

void TBaseRenderUnit::SetRenderStageTree(uint16_t stage) {
    ForEachInTree([stage](TBaseRenderUnit* u, void*) { return u->SetRenderStage(stage), true; }, nullptr);
}

void TBaseRenderUnit::SetSkipCountTree(int32_t count) {
    ForEachInTree([count](TBaseRenderUnit* u, void*) { return u->Extras().skipCount = count, true; },
                  nullptr);
}

bool TBaseRenderUnit::ConsumeSkipCount() {
    if (Cold().skipCount == 0) return true;
    --extras_->skipCount;
    return false;
}

void TBaseRenderUnit::CleanAndRemoveZeroElementsFromChildsBRUList() {
    CleanChildLists(false);
}

void TBaseRenderUnit::CleanAndPackChildLists() {
    CleanChildLists(true);
}

// The end of a frame runs the clean-up and the packing over the same lists:
// one walk does both, packing a list once its killed children are gone and
// its subtrees are clean (a discard empties only the discarded unit's own
// list). A list without holes, nearly every one, is not scanned again.
void TBaseRenderUnit::CleanChildLists(bool pack) {
    if (!childs_) return;
    bool holes = false;
    for (int i = 0; i < childs_->Count(); ++i) {
        TBaseRenderUnit* c = childs_->Get(i);
        if (!c) {
            holes = true;
            continue;
        }
        try {
            if (c->HasFlag(BRU_KILLED)) {
                if (c->DiscardBRU()) c->Release();
                childs_->Put(i, nullptr);
                holes = true;
            } else if (c->childs_) {
                // A unit without children has nothing to clean.
                c->CleanChildLists(pack);
            }
        } catch (const std::exception&) {
            ErrorReport("TBaseRenderUnit.CleanAndRemoveZeroElementsFromChildsBRUList AV: " + GetInfoStr() +
                            " try release child: " + c->GetInfoStr(),
                        "mhl");
        }
    }
    if (pack && holes && childs_) childs_->Pack();
}

void TBaseRenderUnit::PackChildLists() {
    if (!childs_) return;
    childs_->Pack();
    for (TBaseRenderUnit* c : *childs_)
        if (c->childs_) c->PackChildLists();
}

void TBaseRenderUnit::DumpTree(int depth) {
    std::string line(static_cast<size_t>(depth) * 2, ' ');
    line += GetInfoStr() + " flags: " + Int64ToHex8(static_cast<int64_t>(flags_)) +
            " childs: " + IntToStr32(ChildCount());
    FastLogAdd(line);
    if (childs_)
        for (TBaseRenderUnit* c : *childs_)
            if (c) c->DumpTree(depth + 1);
}

bool TBaseRenderUnit::DiscardBRU() {
    std::string step = "]: list";
    bool pooled = false;
    try {
        if (HasFlag(BRU_OPAQUE))
            if (IViewCamera* cam = GetCamera()) cam->RemoveFollowed(this);
        step = "]: BaseAIUnit";
        UnitExtras* e = extras_.get();
        if (e && e->ai) {
            IRenderUnitAI* ai = std::exchange(e->ai, nullptr);
            ai->DeInit();
            ai->ClearOwner();
            ai->FreeAI();
        }
        if (TBaseRenderUnit* c = e ? std::exchange(e->bsContainer, nullptr) : nullptr)
            c->RemoveSubscriber(this);
        if (childs_) {
            for (int i = 0; i < childs_->Count(); ++i) {
                TBaseRenderUnit* c = childs_->Get(i);
                if (!c) continue;
                step = "]: bru.DiscardBRU --->" + c->GetInfoStr();
                const bool release = c->DiscardBRU();
                step = "]: bru.free --->" + c->GetInfoStr();
                if (release) c->Release();
                childs_->Put(i, nullptr);
            }
            childs_.reset();
        }
        step = "]: list";
        ros_.reset(); // a shared list lives on with the units that share it
        if (e) {
            e->helpers = nullptr;
            e->uhelpers = nullptr;
        }
        ReleaseComponents();
        if (e && e->poolSlot) {
            // The pool owns the unit: it goes back to its slot, not to the destroy queue.
            ManagedObjectClass* slot = std::exchange(e->poolSlot, nullptr);
            slot->ReturnToPool();
            pooled = true;
            // An idle pooled unit is not counted among the live ones.
            --BRUInstanceCount;
            if (LiveObjects) LiveObjects->Unregister(this);
        }
        if (e && e->ownedSub) {
            TEngineObject* sub = std::exchange(e->ownedSub, nullptr);
            if (!HasFlag2(BRU2_SHARED_SUBOBJECT)) sub->Free();
        }
        name_ = "_deleted_" + name_;
        // A unit that kept nothing apart reads its strID as "_deleted_" from
        // now on (GetStrID) without being given room for it.
        if (e) {
            e->strID = "_deleted_" + e->strID;
            e->homeParent = nullptr;
        }
        flags_ = BRU_DISCARDED;
        flags2_ = 1;
        parent_ = nullptr;
        cachedRoot_ = nullptr;
    } catch (const std::exception&) {
        ErrorReport("TBaseRenderUnit.DiscardBRU AV: " + GetInfoStr() + step, "mhl");
    }
    return !pooled;
}

// ---- render objects -------------------------------------------------------------------------

void TBaseRenderUnit::AddRO(std::shared_ptr<IUnitRenderObject> ro) {
    if (!ros_) ros_ = std::make_shared<RenderObjectList>();
    ros_->push_back(std::move(ro));
}

TRenderObject* TBaseRenderUnit::CreateRO(uint64_t applyFlags, uint64_t restoreFlags) {
    auto* ro = TEngineObject::New<TRenderObject>();
    ro->Create(platform::D3DPOOL_MANAGED, applyFlags, restoreFlags, 0, 0, 0);
    AddRO(OwnedUnitViewOf(ro));
    return ro;
}

void TBaseRenderUnit::ShareROList(const TBaseRenderUnit& from) {
    ros_ = from.ros_;
    SetFlag2(BRU2_SHARED_ROS);
}

void TBaseRenderUnit::SortROs() {
    if (!ros_) return;
    std::stable_sort(ros_->begin(), ros_->end(),
                     [](const auto& a, const auto& b) { return a->GetSortValue() < b->GetSortValue(); });
}

void TBaseRenderUnit::FlagAllROs() {
    if (!ros_) return;
    for (auto& ro : *ros_)
        if (ro) ro->SetHighFlag(0x80000000u);
}

void TBaseRenderUnit::SetPassFlagsFromMaterials(IUnitRenderObject& ro) {
    if (IsBlendedTechnique(ro.FirstMaterialTechnique())) {
        ClearFlag(BRU_OPAQUE);
        SetFlag(BRU_BLENDED);
        ro.SetZWriteOffWhileDrawing(true);
    } else {
        ClearFlag(BRU_BLENDED);
        SetFlag(BRU_OPAQUE);
    }
}

// ---- helpers and screen conversion ------------------------------------------------------------

void TBaseRenderUnit::ConvertWToSC() {
    ErrorReport("TBaseRenderUnit.ConvertWToSC: not supported", "mhl");
}

} // namespace vesk

namespace vesk {

int BRUDistance(TBaseRenderUnit* a, TBaseRenderUnit* b) {
    if (!a || !b) return 0;
    Vec3 pa, pb;
    a->GetPosition(pa);
    b->GetPosition(pb);
    return static_cast<int>(Vec3Length(Vec3Sub(pa, pb)));
}

int BRUSurfaceDistance(TBaseRenderUnit* a, TBaseRenderUnit* b) {
    if (!a || !b) return 0;
    Vec3 pa, pb;
    a->GetPosition(pa);
    b->GetPosition(pb);
    return static_cast<int>(Vec3Length(Vec3Sub(pa, pb)) - a->GetBSphereRadius() - b->GetBSphereRadius());
}

} // namespace vesk
