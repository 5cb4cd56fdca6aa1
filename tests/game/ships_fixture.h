#pragma once
// Game objects, items and slots over real render units: a world link that
// builds plain units with attach points in place of the ship builder, and
// helpers to make ships and items from Lua as the content does.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/damage.h"
#include "game/game_objects.h"
#include "game/items.h"
#include "game/mesh_tables.h"
#include "game/slots.h"
#include "game/world_link.h"
#include "game_logic_fixture.h"
#include "render/helpers.h"
#include "render/render_unit.h"

namespace vesk::test {

// What the world would do, reduced to plain units: a ship's unit carries the
// attach points named in `helpers`; item units load when their class is one
// of the three the items make.
struct TestWorld : IGameWorldLink {
    std::vector<std::string> calls;
    std::vector<std::string> helpers{"gun_left", "gun_right", "turret_top"};
    // Every unit the world makes lives under this root, as the scene's do.
    TBaseRenderUnit* root = nullptr;
    bool buildUnits = true;
    bool loadItemUnits = true;
    // The item units loaded, by id, in order.
    std::vector<int32_t> itemUnits;

    TBaseRenderUnit* NewUnit(const std::string& name) {
        if (!root) root = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
        TBaseRenderUnit* u = TBaseRenderUnit::Create<TBaseRenderUnit>(root);
        root->AddChild(u);
        u->SetName(name);
        return u;
    }
    void Discard() {
        if (!root) return;
        root->DiscardBRU();
        root->Free();
        root = nullptr;
    }
    bool AddObjAdv(TBaseGameSceneObject* obj) override {
        calls.push_back("AddObjAdv " + GetLuaPath(obj));
        if (!buildUnits) return false;
        TBaseRenderUnit* u = NewUnit(obj->GetName());
        for (const auto& h : helpers) u->AddHelper(h, {});
        obj->SetHex(u);
        return true;
    }
    bool AddEnvObjAdv(TBaseGameSceneObject* obj) override {
        calls.push_back("AddEnvObjAdv " + GetLuaPath(obj));
        return false;
    }
    bool LoadItemUnit(TEngineObject* unit, const std::string& mesh) override {
        calls.push_back("LoadItemUnit " + unit->ClassName() + " " + mesh);
        auto* u = dynamic_cast<TBaseRenderUnit*>(unit);
        if (!u || !loadItemUnits) return false;
        itemUnits.push_back(u->GetId());
        for (const auto& h : helpers) u->AddHelper(h, {});
        return true;
    }
    TEngineObject* FindSlotHelper(TEngineObject* carrier, const std::string& helper) override {
        calls.push_back("FindSlotHelper " + helper);
        HelperClass* h = nullptr;
        auto* u = dynamic_cast<TBaseRenderUnit*>(carrier);
        return u && u->FindHelper(helper, h) ? h : nullptr;
    }
    void PreloadMesh(const std::string& kind, const std::string& object, const std::string& mesh) override {
        calls.push_back("PreloadMesh " + kind + " " + object + " " + mesh);
    }
    bool AddRocketAdv(TBaseGameSceneObject* obj) override {
        std::string mesh;
        if (TBaseGameObject* link = obj->FindChild("mesh")) link->stringValue(mesh);
        calls.push_back("AddRocketAdv " + GetLuaPath(obj) + " " + mesh);
        if (!buildUnits) return false;
        TBaseRenderUnit* u = NewUnit(obj->GetName());
        obj->SetHex(u);
        // Its body: what the physics commands are given for it.
        if (obj->Ph()) obj->Ph()->setValue(u);
        return true;
    }
};

// The unit classes the items make by name, standing in for the world's.
class CannonClass : public TBaseRenderUnit {};
class TurretClass : public TBaseRenderUnit {};
class WingClass : public TBaseRenderUnit {};

class ShipsTest : public GameLogicTest {
protected:
    void SetUp() override {
        if (!TEODestroyManager) {
            TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
            ownDestroyManager_ = true;
        }
        GameLogicTest::SetUp();
        // A failing event saves its owner here.
        ErrorReportFolder = dir.path();
        CreateGameMeshTable(GlobalObjects);
        SetGameWorldLink(&world);
        SetLoadingBarRefresh([this] { ++loadingBars; });
        RegisterUnitClass<CannonClass>("CannonClass");
        RegisterUnitClass<TurretClass>("TurretClass");
        RegisterUnitClass<WingClass>("WingClass");
        Run("gunmodel = {} mesh = {} function updateMeshToEngine(name) end");
    }
    void TearDown() override {
        ErrorReportFolder.clear();
        SetLoadingBarRefresh(nullptr);
        SetGameWorldLink(nullptr);
        GameLogicTest::TearDown();
        world.Discard();
        TEODestroyManager->Flush();
        if (ownDestroyManager_) TEODestroyManager.reset();
    }
    template <class T> static void RegisterUnitClass(const char* name) {
        if (ClassManager.IndexOf(name) < 0) RegisterRenderUnitClass<T>(name);
    }

