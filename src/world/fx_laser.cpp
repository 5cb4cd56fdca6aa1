#include "world/fx_laser.h"

#include "core/lua_readers.h"
#include "render/dynamic_position.h"
#include "render/helpers.h"
#include "render/texture.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/guns.h"
#include "world/ship.h"

namespace vesk {

namespace {

LaserCollisionTest& CollisionTest() {
    static LaserCollisionTest test = FindSegmentContact;
    return test;
}

TurretCheck& TurretCheckSlot() {
    static TurretCheck check;
    return check;
}

bool TurretPasses(TBaseRenderUnit* turret) {
    const TurretCheck& check = TurretCheckSlot();
    return !check || check(turret);
}

const std::vector<BurstData>& NoBursts() {
    static const std::vector<BurstData> none;
    return none;
}

// The colour's red, green and blue scaled by (its alpha / 255) x k, fully opaque.
uint32_t FadedColour(uint32_t colour, float k) {
    const float f = static_cast<float>(colour >> 24) / 255.0f * k;
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const float v = static_cast<float>((colour >> shift) & 0xFF) * f;
        out |= static_cast<uint32_t>(v <= 0.0f ? 0.0f : (v >= 255.0f ? 255.0f : v)) << shift;
    }
    return out;
}

} // namespace

void SetLaserCollisionTest(LaserCollisionTest test) {
    CollisionTest() = test ? std::move(test) : LaserCollisionTest(FindSegmentContact);
}

void SetLaserTurretCheck(TurretCheck check) {
    TurretCheckSlot() = std::move(check);
}

void FXLaserClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetFlag(0xC0800000ull);
    lifeTime_ = remaining_ = 100.0f;
    colour_ = current_ = 0x80FFFFFF;
    length_ = 1000.0f;
    thickness_ = 10.0f;
    bursts_ = std::make_shared<std::vector<BurstData>>();
    spawnValue1_ = spawnValue2_ = 0.0f;
    target_ = source_ = nullptr;
    start_ = end_ = {};
    from_ = nullptr;
    contact_ = {};
    hit_ = false;
    // Every beam draws through the shared renderer, which loads the beam texture once.
    if (FXStreakRendererClass* r = FXStreakRendererClass::Lasers()) {
        if (!r->DefaultTexture() && TextureManager)
            r->SetDefaultTexture(TextureManager->GetTexture(kLaserTexture, platform::D3DFMT_UNKNOWN, false));
        texture_ = r->DefaultTexture();
    }
}

void FXLaserClass::Free() {
    DropPositionLink(this, source_);
    DropPositionLink(this, target_);
    if (from_) from_->RemoveSubscriber(this);
    from_ = nullptr;
    bursts_.reset();
    FXBaseClass::Free();
}

const std::vector<BurstData>& FXLaserClass::Bursts() const {
    return bursts_ ? *bursts_ : NoBursts();
}

void FXLaserClass::CreateFromLua(const std::string& id) {
    auto context = [&id](const char* key) {
        return std::string("FXLaserClass.CreateFromLua: ") + id + ": " + key;
    };
    if (const std::string t = FxKey(id, "lifetime"); !t.empty())
        lifeTime_ = remaining_ = kws2f(t, context("lifetime"));
    if (const std::string t = FxKey(id, "color"); !t.empty())
        colour_ = current_ = static_cast<uint32_t>(kws2i("$" + t, context("color")));
    if (const std::string t = FxKey(id, "texture"); !t.empty()) SetTextureByName(t);
    if (const std::string t = FxKey(id, "thickness"); !t.empty()) thickness_ = kws2f(t, context("thickness"));
    // Beams read their bursts whatever the effects mode.
    *bursts_ = ReadBurstList(id, "FXLaserClass");
    FXBaseClass::CreateFromLua(id);
}

TBaseRenderUnit* FXLaserClass::CreateCopy(TBaseRenderUnit* parent) {
    // The template finds its burst templates on its first copy (again after a reload).
    if (bursts_) FindBurstTemplates(*bursts_);
    auto* copy = dynamic_cast<FXLaserClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->lifeTime_ = copy->remaining_ = lifeTime_;
    copy->colour_ = copy->current_ = colour_;
    copy->thickness_ = thickness_;
    copy->length_ = length_;
    copy->bursts_ = bursts_;
    return copy;
}

