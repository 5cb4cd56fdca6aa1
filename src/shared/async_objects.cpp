#include "shared/async_objects.h"

#include "platform/system.h"
#include "shared/errors.h"

#include <algorithm>

namespace vesk {

AsyncObjectsManClass* ReAsyncMan = AsyncObjectsManClass::Init("re_async_man");

AsyncLockedObjectClass* AsyncLockedObjectClass::Create() {
    ErrorReport("AsyncLockedObjectClass.Create: use Init", "mhl");
    return nullptr;
}

void AsyncLockedObjectClass::Lock() {
    // One atomic test-and-set, so two threads can never both take it.
    while (busy_.exchange(true, std::memory_order_acquire)) platform::YieldThread();
}

void AsyncObjectsManClass::AddObject(AsyncLockedObjectClass* o) {
    if (!o) return;
    Lock();
    objects_.push_back(o);
    Unlock();
    o->AddSubscriber(this);
}

void AsyncObjectsManClass::RemoveObject(AsyncLockedObjectClass* o) {
    if (!o) return;
    Lock();
    auto it = std::find(objects_.begin(), objects_.end(), o);
    bool found = it != objects_.end();
    if (found) objects_.erase(it);
    Unlock();
    if (found) o->RemoveSubscriber(this);
}

int AsyncObjectsManClass::ObjectCount() {
    Lock();
    int n = static_cast<int>(objects_.size());
    Unlock();
    return n;
}

bool AsyncObjectsManClass::IsAnyBusy() {
    Lock();
    bool any = std::any_of(objects_.begin(), objects_.end(),
                           [](const AsyncLockedObjectClass* o) { return o->IsBusy(); });
    Unlock();
    return any;
}

void AsyncObjectsManClass::WaitAllIdle() {
    while (IsAnyBusy()) platform::YieldThread();
}

void AsyncObjectsManClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* o = sender->GetInstance();
        Lock();
        std::erase(objects_, o);
        Unlock();
    }
    AsyncLockedObjectClass::Message(sender, msg, param);
}

void AsyncObjectsManClass::Free() {
    WaitAllIdle();
    Lock();
    std::vector<AsyncLockedObjectClass*> owned;
    owned.swap(objects_);
    Unlock();
    for (AsyncLockedObjectClass* o : owned) {
        o->RemoveSubscriber(this);
        o->Free();
    }
    AsyncLockedObjectClass::Free();
}

} // namespace vesk
