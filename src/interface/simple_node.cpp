#include "interface/simple_node.h"

#include <algorithm>
#include <cstdio>

#include "interface/interface_tools.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

std::unique_ptr<TSysColorTable> SysColorTable;

TSimpleNode* NewNodeOfClass(const std::string& className) {
    return ClassManager.Create<TNodeKind>(className);
}

// ---- TSimpleNode -------------------------------------------------------------------

TSimpleNode* TSimpleNode::Pattern() const {
    return patternId_ ? FindEngineObjectAs<TSimpleNode>(patternId_) : nullptr;
}

void TSimpleNode::SetPattern(TSimpleNode* pattern) {
    patternId_ = pattern ? pattern->GetId() : 0;
}

TSimpleNode* TSimpleNode::GetChild(int index) {
    if (index < 0 || index >= ChildCount()) {
        InterfaceFault("TSimpleNode.GetChild fault: incorect index: " + std::to_string(index), 2);
        return nullptr;
    }
    return children_[static_cast<size_t>(index)];
}

TSimpleNode* TSimpleNode::ChildAt(int index) const {
    if (index < 0 || index >= ChildCount()) return nullptr;
    return children_[static_cast<size_t>(index)];
}

void TSimpleNode::AddChild(TSimpleNode* node, bool first) {
    if (!node) return;
    if (first)
        children_.insert(children_.begin(), node);
    else
        children_.push_back(node);
}

int TSimpleNode::IndexOfChild(const std::string& name) const {
    for (size_t i = 0; i < children_.size(); ++i)
        if (children_[i]->name_ == name) return static_cast<int>(i);
    return -1;
}

TSimpleNode* TSimpleNode::Search(const std::string& name) {
    if (name_ == name) return this;
    // Counted each round: a lookup never changes the tree, but be safe with indexes.
    for (size_t i = 0; i < children_.size(); ++i)
        if (TSimpleNode* hit = children_[i]->Search(name)) return hit;
    return nullptr;
}

TSimpleNode* TSimpleNode::ChildByName(const std::string& name, int& status, bool quiet, bool report) {
    status = 0;
    TSimpleNode* hit = Search(name);
    if (!hit && report && !quiet) {
        status = 2;
        InterfaceFault("TSimpleNode.ChildByName fault: incorect name: " + name, 1);
    }
    return hit;
}

TSimpleNode* TSimpleNode::FindInTree(const std::string& name, bool report) {
    TSimpleNode* root = this;
    while (root->parent_) root = root->parent_;
    int status = 0;
    return root->ChildByName(name, status, false, report);
}

TSimpleNode* TSimpleNode::CreateChild(const std::string& className, const std::string& patternName,
                                      bool first) {
    TSimpleNode* made = NewNodeOfClass(className);
    if (!made) return nullptr;
    TNodeGuard guard(made); // a fatal report below must not leak the node
    if (!patternName.empty()) {
        if (TSimpleNode* pattern = FindInTree(patternName, true)) {
            pattern->CopyTo(made);
            made->SetPattern(pattern);
        } else {
            InterfaceFault("TSimpleNode.CreateChild fault: pattern " + patternName + " not found", 2);
        }
    }
    made->parent_ = this;
    AddChild(guard.Dismiss(), first);
    return made;
}

void TSimpleNode::DeleteChild(const std::string& name) {
    int status = 0;
    TSimpleNode* node = ChildByName(name, status, false, true);
    if (!node) return;
    if (TSimpleNode* parent = node->parent_) {
        int i = parent->IndexOfChild(name);
        if (i >= 0) {
            // Out of the list: the parent may go before the queued node does.
            if (parent->children_[static_cast<size_t>(i)] == node) node->parent_ = nullptr;
            parent->children_.erase(parent->children_.begin() + i);
        }
    }
    node->Release();
}

void TSimpleNode::StringHook(std::string& /*out*/, const std::string& /*indent*/) {}

void TSimpleNode::RemoveChild(TSimpleNode* node) {
    auto it = std::find(children_.begin(), children_.end(), node);
    if (it != children_.end()) children_.erase(it);
}

void TSimpleNode::CopyTo(TSimpleNode* target) {
    if (!target) return;
    // The count is taken first: copying into a node of this subtree must not run on.
    const int n = ChildCount();
    for (int i = 0; i < n; ++i) {
        TSimpleNode* child = ChildAt(i);
        if (!child) break;
        TSimpleNode* copy = NewNodeOfClass(child->ClassName());
        if (!copy) continue;
        TNodeGuard guard(copy);
        copy->parent_ = target;
        child->CopyTo(copy);
        copy->name_ = child->name_;
        copy->patternId_ = child->patternId_;
        target->children_.push_back(guard.Dismiss());
    }
    target->patternId_ = patternId_;
}

bool TSimpleNode::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "NAME") {
        name_ = value;
        return true;
    }
    InterfaceFault("TSimpleNode.SetProperty fault: " + name_ + ", property: " + k + ", value: " + value, 2);
    return false;
}

