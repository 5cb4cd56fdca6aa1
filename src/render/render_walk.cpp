#include "render/render_walk.h"

#include "render/render_unit.h"

#include <memory>

namespace vesk {

namespace {

// A unit's first lines: its class and what the walk reads (flags, children,
// stage); units start on a line (render/unit_memory.h).
void PrefetchUnit(const void* unit) {
    __builtin_prefetch(unit);
    __builtin_prefetch(static_cast<const char*>(unit) + 64);
}

} // namespace

void RenderListWalk::Start() {
    cursor_ = 0;
    walking_ = true;
}

void RenderListWalk::Visit(const TBaseRenderUnit& unit) {
    if (!walking_) return;
    const size_t i = cursor_++;
    const size_t n = order_.size();
    if (i + kAhead < n) PrefetchUnit(order_[i + kAhead].unit);
    if (i + kAhead / 2 < n) {
        const Hint& h = order_[i + kAhead / 2];
        if (h.childList) __builtin_prefetch(h.childList);
        // A list of more than a few children runs onto a second line.
        if (h.childs) {
            __builtin_prefetch(h.childs);
            __builtin_prefetch(static_cast<const char*>(h.childs) + 64);
        }
    }
    const TListAsm<TBaseRenderUnit>* list = unit.childs_.get();
    const Hint hint{&unit, list, list && list->Count() ? std::to_address(list->begin()) : nullptr};
    if (i < n) {
        order_[i] = hint;
        return;
    }
    // Past what the last walk saw (a tree's first walk, or a grown tree): the
    // unit's children come next, each with its own subtree.
    if (list)
        for (const TBaseRenderUnit* c : *list)
            if (c) PrefetchUnit(c);
    order_.push_back(hint);
}

void RenderListWalk::Finish() {
    walking_ = false;
    if (cursor_ < order_.size()) order_.resize(cursor_);
    // A grown tree leaves room unused behind it: the hints keep to its size.
    if (order_.capacity() > order_.size() + order_.size() / 4 + 1024) order_.shrink_to_fit();
}

void RenderListWalk::PrefetchForDraw(const TBaseRenderUnit* unit) {
    if (!unit) return;
    PrefetchUnit(unit);
    __builtin_prefetch(&unit->worldMatrix_);
    __builtin_prefetch(&unit->drawnMatrix_, 1);
}

} // namespace vesk
