// Gun models: a fixed laser gun, a twin plasma gun, a rocket pod and a flak
// turret. A gun file is named after its gun and holds the object "cannon";
// a turret holds its turning "base", the barrel pivot "burel" and the barrel
// geometry "cannon". Muzzles are the helpers "weapon"/"weapon_out", then
// "weapon1"/"weapon_out1" and so on for further barrels.
#include "models.h"

#include "shared/math.h"

namespace vesk::contentgen {
namespace {

void GunMaterials(ModelFile& m) {
    m.AddMaterial("gun_metal", "ships/engine_metal", 0x707880);
    m.AddMaterial("gun_emitter", "fx/engine_glow", 0xFF6040);
}

// A barrel along x from x0 to x1 at (y, z), ending in an emitter.
Mesh Barrel(float x0, float x1, float radius, float y, float z, int segments) {
    Mesh m;
    m.Append(
        CylinderX(x0, x1, radius * 1.3f, radius, y, z, segments, {"gun_metal", "gun_metal", "gun_emitter"}));
    m.Append(CylinderX(x1 - 0.6f, x1 - 0.2f, radius * 1.6f, radius * 1.6f, y, z, segments,
                       {"gun_metal", "gun_metal", "gun_metal"}));
    return m;
}

void Muzzle(ModelFile& m, const char* suffix, const Vec3& at) {
    m.AddHelper(std::string("weapon") + suffix, at);
    m.AddHelper(std::string("weapon_out") + suffix, {at.x + 1, at.y, at.z});
}

void WriteLaserGun(const AssetSink& sink) {
    ModelFile m("laser_gun");
    GunMaterials(m);
    Mesh cannon = Box({-1.5f, -0.6f, -0.5f}, {0.5f, 0.6f, 0.5f}, "gun_metal");
    cannon.Append(Barrel(0.5f, 6, 0.3f, 0, 0, 12));
    m.AddObject("cannon", std::move(cannon));
    Muzzle(m, "", {6.2f, 0, 0});
    m.AddSphere("bs_gun", {2.2f, 0, 0}, 4.2f);
    EmitModel(sink, "models/weapons/laser_gun.cm", m);
}

void WritePlasmaGun(const AssetSink& sink) {
    ModelFile m("plasma_gun");
    GunMaterials(m);
    Mesh cannon = Box({-1.8f, -1.0f, -0.5f}, {0.6f, 1.0f, 0.5f}, "gun_metal");
    for (float y : {-0.55f, 0.55f}) cannon.Append(Barrel(0.6f, 5, 0.28f, y, 0, 10));
    m.AddObject("cannon", std::move(cannon));
    Muzzle(m, "", {5.2f, 0.55f, 0});
    Muzzle(m, "1", {5.2f, -0.55f, 0});
    m.AddSphere("bs_gun", {1.6f, 0, 0}, 3.8f);
    EmitModel(sink, "models/weapons/plasma_gun.cm", m);
}

void WriteRocketPod(const AssetSink& sink) {
    ModelFile m("rocket_pod");
    GunMaterials(m);
    Mesh cannon = Box({-2, -0.8f, -0.8f}, {2, 0.8f, 0.8f}, "gun_metal");
    // Four tube mouths on the front face.
    for (float y : {-0.4f, 0.4f})
        for (float z : {-0.4f, 0.4f})
            cannon.Append(CylinderX(2, 2.3f, 0.3f, 0.3f, y, z, 8, {"gun_metal", "", "gun_emitter"}));
    m.AddObject("cannon", std::move(cannon));
    Muzzle(m, "", {2.4f, 0, 0});
    m.AddSphere("bs_pod", {0, 0, 0}, 2.5f);
    EmitModel(sink, "models/weapons/rocket_pod.cm", m);
}

// The turret's origin is the barrel's hinge, so its parts keep their places
// whatever the loader does with the pivot's matrix.
void WriteFlakTurret(const AssetSink& sink) {
    ModelFile m("flak_turret");
    GunMaterials(m);
    Mesh base;
    LoftOptions ring{"gun_metal", "gun_metal", "gun_metal"};
    base.Append(Loft({SectionZ({0, 0, -3}, 2.6f, 2.6f, 16), SectionZ({0, 0, -1.2f}, 2.3f, 2.3f, 16),
                      SectionZ({0, 0, -0.6f}, 1.6f, 1.6f, 16)},
                     ring));
    base.Append(Box({-1.2f, -1.5f, -1.0f}, {0.4f, -1.1f, 0.8f}, "gun_metal"));
    base.Append(Box({-1.2f, 1.1f, -1.0f}, {0.4f, 1.5f, 0.8f}, "gun_metal"));
    m.AddObject("base", std::move(base));
    m.AddObject("burel", Box({-0.3f, -0.3f, -0.3f}, {0.3f, 0.3f, 0.3f}, "gun_metal"));
    Mesh cannon = Box({-1.0f, -1.0f, -0.6f}, {0.8f, 1.0f, 0.6f}, "gun_metal");
    for (float y : {-0.6f, 0.6f}) cannon.Append(Barrel(0.8f, 7, 0.32f, y, 0, 10));
    m.AddObject("cannon", std::move(cannon));
    Muzzle(m, "", {7.2f, 0.6f, 0});
    Muzzle(m, "1", {7.2f, -0.6f, 0});
    m.AddSphere("bs_turret", {1.5f, 0, -1}, 5);
    EmitModel(sink, "models/weapons/flak_turret.cm", m);
}

void WriteWeaponModels(const AssetSink& sink) {
    WriteLaserGun(sink);
    WritePlasmaGun(sink);
    WriteRocketPod(sink);
    WriteFlakTurret(sink);
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(models_weapons, vesk::contentgen::WriteWeaponModels);
