#include "game/game_class.h"

#include <unordered_map>

#include "game/game_object.h"
#include "platform/text.h"
#include "shared/class_manager.h"

namespace vesk {

namespace {
using TGameObjectKind = TClassKind<TBaseGameObject>;

// Game classes by upper-cased name, beside the engine-wide registry.
std::unordered_map<std::string, const TGameClass*>& GameClasses() {
    static std::unordered_map<std::string, const TGameClass*> classes;
    return classes;
}
} // namespace

void RegisterGameClass(const TGameClass& cls) {
    const TGameClass* c = &cls;
    if (ClassManager.RegisterFactory<TGameObjectKind>(cls.name, cls.type, [c]() { return c->make(); }))
        GameClasses().emplace(platform::UpperCaseCp1251(cls.name), c);
}

const TGameClass* FindGameClassQuiet(const std::string& name) {
    auto it = GameClasses().find(platform::UpperCaseCp1251(name));
    return it == GameClasses().end() ? nullptr : it->second;
}

const TGameClass* FindGameClass(const std::string& name) {
    const TClassRef* ref = ClassManager.FindClass(name); // reports an unknown name
    if (!ref) return nullptr;
    if (const TGameClass* c = FindGameClassQuiet(ref->Name())) return c;
    ReportWrongClassKind(ref->Name(), "TBaseGameObject");
    return nullptr;
}

} // namespace vesk
