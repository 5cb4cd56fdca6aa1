#pragma once
// Builders turning model geometry into render objects: a vertex chunk filled
// from the model's vertex records and one material per model material, each
// with its own index chunk. The model tree lives above the render engine; it
// hands its geometry over as an ROModelNode.
#include "platform/math_types.h"
#include "render/render_object.h"
#include "shared/engine_object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

// One vertex record of a model (u2, v2 only with a second channel).
struct ROModelVertex {
    float x = 0, y = 0, z = 0, nx = 0, ny = 0, nz = 0, u = 0, v = 0;
    float u2 = 0, v2 = 0;
};

struct ROModelMaterial {
    std::string name;
    bool nameSet = false;
    std::vector<uint32_t> indices;
};

// What a builder takes from a model node.
struct ROModelNode {
    std::string fileName, objectName;
    std::vector<ROModelVertex> vertices;
    Vec3 boxCorner1, boxCorner2; // opposite corners of the bounding box
    Matrix matrix;
    std::vector<ROModelMaterial> materials;
};

class ROBuilderBase : public TEngineObject {
public:
    virtual void CreateRO(TRenderObject& ro, const ROModelNode& node, uint32_t pool, uint32_t usage) = 0;
    virtual void SetMaterialProperties(TRenderObject& ro, const ROModelNode& node);
    std::string ClassName() const override { return "ROBuilderBase"; }
};

class ROGenericFactory final : public ROBuilderBase {
public:
    void CreateRO(TRenderObject& ro, const ROModelNode& node, uint32_t pool, uint32_t usage) override;
    std::string ClassName() const override { return "ROGenericFactory"; }
};

class ROLightMapFactory final : public ROBuilderBase {
public:
    void CreateRO(TRenderObject& ro, const ROModelNode& node, uint32_t pool, uint32_t usage) override;
    std::string ClassName() const override { return "ROLightMapFactory"; }
};

class ROCubeModeFactory final : public ROBuilderBase {
public:
    void CreateRO(TRenderObject& ro, const ROModelNode& node, uint32_t pool, uint32_t usage) override;
    void SetMaterialProperties(TRenderObject& ro, const ROModelNode& node) override;
    std::string ClassName() const override { return "ROCubeModeFactory"; }
};

enum class ROBuilderKind { Generic, LightMap, CubeMode };

// What the model tree asks for one geometry object.
struct ROModelBuild {
    ROBuilderKind builder = ROBuilderKind::Generic;
    uint32_t pool = 1;
    uint32_t usage = 0;
    uint64_t applyState = 0x10015;
    uint64_t restoreState = 0;
};

// A new render object built from the node: render states from the two state
// words, the node's matrix, box and names, the builder's vertices and materials.
TRenderObject* BuildModelRenderObject(const ROModelNode& node, const ROModelBuild& build);

// A render object whose vertices a morpher blends: a "Result" stream (or,
// without RO_MORPHSTREAMS in options, a vertex declaration for the vertex
// shader), one position stream for the node and for each source of the same
// vertex count, then the texture-coordinate stream. Every stream holds
// positions less its own object's translation.
TRenderObject* BuildMorphRenderObject(const ROModelNode& node, const std::vector<const ROModelNode*>& sources,
                                      uint64_t options, bool secondUV);

// Takes an index chunk for the indices (16-bit unless one is above 65535,
// managed pool), attaches it to the material and writes them.
void WriteIndexChunk(ROMaterialClass& m, const std::vector<uint32_t>& indices);

// Index count / 3, rounded to the nearest integer with halves to even.
uint32_t PrimitiveCountOfIndices(size_t indexCount);

} // namespace vesk
