#include "world/fx_bullet.h"

#include "core/lua_readers.h"
#include "core/var_list.h"
#include "physics/coll_detector.h"
#include "render/collision_event.h"
#include "render/device.h"
#include "render/dynamic_position.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/sprite_renderer.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "shared/math_geometry.h"
#include "world/fx_burst.h"
#include "world/fx_spawn.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace vesk {

int32_t FXBulletCount = 0;

namespace {

// A streak seen end-on is never narrower than this (view-space units).
constexpr float kMinStreakWidth = 5.0f;

// Empty while the default test holds: every shot asks each frame, and the
// default is then a plain call.
BulletCollisionTest& CollisionTest() {
    static BulletCollisionTest test;
    return test;
}

const std::vector<BurstData>& NoBursts() {
    static const std::vector<BurstData> none;
    return none;
}

} // namespace

void SetBulletCollisionTest(BulletCollisionTest test) {
    CollisionTest() = std::move(test);
}

PathTargets& FXFrameCache::ShipTargets() {
    const uint64_t now = RenderFrameCounter.GetFrame();
    if (shipsFrame_ != now) {
        shipsFrame_ = now;
        ships_.Gather(engine_.GetUnitsWithFlags(BRU_SHIP));
    }
    return ships_;
}

bool FindSegmentContact(const Vec3& from, const Vec3& to, TBaseRenderUnit* ignore, BulletContact& out) {
    return Engine && FXFrameCache::Of(*Engine).ShipTargets().FindContact(from, to, ignore, out);
}

bool DefaultBulletCollision(FXBulletClass&, const Vec3& from, const Vec3& to, TBaseRenderUnit* ignore,
                            BulletContact& out) {
    return FindSegmentContact(from, to, ignore, out);
}

void SpawnContactBursts(const std::vector<BurstData>& bursts, const BulletContact& contact) {
    if (!contact.unit) return;
    // Each burst sits at a helper of its own at the contact point, in the hit unit's frame.
    Matrix inverse;
    if (!MatrixInverse(contact.unit->GetWorldMatrix(), inverse)) inverse = Matrix{};
    const Vec3 local = Vec3TransformCoord(contact.point, inverse);
    for (const BurstData& b : bursts) {
        auto* t = FindEngineObjectAs<TBaseRenderUnit>(b.templateId);
        if (!t) continue;
        HelperClass* coll = contact.unit->AddHelper("coll", local);
        TBaseRenderUnit* burst = FXSpawn({"", t->GetHex(), coll->GetHex(), ""});
        if (auto* fx = dynamic_cast<FXBurstClass*>(burst))
            fx->SetAnchor(coll);
        else
            coll->Kill();
    }
}

std::vector<BurstData> ReadBurstList(const std::string& id, const std::string& className) {
    std::vector<BurstData> list;
    const std::string name = "fx" + LuaSubscript(id) + ".bursts";
    // A missing list counts as empty.
    const int32_t count = kws2i(GetLuaStringDef(name, "length(" + name + ")", "0"),
                                className + ".CreateFromLua: script_GetVar(length(" + name + "))");
    for (int32_t i = 1; i <= count; ++i) {
        const std::string entry = name + "[" + std::to_string(i) + "]";
        const std::string bid = GetLuaString(entry + ".id", true);
        if (bid.empty()) break;
        const float size = kws2f(GetLuaString(entry + ".size", true), "script_GetVar(" + entry + ".size)");
        list.push_back({bid, 0, size});
    }
    return list;
}

void FindBurstTemplates(std::vector<BurstData>& bursts) {
    for (BurstData& b : bursts) {
        auto* t = FindEngineObjectAs<TBaseRenderUnit>(b.templateId);
        if (t && !t->InDestroyQueue()) continue;
        t = TBaseRenderUnit::FindFXTemplate(b.id);
        b.templateId = t ? t->GetId() : 0;
    }
}

// ---- the bullet ------------------------------------------------------------------------------

void FXBulletClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetFlag(0x801000ull);
    if (!kinetic_) kinetic_ = New<KineticParticleClass>();
    kinetic_->Reset();
    kinetic_->startColour = kinetic_->colour = 0xFFFFFFFF;
    textureName_.clear();
    frames_.reset();
    frame_ = 0;
    speed_ = 0;
    length_ = rndFrom_ = rndTo_ = 1.0f;
    initiator_ = target_ = nullptr;
    contact_ = {};
    hit_ = false;
    meshTemplate_ = 0;
    meshId_.clear();
    shooter_ = nullptr;
    bursts_ = std::make_shared<std::vector<BurstData>>();
    ++FXBulletCount;
}

