#include "shared/class_manager.h"

#include "platform/text.h"
#include "shared/errors.h"

namespace vesk {

// Constant-initialised, so classes may register from any unit's start-up code.
constinit TClassManager ClassManager;

void ReportWrongClassKind(const std::string& name, const std::string& kindBase) {
    ErrorReport("ClassManager: class \"" + name + "\" is not a " + kindBase, "mhl");
}

bool TClassManager::Register(std::string name, TClassType type, std::type_index kind, std::any factory) {
    if (IndexOf(name) >= 0) return false;
    classes_.push_back(std::make_unique<TClassRef>(std::move(name), type, kind, std::move(factory)));
    return true;
}

int TClassManager::IndexOf(const std::string& name) const {
    for (size_t i = 0; i < classes_.size(); ++i)
        if (platform::SameTextCp1251(classes_[i]->Name(), name)) return static_cast<int>(i);
    return -1;
}

const TClassRef* TClassManager::FindClass(const std::string& name) const {
    int i = IndexOf(name);
    if (i < 0) {
        ErrorReport("Class \"" + name + "\" is not registered with ClassManager", "mhl");
        return nullptr;
    }
    return classes_[static_cast<size_t>(i)].get();
}

const TClassRef* TClassManager::ClassToTest(const std::string& name) const {
    const int i = IndexOf(name);
    if (i >= 0) return classes_[static_cast<size_t>(i)].get();
    // No object is of a class the program does not have: a misspelt name in a
    // check says so instead of only answering no.
    FastLogAddError("ClassManager: a class check names \"" + name + "\", which is not registered");
    return nullptr;
}

bool TClassManager::IsClassType(const TEngineObject* object, const std::string& name) const {
    const TClassRef* c = object ? ClassToTest(name) : nullptr;
    return c && c->IsClassOf(object);
}

bool TClassManager::InheritsFrom(const TEngineObject* object, const std::string& name) const {
    const TClassRef* c = object ? ClassToTest(name) : nullptr;
    return c && c->IsBaseOf(object);
}

} // namespace vesk
