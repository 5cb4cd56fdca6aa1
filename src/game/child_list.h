#pragma once
// The children list of a game-object node: an ordered list of slots that may
// hold nullptr after a child left, with a name index so that a lookup by name
// costs one hash probe instead of a scan. Among several entries of one name
// the one in the highest slot wins, as a full scan would find it.
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace vesk {

class TBaseGameObject;

class TChildList {
public:
    // What tells this list's states apart from every other list's: the
    // registry id of the node that owns it (ids are never reused) and the
    // number of changes that could have altered a lookup.
    struct Stamp {
        int32_t owner = 0;
        uint64_t changes = 0;
        bool operator==(const Stamp&) const = default;
    };

    TChildList() = default;
    explicit TChildList(int32_t ownerId) { stamp_.owner = ownerId; }

    int32_t Count() const { return static_cast<int32_t>(slots_.size()); }
    TBaseGameObject* At(int32_t i) const { return slots_[static_cast<size_t>(i)]; }
    bool InRange(int32_t i) const { return i >= 0 && i < Count(); }

    // Appends; returns the slot.
    int32_t Add(TBaseGameObject* obj);
    // Stores in the first empty slot, else appends; returns the slot.
    int32_t AddToFreeSlot(TBaseGameObject* obj);
    // Empties one slot (the list keeps its length).
    void ClearSlot(int32_t i);
    // Drops the empty slots; entries whose parent is owner learn their new slot.
    void Pack(const TBaseGameObject* owner);
    void Clear();
    int32_t CountNonNil() const { return static_cast<int32_t>(slots_.size()) - holes_; }

    // The entry of that name in the highest slot, nullptr when none.
    TBaseGameObject* Find(std::string_view name) const;
    // An entry changed its name while in the list.
    void Renamed(int32_t slot, const std::string& oldName);
    // The list holds entries that are not children of its owner (queues): they
    // are not told of renames, so lookups scan the list instead.
    void MarkForeign() {
        ++stamp_.changes;
        foreign_ = true;
        index_.clear();
    }

    auto begin() const { return slots_.begin(); }
    auto end() const { return slots_.end(); }

    // Changes whenever a lookup by name might give another answer.
    Stamp GetStamp() const { return stamp_; }
    // Queues are not told of their entries' renames: their lookups can not be remembered.
    bool IsForeign() const { return foreign_; }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    struct NameEntry {
        int32_t best = -1; // highest slot holding the name
        int32_t count = 0; // slots holding the name
    };
    void IndexAdd(const std::string& name, int32_t slot);
    void IndexRemove(const std::string& name, int32_t slot);
    int32_t HighestSlotOf(const std::string& name) const;

    std::vector<TBaseGameObject*> slots_;
    std::unordered_map<std::string, NameEntry, Hash, std::equal_to<>> index_;
    int32_t holes_ = 0;
    int32_t firstHole_ = 0; // no empty slot below this one
    bool foreign_ = false;
    Stamp stamp_;
};

// A lookup by one name in one node's children list, remembered until that
// list changes: nodes that look the same child up every frame keep one of
// these per name instead of hashing the name each time. T is the class the
// child is taken as (nullptr when it is not one).
template <class T> class TChildRef {
public:
    template <class Owner> T* Find(const Owner* owner, std::string_view name) {
        const TChildList* list = owner ? owner->GetObjects() : nullptr;
        if (!list) return nullptr;
        if (list == list_ && list->GetStamp() == stamp_) return found_;
        T* found = Cast(list->Find(name));
        if (list->IsForeign()) return found;
        list_ = list;
        stamp_ = list->GetStamp();
        found_ = found;
        return found;
    }

private:
    static T* Cast(TBaseGameObject* child) {
        if constexpr (std::is_same_v<T, TBaseGameObject>)
            return child;
        else
            return dynamic_cast<T*>(child);
    }
    const TChildList* list_ = nullptr;
    TChildList::Stamp stamp_;
    T* found_ = nullptr;
};

} // namespace vesk
