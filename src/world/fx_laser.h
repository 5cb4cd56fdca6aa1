#pragma once
// The laser beam: a textured band facing the camera between a source (a ship,
// turret or cannon at one of its helpers) and a target, fading out over its
// lifetime. At spawn it looks along its line for a hit and spawns its bursts
// at the contact point. All beams draw through one shared streak renderer.
#include "render/engine.h"
#include "render/script_links.h"
#include "world/fx_base.h"
#include "world/fx_bullet.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

// Finds the first contact of the beam from -> to; `ignore` is the shooting
// ship. The default tests the bounding spheres of the scene's ship units; the
// collision engine may install a finer test.
using LaserCollisionTest =
    std::function<bool(const Vec3& from, const Vec3& to, TBaseRenderUnit* ignore, BulletContact& out)>;
void SetLaserCollisionTest(LaserCollisionTest test);

// The turret check a beam's end must pass (the turret's own answer); every
// turret passes until the ship parts install theirs.
using TurretCheck = std::function<bool(TBaseRenderUnit* turret)>;
void SetLaserTurretCheck(TurretCheck check);

// The texture every beam starts with.
inline constexpr const char* kLaserTexture = "Fx/laser.bmp";

class FXLaserClass : public FXBaseClass, public IStreakClient, public ILaserEffect, public ILaserUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    void OnSpawn(const FXDescrStruct& desc) override;
    void Tick(float dtMs) override;
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override { FillRenderListsByPass(); }
    void Message(IEngineObject* sender, int msg, int param) override;

    // IStreakClient: the band in view space with the current colour.
    bool StreakCorners(const Matrix& view, Vec3 (&corners)[4]) const override;
    uint32_t StreakColour() const override { return current_; }
    IKWTexture* CurrentTexture() const override { return texture_.Get(); }

    // ILaserEffect
    Vec3 GetStartPoint() override;
    Vec3 GetEndPoint() override;
    IDynamicTargetPosition* GetStartLink() override { return source_; }
    IDynamicTargetPosition* GetEndLink() override { return target_; }
    // ILaserUnit: the unit the beam comes from.
    TBaseRenderUnit* GetFromBRU() const override { return from_; }
    // The unit the beam's end follows (nullptr without one).
    TBaseRenderUnit* GetTargetUnit() const;

    float GetLifeTimeSeconds() const { return lifeTime_; }
    float GetRemaining() const { return remaining_; }
    uint32_t GetColor() const { return colour_; }
    uint32_t GetCurrentColor() const { return current_; }
    float GetThickness() const { return thickness_; }
    const std::vector<BurstData>& Bursts() const;
    // The distance over the lifetime x 3 and the constant 100 kept at spawn.
    float SpawnValue1() const { return spawnValue1_; }
    float SpawnValue2() const { return spawnValue2_; }
    bool HasHit() const { return hit_; }
    const BulletContact& LastContact() const { return contact_; }

private:
    // The start and end points from the links.
    void RefreshPoints();
    // The hit test along the beam, with its bursts at the contact.
    void TestHit();

    float lifeTime_ = 100.0f, remaining_ = 100.0f;
    uint32_t colour_ = 0x80FFFFFF, current_ = 0x80FFFFFF;
    float length_ = 1000.0f;
    float thickness_ = 10.0f;
    std::shared_ptr<std::vector<BurstData>> bursts_;
    float spawnValue1_ = 0, spawnValue2_ = 0;
    IDynamicTargetPosition* target_ = nullptr;
    IDynamicTargetPosition* source_ = nullptr;
    Vec3 start_{}, end_{};
    TBaseRenderUnit* from_ = nullptr;
    BulletContact contact_;
    bool hit_ = false;
};

} // namespace vesk
