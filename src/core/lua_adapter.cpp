#include "core/lua_adapter.h"

#include "core/lua_readers.h"
#include "shared/helpers.h"

namespace vesk {

LuaAdapterClass LuaAdapter;

void LuaAdapterClass::SelectMesh(const std::string& name) {
    if (name != meshName_) mesh_ = registry_ ? registry_->FindMeshByName(name) : nullptr;
    meshName_ = name;
}

int LuaAdapterClass::GetMeshFile(std::string& file) const {
    file = mesh_ ? mesh_->file : std::string();
    return mesh_ ? 0 : 1;
}

int LuaAdapterClass::GetMeshPath(std::string& path) const {
    path = mesh_ ? mesh_->path : std::string();
    return mesh_ ? 0 : 1;
}

bool LuaAdapterClass::GetNextSubObject(int& index, std::string& name) const {
    const std::string entry = "mesh[" + LuaQuote(meshName_) + "]";
    const std::string lengthExpr = "length(" + entry + ".kwsubobjects)";
    const std::string answer = GetLuaStringDef(entry, lengthExpr, "");
    if (answer.empty()) return false;
    const int count = kws2i(answer, lengthExpr);
    if (count < index) return false;
    name = GetLuaString(entry + ".kwsubobjects[" + std::to_string(index) + "]", true);
    ++index;
    return true;
}

namespace {
std::function<std::string(const std::string&)>& GameIniReader() {
    static std::function<std::string(const std::string&)> reader;
    return reader;
}
} // namespace

void SetGameIniReader(std::function<std::string(const std::string& name)> reader) {
    GameIniReader() = std::move(reader);
}

std::string GameIniText(const std::string& name) {
    return GameIniReader() ? GameIniReader()(name) : GetLuaString("ini." + name, true);
}

bool IsShowBSpheresOn() {
    return GameIniText("showBSpheres") == "1";
}

} // namespace vesk
