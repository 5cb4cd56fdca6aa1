#pragma once
// The interface node tree: every menu, window, button, label and HUD panel is
// a named node under the desktop. Nodes are made by class name through the
// class registry, copied from pattern nodes, configured by string properties
// under upper-case keys and found by name.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shared/class_manager.h"
#include "shared/engine_object.h"

namespace vesk {

class TSimpleNode;
class TSensNode;
class TRectNode;
class TOpacityNode;

// The registry kind of interface nodes: made without arguments.
using TNodeKind = TClassKind<TSimpleNode>;

class TSimpleNode : public TEngineObject {
public:
    TSimpleNode() = default;

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    TSimpleNode* Parent() const { return parent_; }
    void SetParent(TSimpleNode* parent) { parent_ = parent; }
    // The node this one was copied from while it lives; nullptr otherwise.
    TSimpleNode* Pattern() const;
    void SetPattern(TSimpleNode* pattern);

    int ChildCount() const { return static_cast<int>(children_.size()); }
    // Reports a bad index (level 2) and gives nullptr.
    TSimpleNode* GetChild(int index);
    // nullptr for a bad index, without a report (walks over a changing tree).
    TSimpleNode* ChildAt(int index) const;
    void AddChild(TSimpleNode* node, bool first = false);
    int IndexOfChild(const std::string& name) const;
    // This node or the first of its subtree (depth first) with that name.
    // status := 2 when the miss was reported (report and not quiet), else 0.
    TSimpleNode* ChildByName(const std::string& name, int& status, bool quiet, bool report);
    TSimpleNode* FindInTree(const std::string& name, bool report);
    TSimpleNode* CreateChild(const std::string& className, const std::string& patternName,
                             bool first = false);
    void DeleteChild(const std::string& name);

    // The node as a class of the chain, nullptr when it is not one (cheaper
    // than a dynamic cast on the per-frame walks).
    virtual TSensNode* AsSens() { return nullptr; }
    virtual TRectNode* AsRect() { return nullptr; }
    virtual TOpacityNode* AsOpacity() { return nullptr; }

    // ---- virtual operations -----------------------------------------------------
    virtual bool IsDumpedSelf() { return true; }
    virtual bool IsDumpedChildren() { return true; }
    // The node's own properties between the braces of its dump line.
    virtual void StringHook(std::string& out, const std::string& indent);
    virtual void RemoveChild(TSimpleNode* node);
    // Copies the children and this node's state into target; overrides copy
    // their own fields after calling the inherited one.
    virtual void CopyTo(TSimpleNode* target);
    virtual bool SetProperty(const std::string& key, const std::string& value);
    virtual bool GetProperty(const std::string& key, std::string& value);
    virtual void ClearChildren();

    // Renames the node "_deleted_<name>", queues it and releases its children.
    void Release() override;
    // Leaves the node cache and the parent; children still held go with it.
    void Free() override;

protected:
    ~TSimpleNode() override = default;

private:
    TSimpleNode* Search(const std::string& name);

    std::string name_;
    TSimpleNode* parent_ = nullptr;
    int32_t patternId_ = 0; // the pattern by id: it may go away before its copies
    std::vector<TSimpleNode*> children_;
};

// Frees a node that has not been put into a tree when the caller leaves early.
class TNodeGuard {
public:
    explicit TNodeGuard(TSimpleNode* node) : node_(node) {}
    ~TNodeGuard() {
        if (node_) node_->Free();
    }
    TNodeGuard(const TNodeGuard&) = delete;
    TNodeGuard& operator=(const TNodeGuard&) = delete;
    TSimpleNode* Dismiss() {
        TSimpleNode* n = node_;
        node_ = nullptr;
        return n;
    }

private:
    TSimpleNode* node_;
};

// A node of a registered class; nullptr (after the registry's report) when unknown.
TSimpleNode* NewNodeOfClass(const std::string& className);

// The recently used named nodes, most recent first.
class THashEngine {
public:
    static constexpr int kCapacity = 20;
    TSimpleNode* Find(const std::string& name);
    void Add(TSimpleNode* node);
    void Remove(TSimpleNode* node);
    int Count() const { return static_cast<int>(items_.size()); }
    TSimpleNode* At(int i) const { return items_[static_cast<size_t>(i)]; }

private:
    std::vector<TSimpleNode*> items_;
};

// The interface colours by index.
class TSysColorTable {
public:
    TSysColorTable();
    int Count() const { return static_cast<int>(colors_.size()); }
    // A missing index is a fatal report and gives 0.
    uint32_t GetColor(int index) const;
    void SetColor(int index, uint32_t argb);
    // Hexadecimal text; six digits give an opaque colour, bad text -1.
    void SetColorValue(int index, const std::string& text);

private:
    std::vector<uint32_t> colors_;
};

// Made when the interface core starts.
extern std::unique_ptr<TSysColorTable> SysColorTable;

// Hexadecimal colour text as the colour table reads it (six digits opaque), -1 when bad.
uint32_t ColorFromHexText(const std::string& text);

// The tree dump: one addControl line per written node.
void DumpTree(TSimpleNode* node, std::string& out, int depth, int& counter);
// Writes "DesktopTree_<flag>_<hhnnss>.txt" in the current folder; returns its name.
std::string DumpTreeToFile(TSimpleNode* root, const std::string& flagText);

} // namespace vesk
