#pragma once
// The engine's lock between the main thread and background work: the owner of
// a piece of work marks an object busy, the other side waits with Lock or asks
// IsBusy. A manager lets the shut-down and the render side wait until none of
// its objects is busy.
#include "shared/engine_object.h"

#include <atomic>
#include <string>
#include <vector>

namespace vesk {

class AsyncLockedObjectClass : public TEngineObject {
public:
    // The plain constructor is refused (a fatal report naming Init); Init makes one.
    static AsyncLockedObjectClass* Create();
    static AsyncLockedObjectClass* Init() { return New<AsyncLockedObjectClass>(); }
    AsyncLockedObjectClass() = default;

    virtual bool IsBusy() const { return busy_.load(std::memory_order_acquire); }
    // Waits while busy, giving up the processor each turn, then marks busy.
    virtual void Lock();
    virtual void Unlock() { busy_.store(false, std::memory_order_release); }

private:
    std::atomic<bool> busy_{false};
};

class AsyncObjectsManClass : public AsyncLockedObjectClass {
public:
    static AsyncObjectsManClass* Init(const std::string& name) { return New<AsyncObjectsManClass>(name); }
    explicit AsyncObjectsManClass(std::string name) : name_(std::move(name)) {}

    const std::string& Name() const { return name_; }
    // The manager owns what it manages: its Free frees them. An object freed
    // elsewhere leaves the list by itself.
    void AddObject(AsyncLockedObjectClass* o);
    void RemoveObject(AsyncLockedObjectClass* o);
    int ObjectCount();

    // True when any managed object is busy (under the manager's own lock).
    bool IsAnyBusy();
    void WaitAllIdle();

    void Message(IEngineObject* sender, int msg, int param) override;
    // Waits until all are idle, then frees every managed object and itself.
    void Free() override;

private:
    std::string name_;
    std::vector<AsyncLockedObjectClass*> objects_;
};

// The render side's manager "re_async_man", made when the program starts.
extern AsyncObjectsManClass* ReAsyncMan;

} // namespace vesk
