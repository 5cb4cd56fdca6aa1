#include "game/world_link.h"

#include "game/game_object.h"
#include "game/scene_object.h"
#include "shared/errors.h"

namespace vesk {

namespace {

// Without the world nothing is built: each request says so in the fast log.
class MissingWorldLink : public IGameWorldLink {
public:
    bool AddObjAdv(TBaseGameSceneObject* obj) override {
        Missing("engine_AddObjAdv", GetLuaPath(obj));
        return false;
    }
    bool AddEnvObjAdv(TBaseGameSceneObject* obj) override {
        Missing("engine_AddEnvObjAdv", GetLuaPath(obj));
        return false;
    }
    bool LoadItemUnit(TEngineObject* unit, const std::string& mesh) override {
        Missing("LoadItemUnit", (unit ? unit->ClassName() : std::string("nil")) + " " + mesh);
        return false;
    }
    TEngineObject* FindSlotHelper(TEngineObject*, const std::string& helper) override {
        Missing("FindSlotHelper", helper);
        return nullptr;
    }
    void PreloadMesh(const std::string& kind, const std::string& object, const std::string& mesh) override {
        Missing("PreloadMesh", kind + " " + object + " " + mesh);
    }
    bool AddRocketAdv(TBaseGameSceneObject* obj) override {
        Missing("engine_AddRocketAdv", GetLuaPath(obj));
        return false;
    }
    bool AddDebrisAdv(TBaseGameSceneObject* obj, const std::string& mesh, TEngineObject*) override {
        Missing("AddDebrisAdv", GetLuaPath(obj) + " " + mesh);
        return false;
    }

private:
    static void Missing(const char* what, const std::string& detail) {
        FastLogAdd(std::string(what) + ": the world side is missing, nothing built (" + detail + ")");
    }
};

IGameWorldLink* Installed = nullptr;

std::function<void()>& LoadingBar() {
    static std::function<void()> refresh;
    return refresh;
}

} // namespace

IGameWorldLink& GameWorldLink() {
    static MissingWorldLink missing;
    return Installed ? *Installed : missing;
}

void SetGameWorldLink(IGameWorldLink* link) {
    Installed = link;
}

bool GameWorldMissing() {
    return Installed == nullptr;
}

void SetLoadingBarRefresh(std::function<void()> refresh) {
    LoadingBar() = std::move(refresh);
}

void RefreshLoadingBar() {
    if (LoadingBar()) LoadingBar()();
}

} // namespace vesk
