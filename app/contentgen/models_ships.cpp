// Ship models: the player's fighter, the raider the player fights, a wing
// module, a rocket and the fighter's cockpit. Each ship holds "base" and its
// coarser levels, a "lowpoly" collision hull, a "shield" ellipsoid, the attach
// points the game mounts nozzles, guns, rockets, wings and the cockpit on,
// navigation lights and bounding spheres.
#include "models.h"

#include "shared/math.h"

namespace vesk::contentgen {
namespace {

struct Section {
    float x, hy, hz, z, exponent;
};

// A hull lofted through sections running from the tail to the nose.
Mesh Hull(const std::vector<Section>& sections, int around, const std::string& material) {
    std::vector<Ring> rings;
    for (const Section& s : sections)
        rings.push_back(SectionX({s.x, 0, s.z}, s.hy, s.hz, around, s.exponent));
    LoftOptions o;
    o.material = material;
    o.startCap = material;
    o.uScale = 2;
    o.vScale = 3;
    return Loft(rings, o);
}

struct WingPlan {
    float rootY, tipY;
    float rootX, rootChord, rootThick, rootZ;
    float tipX, tipChord, tipThick, tipZ;
};

// A wing lofted from root to tip through airfoil-like sections, both ends closed.
Mesh Wing(const WingPlan& w, int segments, const std::string& material) {
    LoftOptions o;
    o.material = material;
    o.startCap = material;
    o.endCap = material;
    return Loft({SectionY({w.rootX, w.rootY, w.rootZ}, w.rootChord / 2, w.rootThick / 2, segments, 2.4f),
                 SectionY({w.tipX, w.tipY, w.tipZ}, w.tipChord / 2, w.tipThick / 2, segments, 2.4f)},
                o);
}

// A vertical fin from its root (z0) to its tip (z1).
Mesh Fin(float y, float z0, float z1, float rootX, float rootChord, float tipX, float tipChord, float thick,
         int segments, const std::string& material) {
    LoftOptions o;
    o.material = material;
    o.startCap = material;
    o.endCap = material;
    return Loft({SectionZ({rootX, y, z0}, rootChord / 2, thick / 2, segments, 2.4f),
                 SectionZ({tipX, y, z1}, tipChord / 2, thick * 0.2f, segments, 2.4f)},
                o);
}

// An engine block along x ending in a glowing nozzle at x0.
Mesh Engine(float x0, float x1, float radius, float y, float z, int segments) {
    Mesh m;
    LoftOptions body;
    body.material = "engine_metal";
    body.endCap = "engine_metal";
    m.Append(Loft({SectionX({x0 + 1.2f, y, z}, radius * 1.05f, radius * 1.05f, segments),
                   SectionX({(x0 + x1) / 2, y, z}, radius * 1.15f, radius * 1.15f, segments),
                   SectionX({x1, y, z}, radius * 0.8f, radius * 0.8f, segments)},
                  body));
    LoftOptions nozzle;
    nozzle.material = "engine_metal";
    nozzle.startCap = "engine_glow";
    m.Append(Loft({SectionX({x0, y, z}, radius * 0.85f, radius * 0.85f, segments),
                   SectionX({x0 + 1.3f, y, z}, radius * 1.0f, radius * 1.0f, segments)},
                  nozzle));
    return m;
}

void StandardShipMaterials(ModelFile& m, const std::string& hull, const std::string& hullMap,
                           uint32_t hullRgb) {
    m.AddMaterial(hull, hullMap, hullRgb);
    m.AddMaterial("ship_glass", "ships/canopy", 0x6080A0).specular[0] = 1.0f;
    m.AddMaterial("engine_metal", "ships/engine_metal", 0x909090);
    m.AddMaterial("engine_glow", "fx/engine_glow", 0x80C0FF);
}

// An ellipsoid shield object: its matrix carries the radii.
void AddShield(ModelFile& m, const Vec3& centre, const Vec3& radii) {
    GeomObject& s = m.AddObject("shield", Ellipsoid(centre, radii, 12, 6, "shield"));
    s.tm = MatrixProduct(MatrixScaling(radii.x, radii.y, radii.z),
                         MatrixTranslation(centre.x, centre.y, centre.z));
    m.AddMaterial("shield", "fx/shield", 0x4080FF);
}

// ---- the player's fighter --------------------------------------------------------------

Mesh HawkBody(const Detail& d, bool details) {
    Mesh m;
    m.Append(Hull({{-14, 2.2f, 1.6f, 0.2f, 3.0f},
                   {-10, 3.0f, 2.2f, 0.3f, 3.0f},
                   {-4, 3.4f, 2.6f, 0.4f, 2.6f},
                   {3, 3.0f, 2.3f, 0.3f, 2.4f},
                   {9, 2.0f, 1.6f, 0.0f, 2.2f},
                   {13, 1.0f, 0.9f, -0.2f, 2.0f},
                   {16, 0.05f, 0.05f, -0.3f, 2.0f}},
                  d.around, "hawk_hull"));
    for (float side : {-1.0f, 1.0f}) {
        m.Append(Wing({2.6f * side, 13.0f * side, -3, 12, 1.0f, -0.2f, -7.5f, 4.4f, 0.35f, -0.5f}, d.small,
                      "hawk_hull"));
        m.Append(Engine(-16.5f, -4.0f, 1.4f, 4.6f * side, -0.5f, d.small));
    }
    m.Append(Fin(0, 1.5f, 6.5f, -10, 7, -12.5f, 3, 0.7f, d.small, "hawk_hull"));
    if (details) {
        m.Append(Ellipsoid({4, 0, 2.0f}, {4.5f, 1.5f, 1.3f}, d.small, d.small / 2 + 1, "ship_glass"));
        // Gun pylons under the wings; the guns themselves are items hung on "gun01"/"gun02".
        for (float side : {-1.0f, 1.0f})
            m.Append(CylinderX(-3, 5.5f, 0.45f, 0.3f, 8 * side, -0.6f, d.small / 2 + 3,
                               {"engine_metal", "engine_metal", "engine_metal"}));
    }
    return m;
}

void WriteHawk(const AssetSink& sink) {
    ModelFile m("vesk_hawk");
    StandardShipMaterials(m, "hawk_hull", "ships/hawk_hull", 0xB8C4D0);
    AddDetailLevels(m, [](const Detail& d) { return HawkBody(d, d.around > kDetailLow.around); });
    m.AddObject("lowpoly", HawkBody(kDetailLow, false));
    AddShield(m, {0, 0, 0.5f}, {19, 15, 7});
    m.AddHelper("nozzle01", {-16.7f, 4.6f, -0.5f});
    m.AddHelper("nozzle02", {-16.7f, -4.6f, -0.5f});
    m.AddHelper("gun01", {5.6f, 8, -0.6f});
    m.AddHelper("gun02", {5.6f, -8, -0.6f});
    m.AddHelper("rocket01", {0, 0, -2.8f});
    m.AddHelper("wing_r", {-7.5f, 13.2f, -0.5f});
    m.AddHelper("wing_l", {-7.5f, -13.2f, -0.5f});
    m.AddHelper("cockpit", {4, 0, 2.0f});
    m.AddHelper("cam_from", {-60, 0, 16});
    m.lights.push_back({"navlight_port", {-7.5f, -13.4f, -0.5f}, {1, 0.1f, 0.1f, 1}, 0});
    m.lights.push_back({"navlight_starboard", {-7.5f, 13.4f, -0.5f}, {0.1f, 1, 0.2f, 1}, 0});
    m.AddSphere("bs_nose", {8, 0, 0.2f}, 6);
    m.AddSphere("bs_body", {-3, 0, 0.4f}, 6.5f);
    m.AddSphere("bs_tail", {-11, 0, 1.8f}, 6);
    m.AddSphere("bs_wing_l", {-6, -9, -0.4f}, 5.5f);
    m.AddSphere("bs_wing_r", {-6, 9, -0.4f}, 5.5f);
    EmitModel(sink, "models/ships/vesk_hawk.cm", m);
}

// ---- the raider -----------------------------------------------------------------------

Mesh RaiderBody(const Detail& d, bool details) {
    Mesh m;
    m.Append(Hull({{-12, 2.4f, 2.0f, 0, 3.2f},
                   {-6, 3.3f, 2.7f, 0, 3.0f},
                   {2, 2.9f, 2.4f, 0.2f, 2.6f},
                   {8, 2.0f, 2.0f, 0.3f, 2.2f},
                   {12, 0.8f, 0.9f, 0.2f, 2.0f},
                   {13.5f, 0.05f, 0.05f, 0.2f, 2.0f}},
                  d.around, "raider_hull"));
    m.Append(Engine(-15, -10.5f, 2.0f, 0, 0, d.around));
    for (float side : {-1.0f, 1.0f}) {
        // Forward-swept wings with a little droop, and twin booms with their fins.
        m.Append(Wing({2.8f * side, 12.0f * side, -6, 5.5f, 0.9f, -0.3f, -0.5f, 2.2f, 0.3f, -1.4f}, d.small,
                      "raider_hull"));
        m.Append(Engine(-14, -1, 0.9f, 5.5f * side, 0.2f, d.small));
        m.Append(Fin(5.5f * side, 0.8f, 4.5f, -11, 4.5f, -12.5f, 2.2f, 0.5f, d.small, "raider_hull"));
    }
    if (details)
        m.Append(Ellipsoid({7, 0, 1.6f}, {3.6f, 1.7f, 1.5f}, d.small, d.small / 2 + 1, "ship_glass"));
    return m;
}

void WriteRaider(const AssetSink& sink) {
    ModelFile m("raider");
    StandardShipMaterials(m, "raider_hull", "ships/raider_hull", 0xA03028);
    AddDetailLevels(m, [](const Detail& d) { return RaiderBody(d, d.around > kDetailLow.around); });
    m.AddObject("lowpoly", RaiderBody(kDetailLow, false));
    AddShield(m, {-1, 0, 0.3f}, {17, 14, 6});
    m.AddHelper("nozzle01", {-15.2f, 0, 0});
    m.AddHelper("nozzle02", {-14.2f, 5.5f, 0.2f});
    m.AddHelper("nozzle03", {-14.2f, -5.5f, 0.2f});
    m.AddHelper("gun01", {6, 3.0f, -1.4f});
    m.AddHelper("gun02", {6, -3.0f, -1.4f});
    m.AddHelper("rocket01", {-2, 0, -2.6f});
    m.AddHelper("cam_from", {-55, 0, 14});
    m.lights.push_back({"navlight_port", {-0.5f, -12.2f, -1.4f}, {1, 0.1f, 0.1f, 1}, 0});
    m.lights.push_back({"navlight_starboard", {-0.5f, 12.2f, -1.4f}, {0.1f, 1, 0.2f, 1}, 0});
    m.AddSphere("bs_nose", {7, 0, 0.3f}, 5.5f);
    m.AddSphere("bs_body", {-4, 0, 0}, 6.5f);
    m.AddSphere("bs_boom_l", {-8, -5.5f, 0.5f}, 5);
    m.AddSphere("bs_boom_r", {-8, 5.5f, 0.5f}, 5);
    m.AddSphere("bs_wing_l", {-3, -8, -0.8f}, 4.5f);
    m.AddSphere("bs_wing_r", {-3, 8, -0.8f}, 4.5f);
    EmitModel(sink, "models/ships/raider.cm", m);
}

// ---- a wing module: an engine pod with a fin, hung on a wing-tip slot -------------------

void WriteWingFin(const AssetSink& sink) {
    ModelFile m("wing_fin");
    StandardShipMaterials(m, "hawk_hull", "ships/hawk_hull", 0xB8C4D0);
    Mesh base;
    base.Append(Engine(-4, 3, 0.8f, 0, 0, kDetailFull.small));
    base.Append(Fin(0, 0.5f, 3.5f, -1.5f, 4, -3, 1.5f, 0.3f, kDetailFull.small, "hawk_hull"));
    m.AddObject("base", std::move(base));
    m.AddHelper("nozzle01", {-4.2f, 0, 0});
    m.AddSphere("bs_pod", {-0.5f, 0, 0.8f}, 4);
    EmitModel(sink, "models/ships/wing_fin.cm", m);
}

// ---- a rocket -------------------------------------------------------------------------

Mesh RocketBody(const Detail& d) {
    Mesh m;
    LoftOptions o;
    o.material = "rocket_body";
    o.startCap = "engine_glow";
    m.Append(
        Loft({SectionX({-2, 0, 0}, 0.22f, 0.22f, d.small), SectionX({1.4f, 0, 0}, 0.26f, 0.26f, d.small),
              SectionX({2.0f, 0, 0}, 0.18f, 0.18f, d.small), SectionX({2.4f, 0, 0}, 0.02f, 0.02f, d.small)},
             o));
    for (int k = 0; k < 4; ++k) {
        const Matrix turn = MatrixRotationX(1.5707963f * static_cast<float>(k));
        m.Append(Fin(0, 0.2f, 0.7f, -1.5f, 0.9f, -1.8f, 0.4f, 0.06f, 4, "rocket_body"), turn);
    }
    return m;
}

void WriteRocket(const AssetSink& sink) {
    ModelFile m("rocket_hornet");
    m.AddMaterial("rocket_body", "ships/engine_metal", 0xD0D0C8);
    m.AddMaterial("engine_glow", "fx/engine_glow", 0xFFC080);
    m.AddObject("base", RocketBody(kDetailMid));
    m.AddObject("lowpoly", Box({-2, -0.3f, -0.3f}, {2.4f, 0.3f, 0.3f}, "rocket_body"));
    m.AddHelper("nozzle01", {-2.1f, 0, 0});
    m.AddSphere("bs_rocket", {0.2f, 0, 0}, 2.3f);
    EmitModel(sink, "models/ships/rocket_hornet.cm", m);
}

// ---- what a destroyed raider leaves: a torn piece of its hull -----------------------------

void WriteRaiderDebris(const AssetSink& sink) {
    ModelFile m("raider_debris");
    StandardShipMaterials(m, "raider_hull", "ships/raider_hull", 0xA03028);
    Mesh base;
    base.Append(Box({-3.5f, -2, -0.3f}, {3, 2.2f, 0.3f}, "raider_hull"), MatrixRotationX(0.4f));
    base.Append(Box({-1, -0.6f, -1.8f}, {1.6f, 0.6f, 0.2f}, "engine_metal"), MatrixRotationZ(0.7f));
    base.Append(Box({1.5f, -2.6f, -0.2f}, {2.6f, 0.5f, 0.2f}, "raider_hull"), MatrixRotationY(-0.5f));
    m.AddObject("base", std::move(base));
    m.AddObject("lowpoly", Box({-3, -2, -1}, {3, 2, 1}, "raider_hull"));
    m.AddSphere("bs_debris", {0, 0, 0}, 4);
    EmitModel(sink, "models/ships/raider_debris.cm", m);
}

// ---- the fighter's cockpit, seen from inside --------------------------------------------

void WriteCockpit(const AssetSink& sink) {
    ModelFile m("hawk_cockpit");
    m.AddMaterial("cockpit_frame", "ships/engine_metal", 0x404850);
    m.AddMaterial("cockpit_panel", "interface/panel", 0x303840);
    // Seen from the seat (the eye at "cam_pos"), everything lies beyond the
    // view's near plane one unit away: the instrument panel low ahead, the
    // canopy's frame round the view.
    Mesh base;
    base.Append(Box({2.0f, -1.6f, -1.6f}, {3.2f, 1.6f, -0.6f}, "cockpit_panel"));
    for (float y : {-2.4f, 2.4f})
        base.Append(Box({-1.0f, y - 0.1f, -1.6f}, {3.6f, y + 0.1f, 1.9f}, "cockpit_frame"));
    base.Append(Box({3.4f, -2.4f, 1.7f}, {3.6f, 2.4f, 1.9f}, "cockpit_frame"));
    for (float y : {-1.0f, 1.0f})
        base.Append(Box({3.5f, y - 0.06f, -0.6f}, {3.6f, y + 0.06f, 1.8f}, "cockpit_frame"));
    m.AddObject("base", std::move(base));
    m.AddHelper("cam_pos", {0, 0, 0.3f});
    m.AddHelper("cam_dir", {10, 0, 0.3f});
    m.AddSphere("bs_cockpit", {1.3f, 0, 0.2f}, 3.5f);
    EmitModel(sink, "models/ships/hawk_cockpit.cm", m);
}

void WriteShipModels(const AssetSink& sink) {
    WriteHawk(sink);
    WriteRaider(sink);
    WriteWingFin(sink);
    WriteRocket(sink);
    WriteCockpit(sink);
    WriteRaiderDebris(sink);
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(models_ships, vesk::contentgen::WriteShipModels);
