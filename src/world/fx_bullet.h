#pragma once
// The bullet: the visible and colliding body of a gun shot. It flies in a
// straight line from its source towards its target, is drawn as a
// camera-facing streak of its length, tests its path against the scene, and
// on a hit spawns its bursts at the contact point and hands the hit to the game
// side. Its motion, size and colour are those of its kinetic particle. All
// bullets are drawn together by one shared renderer, a batch per texture.
#include "physics/coll_detector.h"
#include "render/texture_groups.h"
#include "shared/updater.h"
#include "world/fx_base.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

class QuadsRendererClass;
class FXBulletClass;

// Living bullets (Init raises, Free lowers).
extern int32_t FXBulletCount;

// A hit of a bullet's path: the unit, the point of contact and the surface
// normal there, facing the path's start.
using BulletContact = PathContact;
// Finds the first contact of the path from -> to; `ignore` is the shooter (its
// units are never hit). The default tests the bounding spheres of the scene's
// ship units; the collision engine may install a finer test.
using BulletCollisionTest = std::function<bool(FXBulletClass& bullet, const Vec3& from, const Vec3& to,
                                               TBaseRenderUnit* ignore, BulletContact& out)>;
void SetBulletCollisionTest(BulletCollisionTest test);
bool DefaultBulletCollision(FXBulletClass& bullet, const Vec3& from, const Vec3& to, TBaseRenderUnit* ignore,
                            BulletContact& out);

// Something drawn as a camera-facing band between two points: shots and beams.
class IStreakClient {
public:
    // The band's four corners in view space (near edge first, in the order of
    // the unit quad's corners); false when there is nothing to draw.
    virtual bool StreakCorners(const Matrix& view, Vec3 (&corners)[4]) const = 0;
    virtual uint32_t StreakColour() const = 0;
    virtual IKWTexture* CurrentTexture() const = 0;

protected:
    ~IStreakClient() = default;
};

// After a hit the bullet answers where it met the unit (its collision information).
class FXBulletClass final : public FXBaseClass,
                            public IUpdatableInterface,
                            public IStreakClient,
                            public IBRUCollisionInfo {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    bool DiscardBRU() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    // A bullet configuration: the initiator (from where) and the target position (towards where).
    int SetFromDescStruct(IEngineObject* configuration) override;
    void FXTick(float dtMs) override;
    // The unit's own tick does nothing: bullets move in the updater's round.
    void Tick(float) override {}
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override { FillRenderListsByPass(); }
    void UpdateMatrices(const Matrix* parent) override;
    void GetPosition(Vec3& out) const override { out = kinetic_ ? kinetic_->position : Vec3{}; }
    void SetPosition(const Vec3& p) override;
    void Message(IEngineObject* sender, int msg, int param) override;

    // The three target operations spawn a template under the scene root at the initiator (1, 2)
    // or the target (3); 2 and 3 only while effects are not off.
    void SetTargetUnit1(TEngineObject* value) override;
    void SetTargetUnit2(TEngineObject* value) override;
    void SetTargetUnit3(TEngineObject* value) override;
    void SetTargetUnits(TEngineObject* a, TEngineObject* b, TEngineObject* c) override;

    // IUpdatableInterface
    void UpdateTick(float stepMs) override { FXTick(stepMs); }
    void UpdateEndTick() override {}

    // IBRUCollisionInfo: the contact point, the unit hit and the outward
    // normal of the sphere it met there.
    void GetPoint(Vec3& out) override { out = contact_.point; }
    TBaseRenderUnit* GetOtherUnit() override { return contact_.unit; }
    void GetNormal(Vec3& out) override;

    // The streak's four corners in view space (near edge first), its colour and texture.
    bool StreakCorners(const Matrix& view, Vec3 (&corners)[4]) const override;
    uint32_t StreakColour() const override { return kinetic_ ? kinetic_->colour : 0; }
    IKWTexture* CurrentTexture() const override;

    KineticParticleClass* Kinetic() const { return kinetic_; }
    float Speed() const { return speed_; }
    float Length() const { return length_; }
    float RandomLengthFrom() const { return rndFrom_; }
    float RandomLengthTo() const { return rndTo_; }
    const std::vector<BurstData>& Bursts() const;
    int FrameCount() const { return frames_ ? static_cast<int>(frames_->size()) : 0; }
    int CurrentFrame() const { return frame_; }
    bool HasHit() const { return hit_; }
    const BulletContact& LastContact() const { return contact_; }
    const std::string& MeshId() const { return meshId_; }

private:
    void SpawnAt(TEngineObject* templ, IDynamicTargetPosition* link);
    void OnHit(const BulletContact& contact);

    std::string textureName_;
    std::shared_ptr<std::vector<TextureRef>> frames_;
    int frame_ = 0;
    float speed_ = 0;
    float length_ = 1.0f;
    std::shared_ptr<std::vector<BurstData>> bursts_;
    IDynamicTargetPosition* initiator_ = nullptr;
    IDynamicTargetPosition* target_ = nullptr;
    BulletContact contact_;
    bool hit_ = false;
    int32_t meshTemplate_ = 0;
    std::string meshId_;
    float rndFrom_ = 1.0f, rndTo_ = 1.0f;
    KineticParticleClass* kinetic_ = nullptr;
    TBaseRenderUnit* shooter_ = nullptr;
    // The turn of the shot's matrix: it flies straight, so it is worked out once.
    Matrix basis_;
    Vec3 basisFor_{};
};

