#include "game/game_class.h"

#include <algorithm>
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
    if (ClassManager.RegisterFactory<TGameObjectKind>(cls.name, [c]() { return c->make(); }))
        GameClasses().emplace(platform::UpperCaseCp1251(cls.name), c);
}

const TGameClass* FindGameClassQuiet(const std::string& name) {
    auto it = GameClasses().find(platform::UpperCaseCp1251(name));
    return it == GameClasses().end() ? nullptr : it->second;
}

std::vector<const TGameClass*> RegisteredGameClasses() {
    std::vector<const TGameClass*> all;
    all.reserve(GameClasses().size());
    for (const auto& [key, cls] : GameClasses()) all.push_back(cls);
    std::sort(all.begin(), all.end(),
              [](const TGameClass* a, const TGameClass* b) { return std::string(a->name) < b->name; });
    return all;
}

const TGameClass* FindGameClass(const std::string& name) {
    const TClassRef* ref = ClassManager.FindClass(name); // reports an unknown name
    if (!ref) return nullptr;
    if (const TGameClass* c = FindGameClassQuiet(ref->Name())) return c;
    ReportWrongClassKind(ref->Name(), "TBaseGameObject");
    return nullptr;
}

} // namespace vesk
