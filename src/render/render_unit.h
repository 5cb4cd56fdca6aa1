#pragma once
// The render unit: the scene-graph node of the render engine. Every drawable
// or placeable thing of the 3D scene is a subclass. A unit owns a name, a
// parent link, an ordered child list, five matrices, two 64-bit flag words,
// its render objects, a bounding-sphere cache and the components it makes on
// first use. Each frame the tree is ticked, its matrices updated, and it adds
// itself to the engine's render list, which calls back Draw and EndRender.
#include "platform/math_types.h"
#include "render/component.h"
#include "render/fog.h"
#include "shared/class_manager.h"
#include "shared/engine_object.h"
#include "shared/fast_cast.h"
#include "shared/helpers.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace vesk {

class ManagedObjectClass;
class HelperClass;
class FXTemplateList;
struct FXDescrStruct;
class UniHelperClass;
class HelpersContainerClass;
class UHelpersContainerClass;
class IViewCamera;
class IModelTree;
class MultiroleBRUClass;
class TMorphedAnimatedObjClass;
class TLightManager;
class TRenderObject;
// The bounding-sphere interface of a unit's sphere container (the physics' spheres).
class IBoundingSphere2;
struct TViewportEntry;

// ---- flags of the first word ------------------------------------------------------------
inline constexpr uint64_t BRU_DISCARDED = 1;
inline constexpr uint64_t BRU_SHIP = 4;
inline constexpr uint64_t BRU_LAMP = 16;
inline constexpr uint64_t BRU_ROOT = 64;
inline constexpr uint64_t BRU_KEEPLOCALLIGHTS = 1024;
inline constexpr uint64_t BRU_BILLBOARD = 4096;
inline constexpr uint64_t BRU_DONTCREATECOPY = 8192;
inline constexpr uint64_t BRU_OPAQUE = 0x80000;   // drawn in pass 2
inline constexpr uint64_t BRU_KILLED = 0x200000;  // marked for discard
inline constexpr uint64_t BRU_BLENDED = 0x800000; // drawn in pass 1
inline constexpr uint64_t BRU_LASER = 0x40000000;
inline constexpr uint64_t BRU_VISIBLE = 0x20000ull << 32;
// ---- flags of the second word -----------------------------------------------------------
inline constexpr uint64_t BRU2_ENV_AMBIENT = 16;
inline constexpr uint64_t BRU2_PARENT_LIGHTS = 512;
inline constexpr uint64_t BRU2_SHARED_ROS = 0x10000;
inline constexpr uint64_t BRU2_SHARED_SUBOBJECT = 0x100000;
inline constexpr uint64_t BRU2_RETRANSFORM_BSPHERES = 0x1000000;
inline constexpr uint64_t BRU2_CHILDREN_IDENTITY = 0x2000000;

// Passes of the render list: 2 takes the opaque units, 1 the blended ones.
inline constexpr int kPassBlended = 1;
inline constexpr int kPassOpaque = 2;

// Light tags of units' own lights; ClearLocalLights removes every tag with bit 2.
inline constexpr uint16_t kLocalLightTag = 6;
// The environment's directional light as animated units add it (also cleared with bit 2).
inline constexpr uint16_t kEnvironmentLightTag = 18;
// AddLights masks.
inline constexpr uint16_t kLightsSuns = 2;
inline constexpr uint16_t kLightsLamps = 4;

// A render object as the unit tree sees it; the render object itself does the drawing.
class IUnitRenderObject {
public:
    virtual ~IUnitRenderObject() = default;
    virtual void GetBox(Vec3& min, Vec3& max) const = 0;
    virtual float GetSortValue() const { return 0.0f; }
    // The technique number of its first material (-1 without one).
    virtual int FirstMaterialTechnique() const { return -1; }
    // Depth writes off while it draws and back on after (blended materials).
    virtual void SetZWriteOffWhileDrawing(bool) {}
    virtual void SetHighFlag(uint32_t) {}
};
using RenderObjectList = std::vector<std::shared_ptr<IUnitRenderObject>>;

// A bounding-sphere record: names, the sphere in the unit's space and in the world.
struct BSphereRecord {
    std::string name, name2;
    Vec3 centre;
    float radius = 0;
    Vec3 worldCentre;
    float worldRadius = 0;
    int value = 0;
};

