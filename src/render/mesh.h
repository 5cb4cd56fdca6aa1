#pragma once
// A static mesh: a render unit whose render objects come from named geometry
// objects of a model file. The model files belong to a higher subsystem,
// which installs the links below when it starts.
#include "render/render_object.h"
#include "render/render_unit.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vesk {

// What an animated object takes from its model files.
struct AnimatedModel {
    TRenderObject* ro = nullptr;
    bool hasTrack = false; // the animation file has at least one track
    bool hasAnimationRoot = false;
    uint32_t keyCount = 0; // of the first track
    float startFrame = 0, endFrame = 0;
};

struct MeshModelLinks {
    // Loads (or finds) the model file; false when it cannot be had.
    std::function<bool(const std::string& fileName)> loadModel;
    // The render object of a geometry object of the model; nullptr when there is none.
    std::function<TRenderObject*(const std::string& fileName, const std::string& objectName,
                                 uint64_t options)>
        createRO;
    // Gives the unit the model's bounding spheres and helpers.
    std::function<void(TBaseRenderUnit& unit, const std::string& fileName)> addFromModel;
    // The render object of objectName in base + ".cm" and the first track of
    // base + ".cma" (of the ".cm" itself when there is no ".cma" file).
    std::function<bool(const std::string& base, const std::string& objectName, uint64_t options,
                       AnimatedModel& out)>
        loadAnimated;
};
MeshModelLinks& GetMeshModelLinks();

class MeshClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void DoRender() override;
    bool LoadFromCM(const std::string& fileName, const std::string& name, const std::string& strID);
    bool AddROFromCM(const std::string& fileName, const std::string& objectName);
    std::string ClassName() const override { return "MeshClass"; }

protected:
    ~MeshClass() override = default;
};

// Draws each render object of the list while the unit's draw flag is set.
void RenderUnitObjects(TBaseRenderUnit& unit);

} // namespace vesk
