#pragma once
// Attach points of a render unit (helpers) and universal helpers, each kind
// gathered under one container child of the carrier, and the level-of-detail
// list that picks a render object by distance.
#include "render/render_unit.h"

#include <string>
#include <vector>

namespace vesk {

class TRenderObject;

// Helpers alive (raised by Init, lowered by Free).
extern int32_t HelperCount;

// A named attach point; its unit name is the helper name + "_" + its 8-digit id.
class HelperClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    void DoRender() override {}
    Vec3 GetScreenPos() const override;
    void Kill() override;
    bool GetBPU(IRenderUnitAI*& out) const override;
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;

    const std::string& GetHelperName() const { return helperName_; }
    void SetHelperName(const std::string& name) { helperName_ = name; }
    const std::string& GetTag() const { return tag_; }
    // Walks up to the ship (flag 4) carrying the helper; false without one.
    bool GetParentShip(TBaseRenderUnit*& ship) const;

protected:
    std::string tag_, helperName_;
};

// A universal helper: a helper with its own radius and a location assignment.
class UniHelperClass : public HelperClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void SetLocation(int32_t value) { location_ = location2_ = value; }
    int32_t GetLocation() const { return location_; }
    float GetRadius() const { return Cold().bsRadius; }
    void SetRadius(float r) { Extras().bsRadius = r; }

private:
    int32_t location_ = 0, location2_ = 0;
};

// What both containers share: no drawing, a scale-free parent matrix, only the children listed.
class HelpersContainerBase : public TBaseRenderUnit {
public:
    void DoRender() override {}
    void UpdateMatrices(const Matrix* parent) override;
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override;
    // The first child whose helper name matches, letters compared upper-cased.
    bool FindByName(const std::string& name, HelperClass*& out) const;

protected:
    void InitContainer(TBaseRenderUnit* parent, const std::string& infix);
    // The carrier's matrix with its columns made unit length, and the matrix
    // it was made from: a carrier that has not moved since is not normalised
    // again (its matrices are updated more than once a frame).
    Matrix normalizedFrom_, normalized_;
    bool normalizedValid_ = false;
    void WorldPosition(const std::string& name, Vec3& out, const char* who) const;
    void Remove(const std::string& name, const char* text);
};

class HelpersContainerClass : public HelpersContainerBase {
public:
    void Init(TBaseRenderUnit* parent) override;
    HelperClass* AddHelper(const std::string& name, const Vec3& position);
    bool GetHelper(const std::string& name, HelperClass*& out) const { return FindByName(name, out); }
    void GetWHelper(const std::string& name, Vec3& out) const;
    void RemoveHelper(const std::string& name);
};

class UHelpersContainerClass : public HelpersContainerBase {
public:
    void Init(TBaseRenderUnit* parent) override;
    UniHelperClass* AddUHelper(const std::string& name, const Vec3& position, float radius);
    bool GetUHelper(const std::string& name, UniHelperClass*& out) const;
    bool GetUHelperByIndex(int index, UniHelperClass*& out) const;
    bool IsUHelper(const TBaseRenderUnit* unit) const;
    void GetWUHelper(const std::string& name, Vec3& out) const;
    void RemoveUHelper(const std::string& name);
};

// Levels of detail: records sorted ascending by switch distance.
class TBRULOD : public TEngineObject {
public:
    struct Level {
        std::string name;
        float distance = 0;
        TRenderObject* ro = nullptr;
    };
    static TBRULOD* Create() { return New<TBRULOD>(); }
    void AddLevel(const std::string& name, TRenderObject* ro, float distance);
    void AddLevels(const std::vector<Level>* levels);
    void SortLevels();
    // The first level whose switch distance exceeds d (or the last); total counts the
    // primitives of every level up to and including it.
    bool GetROByDistance(float d, uint32_t& primitiveTotal, TRenderObject*& ro) const;
    bool GetRO(int index, TRenderObject*& ro) const;
    int Count() const { return static_cast<int>(levels_.size()); }

private:
    std::vector<Level> levels_;
};

} // namespace vesk