// The AI steering unit a render unit may carry; it owns the physics unit.
class IRenderUnitAI {
public:
    virtual ~IRenderUnitAI() = default;
    virtual void OnUnitKill() {}
    virtual void DeInit() {}
    virtual void ClearOwner() = 0;
    virtual void FreeAI() = 0;
    // The sphere scale used for records of radius 0.
    virtual float SphereScale() const { return 1.0f; }
    virtual Matrix BodyMatrix() const = 0;
    virtual TBaseRenderUnit* RenderUnit() = 0;
    // The body's velocity (units per second) and heading, for what follows the unit.
    virtual Vec3 BodyVelocity() const { return {}; }
    virtual Vec3 BodyDirection() const { return {1.0f, 0.0f, 0.0f}; }
    // The afterburner of the ship the unit steers.
    virtual void ForsageOn(float value) = 0;
    virtual void ForsageOff() = 0;
};

// A lamp child (flag 16) lighting its parent: AddLights with mask 4 takes these.
class ILampLight {
public:
    virtual float LampRange() const = 0;
    virtual ColorValue LampColour() const = 0;
    virtual float LampIntensity() const = 0;

protected:
    ~ILampLight() = default;
};

// The render-pause query a unit may answer (the root engine does).
class IRenderPause {
public:
    virtual bool IsRenderPaused() = 0;

protected:
    ~IRenderPause() = default;
};

// The order in which the last walk of a render-unit tree listed its units.
// Every walk of a frame, and the first of the next, visits nearly the same
// units in the same order, so each asks the cache for the units it will come
// to a little ahead of itself: a large tree is walked at the pace memory can
// deliver it rather than one wait per unit. The addresses are only hints:
// they are never read through, so a unit gone since costs nothing.
class ListWalkHints {
public:
    void Start() {
        cursor_ = 0;
        walking_ = true;
    }
    // Walks of other trees (an interface viewport's scene) leave no hints.
    void Visit(const void* hotLine, const void* childList) {
        if (!walking_) return;
        const size_t i = cursor_++;
        const size_t n = order_.size();
        if (i + kAhead < n) __builtin_prefetch(order_[i + kAhead].hotLine);
        if (i + kAhead / 2 < n && order_[i + kAhead / 2].childList)
            __builtin_prefetch(order_[i + kAhead / 2].childList);
        if (i < n)
            order_[i] = {hotLine, childList};
        else
            order_.push_back({hotLine, childList});
    }
    // Forgets what lies past this walk's end.
    void Finish() {
        walking_ = false;
        if (cursor_ < order_.size()) order_.resize(cursor_);
    }
    size_t Size() const { return order_.size(); }

private:
    static constexpr size_t kAhead = 64;
    struct Hint {
        const void* hotLine;
        const void* childList;
    };
    std::vector<Hint> order_;
    size_t cursor_ = 0;
    bool walking_ = false;
};

class TBaseRenderUnit : public TEngineObject {
public:
    static constexpr size_t kHotLine = 64;

    // The unit constructor: a new unit of class T under parent (not added to it).
    template <class T = TBaseRenderUnit> static T* Create(TBaseRenderUnit* parent) {
        T* u = New<T>();
        static_cast<TBaseRenderUnit*>(u)->plainListing_ = ListsLikeEveryUnit<T>();
        static_cast<TBaseRenderUnit*>(u)->plainTicking_ = TicksLikeEveryUnit<T>();
        u->Init(parent);
        return u;
    }
    // Whether units of class T add themselves to the render list as the base
    // unit does (neither FillRenderList nor SkipInPass replaced): the walk then
    // lists them without a virtual call, reading only their hot line.
    template <class T> static constexpr bool ListsLikeEveryUnit() {
        return std::is_same_v<decltype(&T::FillRenderList), void (TBaseRenderUnit::*)(int, int)> &&
               std::is_same_v<decltype(&T::SkipInPass), bool (TBaseRenderUnit::*)(int) const>;
    }

    // Whether units of class T tick their tree as the base unit does (TickTree
    // not replaced): the walk then ticks them and their children without the
    // virtual call.
    template <class T> static constexpr bool TicksLikeEveryUnit() {
        return std::is_same_v<decltype(&T::TickTree), void (TBaseRenderUnit::*)(float)>;
    }

