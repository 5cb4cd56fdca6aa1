#include "game/child_list.h"

#include "game/game_object.h"

namespace vesk {

void TChildList::IndexAdd(const std::string& name, int32_t slot) {
    if (foreign_) return;
    NameEntry& e = index_[name];
    if (e.count == 0 || slot > e.best) e.best = slot;
    ++e.count;
}

int32_t TChildList::HighestSlotOf(const std::string& name) const {
    for (int32_t i = Count() - 1; i >= 0; --i) {
        const TBaseGameObject* o = slots_[static_cast<size_t>(i)];
        if (o && o->GetName() == name) return i;
    }
    return -1;
}

void TChildList::IndexRemove(const std::string& name, int32_t slot) {
    if (foreign_) return;
    auto it = index_.find(name);
    if (it == index_.end()) return;
    if (--it->second.count <= 0) {
        index_.erase(it);
        return;
    }
    // Only when the winner left is a rescan needed (several children of one name).
    if (it->second.best == slot) it->second.best = HighestSlotOf(name);
}

int32_t TChildList::Add(TBaseGameObject* obj) {
    ++stamp_.changes;
    slots_.push_back(obj);
    const int32_t slot = Count() - 1;
    if (obj) {
        IndexAdd(obj->GetName(), slot);
    } else {
        ++holes_;
    }
    return slot;
}

int32_t TChildList::AddToFreeSlot(TBaseGameObject* obj) {
    if (holes_ == 0) return Add(obj);
    int32_t i = firstHole_;
    while (i < Count() && slots_[static_cast<size_t>(i)] != nullptr) ++i;
    if (i >= Count()) {
        // The hole count is exact, so this is not reached; stay safe anyway.
        firstHole_ = Count();
        return Add(obj);
    }
    ++stamp_.changes;
    slots_[static_cast<size_t>(i)] = obj;
    firstHole_ = i + 1;
    if (obj) {
        --holes_;
        IndexAdd(obj->GetName(), i);
    }
    return i;
}

void TChildList::ClearSlot(int32_t i) {
    if (!InRange(i)) return;
    TBaseGameObject*& s = slots_[static_cast<size_t>(i)];
    if (!s) return;
    TBaseGameObject* old = s;
    s = nullptr;
    ++stamp_.changes;
    ++holes_;
    if (i < firstHole_) firstHole_ = i;
    IndexRemove(old->GetName(), i);
}

void TChildList::Pack(const TBaseGameObject* owner) {
    if (holes_ == 0) return;
    std::vector<int32_t> newSlot(slots_.size(), -1);
    int32_t j = 0;
    for (size_t i = 0; i < slots_.size(); ++i) {
        TBaseGameObject* o = slots_[i];
        if (!o) continue;
        newSlot[i] = j;
        if (o->GetParent() == owner && o->GetIndexInParent() == static_cast<int32_t>(i))
            o->SetIndexInParent(j);
        slots_[static_cast<size_t>(j++)] = o;
    }
    slots_.resize(static_cast<size_t>(j));
    for (auto& [name, e] : index_) e.best = newSlot[static_cast<size_t>(e.best)];
    holes_ = 0;
    firstHole_ = 0;
}

void TChildList::Clear() {
    ++stamp_.changes;
    slots_.clear();
    index_.clear();
    holes_ = 0;
    firstHole_ = 0;
}

TBaseGameObject* TChildList::Find(std::string_view name) const {
    if (foreign_) {
        for (int32_t i = Count() - 1; i >= 0; --i) {
            TBaseGameObject* o = slots_[static_cast<size_t>(i)];
            if (o && o->GetName() == name) return o;
        }
        return nullptr;
    }
    auto it = index_.find(name);
    if (it == index_.end()) return nullptr;
    return slots_[static_cast<size_t>(it->second.best)];
}

void TChildList::Renamed(int32_t slot, const std::string& oldName) {
    if (!InRange(slot)) return;
    TBaseGameObject* o = slots_[static_cast<size_t>(slot)];
    if (!o) return;
    ++stamp_.changes;
    IndexRemove(oldName, slot);
    IndexAdd(o->GetName(), slot);
}

} // namespace vesk
