#include "world/fx_jet.h"

#include "core/lua_readers.h"
#include "core/var_list.h"
#include "render/device.h"
#include "render/dynamic_position.h"
#include "render/engine.h"
#include "render/managers.h"
#include "render/material.h"
#include "render/render_object.h"
#include "render/sprite_renderer.h"
#include "render/vertex_buffers.h"
#include "render/view_camera.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/fx_particle.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vesk {

namespace {

// Z test on, lighting off, no depth writes, clipping on: as the sprite batches.
constexpr uint64_t kBandStates = 65577;
// The material every jet band is drawn with, from the Lua `materials` table.
constexpr const char* kBandMaterial = "fx_jet";

} // namespace

void FXJetClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetFlag(0x80800000ull | (1ull << 32));
    baseLifeTime_ = lifeTime_ = lifeTimeCopy_ = 100.0f;
    colour_ = 0;
    thickness_ = 10.0f;
    textureName_.clear();
    ReleasePoints();
    pointsAdded_ = 0;
    spawnStep_ = baseSpawnStep_ = 0.3f;
    lastPos_ = {};
    moved_ = 0;
    stepLength_ = 200.0f;
    particleTemplate_ = 0;
    particleId_.clear();
    bandSegments_ = 0;
}

void FXJetClass::ReleasePoints() {
    for (JetPointRecord* p : points_) JetPoints().ReleaseObject(p);
    points_.clear();
}

void FXJetClass::FreeSwap() {
    if (swap_) {
        swap_->FreeObjects();
        swap_.reset();
    }
}

void FXJetClass::Free() {
    ReleasePoints();
    FreeSwap();
    particleTemplate_ = 0;
    FXBaseClass::Free();
}

bool FXJetClass::DiscardBRU() {
    // A pooled jet keeps its band objects for its next use.
    ReleasePoints();
    particleTemplate_ = 0;
    return FXBaseClass::DiscardBRU();
}

void FXJetClass::SetLifeTime(float seconds) {
    baseLifeTime_ = lifeTime_ = lifeTimeCopy_ = seconds;
}

void FXJetClass::SetInterpolate(bool on) {
    if (on)
        SetFlag(JET_INTERPOLATE);
    else
        ClearFlag(JET_INTERPOLATE);
}

void FXJetClass::CreateFromLua(const std::string& id) {
    if (const std::string t = FxKey(id, "lifetime"); !t.empty()) SetLifeTime(kws2f(t, "SetLifeTime"));
    if (const std::string t = FxKey(id, "color"); !t.empty())
        colour_ = static_cast<uint32_t>(kws2i("$" + t, "FXJetClass.CreateFromLua: color: " + id));
    if (const std::string t = FxKey(id, "texture"); !t.empty()) {
        textureName_ = t;
        SetTextureByName(t);
    }
    if (const std::string t = FxKey(id, "thickness"); !t.empty())
        thickness_ = kws2f(t, "FXJetClass.CreateFromLua: Thickness");
    if (const std::string t = FxKey(id, "spawntimer_sec"); !t.empty())
        SetSpawnTimeDelta(kws2f(t, "SetSpawnTimeDelta"));
    const std::string countText = GetLuaStringDef("fx[" + LuaQuote(id) + "].particles",
                                                  "length(fx[" + LuaQuote(id) + "].particles)", "0");
    const int32_t count = kws2i(countText, "FXJetClass.CreateFromLua: " + id + ": length(particles)");
    if (count > 1) {
        ErrorReport("FXJetClass.CreateFromLua: " + id + ": particle can be one only", "mhl");
        return;
    }
    if (count == 1) particleId_ = FxKey(id, "particles[1]");
    FXBaseClass::CreateFromLua(id);
}

TBaseRenderUnit* FXJetClass::ParticleTemplate() const {
    auto* t = FindEngineObjectAs<TBaseRenderUnit>(particleTemplate_);
    return t && !t->InDestroyQueue() ? t : nullptr;
}