    // ---- numbered virtual operations ------------------------------------------------
    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;
    virtual bool SkipInPass(int pass) const;
    virtual void DoRender() {}
    virtual void UpdateMatrices(const Matrix* parent);
    virtual void Init(TBaseRenderUnit* parent);
    virtual void Draw();
    virtual void SetVisible(bool on);
    virtual void AddChild(TBaseRenderUnit* child);
    virtual void OnAddedToParent(TBaseRenderUnit*) {}
    virtual void OnAttach(TBaseRenderUnit*) {}
    virtual void OnDetach() {}
    virtual bool IsInView();
    virtual Vec3 GetScreenPos() const { return screenPos_; }
    virtual void UpdateScreenPos();
    virtual float GetScreenSize() const { return screenSize_; }
    virtual void CalcBSphere(Vec3* localCentre, Vec3* worldCentre, float* radius);
    virtual void SetPosition(const Vec3& p);
    virtual void GetPosition(Vec3& out) const;
    // Builds the unit from a model description (a ship builds itself here);
    // options bit 1 switches the spawning of its effects off.
    virtual int Build(const std::string& /*meshName*/, const std::string& /*unitName*/, int32_t /*options*/) {
        return 0;
    }
    virtual bool DiscardBRU();
    virtual void Kill();
    // Told once, by SpawnEffect, what the new effect copy is to follow.
    virtual void OnSpawn(const FXDescrStruct&) {}
    // Told once, by SpawnEffect2, the configuration (an IFXConfigBase) it is spawned from.
    virtual int SetFromDescStruct(IEngineObject*) { return 0; }
    virtual void BeginRender();
    virtual void EndRender();
    virtual void AddBSpheresFrom(TBaseRenderUnit* source);
    virtual void GetOwnBSphere(BSphereRecord*& out);
    virtual void TransformBSphere(BSphereRecord& record, const Matrix& m);
    virtual bool HitTest(const Vec3& rayStart, const Vec3& rayEnd);
    virtual void AddLights(uint16_t mask);
    virtual void Tick(float dtMs);
    virtual void TickTree(float dtMs);
    virtual void TickTreeByTimer();
    virtual Matrix CalcBillboardMatrix();
    virtual bool GetAnglesInFrame(const Matrix& m, float& forward, float& side, float& elevationSin,
                                  float& distance, float* azimuth, float* elevation);
    virtual bool GetBPU(IRenderUnitAI*& out) const {
        out = ai_;
        return ai_ != nullptr;
    }
    virtual void FillRenderList(int stage, int pass);
    // A deep copy under parent: children without flag 8192 are copied too, the RO
    // list and the owned sub-object are shared. Named "_copy_of_" + name + "_" + id.
    virtual TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent);
    // A copy of the template under parent, told its description when there is one,
    // added to parent and registered with the tick manager.
    static TBaseRenderUnit* SpawnEffect(TBaseRenderUnit* templ, TBaseRenderUnit* parent,
                                        const FXDescrStruct* desc);
    // A copy of this template as the configuration (an IFXConfigBase) describes it;
    // the configuration is released afterwards.
    TBaseRenderUnit* SpawnEffect2(IEngineObject* configuration);
    // The first template of that exact name in the list (the registered effect
    // templates when nil); an unknown name is a fatal report.
    static TBaseRenderUnit* FindFXTemplate(const std::string& name, const FXTemplateList* list = nullptr);

    // ---- names ----------------------------------------------------------------------
    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    const std::string& GetStrID() const { return strID_; }
    void SetStrID(const std::string& id) { strID_ = id; }
    // "[<class>, name: "<name>", strID: "<strID>"]", used in every log message.
    std::string GetInfoStr() const;

    // ---- tree -----------------------------------------------------------------------
    void Attach(TBaseRenderUnit* child);
    void Detach();
    void RemoveChild(TBaseRenderUnit* child);
    bool ReleaseChild(TBaseRenderUnit* child);
    void MoveToParent(TBaseRenderUnit* newParent);
    void SetHomeParent() { homeParent_ = parent_; }
    // The parent RestoreParents brings the unit back to.
    void SetHomeParentUnit(TBaseRenderUnit* home) { homeParent_ = home; }
    void RestoreParents();
    bool GetParent(TBaseRenderUnit*& out) const {
        out = parent_;
        return parent_ != nullptr;
    }
    TBaseRenderUnit* Parent() const { return parent_; }
    TBaseRenderUnit* GetRoot();
    bool GetChildBRU(int index, TBaseRenderUnit*& out) const;
    int ChildCount() const { return childs_ ? childs_->Count() : 0; }
    // The child list with its holes (nullptr until the first child).
    const TListAsm<TBaseRenderUnit>* ChildsBRU() const { return childs_; }
    TBaseRenderUnit* FindBRUByName(const std::string& name);
    TBaseRenderUnit* FindBRUByStrID(const std::string& id);
    bool IsInTree(const TBaseRenderUnit* unit) const;
    TBaseRenderUnit* FindUpWithFlags(uint64_t mask);
    template <class T> bool FindChildByClass(T*& out) const {
        out = nullptr;
        if (childs_)
            for (TBaseRenderUnit* c : *childs_)
                if (IsClassType<T>(c)) {
                    out = static_cast<T*>(c);
                    return true;
                }
        return false;
    }
    std::vector<TBaseRenderUnit*> GetUnitsWithFlags(uint64_t mask);
    // The unit, then each child recursively; stops (false) when the callback says false.
    bool ForEachInTree(const std::function<bool(TBaseRenderUnit*, void*)>& callback, void* data);
    void SortChildsBRU();
    void SetVisibleTree(bool on);
    void SetRenderStageTree(uint16_t stage);
    void SetSkipCountTree(int32_t count);
    bool ConsumeSkipCount();
    int32_t GetAttachCount() const { return attachCount_; }

    // Asks the cache for what running a render-list entry reads of the unit.
    static void PrefetchForDraw(const TBaseRenderUnit* u) {
        if (!u) return;
        __builtin_prefetch(u);
        __builtin_prefetch(&u->flags_);
        __builtin_prefetch(&u->worldMatrix_);
        __builtin_prefetch(&u->drawnMatrix_, 1);
    }

    // The killed units are discarded and released, then every list drops its holes.
    void CleanAndRemoveZeroElementsFromChildsBRUList();
    void PackChildLists();
    // Writes the unit and its subtree to the fast log, one line per unit.
    void DumpTree(int depth = 0);

    // ---- flags ----------------------------------------------------------------------
    bool HasFlag(uint64_t mask) const { return (flags_ & mask) != 0; }
    bool HasFlag(uint32_t low, uint32_t high) const { return HasFlag(low | (uint64_t{high} << 32)); }
    void SetFlag(uint64_t mask) { flags_ |= mask; }
    void ClearFlag(uint64_t mask) { flags_ &= ~mask; }
    bool HasFlag2(uint64_t mask) const { return (flags2_ & mask) != 0; }
    void SetFlag2(uint64_t mask) { flags2_ |= mask; }
    void ClearFlag2(uint64_t mask) { flags2_ &= ~mask; }
    uint64_t Flags() const { return flags_; }
    uint64_t Flags2() const { return flags2_; }
    void AddModeBits(uint16_t bits) { lightMask_ = static_cast<uint16_t>(lightMask_ | bits); }
    uint16_t GetLightMask() const { return lightMask_; }
    void SetLightMask(uint16_t mask) { lightMask_ = mask; }
    template <class T> bool IsClass() const { return IsClassType<T>(this); }

    // ---- transforms -----------------------------------------------------------------
    void SetBaseMatrix(const Matrix& m) { baseMatrix_ = localMatrix_ = m; }
    const Matrix& GetBaseMatrix() const { return baseMatrix_; }
    const Matrix& GetLocalMatrix() const { return localMatrix_; }
    void SetLocalMatrix(const Matrix& m) { localMatrix_ = m; }
    const Matrix& GetWorldMatrix() const { return worldMatrix_; }
    const Matrix& GetLastDrawnMatrix() const { return drawnMatrix_; }
    const Matrix& GetBillboardMatrixField() const { return billboardMatrix_; }
    void SetWorldPosition(const Vec3& p);
    Vec3 GetCenter();
    float GetBSphereRadius();
    // The next CalcBSphere computes anew, even within the frame it last did.
    void InvalidateBSphere() { bsFrame_ = kNoFrame; }
    float GetDistanceToCamera() const;
    static float GetProjectedSize(const Vec3& a, const Vec3& b, float size, float depth);
    Matrix GetViewMatrix() const;
    Matrix GetBillboardMatrix() const;
    TViewportEntry* GetViewport() const;
    IViewCamera* GetCamera() const;
    void SetViewportID(int32_t id) { viewportId_ = id; }
    int32_t GetViewportID() const { return viewportId_; }
    void SetRenderStage(uint16_t stage) { renderStage_ = stage; }
    uint16_t GetRenderStage() const { return renderStage_; }
    void SetSortValue(float v) { sortValue_ = v; }
    float GetSortValue() const { return sortValue_; }
    void SetBox(const Vec3& min, const Vec3& max) {
        boxMin_ = min;
        boxMax_ = max;
    }
    void GetBox(Vec3& min, Vec3& max) const {
        min = boxMin_;
        max = boxMax_;
    }

    // ---- render objects -------------------------------------------------------------
    void AddRO(std::shared_ptr<IUnitRenderObject> ro);
    // A render object of the unit's own (freed with the unit's list) that
    // applies and restores the render states of the two flag words; added with AddRO.
    TRenderObject* CreateRO(uint64_t applyFlags, uint64_t restoreFlags);
    // Lets go of the render objects (a shared list lives on with the others).
    void ClearROs() { ros_.reset(); }
    const RenderObjectList* GetROList() const { return ros_.get(); }
    // Shares the RO list with another unit (the copy's list, flags2 0x10000).
    void ShareROList(const TBaseRenderUnit& from);
    void SortROs();
    void FlagAllROs();
    void SetPassFlagsFromMaterials(IUnitRenderObject& ro);

    // ---- components -----------------------------------------------------------------
    RenderStateManagerClass* GetRenderStates();
    RenderOpsClass* GetRenderOps();
    RotatorClass* GetRotator();
    GameOpsClass* GetGameOps();
    FogClass* GetFog();
    LightClass* GetLights();
    PhysicOpsClass* GetPhysicOps();
    RotatorClass* RotatorLink() const { return rotator_; }
    LightClass* LightsLink() const { return lights_; }
    void AttachKiller(TBaseRenderUnit* other);
    void SetBPU(IRenderUnitAI* ai) { ai_ = ai; }
    TBaseRenderUnit* UpdateMatrixFromBPU();
    IEngineObject* GetCollisionEvent() const { return collisionEvent_; }
    void SetCollisionEvent(IEngineObject* e) { collisionEvent_ = e; }
    // The object the unit owns (freed by DiscardBRU unless shared, flags2 0x100000).
    void SetOwnedSubObject(TEngineObject* o) { ownedSub_ = o; }

    // ---- bounding spheres -----------------------------------------------------------
    void AddBSphere(const Vec3& centre, float radius, int value);
    // The bounding spheres of a model file.
    void AddBSpheresFromCM(IModelTree& tree);
    std::vector<BSphereRecord>* GetBSphereList();
    // The unit's bounding-sphere container: a new one replaces the old, which
    // is killed; the new one is added as a child (nullptr only drops the old).
    void SetBSpheres(TBaseRenderUnit* container);
    // The container, made through the class registry ("BSpheresContainerClass")
    // when the unit has none; nullptr when that class is not registered.
    TBaseRenderUnit* CreateBSpheres();
    // The container as its bounding-sphere interface (nullptr without one, or
    // once it is killed). Instantiated where the interface is known.
    template <class I = IBoundingSphere2> I* GetBoundingSphere() const {
        TBaseRenderUnit* c = BSpheresContainer();
        return c ? dynamic_cast<I*>(c) : nullptr;
    }
    TBaseRenderUnit* BSpheresContainer() const {
        return bsContainer_ && !bsContainer_->HasFlag(BRU_KILLED | BRU_DISCARDED) ? bsContainer_ : nullptr;
    }
    // Discards the lights this unit's kind added to its viewport's light manager.
    void ClearLocalLights();

    // ---- helpers: containers made on first use (render/helpers.h) ---------------------
    HelperClass* AddHelper(const std::string& name, const Vec3& position);
    bool FindHelper(const std::string& name, HelperClass*& out) const;
    void GetWHelper(const std::string& name, Vec3& out) const;
    void RemoveHelper(const std::string& name);
    UniHelperClass* AddUHelper(const std::string& name, const Vec3& position, float radius);
    bool FindUHelper(const std::string& name, UniHelperClass*& out) const;
    bool GetUHelperByIndex(int index, UniHelperClass*& out) const;
    void GetWUHelper(const std::string& name, Vec3& out) const;
    void RemoveUHelper(const std::string& name);
    void AddHelpersFromCM(IModelTree& tree);
    void AddUHelpersFromCM(IModelTree& tree);
    // A lamp of the colour at each helper of the container ("hl0", "hl1", ...).
    void ShowHelpersAsLamps(uint32_t colour);
    HelpersContainerClass* HelpersContainer() const { return helpers_; }
    UHelpersContainerClass* UHelpersContainer() const { return uhelpers_; }
    void ConvertWToSC();

    // ---- content loaders (render/content_loaders.cpp) ------------------------------
    // A lamp child; killed at once when the game runs with poor effects.
    TBaseRenderUnit* AddLamp(const std::string& name, const Vec3& position, float size);
    // A static lamp per light record of the model; their key animations come
    // from the animation tree when one is given.
    void AddLampsFromCM(IModelTree& tree, IModelTree* animation = nullptr);
    // The lamps of the mesh description's flares, placed at the tree's lights.
    void LoadLamps(IModelTree* tree, const std::string& meshObjectName);
    // A multirole child drawing the named object's render object.
    MultiroleBRUClass* AddSubObject(IModelTree& tree, const std::string& name, uint64_t passFlags);
    // The sub-objects listed in mesh["<meshName>"].kwsubobjects.
    void GetSubObjects(IModelTree& tree, const std::string& meshName);
    // A key animation of the named record's track on this unit; false without a track.
    bool AttachKeyAnimation(IModelTree& tree, const std::string& name);
    // A character's head (and its second head "base2" when the model has one) under this unit.
    TMorphedAnimatedObjClass* AddHead(const std::string& meshId, const std::string& animMeshId,
                                      bool withParts, uint64_t loadFlags);
    // The item scene shown in an interface viewport: mesh "items_scene", spinning.
    TMorphedAnimatedObjClass* AddItemScene(int32_t viewportId);
    // A ship model turning in an interface viewport (called on the viewport's root).
    TBaseRenderUnit* AddViewportScene(const std::string& shipName, int32_t viewportId);
    KeyAnimationClass* KeyAnimationLink() const { return keyAnim_; }

    // ---- lifetime, ticks, pools -----------------------------------------------------
    void SetLifeTime(float seconds) { lifeTime_ = lifeTimer_ = seconds; }
    float GetLifeTime() const { return lifeTime_; }
    float GetLifeTimer() const { return lifeTimer_; }
    int32_t* TickHandle() { return &tickHandle_; }
    void SetPoolSlot(ManagedObjectClass* slot) { poolSlot_ = slot; }
    ManagedObjectClass* PoolSlot() const { return poolSlot_; }
    TBaseRenderUnit* GetTemplate() const { return template_; }
    void SetTemplate(TBaseRenderUnit* t) { template_ = t; }

    // Units are made through Create, which runs Init.
    TBaseRenderUnit() = default;

