#pragma once
// What the render engine reads of a loaded model file. The model trees and
// their cache live in a higher subsystem, which installs the provider when it
// starts; the content loaders of the render units (helpers, lamps,
// sub-objects, key animations, heads) work through this view only.
#include "platform/math_types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class TRenderObject;
struct ROKeyTrack;
struct MorphRecord;

// A named point of a model: a helper, a universal helper or a bounding sphere.
struct ModelPointRecord {
    std::string name;
    Vec3 position;
    Matrix matrix;
    float radius = 0;
};

struct ModelLightRecord {
    std::string name;
    Vec3 position;
    ColorValue colour; // r, g, b, a as stored in the file
    uint32_t argb = 0; // the same packed as A8R8G8B8
};

class IModelTree {
public:
    virtual const std::string& ModelFileName() const = 0;
    // The scene's ambient colour (A8R8G8B8).
    virtual uint32_t ModelAmbient() const = 0;
    // The records in file order.
    virtual std::vector<ModelPointRecord> ModelHelpers() = 0;
    virtual std::vector<ModelPointRecord> ModelUniversalHelpers() = 0;
    virtual std::vector<ModelPointRecord> ModelBoundingSpheres() = 0;
    virtual std::vector<ModelLightRecord> ModelLights() = 0;
    virtual std::vector<std::string> ModelObjectNames() = 0;
    virtual std::vector<std::string> ModelCameraNames() = 0;
    // A geometry object of that name (letter case ignored).
    virtual bool HasModelObject(std::string_view name) = 0;
    // The matrix of that geometry object; false without one.
    virtual bool ModelObjectMatrix(std::string_view name, Matrix& out) = 0;
    // The animation track of the named record, looked for among the geometry
    // objects, helpers, lights, cameras and top-level tracks in turn; nullptr
    // when the first record of that name has none. The track lives as long as
    // the tree.
    virtual const ROKeyTrack* FindRecordTrack(std::string_view name) = 0;
    // The first top-level track; nullptr without one.
    virtual const ROKeyTrack* FirstTrack() = 0;
    virtual bool HasAnimationRoot() = 0;
    // The morph weights of the top-level track of that name; nullptr without one.
    virtual const MorphRecord* FindMorphRecord(std::string_view name) = 0;
    // The colour (packed A8R8G8B8) of the light of exactly that name; a missing
    // light is a fatal report and gives 0.
    virtual uint32_t ModelLightColour(std::string_view name) = 0;
    virtual Vec3 ModelLightPosition(std::string_view name) = 0;
    // The render object of a geometry object, built once per tree and shared.
    virtual TRenderObject* BuildRO(std::string_view name, bool materialFlag, uint64_t options) = 0;
    // A new render object whose vertices are blended from the morph streams of
    // the object and of every other object with as many vertices.
    virtual TRenderObject* BuildMorphRO(std::string_view name, uint64_t options) = 0;

protected:
    ~IModelTree() = default;
};

// The tree of a model file, loaded on first use; nullptr when no provider is installed.
using ModelTreeProvider = std::function<IModelTree*(const std::string& fileName)>;
void SetModelTreeProvider(ModelTreeProvider provider);
IModelTree* GetModelTree(const std::string& fileName);
// Empties the model cache, with the render objects built from its trees; the
// render engine does this before it frees the buffers those objects hold.
void SetModelCacheRelease(std::function<void()> release);
void ReleaseModelCache();

} // namespace vesk
