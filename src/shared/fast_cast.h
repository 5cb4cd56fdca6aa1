#pragma once
// dynamic_cast for the casts made for every unit or game object every frame.
// The answer of a cast depends only on the object's dynamic type and on which
// base subobject the pointer designates (the engine's classes have no virtual
// bases), so it is remembered per such pair as the offset from the complete
// object: the class hierarchy is searched once per kind of object instead of
// once per call.
#include <array>
#include <cstddef>
#include <type_traits>
#include <typeinfo>

namespace vesk {

template <class To, class From> To* CachedDynamicCast(From* p) {
    static_assert(std::is_polymorphic_v<From> && std::is_class_v<To>);
    if (!p) return nullptr;
    const std::type_info* type = &typeid(*p);
    const char* top = static_cast<const char*>(dynamic_cast<const void*>(p));
    const std::ptrdiff_t at = reinterpret_cast<const char*>(p) - top;
    struct Entry {
        const std::type_info* type = nullptr;
        std::ptrdiff_t at = 0;
        std::ptrdiff_t to = 0; // where the target subobject starts; -1 when the cast fails
    };
    // A few kinds of object meet each cast; one cache per thread and per cast.
    thread_local std::array<Entry, 8> cache{};
    thread_local std::size_t next = 0;
    for (const Entry& e : cache)
        if (e.type == type && e.at == at)
            return e.to < 0 ? nullptr : reinterpret_cast<To*>(const_cast<char*>(top) + e.to);
    To* result = dynamic_cast<To*>(p);
    const std::ptrdiff_t to = result ? reinterpret_cast<const char*>(result) - top : std::ptrdiff_t(-1);
    cache[next] = {type, at, to};
    next = (next + 1) % cache.size();
    return result;
}

// typeid(object) == typeid(T) without comparing the types' names for every
// object of another type: each type's answer is remembered by its type_info.
template <class T, class U> bool IsExactType(const U& object) {
    static_assert(std::is_polymorphic_v<U>);
    const std::type_info* type = &typeid(object);
    if (type == &typeid(T)) return true;
    struct Entry {
        const std::type_info* type = nullptr;
        bool same = false;
    };
    thread_local std::array<Entry, 16> cache{};
    thread_local std::size_t next = 0;
    for (const Entry& e : cache)
        if (e.type == type) return e.same;
    const bool same = *type == typeid(T);
    cache[next] = {type, same};
    next = (next + 1) % cache.size();
    return same;
}

} // namespace vesk
