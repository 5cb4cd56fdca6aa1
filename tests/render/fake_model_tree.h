#pragma once
// A model tree filled by the test: records, key tracks, morph weights and
// render objects made on the recording device, served through the provider
// under one or more file names.
#include "render/key_animation.h"
#include "render/model_tree.h"
#include "render/morpher.h"
#include "render/render_object.h"
#include "shared/errors.h"
#include "shared/math.h"

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vesk::test {

// One stored key of a track: the matrix at byte 32, the colour at 96, the factor at 112.
struct FakeKey {
    uint8_t bytes[116] = {};
    FakeKey(const Matrix& m, ColorValue c = {1, 1, 1, 1}, float factor = 1.0f, float weight = 0.0f) {
        std::memcpy(bytes + 8, &weight, 4);
        std::memcpy(bytes + 32, &m.m, 64);
        const float col[4] = {c.r, c.g, c.b, c.a};
        std::memcpy(bytes + 96, col, 16);
        std::memcpy(bytes + 112, &factor, 4);
    }
};

class FakeModelTree final : public IModelTree {
public:
    explicit FakeModelTree(std::string file = "fake.cm") : file_(std::move(file)) {}
    ~FakeModelTree() {
        for (auto& [name, ro] : ros_) ro->Free();
    }

    std::string file_;
    uint32_t ambient = 0;
    std::vector<ModelPointRecord> helpers, uhelpers, spheres;
    std::vector<ModelLightRecord> lights;
    std::vector<std::string> objects, cameras;
    std::map<std::string, Matrix> objectMatrices;
    bool animationRoot = true;
    // Tracks by record name; "" holds the top-level first track.
    std::map<std::string, std::vector<FakeKey>> trackKeys;
    std::map<std::string, ROKeyTrack> tracks;
    std::map<std::string, MorphRecord> morphs;
    std::vector<std::string> built; // "<object>/<options>" of every BuildRO
    std::string firstTrack;

    // A track of n keys (30 frames per second), the key matrices translations by (k, 0, 0).
    void AddTrack(const std::string& name, int keys, float endFrame) {
        auto& k = trackKeys[name];
        for (int i = 0; i < keys; ++i) k.emplace_back(MatrixTranslation(float(i), 0, 0));
        ROKeyTrack t;
        t.startFrame = 0;
        t.endFrame = endFrame;
        t.keyCount = uint32_t(keys);
        t.keys = k.data();
        t.keyStride = 116;
        tracks[name] = t;
        if (firstTrack.empty()) firstTrack = name;
    }
    // A render object for an object name (quads, one material).
    TRenderObject* AddObject(const std::string& name, const Matrix& m = Matrix{}) {
        objects.push_back(name);
        objectMatrices[name] = m;
        auto* ro = TEngineObject::New<TRenderObject>();
        ro->Create(platform::D3DPOOL_MANAGED, 0, 0, RO_QUADS, 1, 0);
        ro->SetName(name);
        ro->SetMatrix(m);
        ros_[name] = ro;
        return ro;
    }

    const std::string& ModelFileName() const override { return file_; }
    uint32_t ModelAmbient() const override { return ambient; }
    std::vector<ModelPointRecord> ModelHelpers() override { return helpers; }
    std::vector<ModelPointRecord> ModelUniversalHelpers() override { return uhelpers; }
    std::vector<ModelPointRecord> ModelBoundingSpheres() override { return spheres; }
    std::vector<ModelLightRecord> ModelLights() override { return lights; }
    std::vector<std::string> ModelObjectNames() override { return objects; }
    std::vector<std::string> ModelCameraNames() override { return cameras; }
    bool HasModelObject(std::string_view name) override { return ros_.count(std::string(name)) != 0; }
    bool ModelObjectMatrix(std::string_view name, Matrix& out) override {
        auto it = objectMatrices.find(std::string(name));
        if (it == objectMatrices.end()) return false;
        out = it->second;
        return true;
    }
    const ROKeyTrack* FindRecordTrack(std::string_view name) override {
        auto it = tracks.find(std::string(name));
        return it == tracks.end() ? nullptr : &it->second;
    }
    const ROKeyTrack* FirstTrack() override { return firstTrack.empty() ? nullptr : &tracks[firstTrack]; }
    bool HasAnimationRoot() override { return animationRoot; }
    const MorphRecord* FindMorphRecord(std::string_view name) override {
        auto it = morphs.find(std::string(name));
        return it == morphs.end() ? nullptr : &it->second;
    }
    uint32_t ModelLightColour(std::string_view name) override {
        for (const auto& l : lights)
            if (l.name == name) return l.argb;
        ErrorReport("Light not found: " + std::string(name), "mhl");
        return 0;
    }
    Vec3 ModelLightPosition(std::string_view name) override {
        for (const auto& l : lights)
            if (l.name == name) return l.position;
        ErrorReport("Light not found: " + std::string(name), "mhl");
        return {};
    }
    TRenderObject* BuildRO(std::string_view name, bool, uint64_t options) override {
        built.push_back(std::string(name) + "/" + std::to_string(options));
        auto it = ros_.find(std::string(name));
        if (it == ros_.end()) {
            ErrorReport("CM.CreateRO: Object not found: " + std::string(name), "mhl");
            return nullptr;
        }
        return it->second;
    }
    // Characters are built by the real model tree (tested with the physics library).
    TRenderObject* BuildMorphRO(std::string_view name, uint64_t) override {
        ErrorReport("fake tree: no morph object " + std::string(name), "mhl");
        return nullptr;
    }

private:
    std::map<std::string, TRenderObject*> ros_;
};

// Serves trees by file name for the test's life.
class FakeModelTrees {
public:
    FakeModelTrees() {
        SetModelTreeProvider([this](const std::string& file) -> IModelTree* {
            asked.push_back(file);
            auto it = trees.find(file);
            return it == trees.end() ? nullptr : it->second.get();
        });
    }
    ~FakeModelTrees() { SetModelTreeProvider(nullptr); }
    // Frees the trees' render objects (before the buffer managers go).
    void Clear() { trees.clear(); }
    FakeModelTree& Add(const std::string& file) {
        auto& t = trees[file];
        t = std::make_unique<FakeModelTree>(file);
        return *t;
    }
    std::map<std::string, std::unique_ptr<FakeModelTree>> trees;
    std::vector<std::string> asked;
};

} // namespace vesk::test
