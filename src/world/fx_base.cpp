#include "world/fx_base.h"

#include "core/lua_readers.h"
#include "core/paths.h"
#include "core/var_list.h"
#include "platform/files.h"
#include "platform/text.h"
#include "render/component.h"
#include "render/dynamic_position.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/sprite_client.h"
#include "render/texture.h"
#include "render/view_camera.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "shared/math_frustum.h"
#include "sound/sound_engine.h"
#include "world/fx_particle.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vesk {

int32_t FXEffectCount = 0;

std::map<std::string, int32_t>& FXClassLiveCounts() {
    static std::map<std::string, int32_t> counts;
    return counts;
}

// ---- record pools ----------------------------------------------------------------------------

namespace {
ParticleRecordPool* particleRecords = nullptr;
JetPointPool* jetPoints = nullptr;
} // namespace

ParticleRecordPool& ParticleRecords() {
    if (!particleRecords) particleRecords = TEngineObject::New<ParticleRecordPool>("m4_PS", 2000, 1000);
    return *particleRecords;
}

JetPointPool& JetPoints() {
    if (!jetPoints) jetPoints = TEngineObject::New<JetPointPool>("m4_JPS", 2000, 1000);
    return *jetPoints;
}

void FreeFXRecordPools() {
    if (ParticleRecordPool* p = std::exchange(particleRecords, nullptr)) p->Free();
    if (JetPointPool* p = std::exchange(jetPoints, nullptr)) p->Free();
}

// ---- event conditions ------------------------------------------------------------------------

int EventConditionManagerClass::Add(Entry entry) {
    entries_.emplace_back(nextHandle_, std::move(entry));
    return nextHandle_++;
}

void EventConditionManagerClass::Remove(int handle) {
    std::erase_if(entries_, [handle](const auto& e) { return e.first == handle; });
}

void EventConditionManagerClass::Process() {
    // By index: an action may add entries.
    for (size_t i = 0; i < entries_.size(); ++i) {
        Entry e = entries_[i].second;
        if (!e.next) continue;
        if (e.first) e.first();
        TEngineObject* item = nullptr;
        while (e.next(item))
            if (!e.condition || e.condition(item, e.parameter))
                if (e.action) e.action(item, e.parameter);
    }
}

// ---- kinetic particle ------------------------------------------------------------------------

namespace {

uint8_t Channel(uint32_t c, int shift) {
    return static_cast<uint8_t>((c >> shift) & 0xFF);
}

// Each channel scaled by k (truncated).
uint8_t ScaleChannel(uint8_t v, float k) {
    const float s = static_cast<float>(v) * k;
    if (s <= 0.0f) return 0;
    return s >= 255.0f ? 255 : static_cast<uint8_t>(s);
}

} // namespace

uint32_t WithAlpha(uint32_t colour, float alpha) {
    const float a = alpha <= 0.0f ? 0.0f : (alpha >= 255.0f ? 255.0f : alpha);
    return (colour & 0x00FFFFFFu) | (static_cast<uint32_t>(a) << 24);
}

void KineticParticleClass::Tick(float dt) {
    deltaTime = dt;
    // A lifetime of 0 is over at once.
    lifeFraction = lifeTime > 0.0f ? remaining / lifeTime : 0.0f;
    remaining -= dt;
    const float f = lifeFraction;
    if (startSize == endSize)
        size = startSize;
    else
        size = (startSize + (endSize - startSize) * (1.0f - f)) * sizeFactor;
    if (startColour == endColour) {
        // The colour darkens from tick to tick, fully opaque.
        const float k = static_cast<float>(Channel(startColour, 24)) / 255.0f * f;
        colour = 0xFF000000u | uint32_t(ScaleChannel(Channel(colour, 16), k)) << 16 |
                 uint32_t(ScaleChannel(Channel(colour, 8), k)) << 8 | ScaleChannel(Channel(colour, 0), k);
    } else {
        colour = BlendColour(startColour, endColour, 1.0f - f);
    }
}

void KineticParticleClass::Reset() {
    deltaTime = 0;
    lifeFraction = 1;
    position = velocity = {};
    direction = {1, 0, 0};
    speed = 0;
    sizeFactor = size = startSize = endSize = 1;
    lifeTime = remaining = 0;
    startColour = colour = 0x80FFFFFF;
    endColour = 0;
}

KineticParticleClass* KineticParticleClass::Copy() const {
    auto* c = New<KineticParticleClass>();
    c->deltaTime = deltaTime;
    c->lifeFraction = lifeFraction;
    c->position = position;
    c->velocity = velocity;
    c->direction = direction;
    c->speed = speed;
    c->sizeFactor = sizeFactor;
    c->size = size;
    c->startSize = startSize;
    c->endSize = endSize;
    c->lifeTime = lifeTime;
    c->remaining = remaining;
    c->startColour = startColour;
    c->colour = colour;
    c->endColour = endColour;
    return c;
}