void FXBulletClass::Free() {
    DropPositionLink(this, initiator_);
    DropPositionLink(this, target_);
    contact_ = {};
    if (UpdaterManager) UpdaterManager->RemoveClient(this);
    --FXBulletCount;
    frames_.reset();
    bursts_.reset();
    if (KineticParticleClass* k = std::exchange(kinetic_, nullptr)) k->Free();
    FXBaseClass::Free();
}

bool FXBulletClass::DiscardBRU() {
    if (UpdaterManager) UpdaterManager->RemoveClient(this);
    return FXBaseClass::DiscardBRU();
}

const std::vector<BurstData>& FXBulletClass::Bursts() const {
    return bursts_ ? *bursts_ : NoBursts();
}

void FXBulletClass::CreateFromLua(const std::string& id) {
    auto context = [&id](const char* key, const std::string& value) {
        return std::string("FXKineticClass.CreateFromLua: ") + key + ": " + value + " for " + id;
    };
    if (const std::string t = FxKey(id, "texture"); !t.empty()) {
        textureName_ = t;
        SetTextureByName(t);
    }
    if (const std::string t = FxKey(id, "textures"); !t.empty()) {
        frames_ = LoadTextureFrames(t);
        if (frames_ && !frames_->empty()) texture_ = frames_->back();
    }
    if (const std::string t = FxKey(id, "startsize"); !t.empty())
        kinetic_->startSize = kinetic_->size = kws2f(t, "LoadBulletsTable: StartSize :" + id);
    if (const std::string t = FxKey(id, "endsize"); !t.empty())
        kinetic_->endSize = kws2f(t, "LoadBulletsTable: EndSize: " + id);
    std::string t = FxKey(id, "velocity");
    speed_ = kws2f(t, context("QueueParticleStartVelocity", t));
    t = FxKey(id, "lifetime");
    kinetic_->lifeTime = kinetic_->remaining = kws2f(t, context("lifetime", t));
    t = FxKey(id, "len");
    length_ = kws2f(t, context("len", t));
    if (t = FxKey(id, "rnd_length_from"); !t.empty()) rndFrom_ = kws2f(t, context("rnd_length_from", t));
    if (t = FxKey(id, "rnd_length_to"); !t.empty()) rndTo_ = kws2f(t, context("rnd_length_to", t));
    if (t = FxKey(id, "color"); !t.empty())
        kinetic_->startColour = kinetic_->colour = static_cast<uint32_t>(kws2i("$" + t, context("color", t)));
    meshId_ = FxKey(id, "mesh");
    if (EffectsOffMode() == 0) *bursts_ = ReadBurstList(id, "FXBulletClass");
    FXBaseClass::CreateFromLua(id);
}

TBaseRenderUnit* FXBulletClass::CreateCopy(TBaseRenderUnit* parent) {
    // The template finds its mesh and burst templates on its first copy (again after a reload).
    auto stale = [](int32_t id) {
        auto* t = FindEngineObjectAs<TBaseRenderUnit>(id);
        return !t || t->InDestroyQueue();
    };
    if (!meshId_.empty() && stale(meshTemplate_)) {
        TBaseRenderUnit* t = FindFXTemplate(meshId_);
        meshTemplate_ = t ? t->GetId() : 0;
    }
    if (bursts_) FindBurstTemplates(*bursts_);
    auto* copy = dynamic_cast<FXBulletClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->textureName_ = textureName_;
    copy->frames_ = frames_;
    KineticParticleClass* k = kinetic_->Copy();
    copy->kinetic_->Free();
    copy->kinetic_ = k;
    copy->speed_ = speed_;
    copy->length_ = (UniformRandom() * (rndTo_ - rndFrom_) + rndFrom_) * length_;
    copy->rndFrom_ = rndFrom_;
    copy->rndTo_ = rndTo_;
    copy->bursts_ = bursts_;
    copy->meshId_ = meshId_;
    copy->meshTemplate_ = meshTemplate_;
    return copy;
}

