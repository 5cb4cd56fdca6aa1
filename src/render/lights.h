#pragma once
// A fixed table of fixed-function light slots; a slot number is the device's
// light index. Units add their lights while the frame's list runs and remove
// them by tag afterwards.
#include "platform/gfx/types.h"

#include <array>
#include <cstdint>

namespace vesk {

class TLightManager {
public:
    static constexpr int kCapacity = 8;

    struct Slot {
        uint16_t tag = 0; // 0: free
        platform::D3DLIGHT9 light;
        uint32_t extra = 0;
    };

    TLightManager() { Create(); }
    void Create();

    // The slot's light record, or nullptr when every slot is taken (nothing changes then).
    platform::D3DLIGHT9* AddPointLight(uint16_t tag, const Vec3& position, const ColorValue& diffuse,
                                       float attenuation0, float attenuation1);
    platform::D3DLIGHT9* AddDirectionalLight(uint16_t tag, const Vec3& direction, const ColorValue& diffuse);
    void RemoveLight(int slot);
    // Removes every light whose tag shares a bit with the mask.
    void RemoveLightsByTag(uint16_t mask);

    int Count() const { return count_; }
    int Capacity() const { return capacity_; }
    const Slot& GetSlot(int i) const { return slots_[static_cast<size_t>(i)]; }
    // Sends a filled slot's light to the device (after the record was changed).
    void CommitLight(int slot);

private:
    int FindFreeSlot() const;
    // The first free slot, filled by fill and sent to the device; nullptr when none is free.
    template <class F> platform::D3DLIGHT9* AddLight(uint16_t tag, F&& fill);
    platform::D3DLIGHT9* Fill(int slot, uint16_t tag);

    int capacity_ = kCapacity;
    int count_ = 0;
    int firstSlot_ = 0;
    std::array<Slot, kCapacity> slots_{};
};

} // namespace vesk
