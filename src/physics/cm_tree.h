#pragma once
// A model file loaded into typed record lists (geometry objects, materials,
// helpers, lights, cameras, shapes, bounding spheres, animation) with the
// derived universal helpers, name look-ups and the render objects built from
// its geometry objects.
#include "physics/cm_format.h"
#include "render/key_animation.h"
#include "render/model_tree.h"
#include "render/morpher.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class TRenderObject; // the render engine's render object
struct MemUsageMark;

// A model file that cannot be read; the text is the report's message.
class CMFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The three strings every object chunk carries.
struct CMNames {
    std::string name, second, third;
};

// One stored key widened for key animation (116 bytes in the original layout).
struct CMAnimationKey {
    uint32_t unset0 = 0;
    uint32_t value4 = 0;
    float time[4] = {}; // each the key time * 0.01
    uint32_t value12 = 0;
    uint32_t unset1 = 0;
    Matrix matrix;
    float colour[4] = {1, 1, 1, 1};
    float factor = 1;
};
static_assert(sizeof(CMAnimationKey) == 116);

struct CMAnimationRootStruct {
    CMNames names;
    uint32_t values[2] = {};
};

struct CMAnimationTrackStruct {
    CMNames names;
    float startFrame = 0, endFrame = 0;
    uint32_t value = 0;
    uint32_t keyCount = 0;
    std::vector<CMAnimationKey> keys;
};

struct DiffuseMapStruct {
    std::string first, second;
};
using SelfillumMapStruct = DiffuseMapStruct;
using OpacityMapStruct = DiffuseMapStruct;

struct CMMaterialStruct {
    std::string name, second;
    uint32_t value = 0;
    uint32_t colours[3] = {};
    std::optional<DiffuseMapStruct> diffuseMap;
    std::optional<SelfillumMapStruct> selfillumMap;
    std::optional<OpacityMapStruct> opacityMap;
    uint32_t indexCount = 0;
    std::vector<uint32_t> indices;
};

struct GeomObjStruct {
    CMNames names;
    // 1 and 2 are opposite corners of the bounding box, 3 the position.
    Vec3 vectors[5];
    Matrix matrix;
    uint32_t vertexCount = 0;
    std::vector<CMVertex> vertices;
    std::vector<Vec2> texCoords2; // the second channel; empty when absent
    std::vector<CMMaterialStruct> materials;
    uint32_t colour = 0;
    std::optional<CMAnimationRootStruct> animationRoot;
    std::optional<CMAnimationTrackStruct> animationTrack;
    std::vector<uint32_t> indices;
    uint32_t indexCount = 0;
    bool HasSecondUV() const { return !texCoords2.empty(); }
};

struct CMHelperStruct {
    CMNames names;
    Vec3 position;
    Matrix matrix;
    std::optional<CMAnimationTrackStruct> animationTrack;
};

struct CMLightStruct {
    CMNames names;
    Vec3 position;
    uint32_t value = 0;
    float colour[4] = {};
    std::optional<CMAnimationTrackStruct> animationTrack;
};

struct BoundingSphereStruct {
    CMNames names;
    Vec3 centre;
    float radius = 0;
    Matrix matrix;
};

struct CMCameraStruct {
    CMNames names;
    std::string fourth;
    uint32_t values[3] = {};
    Matrix matrix;
    uint32_t values2[3] = {};
    float fov = 0;
    std::optional<CMAnimationTrackStruct> animationTrack;
};

struct CMShapeStruct {
    CMNames names;
    std::string fourth;
    uint32_t values[6] = {};
    Matrix matrix;
    uint32_t pointCount = 0;
    std::vector<Vec3> points;
};

struct CMUniversalHelperStruct {
    std::string name;
    Vec3 position;
    Matrix matrix;
    float radius = 0;
};

struct LodStruct {
    std::string name;
    float distance = 0;
    TRenderObject* renderObject = nullptr;
};

