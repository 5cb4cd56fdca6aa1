#include "render/obj_manager.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "shared/errors.h"

namespace vesk {

void ManagedObjectClass::ReturnToPool() {
    if (manager_) manager_->ReleaseObject(position_);
}

void ManagedObjectClass::SetData(void* object) {
    SetStructData(&object, sizeof(object));
}

void ManagedObjectClass::SetStructData(const void* source, size_t size) {
    if (HasData()) {
        ErrorReport("ManagedObjectClass.SetData: pData<>nil, " +
                        (manager_ ? manager_->GetName() : std::string()),
                    "mhl");
        return;
    }
    if (size > kSizeBits) {
        ErrorReport("ManagedObjectClass.SetData: block too large, " +
                        (manager_ ? manager_->GetName() : std::string()),
                    "mhl");
        return;
    }
    std::byte* block = inline_;
    if (size > kInlineBytes) {
        block = new std::byte[size];
        heap_ = block;
    }
    size_ = static_cast<uint32_t>(size) | kHasBlock;
    std::memset(block, 0, size <= kInlineBytes ? kInlineBytes : size);
    if (source && size) std::memcpy(block, source, size);
}

void ManagedObjectClass::DropBlock() {
    if (HasData() && GetDataSize() > kInlineBytes) delete[] heap_;
    size_ = 0;
}

void ManagedObjectClass::DeleteStructData() {
    if (!HasData()) {
        ErrorReport("ManagedObjectClass.DeleteStructData: pData = nil, " +
                        (manager_ ? manager_->GetName() : std::string()),
                    "mhl");
        return;
    }
    DropBlock();
}

void* ManagedObjectClass::GetData() const {
    if (!HasData() || GetDataSize() < sizeof(void*)) return nullptr;
    void* p = nullptr;
    std::memcpy(&p, Block(), sizeof(p));
    return p;
}

ObjManagerClass::ObjManagerClass(int32_t capacity, IManagedObjectActioner* actioner,
                                 IManagedObjectDeInitiator* deinitiator, IManagedObjectInitiator* initiator,
                                 std::string name, int32_t growthStep)
    : name_(std::move(name)), growthStep_(growthStep), initiator_(initiator), deinitiator_(deinitiator),
      actioner_(actioner) {
    Watch(dynamic_cast<TEngineObject*>(initiator));
    Watch(dynamic_cast<TEngineObject*>(deinitiator));
    Watch(dynamic_cast<TEngineObject*>(actioner));
    if (capacity < 0) capacity = 0;
    objects_.reserve(static_cast<size_t>(capacity));
    order_.reserve(static_cast<size_t>(capacity));
    MakeSlots(0, capacity);
    capacity_ = capacity;
}

void ObjManagerClass::Watch(TEngineObject* handler) {
    if (handler && handler != this && !IsSubscriber(handler)) AddMutualSubscriber(handler);
}

void ObjManagerClass::Free() {
    name_ = "_deleted_" + name_;
    FreeSlots();
    deinitiator_ = nullptr;
    used_ = 0;
    capacity_ = 0;
    order_.clear();
    TEngineObject::Free();
}

void ObjManagerClass::FreeSlots() {
    if (deinitiator_)
        for (ManagedObjectClass* slot : objects_) deinitiator_->DeInitObject(*slot);
    objects_.clear();
    blocks_.clear();
}

void ObjManagerClass::SlotBlockDeleter::operator()(ManagedObjectClass* p) const {
    for (size_t i = 0; i < count; ++i) p[i].~ManagedObjectClass();
    ::operator delete (static_cast<void*>(p), std::align_val_t{alignof(ManagedObjectClass)});
}

void ObjManagerClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (dynamic_cast<TEngineObject*>(initiator_) == gone) initiator_ = nullptr;
        if (dynamic_cast<TEngineObject*>(deinitiator_) == gone) deinitiator_ = nullptr;
        if (dynamic_cast<TEngineObject*>(actioner_) == gone) actioner_ = nullptr;
    }
    TEngineObject::Message(sender, msg, param);
}

void ObjManagerClass::MakeSlots(int32_t from, int32_t to) {
    if (to <= from) return;
    const size_t count = static_cast<size_t>(to - from);
    // One block for the whole growth: the slots handed out one after another
    // lie one after another.
    auto* block = static_cast<ManagedObjectClass*>(
        ::operator new (count * sizeof(ManagedObjectClass), std::align_val_t{alignof(ManagedObjectClass)}));
    for (size_t i = 0; i < count; ++i)
        new (block + i) ManagedObjectClass(this, from + static_cast<int32_t>(i));
    blocks_.emplace_back(block, SlotBlockDeleter{count});
    for (size_t i = 0; i < count; ++i) {
        objects_.push_back(block + i);
        order_.push_back(from + static_cast<int32_t>(i));
    }
    if (initiator_)
        for (size_t i = 0; i < count; ++i) initiator_->InitObject(block[i]);
}

void ObjManagerClass::Grow() {
    // A pool grows by its own step, so what it holds follows what is asked of
    // it; one made with no step still must not run dry. The slots of a step
    // come in a block of their own and never move; the two index arrays grow
    // by half their size at a time, so a pool that grows many steps in one
    // frame copies them only now and then.
    const int32_t step = std::max(growthStep_, int32_t{1});
    const int32_t newCapacity = capacity_ + step;
    const size_t room = static_cast<size_t>(newCapacity);
    if (objects_.capacity() < room) {
        const size_t ahead = std::max(room, objects_.capacity() + objects_.capacity() / 2);
        objects_.reserve(ahead);
        order_.reserve(ahead);
    }
    MakeSlots(capacity_, newCapacity);
    capacity_ = newCapacity;
}

ManagedObjectClass* ObjManagerClass::GetObject() {
    if (used_ >= capacity_) Grow();
    ManagedObjectClass* slot = objects_[static_cast<size_t>(order_[static_cast<size_t>(used_)])];
    if (actioner_) actioner_->ActivateObject(*slot);
    ++used_;
    if (used_ >= capacity_) Grow();
    return slot;
}

void ObjManagerClass::ReleaseObject(int32_t p) {
    // A position outside the used range is not a slot in use: nothing to give back.
    if (p < 0 || p >= used_) return;
    --used_;
    const size_t up = static_cast<size_t>(p);
    const size_t uu = static_cast<size_t>(used_);
    ManagedObjectClass* released = objects_[static_cast<size_t>(order_[up])];
    if (actioner_) actioner_->DeactivateObject(*released);
    ManagedObjectClass* last = objects_[static_cast<size_t>(order_[uu])];
    released->position_ = used_;
    last->position_ = p;
    std::swap(order_[up], order_[uu]);
}

bool ObjManagerClass::Next(ObjManagerIteratorClass& it, ManagedObjectClass*& slot) const {
    if (it.position < 0 || it.position >= used_) {
        it.position = 0;
        slot = nullptr;
        return false;
    }
    slot = objects_[static_cast<size_t>(order_[static_cast<size_t>(it.position)])];
    ++it.position;
    return true;
}

void AbstractObjManagerClass::Create(int32_t capacity, const std::string& name, int32_t growthStep) {
    if (pool_) pool_->Free();
    pool_ = TEngineObject::New<ObjManagerClass>(capacity, this, this, this, name, growthStep);
}

void AbstractObjManagerClass::Free() {
    if (pool_) {
        ObjManagerClass* pool = pool_;
        pool_ = nullptr;
        pool->Free();
    }
    TEngineObject::Free();
}

} // namespace vesk
