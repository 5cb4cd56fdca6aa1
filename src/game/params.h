#pragma once
// Parameters: child nodes of the game-object tree that hold one value of a
// fixed kind, with its text form (engine_GetVar / engine_SetVar) and its Lua
// form (saves and loads).
#include <cstdint>
#include <initializer_list>
#include <string>

#include "game/game_object.h"

namespace vesk {

class TGameObjectParamTick;
class TGameLinker;
class TonLink;

// Common base of the value parameters: reads its value back from Lua as text.
class TGameObjectBaseParam : public TBaseGameObject {
    VESK_GAME_CLASS(TGameObjectBaseParam)
public:
    // A key absent from the Lua data (an older save) leaves the value as it is.
    void UpdateToEngine(const std::string& luaVar) override;
};

// A single-precision float.
class TGameObjectSubParam : public TGameObjectBaseParam {
    VESK_GAME_CLASS(TGameObjectSubParam)
public:
    virtual void setValue(float x) { value_ = x; }
    float GetValue() const { return value_; }
    void stringUpdate(const std::string& text) override;
    void stringValue(std::string& out) override;
    float singleValue() override { return value_; }
    void UpdateToScript(const std::string& luaVar) override;
    void CopyStructure(TBaseGameObject*& dest) override;

protected:
    float value_ = 0.0f;
};

// A float kept within [lower, upper].
class TGameObjectCurSubParam : public TGameObjectSubParam {
    VESK_GAME_CLASS(TGameObjectCurSubParam)
public:
    void setValue(float x) override;
    float upper = 1.0e9f;
    float lower = -1.0e9f;
};

// The maximum of a TGameObjectParam: also the upper bound of its "cur".
class TGameObjectMaxSubParam : public TGameObjectSubParam {
    VESK_GAME_CLASS(TGameObjectMaxSubParam)
public:
    void setValue(float x) override;
};

// Current / maximum / speed with its own tick.
class TGameObjectParam : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjectParam)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void stringUpdate(const std::string& text) override;
    void stringValue(std::string& out) override;
    float singleValue() override;

    TGameObjectMaxSubParam* Max() const { return max_; }
    TGameObjectCurSubParam* Cur() const { return cur_; }
    TGameObjectSubParam* Speed() const { return speed_; }
    TGameObjectParamTick* OnTick() const { return onTick_; }

    // One step of the tick with the frame time in milliseconds.
    virtual void TickParam(float dtMs);

protected:
    void ChildLeft(TBaseGameObject* child) override;
    TGameObjectMaxSubParam* max_ = nullptr;
    TGameObjectCurSubParam* cur_ = nullptr;
    TGameObjectSubParam* speed_ = nullptr;
    TGameObjectParamTick* onTick_ = nullptr;
};

