#pragma once
// The moving objects of the space scene as the physics sees them: the ship
// units with their AI units. The tick's physics slices step them: each AI
// unit moves its body, the render unit takes the body's matrix, and each
// moving ship sweeps for collisions. The ships are what the path finder, the
// player's collision search and the collision detector take as the scene.
#include "physics/ph_config.h"
#include "shared/engine_object.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vesk {

class TBaseRenderUnit;
class BaseAIUnitClass;
class CollDataClass;

class PhysicsSceneClass : public TEngineObject {
public:
    // Lists the unit (which carries its AI unit) as a ship of the scene; it
    // leaves the list when it dies.
    void AddShip(TBaseRenderUnit* unit);
    void RemoveShip(TBaseRenderUnit* unit);
    // A ship from a model file: a unit under the engine root named `name`,
    // drawn from the model's base object, with the model's attach points and bounding spheres
    // (and their sections of the "lowpoly" collision object, or of the base
    // object), its collision mesh, a physics record from `params` and an AI
    // unit. nullptr when the model cannot be loaded.
    TBaseRenderUnit* AddObject(const std::string& name, const std::string& modelFile,
                               IPhysicParamsSource& params, BaseAIUnitClass*& ai);

    const std::vector<TBaseRenderUnit*>& Ships() const { return ships_; }
    bool FindShipBRU(const TBaseRenderUnit* unit) const;
    TBaseRenderUnit* FindShipByName(const std::string& name) const;

    // One physics slice of ms milliseconds.
    void TickPhys(float ms);
    // Told of every hit a moving ship's sweep finds (the record is freed after).
    void SetCollisionListener(std::function<void(TBaseRenderUnit* ship, CollDataClass& hit)> listener) {
        listener_ = std::move(listener);
    }

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    std::vector<TBaseRenderUnit*> ships_;
    std::function<void(TBaseRenderUnit*, CollDataClass&)> listener_;
    // Notes that a ship (by id) met another now; false when it was in
    // contact with it already (kContactGapSeconds).
    bool NoteContact(int32_t ship, int32_t other);

    struct Contact {
        int32_t ship, other;
        double at; // the scene's clock at the last meeting
    };
    std::vector<Contact> contacts_;
    double clock_ = 0.0; // milliseconds of physics slices so far
};

// The scene's physics objects for the run (nullptr before the start-up and
// after the shut-down). Making it installs the scene's ships as the ship list
// that the path finder, the collision search and the detector read.
extern PhysicsSceneClass* PhysicsScene;
void CreatePhysicsScene();
void FreePhysicsScene();

} // namespace vesk
