#pragma once
// What a ship's AI remembers and keeps to: the memory of ships nearby, and
// the two anchor lists of a ship model — "enemies" (hostile ships near the
// home anchor) and "patrols" (the numbered points of its patrol route). The
// lists hold their main anchor and range; the searches for the best enemy
// and the next patrol point scan the global lists directly.
#include <string>

#include "game/game_object.h"

namespace vesk {

class TGameObjectFreeLink;
class TGameObjectSubParam;
class TGameObjectIntParam;
class TBaseRenderUnit;

// One remembered object: a link to it and its range.
class TGameObjectMemoryNode : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjectMemoryNode)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    TEngineObject* Object() const;
    void SetObject(TEngineObject* obj);
    float Range() const;
    void SetRange(float range);

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameObjectFreeLink* obj_ = nullptr;
    TGameObjectSubParam* range_ = nullptr;
};

// Remembered objects, one node per object, named after it.
class TGameObjectMemory : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjectMemory)
public:
    // The node named after the object (made when missing) takes its range.
    void Remember(TBaseGameObject* obj, float range);
    // Deletes every node and packs the list.
    void Forget();
};

// A patrol point as the route remembers it: its place in the route.
class TGameAiAnchor : public TGameObjectMemoryNode {
    VESK_GAME_CLASS(TGameAiAnchor)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    int32_t Number() const;
    void SetNumber(int32_t n);
};

// Remembered objects around a main anchor within a range.
class TGameAiAnchorList : public TGameObjectMemory {
    VESK_GAME_CLASS(TGameAiAnchorList)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // engine_Execute(path, "updateObj", object hex, range): the scripts feed the list.
    int Execute(lua_State* L) override;

    // The ship the list belongs to (the list's parent's parent).
    TBaseGameObject* Owner() const;
    void SetAnchor(TEngineObject* anchor, float range);
    TEngineObject* MainAnchor() const;
    float MaxRange() const;
    virtual void updateObj(TBaseGameObject* obj, float range);
    virtual TBaseGameObject* getNextAnchor(TBaseGameObject* current);

protected:
    void ChildLeft(TBaseGameObject* child) override;
    // The anchor's render unit, nullptr without an anchor or a unit.
    TBaseRenderUnit* AnchorUnit() const;

private:
    TGameObjectFreeLink* mainAnchor_ = nullptr;
    TGameObjectSubParam* maxRange_ = nullptr;
};

class TGameAiEnemies : public TGameAiAnchorList {
    VESK_GAME_CLASS(TGameAiEnemies)
public:
    void updateObj(TBaseGameObject* obj, float range) override;
    // The hostile ship near the main anchor that the fewest AI ships fight;
    // the first met in "targetedObjects" wins a tie. nullptr when none.
    TBaseGameObject* BestEnemy() const;
};

class TGameAiPatrols : public TGameAiAnchorList {
    VESK_GAME_CLASS(TGameAiPatrols)
public:
    void updateObj(TBaseGameObject* obj, float range) override;
    // The anchor point with the smallest number above the current point's
    // within the range of the main anchor; nullptr ends the route.
    TBaseGameObject* getNextAnchor(TBaseGameObject* current) override;
};

void RegisterAiAnchorClasses();

} // namespace vesk
