#include "render/lights.h"

#include "platform/gfx/device.h"
#include "render/device.h"

namespace vesk {

using namespace platform;

void TLightManager::Create() {
    capacity_ = kCapacity;
    count_ = 0;
    firstSlot_ = 0;
    for (Slot& s : slots_) s.tag = 0;
}

int TLightManager::FindFreeSlot() const {
    for (int i = firstSlot_; i < capacity_; ++i)
        if (slots_[static_cast<size_t>(i)].tag == 0) return i;
    return -1;
}

D3DLIGHT9* TLightManager::Fill(int slot, uint16_t tag) {
    Slot& s = slots_[static_cast<size_t>(slot)];
    s = Slot{};
    s.light.Direction = {0, 0, 0}; // every field zero before the kind fills its own
    s.tag = tag;
    s.light.Specular = {0.4f, 0.4f, 0.4f, 0.4f};
    return &s.light;
}

void TLightManager::CommitLight(int slot) {
    if (IDirect3DDevice9* d = Device.Get()) {
        d->SetLight(static_cast<uint32_t>(slot), &slots_[static_cast<size_t>(slot)].light);
        d->LightEnable(static_cast<uint32_t>(slot), 1);
    }
}

template <class F> D3DLIGHT9* TLightManager::AddLight(uint16_t tag, F&& fill) {
    const int slot = FindFreeSlot();
    if (slot < 0) return nullptr;
    D3DLIGHT9* l = Fill(slot, tag);
    fill(*l);
    CommitLight(slot);
    ++count_;
    return l;
}

D3DLIGHT9* TLightManager::AddPointLight(uint16_t tag, const Vec3& position, const ColorValue& diffuse,
                                        float attenuation0, float attenuation1) {
    return AddLight(tag, [&](D3DLIGHT9& l) {
        l.Type = D3DLIGHT_POINT;
        l.Diffuse = diffuse;
        l.Position = position;
        l.Range = 1.0e9f;
        l.Attenuation0 = attenuation0;
        l.Attenuation1 = attenuation1;
    });
}

D3DLIGHT9* TLightManager::AddDirectionalLight(uint16_t tag, const Vec3& direction,
                                              const ColorValue& diffuse) {
    return AddLight(tag, [&](D3DLIGHT9& l) {
        l.Type = D3DLIGHT_DIRECTIONAL;
        l.Diffuse = diffuse;
        l.Direction = direction;
        l.Range = 9999.0f;
        l.Attenuation1 = 0.05f;
    });
}

void TLightManager::RemoveLight(int slot) {
    if (slot < 0 || slot >= capacity_) return;
    slots_[static_cast<size_t>(slot)].tag = 0;
    --count_;
    if (IDirect3DDevice9* d = Device.Get()) d->LightEnable(static_cast<uint32_t>(slot), 0);
}

void TLightManager::RemoveLightsByTag(uint16_t mask) {
    for (int i = firstSlot_; i < capacity_; ++i)
        if ((slots_[static_cast<size_t>(i)].tag & mask & 0xFFFFu) != 0) RemoveLight(i);
}

} // namespace vesk