// Render objects already built from a tree, by object name (first match
// without case). Entries are never removed; the tree keeps them for its life.
class ROManagerClass {
public:
    ROManagerClass() = default;
    ROManagerClass(const ROManagerClass&) = delete;
    ROManagerClass& operator=(const ROManagerClass&) = delete;
    // The tree's render objects go with it (through the installed releaser).
    ~ROManagerClass();
    TRenderObject* Find(std::string_view name) const;
    void Add(std::string name, TRenderObject* object);
    size_t Count() const { return entries_.size(); }

private:
    struct Entry {
        std::string name;
        TRenderObject* object;
    };
    std::vector<Entry> entries_;
};

// CreateRO build bits.
inline constexpr uint64_t kCMStepScale = 0x1;
inline constexpr uint64_t kCMStepTranslate = 0x2;
inline constexpr uint64_t kCMStepRotate = 0x4;
inline constexpr uint64_t kCMStepInverse = 0x8;

enum class CMBuilderKind { Generic, LightMap, CubeMode };

// What CreateRO asks of the render engine for one geometry object.
struct CMRenderObjectRequest {
    uint32_t pool = 0;
    uint32_t usage = 0;
    uint32_t applyState = 0x10015;
    uint32_t restoreState = 0;
    CMBuilderKind builder = CMBuilderKind::Generic;
    bool materialFlag = false;
    std::string fileName, objectName;
};
class CMTreeClass;
// Builds a render object from a geometry record: the render engine installs
// it when it starts; render objects stay alive while any tree holds them.
using CMRenderObjectBuilder = std::function<TRenderObject*(CMTreeClass& tree, GeomObjStruct& object,
                                                           const CMRenderObjectRequest& request)>;
void SetCMRenderObjectBuilder(CMRenderObjectBuilder builder);
// Frees a render object a tree built when the tree goes away.
void SetCMRenderObjectReleaser(std::function<void(TRenderObject*)> releaser);

class CMTreeClass final : public IModelTree {
public:
    CMTreeClass();
    CMTreeClass(const CMTreeClass&) = delete;
    CMTreeClass& operator=(const CMTreeClass&) = delete;

    // Completes the name with ".cm", maps it into the active mod, reads the
    // file and builds the universal helpers. Failures are fatal reports.
    void LoadFromFile(const std::string& name);
    // The same from bytes already in memory, under the given file name.
    void LoadFromMemory(std::string_view bytes, const std::string& fileName);
    // Reads the bytes without reporting: throws CMFileError on a fault.
    void Parse(std::string_view bytes, const std::string& fileName);

    bool GetGeomobject(std::string_view name, GeomObjStruct*& out);
    bool GetHelper(std::string_view name, CMHelperStruct*& out);
    bool FindHelper(std::string_view name, CMHelperStruct*& out) { return GetHelper(name, out); }
    bool GetLight(std::string_view name, CMLightStruct*& out);
    bool GetCamera(std::string_view name, CMCameraStruct*& out);
    bool GetAnimationTrack(std::string_view name, CMAnimationTrackStruct*& out);
    bool GetBoundingSphere(std::string_view name, BoundingSphereStruct*& out);
    void GetLightPos(std::string_view name, Vec3& out);
    void GetLightColor(std::string_view name, float out[4]);
    void GetObjectMatrix(std::string_view name, Matrix& out);
    void GetUniversalHelper(std::string_view name, Vec3& position, float& radius);

    // Level-of-detail render objects for a base name; empty when none.
    std::vector<LodStruct> GetLODList(std::string_view name, uint64_t options);
    // The render object of a geometry object, built on the first call.
    TRenderObject* CreateRO(std::string_view name, bool materialFlag, uint64_t options);
    // A new render object of a morphed character (not kept by the tree): its
    // streams come from the object and from every other object with as many vertices.
    TRenderObject* CreateMorphRO(std::string_view name, uint64_t options);

