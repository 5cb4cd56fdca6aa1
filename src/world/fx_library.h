#pragma once
// The effect library: every template of the Lua table "fx", one template render
// unit per entry of a known "type", kept in the registered template lists
// (render/fx_templates.h). Scripts load and reload it through engine_ReloadFx.
#include <array>
#include <cstdint>
#include <string>

namespace vesk {

class TBaseRenderUnit;

// One row of the type table: the Lua "type", the class made for it and the blend
// mode given to particles and smoke (0: none).
struct FXTypeRow {
    const char* type;
    const char* className;
    int32_t blendMode;
};
inline constexpr int kFXTypeCount = 16;
const std::array<FXTypeRow, kFXTypeCount>& FXTypeTable();
// Templates made per row of the type table since the start (statistics only).
const std::array<int32_t, kFXTypeCount>& FXTemplateCounts();

// Registers the effect classes (and the lamp classes they serve) with the class registry, once.
void RegisterEffectUnitClasses();

// Frees the current library and builds it again from the Lua table "fx": the
// particle templates first, then the others, each entry's "hex" written back
// to the table. An entry of an unknown type is skipped.
void LoadFXTemplates();

} // namespace vesk