// ---- colour controllers ------------------------------------------------------------------------

float FXCameraDistColorController::Opacity(float distance, float size, float factor) {
    if (distance <= 0.00001f || size <= 0.0f) return 1.0f;
    return std::clamp((distance - size * factor) / size, 0.0f, 1.0f);
}

void FXCameraDistColorController::Update(FXParticleClass& particle) {
    const float opacity = Opacity(particle.GetDistanceToCamera(), particle.GetCurrentSize(), factor_);
    const uint32_t c = particle.GetStartColor();
    particle.SetCurrentColor(uint32_t(ScaleChannel(Channel(c, 24), opacity)) << 24 |
                             uint32_t(ScaleChannel(Channel(c, 16), opacity)) << 16 |
                             uint32_t(ScaleChannel(Channel(c, 8), opacity)) << 8 |
                             ScaleChannel(Channel(c, 0), opacity));
}

// ---- the effect base -----------------------------------------------------------------------------

void FXBaseClass::ClearBaseFields() {
    ownedHelper_ = nullptr;
    position_ = nullptr;
    templateValue1_ = templateValue2_ = 0;
    sounds_.reset();
    targets_ = {};
    events_.reset();
    texture_ = nullptr;
}

void FXBaseClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    SetFlag(BRU_EFFECT);
    ClearBaseFields();
    ++LiveCountOf(ClassName());
    ++FXEffectCount;
}

void FXBaseClass::LetGo() {
    DropPositionLink(this, position_);
    events_.reset();
    if (TEngineObject* h = std::exchange(ownedHelper_, nullptr)) h->Free();
    texture_ = nullptr;
    sounds_.reset();
    --LiveCountOf(ClassName());
    --FXEffectCount;
}

void FXBaseClass::Free() {
    LetGo();
    TBaseRenderUnit::Free();
}

bool FXBaseClass::DiscardBRU() {
    // A pooled effect goes back to its slot without being freed: it lets go of
    // what it holds here.
    if (PoolSlot()) LetGo();
    return TBaseRenderUnit::DiscardBRU();
}

TBaseRenderUnit* FXBaseClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXBaseClass*>(TBaseRenderUnit::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->texture_ = texture_;
    copy->templateValue1_ = templateValue1_;
    copy->templateValue2_ = templateValue2_;
    copy->sounds_ = sounds_;
    return copy;
}

void FXBaseClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (position_ && position_->LinkObject() == gone) position_ = nullptr;
        if (ownedHelper_ == gone) ownedHelper_ = nullptr;
        for (TEngineObject*& t : targets_)
            if (t == gone) t = nullptr;
    }
    TBaseRenderUnit::Message(sender, msg, param);
}

std::string FXBaseClass::FxKey(const std::string& id, const std::string& key) {
    return GetLuaString("fx[" + LuaQuote(id) + "]." + key, true);
}

std::string FXBaseClass::FxPath(const std::string& id, const std::string& path) {
    return GetLuaString("fx" + LuaSubscript(id) + "." + path, true);
}

void FXBaseClass::AddSound(const std::string& id) {
    if (!sounds_) sounds_ = std::make_shared<std::vector<FXSoundStruct>>();
    sounds_->push_back({id, 0});
}

void FXBaseClass::CreateFromLua(const std::string& id) {
    SetName(id);
    if (FxKey(id, "id") != id) {
        ErrorReport("FXE int err: fx[\"" + id + "\"].id <> " + id, "mhl");
        return;
    }
    if (EffectsOffMode() != 0) return;
    const int32_t count =
        FXListLength("length(fx" + LuaSubscript(id) + ".sounds)",
                     "FXBaseClass.CreateFromLua: script_GetVar(length(fx." + id + ".sounds))");
    // Sounds marked "player" are preferred; the others serve only when none is marked.
    for (int32_t i = 1; i <= count; ++i) {
        const std::string sid = FxPath(id, "sounds[" + std::to_string(i) + "].id");
        if (sid.empty()) break;
        if (FxKey(sid, "player") == "1") AddSound(sid);
    }
    if (!sounds_ && count > 0)
        for (int32_t i = 1; i <= count; ++i) {
            const std::string sid = FxPath(id, "sounds[" + std::to_string(i) + "].id");
            if (sid.empty()) break;
            AddSound(sid);
        }
}

