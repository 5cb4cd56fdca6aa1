#include "physics/cm_render_link.h"

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

void InstallCMRenderObjectBuilder() {
    SetCMRenderObjectBuilder([](CMTreeClass&, GeomObjStruct& object, const CMRenderObjectSpec& spec) {
        ROModelBuild build;
        build.builder = spec.builder == CMBuilderKind::CubeMode   ? ROBuilderKind::CubeMode
                        : spec.builder == CMBuilderKind::LightMap ? ROBuilderKind::LightMap
                                                                  : ROBuilderKind::Generic;
        build.pool = spec.pool;
        build.usage = spec.usage;
        build.applyState = spec.applyState;
        build.restoreState = spec.restoreState;
        return BuildModelRenderObject(ModelNodeOf(spec.fileName, object), build);
    });
    SetCMRenderObjectReleaser([](TRenderObject* ro) { ro->Free(); });
}

} // namespace vesk
