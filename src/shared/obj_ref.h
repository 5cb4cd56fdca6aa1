#pragma once
// An engine object held by id instead of by address: whoever keeps one across
// frames may see the object freed meanwhile (a script deleting an interface
// node, a game object going back to its pool's end), and then reads nullptr.
#include <cstdint>

#include "shared/engine_object.h"
#include "shared/fast_cast.h"

namespace vesk {

template <class T> class TObjRef {
public:
    TObjRef() = default;
    TObjRef(T* o) : id_(o ? o->GetId() : 0) {} // NOLINT: a reference is made from the object
    // Held controls are read through their references many times a frame:
    // the cast is the remembered kind.
    T* Get() const { return id_ ? CachedDynamicCast<T>(FindEngineObjectById(id_)) : nullptr; }
    T* operator->() const { return Get(); }
    explicit operator bool() const { return Get() != nullptr; }
    bool Is(const TEngineObject* o) const { return o && id_ == o->GetId(); }
    int32_t Id() const { return id_; }

private:
    int32_t id_ = 0;
};

} // namespace vesk