    // ---- what the render engine reads (render/model_tree.h; cm_model_tree.cpp) ----
    const std::string& ModelFileName() const override { return fileName_; }
    uint32_t ModelAmbient() const override { return ambient_; }
    std::vector<ModelPointRecord> ModelHelpers() override;
    std::vector<ModelPointRecord> ModelUniversalHelpers() override;
    std::vector<ModelPointRecord> ModelBoundingSpheres() override;
    std::vector<ModelLightRecord> ModelLights() override;
    std::vector<std::string> ModelObjectNames() override;
    std::vector<std::string> ModelCameraNames() override;
    bool HasModelObject(std::string_view name) override;
    bool ModelObjectMatrix(std::string_view name, Matrix& out) override;
    const ROKeyTrack* FindRecordTrack(std::string_view name) override;
    const ROKeyTrack* FirstTrack() override;
    bool HasAnimationRoot() override { return animationRoot_.has_value(); }
    const MorphRecord* FindMorphRecord(std::string_view name) override;
    uint32_t ModelLightColour(std::string_view name) override;
    Vec3 ModelLightPosition(std::string_view name) override;
    TRenderObject* BuildRO(std::string_view name, bool materialFlag, uint64_t options) override {
        return CreateRO(name, materialFlag, options);
    }
    TRenderObject* BuildMorphRO(std::string_view name, uint64_t options) override {
        return CreateMorphRO(name, options);
    }

    uint32_t GetAmbient() const { return ambient_; }
    const std::string& GetFileName() const { return fileName_; }
    uint32_t GetFileDate() const { return fileDate_; }
    const std::string& SceneName() const { return sceneName_; }
    uint32_t FileSize() const { return fileSize_; }
    bool CubeMode() const { return cubeMode_; }

    const std::vector<std::string>& Strings() const { return strings_; }
    std::vector<GeomObjStruct>& GeomObjects() { return geomObjects_; }
    const std::vector<CMHelperStruct>& Helpers() const { return helpers_; }
    const std::vector<CMLightStruct>& Lights() const { return lights_; }
    const std::vector<BoundingSphereStruct>& BoundingSpheres() const { return bspheres_; }
    const std::vector<CMCameraStruct>& Cameras() const { return cameras_; }
    const std::vector<CMShapeStruct>& Shapes() const { return shapes_; }
    const std::vector<CMUniversalHelperStruct>& UniversalHelpers() const { return universal_; }
    const std::optional<CMAnimationRootStruct>& AnimationRoot() const { return animationRoot_; }
    const std::vector<CMAnimationTrackStruct>& Tracks() const { return tracks_; }
    const ROManagerClass& RenderObjects() const { return renderObjects_; }

private:
    friend class CMChunkParser;
    void Clear();
    void BuildUniversalHelpers();
    void LogLoadEnd(const MemUsageMark& mark);

    std::string sceneName_;
    std::string fileName_;
    uint32_t fileSize_ = 0;
    uint32_t ambient_ = 0;
    std::vector<std::string> strings_;
    bool cubeMode_ = false;
    ROManagerClass renderObjects_;
    uint32_t fileDate_ = 0xFFFFFFFFu;
    std::vector<GeomObjStruct> geomObjects_;
    std::vector<CMHelperStruct> helpers_;
    std::vector<CMLightStruct> lights_;
    std::vector<BoundingSphereStruct> bspheres_;
    std::vector<CMCameraStruct> cameras_;
    std::vector<CMShapeStruct> shapes_;
    std::vector<CMUniversalHelperStruct> universal_;
    std::optional<CMAnimationRootStruct> animationRoot_;
    std::vector<CMAnimationTrackStruct> tracks_;
    // Views the render engine holds for the tree's life (records never move after loading).
    std::map<const CMAnimationTrackStruct*, ROKeyTrack> keyTracks_;
    std::map<const CMAnimationTrackStruct*, MorphRecord> morphRecords_;
    const ROKeyTrack* KeyTrack(const CMAnimationTrackStruct& track);
};

// The vertex step of CreateRO on one object's own vertex array.
void CMApplyVertexStep(GeomObjStruct& object, uint64_t options);

} // namespace vesk
