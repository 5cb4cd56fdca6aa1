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
// Placed this tick ahead of the engine's pass (PlaceAhead) and nothing added
// under it since: a unit that remembers what it was placed from may find the
// pass would place it the same and leave its subtree as it is.
inline constexpr uint64_t BRU2_PLACED_AHEAD = 1ull << 61;

// Passes of the render list: 2 takes the opaque units, 1 the blended ones.
inline constexpr int kPassBlended = 1;
inline constexpr int kPassOpaque = 2;

// The listings of a frame in the order they are drawn: stage 1 before stage 0,
// in each stage the opaque pass before the blended one.
struct FrameListing {
    int stage;
    int pass;
};
inline constexpr int kFrameListings = 4;
inline constexpr FrameListing kFrameListing[kFrameListings] = {
    {1, kPassOpaque}, {1, kPassBlended}, {0, kPassOpaque}, {0, kPassBlended}};

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

// A frame stamp no frame number reaches: the first CalcBSphere always computes.
inline constexpr uint64_t kNoBSphereFrame = 0x0000000FFFFFFFFFull;

// What only some units use: a base matrix of their own, a billboard, the
// bounding spheres, components, helpers, a lifetime. Most units of a large
// tree never ask for these, so a unit keeps them apart, made on first use;
// until then every field reads as its initial value.
struct UnitExtras {
    int32_t attachCount = 0;
    TBaseRenderUnit* homeParent = nullptr;
    Matrix baseMatrix, billboardMatrix;
    // bounding-sphere cache
    float bsRadius = 0;
    Vec3 bsLocalCentre, bsWorldCentre;
    uint64_t bsFrame = kNoBSphereFrame;
    uint64_t bsFrame2 = kNoBSphereFrame;
    std::unique_ptr<std::vector<BSphereRecord>> bspheres;
    std::unique_ptr<BSphereRecord> ownSphere;
    Vec3 boxMax{1, 1, 1}, boxMin{-1, -1, -1};
    TEngineObject* ownedSub = nullptr;
    HelpersContainerClass* helpers = nullptr;
    UHelpersContainerClass* uhelpers = nullptr;
    TBaseRenderUnit* bsContainer = nullptr;
    IRenderUnitAI* ai = nullptr;
    // component links, made on first use
    FogClass* fog = nullptr;
    LightClass* lights = nullptr;
    GameOpsClass* gameOps = nullptr;
    KeyAnimationClass* keyAnim = nullptr;
    RenderOpsClass* renderOps = nullptr;
    RotatorClass* rotator = nullptr;
    PhysicOpsClass* physicOps = nullptr;
    KillerClass* killer = nullptr;
    IEngineObject* collisionEvent = nullptr;
    int32_t tickHandle = 0;
    int32_t skipCount = 0;
    std::string strID;
    Vec3 screenPos;
    float screenSize = 1.0f;
    float lifeTime = 0, lifeTimer = 0;
    TBaseRenderUnit* templ = nullptr;
    ManagedObjectClass* poolSlot = nullptr;
};

class TBaseRenderUnit : public TEngineObject {
public:
    // The unit constructor: a new unit of class T under parent (not added to it).
    template <class T = TBaseRenderUnit> static T* Create(TBaseRenderUnit* parent) {
        T* u = New<T>();
        u->Init(parent);
        return u;
    }
    // Units of every class are kept together (render/unit_memory.h).
    static void* operator new(size_t bytes);
    static void operator delete(void* p, size_t bytes);