TBaseRenderUnit* FXJetClass::CreateCopy(TBaseRenderUnit* parent) {
    if (!particleId_.empty() && !ParticleTemplate()) {
        TBaseRenderUnit* t = FindFXTemplate(particleId_);
        particleTemplate_ = t ? t->GetId() : 0;
    }
    auto* copy = dynamic_cast<FXJetClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->SetName(GetName());
    copy->baseLifeTime_ = baseLifeTime_;
    copy->lifeTime_ = lifeTime_;
    copy->lifeTimeCopy_ = lifeTimeCopy_;
    copy->colour_ = colour_;
    copy->textureName_ = textureName_;
    copy->thickness_ = thickness_;
    copy->spawnStep_ = spawnStep_;
    copy->baseSpawnStep_ = baseSpawnStep_;
    copy->particleId_ = particleId_;
    copy->particleTemplate_ = particleTemplate_;
    return copy;
}

void FXJetClass::OnSpawn(const FXDescrStruct& desc) {
    if (!desc.JetTargetBRU) return;
    SetPositionLinkByHelper(desc.JetTargetBRU, desc.JetHelper);
    if (position_) lastPos_ = position_->GetPos();
    // Once running, particles are emitted every half thickness.
    stepLength_ = thickness_ * 0.5f;
}

void FXJetClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_DYNAMIC_POSITION_LOST && sender && position_ &&
        sender->GetInstance() == position_->LinkObject())
        SetFlag(JET_TARGET_LOST);
    FXBaseClass::Message(sender, msg, param);
}

void FXJetClass::AgeTrail(float dt) {
    const float alpha = static_cast<float>(colour_ >> 24);
    bool dead = false;
    for (JetPointRecord* p : points_) {
        const float f = p->lifeTime > 0.0f ? p->remaining / p->lifeTime : 0.0f;
        p->colour = WithAlpha(colour_, alpha * f);
        p->remaining -= dt;
        dead = dead || p->remaining <= 0.0f;
    }
    if (!dead) return;
    std::erase_if(points_, [](JetPointRecord* p) {
        if (p->remaining > 0.0f) return false;
        JetPoints().ReleaseObject(p);
        return true;
    });
}

void FXJetClass::AddPoint(const Vec3& at, const Vec3& followed, const Vec3& velocity) {
    if (static_cast<int>(points_.size()) >= kMaxPoints || !position_) return;
    JetPointRecord* p = JetPoints().GetFreeObject();
    p->position = at;
    p->colour = points_.empty() ? (colour_ & 0x00FFFFFFu) : colour_;
    p->lifeTime = lifeTime_;
    const float speedSq = Vec3LengthSq(velocity);
    // A point lives as long as the nozzle took to leave it behind; a standing nozzle leaves none.
    p->remaining =
        speedSq > 0.0001f ? lifeTime_ - Vec3Length(Vec3Sub(followed, at)) / std::sqrt(speedSq) : 0.0f;
    points_.push_back(p);
    ++pointsAdded_;
}

void FXJetClass::EmitParticle(const Vec3& at, const Vec3& followed, const Vec3& velocity) {
    if (static_cast<int>(points_.size()) >= kMaxPoints || !position_) return;
    TBaseRenderUnit* t = ParticleTemplate();
    const float speed = Vec3Length(velocity);
    if (!t || speed <= 0.0f) return;
    // The time the nozzle took from the point to where it is now.
    const float k = Vec3Length(Vec3Sub(followed, at)) / speed;
    if (k >= lifeTime_) return;
    auto* p = dynamic_cast<FXParticleClass*>(SpawnEffect(t, this, nullptr));
    if (!p) return;
    Matrix inverse;
    const Vec3 local = MatrixInverse(GetWorldMatrix(), inverse) ? Vec3TransformCoord(at, inverse) : at;
    p->SetPosition(local);
    p->SetLifeTime(lifeTime_ - k);
    p->SetSize(thickness_ * 0.5f);
    ++pointsAdded_;
}

void FXJetClass::Tick(float dtMs) {
    if (JetsSwitch() == 0 || FXUpdatesStopped()) return;
    FXBaseClass::Tick(dtMs);
    Vec3 current = lastPos_, velocity{};
    if (position_) {
        current = position_->GetPos();
        velocity = position_->GetVelocity();
    }
    AgeTrail(0.001f * dtMs);
    if (particleId_.empty()) {
        AddPoint(current, current, velocity);
    } else {
        TBaseRenderUnit* followed = position_ ? position_->GetObject() : nullptr;
        if (!followed || followed->HasFlag(BRU_VISIBLE)) {
            const float step = thickness_ * 0.5f;
            const float d = Vec3Length(Vec3Sub(current, lastPos_));
            if (step > 0.0f && d >= step) {
                const int n = static_cast<int>(std::floor(d / step));
                if (HasFlag(JET_INTERPOLATE) && d < 100.0f) {
                    const Vec3 advance = Vec3Scale(Vec3Sub(current, lastPos_), step / d);
                    for (int i = 0; i < n; ++i) {
                        lastPos_ = Vec3Add(lastPos_, advance);
                        EmitParticle(lastPos_, current, velocity);
                    }
                } else {
                    lastPos_ = current;
                }
            }
        }
    }
}

