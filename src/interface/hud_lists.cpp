#include "interface/hud_lists.h"

#include "game/game_object.h"
#include "platform/text.h"

namespace vesk {

void TListNode::SetLines(std::vector<std::string> lines) {
    if (lines == lines_) return;
    lines_ = std::move(lines);
    std::string text;
    for (const std::string& l : lines_) text += (text.empty() ? "" : "#R") + l;
    SetText(text);
}

void TListNode::ExeMethod(const std::string& method) {
    if (platform::UpperCaseCp1251(method) == "CLEAR")
        SetLines({});
    else
        TLabelNode::ExeMethod(method);
}

void TListNode::CopyTo(TSimpleNode* target) {
    TLabelNode::CopyTo(target);
    if (auto* t = dynamic_cast<TListNode*>(target)) t->SetLines(lines_);
}

bool TListNode::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<TLabelNode>("TListNode", key, value, [&](const std::string& k) {
        if (k != "ADDLINE") return TOwnKey::Other;
        std::vector<std::string> lines = lines_;
        lines.push_back(value);
        SetLines(std::move(lines));
        return TOwnKey::Set;
    });
}

bool TListNode::GetProperty(const std::string& key, std::string& value) {
    if (platform::UpperCaseCp1251(key) != "LINECOUNT") return TLabelNode::GetProperty(key, value);
    value = std::to_string(lines_.size());
    return true;
}

void TMissionList::Tick(int ms) {
    TListNode::Tick(ms);
    TBaseGameObject* objectives = objectives_.Find(GlobalObjects);
    if (!objectives) return;
    std::vector<std::string> lines;
    int32_t cursor = 0;
    for (TBaseGameObject* o = nullptr; objectives->Next(cursor, o);) {
        std::string text;
        o->stringValue(text);
        lines.push_back(text);
    }
    SetLines(std::move(lines));
}

} // namespace vesk
