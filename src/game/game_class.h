#pragma once
// Class references of the game-object tree: what scripts name in
// engine_AddVar, what pools are keyed by and what "exactly this class" means.
#include <string>

namespace vesk {

class TBaseGameObject;

struct TGameClass {
    const char* name;
    TBaseGameObject* (*make)(); // plain construction; Create or CreateEmpty follows
};

// Registers a class under its name (a second registration changes nothing).
void RegisterGameClass(const TGameClass& cls);
// The registered class of that name (letter case ignored); an unknown name is
// a fatal report and gives nullptr.
const TGameClass* FindGameClass(const std::string& name);
// The same without a report: nullptr when the name is not a game class.
const TGameClass* FindGameClassQuiet(const std::string& name);

} // namespace vesk

// Gives a game-object class its class reference.
#define VESK_GAME_CLASS(T)                                                                                   \
public:                                                                                                      \
    static const ::vesk::TGameClass& StaticClass() {                                                         \
        static const ::vesk::TGameClass cls{#T, []() -> ::vesk::TBaseGameObject* { return new T(); }};       \
        return cls;                                                                                          \
    }                                                                                                        \
    virtual const ::vesk::TGameClass& GameClass() const {                                                    \
        return StaticClass();                                                                                \
    }                                                                                                        \
    std::string ClassName() const override {                                                                 \
        return #T;                                                                                           \
    }                                                                                                        \
                                                                                                             \
private:
