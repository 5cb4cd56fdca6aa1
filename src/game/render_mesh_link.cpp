#include "game/render_mesh_link.h"

#include "game/game_object.h"
#include "game/mesh_tables.h"
#include "game/params.h"
#include "render/render_unit.h"
#include "render/world_links.h"
#include "shared/helpers.h"
#include "world/mesh_source.h"

#include <string>
#include <vector>

namespace vesk {

namespace {

float Number(TBaseGameObject* owner, const char* name) {
    return static_cast<float>(StrToExtDef(ValueTextOf(owner, name), 0.0));
}

// The entries of a list child of the description, in list order.
std::vector<TBaseGameObject*> Entries(TBaseGameObject* owner, const char* name) {
    return ChildrenOf(Child<TBaseGameObject>(owner, name));
}

// The flare entries of the description's "flares" list, in list order.
std::vector<TBaseGameObject*> FlaresOf(const std::string& meshObject) {
    return Entries(FindVarByPath(meshObject), "flares");
}

std::string ValueText(TBaseGameObject* object) {
    std::string v;
    object->stringValue(v);
    return v;
}

class GameShipMeshSource : public IShipMeshSource {
public:
    bool GetShipMesh(const std::string& meshName, ShipMeshDesc& out) override {
        TGameMesh* mesh = GameMeshTable ? GameMeshTable->FindMesh(meshName) : nullptr;
        if (!mesh) return false;
        out.path = ValueTextOf(mesh, "path");
        out.name = ValueTextOf(mesh, "name");
        out.shield = ValueTextOf(mesh, "shield");
        out.defect = ValueTextOf(mesh, "defect");
        for (TBaseGameObject* e : Entries(mesh, "helpersound")) out.helperSounds.push_back(ValueText(e));
        for (TBaseGameObject* group : Entries(mesh, "rays")) {
            MeshRayGroup g{group->GetName(), {}};
            int32_t cursor = 0;
            group->First(cursor);
            for (TBaseGameObject* e = nullptr; group->Next(cursor, e);) g.entries.push_back(ValueText(e));
            out.rays.push_back(std::move(g));
        }
        for (TBaseGameObject* c : Entries(mesh, "cylinders"))
            out.cylinders.push_back({ValueTextOf(c, "mesh"), ValueTextOf(c, "name"), ValueTextOf(c, "type"),
                                     ValueTextOf(c, "onship_object"), Number(c, "frequency")});
        for (TBaseGameObject* n : Entries(mesh, "nozzles"))
            out.nozzles.push_back({ValueTextOf(n, "helper_name"), ValueTextOf(n, "fx_name"),
                                   ValueTextOf(n, "texture"), ValueTextOf(n, "color"), Number(n, "size"),
                                   Number(n, "percents"), Number(n, "frequency")});
        return true;
    }
    TBaseRenderUnit* GetBSContainer(const std::string& meshName) override {
        TGameObjectFreeLink* link = ContainerLink(meshName);
        return link ? dynamic_cast<TBaseRenderUnit*>(link->GetValue()) : nullptr;
    }
    void SetBSContainer(const std::string& meshName, TBaseRenderUnit* spheres) override {
        if (TGameObjectFreeLink* link = ContainerLink(meshName)) link->setValue(spheres);
    }

private:
    static TGameObjectFreeLink* ContainerLink(const std::string& meshName) {
        TGameMesh* mesh = GameMeshTable ? GameMeshTable->FindMesh(meshName) : nullptr;
        return mesh ? dynamic_cast<TGameObjectFreeLink*>(mesh->FindChild("BSContainer")) : nullptr;
    }
};

} // namespace

void InstallShipMeshSource() {
    static GameShipMeshSource source;
    SetShipMeshSource(&source);
}

void InstallRenderMeshLink() {
    RenderWorldLinks& links = GetRenderWorldLinks();
    links.meshFlares = [](const std::string& meshObject, std::vector<MeshFlareRecord>& out) {
        if (!FindVarByPath(meshObject)) return false;
        for (TBaseGameObject* f : FlaresOf(meshObject))
            out.push_back({ValueTextOf(f, "max_point_name"), ValueTextOf(f, "texture"),
                           ValueTextOf(f, "texture_interface"), ValueTextOf(f, "animation"),
                           Number(f, "phase"), Number(f, "dynamic"), Number(f, "frequency"),
                           Number(f, "size")});
        return true;
    };
    links.setFlareTexture = [](const std::string& meshObject, size_t index, const std::string& value) {
        const std::vector<TBaseGameObject*> flares = FlaresOf(meshObject);
        if (index < flares.size())
            if (TBaseGameObject* p = flares[index]->FindChild("texture_interface")) p->stringUpdate(value);
    };
}

} // namespace vesk
