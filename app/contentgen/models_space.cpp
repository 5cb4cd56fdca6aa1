// The space around the ships: the Kessa outpost station and its turning ring,
// three asteroids, the Vesk planet system with its locations, its
// environment (sky sphere, sun, planets) and a jump gate with its opening
// animation in a ".cma" file.
#include "models.h"
#include "noise.h"

#include "shared/math.h"

#include <array>
#include <cmath>

namespace vesk::contentgen {
namespace {

constexpr float kPi = 3.14159265f;

// ---- the station ------------------------------------------------------------------------

Mesh StationBody(const Detail& d, bool details) {
    Mesh m;
    // The hull runs along x: a long spindle with a wider habitat drum.
    LoftOptions hull{"station_hull", "station_hull", "station_hull", 4, 6};
    m.Append(Loft({SectionX({-160, 0, 0}, 14, 14, d.around), SectionX({-120, 0, 0}, 22, 22, d.around),
                   SectionX({-60, 0, 0}, 40, 40, d.around, 3), SectionX({40, 0, 0}, 40, 40, d.around, 3),
                   SectionX({70, 0, 0}, 24, 24, d.around), SectionX({130, 0, 0}, 18, 18, d.around),
                   SectionX({150, 0, 0}, 8, 8, d.around)},
                  hull));
    // Spokes out to the ring at x = 20.
    for (int k = 0; k < 4; ++k) {
        const Matrix turn = MatrixRotationX(kPi / 2 * static_cast<float>(k) + kPi / 4);
        LoftOptions spoke{"station_hull", "station_hull", "station_hull"};
        m.Append(Loft({SectionZ({20, 0, 30}, 4, 4, d.small), SectionZ({20, 0, 86}, 3, 3, d.small)}, spoke),
                 turn);
    }
    // Solar wings on long masts.
    for (float side : {-1.0f, 1.0f}) {
        m.Append(Box({-110, 20 * side - 2, -2}, {-100, 150 * side + 2, 2}, "station_hull"));
        for (int p = 0; p < 3; ++p) {
            const float y0 = (40 + 38 * static_cast<float>(p)) * side;
            m.Append(Box({-135, std::min(y0, y0 + 34 * side), -0.6f},
                         {-75, std::max(y0, y0 + 34 * side), 0.6f}, "solar_panel"));
        }
    }
    if (details) {
        // The docking arm and its lit mouth, and an antenna mast at the bow.
        m.Append(CylinderX(60, 110, 9, 9, 0, -48, d.small, {"station_hull", "", "dock_light"}));
        m.Append(Box({60, -5, -44}, {70, 5, -32}, "station_hull"));
        m.Append(CylinderX(150, 200, 1.5f, 0.5f, 0, 0, 6, {"station_hull", "", "station_hull"}));
    }
    return m;
}

void WriteStation(const AssetSink& sink) {
    ModelFile m("outpost_kessa");
    m.AddMaterial("station_hull", "station/outpost_panels", 0xC8C0B0);
    m.AddMaterial("solar_panel", "station/solar_panel", 0x3050A0);
    m.AddMaterial("dock_light", "fx/engine_glow", 0x60FF80);
    AddDetailLevels(m, [](const Detail& d) { return StationBody(d, d.around > kDetailLow.around); });
    m.AddObject("lowpoly", StationBody(kDetailLow, false));
    GeomObject& shield = m.AddObject("shield", Ellipsoid({-5, 0, 0}, {215, 170, 110}, 12, 6, "station_hull"));
    shield.tm = MatrixProduct(MatrixScaling(215, 170, 110), MatrixTranslation(-5, 0, 0));
    // Where the turning ring sits, and two ray-gun mounts named after their gun.
    GeomObject& mount = m.AddObject("ring_mount", Box({18, -2, -2}, {22, 2, 2}, "station_hull"));
    mount.tm = MatrixTranslation(20, 0, 0);
    for (int k = 1; k <= 2; ++k) {
        const float z = k == 1 ? 42.0f : -42.0f;
        GeomObject& gun = m.AddObject("mesh:laser_gun0" + std::to_string(k),
                                      Box({-10, -3, z - 2}, {-4, 3, z + 2}, "station_hull"));
        gun.tm = MatrixTranslation(-7, 0, z);
    }
    m.AddHelper("dock01", {85, 0, -60});
    m.AddHelper("dock_approach", {85, 0, -200});
    m.AddHelper("turret01", {0, 0, 42});
    m.AddHelper("turret02", {0, 0, -42});
    m.AddHelper("turret03", {0, 42, 0});
    m.AddHelper("turret04", {0, -42, 0});
    m.AddHelper("cam_from", {-500, 0, 150});
    m.lights.push_back({"dock_lamp", {110, 0, -48}, {0.3f, 1, 0.5f, 1}, 0});
    m.lights.push_back({"beacon_bow", {200, 0, 0}, {1, 0.2f, 0.1f, 1}, 0});
    m.lights.push_back({"beacon_stern", {-160, 0, 0}, {1, 0.2f, 0.1f, 1}, 0});
    m.AddSphere("bs_bow", {100, 0, 0}, 60);
    m.AddSphere("bs_drum", {-10, 0, 0}, 95);
    m.AddSphere("bs_stern", {-125, 0, 0}, 45);
    m.AddSphere("bs_solar_l", {-105, -95, 0}, 70);
    m.AddSphere("bs_solar_r", {-105, 95, 0}, 70);
    EmitModel(sink, "models/space/outpost_kessa.cm", m);

    ModelFile ring("outpost_ring");
    ring.AddMaterial("station_hull", "station/outpost_panels", 0xC8C0B0);
    ring.AddMaterial("ring_window", "fx/engine_glow", 0xFFE0A0);
    AddDetailLevels(ring, [](const Detail& d) {
        Mesh r = TorusX(90, 9, d.around * 2, d.small, "station_hull");
        // A band of windows round the outside.
        r.Append(TorusX(98.5f, 1.2f, d.around * 2, 4, "ring_window"));
        return r;
    });
    ring.AddSphere("bs_ring", {0, 0, 0}, 100);
    EmitModel(sink, "models/space/outpost_ring.cm", ring);
}

// ---- asteroids --------------------------------------------------------------------------

// A lumpy rock: a sphere pushed in and out by noise, squashed a little.
Mesh Rock(float radius, const Vec3& squash, uint32_t seed, const Detail& d) {
    const int stacks = d.along + 2, slices = d.around;
    std::vector<Ring> rings;
    for (int j = 0; j <= stacks; ++j) {
        const float t = kPi * static_cast<float>(j) / static_cast<float>(stacks);
        Ring ring;
        for (int i = 0; i < slices; ++i) {
            const float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(slices);
            const Vec3 dir{-std::cos(t), std::sin(t) * std::cos(a), std::sin(t) * std::sin(a)};
            const float bump =
                0.75f + 0.5f * Fbm(dir.x * 1.7f + 5, dir.y * 1.7f + 5, dir.z * 1.7f + 5, 4, seed);
            ring.push_back({dir.x * radius * squash.x * bump, dir.y * radius * squash.y * bump,
                            dir.z * radius * squash.z * bump});
        }
        rings.push_back(ring);
    }
    LoftOptions o{"asteroid_rock", "", "", 3, 2};
    return Loft(rings, o);
}

void WriteAsteroid(const AssetSink& sink, const std::string& name, float radius, const Vec3& squash,
                   uint32_t seed) {
    ModelFile m(name);
    m.AddMaterial("asteroid_rock", "asteroids/rock", 0x8A8078);
    AddDetailLevels(m, [&](const Detail& d) { return Rock(radius, squash, seed, d); });
    m.AddObject("lowpoly", Rock(radius, squash, seed, kDetailLow));
    m.AddSphere("bs_core", {0, 0, 0}, radius * std::max({squash.x, squash.y, squash.z}) * 1.1f);
    EmitModel(sink, "models/space/" + name + ".cm", m);
}

// ---- the planet system, its environment and its location -------------------------------

// A globe with its poles straight up and down (the loft axis, x, turned to
// z): its texture's rows run round it, the first and the last gather at the
// poles, and a turn about z spins it about them.
Mesh Globe(const Vec3& centre, float radius, int slices, int stacks, const std::string& material) {
    Matrix place = MatrixTranslation(centre.x, centre.y, centre.z);
    place.m[0][0] = 0, place.m[0][2] = 1; // x to z
    place.m[1][1] = 0, place.m[1][0] = 1; // y to x
    place.m[2][2] = 0, place.m[2][1] = 1; // z to y
    Mesh m;
    m.Append(Ellipsoid({0, 0, 0}, {radius, radius, radius}, slices, stacks, material), place);
    return m;
}

// The sky sphere is a globe seen from inside: the star field's horizon runs
// round the horizon.
Mesh SkySphere(float radius, const std::string& material) {
    Mesh sky = Globe({0, 0, 0}, radius, 32, 16, material);
    sky.Invert();
    return sky;
}

// A sun's disc: a square that faces the eye (it is drawn around the eye,
// which sits at the origin of the environment), the glow texture's middle on
// the sun. A sphere would wrap the glow's picture round itself.
Mesh SunSquare(const Vec3& sun, float half, const std::string& material) {
    const Vec3 toEye = Vec3Normalize(Vec3Scale(sun, -1.0f));
    Vec3 side = Vec3Cross({0, 0, 1}, toEye);
    if (Vec3Length(side) < 1e-3f) side = Vec3Cross({0, 1, 0}, toEye);
    side = Vec3Normalize(side);
    const Vec3 up = Vec3Normalize(Vec3Cross(toEye, side));
    Mesh m;
    uint32_t corner[4];
    const float at[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
    for (int i = 0; i < 4; ++i) {
        const Vec3 p =
            Vec3Add(sun, Vec3Add(Vec3Scale(side, at[i][0] * half), Vec3Scale(up, at[i][1] * half)));
        corner[i] = m.AddVertex({p, toEye, (at[i][0] + 1) / 2, (1 - at[i][1]) / 2});
    }
    // Facing the eye: (b - a) x (c - a) points at it.
    const Vec3 a = m.vertices[corner[0]].p, b = m.vertices[corner[1]].p, c = m.vertices[corner[2]].p;
    const bool towards = Vec3Dot(Vec3Cross(Vec3Sub(b, a), Vec3Sub(c, a)), toEye) > 0;
    for (const auto& t : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}})
        if (towards)
            m.AddTriangle(material, corner[t[0]], corner[t[1]], corner[t[2]]);
        else
            m.AddTriangle(material, corner[t[0]], corner[t[2]], corner[t[1]]);
    return m;
}

void WritePlanetSystem(const AssetSink& sink) {
    ModelFile m("vesk_system");
    m.AddHelper("location:kessa_outpost", {0, 0, 0});
    m.AddHelper("location:kessa_belt", {14000, 6000, 0});
    m.AddHelper("mesh:vesk_prime", {50000, 60000, -12000});
    m.AddHelper("mesh:kessa_moon", {-30000, 45000, 9000});
    m.AddHelper("model:player", {-300, 0, 0});
    m.shapes.push_back({"jump_route", {{0, 0, 0}, {4000, 1500, 0}, {9000, 3000, 200}, {14000, 6000, 0}}});
    m.AddSphere("bs_system", {7000, 3000, 0}, 20000);
    EmitModel(sink, "models/space/vesk_system.cm", m);

    ModelFile env("vesk_env");
    env.AddMaterial("sky_vesk_space", "sky/starfield", 0xFFFFFF);
    env.AddMaterial("sun_disc", "fx/sun_glow", 0xFFF0D0);
    env.AddMaterial("planet_vesk_prime", "planets/vesk_prime", 0xFFFFFF);
    env.AddMaterial("planet_clouds", "planets/clouds", 0xFFFFFF);
    env.AddMaterial("planet_kessa_moon", "planets/kessa_moon", 0xFFFFFF);
    env.AddObject("sky:vesk_space", SkySphere(100000, "sky_vesk_space"));
    const Vec3 sun{80000, -40000, 30000};
    env.lights.push_back({"SUNLIGHT_01", sun, {1.0f, 0.95f, 0.85f, 1}, 0});
    // The glow reaches about five degrees from the sun's middle.
    env.AddObject("SUNLIGHT_01_mesh", SunSquare(sun, 9000, "sun_disc"));
    const Vec3 vesk{50000, 60000, -12000};
    GeomObject& planet = env.AddObject("vesk_prime", Globe(vesk, 14000, 48, 24, "planet_vesk_prime"));
    planet.tm = MatrixTranslation(vesk.x, vesk.y, vesk.z);
    GeomObject& clouds = env.AddObject("vesk_prime_clouds", Globe(vesk, 14250, 48, 24, "planet_clouds"));
    clouds.tm = planet.tm;
    const Vec3 moon{-30000, 45000, 9000};
    GeomObject& kessa = env.AddObject("kessa_moon", Globe(moon, 3000, 24, 12, "planet_kessa_moon"));
    kessa.tm = MatrixTranslation(moon.x, moon.y, moon.z);
    EmitModel(sink, "models/space/vesk_env.cm", env);

    // The outpost location: where the mission plays.
    ModelFile loc("kessa_outpost");
    loc.AddHelper("mission:start", {0, 0, 0});
    loc.AddHelper("trigger:waypoint01", {2500, 300, 0});
    for (int k = 1; k <= 3; ++k)
        loc.AddHelper("gen:raider0" + std::to_string(k),
                      {5200, -900.0f + 900.0f * static_cast<float>(k - 1), 200});
    loc.AddHelper("mesh:outpost_kessa", {8000, -1500, 0});
    loc.AddHelper("anchor:station_dock", {8085, -1500, -200});
    // Where the outpost's jump gate opens: on the way in from the belt, a
    // good way short of the station, facing that way, at five times the gate
    // model's size.
    const Vec3 gate{4600, -500, 60};
    loc.helpers.push_back({"gate:kessa", gate,
                           MatrixProduct(MatrixScaling(5, 5, 5), MatrixTranslation(gate.x, gate.y, gate.z))});
    Random scatter(7);
    for (int k = 1; k <= 8; ++k) {
        const char kinds[] = {'a', 'b', 'c'};
        loc.AddHelper(std::string("mesh:asteroid_") + kinds[k % 3] + "0" + std::to_string(k),
                      {scatter.Range(1000, 7000), scatter.Range(1500, 4000), scatter.Range(-800, 800)});
    }
    loc.shapes.push_back(
        {"patrol", {{4800, -1200, 200}, {5600, -1200, 200}, {5600, 1200, 200}, {4800, 1200, 200}}});
    loc.AddSphere("bs_location", {4000, 0, 0}, 9000);
    EmitModel(sink, "models/space/kessa_outpost.cm", loc);
}

// ---- the jump gate and its animation ------------------------------------------------------

void WriteJumpGate(const AssetSink& sink) {
    ModelFile m("jump_gate");
    m.AddMaterial("gate_frame", "station/outpost_panels", 0x9090A0);
    m.AddMaterial("gate_field", "fx/shield", 0x60A0FF);
    Mesh base = TorusX(60, 6, 48, 12, "gate_frame");
    for (int k = 0; k < 6; ++k)
        base.Append(Box({-8, -4, 62}, {8, 4, 76}, "gate_frame"),
                    MatrixRotationX(kPi / 3 * static_cast<float>(k)));
    m.AddObject("base", std::move(base));
    // The shimmering field across the opening, seen from both sides.
    Mesh field = Ellipsoid({0, 0, 0}, {1, 56, 56}, 24, 4, "gate_field");
    m.AddObject("field", std::move(field));
    m.AddHelper("point01", {0, 0, 0});
    m.AddHelper("point02", {10, 0, 0});
    m.AddSphere("bs_gate", {0, 0, 0}, 80);
    EmitModel(sink, "models/space/jump_gate.cm", m);

    // Opening: the gate grows from nothing over 30 frames, holds, and shrinks
    // back over the last 30 of 120 frames.
    ModelFile anim("jump_gate");
    anim.animationRoot = "jump_gate";
    for (const char* object : {"base", "field"}) {
        AnimTrack t{object, 0, 120, {}};
        for (int f = 0; f <= 120; f += 10) {
            float s = 1;
            if (f < 30) s = std::max(0.01f, static_cast<float>(f) / 30.0f);
            if (f > 90) s = std::max(0.01f, static_cast<float>(120 - f) / 30.0f);
            AnimKey k;
            k.time = static_cast<float>(f) * 100.0f;
            k.tm = MatrixProduct(MatrixScaling(s, s, s), MatrixRotationX(static_cast<float>(f) * 0.02f));
            k.colour[3] = s;
            k.factor = s;
            t.keys.push_back(k);
        }
        anim.tracks.push_back(std::move(t));
    }
    EmitModel(sink, "models/space/jump_gate.cma", anim);
}

void WriteSpaceModels(const AssetSink& sink) {
    WriteStation(sink);
    WriteAsteroid(sink, "asteroid_a", 18, {1.0f, 0.8f, 0.7f}, 11);
    WriteAsteroid(sink, "asteroid_b", 30, {1.2f, 0.9f, 0.8f}, 23);
    WriteAsteroid(sink, "asteroid_c", 55, {1.0f, 1.0f, 0.75f}, 37);
    WritePlanetSystem(sink);
    WriteJumpGate(sink);
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(models_space, vesk::contentgen::WriteSpaceModels);
