#pragma once
// Mesh descriptions: for every model the game shows, which model file it
// uses, its collision spheres and levels of detail, nozzles, flares, slots,
// destruction, damage and collision effects, physics tuning and map marker.
// They live under the global list "mesh", one child per model name, and are
// filled from the scripts' content table on first use.
#include <string>
#include <vector>

#include "game/game_object.h"
#include "game/params.h"

namespace vesk {

class TGameMesh;

// The global list "mesh". A name it does not hold yet is asked of the scripts
// (updateMeshToEngine) and looked up once more.
class TGameMeshTable : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameMeshTable)
public:
    ~TGameMeshTable() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
    TBaseGameObject* FindChild(std::string_view name) override;
    // The description of that model, loading it when needed; nullptr when the
    // scripts have none.
    TGameMesh* FindMesh(const std::string& name);

private:
    // Names whose description the scripts are building right now: a lookup of
    // one of them while it is built asks nothing more of the scripts.
    std::vector<std::string> loading_;
};

class TGamePhysicParams : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGamePhysicParams)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

class TGameMeshCilinder : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameMeshCilinder)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

class TGameMeshNozzle : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameMeshNozzle)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

class TGameMeshFlare : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameMeshFlare)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

// One model's description.
class TGameMesh : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameMesh)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // The model file ("path").
    std::string ModelFile() const;
    // Starts the destruction effects of the "destroyFx" list for the object;
    // the longest of their times in seconds (0 with none, or while effects are off).
    float spawnDestroyFx(TBaseGameObject* object);
};

// A game object's "mesh": a mesh name resolved in the global "mesh" list.
class TGameMeshLink : public TGameObjectLinkParam {
    VESK_GAME_CLASS(TGameMeshLink)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void stringUpdate(const std::string& text) override;
    TGameMesh* GetMesh() const;
};

// "mesh" once it is made (nullptr before and after).
extern TGameMeshTable* GameMeshTable;

void RegisterMeshTableClasses();
// "GameVarInit": the global list "mesh" under the root.
void CreateGameMeshTable(TBaseGameObject* root);

} // namespace vesk
