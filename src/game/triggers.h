#pragma once
// Triggers and space-object patterns. A trigger is a scene object without a
// model of its own: a fixed trigger stands on a helper of the scene, a dynamic
// one at a ship's position. A space-object pattern (a child of the global list
// "spaceobj") is the template scripts spawn space objects from; it may inherit
// from another pattern and keeps its mesh in step with its space model.
#include <string>

#include "game/scene_object.h"
#include "game/tree_functions.h"

namespace vesk {

class TGameMeshLink;
class TGameObjectFreeLink;
class TGameObjectStringParam;
class TonCreated;

class TGameTrigger : public TBaseGameSceneObject {
    VESK_GAME_CLASS(TGameTrigger)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    // The helper named by "max_name" in the object's location becomes its unit.
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    TGameObjectStringParam* MaxName() const { return maxName_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameObjectStringParam* maxName_ = nullptr;
};

class TGameDinamicTrigger : public TBaseGameSceneObject {
    VESK_GAME_CLASS(TGameDinamicTrigger)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    // With a parent ship: a global helper of the trigger's name at the ship's place.
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    TGameObjectFreeLink* ParentShip() const { return parentShip_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameObjectFreeLink* parentShip_ = nullptr;
};

class TGameSpaceObjectPattern : public TBaseGameObjectList, public IGameObjectSpawner {
    VESK_GAME_CLASS(TGameSpaceObjectPattern)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Inherits the parent pattern's structure, then points the mesh at the space model.
    void onCreatedSOFunc();
    // A game object of that name under parent, with the pattern's structure.
    void Spawn(const std::string& name, TBaseGameObject* parent) override;

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameObjectStringParam* parentName_ = nullptr;
    TGameMeshLink* mesh_ = nullptr;
    TGameObjectStringParam* spacemodel_ = nullptr;
    TonCreated* onCreatedSO_ = nullptr;
};

void RegisterTriggerClasses();

} // namespace vesk
