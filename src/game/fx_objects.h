#pragma once
// Effect objects: game objects show visual effects at the helpers of their
// render units. An effect link names a template of the Lua "fx" table, the
// object and the helper; shown, it makes an effect object, which spawns the
// effect's render unit. The destruction effects show a destroyed object's
// explosion and debris for a time. The timed effect counts time while enabled
// and, when the time is up, fires its end and deletes itself.
#include <string>

#include "game/effect_links.h"
#include "game/events.h"
#include "game/object_effects.h"
#include "game/scene_object.h"

namespace vesk {

class TGameObjectStringParam;
class TGameObjectSubParam;
class TGameObjectIntParam;
class TGameObjectLinkParam;
class TGameObjectFreeLink;
class TGameObjectFx;

class TGameObjectFxLink : public TBaseGameObjectList, public IGameFxLink {
    VESK_GAME_CLASS(TGameObjectFxLink)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // The template is looked up when the link is created: a name the "fx" table
    // does not have is a fatal report.
    virtual void onCreatedFunc(TEngineObject* obj, TEngineObject* data);
    // Shows the link: the previous effect object goes, a new one spawns the effect.
    virtual void Show();
    // Deletes the effect object.
    virtual void Hide();

    // IGameFxLink: shown on the object (it becomes the link's object).
    void ShowFx(TBaseGameObject* object) override;
    void HideFx() override { Hide(); }
    bool IsFxShown() const override { return EffectObject() != nullptr; }

    TGameObjectStringParam* Fx() const { return fx_; }
    TGameObjectLinkParam* ObjId() const { return objId_; }
    TGameObjectStringParam* HelperId() const { return helperId_; }
    TGameObjectFreeLink* FxLink() const { return fxLink_; }
    TGameObjectFreeLink* FxPointer() const { return fxPointer_; }
    TonCreated* OnCreated() const { return onCreated_; }
    TGameObjectFx* EffectObject() const;

protected:
    void ChildLeft(TBaseGameObject* child) override;
    // The effect object made by Show (a TGameObjectFx by default).
    virtual TGameObjectFx* MakeEffectObject();

private:
    TGameObjectStringParam* fx_ = nullptr;
    TGameObjectLinkParam* objId_ = nullptr;
    TGameObjectStringParam* helperId_ = nullptr;
    TGameObjectFreeLink* fxLink_ = nullptr;
    TonCreated* onCreated_ = nullptr;
    TGameObjectFreeLink* fxPointer_ = nullptr;
};

// Shown while a parameter of its object is at or below a share of its maximum.
class TGameObjectDamageFxLink : public TGameObjectFxLink, public IGameDamageFxLink {
    VESK_GAME_CLASS(TGameObjectDamageFxLink)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // IGameDamageFxLink
    void ShowFx(TBaseGameObject* object) override { TGameObjectFxLink::ShowFx(object); }
    void HideFx() override { TGameObjectFxLink::HideFx(); }
    bool IsFxShown() const override { return TGameObjectFxLink::IsFxShown(); }
    float ThresholdPercent() const override;
    std::string WatchedParam() const override;
    TGameObjectSubParam* Procent() const { return procent_; }
    TGameObjectStringParam* Param() const { return param_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameObjectSubParam* procent_ = nullptr;
    TGameObjectStringParam* param_ = nullptr;
};

// The effect object: its render unit is the effect spawned at its carrier's helper.
class TGameObjectFx : public TBaseGameSceneObject {
    VESK_GAME_CLASS(TGameObjectFx)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Pooled: made once with its children, revived with their start values.
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    // A script-made effect object spawns its effect when it is created.
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    // Spawns the effect at the carrier's helper; nothing without a carrier unit.
    virtual void CreateBru();