protected:
    ~TBaseRenderUnit() override = default;
    // Replaces the child's slot by a killed placeholder; -1 when not found.
    int PutPlaceholder(TBaseRenderUnit* child);
    TLightManager* ViewportLights() const;

    // What the render list's walks and runs read of every unit each frame sits
    // on the cache line after the engine-object header, and the two matrices a
    // draw copies on the two lines after it (units are line-aligned), so a walk
    // over a large tree touches as little memory per unit as it can.
    alignas(kHotLine) uint64_t flags_ = 0;
    uint64_t flags2_ = 0;
    // The child list, made on first AddChild: childs_ points at childList_ from then on.
    TListAsm<TBaseRenderUnit>* childs_ = nullptr;
    TListAsm<TBaseRenderUnit> childList_;
    RenderStateManagerClass* renderStates_ = nullptr;
    uint16_t renderStage_ = 0;
    bool plainListing_ = false; // set by Create (ListsLikeEveryUnit)
    bool plainTicking_ = false; // set by Create (TicksLikeEveryUnit)
    // Read for each child when the engine checks the order of its children.
    float sortValue_ = 1.0f;
    alignas(kHotLine) Matrix worldMatrix_;
    Matrix drawnMatrix_;
    int32_t attachCount_ = 0;
    TBaseRenderUnit* parent_ = nullptr;
    TBaseRenderUnit* cachedRoot_ = nullptr;
    uint16_t lightMask_ = kLightsLamps;
    std::string name_;
    int32_t viewportId_ = 0;
    Matrix baseMatrix_, localMatrix_, billboardMatrix_;
    // bounding-sphere cache
    float bsRadius_ = 0;
    Vec3 bsLocalCentre_, bsWorldCentre_;
    uint64_t bsFrame_ = kNoFrame;
    uint64_t bsFrame2_ = kNoFrame;
    std::unique_ptr<std::vector<BSphereRecord>> bspheres_;
    std::unique_ptr<BSphereRecord> ownSphere_;
    TEngineObject* ownedSub_ = nullptr;
    HelpersContainerClass* helpers_ = nullptr;
    UHelpersContainerClass* uhelpers_ = nullptr;
    TBaseRenderUnit* bsContainer_ = nullptr;
    IRenderUnitAI* ai_ = nullptr;
    // component links, made on first use
    FogClass* fog_ = nullptr;
    LightClass* lights_ = nullptr;
    GameOpsClass* gameOps_ = nullptr;
    KeyAnimationClass* keyAnim_ = nullptr;
    RenderOpsClass* renderOps_ = nullptr;
    RotatorClass* rotator_ = nullptr;
    PhysicOpsClass* physicOps_ = nullptr;
    KillerClass* killer_ = nullptr;
    IEngineObject* collisionEvent_ = nullptr;
    int32_t tickHandle_ = 0;
    std::string strID_;
    std::shared_ptr<RenderObjectList> ros_;
    Vec3 boxMax_{1, 1, 1}, boxMin_{-1, -1, -1};
    Vec3 screenPos_;
    float screenSize_ = 1.0f;
    TBaseRenderUnit* homeParent_ = nullptr;
    float lifeTime_ = 0, lifeTimer_ = 0;
    int32_t skipCount_ = 0;
    TBaseRenderUnit* template_ = nullptr;
    ManagedObjectClass* poolSlot_ = nullptr;

