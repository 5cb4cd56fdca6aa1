#pragma once
// The bullet: the visible and colliding body of a gun shot. It flies in a
// straight line from its source towards its target, is drawn as a
// camera-facing streak of its length, tests its path against the scene, and
// on a hit spawns its bursts at the contact point and hands the hit to the game
// side. Its motion, size and colour are those of its kinetic particle. All
// bullets are drawn together by one shared renderer, a batch per texture.
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

// A hit of a bullet's path: the unit and the point of contact.
struct BulletContact {
    TBaseRenderUnit* unit = nullptr;
    Vec3 point{};
};
// Finds the first contact of the path from -> to; `ignore` is the shooter (its
// units are never hit). The default tests the bounding spheres of the scene's
// ship units; the collision engine may install a finer test.
using BulletCollisionTest = std::function<bool(FXBulletClass& bullet, const Vec3& from, const Vec3& to,
                                               TBaseRenderUnit* ignore, BulletContact& out)>;
void SetBulletCollisionTest(BulletCollisionTest test);
bool DefaultBulletCollision(FXBulletClass& bullet, const Vec3& from, const Vec3& to, TBaseRenderUnit* ignore,
                            BulletContact& out);

class FXBulletClass : public FXBaseClass, public IUpdatableInterface {
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

    // The streak's four corners in view space (near edge first), its colour and texture.
    void StreakCorners(const Matrix& view, Vec3 (&corners)[4]) const;
    IKWTexture* CurrentTexture() const;

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

// Draws every listed bullet of a frame as camera-facing streaks, one batch per texture.
class FXBulletRendererClass : public TBaseRenderUnit {
public:
    static constexpr uint32_t kQuads = 512;
    // The renderer under the engine root, made on first use.
    static FXBulletRendererClass* Get();
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    void AddClient(FXBulletClass* bullet);
    void DoRender() override;
    void EndRender() override { clients_.clear(); }
    int ClientCount() const { return static_cast<int>(clients_.size()); }
    int BatchesDrawn() const { return batches_; }

private:
    std::vector<FXBulletClass*> clients_;
    uint64_t frame_ = ~0ull;
    QuadsRendererClass* quads_ = nullptr;
    int batches_ = 0;
};

} // namespace vesk
