#pragma once
// The game-object tree: the named object model of the game logic and the
// mirror of the Lua globals. Every game object, parameter, event, list and
// manager is a node under the root "_G"; scripts reach nodes by dotted paths.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "game/child_list.h"
#include "game/game_class.h"
#include "shared/engine_object.h"

struct lua_State;

namespace vesk {

class ManagedObjectClass;

// Messages game objects send to their subscribers.
inline constexpr int EM_OBJECT_DELETED = 3;

class TBaseGameObject : public TEngineObject {
    VESK_GAME_CLASS_ROOT(TBaseGameObject)
public:
    TBaseGameObject();
    ~TBaseGameObject() override;

    // ---- virtual operations, in the tree's slot order ------------------------
    virtual void SetParent(TBaseGameObject* parent);
    // Constructor used when a class is created by name.
    virtual void Create(const std::string& name, TBaseGameObject* parent);
    // Constructor of a pool entry: no name, no parent, marked deleted.
    virtual void CreateEmpty();
    // Revives a pooled node.
    virtual void ReInit(const std::string& name, TBaseGameObject* parent);
    virtual void Delete();
    virtual void Tick(float dt);
    // A Lua-called action; returns the number of results pushed.
    virtual int Execute(lua_State* L);
    virtual void stringUpdate(const std::string& text);
    virtual void stringValue(std::string& out);
    virtual float singleValue();
    // The child of that name; a missing child is a fatal report.
    virtual TBaseGameObject* Get(std::string_view name);
    virtual TBaseGameObject* FindChild(std::string_view name);
    virtual void UpdateToScript(const std::string& luaVar);
    virtual void UpdateToEngine(const std::string& luaVar);
    // Copies this node's child structure into dest.
    virtual void CopyStructure(TBaseGameObject*& dest);
    virtual void Save();
    virtual void Load();
    virtual void saveData(const std::string& fileName);
    virtual void loadData(const std::string& fileName);
    virtual void First(int32_t& cursor);
    virtual bool Next(int32_t& cursor, TBaseGameObject*& child);

    // Gives pooled nodes back to their pool; frees the rest.
    void Free() override;
    // Builds this node as an entry of its class's pool: CreateEmpty, or, for a
    // class whose own Create makes more than its CreateEmpty (poolByCreate),
    // that Create without name or parent, then emptied as CreateEmpty empties.
    // An entry built with children keeps them while it waits in the pool, and
    // each time it is handed out it has those children and no others, and its
    // events start again as they were built.
    void BuildPoolEntry();

    // ---- other operations -----------------------------------------------------
    // The nearest ancestor of exactly that class; a fatal report when none.
    TBaseGameObject* getParentByClass(const TGameClass& cls);
    void AppendIdToName();
    void DeleteChildren();
    int32_t CountChildren() const;
    void Pack();

    // ---- fields -----------------------------------------------------------------
    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name);
    TBaseGameObject* GetParent() const { return parent_; }
    int32_t GetIndexInParent() const { return indexInParent_; }
    void SetIndexInParent(int32_t i) { indexInParent_ = i; }
    bool IsDeleted() const { return deleted_; }
    ManagedObjectClass* GetPoolEntry() const { return poolEntry_; }
    void SetPoolEntry(ManagedObjectClass* e) { poolEntry_ = e; }
    const TGameClass* GetDefaultChildClass() const { return defaultChildClass_; }
    void SetDefaultChildClass(const TGameClass* cls) { defaultChildClass_ = cls; }
    TChildList* GetObjects() const { return objects_.get(); }

protected:
    // Owners that keep references to children drop them here: a child that left
    // may be freed without the owner knowing otherwise.
    virtual void ChildLeft(TBaseGameObject* child);
    void EnsureObjects();
    // Empties the children list, detaching the children that still name this node as parent.
    void OrphanChildren();
    void DropObjects() { objects_.reset(); }
    // Runs one statement of generated Lua.
    static void RunLua(const std::string& chunk);

    // How the events of a pool entry built with children stood when it was made.
    struct PoolStart;

    bool deleted_ = false;
    TBaseGameObject* parent_ = nullptr;
    int32_t indexInParent_ = -1;
    ManagedObjectClass* poolEntry_ = nullptr;
    const TGameClass* defaultChildClass_ = nullptr;
    std::unique_ptr<TChildList> objects_;
    std::string name_;
    std::unique_ptr<PoolStart> poolStart_; // only for pool entries built with children
};

// A node that holds children.
class TBaseGameObjectList : public TBaseGameObject {
    VESK_GAME_CLASS(TBaseGameObjectList)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void Tick(float dt) override;
    // Stores obj in the first free slot of the children list; returns the slot.
    virtual int32_t insertObj(TBaseGameObject* obj);
};

// The root "_G".
class TGlobalObjects : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGlobalObjects)
public:
    ~TGlobalObjects() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // The child "player"; asked for many times a frame, its lookup is kept.
    TBaseGameObject* Player() { return player_.Find(this, "player"); }

private:
    TChildRef<TBaseGameObject> player_;
};

// Deletes a pooled node the way pooled game objects go: it leaves its parent,
// its subscribers hear EM_OBJECT_DELETED and it waits on the deleted-objects
// list for its pool; its children stay for the next use. False when the node
// is not pooled or already deleted (the caller deletes it as any node).
bool DeletePooledKeepingChildren(TBaseGameObject* node);
// Frees the children a deleted pooled node kept, with their own children,
// when its pool lets it go for good.
void FreeKeptChildren(TBaseGameObject* node);

// Makes a node of class T with Create(name, parent).
template <class T> T* NewGameObject(const std::string& name, TBaseGameObject* parent) {
    T* obj = new T();
    obj->Create(name, parent);
    return obj;
}
// Makes a node of a class found by name.
TBaseGameObject* NewGameObject(const TGameClass& cls, const std::string& name, TBaseGameObject* parent);

// ---- the tree's globals and paths -------------------------------------------------
// The root every path lookup starts from (nullptr before start-up).
extern TGlobalObjects* GlobalObjects;

// Walks the path from the root with Get (a missing part is a fatal report).
TBaseGameObject* GetVarByPath(std::string_view path);
// The same walk with FindChild; nullptr as soon as a part is missing.
TBaseGameObject* FindVarByPath(std::string_view path);
// The dotted path from below the root down to the node.
std::string GetLuaPath(const TBaseGameObject* node);
// "->name" for the node and then each ancestor up to the root (messages only).
std::string GetDebugPath(const TBaseGameObject* node);
// The live game object with that registry id, nullptr when none.
TBaseGameObject* GameObjectById(int32_t id);
// An object from a script's "hex" text: "0" is no object; a bad text or an id
// that names no live object is a fatal report (nullptr).
TEngineObject* ObjectFromHexText(const std::string& text, const std::string& context);

// The nine category words.
extern const char* const kCategoryDefault;
extern const char* const kCategoryStandart;
extern const char* const kCategoryRocket;
extern const char* const kCategorySatellit;
extern const char* const kCategoryContainer;
extern const char* const kCategoryAbandoned;
extern const char* const kCategoryService;
extern const char* const kCategoryTurret;
extern const char* const kCategoryGun;

} // namespace vesk
