#pragma once
// Per-class pools of game objects and the global lists the frame's tick
// walks: "deleted" (frees deleted nodes a frame later), "created", "created2"
// and "ticked" (fire their events in insertion order) and "packed".
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/game_object.h"
#include "render/obj_manager.h"

namespace vesk {

// The pool of one class. Objects are made when first handed out, so a large
// capacity costs nothing until it is used.
class TDynamicObjManager : public TEngineObject,
                           public IManagedObjectInitiator,
                           public IManagedObjectDeInitiator {
public:
    TDynamicObjManager(const TGameClass& cls, int32_t capacity);
    const TGameClass& GetClass() const { return cls_; }
    ObjManagerClass* GetPool() const { return pool_; }
    // The next free object, marked with its pool entry; the caller revives it
    // with ReInit.
    TBaseGameObject* getObject();
    void InitObject(ManagedObjectClass& entry) override;
    void DeInitObject(ManagedObjectClass& entry) override;
    void Free() override;
    std::string ClassName() const override { return "TDynamicObjManager"; }

private:
    const TGameClass& cls_;
    ObjManagerClass* pool_;
};

class TObjManagersManager {
public:
    static constexpr int kMaxManagers = 500;
    static constexpr int32_t kDefaultCapacity = 30000;
    ~TObjManagersManager();

    // The pool of the class, made with that capacity when there is none.
    TDynamicObjManager* GetManager(const TGameClass& cls, int32_t capacity);
    TBaseGameObject* GetObject(const TGameClass& cls);
    // The preset pools of the frequently spawned classes (those registered).
    void createStandartManagers();
    // Drops a pool from the registry (it is freed elsewhere).
    void Forget(TDynamicObjManager* m);
    int Count() const { return count_; }
    TDynamicObjManager* Item(int i) const { return managers_[static_cast<size_t>(i)]; }

private:
    std::array<TDynamicObjManager*, kMaxManagers> managers_{};
    int count_ = 0;
};

// Made during start-up before the root "_G".
extern std::unique_ptr<TObjManagersManager> ObjManagersManager;
// The preset pools, in the order createStandartManagers makes them.
inline constexpr int kStandardManagerCount = 22;
extern std::array<TDynamicObjManager*, kStandardManagerCount> StandardManagers;
// Releases the preset pools at shut-down (deferred).
void ReleaseStandartManagers();

// "deleted": its children list is the queue of deleted nodes.
class tDeletedObjects : public TBaseGameObjectList {
    VESK_GAME_CLASS(tDeletedObjects)
public:
    ~tDeletedObjects() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void Add(TBaseGameObject* node);
    void Tick(float dt) override;
    void Delete() override {}
    void Free() override;
    int32_t GetCursor() const { return cursor_; }

private:
    int32_t cursor_ = 0;
    float lastDt_ = 0.0f;
};

class TGameEvent;

// The fire order of a ticked list: the slots of its entries in insertion order.
class TTickedOrder {
public:
    struct Entry {
        int32_t slot;
        uint32_t serial;         // which insertion into that slot this entry stands for
        TBaseGameObject* object; // what that insertion stored
        int32_t objectId;        // its registry id: the same address may later hold another object
        TGameEvent* event;       // the same object as an event, nullptr when it is none
    };
    TTickedOrder();
    void Append(const Entry& entry);
    int32_t GetHighIndex() const { return static_cast<int32_t>(entries_.size()) - 1; }
    int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
    std::vector<Entry>& Entries() { return entries_; }

private:
    std::vector<Entry> entries_;
};

// "created", "created2", "ticked" (and "targetedObjects"): fire their entries
// in insertion order with the frame time kept here.
class tTickedObjects : public TBaseGameObjectList {
    VESK_GAME_CLASS(tTickedObjects)
public:
    ~tTickedObjects() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
    int32_t insertObj(TBaseGameObject* obj) override;
    void Tick(float dt) override;
    float GetFrameTime() const { return frameTime_; }
    int32_t GetHighIndex() const { return order_.GetHighIndex(); }
    const TTickedOrder& GetOrder() const { return order_; }
    // The walk that runs now (numbered from 1), 0 between walks: an entry that
    // notes it when it begins knows whether the walk that reaches it is the one
    // it began in, whose frame time had gone by before it existed.
    uint64_t CurrentWalk() const { return walking_ ? walks_ : 0; }

private:
    // The object of an entry that still stands for its insertion, else nullptr.
    TBaseGameObject* LiveEntry(const TTickedOrder::Entry& e) const;
    // Drops the entries of the order that left, when they are most of it.
    void CompactOrder();
    TTickedOrder order_;
    std::vector<uint32_t> slotSerial_;
    uint32_t nextSerial_ = 1;
    float frameTime_ = 0.0f;
    uint64_t walks_ = 0;
    bool walking_ = false;
};

// "packed": lists whose children lists are compacted on the next tick.
class TPackedObjects : public TBaseGameObjectList {
    VESK_GAME_CLASS(TPackedObjects)
public:
    ~TPackedObjects() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void Tick(float dt) override;
};

class TGameTargetedObjects : public tTickedObjects {
    VESK_GAME_CLASS(TGameTargetedObjects)
public:
    ~TGameTargetedObjects() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

// The global lists (nullptr while they do not exist).
extern tDeletedObjects* DeletedObjects;
extern tTickedObjects* CreatedObjects;
extern tTickedObjects* Created2Objects;
extern tTickedObjects* TickedObjects;
extern TPackedObjects* PackedObjects;
extern tTickedObjects* TargetedObjects;

void RegisterListClasses();

} // namespace vesk
