#pragma once
// The game-object tree with the game logic's classes, functions and roots
// ("gameSystem", "bal"), and a recording scene link in place of the render
// units and the space scene.
#include <string>
#include <vector>

#include "game/game_functions.h"
#include "game/scene_link.h"
#include "game/statistics.h"
#include "game_tree_fixture.h"

namespace vesk::test {

// A render unit as far as the game side sees one.
class FakeUnit : public TEngineObject {
public:
    std::string ClassName() const override { return "FakeUnit"; }
};

struct RecordingSceneLink : IGameSceneLink {
    float radius = 0.0f;
    std::vector<std::string> calls;
    float BSphereRadius(TEngineObject* u) override {
        calls.push_back("radius " + u->GetHex());
        return radius;
    }
    void Kill(TEngineObject* u) override { calls.push_back("kill " + u->GetHex()); }
    void SetCollisionEvent(TEngineObject* u, tOnCollision* e) override {
        calls.push_back("collision " + u->GetHex() + (e ? " " + e->GetName() : " nil"));
    }
    void SwitchRayGroup(TEngineObject* u, const std::string& g, bool on) override {
        calls.push_back(std::string(on ? "rays on " : "rays off ") + u->GetHex() + " " + g);
    }
    void SetDustMode(int mode) override { calls.push_back("dust " + std::to_string(mode)); }
};

class GameLogicTest : public GameTreeTest {
protected:
    void SetUp() override {
        GameTreeTest::SetUp();
        RegisterGameLogicClasses();
        RegisterGameLogicFunctions();
        CreateGameLogicRoots(GlobalObjects);
        CreateStatistics();
        SetGameSceneLink(&link);
    }
    void TearDown() override {
        SetGameSceneLink(nullptr);
        if (Statistics) Statistics->Delete();
        GameTreeTest::TearDown();
        for (FakeUnit* u : units) u->Free();
    }
    FakeUnit* NewUnit() {
        units.push_back(TEngineObject::New<FakeUnit>());
        return units.back();
    }
    RecordingSceneLink link;
    std::vector<FakeUnit*> units;
};

} // namespace vesk::test