int FXBulletClass::SetFromDescStruct(IEngineObject* configuration) {
    TEngineObject* cfg = configuration ? configuration->GetInstance() : nullptr;
    auto* from = cfg ? cfg->Query<IFXInitiator>() : nullptr;
    initiator_ = from ? from->GetInitiator() : nullptr;
    if (!initiator_) {
        ErrorReport("1", "mhl");
        return 0;
    }
    if (TEngineObject* o = initiator_->LinkObject()) o->AddSubscriber(this);
    auto* to = cfg->Query<IFXTargetPosition>();
    target_ = to ? to->GetTargetPosition() : nullptr;
    if (!target_) {
        ErrorReport("2", "mhl");
        return 0;
    }
    if (TEngineObject* o = target_->LinkObject()) o->AddSubscriber(this);
    TBaseRenderUnit* source = initiator_->GetObject();
    shooter_ = source ? source->FindUpWithFlags(BRU_SHIP) : nullptr;
    if (shooter_) {
        SetPositionLinkByHelper(shooter_, "");
        shooter_->AddSubscriber(this);
    }
    kinetic_->position = initiator_->GetPos();
    kinetic_->direction = Vec3Normalize(Vec3Sub(target_->GetPos(), kinetic_->position));
    kinetic_->velocity = Vec3Scale(kinetic_->direction, Vec3Length(initiator_->GetVelocity()) + speed_);
    FXDescrStruct sounds{};
    sounds.SoundPosition = initiator_;
    SpawnSounds(Engine, &sounds);
    if (!source) {
        ErrorReport("FXBulletClass.SetFromDescStruct: not FInitiator.GetObject(TObject(bru))", "mhl");
        return 0;
    }
    if (auto* mesh = FindEngineObjectAs<TBaseRenderUnit>(meshTemplate_)) {
        FXDescrStruct desc{};
        desc.MeshTargetBRU = source;
        SpawnEffect(mesh, Engine, &desc);
    }
    if (UpdaterManager) UpdaterManager->AddClient(this);
    // The shared renderer exists before the shot is first listed.
    FXStreakRendererClass::Bullets();
    return 0;
}

void FXBulletClass::SetPosition(const Vec3& p) {
    if (kinetic_) kinetic_->position = p;
    TBaseRenderUnit::SetPosition(p);
}

void FXBulletClass::UpdateMatrices(const Matrix* parent) {
    if (kinetic_) {
        const Vec3& d = kinetic_->direction;
        if (d.x != basisFor_.x || d.y != basisFor_.y || d.z != basisFor_.z) {
            if (!KWMatrixGetBasisForDirVect(d, {0, 0, 1}, basis_)) basis_ = Matrix{};
            basisFor_ = d;
        }
        localMatrix_ = basis_;
        MatrixSetTranslation(localMatrix_, kinetic_->position);
    }
    // A shot has no children and is drawn as a streak facing the camera: its
    // own matrix is all there is to place.
    if (parent)
        worldMatrix_ = MatrixProduct(localMatrix_, *parent);
    else
        worldMatrix_ = localMatrix_;
}

void FXBulletClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (initiator_ && initiator_->LinkObject() == gone) initiator_ = nullptr;
        if (target_ && target_->LinkObject() == gone) target_ = nullptr;
        if (shooter_ && static_cast<TEngineObject*>(shooter_) == gone) shooter_ = nullptr;
        if (contact_.unit && static_cast<TEngineObject*>(contact_.unit) == gone) contact_.unit = nullptr;
    }
    FXBaseClass::Message(sender, msg, param);
}

void FXBulletClass::GetNormal(Vec3& out) {
    out = contact_.normal;
}

IKWTexture* FXBulletClass::CurrentTexture() const {
    if (frames_ && !frames_->empty())
        return (*frames_)[static_cast<size_t>(std::clamp(frame_, 0, static_cast<int>(frames_->size()) - 1))]
            .Get();
    return texture_.Get();
}

void FXBulletClass::SpawnAt(TEngineObject* templ, IDynamicTargetPosition* link) {
    auto* t = dynamic_cast<TBaseRenderUnit*>(templ);
    if (!t || !Engine) return;
    FXDescrStruct desc{};
    desc.BurstInitiator = link;
    desc.SoundPosition = link;
    desc.SmokeCarrier = link;
    SpawnEffect(t, Engine, &desc);
}

void FXBulletClass::SetTargetUnit1(TEngineObject* value) {
    FXBaseClass::SetTargetUnit1(value);
    SpawnAt(value, initiator_);
}

void FXBulletClass::SetTargetUnit2(TEngineObject* value) {
    FXBaseClass::SetTargetUnit2(value);
    if (EffectsOffMode() != 1) SpawnAt(value, initiator_);
}

