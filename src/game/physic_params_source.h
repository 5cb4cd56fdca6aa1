#pragma once
// The physics-parameter list of a ship's game object as the physics record
// reads it: each entry is a named child parameter.
#include "physics/ph_config.h"

namespace vesk {

class TBaseGameObject;

class GamePhysicParamsSource : public IPhysicParamsSource {
public:
    // list: the object holding the ph_* parameters (nullptr reads nothing).
    explicit GamePhysicParamsSource(TBaseGameObject* list) : list_(list) {}
    bool GetNumber(const std::string& name, float& out) override;
    bool GetText(const std::string& name, std::string& out) override;
    // A number other than 0, or the text "true" in any case.
    bool GetBool(const std::string& name, bool& out) override;

private:
    TBaseGameObject* list_;
};

} // namespace vesk
