#pragma once
// The class registry: classes named in Lua and data files are found here by
// name and made through the virtual constructor of their base kind. A kind
// fixes the base type and the constructor's arguments, e.g.
//   using TGameObjectKind = TClassKind<TBaseGameObject, const std::string&, TBaseGameObject*>;
//   ClassManager.RegisterClass<TGameObjectKind, TGameShip>();
//   TBaseGameObject* o = ClassManager.Create<TGameObjectKind>("TGameShip", name, parent);
// Asking for a class as a kind it was not registered with is a reported
// failure, never a wrong cast.
//
// Class checks are asked here too, in one of two senses:
// - IsClassType: the object's class is exactly this one; a class derived from
//   it is another class. Dispatches on an effect template's kind and the
//   "ClassType = X" checks of the data are of this sense.
// - InheritsFrom: the object is of this class or of one derived from it
//   ("is a ship").
// Typed where the caller sees the class: IsClassType<ShipClass>(unit). By the
// registered name where it cannot (a lower library asking about a class of a
// higher one): ClassManager.IsClassType(unit, "FXBurstClass"). Either way a
// misspelt class never passes unnoticed: the typed form does not compile, the
// named one writes the name to the error log.
#include "shared/engine_object.h"
#include "shared/fast_cast.h"
#include "shared/helpers.h" // TListAsm, the engine's pointer list

#include <any>
#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <vector>

namespace vesk {

template <class Base, class... Args> struct TClassKind {
    using BaseType = Base;
    using Factory = std::function<Base*(Args...)>;
    template <class T> static Factory DefaultFactory() {
        return [](Args... args) -> Base* { return TEngineObject::New<T>(std::forward<Args>(args)...); };
    }
};

void ReportWrongClassKind(const std::string& name, const std::string& kindBase);

// The typed class checks (see above).
template <class T, class U> bool IsClassType(const U* object) {
    return object && IsExactType<T>(*object);
}
template <class T, class U> bool InheritsFrom(const U* object) {
    return CachedDynamicCast<const T>(object) != nullptr;
}

// What the registry knows of a class's place in the hierarchy: its own type
// and the test for objects of it or of a class derived from it.
struct TClassType {
    const std::type_info* type = nullptr;
    bool (*inherits)(const TEngineObject* object) = nullptr;
    template <class T> static TClassType Of() {
        return {&typeid(T), [](const TEngineObject* o) { return InheritsFrom<T>(o); }};
    }
};

// A registered class: its name, its place in the hierarchy and its virtual constructor.
class TClassRef {
public:
    TClassRef(std::string name, TClassType type, std::type_index kind, std::any factory)
        : name_(std::move(name)), type_(type), kind_(kind), factory_(std::move(factory)) {}
    const std::string& Name() const { return name_; }
    template <class Kind> bool IsKind() const { return kind_ == std::type_index(typeid(Kind)); }
    // The object's class is this class itself.
    bool IsClassOf(const TEngineObject* object) const {
        return object && type_.type && typeid(*object) == *type_.type;
    }
    // The object's class is this class or one derived from it.
    bool IsBaseOf(const TEngineObject* object) const {
        return object && type_.inherits && type_.inherits(object);
    }

    // A new instance; nullptr (after a report) when the class is of another kind.
    template <class Kind, class... A> typename Kind::BaseType* Create(A&&... args) const {
        if (!IsKind<Kind>()) {
            ReportWrongClassKind(name_, ClassNameOf<typename Kind::BaseType>());
            return nullptr;
        }
        const auto& make = *std::any_cast<typename Kind::Factory>(&factory_);
        return make(std::forward<A>(args)...);
    }

private:
    std::string name_;
    TClassType type_;
    std::type_index kind_;
    std::any factory_;
};

class TClassManager {
public:
    constexpr TClassManager() = default;

    // Registers T under its class name (or the name given) as a class of the
    // kind; a name already present (in any letter case) changes nothing.
    template <class Kind, class T> bool RegisterClass(std::string name = ClassNameOf<T>()) {
        static_assert(std::is_base_of_v<typename Kind::BaseType, T>, "class of another kind");
        static_assert(std::is_base_of_v<TEngineObject, T>, "registered classes are engine objects");
        return Register(std::move(name), TClassType::Of<T>(), typeid(Kind),
                        Kind::template DefaultFactory<T>());
    }
    // A class T made by a factory of the caller's own.
    template <class Kind, class T> bool RegisterFactory(std::string name, typename Kind::Factory factory) {
        static_assert(std::is_base_of_v<TEngineObject, T>, "registered classes are engine objects");
        return RegisterFactory<Kind>(std::move(name), TClassType::Of<T>(), std::move(factory));
    }
    template <class Kind>
    bool RegisterFactory(std::string name, TClassType type, typename Kind::Factory factory) {
        return Register(std::move(name), type, typeid(Kind), std::move(factory));
    }

    // The class of that name (letter case ignored); an unknown name is a fatal report.
    const TClassRef* FindClass(const std::string& name) const;
    // -1 when the name is not registered (no report).
    int IndexOf(const std::string& name) const;
    template <class Kind, class... A>
    typename Kind::BaseType* Create(const std::string& name, A&&... args) const {
        const TClassRef* c = FindClass(name);
        return c ? c->Create<Kind>(std::forward<A>(args)...) : nullptr;
    }

    int Count() const { return static_cast<int>(classes_.size()); }
    const TClassRef& Item(int i) const { return *classes_[static_cast<size_t>(i)]; }

    // The class checks by the registered name (letter case ignored). A name no
    // class is registered under answers false and is written to the error log.
    bool IsClassType(const TEngineObject* object, const std::string& name) const;
    bool InheritsFrom(const TEngineObject* object, const std::string& name) const;

private:
    bool Register(std::string name, TClassType type, std::type_index kind, std::any factory);
    // The class to test against; nullptr (logged) for a name that is not registered.
    const TClassRef* ClassToTest(const std::string& name) const;
    std::vector<std::unique_ptr<TClassRef>> classes_; // stable addresses for callers
};

extern TClassManager ClassManager;

} // namespace vesk
