#pragma once
// What a path meets. The one segment-sphere rule of the sphere trees (section
// cutting and sweeps), the entry of a path into a sphere, an index of spheres
// by place that gives a path the few spheres it may meet, and the first unit a
// shot's or a beam's path meets among the scene's ship units.
#include "shared/math.h"

#include <cstdint>
#include <vector>

namespace vesk {

class TBaseRenderUnit;

// The segment a -> b against a sphere: true with the point p where they meet.
// A segment shorter than 1e-6 meets nothing; one with an end inside gives that
// end (a first); else the line must pass within the radius, and a segment whose
// ends both lie on one side of the centre must have an end within sqrt(2) radii.
// Cutting a model's sections counts ends exactly beside the centre as one
// side; a sweep does not, and also needs the point of the line nearest the
// centre to lie between the ends.
enum class SphereRule { kCutting, kSweep };
bool SegmentMeetsSphere(const Vec3& a, const Vec3& b, const Vec3& c, float r, SphereRule rule, Vec3& p);

// Where the path from -> to first enters the sphere, as the share t of the way
// (0 when it starts inside, also for a path of no length); false when it
// misses it.
bool SegmentEntersSphere(const Vec3& from, const Vec3& to, const Vec3& centre, float radius, float& t);

// Spheres by place. For a path it gives the spheres whose boxes its box meets,
// by the order they were added; the boxes are wider than the spheres by more
// than the rounding of the exact tests, so a sphere left out is one the path
// cannot meet. Both building it and asking it cost about the same whatever the
// number of spheres elsewhere: the boxes are filed in cells of a grid, a level
// of cells for each size of box, the cells of a level at least as large as its
// boxes; a box that is not finite is given to every ask.
class SphereIndex {
public:
    // x, y, z and a fourth lane that is 0 in every box.
    using Lanes = float __attribute__((vector_size(16)));
    struct Box {
        Lanes min, max;
    };

    void Clear();
    // The next sphere (its index is the number added before it).
    void Add(const Vec3& centre, float radius);
    // Files the spheres added; asks after it see them.
    void Build();
    uint32_t Size() const { return static_cast<uint32_t>(boxes_.size()); }
    // The spheres (by index, ascending) that the path from -> to may meet;
    // all of them when an end of the path is not a number.
    const std::vector<uint32_t>& Meeting(const Vec3& from, const Vec3& to);

private:
    // A box filed in a cell it reaches into.
    struct Filed {
        int32_t x, y, z;
        uint32_t level;
        uint32_t sphere;
    };
    struct Level {
        double size = 0;   // edge of its cells, at least that of its boxes
        float inverse = 0; // 1 / size
        std::vector<uint32_t> spheres;
        std::vector<Box> boxes; // of its spheres, side by side for a level that is scanned
        Box bounds{};           // of all its boxes: a path outside it looks no further
    };
    uint32_t Bucket(int32_t x, int32_t y, int32_t z, uint32_t level) const;

    std::vector<Box> boxes_;
    std::vector<uint32_t> notFinite_;
    std::vector<Level> levels_;
    std::vector<uint32_t> active_; // the levels that hold boxes
    // The filed boxes by bucket: bucket b holds filed_[bucketStart_[b] .. bucketStart_[b + 1]).
    std::vector<uint32_t> bucketStart_{0, 0};
    uint32_t bucketMask_ = 0;
    std::vector<Filed> filed_;
    std::vector<uint32_t> meeting_;
    // The ask in which each sphere was last looked at: a box filed in two
    // cells of the ask is looked at once.
    std::vector<uint32_t> seen_;
    uint32_t ask_ = 0;
    // Room reused from one building to the next.
    std::vector<float> edges_;
    std::vector<uint32_t> bucketOf_, next_;
    std::vector<Filed> unsorted_;
};

// What a shot's or a beam's path met: the unit, the point and the surface
// normal there, facing the path's start.
struct PathContact {
    TBaseRenderUnit* unit = nullptr;
    Vec3 point{};
    Vec3 normal{1, 0, 0};
};

// The ship units a path may meet, each with the sphere a path meets first: the
// outer sphere of its tree, or else its own sphere where the unit is now.
class PathTargets {
public:
    // The units as they are now; those killed or discarded, and those without
    // a tree or an own sphere, are left out.
    void Gather(const std::vector<TBaseRenderUnit*>& units);
    // Where the path from -> to first meets one of the units, passing over the
    // unit `ignore` and those killed since the gathering: down the tree of a
    // unit that has one (on its hull when it is large), else on its own
    // sphere; the first in order of those met at the same place. False when
    // it meets none.
    bool FindContact(const Vec3& from, const Vec3& to, TBaseRenderUnit* ignore, PathContact& out);
    uint32_t Size() const { return static_cast<uint32_t>(targets_.size()); }

private:
    struct Target {
        TBaseRenderUnit* unit = nullptr;
        // Kept by id: a tree replaced with the unit's model since is not used.
        int32_t treeId = 0;
        Vec3 centre{};
        float radius = 0.0f;
    };
    std::vector<Target> targets_;
    SphereIndex index_;
};

} // namespace vesk
