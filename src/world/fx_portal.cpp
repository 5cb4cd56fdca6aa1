#include "world/fx_portal.h"

#include "render/device.h"
#include "render/engine.h"
#include "render/model_tree.h"
#include "shared/errors.h"
#include "shared/math.h"
#include "world/fx_model_part.h"

#include <algorithm>
#include <cmath>

namespace vesk {

void FXPortalClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetName("FX Portal");
    SetFlag(8ull << 32);
    ClearFlag(0x2008000ull);
    state_ = PORTAL_OPENING | PORTAL_CLIP;
    t1_ = t2_ = time_ = length_ = 0.0f;
    frame_ = frameCount_ = 0;
    fraction_ = 0.0f;
    gatePoint_ = {};
    gateDirection_ = {0, 1, 0};
    std::fill(std::begin(clipPlane_), std::end(clipPlane_), 0.0f);
}

void FXPortalClass::LoadFromMesh(const std::string& meshName, const std::string& name) {
    SetName(name);
    const std::string base = MeshEntryFile(meshName);
    if (IModelTree* model = base.empty() ? nullptr : GetModelTree(base + ".cm")) {
        Vec3 p1{}, p2{};
        bool have2 = false;
        for (const ModelPointRecord& h : model->ModelHelpers()) {
            if (h.name == "point01") p1 = h.position;
            if (h.name == "point02") p2 = h.position, have2 = true;
        }
        gatePoint_ = p1;
        if (have2 && Vec3Length(Vec3Sub(p2, p1)) > 0.0f) gateDirection_ = Vec3Normalize(Vec3Sub(p2, p1));
    }
    // The gate's own model is drawn whole: the clip plane is for what passes through it.
    for (FXModelPartClass* part : LoadModelParts(*this, meshName, 0xC0)) {
        part->SetUnclipped(true);
        if (frameCount_ == 0 && part->KeyCount() > 0) {
            frameCount_ = static_cast<int32_t>(part->KeyCount());
            length_ = part->Length();
        }
    }
    t1_ = 0.3f * length_;
    t2_ = 0.7f * length_;
    ShowFrame();
}

void FXPortalClass::SetSwitchTimes(float t1Percent, float t2Percent) {
    t1_ = t1Percent * 0.01f * length_;
    t2_ = t2Percent * 0.01f * length_;
}

TBaseRenderUnit* FXPortalClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXPortalClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->frame_ = frame_;
    copy->frameCount_ = frameCount_;
    copy->fraction_ = fraction_;
    copy->state_ = state_;
    copy->gatePoint_ = gatePoint_;
    copy->gateDirection_ = gateDirection_;
    std::copy(std::begin(clipPlane_), std::end(clipPlane_), copy->clipPlane_);
    copy->t1_ = t1_;
    copy->t2_ = t2_;
    copy->time_ = time_;
    copy->length_ = length_;
    return copy;
}

void FXPortalClass::OnSpawn(const FXDescrStruct& desc) {
    Matrix m = desc.PortalMatrix;
    MatrixSetTranslation(m, desc.PortalPosition);
    localMatrix_ = m;
    const Vec3 axis{m.m[0][0], m.m[0][1], m.m[0][2]};
    if (Vec3Length(axis) > 0.0f) gateDirection_ = Vec3Normalize(Vec3Scale(axis, -1.0f));
    UpdateMatrices(parent_ && parent_ != Engine ? &parent_->GetWorldMatrix() : nullptr);
}

void FXPortalClass::Tick(float dtMs) {
    FXBaseClass::Tick(dtMs);
    if (!(state_ & (PORTAL_OPENING | PORTAL_OPEN | PORTAL_CLOSING)) || IsRenderPaused()) return;
    time_ += 0.001f * dtMs;
    if ((state_ & PORTAL_OPENING) && time_ >= t1_) state_ = (state_ & ~PORTAL_OPENING) | PORTAL_OPEN;
    if ((state_ & PORTAL_OPEN) && time_ >= t2_) {
        if (state_ & PORTAL_CLOSE_REQUESTED)
            state_ = (state_ & ~PORTAL_OPEN) | PORTAL_CLOSING;
        else
            time_ = t1_; // the open phase loops between the two switch times
    }
    if ((state_ & PORTAL_CLOSING) && time_ >= length_) {
        state_ = (state_ & ~(PORTAL_OPENING | PORTAL_OPEN | PORTAL_CLOSING)) | PORTAL_CLOSED;
        Kill();
        time_ = length_;
    }
    time_ = std::min(time_, length_);
    ShowFrame();
}

void FXPortalClass::ShowFrame() {
    // An animation of no length stands at its end.
    fraction_ = length_ > 0.0f ? time_ / length_ : 1.0f;
    frame_ = frameCount_ > 0
                 ? static_cast<int32_t>(std::nearbyint(static_cast<float>(frameCount_ - 1) * fraction_))
                 : 0;
    if (childs_)
        for (TBaseRenderUnit* c : *childs_)
            if (auto* part = dynamic_cast<FXModelPartClass*>(c)) part->ShowFraction(fraction_);
}

void FXPortalClass::UpdateMatrices(const Matrix* parent) {
    if (parent)
        worldMatrix_ = MatrixProduct(localMatrix_, *parent);
    else
        worldMatrix_ = localMatrix_;
    if (!childs_) return;
    // The gate's parts hang in its frame; ships passing through keep the place their physics gives them.
    static const Matrix identity;
    for (TBaseRenderUnit* c : *childs_)
        if (c) c->UpdateMatrices(c->HasFlag(BRU_SHIP) ? &identity : &worldMatrix_);
}

bool FXPortalClass::SkipInPass(int) const {
    return !Engine || !Engine->GetDrawPassFlag() || HasFlag(BRU_KILLED);
}

void FXPortalClass::DoRender() {
    if (!(state_ & PORTAL_CLIP) || !Device) return;
    const Vec3 p = Vec3TransformCoord(gatePoint_, worldMatrix_);
    const Vec3& n = gateDirection_;
    clipPlane_[0] = n.x;
    clipPlane_[1] = n.y;
    clipPlane_[2] = n.z;
    clipPlane_[3] = -Vec3Dot(n, p);
    Device->SetClipPlane(0, clipPlane_);
    DeviceSetRenderState(platform::D3DRS_CLIPPLANEENABLE, 1);
}

void FXPortalClass::EndRender() {
    if ((state_ & PORTAL_CLIP) && Device) DeviceSetRenderState(platform::D3DRS_CLIPPLANEENABLE, 0);
    FXBaseClass::EndRender();
}

} // namespace vesk
