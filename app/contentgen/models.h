#pragma once
// What the model families share: levels of detail and the way a finished
// model reaches the game folder.
#include "assets.h"
#include "mesh.h"

#include <string>

namespace vesk::contentgen {

// Tessellation of one level of detail: loops around hulls and tubes, loops
// along them, and segments of small round parts.
struct Detail {
    int around;
    int along;
    int small;
};

// Full detail for "base", then the coarser "base_lod_<n>" levels. A level's
// number is the size-over-distance value below which the ship shows it, so
// the coarsest level has the smallest number.
inline constexpr Detail kDetailFull{24, 10, 16};
inline constexpr Detail kDetailMid{12, 5, 8};
inline constexpr Detail kDetailLow{6, 3, 5};

inline void EmitModel(const AssetSink& sink, const std::string& path, const ModelFile& model) {
    sink(path, model.Bytes());
}

// Adds "base", "base_lod_30" and "base_lod_8" built by `build` at falling detail.
template <class Build> void AddDetailLevels(ModelFile& model, Build build) {
    model.AddObject("base", build(kDetailFull));
    model.AddObject("base_lod_30", build(kDetailMid));
    model.AddObject("base_lod_8", build(kDetailLow));
}

} // namespace vesk::contentgen
