#pragma once
// Walks the description of a mesh that the scripts keep in the Lua table
// `mesh`: its model file, its folder and its list of sub-object names.
#include <functional>
#include <memory>
#include <string>

namespace vesk {

struct MeshDescription {
    std::string file; // model file name
    std::string path; // folder; callers load path + "/" + file
};

// The engine's mesh descriptions, looked up by name; the render engine
// provides them.
class IMeshRegistry {
public:
    virtual ~IMeshRegistry() = default;
    // nullptr when no description has that name.
    virtual std::shared_ptr<const MeshDescription> FindMeshByName(const std::string& name) = 0;
};

class LuaAdapterClass {
public:
    void SetMeshRegistry(IMeshRegistry* registry) { registry_ = registry; }

    // Looks the description up only when the name changes.
    void SelectMesh(const std::string& name);
    const std::string& SelectedMesh() const { return meshName_; }
    // 0 with the selected description's file or folder; 1 and empty text when
    // no description was found for the selected name.
    int GetMeshFile(std::string& file) const;
    int GetMeshPath(std::string& path) const;

    void ResetSubObjectIndex(int& index) const { index = 1; }
    // The sub-object name at `index` of mesh[name].kwsubobjects, then index + 1;
    // false (index unchanged) past the end or without a list.
    bool GetNextSubObject(int& index, std::string& name) const;

private:
    IMeshRegistry* registry_ = nullptr;
    std::string meshName_;
    std::shared_ptr<const MeshDescription> mesh_;
};

extern LuaAdapterClass LuaAdapter;

// The text of a parameter of the game ini table; the game library installs
// its reader at start-up. Without one the table's Lua mirror `ini` is read.
void SetGameIniReader(std::function<std::string(const std::string& name)> reader);
// The text of a parameter of the game ini table ("" when it has none).
std::string GameIniText(const std::string& name);
// True when the game ini table's "showBSpheres" is "1".
bool IsShowBSpheresOn();

} // namespace vesk
