#pragma once
// Components that cling to a carrier object (as a rule a render unit) and stop
// working when the carrier dies. The base binds the component to its carrier
// and tells it when the carrier is gone; each kind adds its own work.
#include "platform/math_types.h"
#include "shared/engine_object.h"

#include <functional>
#include <string>
#include <vector>

namespace vesk {

class TBaseRenderUnit;
class RayOpsClass;

class ClamClass : public TEngineObject {
public:
    // The plain constructor is refused: a fatal report naming Init; nullptr.
    static ClamClass* Create();
    // The constructor to use; a nil carrier is legal and leaves the component unbound.
    template <class T = ClamClass, class... A> static T* Init(IEngineObject* carrier, A&&... args) {
        T* c = New<T>(std::forward<A>(args)...);
        c->Bind(carrier);
        return c;
    }

    IEngineObject* Carrier() const { return carrier_; }
    // The same component bound to another carrier, for copies of the carrier;
    // nullptr for kinds that are not copied.
    virtual ClamClass* CreateCopy(IEngineObject* /*carrier*/) const { return nullptr; }
    void Message(IEngineObject* sender, int msg, int param) override;

    ClamClass() = default;

protected:
    // The carrier is gone; drop whatever is held of it.
    virtual void CarrierLost() {}
    // The component was just bound to its carrier (by Init).
    virtual void Bound() {}

private:
    void Bind(IEngineObject* carrier);
    IEngineObject* carrier_ = nullptr;
};

// ---- the per-unit components a render unit makes on first use ------------------------
// Each is the common base that the code owning its behaviour fills in; the unit
// only needs what is declared here.

class IRendererOps;
class SpritesRendererClass;
class SpritesRendererDRClass;

// A unit's render operations (`IRenderOps`): on the engine root, the owner of
// the shared sprite renderers (render/sprite_renderer.h).
class RenderOpsClass : public ClamClass {
public:
    // A new render-operations component on that object (without renderers).
    RenderOpsClass* CreateCopy(IEngineObject* carrier) const override;
    // The distance-reaction renderer. The first call makes the four sprite
    // renderers "fx_burst", "fx_smoke_blend", "fx_lamp" and "fx_smoke_alpha"
    // under the carrier (the engine root) and the distance-reaction renderer
    // over them; later calls return the same one.
    IRendererOps* GetRenderer();
    // Empties the client lists of the renderers that exist (refilled each frame).
    virtual void ClearClients();
    void Message(IEngineObject* sender, int msg, int param) override;

