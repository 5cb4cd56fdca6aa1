#pragma once
// The effect base: every visual or sound effect is a render unit of one base
// class, a copy of a template read from the Lua "fx" table. The base holds what
// every effect shares (name = template id, texture, sounds it spawns, target
// values, event conditions and a position link), and beside it stand the
// shared effect records, the record pools, the kinetic particle of bullets and
// the camera-distance colour controller.
#include "core/var_list.h"
#include "physics/path_hits.h"
#include "render/engine.h"
#include "render/fx_descr.h"
#include "render/obj_manager.h"
#include "render/render_unit.h"
#include "render/texture.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

// Per-channel blend of two A8R8G8B8 colours at t (0 or less: a, 1 or more: b;
// a t that is not a number gives a). Every particle blends each tick.
inline uint32_t BlendColour(uint32_t a, uint32_t b, float t) {
    // In 1/256 steps: each channel is (a x (256 - w) + b x w) / 256, rounded
    // down. Two channels at a time, each in a 16-bit lane of its own (the sum
    // stays below 65536), so the four take two multiplications a side.
    const uint32_t w = t >= 1.0f ? 256u : (t > 0.0f ? static_cast<uint32_t>(t * 256.0f) : 0u);
    constexpr uint32_t kLanes = 0x00FF00FFu;
    const uint32_t even = ((a & kLanes) * (256u - w) + (b & kLanes) * w) >> 8;
    const uint32_t odd = ((a >> 8) & kLanes) * (256u - w) + ((b >> 8) & kLanes) * w;
    return (even & kLanes) | (odd & ~kLanes);
}
// The colour with its alpha byte set (clamped to 0..255).
uint32_t WithAlpha(uint32_t colour, float alpha);

// ---- records ---------------------------------------------------------------------------------

// A sound an effect spawns: its template id and the template found for it
// (kept as an id, so a template of an earlier load is found again).
struct FXSoundStruct {
    std::string id;
    int32_t templateId = 0;
};

// One entry of an effect's "bursts" list.
struct BurstData {
    std::string id;
    int32_t templateId = 0;
    float size = 0.0f;
};

// ---- record pools ----------------------------------------------------------------------------

// A pool of fixed-size records over an object pool: handing one out and taking
// it back costs no allocation; new records are cleared.
template <class Record> class StructManagerClass final : public AbstractObjManagerClass {
public:
    StructManagerClass(const std::string& name, int32_t capacity, int32_t growth) {
        Create(capacity, name, growth);
    }
    // A cleared record; it remembers its slot.
    Record* GetFreeObject() {
        ManagedObjectClass* slot = GetPool()->GetFreeObject();
        auto* r = static_cast<Record*>(slot->GetDataPtr());
        *r = Record{};
        r->slot = slot;
        return r;
    }
    void ReleaseObject(Record* r) {
        if (r && r->slot) std::exchange(r->slot, nullptr)->ReturnToPool();
    }
    int32_t UsedCount() const { return GetPool()->GetUsedCount(); }
    void InitObject(ManagedObjectClass& slot) override {
        const Record blank{};
        slot.SetStructData(&blank, sizeof blank);
    }
    void DeInitObject(ManagedObjectClass& slot) override {
        if (slot.HasData()) slot.DeleteStructData();
    }
};

// A particle record ("m4_PS").
struct ParticleRecord {
    Vec3 position{}, velocity{};
    float lifeTime = 0, remaining = 0, size = 0;
    uint32_t colour = 0;
    ManagedObjectClass* slot = nullptr;
};
// A point of a jet's trail ("m4_JPS").
struct JetPointRecord {
    Vec3 position{};
    float lifeTime = 0, remaining = 0;
    uint32_t colour = 0;
    ManagedObjectClass* slot = nullptr;
};
using ParticleRecordPool = StructManagerClass<ParticleRecord>;
using JetPointPool = StructManagerClass<JetPointRecord>;
// The two record pools, made on first use (2000 records, growing by 1000).
ParticleRecordPool& ParticleRecords();
JetPointPool& JetPoints();
void FreeFXRecordPools();

// ---- event conditions ------------------------------------------------------------------------

// Entries that, each time the list is processed, walk their items and run an
// action on each item whose condition holds.
class EventConditionManagerClass {
public:
    struct Entry {
        std::function<void()> first;
        std::function<bool(TEngineObject*&)> next;
        std::function<bool(TEngineObject*, int32_t)> condition;
        std::function<void(TEngineObject*, int32_t)> action;
        int32_t parameter = 0;
    };
    // The entry's handle, for Remove.
    int Add(Entry entry);
    void Remove(int handle);
    void Process();
    int Count() const { return static_cast<int>(entries_.size()); }

private:
    std::vector<std::pair<int, Entry>> entries_;
    int nextHandle_ = 1;
};

