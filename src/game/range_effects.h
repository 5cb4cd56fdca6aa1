#pragma once
// Range effects watch distances every tick. A range effect counts how many
// objects of its second group are within reach of its first group; the
// universal one then fires one of three scripted events and goes. The magnet
// destroys every rocket and mine that comes within its radius of the object
// carrying it.
#include <string>

#include "game/object_effects.h"

namespace vesk {

class TGameObjectIntParam;
class TGameObjectLinkParam;
class TGameObjectSubParam;

// One object of a range group and its reach (0: its bounding-sphere radius).
class TGameObjectRangedLink : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjectRangedLink)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    TBaseGameObject* Object() const;
    TGameObjectSubParam* Radius() const;
};

// A group of ranged links.
class TGameObjsLinksList : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjsLinksList)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Deletes the links whose object is gone and compacts the list.
    void DropLost();
};

class TGameRangeEffect : public TGameObjectEffect {
    VESK_GAME_CLASS(TGameRangeEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void onEnableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onDisableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onTickFunc(TEngineObject* obj, TEngineObject* data) override;
    // Recounts the objects of the second group in and out of reach of the first.
    void Count();

    int32_t InRadiusAll() const;
    int32_t OutRadiusAll() const;
    TGameObjsLinksList* Objs1() const;
    TGameObjsLinksList* Objs2() const;
};

class TGameUniversalRangeEffect : public TGameRangeEffect {
    VESK_GAME_CLASS(TGameUniversalRangeEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void onTickFunc(TEngineObject* obj, TEngineObject* data) override;
    // The count, then the scripted event it calls for; the effect goes once
    // an event with code has fired.
    void Check();
};

class TMagnitEffect : public TGameObjectEffect {
    VESK_GAME_CLASS(TMagnitEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void onEnableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onTickFunc(TEngineObject* obj, TEngineObject* data) override;
    // Destroys the rockets and mines within the radius of the carrier.
    void Pull();
};

void RegisterRangeEffectClasses();

} // namespace vesk
