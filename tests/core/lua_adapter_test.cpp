#include <gtest/gtest.h>

#include <map>

#include "core/lua_adapter.h"
#include "lua_test_support.h"

namespace vesk::test {
namespace {

class StubMeshes : public IMeshRegistry {
public:
    std::shared_ptr<const MeshDescription> FindMeshByName(const std::string& name) override {
        ++lookups;
        auto it = meshes.find(name);
        return it == meshes.end() ? nullptr : it->second;
    }
    std::map<std::string, std::shared_ptr<const MeshDescription>> meshes;
    int lookups = 0;
};

class LuaAdapterTest : public LuaMachineTest {
protected:
    void SetUp() override {
        LuaMachineTest::SetUp();
        LuaDebugMode = true;
        LuaMachine->RunString("function length(t) return table.getn(t) end "
                              "mesh = {fighter = {kwsubobjects = {'hull', 'wing_l', 'wing_r'}}, "
                              "        bare = {}, ['odd \"name\\\\x'] = {kwsubobjects = {'only'}}}");
        meshes.meshes["fighter"] =
            std::make_shared<MeshDescription>(MeshDescription{"fighter.cm", "Models/ships"});
        adapter.SetMeshRegistry(&meshes);
    }
    std::vector<std::string> Walk(const std::string& name, int* endIndex = nullptr) {
        adapter.SelectMesh(name);
        std::vector<std::string> names;
        int index = 0;
        adapter.ResetSubObjectIndex(index);
        std::string sub;
        while (adapter.GetNextSubObject(index, sub)) names.push_back(sub);
        if (endIndex) *endIndex = index;
        return names;
    }
    StubMeshes meshes;
    LuaAdapterClass adapter;
};

TEST_F(LuaAdapterTest, WalksTheSubObjectsInOrder) {
    int end = 0;
    EXPECT_EQ(Walk("fighter", &end), (std::vector<std::string>{"hull", "wing_l", "wing_r"}));
    EXPECT_EQ(end, 4); // one past the last
    std::string sub = "kept";
    EXPECT_FALSE(adapter.GetNextSubObject(end, sub));
    EXPECT_EQ(end, 4);
    EXPECT_EQ(sub, "kept");
    // The count is asked again each call: a list grown by the scripts shows at once.
    LuaMachine->RunString("table.insert(mesh.fighter.kwsubobjects, 'tail')");
    EXPECT_TRUE(adapter.GetNextSubObject(end, sub));
    EXPECT_EQ(sub, "tail");
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(LuaAdapterTest, MeshesWithoutAListDeliverNothing) {
    EXPECT_TRUE(Walk("bare").empty()); // no kwsubobjects: a script fault in the count, reported
    trap.reports.clear();
    EXPECT_TRUE(Walk("unknown").empty()); // the guard keeps it quiet
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_EQ(Walk("odd \"name\\x"), (std::vector<std::string>{"only"}));
}

TEST_F(LuaAdapterTest, DescriptionLookedUpOncePerName) {
    adapter.SelectMesh("fighter");
    adapter.SelectMesh("fighter");
    EXPECT_EQ(meshes.lookups, 1);
    std::string file, path;
    EXPECT_EQ(adapter.GetMeshFile(file), 0);
    EXPECT_EQ(adapter.GetMeshPath(path), 0);
    EXPECT_EQ(path + "/" + file, "Models/ships/fighter.cm");
    adapter.SelectMesh("unknown");
    EXPECT_EQ(meshes.lookups, 2);
    EXPECT_EQ(adapter.GetMeshFile(file), 1);
    EXPECT_EQ(file, "");
    EXPECT_EQ(adapter.GetMeshPath(path), 1);
}

TEST_F(LuaAdapterTest, BoundingSphereDisplaySwitch) {
    EXPECT_FALSE(IsShowBSpheresOn());
    LuaMachine->RunString("ini = {showBSpheres = '0'}");
    EXPECT_FALSE(IsShowBSpheresOn());
    LuaMachine->RunString("ini.showBSpheres = '1'");
    EXPECT_TRUE(IsShowBSpheresOn());
    EXPECT_TRUE(trap.reports.empty());
    SetGameIniReader([](const std::string& name) { return name == "showBSpheres" ? "0" : "1"; });
    EXPECT_FALSE(IsShowBSpheresOn());
    SetGameIniReader(nullptr);
}

} // namespace
} // namespace vesk::test
