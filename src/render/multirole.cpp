#include "render/multirole.h"

#include "render/device.h"
#include "render/engine.h"
#include "render/mesh.h"

namespace vesk {

namespace {
const bool kRegistered = RegisterRenderUnitClass<MultiroleBRUClass>("MultiroleBRUClass");

void SetDeviceState(platform::D3DRENDERSTATETYPE state, uint32_t value) {
    if (platform::IDirect3DDevice9* d = Device.Get()) d->SetRenderState(state, value);
}

uint32_t DeviceState(platform::D3DRENDERSTATETYPE state) {
    uint32_t v = 0;
    if (platform::IDirect3DDevice9* d = Device.Get()) d->GetRenderState(state, &v);
    return v;
}
} // namespace

void MultiroleBRUClass::Init(TBaseRenderUnit* parent) {
    (void)kRegistered;
    TBaseRenderUnit::Init(parent);
    SetName("Multirole BRU");
    SetFlag(MR_MULTIROLE);
    ambient_ = 0;
    fogOff_ = false;
}

void MultiroleBRUClass::Setup(int32_t viewportId, uint64_t flags2Mask) {
    flags_ = 0;
    SetFlag(MR_MULTIROLE | MR_AMBIENT_RESET);
    SetFlag2(flags2Mask);
    SetViewportID(viewportId);
    SetSortValue(1000000.0f);
    SetRenderStageTree(kViewportStage);
}

void MultiroleBRUClass::SetupDrawing() {
    flags_ = 0;
    SetFlag(MR_MULTIROLE | MR_DRAW_ROS);
}

TBaseRenderUnit* MultiroleBRUClass::CreateCopy(TBaseRenderUnit* parent) {
    TBaseRenderUnit* copy = TBaseRenderUnit::CreateCopy(parent);
    if (auto* m = dynamic_cast<MultiroleBRUClass*>(copy)) {
        m->ambient_ = ambient_;
        m->fogOff_ = fogOff_;
    }
    return copy;
}

void MultiroleBRUClass::EndRender() {
    // Only the ambient: the render states applied in BeginRender stay as they are.
    if (HasFlag(MR_AMBIENT_RESET)) SetDeviceState(platform::D3DRS_AMBIENT, 0);
}

void MultiroleBRUClass::DoRender() {
    const bool clipOff = HasFlag2(MR2_NO_CLIP_PLANES);
    uint32_t clipPlanes = 0;
    if (clipOff) {
        clipPlanes = DeviceState(platform::D3DRS_CLIPPLANEENABLE);
        SetDeviceState(platform::D3DRS_CLIPPLANEENABLE, 0);
    }
    if (HasFlag2(MR2_REAPPLY_LOCAL)) {
        const Matrix world = GetWorldMatrix();
        UpdateMatrices(&world);
    }
    if (HasFlag(MR_DRAW_ROS) && ConsumeSkipCount()) {
        if (platform::IDirect3DDevice9* d = Device.Get())
            d->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
        AddLights(GetLightMask());
        uint32_t fog = 0;
        if (fogOff_) {
            fog = DeviceState(platform::D3DRS_FOGENABLE);
            SetDeviceState(platform::D3DRS_FOGENABLE, 0);
        }
        BeginRender();
        RenderUnitObjects(*this);
        ClearLocalLights();
        if (fogOff_) SetDeviceState(platform::D3DRS_FOGENABLE, fog);
    }
    if (clipOff) SetDeviceState(platform::D3DRS_CLIPPLANEENABLE, clipPlanes);
}

void MultiroleBRUClass::SetVideo(const std::string& name) {
    TBaseRenderUnit* found = nullptr;
    ForEachInTree(
        [&found](TBaseRenderUnit* u, void*) {
            if (!u->HasFlag(MR_VIDEO_CHILD)) return true;
            found = u;
            return false;
        },
        nullptr);
    if (auto* video = dynamic_cast<IVideoUnit*>(found)) video->SetVideoName(name);
}

void MultiroleBRUClass::RenderViewport() {
    if (!Engine) return;
    SetRenderStageTree(kViewportStage);
    // Not the flag of the last scene frame: a viewport may draw while the scene is hidden.
    Engine->UpdateDrawPassFlag();
    TViewportClass& viewports = Engine->Viewports();
    viewports.SetViewport(GetViewportID());
    if (!HasFlag2(MR2_NO_CLEAR)) {
        viewports.ClearTarget(0);
        viewports.ClearZBuffer(1.0f);
    }
    AddLights(kLightsLamps);
    SetDeviceState(platform::D3DRS_AMBIENT, ambient_);
    UpdateMatrices(nullptr);
    FillRenderList(kViewportStage, kPassOpaque);
    FillRenderList(kViewportStage, kPassBlended);
    Engine->RunRenderList();
    SetDeviceState(platform::D3DRS_AMBIENT, 0);
    viewports.SetViewport(Engine->EngineViewportId());
    ClearLocalLights();
}

} // namespace vesk