// ---- the kinetic particle of bullets ------------------------------------------------------------

class KineticParticleClass : public TEngineObject {
public:
    // One step of dt seconds: life, size law, colour law (motion is the caller's).
    void Tick(float dt);
    // Every value back to its start (half-transparent white, sizes 1).
    void Reset();
    KineticParticleClass* Copy() const;
    std::string ClassName() const override { return "KineticParticleClass"; }

    float deltaTime = 0, lifeFraction = 1;
    Vec3 position{}, velocity{}, direction{1, 0, 0};
    float speed = 0;
    float sizeFactor = 1, size = 1, startSize = 1, endSize = 1;
    float lifeTime = 0, remaining = 0;
    uint32_t startColour = 0x80FFFFFF, colour = 0x80FFFFFF, endColour = 0;
};

// ---- colour controllers ------------------------------------------------------------------------

class FXParticleClass;

// Sets a particle's colour each tick in place of its life law.
class IColorController {
public:
    virtual ~IColorController() = default;
    virtual void Update(FXParticleClass& particle) = 0;
    // The same controller for another particle.
    virtual std::unique_ptr<IColorController> CopyFor(FXParticleClass& particle) const = 0;
};

// Fades an effect out as the camera comes within factor x its size.
class FXCameraDistColorController final : public IColorController {
public:
    explicit FXCameraDistColorController(float factor) : factor_(factor) {}
    void Update(FXParticleClass& particle) override;
    std::unique_ptr<IColorController> CopyFor(FXParticleClass&) const override {
        return std::make_unique<FXCameraDistColorController>(factor_);
    }
    float Factor() const { return factor_; }
    // clamp((d - s x factor) / s, 0, 1), 1 when the distance is (nearly) 0 or the size 0.
    static float Opacity(float distance, float size, float factor);

private:
    float factor_;
};

// ---- the effect base -----------------------------------------------------------------------------

// Effect units alive (raised by Init, lowered by Free and by a return to a pool).
extern int32_t FXEffectCount;
// Live units of each effect class by class name (templates are not counted).
std::map<std::string, int32_t>& FXClassLiveCounts();

// Flags of the first word used by effects.
inline constexpr uint64_t BRU_EFFECT = 0x80000000ull;

class FXBaseClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    bool DiscardBRU() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void Message(IEngineObject* sender, int msg, int param) override;

    // ---- operations added by the effects ------------------------------------------------------
    // Spawns the effect's sounds under target (only while the sound engine plays).
    virtual void SpawnSounds(TBaseRenderUnit* target, const FXDescrStruct* desc);
    // Reads the template's keys from fx["<id>"]: each class reads its own and then calls the base.
    virtual void CreateFromLua(const std::string& id);
    // The effect's own per-frame step (bullets and smoke); empty here.
    virtual void FXTick(float /*dtMs*/) {}
    virtual void SetTargetUnit1(TEngineObject* value) { targets_[1] = value; }
    virtual void SetTargetUnit2(TEngineObject* value) { targets_[2] = value; }
    virtual void SetTargetUnit3(TEngineObject* value) { targets_[0] = value; }
    virtual void SetTargetUnits(TEngineObject* a, TEngineObject* b, TEngineObject* c);

    // The texture manager's texture of that file (none without a texture manager).
    void SetTextureByName(const std::string& name);
    IKWTexture* GetFXTexture() const { return texture_.Get(); }
    // The position link follows the unit's named helper (or the unit itself).
    void SetPositionLinkByHelper(TBaseRenderUnit* unit, const std::string& helper);
    // Takes a link (the effect subscribes to it; a link the effect carries goes with it).
    void SetPositionLink(IDynamicTargetPosition* link);
    IDynamicTargetPosition* GetPositionLink() const { return position_; }
    EventConditionManagerClass& GetEventConditions();
    bool HasEventConditions() const { return events_ != nullptr; }
    const std::vector<FXSoundStruct>* Sounds() const { return sounds_.get(); }
    TEngineObject* TargetValue(int i) const { return targets_[static_cast<size_t>(i)]; }
    void SetOwnedHelper(TEngineObject* o) { ownedHelper_ = o; }

    // Raised by Init, lowered by Free: the class's count of live units.
    static int32_t& LiveCountOf(const std::string& className) { return FXClassLiveCounts()[className]; }

