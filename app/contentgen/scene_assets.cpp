// The second location of the Vesk system: the Kessa belt, a drift of rocks
// inside a nebula. Its "fog:" helpers become the nebula's fog volumes, each
// helper's scale the size of its volume; the belt's gate trigger and its rocks
// are named by the usual helper prefixes.
#include "models.h"

#include "shared/math.h"

namespace vesk::contentgen {
namespace {

void WriteKessaBelt(const AssetSink& sink) {
    // No "mission:start": the player's ship starts at the outpost, and a belt
    // loaded later must not carry it off.
    ModelFile belt("kessa_belt");
    // Fog volumes: the effect "nebula", sized by the helper's scale.
    const struct {
        const char* name;
        Vec3 at;
        float size;
    } fogs[] = {{"fog:nebula01", {1800, -600, 200}, 2400},
                {"fog:nebula02", {3200, 900, -300}, 3000},
                {"fog:nebula03", {900, 1500, 400}, 1800}};
    for (const auto& f : fogs)
        belt.helpers.push_back({f.name, f.at,
                                MatrixProduct(MatrixScaling(f.size, f.size, f.size),
                                              MatrixTranslation(f.at.x, f.at.y, f.at.z))});
    belt.AddHelper("trigger:gate01", {2400, 0, 0});
    belt.AddHelper("mesh:asteroid_a11", {1200, -1400, -200});
    belt.AddHelper("mesh:asteroid_c12", {2600, 1700, 300});
    belt.AddHelper("mesh:asteroid_b13", {3900, -800, 100});
    belt.AddSphere("bs_belt", {2200, 200, 0}, 5000);
    EmitModel(sink, "models/space/kessa_belt.cm", belt);
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(scene_assets, vesk::contentgen::WriteKessaBelt);