bool TSimpleNode::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "NAME") {
        value = name_;
    } else if (k == "PARENT") {
        value = parent_ ? parent_->name_ : std::string();
    } else if (k == "PATTERN") {
        TSimpleNode* p = Pattern();
        value = p ? p->name_ : std::string();
    } else if (k == "CHILDCOUNT") {
        value = std::to_string(ChildCount());
    } else {
        InterfaceFault("TSimpleNode.GetProperty fault: " + name_ + ", property: " + k, 2);
        return false;
    }
    return true;
}

void TSimpleNode::ClearChildren() {
    std::vector<TSimpleNode*> children;
    children.swap(children_);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        (*it)->Release();
        (*it)->parent_ = nullptr;
    }
}

void TSimpleNode::Release() {
    if (InDestroyQueue()) return;
    name_ = "_deleted_" + name_;
    TEngineObject::Release();
    ClearChildren();
}

void TSimpleNode::Free() {
    if (InterfaceTools) InterfaceTools->NodeCache().Remove(this);
    if (parent_) {
        parent_->RemoveChild(this);
        parent_ = nullptr;
    }
    // Children still held (a node freed without Release) go with it.
    std::vector<TSimpleNode*> children;
    children.swap(children_);
    for (TSimpleNode* c : children) {
        c->parent_ = nullptr;
        c->Free();
    }
    TEngineObject::Free();
}

// ---- THashEngine -------------------------------------------------------------------

TSimpleNode* THashEngine::Find(const std::string& name) {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]->Name() != name) continue;
        std::swap(items_[0], items_[i]);
        return items_[0];
    }
    return nullptr;
}

void THashEngine::Add(TSimpleNode* node) {
    if (static_cast<int>(items_.size()) == kCapacity) items_.pop_back();
    items_.insert(items_.begin(), node);
}

void THashEngine::Remove(TSimpleNode* node) {
    auto it = std::find(items_.begin(), items_.end(), node);
    if (it != items_.end()) items_.erase(it);
}

// ---- TSysColorTable ----------------------------------------------------------------

TSysColorTable::TSysColorTable()
    : colors_{0x00000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00,
              0xFF00FFFF, 0xFFFF00FF, 0xFFFFFFFF, 0xFF000000, 0xFF7F7F7F} {}

uint32_t TSysColorTable::GetColor(int index) const {
    if (index < 0 || index >= Count()) {
        ErrorReport("TSysColorTable.GetColor fault: invalid color index - " + std::to_string(index), "mhl");
        return 0;
    }
    return colors_[static_cast<size_t>(index)];
}

void TSysColorTable::SetColor(int index, uint32_t argb) {
    if (index < 0) return; // no entry can be made before the first
    if (index < Count())
        colors_[static_cast<size_t>(index)] = argb;
    else
        colors_.push_back(argb);
}

uint32_t ColorFromHexText(const std::string& text) {
    int32_t v = -1;
    if (!TryParseInt32("$" + text, v)) v = -1;
    auto c = static_cast<uint32_t>(v);
    if (text.size() == 6 && c < 0x1000000u) c |= 0xFF000000u;
    return c;
}

void TSysColorTable::SetColorValue(int index, const std::string& text) {
    SetColor(index, ColorFromHexText(text));
}

// ---- the tree dump -----------------------------------------------------------------

void DumpTree(TSimpleNode* node, std::string& out, int depth, int& counter) {
    if (!node) return;
    const std::string outer(static_cast<size_t>(depth > 0 ? depth - 1 : 0), '\t');
    const std::string inner(static_cast<size_t>(depth), '\t');
    if (node->Parent() && node->IsDumpedSelf()) {
        out += outer + "addControl(\"" + node->Parent()->Name() + "->" + node->Name();
        if (TSimpleNode* p = node->Pattern()) out += "(" + p->Name() + ")";
        out += "\",\"" + node->ClassName() + "\",{ ";
        node->StringHook(out, inner);
        out += outer + "}) \n";
        ++counter;
    }
    if (!node->IsDumpedChildren()) return;
    for (int i = 0; i < node->ChildCount(); ++i) DumpTree(node->ChildAt(i), out, depth + 1, counter);
}

std::string DumpTreeToFile(TSimpleNode* root, const std::string& flagText) {
    const platform::LocalDateTime now = platform::Now();
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d", now.hour, now.minute, now.second);
    const std::string fileName = "DesktopTree_" + flagText + "_" + stamp + ".txt";
    std::string text = "-- Desktop controls list. WriteFlag = " + flagText + "\n";
    int counter = 0;
    DumpTree(root, text, 0, counter);
    text += "-- Controls counter = " + std::to_string(counter) + "\n";
    platform::WriteFile(platform::CurrentFolder() + "/" + fileName, text);
    return fileName;
}

} // namespace vesk