protected:
    // Adds the sound template id (the list is made on first use).
    void AddSound(const std::string& id);
    // fx["<id>"].<key> as text ("" when any level is missing).
    static std::string FxKey(const std::string& id, const std::string& key);
    // fx.<id>.<path> as text ("" when any level is missing).
    static std::string FxPath(const std::string& id, const std::string& path);

    TEngineObject* ownedHelper_ = nullptr;
    IDynamicTargetPosition* position_ = nullptr;
    uint32_t templateValue1_ = 0, templateValue2_ = 0;
    std::shared_ptr<std::vector<FXSoundStruct>> sounds_;
    std::array<TEngineObject*, 3> targets_{};
    std::unique_ptr<EventConditionManagerClass> events_;
    TextureRef texture_;

private:
    void ClearBaseFields();
    // Drops what the effect holds, at its end or its return to a pool.
    void LetGo();
};

// The count of Lua list entries as read through the content's `length`, with
// the report context for a value that is not a number.
int32_t FXListLength(const std::string& expression, const std::string& context);
// The frames of a numbered texture sequence: the name with "0000" replaced by
// 0000, 0001 ... while the file exists under the data folder's "TEXTURES/".
// A name without a three-letter extension is a fatal report (nullptr).
std::shared_ptr<std::vector<TextureRef>> LoadTextureFrames(const std::string& name);
// Whether effects run this frame: not while the game is paused or its updates
// are frozen (every effect asks each tick).
inline bool FXUpdatesStopped() {
    return IsRenderPaused() || GameUpdatesFrozen();
}

// ---- what the effects of an engine look up once a frame ------------------------------------------

class IRendererOps;
class IViewCamera;

// What each shot and each sprite of an engine would otherwise look up for
// itself every frame: the ship units a shot may hit, the view of the camera
// the sprites face and the renderer they go to. The engine keeps it (made on
// first use), so nothing of it outlives the engine.
class FXFrameCache final : public IEngineAttachment {
public:
    static FXFrameCache& Of(TEngineClass& engine) {
        IEngineAttachment* cache = engine.EffectsAttachment();
        return cache ? *static_cast<FXFrameCache*>(cache) : MakeFor(engine);
    }
    explicit FXFrameCache(TEngineClass& engine) : engine_(engine) {}

    // The ship units of the scene that a shot or a beam may meet, gathered on
    // the frame's first ask (after the physics moved them).
    PathTargets& ShipTargets();

    // The view of a camera in one frame, worked out once for all the sprites
    // listed in that frame.
    struct CameraView {
        const IViewCamera* camera = nullptr;
        Matrix billboard; // the camera's axes as rows: right, up, look
        // The four side planes of the camera's frustum (FrustumClass), by component.
        alignas(16) float planeX[4] = {}, planeY[4] = {}, planeZ[4] = {}, planeD[4] = {};
        void Build(const IViewCamera& cam);
        // The frustum's test, each plane's as PlaneClass::IsInFront works it
        // out, the four in the lanes of one vector: every sprite listed asks it.
        bool Sees(const Vec3& p) const {
            using Lanes = float __attribute__((vector_size(16)));
            using Flags = int32_t __attribute__((vector_size(16)));
            Lanes x, y, z, d;
            std::memcpy(&x, planeX, sizeof x);
            std::memcpy(&y, planeY, sizeof y);
            std::memcpy(&z, planeZ, sizeof z);
            std::memcpy(&d, planeD, sizeof d);
            const Flags in = x * p.x + y * p.y + z * p.z + d >= Lanes{};
            return (in[0] & in[1] & in[2] & in[3]) != 0;
        }
    };
    // The view of the camera of the unit's viewport in this frame; nullptr without a camera.
    const CameraView* ViewFor(const TBaseRenderUnit& unit) {
        if (viewFrame_ == RenderFrameCounter.GetFrame() && viewport_ == unit.GetViewportID()) return viewOf_;
        return FindView(unit);
    }
    // The renderer of the engine's sprites in this frame (nullptr while it cannot be made).
    IRendererOps* SpriteRenderer() {
        // Asked again while it cannot be made, as each sprite did.
        if (rendererFrame_ == RenderFrameCounter.GetFrame() && renderer_) return renderer_;
        return FindSpriteRenderer();
    }

private:
    static FXFrameCache& MakeFor(TEngineClass& engine);
    const CameraView* FindView(const TBaseRenderUnit& unit);
    IRendererOps* FindSpriteRenderer();

    TEngineClass& engine_;
    uint64_t shipsFrame_ = ~0ull;
    PathTargets ships_;
    // The view of the last viewport asked for in this frame.
    uint64_t viewFrame_ = ~0ull;
    int32_t viewport_ = 0;
    const CameraView* viewOf_ = nullptr;
    // The view of the last camera seen, and its frame.
    uint64_t cameraViewFrame_ = ~0ull;
    CameraView view_;
    uint64_t rendererFrame_ = ~0ull;
    IRendererOps* renderer_ = nullptr;
};

} // namespace vesk
