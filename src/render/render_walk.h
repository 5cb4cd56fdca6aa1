#pragma once
// The render list's walks over a large tree of units. Every walk of a frame,
// and the first of the next, visits nearly the same units in the same order,
// so the walk remembers the order of the last one and asks the cache for the
// units it will come to a little ahead of itself: a large tree is walked at
// the pace memory can deliver it rather than one wait per unit. The addresses
// are only hints: they are never read through, so a unit gone since costs
// nothing.
#include <cstddef>
#include <vector>

namespace vesk {

class TBaseRenderUnit;

class RenderListWalk {
public:
    // The engine's own walks leave hints; a walk of another tree (an interface
    // viewport's scene) runs between Finish and the next Start and leaves none.
    void Start();
    void Visit(const TBaseRenderUnit& unit);
    // Forgets what lies past this walk's end.
    void Finish();
    size_t Size() const { return order_.size(); }

    // Asks the cache for what running a render-list entry reads of the unit.
    static void PrefetchForDraw(const TBaseRenderUnit* unit);

private:
    static constexpr size_t kAhead = 64;
    struct Hint {
        const void* unit;
        const void* childList;
        const void* childs;
    };
    std::vector<Hint> order_;
    size_t cursor_ = 0;
    bool walking_ = false;
};

} // namespace vesk