void FXBulletClass::SetTargetUnit3(TEngineObject* value) {
    FXBaseClass::SetTargetUnit3(value);
    if (EffectsOffMode() != 1) SpawnAt(value, target_);
}

void FXBulletClass::SetTargetUnits(TEngineObject* a, TEngineObject* b, TEngineObject* c) {
    if (EffectsOffMode() != 1) FXBaseClass::SetTargetUnits(a, b, c);
}

void FXBulletClass::OnHit(const BulletContact& contact) {
    contact_ = contact;
    hit_ = true;
    contact.unit->AddSubscriber(this);
    if (EffectsOffMode() == 0 && bursts_) SpawnContactBursts(*bursts_, contact);
    SetPosition(contact.point);
    auto* own = dynamic_cast<IGameCollisionEvent*>(GetCollisionEvent());
    auto* other = dynamic_cast<IGameCollisionEvent*>(contact.unit->GetCollisionEvent());
    if (own && other) {
        own->SetEventData(other->GetEventObj());
        own->Fire();
    }
    kinetic_->colour = 0;
}

void FXBulletClass::FXTick(float dtMs) {
    if (IsRenderPaused() || HasFlag(BRU_KILLED) || !kinetic_) return;
    const float dt = 0.001f * dtMs;
    kinetic_->Tick(dt);
    // A shot that hit stays unseen for the rest of its flight.
    if (hit_) kinetic_->colour = 0;
    if (frames_ && !frames_->empty() && !hit_) {
        const float e = 1.0f - kinetic_->lifeFraction;
        const uint32_t c = kinetic_->startColour;
        auto ch = [&](int shift) {
            const float v = static_cast<float>((c >> shift) & 0xFF) * e;
            return static_cast<uint32_t>(std::clamp(v, 0.0f, 255.0f)) << shift;
        };
        kinetic_->colour = 0xFF000000u | ch(16) | ch(8) | ch(0);
        frame_ = static_cast<int>(std::lround(static_cast<float>(frames_->size() - 1) * e));
    }
    const Vec3 from = kinetic_->position;
    kinetic_->position = Vec3Add(kinetic_->position, Vec3Scale(kinetic_->velocity, dt));
    if (events_) events_->Process();
    // One hit a bullet: after it, it flies on unseen and hits nothing more.
    BulletContact contact;
    if (!hit_) {
        const BulletCollisionTest& test = CollisionTest();
        const bool met = test ? test(*this, from, kinetic_->position, shooter_, contact)
                              : DefaultBulletCollision(*this, from, kinetic_->position, shooter_, contact);
        if (met && contact.unit) OnHit(contact);
    }
    if (kinetic_->remaining <= 0.0f) {
        Kill();
        kinetic_->colour = 0;
    }
    FXBaseClass::FXTick(dtMs);
}

void FXBulletClass::FillRenderList(int stage, int pass) {
    // A blended shot is never drawn in the opaque pass (the pass test's first
    // rule, asked first: the tree is listed four times a frame).
    if (stage != renderStage_ || HasFlag(BRU_KILLED) || !kinetic_ || (kinetic_->colour & 0x00FFFFFFu) == 0 ||
        (pass == kPassOpaque && HasFlag(BRU_BLENDED)) || SkipInPass(pass))
        return;
    // A bullet with a mesh effect is seen as that mesh.
    if (meshTemplate_ != 0) return;
    if (FXStreakRendererClass* r = FXStreakRendererClass::Bullets()) r->AddClient(this);
}

bool FXBulletClass::StreakCorners(const Matrix& view, Vec3 (&corners)[4]) const {
    const Vec3 p = Vec3TransformPoint(kinetic_->position, view);
    const Vec3 h =
        Vec3TransformPoint(Vec3Add(kinetic_->position, Vec3Scale(kinetic_->direction, length_)), view);
    const Vec3 d = Vec3Sub(h, p);
    const float len = Vec3Length(d);
    const float s = kinetic_->size;
    // Across the streak on the screen.
    Vec3 w = len > 0.0f ? Vec3{-d.y / len * s * 0.5f, d.x / len * s * 0.5f, 0.0f} : Vec3{};
    const float wl = Vec3Length(w);
    if (wl < kMinStreakWidth)
        w = wl > 1e-6f ? Vec3Scale(w, kMinStreakWidth / wl) : Vec3{kMinStreakWidth, 0, 0};
    corners[0] = Vec3Sub(p, w);
    corners[1] = Vec3Add(p, w);
    corners[2] = Vec3Add(h, w);
    corners[3] = Vec3Sub(h, w);
    return true;
}

