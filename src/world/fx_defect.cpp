#include "world/fx_defect.h"

#include "render/engine.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/fx_spawn.h"

#include <algorithm>

namespace vesk {

int32_t FXDefectCount = 0;

namespace {

// The marks' material.
constexpr const char* kDefectMaterial = "fx_defect";
// A mark lies a little off the surface (a share of its size), so that the hull does not show through it.
constexpr float kLift = 0.02f;

void SplitColour(uint32_t argb, float (&out)[4]) {
    out[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(argb & 0xFF) / 255.0f;
    out[3] = static_cast<float>(argb >> 24) / 255.0f;
}

// a + (b - a) x t, channel by channel.
void Mix(const float (&a)[4], const float (&b)[4], float t, float (&out)[4]) {
    for (int i = 0; i < 4; ++i) out[i] = a[i] + (b[i] - a[i]) * t;
}

uint32_t Byte(float v) {
    return static_cast<uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
}

} // namespace

void FXDefectClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetFlag(0x80800000ull);
    std::fill(std::begin(colour_), std::end(colour_), 0.0f);
    std::fill(std::begin(current_), std::end(current_), 0.0f);
    std::fill(std::begin(colour2_), std::end(colour2_), 0.0f);
    size_ = lifeTime_ = remaining_ = spawnRemaining_ = spawnTime_ = 0.0f;
    mode_ = 4;
    textureName_.clear();
    billboard_ = Matrix{};
    value_ = 0;
    ++FXDefectCount;
}

void FXDefectClass::Free() {
    --FXDefectCount;
    FXBaseClass::Free();
}

void FXDefectClass::CreateFromLua(const std::string& id) {
    FXBaseClass::CreateFromLua(id);
    const std::string context = "FXDefectClass.CreateFromLua: " + GetName();
    textureName_ = FxKey(id, "texture");
    SetTextureByName(textureName_);
    lifeTime_ = remaining_ = kws2f(FxKey(id, "LifeTime"), context + ": LifeTime");
    if (const std::string t = FxKey(id, "SpawnTime"); !t.empty())
        spawnTime_ = spawnRemaining_ = kws2f(t, context + ": SpawnTime");
    size_ = kws2f(FxKey(id, "size"), context + ": size");
    SplitColour(static_cast<uint32_t>(kws2i("$" + FxKey(id, "color"), context + ": color")), colour_);
    if (const std::string t = FxKey(id, "color2"); !t.empty())
        SplitColour(static_cast<uint32_t>(kws2i("$" + t, context + ": color2")), colour2_);
    else
        std::copy(std::begin(colour_), std::end(colour_), colour2_);
    // A mark in its spawn phase starts from its second colour.
    const float* start = spawnTime_ > 0.0f ? colour2_ : colour_;
    std::copy(start, start + 4, current_);
}

TBaseRenderUnit* FXDefectClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXDefectClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->textureName_ = textureName_;
    copy->mode_ = mode_;
    std::copy(std::begin(colour_), std::end(colour_), copy->colour_);
    std::copy(std::begin(colour2_), std::end(colour2_), copy->colour2_);
    std::copy(std::begin(current_), std::end(current_), copy->current_);
    copy->size_ = size_;
    copy->lifeTime_ = lifeTime_;
    copy->remaining_ = remaining_;
    copy->spawnRemaining_ = spawnRemaining_;
    copy->spawnTime_ = spawnTime_;
    return copy;
}

int FXDefectClass::SetFromDescStruct(IEngineObject* configuration) {
    TEngineObject* cfg = configuration ? configuration->GetInstance() : nullptr;
    auto* defect = dynamic_cast<FXConfigDefectClass*>(cfg);
    FXHitInfo hit;
    if (!defect || !defect->GetCollision(hit)) {
        ErrorReport("FXDefectClass.SetFromDescStruct: _fConfig.QueryInterface IID_BRUCollisionInfom", "mhl");
        return 0;
    }
    size_ *= defect->GetScale();
    TBaseRenderUnit* unit = hit.unit;
    // The mark lies in the struck unit's own frame, turned to face along the surface normal.
    Matrix inverse;
    if (!unit || !MatrixInverse(unit->GetWorldMatrix(), inverse)) inverse = Matrix{};
    const Vec3 at = Vec3TransformCoord(hit.point, inverse);
    Vec3 normal = Vec3TransformNormal(hit.normal, inverse);
    if (Vec3Length(normal) > 0.0f) normal = Vec3Normalize(normal);
    Matrix m;
    if (!KWMatrixGetBasisForDirVect(normal, {0, 0, 1}, m)) m = Matrix{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m.m[r][c] *= size_;
    MatrixSetTranslation(m, at);
    localMatrix_ = m;
    worldMatrix_ = m;
    TBaseRenderUnit::SetPosition(at);
    if (unit && parent_ == unit) UpdateMatrices(&unit->GetWorldMatrix());
    // The marks' renderer exists before the mark is first listed.
    FXStreakRendererClass::Get(kDefectMaterial);
    return 0;
}

void FXDefectClass::Tick(float dtMs) {
    if (!IsRenderPaused()) {
        const float dt = 0.001f * dtMs;
        if (spawnRemaining_ > 0.0f) {
            // From the second colour to the colour over the spawn time.
            const float s = spawnTime_ > 0.0f ? spawnRemaining_ / spawnTime_ : 0.0f;
            Mix(colour_, colour2_, s, current_);
            spawnRemaining_ -= dt;
        } else {
            // Then from the colour back to the second colour over the life.
            const float l = lifeTime_ > 0.0f ? remaining_ / lifeTime_ : 0.0f;
            Mix(colour_, colour2_, 1.0f - l, current_);
            remaining_ -= dt;
        }
        if (remaining_ < 0.0f) Kill();
    }
    FXBaseClass::Tick(dtMs);
}

uint32_t FXDefectClass::GetColorDWORD() const {
    return Byte(current_[3]) << 24 | Byte(current_[0]) << 16 | Byte(current_[1]) << 8 | Byte(current_[2]);
}

void FXDefectClass::Corners(Vec3 (&corners)[4]) const {
    // The mark spans its own y and z, lifted a little along its x (the surface normal).
    const float h = 0.5f;
    const Vec3 local[4] = {{kLift, -h, h}, {kLift, h, h}, {kLift, h, -h}, {kLift, -h, -h}};
    for (int i = 0; i < 4; ++i) corners[i] = Vec3TransformCoord(local[i], worldMatrix_);
}

bool FXDefectClass::StreakCorners(const Matrix& view, Vec3 (&corners)[4]) const {
    Corners(corners);
    for (Vec3& c : corners) c = Vec3TransformPoint(c, view);
    return true;
}

void FXDefectClass::FillRenderList(int stage, int pass) {
    if (stage != renderStage_ || HasFlag(BRU_KILLED) || SkipInPass(pass)) return;
    // Only the engine's scene has the marks' renderer.
    if (GetRoot() != Engine) return;
    if (FXStreakRendererClass* r = FXStreakRendererClass::Get(kDefectMaterial)) r->AddClient(this);
}

Matrix FXDefectClass::CalcBillboardMatrix() {
    if (!MatrixInverse(worldMatrix_, billboard_)) billboard_ = Matrix{};
    return billboard_;
}

} // namespace vesk
