#include "render/lamp.h"

#include "render/device.h"
#include "render/dynamic_position.h"
#include "render/fx_descr.h"
#include "render/helpers.h"
#include "render/managers.h"
#include "render/render_object.h"
#include "render/sprite_client.h"
#include "render/texture.h"
#include "render/view_camera.h"
#include "shared/class_manager.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"
#include "shared/math.h"
#include "shared/math_frustum.h"

#include <cmath>
#include <numbers>

namespace vesk {

int32_t LampCount = 0;

namespace {

constexpr const char* kGlowTemplate = "fx_simple_lamp";

// The glow template, looked up once and again only when the library was
// reloaded since (the old template is then gone or on its way out).
TBaseRenderUnit* GlowTemplate() {
    static int32_t id = 0;
    if (auto* t = FindEngineObjectAs<TBaseRenderUnit>(id); t && !t->InDestroyQueue()) return t;
    TBaseRenderUnit* t = TBaseRenderUnit::FindFXTemplate(kGlowTemplate);
    id = t ? t->GetId() : 0;
    return t;
}

// The frustum of the camera's view. Every lamp asks for it every frame and the
// camera keeps its place while the frame is listed: it is built again only when
// the view changed.
const FrustumClass& ViewFrustum(IViewCamera& cam) {
    struct View {
        Vec3 eye, direction, up;
        float fov = 0.0f;
        bool built = false;
        FrustumClass frustum;
    };
    static View view;
    const Vec3 eye = cam.GetPosition(), direction = cam.GetDirection();
    const float fov = cam.GetFOV();
    const Vec3 up = cam.GetUpVector();
    const auto same = [](const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; };
    if (!view.built || !same(eye, view.eye) || !same(direction, view.direction) || !same(up, view.up) ||
        fov != view.fov) {
        view.frustum.Build(eye, direction, fov, up);
        view.eye = eye;
        view.direction = direction;
        view.up = up;
        view.fov = fov;
        view.built = true;
    }
    return view.frustum;
}

uint8_t Scaled(uint32_t channel, float x) {
    const float v = static_cast<float>(channel & 0xFF) * x;
    if (v <= 0.0f) return 0;
    return v >= 255.0f ? 255 : static_cast<uint8_t>(v);
}

} // namespace

void RegisterLampClasses() {
    static const bool done = RegisterRenderUnitClass<TLampClass>() && RegisterRenderUnitClass<TCylinder>();
    (void)done;
}

// ---- lamps -----------------------------------------------------------------------------------

TLampClass* TLampClass::Make(TBaseRenderUnit* parent, const std::string& name, const Vec3& position,
                             float size) {
    auto* lamp = Create<TLampClass>(parent);
    lamp->SetName(name);
    lamp->SetPosition(position);
    lamp->SetSize(size);
    if (parent) parent->AddChild(lamp);
    lamp->CreateSprite();
    return lamp;
}

void TLampClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    SetName("Lamp");
    SetFlag(0x800410ull | (0x20000ull << 32));
    phase_ = 0.0f;
    speed_ = 1.0f;
    intensity_ = 1.0f;
    colour_ = 0xFFFFFF;
    baseSize_ = 10.0f;
    baseIntensity_ = 1.0f;
    flicker_ = 0.5f;
    lightRange_ = 0.0f;
    glow_ = nullptr;
    position_ = nullptr;
    if (BRUTickMan) BRUTickMan->AddTickedObj(this, *TickHandle());
    ++LampCount;
}

void TLampClass::Free() {
    --LampCount;
    DropPositionLink(this, position_);
    glow_ = nullptr;
    TBaseRenderUnit::Free();
}

void TLampClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (glow_ && static_cast<TEngineObject*>(glow_) == gone) glow_ = nullptr;
        if (position_ && position_->LinkObject() == gone) position_ = nullptr;
    }
    TBaseRenderUnit::Message(sender, msg, param);
}

TBaseRenderUnit* TLampClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<TLampClass*>(TBaseRenderUnit::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->colour_ = colour_;
    copy->baseSize_ = baseSize_;
    copy->baseIntensity_ = baseIntensity_;
    copy->flicker_ = flicker_;
    copy->lightRange_ = lightRange_;
    // The waveform runs on in the copy as in its source.
    copy->phase_ = phase_;
    copy->speed_ = speed_;
    copy->intensity_ = intensity_;
    // The children were copied in order: the copy's glow is the copy of this glow.
    if (glow_ && childs_) {
        const int i = childs_->IndexOf(glow_);
        TBaseRenderUnit* g = nullptr;
        if (i >= 0 && copy->GetChildBRU(i, g) && g) {
            copy->glow_ = g;
            g->AddSubscriber(copy);
        }
    }
    return copy;
}

IParticleControl* TLampClass::Glow() const {
    return glow_ ? CachedDynamicCast<IParticleControl>(glow_) : nullptr;
}