    // ---- numbered virtual operations ------------------------------------------------
    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;
    virtual bool SkipInPass(int pass) const;
    virtual void DoRender() {}
    virtual void UpdateMatrices(const Matrix* parent);
    // The unit and its subtree placed now, ahead of the engine's pass this
    // tick, as a ship is when its physics has moved it: its shots and
    // collisions read its parts' places before the pass.
    void PlaceAhead(const Matrix* parent) {
        ClearFlag2(BRU2_PLACED_AHEAD);
        UpdateMatrices(parent);
        SetFlag2(BRU2_PLACED_AHEAD);
    }
    virtual void Init(TBaseRenderUnit* parent);
    virtual void Draw();
    virtual void SetVisible(bool on);
    virtual void AddChild(TBaseRenderUnit* child);
    virtual void OnAddedToParent(TBaseRenderUnit*) {}
    virtual void OnAttach(TBaseRenderUnit*) {}
    virtual void OnDetach() {}
    virtual bool IsInView();
    virtual Vec3 GetScreenPos() const { return Cold().screenPos; }
    virtual void UpdateScreenPos();
    virtual float GetScreenSize() const { return Cold().screenSize; }
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
        out = Cold().ai;
        return out != nullptr;
    }
    virtual void FillRenderList(int stage, int pass);
    // Lists the unit and its subtree for every listing of the frame in one visit,
    // the same as FillRenderList once per listing: the engine walks its tree once
    // a frame, not once per listing. A class that lists itself its own way in
    // FillRenderList overrides this too, with FillRenderListsByPass when it has
    // nothing quicker (checked for every class made with New).
    virtual void FillRenderLists();
    template <class T> static constexpr void CheckMadeClass() {
        static_assert(std::is_base_of_v<MemberClass<decltype(&T::FillRenderList)>,
                                        MemberClass<decltype(&T::FillRenderLists)>>,
                      "a unit that lists itself its own way must list itself so in the frame's one walk");
    }
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
    const std::string& GetStrID() const;
    void SetStrID(const std::string& id) { Extras().strID = id; }
    // "[<class>, name: "<name>", strID: "<strID>"]", used in every log message.
    std::string GetInfoStr() const;

    // ---- tree -----------------------------------------------------------------------
    void Attach(TBaseRenderUnit* child);
    void Detach();
    void RemoveChild(TBaseRenderUnit* child);
    bool ReleaseChild(TBaseRenderUnit* child);
    void MoveToParent(TBaseRenderUnit* newParent);
    void SetHomeParent() { Extras().homeParent = parent_; }
    // The parent RestoreParents brings the unit back to.
    void SetHomeParentUnit(TBaseRenderUnit* home) { Extras().homeParent = home; }
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
    const TListAsm<TBaseRenderUnit>* ChildsBRU() const { return childs_.get(); }
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
    int32_t GetAttachCount() const { return Cold().attachCount; }

    // The killed units are discarded and released, then every list drops its holes.
    void CleanAndRemoveZeroElementsFromChildsBRUList();
    void PackChildLists();
    // Both of the above in one walk, as the end of a frame runs them.
    void CleanAndPackChildLists();
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
    void SetBaseMatrix(const Matrix& m) { Extras().baseMatrix = localMatrix_ = m; }
    const Matrix& GetBaseMatrix() const { return Cold().baseMatrix; }
    const Matrix& GetLocalMatrix() const { return localMatrix_; }
    void SetLocalMatrix(const Matrix& m) { localMatrix_ = m; }
    const Matrix& GetWorldMatrix() const { return worldMatrix_; }
    const Matrix& GetLastDrawnMatrix() const { return drawnMatrix_; }
    const Matrix& GetBillboardMatrixField() const { return Cold().billboardMatrix; }
    void SetWorldPosition(const Vec3& p);
    Vec3 GetCenter();
    float GetBSphereRadius();
    // The next CalcBSphere computes anew, even within the frame it last did.
    void InvalidateBSphere() {
        if (extras_) extras_->bsFrame = kNoFrame;
    }
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
        UnitExtras& e = Extras();
        e.boxMin = min;
        e.boxMax = max;
    }
    void GetBox(Vec3& min, Vec3& max) const {
        min = Cold().boxMin;
        max = Cold().boxMax;
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
    RotatorClass* RotatorLink() const { return Cold().rotator; }
    LightClass* LightsLink() const { return Cold().lights; }
    void AttachKiller(TBaseRenderUnit* other);
    void SetBPU(IRenderUnitAI* ai) { Extras().ai = ai; }
    TBaseRenderUnit* UpdateMatrixFromBPU();
    IEngineObject* GetCollisionEvent() const { return Cold().collisionEvent; }
    void SetCollisionEvent(IEngineObject* e) { Extras().collisionEvent = e; }
    // The object the unit owns (freed by DiscardBRU unless shared, flags2 0x100000).
    void SetOwnedSubObject(TEngineObject* o) { Extras().ownedSub = o; }

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
        TBaseRenderUnit* c = Cold().bsContainer;
        return c && !c->HasFlag(BRU_KILLED | BRU_DISCARDED) ? c : nullptr;
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
    HelpersContainerClass* HelpersContainer() const { return Cold().helpers; }
    UHelpersContainerClass* UHelpersContainer() const { return Cold().uhelpers; }
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
    KeyAnimationClass* KeyAnimationLink() const { return Cold().keyAnim; }

    // ---- lifetime, ticks, pools -----------------------------------------------------
    void SetLifeTime(float seconds) {
        UnitExtras& e = Extras();
        e.lifeTime = e.lifeTimer = seconds;
    }
    float GetLifeTime() const { return Cold().lifeTime; }
    float GetLifeTimer() const { return Cold().lifeTimer; }
    int32_t* TickHandle() { return &Extras().tickHandle; }
    void SetPoolSlot(ManagedObjectClass* slot) { Extras().poolSlot = slot; }
    ManagedObjectClass* PoolSlot() const { return Cold().poolSlot; }
    TBaseRenderUnit* GetTemplate() const { return Cold().templ; }
    void SetTemplate(TBaseRenderUnit* t) { Extras().templ = t; }

    // Units are made through Create, which runs Init.
    TBaseRenderUnit() = default;

protected:
    ~TBaseRenderUnit() override;
    // FillRenderList once for each listing of the frame, each into its own part
    // of the list.
    void FillRenderListsByPass();
    // The children's FillRenderLists in order (units added meanwhile wait for
    // the next frame).
    void FillChildRenderLists();
    // Replaces the child's slot by a killed placeholder; -1 when not found.
    int PutPlaceholder(TBaseRenderUnit* child);
    TLightManager* ViewportLights() const;

    // What a unit keeps apart, made on first use; Cold reads it without making it.
    UnitExtras& Extras() {
        if (!extras_) MakeExtras();
        return *extras_;
    }
    const UnitExtras& Cold() const { return extras_ ? *extras_ : kNoExtras; }
    // The bounding spheres a unit's kind computes itself.
    std::unique_ptr<std::vector<BSphereRecord>>& BSphereList() { return Extras().bspheres; }
    void DropBSphereRecords() {
        if (!extras_) return;
        extras_->bspheres.reset();
        extras_->ownSphere.reset();
    }

    // What every frame's walks and draws read comes first.
    uint64_t flags_ = 0;
    uint64_t flags2_ = 0;
    // The child list, made on first AddChild.
    std::unique_ptr<TListAsm<TBaseRenderUnit>> childs_;
    RenderStateManagerClass* renderStates_ = nullptr;
    uint16_t renderStage_ = 0;
    uint16_t lightMask_ = kLightsLamps;
    // Read for each child when the engine checks the order of its children.
    float sortValue_ = 1.0f;
    int32_t viewportId_ = 0;
    TBaseRenderUnit* parent_ = nullptr;
    TBaseRenderUnit* cachedRoot_ = nullptr;
    Matrix worldMatrix_;
    Matrix drawnMatrix_;
    Matrix localMatrix_;
    std::string name_;
    std::shared_ptr<RenderObjectList> ros_;
    std::unique_ptr<UnitExtras> extras_;

public:
    // A frame stamp no frame number reaches: the first CalcBSphere always computes.
    static constexpr uint64_t kNoFrame = kNoBSphereFrame;

private:
    static const UnitExtras kNoExtras;
    friend class RenderListWalk;
    void MakeExtras();
    void CleanChildLists(bool pack);
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
