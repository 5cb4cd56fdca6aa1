#include "game/render_mesh_link.h"

#include "game/game_object.h"
#include "render/world_links.h"
#include "shared/helpers.h"

#include <string>
#include <vector>

namespace vesk {

namespace {

std::string Text(TBaseGameObject* owner, const char* name) {
    std::string v;
    if (TBaseGameObject* p = owner->FindChild(name)) p->stringValue(v);
    return v;
}

float Number(TBaseGameObject* owner, const char* name) {
    return static_cast<float>(StrToExtDef(Text(owner, name), 0.0));
}

// The flare entries of the description's "flares" list, in list order.
std::vector<TBaseGameObject*> FlaresOf(const std::string& meshObject) {
    std::vector<TBaseGameObject*> out;
    TBaseGameObject* mesh = FindVarByPath(meshObject);
    TBaseGameObject* list = mesh ? mesh->FindChild("flares") : nullptr;
    if (!list) return out;
    int32_t cursor = 0;
    list->First(cursor);
    for (TBaseGameObject* f = nullptr; list->Next(cursor, f);) out.push_back(f);
    return out;
}

} // namespace

void InstallRenderMeshLink() {
    RenderWorldLinks& links = GetRenderWorldLinks();
    links.meshFlares = [](const std::string& meshObject, std::vector<MeshFlareRecord>& out) {
        if (!FindVarByPath(meshObject)) return false;
        for (TBaseGameObject* f : FlaresOf(meshObject))
            out.push_back({Text(f, "max_point_name"), Text(f, "texture"), Text(f, "texture_interface"),
                           Text(f, "animation"), Number(f, "phase"), Number(f, "dynamic"),
                           Number(f, "frequency"), Number(f, "size")});
        return true;
    };
    links.setFlareTexture = [](const std::string& meshObject, size_t index, const std::string& value) {
        const std::vector<TBaseGameObject*> flares = FlaresOf(meshObject);
        if (index < flares.size())
            if (TBaseGameObject* p = flares[index]->FindChild("texture_interface")) p->stringUpdate(value);
    };
}

} // namespace vesk