    SpritesRendererClass* BurstRenderer() const { return burst_; }
    SpritesRendererClass* SmokeAlphaRenderer() const { return smokeAlpha_; }
    SpritesRendererClass* SmokeBlendRenderer() const { return smokeBlend_; }
    SpritesRendererClass* LampRenderer() const { return lamp_; }
    SpritesRendererDRClass* DistanceRenderer() const { return dr_; }

private:
    SpritesRendererClass* burst_ = nullptr;
    SpritesRendererClass* smokeAlpha_ = nullptr;
    SpritesRendererClass* smokeBlend_ = nullptr;
    SpritesRendererClass* lamp_ = nullptr;
    SpritesRendererDRClass* dr_ = nullptr;
};

// A unit's light list (`ILights`): point lights in the unit's space. A record
// has the device light's layout; position and diffuse colour come first so
// that the frame's light pass reads them directly.
inline constexpr int kLightPoint = 1;
struct UnitLight {
    Vec3 position;
    ColorValue colour{1, 1, 1, 1}; // diffuse
    ColorValue specular{};
    ColorValue ambient{};
    Vec3 direction{};
    float range = 1.0e9f;
    float falloff = 0, attenuation0 = 0, attenuation1 = 0, attenuation2 = 0, theta = 0, phi = 0;
    int type = kLightPoint;
};
// A packed A8R8G8B8 colour as four floats, each channel / 255.
ColorValue ColourFromArgb(uint32_t argb);

class LightClass : public ClamClass {
public:
    std::vector<UnitLight>& Lights() { return lights_; }
    // A new light list on another carrier with a copy of every record.
    LightClass* CreateCopy(IEngineObject* carrier) const override;
    // Appends a point light; colours are packed ARGB.
    void AddLight(const Vec3& position, uint32_t diffuse, uint32_t specular, float attenuation0,
                  float attenuation1);
    bool GetLight(int index, UnitLight& out) const;
    int GetCount() const { return static_cast<int>(lights_.size()); }

private:
    std::vector<UnitLight> lights_;
};

// Rotation of a unit's matrix (`IRotator`): spins about X, Y, Z or a free axis.
inline constexpr uint16_t kRotateX = 1, kRotateY = 2, kRotateZ = 4, kRotateAxis = 8;
// A carrier with this bit of its second flag word advances every part, whatever the mode.
inline constexpr uint64_t BRU2_ROTATE_ALL = 32768;
class RotatorClass : public ClamClass {
public:
    // A new rotator on the carrier of another object, with this one's mode and X, Y, Z parts.
    RotatorClass* CreateCopy(IEngineObject* other) const;
    // Advances the angles (speeds in turns per second) and rebuilds the part matrices.
    void Update(float dtMs);
    // m := part matrix x m for each enabled part, each product from the incoming m.
    void Apply(Matrix& m) const;
    void SetMode(uint16_t mode) { mode_ = mode; }
    uint16_t GetMode() const { return mode_; }
    void SetSpeedX(float v) { speedX_ = v; }
    void SetAngleX(float v) { angleX_ = v; }
    void SetSpeedY(float v) { speedY_ = v; }
    void SetAngleY(float v) { angleY_ = v; }
    void SetSpeedZ(float v) { speedZ_ = v; }
    void SetAngleZ(float v) { angleZ_ = v; }
    void SetAxisSpeed(float v) { axisSpeed_ = v; }
    void SetAxisAngle(float v) { axisAngle_ = v; }
    void SetAxis(const Vec3& axis) { axis_ = axis; }
    float AngleX() const { return angleX_; }
    float AngleY() const { return angleY_; }
    float AngleZ() const { return angleZ_; }
    float AxisAngle() const { return axisAngle_; }