    TGameObjectStringParam* FxId() const { return fxId_; }
    TGameObjectFreeLink* FxLink() const { return fxLink_; }
    TGameObjectStringParam* HelperId() const { return helperId_; }
    TGameObjectLinkParam* ObjId() const { return objId_; }
    TGameObjectFreeLink* HexId() const { return hexId_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    void MakeFxChildren();
    TGameObjectStringParam* fxId_ = nullptr;
    TGameObjectFreeLink* fxLink_ = nullptr;
    TGameObjectStringParam* helperId_ = nullptr;
    TGameObjectLinkParam* objId_ = nullptr;
    TGameObjectFreeLink* hexId_ = nullptr;
};

// ---- destruction effects ---------------------------------------------------------------------

// An effect object that ends after "time" seconds: it fires "onEndTime" and deletes itself.
class TGameObjectDestroyFx : public TGameObjectFx {
    VESK_GAME_CLASS(TGameObjectDestroyFx)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    void Delete() override;
    TGameObjectSubParam* Time() const { return time_; }
    TGameEvent* OnEndTime() const { return onEndTime_; }
    float Elapsed() const { return elapsed_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    void MakeDestroyChildren();
    void OnTickFunc();
    TGameObjectSubParam* time_ = nullptr;
    TGameEvent* onEndTime_ = nullptr;
    TonTick* onTick_ = nullptr;
    float elapsed_ = 0.0f;
};

// The explosion of a destroyed object: its link shows a timed effect object.
class TDestroyFxLink : public TGameObjectFxLink, public IGameDestroyFxEntry {
    VESK_GAME_CLASS(TDestroyFxLink)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // IGameDestroyFxEntry: an effect object of the destroyed object's own,
    // in its effect list, shown for "time" seconds.
    float DestroyFxTime() const override;
    void SpawnDestroyFx(TBaseGameObject* object) override;
    TGameObjectSubParam* Time() const { return time_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;
    TGameObjectFx* MakeEffectObject() override;

private:
    TGameObjectSubParam* time_ = nullptr;
};

// Debris of a destroyed object: a body of its own model where the wreck
// stands, which drifts off and ends after its lifetime.
class TAbandonedDestroyFx : public TBaseGameSceneObject {
    VESK_GAME_CLASS(TAbandonedDestroyFx)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    void Delete() override;
    // The destroyed object the debris comes from.
    void SetWreck(TBaseGameObject* wreck);
    TGameObjectStringParam* Mesh() const { return mesh_; }
    TGameObjectSubParam* LifeTime() const { return lifetime_; }
    TGameEvent* OnDeleted() const { return onDeleted_; }
    TGameObjectIntParam* IsDeletedParam() const { return isDeleted_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    void OnTickFunc();
    TGameObjectStringParam* mesh_ = nullptr;
    TGameObjectSubParam* lifetime_ = nullptr;
    TGameEvent* onDeleted_ = nullptr;
    TGameObjectIntParam* isDeleted_ = nullptr;
    TonTick* onTick_ = nullptr;
    float elapsed_ = 0.0f;
    int32_t wreckId_ = 0;
};

// The debris link: it describes debris ("mesh", "time", "lifetime") and is never shown itself.
class TDestroyFxAbandonedLink : public TGameObjectFxLink, public IGameDestroyFxEntry {
    VESK_GAME_CLASS(TDestroyFxAbandonedLink)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Refused: a fatal report.
    void Show() override;
    // IGameDestroyFxEntry: debris of the destroyed object that ends after "lifetime".
    float DestroyFxTime() const override;
    void SpawnDestroyFx(TBaseGameObject* object) override;

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameObjectStringParam* mesh_ = nullptr;
    TGameObjectSubParam* time_ = nullptr;
    TGameObjectSubParam* lifetime_ = nullptr;
};

// ---- the timed effect ------------------------------------------------------------------------

class TGameTimeEffect : public TGameObjectEffect {
    VESK_GAME_CLASS(TGameTimeEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    void onEnableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onDisableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onTickFunc(TEngineObject* obj, TEngineObject* data) override;
    // Counts dt (milliseconds); at the end fires "onEndTime" and deletes the effect.
    void Advance(float dtMs);

    TGameObjectFreeLink* FuncLink() const { return funcLink_; }
    TGameEvent* OnEndTime() const { return onEndTime_; }
    TGameObjectSubParam* TimeMax() const { return timeMax_; }
    TGameObjectSubParam* TimeCur() const { return timeCur_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameObjectFreeLink* funcLink_ = nullptr;
    TGameEvent* onEndTime_ = nullptr;
    TGameObjectSubParam* timeMax_ = nullptr;
    TGameObjectSubParam* timeCur_ = nullptr;
};

// The template of an entry of the Lua "fx" table (its "hex"); nullptr when
// the table has no such entry.
TEngineObject* FxTableTemplate(const std::string& fx);

void RegisterFxObjectClasses();

} // namespace vesk
