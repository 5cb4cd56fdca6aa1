#pragma once
// A static mesh: a render unit whose render objects come from named geometry
// objects of a model file (through the model-tree provider, model_tree.h).
#include "render/render_object.h"
#include "render/render_unit.h"

#include <cstdint>
#include <string>

namespace vesk {

class MeshClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void DoRender() override;
    // Names the unit and takes the model's bounding spheres and attach points.
    bool LoadFromCM(const std::string& fileName, const std::string& name, const std::string& strID);
    bool AddROFromCM(const std::string& fileName, const std::string& objectName);
    std::string ClassName() const override { return "MeshClass"; }

protected:
    ~MeshClass() override = default;
};

// Draws each render object of the list while the unit's draw flag is set.
void RenderUnitObjects(TBaseRenderUnit& unit);

} // namespace vesk
