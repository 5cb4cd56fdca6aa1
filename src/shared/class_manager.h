#pragma once
// The class registry: classes named in Lua and data files are found here by
// name and made through the virtual constructor of their base kind. A kind
// fixes the base type and the constructor's arguments, e.g.
//   using TGameObjectKind = TClassKind<TBaseGameObject, const std::string&, TBaseGameObject*>;
//   ClassManager.RegisterClass<TGameObjectKind, TGameShip>();
//   TBaseGameObject* o = ClassManager.Create<TGameObjectKind>("TGameShip", name, parent);
// Asking for a class as a kind it was not registered with is a reported
// failure, never a wrong cast.
#include "shared/engine_object.h"
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

// A registered class: its name and its virtual constructor.
class TClassRef {
public:
    TClassRef(std::string name, std::type_index kind, std::any factory)
        : name_(std::move(name)), kind_(kind), factory_(std::move(factory)) {}
    const std::string& Name() const { return name_; }
    template <class Kind> bool IsKind() const { return kind_ == std::type_index(typeid(Kind)); }

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
        return Register(std::move(name), typeid(Kind), Kind::template DefaultFactory<T>());
    }
    // A class made by a factory of the caller's own.
    template <class Kind> bool RegisterFactory(std::string name, typename Kind::Factory factory) {
        return Register(std::move(name), typeid(Kind), std::move(factory));
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

private:
    bool Register(std::string name, std::type_index kind, std::any factory);
    std::vector<std::unique_ptr<TClassRef>> classes_; // stable addresses for callers
};

extern TClassManager ClassManager;

} // namespace vesk