class TGameObjectIncDecParam : public TGameObjectParam {
    VESK_GAME_CLASS(TGameObjectIncDecParam)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

// What the engine and versatility parameters push to the physics of their
// game object; the physics side installs it.
class IParamPhysicsLink {
public:
    virtual ~IParamPhysicsLink() = default;
    virtual bool IsPlayerShip(TBaseGameObject* gameObject) = 0;
    // Engine power changed (cur in percent): the speed of an NPC ship or the
    // physics values and speed of the player's ship.
    virtual void PushEngine(TBaseGameObject* gameObject, float cur) = 0;
    // Versatility of the player's ship changed (cur in percent).
    virtual void PushVersatility(TBaseGameObject* gameObject, float cur) = 0;
};
void SetParamPhysicsLink(IParamPhysicsLink* link);
IParamPhysicsLink* GetParamPhysicsLink();
// The link over the AI steering units of the objects' render units.
void InstallParamPhysicsLink();

class TGameObjectParamP_engine : public TGameObjectParam {
    VESK_GAME_CLASS(TGameObjectParamP_engine)
public:
    void TickParam(float dtMs) override;
    float lastPushed = 0.0f;
};

class TGameObjectParamP_versatility : public TGameObjectParam {
    VESK_GAME_CLASS(TGameObjectParamP_versatility)
public:
    void TickParam(float dtMs) override;
    float lastPushed = 0.0f;
};

class TGameObjectStringParam : public TGameObjectBaseParam {
    VESK_GAME_CLASS(TGameObjectStringParam)
public:
    virtual void setValue(const std::string& s) { value_ = s; }
    const std::string& GetValue() const { return value_; }
    void stringUpdate(const std::string& text) override { setValue(text); }
    void stringValue(std::string& out) override { out = value_; }
    void UpdateToScript(const std::string& luaVar) override;
    void CopyStructure(TBaseGameObject*& dest) override;

protected:
    std::string value_;
};

class TGameObjectIntParam : public TGameObjectBaseParam {
    VESK_GAME_CLASS(TGameObjectIntParam)
public:
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    virtual void setValue(int32_t v) { value_ = v; }
    int32_t GetValue() const { return value_; }
    void Inc() { setValue(value_ + 1); }
    void stringUpdate(const std::string& text) override;
    void stringValue(std::string& out) override;
    float singleValue() override { return static_cast<float>(value_); }
    void UpdateToScript(const std::string& luaVar) override;
    void CopyStructure(TBaseGameObject*& dest) override;

protected:
    int32_t value_ = 0;
};

// An integer that never goes to or comes from Lua.
class TGameObjectIntNonSavedParam : public TGameObjectIntParam {
    VESK_GAME_CLASS(TGameObjectIntNonSavedParam)
public:
    void UpdateToScript(const std::string&) override {}
    void UpdateToEngine(const std::string&) override {}
};

// A link to a node named among the children of an association table.
class TGameObjectLinkParam : public TGameObjectBaseParam {
    VESK_GAME_CLASS(TGameObjectLinkParam)
public:
    ~TGameObjectLinkParam() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
    virtual void setValue(TBaseGameObject* node);
    TBaseGameObject* GetLinked() const { return linked_; }
    void SetTable(TBaseGameObject* table);
    TBaseGameObject* GetTable() const;
    TGameLinker* GetLinker() const { return linker_; }
    void stringUpdate(const std::string& text) override;
    void stringValue(std::string& out) override;
    void UpdateToScript(const std::string& luaVar) override;
    void CopyStructure(TBaseGameObject*& dest) override;
    void Message(IEngineObject* sender, int msg, int param) override;

protected:
    bool CheckTable(const char* className);
    void ChildLeft(TBaseGameObject* child) override;
    TBaseGameObject* linked_ = nullptr;
    int32_t tableId_ = 0; // the association table, by id: it may go away first
    TGameLinker* linker_ = nullptr;
};

// A link made on a later tick even when the name exists now.
class TGameObjectDelayedLinkParam : public TGameObjectLinkParam {
    VESK_GAME_CLASS(TGameObjectDelayedLinkParam)
public:
    void stringUpdate(const std::string& text) override;
};

// A link to any engine object, given to scripts as its "hex" id.
class TGameObjectFreeLink : public TBaseGameObject {
    VESK_GAME_CLASS(TGameObjectFreeLink)
public:
    ~TGameObjectFreeLink() override;
    virtual void setValue(TEngineObject* obj);
    TEngineObject* GetValue() const { return linked_; }
    void stringUpdate(const std::string& text) override;
    void stringValue(std::string& out) override;
    void UpdateToScript(const std::string&) override {}
    void UpdateToEngine(const std::string&) override {}
    void Message(IEngineObject* sender, int msg, int param) override;

protected:
    TEngineObject* linked_ = nullptr;
};

// A native procedure run by engine_Execute.
class TGameObjectMethodParam : public TBaseGameObject {
    VESK_GAME_CLASS(TGameObjectMethodParam)
public:
    using Procedure = void (*)(void* data);
    void setValue(Procedure code, void* data) {
        code_ = code;
        data_ = data;
    }
    int Execute(lua_State* L) override;
    void UpdateToScript(const std::string&) override {}
    void UpdateToEngine(const std::string&) override {}

private:
    Procedure code_ = nullptr;
    void* data_ = nullptr;
};

class TGameObjectVectorParam : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjectVectorParam)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void GetVector(float& x, float& y, float& z) const;
    void SetVector(float x, float y, float z);

protected:
    void ChildLeft(TBaseGameObject* child) override;
    TGameObjectSubParam* x_ = nullptr;
    TGameObjectSubParam* y_ = nullptr;
    TGameObjectSubParam* z_ = nullptr;
};

class TGameMinMaxParam : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameMinMaxParam)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    TGameObjectSubParam* Min() const { return min_; }
    TGameObjectSubParam* Max() const { return max_; }

protected:
    void MakeChildren();
    void ChildLeft(TBaseGameObject* child) override;
    TGameObjectSubParam* min_ = nullptr;
    TGameObjectSubParam* max_ = nullptr;
};

class TGameMinMaxPhysicParams : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameMinMaxPhysicParams)
public:
    // The values of the set, one child each, in the order the physics reads
    // them (TPhysicMinMaxSet).
    static constexpr const char* kValueNames[] = {"rollForceMultiply", "rollFading", "rollAngle",
                                                  "rotateVelocity",    "rotateMass", "maxVelocity",
                                                  "accelerateTime"};

    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;

private:
    void MakeChildren();
};

// The standard parameter set of a game object.
class TGameObjectParams : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjectParams)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Ticks on for the changing values, off for the static ones.
    void ResetTicks();
};

// Owners that make many plain parameters list them by name and kind.
enum class ParamKind { String, Sub, Int, Value };
struct ParamSpec {
    const char* name;
    ParamKind kind;
};
// Makes the parameters under owner in list order (Value is a TGameObjectParam).
void AddParams(TBaseGameObject* owner, std::initializer_list<ParamSpec> specs);

// The parameter of that name in an object's standard set ("param"), nullptr
// when the object has none.
TGameObjectParam* FindObjectParam(const TBaseGameObject* obj, std::string_view name);

// Registers the parameter classes scripts may create by name.
void RegisterParamClasses();

} // namespace vesk