void FXLaserClass::OnSpawn(const FXDescrStruct& desc) {
    TBaseRenderUnit* from = desc.LaserObjFromBRU;
    // The beam moves with the ship it comes from.
    if (TBaseRenderUnit* ship = from ? from->FindUpWithFlags(BRU_SHIP) : nullptr)
        SetPositionLinkByHelper(ship, "");
    if (IsClassType<ShipClass>(from) || IsClassType<CannonClass>(from) ||
        (IsClassType<TurretClass>(from) && TurretPasses(from))) {
        source_ = DynamicPositionClass::Init(this, desc.LaserFromHelper, from);
        from_ = from;
        from_->AddSubscriber(this);
    } else if (!IsClassType<TurretClass>(from)) {
        ErrorReport("FXLaserClass.SetFromDescStruct FROM, not ship not turret - bad", "mhl");
        return;
    }
    TBaseRenderUnit* to = desc.LaserObjToBRU;
    if (!to) {
        ErrorReport("FXLaserClass.SetFromDescStruct: LaserObjToBRU = nil: invalid params", "mhl");
        return;
    }
    if (IsClassType<ShipClass>(to) || IsClassType<CannonClass>(to) || dynamic_cast<CursorClass*>(to) ||
        dynamic_cast<HelperClass*>(to) || (IsClassType<TurretClass>(to) && TurretPasses(to))) {
        target_ = DynamicPositionClass::Init(this, desc.LaserToHelper, to);
    } else if (!IsClassType<TurretClass>(to)) {
        ErrorReport("FXLaserClass.SetFromDescStruct TO, not ship not turret - bad", "mhl");
        return;
    }
    if (source_) {
        FXDescrStruct sounds{};
        sounds.SoundPosition = source_;
        SpawnSounds(Engine, &sounds);
    }
    RefreshPoints();
    const float distance = Vec3Length(Vec3Sub(end_, start_));
    spawnValue1_ = lifeTime_ > 0.0f ? distance / lifeTime_ * 3.0f : 0.0f;
    spawnValue2_ = 100.0f;
    TestHit();
}

void FXLaserClass::TestHit() {
    TBaseRenderUnit* source = source_ ? source_->GetObject() : nullptr;
    if (!source) {
        ErrorReport("FXLaserClass.SetFromDescStruct: not FInitiator.GetObject(TObject(bru))", "mhl");
        return;
    }
    BulletContact contact;
    if (!CollisionTest()(start_, end_, source->FindUpWithFlags(BRU_SHIP), contact) || !contact.unit) return;
    if (events_) events_->Process();
    contact_ = contact;
    hit_ = true;
    if (bursts_) SpawnContactBursts(*bursts_, contact);
}

void FXLaserClass::RefreshPoints() {
    if (source_) start_ = source_->GetPos();
    if (target_) end_ = target_->GetPos();
}

Vec3 FXLaserClass::GetStartPoint() {
    RefreshPoints();
    return start_;
}

Vec3 FXLaserClass::GetEndPoint() {
    RefreshPoints();
    return end_;
}

TBaseRenderUnit* FXLaserClass::GetTargetUnit() const {
    return target_ ? target_->GetObject() : nullptr;
}

void FXLaserClass::Tick(float dtMs) {
    FXBaseClass::Tick(dtMs);
    if (IsRenderPaused() || HasFlag(BRU_KILLED)) return;
    remaining_ -= 0.001f * dtMs;
    if (remaining_ >= 0.0f) {
        // A lifetime of 0 is over at once.
        current_ = FadedColour(colour_, lifeTime_ > 0.0f ? remaining_ / lifeTime_ : 0.0f);
    } else {
        Kill();
        current_ = 0;
    }
}

void FXLaserClass::FillRenderList(int stage, int pass) {
    if (stage != renderStage_ || HasFlag(BRU_KILLED) || (current_ & 0x00FFFFFFu) == 0 || SkipInPass(pass))
        return;
    RefreshPoints();
    if (FXStreakRendererClass* r = FXStreakRendererClass::Lasers()) r->AddClient(this);
}

bool FXLaserClass::StreakCorners(const Matrix& view, Vec3 (&corners)[4]) const {
    const Vec3 a = Vec3TransformPoint(start_, view), b = Vec3TransformPoint(end_, view);
    const Vec3 d = Vec3Sub(b, a);
    const float l = Vec3Length(d);
    if (l <= 0.0f) return false;
    // Across the beam on the screen, as wide as its thickness; no least width.
    const float h = thickness_ * 0.5f;
    const Vec3 w{-d.y / l * h, d.x / l * h, 0.0f};
    corners[0] = Vec3Sub(a, w);
    corners[1] = Vec3Sub(b, w);
    corners[2] = Vec3Add(b, w);
    corners[3] = Vec3Add(a, w);
    return true;
}

void FXLaserClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (source_ && source_->LinkObject() == gone) source_ = nullptr;
        if (target_ && target_->LinkObject() == gone) target_ = nullptr;
        if (from_ && static_cast<TEngineObject*>(from_) == gone) from_ = nullptr;
        if (contact_.unit && static_cast<TEngineObject*>(contact_.unit) == gone) contact_.unit = nullptr;
    }
    FXBaseClass::Message(sender, msg, param);
}

} // namespace vesk
