#include "render/shader.h"

#include <algorithm>

#include "platform/gfx/d3dx.h"
#include "render/device.h"
#include "shared/errors.h"

namespace vesk {

using namespace platform;

std::unique_ptr<ShadersManagerClass> PixelShadersManager;

void RE_CreatePixelShadersManager() {
    if (!PixelShadersManager)
        PixelShadersManager = std::make_unique<ShadersManagerClass>(ShaderKind::Pixel, Device.Get());
}

void RE_FreePixelShadersManager() {
    PixelShadersManager.reset();
}

// ---- shaders ---------------------------------------------------------------------------
int PixelShaderClass::LoadFromFile(const std::string& fileName) {
    fileName_ = fileName;
    code_ = nullptr;
    errors_ = nullptr;
    shader_ = nullptr;
    if (Failed(
            D3DXAssembleShaderFromFileA(fileName.c_str(), nullptr, nullptr, 0, code_.Put(), errors_.Put()))) {
        FastLogAddError("ShaderClass.LoadFromFile: D3DXAssembleShaderFromFile: " + fileName);
        code_ = nullptr;
        return -1;
    }
    if (!device_ || Failed(device_->CreatePixelShader(static_cast<const uint32_t*>(code_->GetBufferPointer()),
                                                      shader_.Put()))) {
        FastLogAddError("ShaderClass.LoadFromFile: " + fileName);
        shader_ = nullptr;
    }
    return 0;
}

ShaderClass* PixelShaderClass::Copy() {
    if (loaded_) return this;
    auto* copy = TEngineObject::New<PixelShaderClass>(device_.Get());
    copy->code_ = code_;
    copy->errors_ = errors_;
    copy->shader_ = shader_;
    copy->fileName_ = fileName_;
    copy->loaded_ = loaded_;
    return copy;
}

void ReleaseShader(ShaderClass*& shader) {
    ShaderClass* s = std::exchange(shader, nullptr);
    if (s && !s->Loaded()) s->Free();
}

ShadersManagerClass::~ShadersManagerClass() {
    for (ShaderClass* s : shaders_) s->Free();
}

int ShadersManagerClass::GetShader(const std::string& fileName, ShaderClass*& out) {
    out = nullptr;
    for (ShaderClass* s : shaders_)
        if (s->FileName() == fileName) {
            out = s;
            return 0;
        }
    ShaderClass* s = nullptr;
    switch (kind_) {
    case ShaderKind::Pixel:
        s = TEngineObject::New<PixelShaderClass>(device_.Get());
        break;
    }
    const int r = s->LoadFromFile(fileName);
    if (r != 0) {
        s->Free();
        return r;
    }
    s->SetLoaded(true);
    shaders_.push_back(s);
    out = s;
    return 0;
}

// ---- render-state sets ---------------------------------------------------------------------
namespace {

struct FlagRecord {
    D3DRENDERSTATETYPE state;
    uint32_t value;
};

// Bit i of the flag words, in bit order.
constexpr FlagRecord kFlagRecords[21] = {
    {D3DRS_ZENABLE, 1},
    {D3DRS_ZENABLE, 0},
    {D3DRS_LIGHTING, 0xFFFFFFFFu},
    {D3DRS_LIGHTING, 0},
    {D3DRS_ZWRITEENABLE, 0xFFFFFFFFu},
    {D3DRS_ZWRITEENABLE, 0},
    {D3DRS_DITHERENABLE, 0xFFFFFFFFu},
    {D3DRS_DITHERENABLE, 0},
    {D3DRS_ALPHABLENDENABLE, 0xFFFFFFFFu},
    {D3DRS_ALPHABLENDENABLE, 0},
    {D3DRS_SPECULARENABLE, 0xFFFFFFFFu},
    {D3DRS_SPECULARENABLE, 0},
    {D3DRS_COLORVERTEX, 0xFFFFFFFFu},
    {D3DRS_COLORVERTEX, 0},
    {D3DRS_NORMALIZENORMALS, 0xFFFFFFFFu},
    {D3DRS_NORMALIZENORMALS, 0},
    {D3DRS_CLIPPING, 0xFFFFFFFFu},
    {D3DRS_CLIPPING, 0},
    {D3DRS_CULLMODE, D3DCULL_NONE},
    {D3DRS_CULLMODE, D3DCULL_CW},
    {D3DRS_CULLMODE, D3DCULL_CCW},
};

void SetStates(const std::vector<RenderStateRecord>* list) {
    IDirect3DDevice9* device = Device.Get();
    if (!list || !device) return;
    for (const RenderStateRecord& r : *list) device->SetRenderState(r.state, r.value);
}

} // namespace

RenderStateManagerClass* RenderStateManagerClass::Create(TEngineObject* owner) {
    auto* set = new RenderStateManagerClass();
    set->owner_ = owner;
    if (owner) owner->AddSubscriber(set);
    set->AddRef();
    return set;
}

uint32_t RenderStateManagerClass::ReleaseRef() {
    const uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) Free();
    return left;
}