public:
    // A frame stamp no frame number reaches: the first CalcBSphere always computes.
    static constexpr uint64_t kNoFrame = 0x0000000FFFFFFFFFull;

private:
    void CollectUnitsWithFlags(uint64_t mask, std::vector<TBaseRenderUnit*>& out);
    void CollectChildsWithFlags(uint64_t mask, std::vector<TBaseRenderUnit*>& out) const;
    void TickChilds(float dtMs);
    template <class C> C* MakeComponent(C*& link);
    void ReleaseComponents();
    void DropLink(TEngineObject* gone);
    friend class HelpersContainerClass;
    friend class UHelpersContainerClass;
};

// The kind under which render-unit classes are registered: made from a parent.
using TRenderUnitKind = TClassKind<TBaseRenderUnit, TBaseRenderUnit*>;
template <class T> bool RegisterRenderUnitClass(const std::string& name = ClassNameOf<T>()) {
    return ClassManager.RegisterFactory<TRenderUnitKind, T>(
        name, [](TBaseRenderUnit* parent) -> TBaseRenderUnit* { return TBaseRenderUnit::Create<T>(parent); });
}

// Distance between two units' positions as a whole number; the surface form
// takes off both bounding-sphere radii (negative when the spheres overlap).
int BRUDistance(TBaseRenderUnit* a, TBaseRenderUnit* b);
int BRUSurfaceDistance(TBaseRenderUnit* a, TBaseRenderUnit* b);

// Units alive (made by Init, not yet freed).
extern int32_t BRUInstanceCount;

} // namespace vesk
