#include "physics/cm_render_link.h"

#include "physics/cm_tree_manager.h"
#include "shared/errors.h"

#include <algorithm>
#include <cstddef>

namespace vesk {

ROModelNode ModelNodeOf(const std::string& fileName, const GeomObjStruct& object) {
    ROModelNode node;
    node.fileName = fileName;
    node.objectName = object.names.name;
    node.boxCorner1 = object.vectors[1];
    node.boxCorner2 = object.vectors[2];
    node.matrix = object.matrix;
    node.vertices.resize(object.vertices.size());
    for (size_t i = 0; i < object.vertices.size(); ++i) {
        const CMVertex& v = object.vertices[i];
        ROModelVertex& o = node.vertices[i];
        o = {v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y, v.normal.z, v.tu, v.tv};
        if (i < object.texCoords2.size()) {
            o.u2 = object.texCoords2[i].x;
            o.v2 = object.texCoords2[i].y;
        }
    }
    for (const CMMaterialStruct& m : object.materials)
        node.materials.push_back({m.name, !m.name.empty(), m.indices});
    return node;
}

static_assert(offsetof(CMAnimationKey, matrix) == 32 && offsetof(CMAnimationKey, colour) == 96 &&
              offsetof(CMAnimationKey, factor) == 112 && sizeof(CMAnimationKey) == 116);

ROKeyTrack KeyTrackOf(const CMAnimationTrackStruct& track) {
    ROKeyTrack out;
    out.startFrame = track.startFrame;
    out.endFrame = track.endFrame;
    // The count the file states, never more than the keys it holds.
    out.keyCount = static_cast<uint32_t>(std::min<size_t>(track.keyCount, track.keys.size()));
    out.keys = track.keys.data();
    out.keyStride = sizeof(CMAnimationKey);
    return out;
}

void InstallCMRenderObjectBuilder() {
    SetCMRenderObjectBuilder([](CMTreeClass&, GeomObjStruct& object, const CMRenderObjectRequest& request) {
        ROModelBuild build;
        build.builder = request.builder == CMBuilderKind::CubeMode   ? ROBuilderKind::CubeMode
                        : request.builder == CMBuilderKind::LightMap ? ROBuilderKind::LightMap
                                                                     : ROBuilderKind::Generic;
        build.pool = request.pool;
        build.usage = request.usage;
        build.applyState = request.applyState;
        build.restoreState = request.restoreState;
        return BuildModelRenderObject(ModelNodeOf(request.fileName, object), build);
    });
    SetCMRenderObjectReleaser([](TRenderObject* ro) { ro->Free(); });
    // The render units' content loaders read model files through the cache.
    SetModelTreeProvider([](const std::string& file) -> IModelTree* {
        return CMTreeManager ? CMTreeManager->GetCMTree(file) : nullptr;
    });
    SetModelCacheRelease([] {
        if (CMTreeManager) CMTreeManager->Clear();
    });
}

} // namespace vesk