void RenderStateManagerClass::Add(std::unique_ptr<std::vector<RenderStateRecord>>& list,
                                  D3DRENDERSTATETYPE state, uint32_t value, const std::string& name) {
    if (!list) list = std::make_unique<std::vector<RenderStateRecord>>();
    for (RenderStateRecord& r : *list)
        if (r.state == state && r.name == name) {
            r.value = value;
            return;
        }
    list->push_back({state, value, name});
}

void RenderStateManagerClass::SetFromFlags(uint64_t applyFlags, uint64_t restoreFlags) {
    for (int bit = 0; bit < 18; ++bit) {
        const FlagRecord& f = kFlagRecords[bit];
        if (applyFlags & (1ull << bit)) AddState(f.state, f.value, "");
        if (restoreFlags & (1ull << bit)) AddRestoreState(f.state, f.value, "");
    }
    // The three cull modes: apply records first, then restore records.
    for (int bit = 18; bit < 21; ++bit)
        if (applyFlags & (1ull << bit)) AddState(kFlagRecords[bit].state, kFlagRecords[bit].value, "");
    for (int bit = 18; bit < 21; ++bit)
        if (restoreFlags & (1ull << bit))
            AddRestoreState(kFlagRecords[bit].state, kFlagRecords[bit].value, "");
}

void RenderStateManagerClass::AddState(D3DRENDERSTATETYPE state, uint32_t value, const std::string& name) {
    Add(apply_, state, value, name);
}

void RenderStateManagerClass::AddRestoreState(D3DRENDERSTATETYPE state, uint32_t value,
                                              const std::string& name) {
    Add(restore_, state, value, name);
}

void RenderStateManagerClass::RemoveState(D3DRENDERSTATETYPE state) {
    if (apply_) std::erase_if(*apply_, [&](const RenderStateRecord& r) { return r.state == state; });
}

void RenderStateManagerClass::RemoveRestoreState(D3DRENDERSTATETYPE state) {
    if (restore_) std::erase_if(*restore_, [&](const RenderStateRecord& r) { return r.state == state; });
}

void RenderStateManagerClass::ApplyStates() {
    SetStates(apply_.get());
}

void RenderStateManagerClass::RestoreStates() {
    SetStates(restore_.get());
}

void RenderStateManagerClass::ClearStates(const std::string& name) {
    if (apply_) std::erase_if(*apply_, [&](const RenderStateRecord& r) { return r.name == name; });
}

void RenderStateManagerClass::ClearRestoreStates(const std::string& name) {
    if (restore_) std::erase_if(*restore_, [&](const RenderStateRecord& r) { return r.name == name; });
}

void RenderStateManagerClass::ClearAll() {
    ClearStates("");
    ClearRestoreStates("");
}

void RenderStateManagerClass::Message(IEngineObject* sender, int msg, int param) {
    TEngineObject::Message(sender, msg, param);
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && owner_ && sender && sender->GetInstance() == owner_) {
        owner_ = nullptr;
        ReleaseRef();
    }
}

void RenderStateManagerClass::DetachOwner() {
    if (!owner_) return;
    std::exchange(owner_, nullptr)->RemoveSubscriber(this);
    ReleaseRef();
}

void RenderStateManagerClass::Free() {
    if (owner_) std::exchange(owner_, nullptr)->RemoveSubscriber(this);
    ClearAll();
    apply_.reset();
    restore_.reset();
    TEngineObject::Free();
}

} // namespace vesk