    // The names the unit tree calls.
    void ApplyToMatrix(Matrix& m) { Apply(m); }
    void Advance(float dtMs) { Update(dtMs); }

private:
    // A part runs when its mode bit is set or the carrier asks for every part.
    bool PartRuns(uint16_t bit) const;
    uint16_t mode_ = 0;
    float angleX_ = 0, speedX_ = 0, angleY_ = 0, speedY_ = 0, angleZ_ = 0, speedZ_ = 0;
    float axisSpeed_ = 0, axisAngle_ = 0;
    Matrix matX_, matY_, matZ_, matAxis_;
    Vec3 axis_{0, 0, 1};
};

// The ship operations reached through a unit's game operations.
class IShipsOps {
public:
    // Drops the cached list of the scene's ship units (rebuilt on the next query).
    virtual void DropShipListCache() = 0;
    virtual TBaseRenderUnit* CreateShipBRU(const std::string& a, const std::string& b) = 0;
    virtual bool FindShipByName(const std::string& name, TBaseRenderUnit*& out) = 0;
    virtual bool FindShipBRU(TBaseRenderUnit* unit) = 0;
    // The scene's units of a kind (1: the ship units); nullptr when there is no list.
    virtual const std::vector<TBaseRenderUnit*>* GetBRUList(int /*kind*/) { return nullptr; }

protected:
    ~IShipsOps() = default;
};

// Game operations of a unit (`IGameInterface`).
class GameOpsClass : public ClamClass {
public:
    // The ship operations; nil until the scene provides them (render/world_links.h).
    virtual IShipsOps* GetShipsOps();
    // The unit's ray groups (`IGameRaysController`), made on first use.
    RayOpsClass* GetRays();
    // The ray groups as they are; nullptr before the first use.
    RayOpsClass* RaysLink() const { return rays_; }
    // Frees the ray groups (a unit built anew makes its own).
    void DropRays();
    void Free() override;

private:
    RayOpsClass* rays_ = nullptr;
};

// Makes the game operations of a unit on its first request. The space scene
// installs the maker of its full kind (ship lists, slots, shields, aim points)
// at start-up; without one a unit gets the base above.
using GameOpsMaker = std::function<GameOpsClass*(IEngineObject* carrier)>;
void SetGameOpsMaker(GameOpsMaker maker);
GameOpsClass* MakeGameOps(IEngineObject* carrier);

// Kills a render unit (the carrier) when a linked object goes away; fires once.
class KillerClass : public ClamClass {
public:
    // The constructor: missing objects are fatal reports (nullptr).
    static KillerClass* Init(TBaseRenderUnit* bruToKill, IEngineObject* link);
    // Links the object whose end kills the carrier (the tree's AttachKiller).
    void SetOther(IEngineObject* other);
    IEngineObject* Other() const { return other_; }
    TBaseRenderUnit* UnitToKill() const { return toKill_; }
    void Message(IEngineObject* sender, int msg, int param) override;

protected:
    void CarrierLost() override { toKill_ = nullptr; }

private:
    TBaseRenderUnit* toKill_ = nullptr;
    IEngineObject* other_ = nullptr;
};

// A named group of ray units switched on and off together.
class RayGroupClass : public ClamClass {
public:
    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    void AddRay(TBaseRenderUnit* ray);
    const std::vector<TBaseRenderUnit*>& Rays() const { return rays_; }
    void Message(IEngineObject* sender, int msg, int param) override;

private:
    std::string name_;
    std::vector<TBaseRenderUnit*> rays_;
};

// The ray groups of a unit (`IGameRaysController` and the ray-group interface).
class RayOpsClass : public ClamClass {
public:
    void AddGroup(const std::string& name);
    void AddRay(const std::string& groupName, TBaseRenderUnit* ray);
    void EnableRay(const std::string& groupName, bool enable);
    // The group of that name (case-insensitive), nullptr when there is none.
    RayGroupClass* GetGroup(const std::string& name) const;
    int GroupCount() const { return static_cast<int>(groups_.size()); }
    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    std::vector<RayGroupClass*> groups_;
};

class MeshGeometryClass;

// Physics operations of a unit (`IPhysicOps`): what the physics and the
// collision code ask of a render unit. It answers, for its unit, the
// collision view (bounding sphere, collision mesh, position, collision event),
// the owner view (the other units of the scene, the unit itself) and the box
// view (world matrix without scale, box size). The collision mesh is the
// geometry the unit's builder loads into GetMeshGeometry.
class PhysicOpsClass : public ClamClass {
public:
    MeshGeometryClass* GetMeshGeometry() const { return geometry_; }
    // ---- collision view ----
    // The unit's own bounding sphere in the world; true.
    bool GetBSphere(Vec3& centre, float& radius);
    // The collision mesh in the world (three indices a triangle); false without a geometry.
    bool GetMeshTriangles(const std::vector<Vec3>*& positions, const std::vector<uint32_t>*& indices,
                          uint32_t& indexCount);
    void GetPosition(Vec3& out) const;
    IEngineObject* GetCollisionEvent() const;
    // ---- owner view ----
    // Not supported: a fatal report; 0.
    int GetBRUListWithSpecFlag();
    // The scene's ship units without the own unit; the count. A nil list is a fatal report.
    int GetBRUList(std::vector<TBaseRenderUnit*>* list);
    TBaseRenderUnit* GetBRU() const { return unit_; }
    // ---- box view ----
    // The unit's world matrix with its axes normalised, and its box maximum - minimum; true.
    bool GetBBInfo(Matrix& matrix, Vec3& size) const;

    void Free() override;

protected:
    void Bound() override;
    void CarrierLost() override { unit_ = nullptr; }

private:
    TBaseRenderUnit* unit_ = nullptr;
    MeshGeometryClass* geometry_ = nullptr;
    struct GeometryOwner;
    GeometryOwner* owner_ = nullptr;
};

// Key animation of a unit (`IKeyAnimation`).
class KeyAnimationClass : public ClamClass {};

} // namespace vesk