    // A ship (SOClass 2) under "obj" with the standard values, created on the next frame.
    TGameObject* Ship(const std::string& name, const std::string& model = "frigate") {
        Run("engine_AddVar('obj', '" + name + "', 'TGameObject')");
        const std::string p = "obj." + name;
        Run("engine_SetVar('" + p + ".SOClass', '2') engine_SetVar('" + p + ".spacemodel', '" + model + "')");
        for (const char* v : {"shield", "armor", "durability", "defencefactor", "power", "p_engine"})
            SetValue(p + ".param." + v, 100.0f, 100.0f);
        SetValue(p + ".param.temperature", 200.0f, 0.0f);
        SetValue(p + ".param.capacity", 100.0f, 0.0f);
        return dynamic_cast<TGameObject*>(FindVarByPath(p));
    }
    // A value parameter's maximum and current value.
    void SetValue(const std::string& path, float max, float cur) {
        Run("engine_SetVar('" + path + ".max', '" + FloatToStrRaw(max) + "') engine_SetVar('" + path +
            "', '" + FloatToStrRaw(cur) + "')");
    }
    float Value(const std::string& path) {
        return static_cast<float>(std::stod(Eval("engine_GetVar('" + path + "')")));
    }
    // An item under "items" with a gun model of that type.
    TGameItem* Item(const std::string& name, const std::string& mesh, const std::string& type,
                    int itemClass = 1) {
        Run("gunmodel['" + mesh + "'] = { type = '" + type + "' }");
        Run("engine_AddVar('items', '" + name + "', 'TGameItem') engine_SetVar('items." + name + ".mesh', '" +
            mesh + "') engine_SetVar('items." + name + ".class', '" + std::to_string(itemClass) + "')");
        return dynamic_cast<TGameItem*>(FindVarByPath("items." + name));
    }
    // A slot in the slot list at path.
    TGameSlot* Slot(const std::string& slots, const std::string& name, const std::string& helper,
                    const std::string& cls = "gun", int itemType = 1) {
        Run("engine_AddVar('" + slots + "', '" + name + "')");
        const std::string p = slots + "." + name;
        Run("engine_SetVar('" + p + ".helper', '" + helper + "') engine_SetVar('" + p + ".class', '" + cls +
            "') engine_SetVar('" + p + ".itemType', '" + std::to_string(itemType) + "')");
        return dynamic_cast<TGameSlot*>(FindVarByPath(p));
    }
    // Puts the item into the link at path; the link takes it on the next frame.
    void Put(const std::string& link, const std::string& item) {
        Run("engine_SetVar('" + link + "', '" + item + "')");
        Frame();
    }

    TestWorld world;
    int loadingBars = 0;

private:
    bool ownDestroyManager_ = false;
};

} // namespace vesk::test