void TLampClass::CreateSprite() {
    if (glow_) return;
    TBaseRenderUnit* t = GlowTemplate();
    if (!t) return;
    const FXDescrStruct desc{};
    glow_ = SpawnEffect(t, this, &desc);
    if (!glow_) return;
    glow_->AddSubscriber(this);
    if (IParticleControl* g = Glow()) {
        g->SetLifeTime(1.0e10f);
        // Glows are drawn by the lamp renderer.
        g->SetBlendMode(static_cast<int32_t>(SpriteKind::Lamp));
    }
    glow_->SetFlag(BRU_NO_PARTICLE_UPDATE);
    ScaleSize(1.0f);
    SetIntensity(intensity_);
}

void TLampClass::SetModeSinus() {
    ClearFlag(LAMP_SINUS | LAMP_BLINK | LAMP_FLICKER);
    SetFlag(LAMP_SINUS);
}

void TLampClass::SetModeBlink() {
    ClearFlag(LAMP_SINUS | LAMP_BLINK | LAMP_FLICKER);
    SetFlag(LAMP_BLINK);
}

void TLampClass::SetModeStatic() {
    ClearFlag(LAMP_SINUS | LAMP_BLINK | LAMP_FLICKER);
    SetFlag(LAMP_STATIC);
}

void TLampClass::SetModeFlicker(float amplitude) {
    ClearFlag(LAMP_SINUS | LAMP_BLINK | LAMP_FLICKER);
    flicker_ = amplitude;
    SetFlag(LAMP_FLICKER);
}

void TLampClass::SetIntensity(float x) {
    intensity_ = x;
    if (IParticleControl* g = Glow())
        g->SetColor(0xFF000000u | uint32_t(Scaled(colour_ >> 16, x)) << 16 |
                    uint32_t(Scaled(colour_ >> 8, x)) << 8 | Scaled(colour_, x));
}

void TLampClass::SetMaxIntensity(float x) {
    baseIntensity_ = x;
    SetIntensity(x);
}

void TLampClass::SetSize(float s) {
    baseSize_ = s;
    if (IParticleControl* g = Glow()) g->SetSize(s);
}

void TLampClass::SetGlowSize(float size) {
    if (IParticleControl* g = Glow()) g->SetSize(size);
}

void TLampClass::ScaleSize(float f) {
    if (IParticleControl* g = Glow()) g->SetSize(baseSize_ * f);
}

void TLampClass::SetTexture(const std::string& name) {
    if (!Glow() || !TextureManager) return;
    TextureRef t = TextureManager->GetTexture(name, platform::D3DFMT_UNKNOWN, false);
    SetTexture(t.Get());
}

void TLampClass::SetTexture(IKWTexture* texture) {
    if (IParticleControl* g = Glow()) g->SetTexture(texture);
}

void TLampClass::SetDynamicPosition(TBaseRenderUnit* unit, const std::string& helper) {
    DropPositionLink(this, position_);
    if (DynamicPositionClass* link = DynamicPositionClass::Init(this, helper, unit)) {
        position_ = link;
        link->AddSubscriber(this);
    }
}

ColorValue TLampClass::LampColour() const {
    return ColourFromArgb(0xFF000000u | colour_);
}

void TLampClass::Tick(float dtMs) {
    if (IsRenderPaused()) return;
    TBaseRenderUnit::Tick(dtMs);
    phase_ += speed_ * dtMs * 2.0f * kPi * 0.001f;
    if (phase_ >= kTwoPi && HasFlag(LAMP_FLICKER))
        ScaleSize(1.0f + flicker_ * (2.0f * UniformRandom() - 1.0f));
    if (phase_ > kTwoPi) phase_ -= kTwoPi;
    if (phase_ < 0.0f) phase_ += kTwoPi;
    if (HasFlag(LAMP_SINUS))
        SetIntensity((std::cos(phase_) + 1.0f) * 0.5f);
    else if (HasFlag(LAMP_BLINK))
        SetIntensity(phase_ <= kPi ? 0.0f : 1.0f);
    else if (HasFlag(LAMP_STATIC))
        SetIntensity(intensity_);
}

void TLampClass::FillRenderList(int stage, int pass) {
    if (SkipInPass(pass) || stage != renderStage_ || !glow_ || intensity_ <= 0.001f) return;
    IViewCamera* cam = GetCamera();
    Vec3 p;
    GetPosition(p);
    if (cam && !ViewFrustum(*cam).IsPointVisible(p)) return;
    if (position_) SetWorldPosition(position_->GetPos());
    glow_->FillRenderList(stage, pass);
}

// ---- cylinders ---------------------------------------------------------------------------------

void TCylinder::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    SetName("Cylinder");
    SetFlag(0x80000ull | (0x200000ull << 32));
    SetFlag2(16);
    levels_ = TBRULOD::Create();
}

void TCylinder::Free() {
    if (TBRULOD* l = std::exchange(levels_, nullptr)) l->Free();
    TBaseRenderUnit::Free();
}

void TCylinder::DoRender() {
    if (Device) Device->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
    AddLights(kLightsSuns);
    BeginRender();
    if (levels_) {
        const float value = GetBSphereRadius() / (GetDistanceToCamera() + 1.0f) * 100.0f;
        uint32_t total = 0;
        TRenderObject* ro = nullptr;
        if (levels_->GetROByDistance(value, total, ro) && ro) ro->Render();
    }
    ClearLocalLights();
}

} // namespace vesk
