#pragma once
// The cache of loaded model trees, keyed by the name the caller gave (letter
// case ignored), so every unit naming the same model shares one tree.
#include "physics/cm_tree.h"

#include <memory>
#include <string>
#include <vector>

namespace vesk {

struct CMTreeClassManageStruct {
    std::string fileName; // as the caller gave it
    std::unique_ptr<CMTreeClass> tree;
};

class CMTreeManagerClass {
public:
    // The cached tree of that name, or a new one loaded from the file.
    CMTreeClass* GetCMTree(const std::string& fileName);
    // Frees the tree cached under that name; an unknown name is a fatal report.
    void ReleaseCMTree(const std::string& fileName);
    size_t Count() const { return entries_.size(); }
    // Frees every cached tree.
    void Clear() { entries_.clear(); }

private:
    std::vector<CMTreeClassManageStruct> entries_;
};

// The one manager, made at start-up and freed (with every tree) at shut-down.
extern std::unique_ptr<CMTreeManagerClass> CMTreeManager;

} // namespace vesk