// Draws every camera-facing quad of one kind listed in a frame (shots, beams
// or hit marks), one batch per texture, with the kind's material.
class FXStreakRendererClass : public TBaseRenderUnit {
public:
    static constexpr uint32_t kQuads = 512;
    // The renderer of that material under the engine root, made on first use.
    static FXStreakRendererClass* Get(const std::string& material);
    static FXStreakRendererClass* Bullets() { return Cached(bullets_, "fx_bullet"); }
    static FXStreakRendererClass* Lasers() { return Cached(lasers_, "fx_laser"); }
    ~FXStreakRendererClass() override;
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    void AddClient(IStreakClient* client);
    void DoRender() override;
    void EndRender() override { clients_.clear(); }
    int ClientCount() const { return static_cast<int>(clients_.size()); }
    int BatchesDrawn() const { return batches_; }
    const std::string& Material() const { return material_; }
    // The texture its clients start with (empty unless a kind sets one).
    const TextureRef& DefaultTexture() const { return defaultTexture_; }
    void SetDefaultTexture(TextureRef t) { defaultTexture_ = std::move(t); }

private:
    std::vector<IStreakClient*> clients_;
    std::vector<std::pair<IKWTexture*, IStreakClient*>> byTexture_;
    TextureGrouping<std::pair<IKWTexture*, IStreakClient*>> grouping_;
    uint64_t frame_ = ~0ull;
    QuadsRendererClass* quads_ = nullptr;
    int batches_ = 0;
    std::string material_;
    TextureRef defaultTexture_;
    // Every shot and beam asks for its renderer each frame: the two common ones
    // are kept here, and a renderer clears its slot when it goes.
    static FXStreakRendererClass* Cached(FXStreakRendererClass*& slot, const char* material);
    static inline FXStreakRendererClass* bullets_ = nullptr;
    static inline FXStreakRendererClass* lasers_ = nullptr;
    FXStreakRendererClass** cacheSlot_ = nullptr;
    void LeaveCache();
};

// Where a path from -> to first meets a ship unit of the scene in this frame,
// skipping the unit `ignore` (PathTargets::FindContact); false when it meets none.
bool FindSegmentContact(const Vec3& from, const Vec3& to, TBaseRenderUnit* ignore, BulletContact& out);
// Spawns each burst of the list at a "coll" helper of its own, made on the hit
// unit at the contact point.
void SpawnContactBursts(const std::vector<BurstData>& bursts, const BulletContact& contact);
// The entries {id, size} of fx.<id>.bursts (none when the list is missing); a
// size that is not a number is a fatal report.
std::vector<BurstData> ReadBurstList(const std::string& id, const std::string& className);
// Finds each burst's template by id (again when it went with a reload).
void FindBurstTemplates(std::vector<BurstData>& bursts);

} // namespace vesk
