#include "physics/cm_tree_manager.h"

#include "platform/text.h"
#include "shared/errors.h"

#include <algorithm>

namespace vesk {

std::unique_ptr<CMTreeManagerClass> CMTreeManager;

CMTreeClass* CMTreeManagerClass::GetCMTree(const std::string& fileName) {
    for (const auto& e : entries_)
        if (platform::SameTextCp1251(e.fileName, fileName)) return e.tree.get();
    auto tree = std::make_unique<CMTreeClass>();
    tree->LoadFromFile(fileName);
    entries_.push_back({fileName, std::move(tree)});
    return entries_.back().tree.get();
}

void CMTreeManagerClass::ReleaseCMTree(const std::string& fileName) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const auto& e) { return platform::SameTextCp1251(e.fileName, fileName); });
    if (it == entries_.end()) {
        ErrorReport("CMTreeManagerClass.ReleaseCMTree: cm not found: " + fileName, "mhl");
        return;
    }
    entries_.erase(it);
}

} // namespace vesk