void FXJetClass::DoRender() {
    if (!Device || points_.size() < 2) {
        bandSegments_ = 0;
        return;
    }
    if (!swap_) {
        swap_ = std::make_unique<SwapManagerClass>("jet");
        // The four materials are read from Lua once.
        MaterialLuaMemo memo;
        for (int i = 0; i < 4; ++i) {
            TRenderObject* ro = CreateIndexedQuadStore(kBandQuads, kBandStates, "jet");
            if (ROMaterialClass* m = ro->GetMaterial(0)) {
                m->SetTwoSided(true);
                m->SetMaterialFromLua(kBandMaterial, "checker", &memo);
                m->SetPrimCount(0);
            }
            swap_->Add(ro);
        }
    }
    auto* ro = static_cast<TRenderObject*>(swap_->GetNextObj());
    if (!ro) {
        ErrorReport("FXJetClass.RenderSelf: FXJetROSwap=nil", "mhl");
        return;
    }
    ROMaterialClass* m = ro->GetMaterial(0);
    IVertexBuffer* vb = ro->GetVB();
    if (!m || !vb) return;
    const int segments = std::min<int>(static_cast<int>(kBandQuads), static_cast<int>(points_.size()) - 1);
    Vec3 eye{};
    if (IViewCamera* cam = GetCamera()) eye = cam->GetPosition();
    const float half = thickness_ * 0.5f;
    // The two edges of the band at each point: across the trail and across the view.
    const int n = segments + 1;
    edgeA_.resize(size_t(n));
    edgeB_.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        const Vec3& p = points_[static_cast<size_t>(i)]->position;
        const int j = i + 1 < static_cast<int>(points_.size()) ? i + 1 : i - 1;
        Vec3 along = Vec3Sub(points_[static_cast<size_t>(j)]->position, p);
        if (j < i) along = Vec3Scale(along, -1.0f);
        Vec3 side = Vec3Cross(along, Vec3Sub(p, eye));
        const float len = Vec3Length(side);
        side = len > 1e-6f ? Vec3Scale(side, half / len) : Vec3{0, 0, half};
        edgeA_[size_t(i)] = Vec3Add(p, side);
        edgeB_[size_t(i)] = Vec3Sub(p, side);
    }
    void* data = nullptr;
    if (platform::Failed(
            vb->Lock(&data, 0, 4 * static_cast<uint32_t>(segments), platform::D3DLOCK_DISCARD)) ||
        !data)
        return;
    auto* v = static_cast<QuadVertex*>(data);
    const float du = 1.0f / static_cast<float>(segments);
    for (int i = 0; i < segments; ++i) {
        const Vec3 &a0 = edgeA_[size_t(i)], &b0 = edgeB_[size_t(i)];
        const Vec3 &a1 = edgeA_[size_t(i) + 1], &b1 = edgeB_[size_t(i) + 1];
        const uint32_t c0 = points_[static_cast<size_t>(i)]->colour;
        const uint32_t c1 = points_[static_cast<size_t>(i) + 1]->colour;
        const float u0 = du * static_cast<float>(i), u1 = du * static_cast<float>(i + 1);
        QuadVertex* q = v + 4 * i;
        q[0] = {a0.x, a0.y, a0.z, c0, u0, 0.0f};
        q[1] = {a1.x, a1.y, a1.z, c1, u1, 0.0f};
        q[2] = {b1.x, b1.y, b1.z, c1, u1, 1.0f};
        q[3] = {b0.x, b0.y, b0.z, c0, u0, 1.0f};
    }
    vb->Unlock();
    bandSegments_ = segments;
    m->SetPrimCount(2 * static_cast<uint32_t>(segments));
    m->SetTexture(0, texture_);
    static const Matrix identity;
    Device->SetTransform(platform::D3DTS_WORLD, &identity);
    ro->Render();
    if (Engine) Engine->IncFrameObjCount();
}

} // namespace vesk
