#include "physics/path_hits.h"

#include "physics/bsphere.h"
#include "physics/coll_detector.h"
#include "render/render_unit.h"
#include "shared/math_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <xmmintrin.h>

namespace vesk {

bool SegmentMeetsSphere(const Vec3& a, const Vec3& b, const Vec3& c, float r, SphereRule rule, Vec3& p) {
    Vec3 d = Vec3Sub(b, a);
    const float length = Vec3Length(d);
    if (length <= 1e-6f) return false;
    d = Vec3Scale(d, -1.0f / length); // from b back towards a
    const Vec3 ac = Vec3Sub(a, c), bc = Vec3Sub(b, c);
    if (Vec3LengthSq(ac) < r * r) {
        p = a;
        return true;
    }
    if (Vec3LengthSq(bc) < r * r) {
        p = b;
        return true;
    }
    Vec3 q;
    const float t = ClosestPointOnLine(c, a, b, q);
    const float h = Vec3Length(Vec3Sub(q, c));
    if (h > r) return false;
    const float sides = Vec3Dot(ac, bc);
    if (rule == SphereRule::kCutting ? sides >= 0.0f : sides > 0.0f) {
        const float reach = std::sqrt(2.0f) * r;
        if (!(Vec3Length(ac) < reach || Vec3Length(bc) < reach)) return false;
    }
    if (rule == SphereRule::kSweep && (t < 0.0f || t > 1.0f)) return false;
    p = Vec3Add(q, Vec3Scale(d, std::sqrt(r * r - h * h)));
    return true;
}

bool SegmentEntersSphere(const Vec3& from, const Vec3& to, const Vec3& centre, float radius, float& t) {
    const Vec3 d = Vec3Sub(to, from);
    const Vec3 m = Vec3Sub(from, centre);
    const float a = Vec3Dot(d, d);
    const float c = Vec3Dot(m, m) - radius * radius;
    if (c <= 0.0f) {
        t = 0.0f; // starts inside
        return true;
    }
    if (a <= 0.0f) return false;
    const float b = Vec3Dot(m, d);
    const float disc = b * b - a * c;
    if (disc < 0.0f) return false;
    t = (-b - std::sqrt(disc)) / a;
    return t >= 0.0f && t <= 1.0f;
}

// ---- spheres by place ------------------------------------------------------------------------

namespace {

using Lanes = SphereIndex::Lanes;
using Flags = int32_t __attribute__((vector_size(16)));

// The box of a path or a sphere is widened by this share of the path's length
// and of the sphere's radius, and by this share of the size of its coordinates:
// more than the rounding of the exact tests reaches, so a box test rejects only
// what they would.
constexpr float kBoxSlack = 0.05f;
constexpr float kBoxCoordinateSlack = 1e-5f;

// The smallest cells are this many times the common box: a short path then
// crosses one or two of them along an axis.
constexpr double kBaseCellScale = 2.0;
// A level's cells are this many times as large as those of the level below.
constexpr double kLevelStep = 4.0;
constexpr uint32_t kMaxLevels = 48;
// A level of no more boxes than this is scanned box by box: cheaper than
// finding the cells of the path and looking them up.
constexpr size_t kScannedLevel = 16;
// Cell coordinates are kept within this: far beyond any place of the game,
// where cells share a number (the box test still decides).
constexpr float kCellLimit = 1073741824.0f;

// A point as lanes; the fourth lane is 0 in every box and point, so that it
// never keeps boxes apart.
Lanes ToLanes(const Vec3& v) {
    return Lanes{v.x, v.y, v.z, 0.0f};
}

// The smaller and the larger of each pair of lanes that are numbers.
Lanes Smaller(Lanes a, Lanes b) {
    return _mm_min_ps(a, b);
}

Lanes Larger(Lanes a, Lanes b) {
    return _mm_max_ps(a, b);
}

bool AnyLane(Flags f) {
    return _mm_movemask_ps(reinterpret_cast<__m128>(f)) != 0;
}

float LargestCoordinate(const Vec3& v) {
    return std::max(std::max(std::fabs(v.x), std::fabs(v.y)), std::fabs(v.z));
}

bool IsFinite(Lanes v) {
    const Lanes size = v < 0.0f ? -v : v;
    return !AnyLane(!(size <= std::numeric_limits<float>::max()));
}

// Apart on an axis: the boxes do not meet (written so that a side that is not
// a number counts as meeting).
bool BoxesMeet(const SphereIndex::Box& b, Lanes low, Lanes high) {
    return !AnyLane((b.min > high) | (b.max < low));
}

// The cells of a point's coordinates: floor(v / size + 1/2), kept within the
// limit. Never less for a smaller v, so that boxes that meet share a cell:
// building and asking use this one rule. The cells are centred on the origin:
// a scene laid out about a plane through it (as most are) then has its paths
// along that plane in one cell across it. A coordinate that is not a number
// is not asked for.
Flags CellsOf(Lanes v, float inverse) {
    const Lanes limit = Lanes{} + kCellLimit;
    const Lanes q = Smaller(Larger(v * inverse + 0.5f, -limit), limit);
    const Flags i = __builtin_convertvector(q, Flags);
    return i + (q < __builtin_convertvector(i, Lanes)); // a true lane is -1
}

} // namespace

void SphereIndex::Clear() {
    boxes_.clear();
    notFinite_.clear();
    for (Level& l : levels_) l.spheres.clear(), l.boxes.clear();
    active_.clear();
    filed_.clear();
    bucketStart_.assign(2, 0);
    bucketMask_ = 0;
    meeting_.clear();
}

void SphereIndex::Add(const Vec3& centre, float radius) {
    const float r = std::fabs(radius);
    const float reach = r * (1.0f + kBoxSlack) + kBoxCoordinateSlack * (LargestCoordinate(centre) + r);
    const Lanes c = ToLanes(centre), half{reach, reach, reach, 0.0f};
    boxes_.push_back({c - half, c + half});
}

uint32_t SphereIndex::Bucket(int32_t x, int32_t y, int32_t z, uint32_t level) const {
    uint32_t h = static_cast<uint32_t>(x) * 0x9E3779B1u;
    h ^= static_cast<uint32_t>(y) * 0x85EBCA77u;
    h ^= static_cast<uint32_t>(z) * 0xC2B2AE3Du;
    h ^= level * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h & bucketMask_;
}

void SphereIndex::Build() {
    notFinite_.clear();
    active_.clear();
    unsorted_.clear();
    bucketOf_.clear();
    const uint32_t n = Size();
    seen_.assign(n, 0);
    ask_ = 0;
    // The common box sets the smallest cells: the median edge of the finite boxes.
    edges_.clear();
    for (const Box& b : boxes_)
        if (IsFinite(b.min) && IsFinite(b.max)) edges_.push_back(b.max[0] - b.min[0]);
    double base = 1.0;
    if (!edges_.empty()) {
        auto middle = edges_.begin() + static_cast<std::ptrdiff_t>(edges_.size() / 2);
        std::nth_element(edges_.begin(), middle, edges_.end());
        if (*middle > 0.0f && std::isfinite(*middle)) base = kBaseCellScale * *middle;
    }
    double size = base;
    for (Level& l : levels_) {
        l.size = size, l.inverse = static_cast<float>(1.0 / size), l.spheres.clear(), l.boxes.clear();
        size *= kLevelStep;
    }
    for (uint32_t i = 0; i < n; ++i) {
        const Box& b = boxes_[i];
        const double edge = static_cast<double>(b.max[0]) - b.min[0];
        uint32_t level = 0;
        for (size = base; size < edge && level < kMaxLevels; size *= kLevelStep) ++level;
        if (!IsFinite(b.min) || !IsFinite(b.max) || level == kMaxLevels) {
            notFinite_.push_back(i); // no level holds it
            continue;
        }
        while (levels_.size() <= level) {
            const double s = base * std::pow(kLevelStep, static_cast<double>(levels_.size()));
            Level added;
            added.size = s, added.inverse = static_cast<float>(1.0 / s);
            levels_.push_back(std::move(added));
        }
        Level& l = levels_[level];
        if (l.spheres.empty()) {
            l.bounds = b;
        } else {
            l.bounds.min = Smaller(l.bounds.min, b.min);
            l.bounds.max = Larger(l.bounds.max, b.max);
        }
        l.spheres.push_back(i);
        l.boxes.push_back(b);
    }
    // Each box is filed in every cell of its level that it reaches into: no
    // more than two along an axis, its cells being at least as large as it.
    for (uint32_t level = 0; level < levels_.size(); ++level) {
        const Level& l = levels_[level];
        if (l.spheres.empty()) continue;
        active_.push_back(level);
        if (l.spheres.size() <= kScannedLevel) continue; // asked box by box, filed nowhere
        for (uint32_t i : l.spheres) {
            const Flags lo = CellsOf(boxes_[i].min, l.inverse), hi = CellsOf(boxes_[i].max, l.inverse);
            for (int32_t x = lo[0]; x <= hi[0]; ++x)
                for (int32_t y = lo[1]; y <= hi[1]; ++y)
                    for (int32_t z = lo[2]; z <= hi[2]; ++z) unsorted_.push_back({x, y, z, level, i});
        }
    }
    uint32_t buckets = 1;
    while (buckets < 2 * unsorted_.size()) buckets *= 2;
    bucketMask_ = buckets - 1;
    bucketStart_.assign(buckets + 1, 0);
    for (const Filed& f : unsorted_) {
        bucketOf_.push_back(Bucket(f.x, f.y, f.z, f.level));
        ++bucketStart_[bucketOf_.back() + 1];
    }
    for (uint32_t b = 0; b < buckets; ++b) bucketStart_[b + 1] += bucketStart_[b];
    filed_.resize(unsorted_.size());
    next_.assign(bucketStart_.begin(), bucketStart_.end() - 1);
    for (size_t k = 0; k < unsorted_.size(); ++k) filed_[next_[bucketOf_[k]]++] = unsorted_[k];
}

const std::vector<uint32_t>& SphereIndex::Meeting(const Vec3& from, const Vec3& to) {
    meeting_.clear();
    const Lanes a = ToLanes(from), b = ToLanes(to);
    const float length = Vec3Length(Vec3Sub(to, from));
    const float s =
        kBoxSlack * length + kBoxCoordinateSlack * (LargestCoordinate(from) + LargestCoordinate(to));
    const Lanes slack{s, s, s, 0.0f};
    const Lanes low = Smaller(a, b) - slack, high = Larger(a, b) + slack;
    // An end that is no number, or infinities that cancel.
    if (AnyLane((a != a) | (b != b) | (low != low) | (high != high))) {
        for (uint32_t i = 0; i < Size(); ++i) meeting_.push_back(i);
        return meeting_;
    }
    // Each box of a level asked in turn, from the level's own copy side by side.
    auto scan = [&](const Level& l) {
        const Box* box = l.boxes.data();
        const uint32_t* sphere = l.spheres.data();
        for (const Box* end = box + l.boxes.size(); box != end; ++box, ++sphere)
            if (BoxesMeet(*box, low, high)) meeting_.push_back(*sphere);
    };
    for (uint32_t level : active_) {
        const Level& l = levels_[level];
        if (!BoxesMeet(l.bounds, low, high)) continue;
        if (l.spheres.size() <= kScannedLevel) {
            scan(l);
            continue;
        }
        const Flags lo = CellsOf(low, l.inverse), hi = CellsOf(high, l.inverse);
        if (!AnyLane(lo != hi)) {
            // Within one cell, as a shot's step mostly is: each box is filed
            // there once.
            const uint32_t bucket = Bucket(lo[0], lo[1], lo[2], level);
            const Filed* f = filed_.data() + bucketStart_[bucket];
            for (const Filed* end = filed_.data() + bucketStart_[bucket + 1]; f != end; ++f) {
                if (f->x != lo[0] || f->y != lo[1] || f->z != lo[2] || f->level != level) continue;
                if (BoxesMeet(boxes_[f->sphere], low, high)) meeting_.push_back(f->sphere);
            }
            continue;
        }
        // A path that crosses more of the level's cells than half its boxes:
        // each box is asked instead.
        const uint64_t most = l.spheres.size() / 2;
        const uint64_t cx = static_cast<uint64_t>(static_cast<int64_t>(hi[0]) - lo[0] + 1);
        const uint64_t cy = static_cast<uint64_t>(static_cast<int64_t>(hi[1]) - lo[1] + 1);
        const uint64_t cz = static_cast<uint64_t>(static_cast<int64_t>(hi[2]) - lo[2] + 1);
        if (cx > most || cy > most || cz > most || cx * cy > most || cx * cy * cz > most) {
            scan(l);
            continue;
        }
        if (++ask_ == 0) { // the count came round: no sphere was looked at yet
            std::fill(seen_.begin(), seen_.end(), 0u);
            ask_ = 1;
        }
        for (int32_t x = lo[0]; x <= hi[0]; ++x)
            for (int32_t y = lo[1]; y <= hi[1]; ++y)
                for (int32_t z = lo[2]; z <= hi[2]; ++z) {
                    const uint32_t bucket = Bucket(x, y, z, level);
                    for (uint32_t k = bucketStart_[bucket]; k < bucketStart_[bucket + 1]; ++k) {
                        const Filed& f = filed_[k];
                        if (f.x != x || f.y != y || f.z != z || f.level != level || seen_[f.sphere] == ask_)
                            continue;
                        seen_[f.sphere] = ask_;
                        if (BoxesMeet(boxes_[f.sphere], low, high)) meeting_.push_back(f.sphere);
                    }
                }
    }
    if (!notFinite_.empty()) meeting_.insert(meeting_.end(), notFinite_.begin(), notFinite_.end());
    if (meeting_.size() > 1 && !std::is_sorted(meeting_.begin(), meeting_.end()))
        std::sort(meeting_.begin(), meeting_.end());
    return meeting_;
}

// ---- what a shot's or a beam's path meets -----------------------------------------------------

void PathTargets::Gather(const std::vector<TBaseRenderUnit*>& units) {
    targets_.clear();
    index_.Clear();
    for (TBaseRenderUnit* unit : units) {
        if (!unit || unit->HasFlag(BRU_KILLED | BRU_DISCARDED)) continue;
        Target target;
        target.unit = unit;
        if (BSpheresContainerClass* tree = GetSphereTree(unit)) {
            target.treeId = tree->GetId();
            target.centre = tree->GetPositionV();
            target.radius = tree->GetRadius();
        } else {
            BSphereRecord* own = nullptr;
            unit->GetOwnBSphere(own);
            if (!own) continue;
            unit->TransformBSphere(*own, unit->GetWorldMatrix());
            target.centre = own->worldCentre;
            target.radius = own->worldRadius;
        }
        targets_.push_back(target);
        index_.Add(target.centre, target.radius);
    }
    index_.Build();
}

bool PathTargets::FindContact(const Vec3& from, const Vec3& to, TBaseRenderUnit* ignore, PathContact& out) {
    float best = 2.0f;
    const Vec3 path = Vec3Sub(to, from);
    const float length = Vec3Length(path);
    for (uint32_t i : index_.Meeting(from, to)) {
        const Target& target = targets_[i];
        TBaseRenderUnit* unit = target.unit;
        // A unit killed since the gathering is passed over.
        if (unit == ignore || unit->HasFlag(BRU_KILLED | BRU_DISCARDED)) continue;
        // A path that misses the outer sphere misses the whole unit.
        float t = 0.0f;
        if (!SegmentEntersSphere(from, to, target.centre, target.radius, t)) continue;
        Vec3 normal{};
        if (target.treeId != 0) {
            // Where the path meets the unit: its hull when it is large, else
            // the innermost sphere of its tree.
            auto* tree = FindEngineObjectAs<BSpheresContainerClass>(target.treeId);
            UnitHit hit;
            if (!tree || !FindUnitHit(unit, tree, from, to, 0.0f, hit)) continue;
            t = length > 0.0f ? Vec3Length(Vec3Sub(hit.point, from)) / length : 0.0f;
            normal = hit.normal;
        } else {
            normal = Vec3Sub(Vec3Add(from, Vec3Scale(path, t)), target.centre);
        }
        if (t >= best) continue;
        best = t;
        out.unit = unit;
        out.point = Vec3Add(from, Vec3Scale(path, t));
        out.normal =
            Vec3Length(normal) > 0.0f ? Vec3Normalize(normal) : Vec3Normalize(Vec3Scale(path, -1.0f));
    }
    return best <= 1.0f;
}

} // namespace vesk
