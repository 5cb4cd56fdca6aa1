#include "render/world_links.h"

namespace vesk {

bool RE_GetEnvironment(TBaseRenderUnit*& out) {
    const auto& l = GetRenderWorldLinks();
    out = l.environment ? l.environment() : nullptr;
    return out != nullptr;
}

bool RE_GetEnvironmentSet(const EnvironmentSet*& out) {
    const auto& l = GetRenderWorldLinks();
    out = l.environmentSet ? l.environmentSet() : nullptr;
    return out != nullptr;
}

ColorValue SunColour(uint32_t argb) {
    return {static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
            static_cast<float>(argb & 0xFF) / 255.0f, static_cast<float>(argb >> 24) / 255.0f};
}

} // namespace vesk
