#pragma once
// Indexed object pools: a pool hands out prepared slots and takes them back in
// constant time, and grows by its fixed step instead of failing.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shared/engine_object.h"

namespace vesk {

class ManagedObjectClass;
class ObjManagerClass;

// Fills a slot when the pool makes it (once per slot, at creation or growth).
class IManagedObjectInitiator {
public:
    virtual ~IManagedObjectInitiator() = default;
    virtual void InitObject(ManagedObjectClass& slot) = 0;
};

// Empties a slot when the pool is destroyed.
class IManagedObjectDeInitiator {
public:
    virtual ~IManagedObjectDeInitiator() = default;
    virtual void DeInitObject(ManagedObjectClass& slot) = 0;
};

// Told when a slot is handed out and when it comes back.
class IManagedObjectActioner {
public:
    virtual ~IManagedObjectActioner() = default;
    virtual void ActivateObject(ManagedObjectClass& slot) = 0;
    virtual void DeactivateObject(ManagedObjectClass& slot) = 0;
};

// One slot of a pool. Its data block belongs to the slot; a small block (the
// usual reference or record) lives inside the slot itself, so the slots of a
// pool and their data lie together in memory.
class ManagedObjectClass {
public:
    // Blocks up to this size (8-byte aligned) are kept in the slot.
    static constexpr size_t kInlineBytes = 16;

    ManagedObjectClass(ObjManagerClass* manager, int32_t position) : position_(position), manager_(manager) {}
    ~ManagedObjectClass() { DropBlock(); }
    ManagedObjectClass(const ManagedObjectClass&) = delete;
    ManagedObjectClass& operator=(const ManagedObjectClass&) = delete;

    // Gives the slot back to its pool.
    void ReturnToPool();
    // Stores one object reference (a slot that already has data is a fatal fault).
    void SetData(void* object);
    // A block of size bytes, copied from source when given.
    void SetStructData(const void* source, size_t size);
    void DeleteStructData();
    // The stored reference; nullptr when the slot has no block.
    void* GetData() const;
    void* GetDataPtr() { return Block(); }
    size_t GetDataSize() const { return size_ & kSizeBits; }
    bool HasData() const { return (size_ & kHasBlock) != 0; }

    int32_t GetPosition() const { return position_; }
    ObjManagerClass* GetManager() const { return manager_; }

private:
    friend class ObjManagerClass;
    void DropBlock();
    // The block: in the slot when small enough, else one of its own.
    std::byte* Block() const {
        if (!HasData()) return nullptr;
        return GetDataSize() <= kInlineBytes ? const_cast<std::byte*>(inline_) : heap_;
    }

    static constexpr uint32_t kHasBlock = 0x80000000u;
    static constexpr uint32_t kSizeBits = ~kHasBlock;
    int32_t position_;
    uint32_t size_ = 0; // the block's size, with kHasBlock while there is one
    ObjManagerClass* manager_;
    union {
        alignas(8) std::byte inline_[kInlineBytes];
        std::byte* heap_;
    };
};

// Cursor over the slots in use.
struct ObjManagerIteratorClass {
    int32_t position = 0;
};

// Made with TEngineObject::New and ended with Free. Handlers that are engine
// objects are watched: one that goes away is dropped from the pool.
class ObjManagerClass : public TEngineObject {
public:
    // Makes capacity slots and runs the initiator on each. Handlers may be null.
    ObjManagerClass(int32_t capacity, IManagedObjectActioner* actioner,
                    IManagedObjectDeInitiator* deinitiator, IManagedObjectInitiator* initiator,
                    std::string name, int32_t growthStep);
    // Runs the de-initiator on every slot, frees the slots, then the pool.
    void Free() override;
    void Message(IEngineObject* sender, int msg, int param) override;
    std::string ClassName() const override { return "ObjManagerClass"; }

    // The next free slot; taking the last free one grows the pool at once.
    ManagedObjectClass* GetObject();
    ManagedObjectClass* GetFreeObject() { return GetObject(); }
    // Takes back the slot at a position of the order array.
    void ReleaseObject(int32_t position);

    int32_t GetUsedCount() const { return used_; }
    int32_t GetCapacity() const { return capacity_; }
    const std::string& GetName() const { return name_; }
    int32_t GetGrowthStep() const { return growthStep_; }

    // A slot by its id (ids run from 0 to the capacity and never change);
    // nullptr for an id the pool has not made.
    ManagedObjectClass* ObjectAt(int32_t id) const {
        return id >= 0 && id < capacity_ ? objects_[static_cast<size_t>(id)] : nullptr;
    }
    // The id of a slot of this pool.
    int32_t SlotId(const ManagedObjectClass& slot) const {
        return order_[static_cast<size_t>(slot.position_)];
    }

    ObjManagerIteratorClass NewIterator() const { return {}; }
    // The next slot in use, in order-array order; false at the end (the cursor is reset).
    bool Next(ObjManagerIteratorClass& it, ManagedObjectClass*& slot) const;

protected:
    ~ObjManagerClass() override = default;

private:
    void Grow();
    void MakeSlots(int32_t from, int32_t to);
    void FreeSlots();
    // A handler that is an engine object: each tells the other of its end.
    void Watch(TEngineObject* handler);

    // Slots are made a growth at a time, in one block each (addresses stay put);
    // objects_ finds a slot by its id.
    struct SlotBlockDeleter {
        size_t count;
        void operator()(ManagedObjectClass* p) const;
    };
    std::vector<std::unique_ptr<ManagedObjectClass, SlotBlockDeleter>> blocks_;
    std::vector<ManagedObjectClass*> objects_;
    std::vector<int32_t> order_;
    int32_t used_ = 0;
    int32_t capacity_ = 0;
    std::string name_;
    int32_t growthStep_;
    IManagedObjectInitiator* initiator_;
    IManagedObjectDeInitiator* deinitiator_;
    IManagedObjectActioner* actioner_;
};

// An owner that is its own initiator, de-initiator and actioner.
class AbstractObjManagerClass : public TEngineObject,
                                public IManagedObjectInitiator,
                                public IManagedObjectDeInitiator,
                                public IManagedObjectActioner {
public:
    AbstractObjManagerClass() = default;
    // Makes the pool with this object as all three handlers.
    virtual void Create(int32_t capacity, const std::string& name, int32_t growthStep);
    void InitObject(ManagedObjectClass&) override {}
    void DeInitObject(ManagedObjectClass&) override {}
    void ActivateObject(ManagedObjectClass&) override {}
    void DeactivateObject(ManagedObjectClass&) override {}
    ObjManagerClass* GetPool() const { return pool_; }
    // Frees the pool while this object is still whole, then itself.
    void Free() override;

private:
    ObjManagerClass* pool_ = nullptr;
};

} // namespace vesk
