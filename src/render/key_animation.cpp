#include "render/key_animation.h"

#include "render/engine.h"
#include "render/render_unit.h"
#include "shared/helpers.h"
#include "shared/math.h"

#include <cmath>
#include <cstring>

namespace vesk {

SimpleKeyAnimationClass* SimpleKeyAnimationClass::Create(IEngineObject* carrier, const std::string& name) {
    auto* k = ClamClass::Init<SimpleKeyAnimationClass>(carrier);
    k->name_ = name;
    if (UpdaterManager) UpdaterManager->AddClient(k);
    return k;
}

bool SimpleKeyAnimationClass::SetTrack(const ROKeyTrack* track) {
    if (!track) return false;
    track_ = track;
    // Frames that are not numbers, or more than a clock can count, make a track of no length.
    const double frames = std::nearbyint(double(track->endFrame) - double(track->startFrame));
    frameCount_ = std::isfinite(frames) && std::abs(frames) < 1e7 ? static_cast<int32_t>(frames) : 0;
    length_ = static_cast<float>(frameCount_) / 30.0f;
    return true;
}

TBaseRenderUnit* SimpleKeyAnimationClass::CarrierUnit() const {
    IEngineObject* c = Carrier();
    return c ? dynamic_cast<TBaseRenderUnit*>(c->GetInstance()) : nullptr;
}

void SimpleKeyAnimationClass::Update(float dtMs) {
    if (!track_ || IsRenderPaused()) return;
    if (std::isfinite(dtMs)) clock_ += 0.001f * dtMs; // a step that is no number moves nothing
    if (clock_ >= length_) clock_ = 0;
    // A track of no length shows its first key.
    phase_ = length_ > 0 ? std::min(clock_ / length_, 1.0f) : 0.0f;
    const float keys = track_->keyCount > 0 ? static_cast<float>(track_->keyCount - 1) : 0.0f;
    currentKey_ = SaturatedInt32(std::nearbyint(double(phase_) * keys));
    if (!(flags_ & KA_NOMATRIX))
        if (TBaseRenderUnit* unit = CarrierUnit()) {
            Matrix m = unit->GetLocalMatrix();
            GetKeyMatrix(m);
            unit->SetLocalMatrix(m);
        }
    if (colourTarget_) {
        colourTarget_->SetKeyColour(KeyColour());
        colourTarget_->SetKeyFactor(KeyFactor());
    }
}

// A key index at or past the count would read past the records.
bool SimpleKeyAnimationClass::ValidKey() const {
    return track_ && track_->keys && currentKey_ >= 0 &&
           static_cast<uint32_t>(currentKey_) < track_->keyCount;
}

const uint8_t* SimpleKeyAnimationClass::KeyBytes() const {
    return static_cast<const uint8_t*>(track_->keys) + static_cast<size_t>(currentKey_) * track_->keyStride;
}

void SimpleKeyAnimationClass::GetKeyMatrix(Matrix& out) const {
    if (!ValidKey()) return;
    Matrix key;
    std::memcpy(&key.m, KeyBytes() + 32, sizeof key.m);
    if (!(flags_ & KA_INVERSE)) {
        out = key;
        return;
    }
    Matrix inverse;
    MatrixInverse(key, inverse);
    if (TBaseRenderUnit* unit = CarrierUnit()) {
        const Matrix& own = unit->GetLocalMatrix();
        for (int c = 0; c < 3; ++c) inverse.m[3][c] = own.m[3][c];
    }
    out = inverse;
}

ColorValue SimpleKeyAnimationClass::KeyColour() const {
    if (!ValidKey()) return {1, 1, 1, 1};
    float c[4];
    std::memcpy(c, KeyBytes() + 96, sizeof c);
    return {c[0], c[1], c[2], c[3]};
}

float SimpleKeyAnimationClass::KeyFactor() const {
    if (!ValidKey()) return 1.0f;
    float f;
    std::memcpy(&f, KeyBytes() + 112, sizeof f);
    return f;
}

SimpleKeyAnimationClass* SimpleKeyAnimationClass::CreateCopy(IEngineObject* carrier) const {
    auto* k = Create(carrier, name_);
    k->SetTrack(track_);
    k->flags_ = flags_;
    return k;
}

void SimpleKeyAnimationClass::Free() {
    if (UpdaterManager && UpdaterManager->IsClient(this)) UpdaterManager->RemoveClient(this);
    name_.clear();
    colourTarget_ = nullptr;
    length_ = 0;
    track_ = nullptr;
    flags_ = 0;
    ClamClass::Free();
}

} // namespace vesk
