#pragma once
// Class references of the game-object tree: what scripts name in
// engine_AddVar, what pools are keyed by and what "exactly this class" means.
#include <string>
#include <type_traits>
#include <vector>

namespace vesk {

class TBaseGameObject;

struct TGameClass {
    const char* name;
    TBaseGameObject* (*make)(); // plain construction; Create or CreateEmpty follows
    // The class's Create is more derived than its CreateEmpty: the children
    // its own Create makes would be missing from an entry built by the
    // inherited CreateEmpty, so its pool builds entries with Create.
    bool poolByCreate = false;
};

// Registers a class under its name (a second registration changes nothing).
void RegisterGameClass(const TGameClass& cls);
// The registered class of that name (letter case ignored); an unknown name is
// a fatal report and gives nullptr.
const TGameClass* FindGameClass(const std::string& name);
// The same without a report: nullptr when the name is not a game class.
const TGameClass* FindGameClassQuiet(const std::string& name);
// Every registered class, in name order.
std::vector<const TGameClass*> RegisteredGameClasses();

namespace detail {
template <class M> struct MemberOwner;
template <class C, class R, class... A> struct MemberOwner<R (C::*)(A...)> { using type = C; };
// Whether the nearest Create of T comes from a class below the one its
// nearest CreateEmpty comes from.
template <class T> constexpr bool PoolByCreate() {
    using CreateOwner = typename MemberOwner<decltype(&T::Create)>::type;
    using EmptyOwner = typename MemberOwner<decltype(&T::CreateEmpty)>::type;
    return !std::is_same_v<CreateOwner, EmptyOwner> && std::is_base_of_v<EmptyOwner, CreateOwner>;
}
} // namespace detail

} // namespace vesk

// Gives a game-object class its class reference. The root of the tree's
// classes declares the virtual; every other class overrides it.
#define VESK_GAME_CLASS_WITH(T, VIRT, OVERRIDE)                                                              \
public:                                                                                                      \
    static const ::vesk::TGameClass& StaticClass() {                                                         \
        static const ::vesk::TGameClass cls{#T, []() -> ::vesk::TBaseGameObject* { return new T(); },        \
                                            ::vesk::detail::PoolByCreate<T>()};                              \
        return cls;                                                                                          \
    }                                                                                                        \
    VIRT const ::vesk::TGameClass& GameClass() const OVERRIDE {                                              \
        return StaticClass();                                                                                \
    }                                                                                                        \
    std::string ClassName() const override {                                                                 \
        return #T;                                                                                           \
    }                                                                                                        \
                                                                                                             \
private:
#define VESK_GAME_CLASS_ROOT(T) VESK_GAME_CLASS_WITH(T, virtual, )
#define VESK_GAME_CLASS(T) VESK_GAME_CLASS_WITH(T, , override)