void FXBaseClass::SpawnSounds(TBaseRenderUnit* target, const FXDescrStruct* desc) {
    if (!SoundEngine || !SoundEngine->IsEnabled() || !sounds_) return;
    for (FXSoundStruct& s : *sounds_) {
        auto* t = FindEngineObjectAs<TBaseRenderUnit>(s.templateId);
        if (!t || t->InDestroyQueue()) {
            t = FindFXTemplate(s.id);
            s.templateId = t ? t->GetId() : 0;
        }
        if (!t) continue;
        if (!desc) {
            ErrorReport("FXBaseClass.SpawnSounds: _pdesc=nil", "mhl");
            return;
        }
        if (TBaseRenderUnit* u = SpawnEffect(t, target, desc))
            if (target) u->AddSubscriber(target);
    }
}

void FXBaseClass::SetTargetUnits(TEngineObject* a, TEngineObject* b, TEngineObject* c) {
    SetTargetUnit1(a);
    SetTargetUnit2(b);
    SetTargetUnit3(c);
}

void FXBaseClass::SetTextureByName(const std::string& name) {
    texture_ =
        TextureManager ? TextureManager->GetTexture(name, platform::D3DFMT_UNKNOWN, false) : TextureRef();
}

void FXBaseClass::SetPositionLink(IDynamicTargetPosition* link) {
    if (link == position_) return;
    DropPositionLink(this, position_);
    position_ = link;
    if (TEngineObject* o = link ? link->LinkObject() : nullptr) o->AddSubscriber(this);
}

void FXBaseClass::SetPositionLinkByHelper(TBaseRenderUnit* unit, const std::string& helper) {
    SetPositionLink(DynamicPositionClass::Init(this, helper, unit));
}

EventConditionManagerClass& FXBaseClass::GetEventConditions() {
    if (!events_) events_ = std::make_unique<EventConditionManagerClass>();
    return *events_;
}

// ---- helpers ---------------------------------------------------------------------------------

int32_t FXListLength(const std::string& expression, const std::string& context) {
    return kws2i(GetLuaString(expression, false), context);
}

std::shared_ptr<std::vector<TextureRef>> LoadTextureFrames(const std::string& name) {
    if (name.size() < 4 || name[name.size() - 4] != '.') {
        ErrorReport("length(str)-3]<>\".\": " + name, "mhl");
        return nullptr;
    }
    std::string base = platform::UpperCaseCp1251(BackslashesToSlashes(name));
    if (const size_t at = base.find("TEXTURES/"); at != std::string::npos) base = base.substr(at + 9);
    const size_t marker = base.find("0000");
    auto list = std::make_shared<std::vector<TextureRef>>();
    for (int k = 0; k < 10000; ++k) {
        std::string file = base;
        if (marker != std::string::npos) {
            char digits[8];
            std::snprintf(digits, sizeof digits, "%04d", k);
            file.replace(marker, 4, digits);
        } else if (k > 0) {
            break; // without a number there is one frame
        }
        if (!platform::FileExists(DataPath + "TEXTURES/" + file)) break;
        list->push_back(TextureManager ? TextureManager->GetTexture(file, platform::D3DFMT_UNKNOWN, false)
                                       : TextureRef());
    }
    return list;
}

// ---- the effects' lookups of a frame --------------------------------------------------------------

FXFrameCache& FXFrameCache::MakeFor(TEngineClass& engine) {
    auto made = std::make_unique<FXFrameCache>(engine);
    FXFrameCache& cache = *made;
    engine.SetEffectsAttachment(std::move(made));
    return cache;
}

const FXFrameCache::CameraView* FXFrameCache::FindView(const TBaseRenderUnit& unit) {
    const uint64_t now = RenderFrameCounter.GetFrame();
    viewFrame_ = now;
    viewport_ = unit.GetViewportID();
    viewOf_ = nullptr;
    IViewCamera* camera = unit.GetCamera();
    if (!camera) return nullptr;
    if (cameraViewFrame_ != now || view_.camera != camera) {
        cameraViewFrame_ = now;
        view_.Build(*camera);
    }
    return viewOf_ = &view_;
}

void FXFrameCache::CameraView::Build(const IViewCamera& cam) {
    camera = &cam;
    FrustumClass frustum;
    frustum.Build(cam.GetPosition(), cam.GetDirection(), cam.GetFOV(), cam.GetUpVector());
    for (int i = 0; i < 4; ++i) {
        const PlaneClass& plane = frustum.Plane(i);
        planeX[i] = plane.Normal().x;
        planeY[i] = plane.Normal().y;
        planeZ[i] = plane.Normal().z;
        planeD[i] = plane.D();
    }
    const Matrix view = cam.GetViewMatrix();
    Matrix b;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) b.m[r][c] = view.m[c][r];
    billboard = b;
}

IRendererOps* FXFrameCache::FindSpriteRenderer() {
    rendererFrame_ = RenderFrameCounter.GetFrame();
    return renderer_ = engine_.GetRenderOps()->GetRenderer();
}

} // namespace vesk
