#include "game/physic_params_source.h"

#include "game/game_object.h"
#include "platform/text.h"

#include <cstdlib>

namespace vesk {

bool GamePhysicParamsSource::GetNumber(const std::string& name, float& out) {
    TBaseGameObject* p = list_ ? list_->FindChild(name) : nullptr;
    if (!p) return false;
    out = p->singleValue();
    return true;
}

bool GamePhysicParamsSource::GetText(const std::string& name, std::string& out) {
    TBaseGameObject* p = list_ ? list_->FindChild(name) : nullptr;
    if (!p) return false;
    p->stringValue(out);
    return true;
}

bool GamePhysicParamsSource::GetBool(const std::string& name, bool& out) {
    std::string text;
    if (!GetText(name, text)) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    out = platform::SameTextCp1251(text, "true") || (end != text.c_str() && v != 0.0);
    return true;
}

} // namespace vesk
