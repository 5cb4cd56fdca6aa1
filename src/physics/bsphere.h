#pragma once
// Bounding spheres as render units: a container under the owning unit and one
// sphere child per sphere of the model, each with its own section of the
// owner's collision mesh. Collision detection tests the spheres first and then
// the triangles of a sphere's section.
#include "physics/bsphere_sections.h"
#include "render/render_unit.h"

#include <memory>
#include <string>
#include <vector>

namespace vesk {

class CMTreeClass;
class BSpheresContainerClass;
class TRenderObject;

// The debug effect template shown on bounding spheres.
inline constexpr const char* kTestSphereFX = "fx_testsphere";

// Spheres show their low-polygon sections (set from the setup flags).
extern bool BSphereShowLowPoly;
// Spheres alive: +1 at Init, -1 at Free.
extern int BSphereCount;

class IBoundingSphere2 {
public:
    virtual float GetRadius() const = 0; // world radius
    virtual Vec3 GetPositionV() const = 0;
    virtual Vec3 GetCenter() const = 0;
    virtual float GetLocalRadius() const = 0;
    virtual void ResetChildIterator(int& index) const = 0;
    virtual bool NextChildSphere(int& index, IBoundingSphere2*& out) = 0;
    virtual bool GetMeshGeometry(std::shared_ptr<BSSectionMesh>& out) const = 0;
    virtual void SetMeshGeometry(std::shared_ptr<BSSectionMesh> mesh) = 0;
    virtual void ReleaseMeshGeometry() = 0;
    virtual void KillSphere() = 0;

protected:
    ~IBoundingSphere2() = default;
};

class IBSphereAttachments {
public:
    virtual void AddAttached(IEngineObject* object) = 0;
    virtual void ResetAttachedIndex(int& index) const = 0;
    virtual bool GetAttached(int& index, IEngineObject*& out) const = 0;

protected:
    ~IBSphereAttachments() = default;
};

class IBSphereName {
public:
    virtual std::string GetName2() const = 0;

protected:
    ~IBSphereName() = default;
};

class BSphereClass : public TBaseRenderUnit,
                     public IBoundingSphere2,
                     public IBSphereAttachments,
                     public IBSphereName {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    void UpdateMatrices(const Matrix* parent) override;
    bool DiscardBRU() override;
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override;
    // Draws the low-polygon section while there is one.
    void DoRender() override;
    // The container this sphere belongs to; a sphere outside any is a fatal report.
    virtual bool GetContainer(BSpheresContainerClass*& out);
    // A unit of the same class under parent (not added to it) with this one's
    // centre, radii, second name, low-poly flag and a copy of its section.
    virtual BSphereClass* CreateCopy(TBaseRenderUnit* parent);

    float GetRadius() const override { return worldRadius_; }
    Vec3 GetPositionV() const override;
    Vec3 GetCenter() const override { return centre_; }
    float GetLocalRadius() const override { return localRadius_; }
    void ResetChildIterator(int& index) const override { index = 0; }
    bool NextChildSphere(int& index, IBoundingSphere2*& out) override;
    bool GetMeshGeometry(std::shared_ptr<BSSectionMesh>& out) const override;
    void SetMeshGeometry(std::shared_ptr<BSSectionMesh> mesh) override;
    void ReleaseMeshGeometry() override { mesh_.reset(); }
    void KillSphere() override { Kill(); }

    void AddAttached(IEngineObject* object) override;
    void ResetAttachedIndex(int& index) const override { index = 0; }
    bool GetAttached(int& index, IEngineObject*& out) const override;

    std::string GetName2() const override { return name2_; }
    void SetName2(const std::string& name) { name2_ = name; }
    // Stores the centre and makes it the unit's position.
    void SetCenter(const Vec3& centre);
    // Local and world radius.
    void SetRadius(float radius) { localRadius_ = worldRadius_ = radius; }
    bool ShowLowPoly() const { return showLowPoly_; }
    // The section drawn in one colour (a sphere without triangles draws nothing).
    void BuildLowPoly(uint32_t colour);
    TRenderObject* LowPoly() const { return lowPoly_; }
    // The debug effect on this sphere: the registered test-sphere template
    // spawned under it with the radius, colour and factor.
    TBaseRenderUnit* ShowTestEffect(float radius, uint32_t colour, float factor);

protected:
    void ReleaseLowPoly();
    Vec3 centre_;
    std::string name2_;
    float localRadius_ = 0, worldRadius_ = 0;
    std::shared_ptr<BSSectionMesh> mesh_;
    std::unique_ptr<std::vector<IEngineObject*>> attached_;
    bool showLowPoly_ = false;
    TRenderObject* lowPoly_ = nullptr;
};

// The root of a sphere tree, under the unit that owns the spheres.
class BSpheresContainerClass : public BSphereClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    void UpdateMatrices(const Matrix* parent) override;
    void OnAddedToParent(TBaseRenderUnit* parent) override;
    void TickTree(float) override {}
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override;
    bool GetContainer(BSpheresContainerClass*& out) override {
        out = this;
        return true;
    }

    // A child sphere named "bs_" + its reference.
    BSphereClass* AddSphere(const Vec3& centre, float radius, bool show);
    // A child per bounding sphere of the tree and, with a mesh, their sections
    // through the section cache beside the model file.
    void LoadFromCM(const CMTreeClass& tree, const BSSectionMesh* mesh, bool show);
    // The children in NextChildSphere order.
    std::vector<BSphereClass*> ChildSpheres();
};

} // namespace vesk
