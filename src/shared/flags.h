#pragma once
// A 64-bit flag set, cleared at creation.
#include <cstdint>

namespace vesk {

class FlagClass {
public:
    FlagClass() = default;
    virtual ~FlagClass() = default;

    // True when the set and the mask share a bit.
    bool HasFlags(uint64_t mask) const { return (flags_ & mask) != 0; }
    void AddFlags(uint64_t mask) { flags_ |= mask; }
    uint64_t Flags() const { return flags_; }

private:
    uint64_t flags_ = 0;
};

} // namespace vesk