// ---- the shared streak renderers -----------------------------------------------------------------

FXStreakRendererClass* FXStreakRendererClass::Get(const std::string& material) {
    if (!Engine) return nullptr;
    // Kept by id: the renderers go with the engine's units.
    static std::map<std::string, int32_t> ids;
    auto* r = FindEngineObjectAs<FXStreakRendererClass>(ids[material]);
    if (r && r->Parent() == Engine && !r->HasFlag(BRU_KILLED | BRU_DISCARDED)) return r;
    r = Create<FXStreakRendererClass>(Engine);
    ids[material] = r->GetId();
    r->material_ = material;
    r->SetName("StreaksRenderer_" + material);
    r->quads_ = QuadsRendererClass::Create(Device.Get(), material, kQuads);
    if (Device) r->quads_->CreateBuffers(Device.Get());
    Engine->AddChild(r);
    r->SetSortValue(3.0f);
    Engine->SortChildsBRU();
    return r;
}

FXStreakRendererClass* FXStreakRendererClass::Cached(FXStreakRendererClass*& slot, const char* material) {
    if (slot && Engine && slot->Parent() == Engine && !slot->HasFlag(BRU_KILLED | BRU_DISCARDED)) return slot;
    FXStreakRendererClass* r = Get(material);
    if (r != slot) {
        if (slot) slot->LeaveCache();
        if (r) {
            r->LeaveCache();
            r->cacheSlot_ = &slot;
        }
        slot = r;
    }
    return r;
}

void FXStreakRendererClass::LeaveCache() {
    if (cacheSlot_) *std::exchange(cacheSlot_, nullptr) = nullptr;
}

FXStreakRendererClass::~FXStreakRendererClass() {
    LeaveCache();
}

void FXStreakRendererClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    SetFlag(0x80800000ull);
    clients_.clear();
    frame_ = ~0ull;
    batches_ = 0;
}

void FXStreakRendererClass::Free() {
    LeaveCache();
    if (QuadsRendererClass* q = std::exchange(quads_, nullptr)) q->Free();
    defaultTexture_ = nullptr;
    TBaseRenderUnit::Free();
}

void FXStreakRendererClass::AddClient(IStreakClient* client) {
    if (client && Engine && Engine->DefersClients()) return Engine->DeferClient(this, client);
    // Clients are gathered anew each frame.
    const uint64_t now = RenderFrameCounter.GetFrame();
    if (frame_ != now) {
        clients_.clear();
        frame_ = now;
    }
    clients_.push_back(client);
}

void FXStreakRendererClass::DoRender() {
    if (clients_.empty() || !quads_ || !quads_->HasBuffers() || !Device) return;
    // Each client's texture is asked once; clients of one texture end up side by side.
    byTexture_.clear();
    for (IStreakClient* c : clients_) byTexture_.emplace_back(c->CurrentTexture(), c);
    grouping_.Group(byTexture_, [](const auto& entry) { return entry.first; });
    // The streaks are built in view space: world and view are the identity while they draw.
    Matrix view;
    Device->GetTransform(platform::D3DTS_VIEW, &view);
    static const Matrix identity;
    Device->SetTransform(platform::D3DTS_VIEW, &identity);
    struct Run {
        const Matrix& view;
        const std::pair<IKWTexture*, IStreakClient*>* clients;
    };
    const auto quad = [](const void* run, uint32_t i, Vec3(&corners)[4], uint32_t& colour) {
        const Run& r = *static_cast<const Run*>(run);
        IStreakClient* c = r.clients[i].second;
        if (!c->StreakCorners(r.view, corners)) return false;
        colour = c->StreakColour();
        return true;
    };
    size_t i = 0;
    while (i < byTexture_.size()) {
        IKWTexture* texture = byTexture_[i].first;
        size_t end = i;
        while (end < byTexture_.size() && byTexture_[end].first == texture) ++end;
        quads_->NextBatch();
        quads_->SetTexture(texture);
        const Run run{view, &byTexture_[i]};
        const uint32_t taken = quads_->RenderCorners(static_cast<uint32_t>(end - i), quad, &run);
        // A batch that takes no quad at all would never get through the run.
        i = taken ? i + taken : end;
        ++batches_;
    }
    Device->SetTransform(platform::D3DTS_VIEW, &view);
}

} // namespace vesk
