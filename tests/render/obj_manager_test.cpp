// Indexed object pools: hand-out order, release by swap, growth, handlers and
// the slot data faults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/obj_manager.h"
#include "support/error_trap.h"

namespace vesk::test {
namespace {

struct Handlers : IManagedObjectInitiator, IManagedObjectDeInitiator, IManagedObjectActioner {
    std::vector<std::string> log;
    void InitObject(ManagedObjectClass& s) override {
        log.push_back("init " + std::to_string(s.GetPosition()));
        s.SetData(&s);
    }
    void DeInitObject(ManagedObjectClass& s) override {
        log.push_back("deinit " + std::to_string(s.GetPosition()));
        s.DeleteStructData();
    }
    void ActivateObject(ManagedObjectClass& s) override {
        log.push_back("on " + std::to_string(s.GetPosition()));
    }
    void DeactivateObject(ManagedObjectClass& s) override {
        log.push_back("off " + std::to_string(s.GetPosition()));
    }
};

// Pools are engine objects: made with New, ended with Free.
struct Pool {
    template <class... A> explicit Pool(A&&... args) : p(TEngineObject::New<ObjManagerClass>(args...)) {}
    ~Pool() { p->Free(); }
    ObjManagerClass* operator->() const { return p; }
    ObjManagerClass* p;
};

std::vector<ManagedObjectClass*> InUse(const ObjManagerClass& pool) {
    std::vector<ManagedObjectClass*> out;
    ObjManagerIteratorClass it = pool.NewIterator();
    ManagedObjectClass* slot = nullptr;
    while (pool.Next(it, slot)) out.push_back(slot);
    return out;
}

TEST(ObjManager, HandsOutReleasesBySwapAndGrows) {
    Handlers h;
    {
        Pool pool(3, &h, &h, &h, "test", 4);
        EXPECT_EQ((std::vector<std::string>{"init 0", "init 1", "init 2"}), h.log);
        ManagedObjectClass* s1 = pool->GetObject();
        ManagedObjectClass* s2 = pool->GetObject();
        EXPECT_EQ(3, pool->GetCapacity());
        ManagedObjectClass* s3 = pool->GetObject();
        // Taking the last free slot grows the pool at once.
        EXPECT_EQ(7, pool->GetCapacity());
        EXPECT_EQ(3, pool->GetUsedCount());
        EXPECT_EQ(s1, s1->GetData());

        // Releasing the first moves the third into its place.
        h.log.clear();
        s1->ReturnToPool();
        EXPECT_EQ((std::vector<std::string>{"off 0"}), h.log);
        EXPECT_EQ(0, s3->GetPosition());
        EXPECT_EQ(2, s1->GetPosition());
        EXPECT_EQ((std::vector<ManagedObjectClass*>{s3, s2}), InUse(*pool.p));
        // The released slot is the next one handed out.
        EXPECT_EQ(s1, pool->GetObject());
        // A position outside the used range changes nothing.
        pool->ReleaseObject(10);
        pool->ReleaseObject(-1);
        EXPECT_EQ(3, pool->GetUsedCount());
        h.log.clear();
    }
    EXPECT_EQ(7u, h.log.size()); // every slot emptied when the pool goes
}

// An initiator that is an engine object of its own.
class CountingInitiator : public TEngineObject, public IManagedObjectInitiator {
public:
    int* count = nullptr;
    void InitObject(ManagedObjectClass&) override { ++*count; }
};

TEST(ObjManager, AHandlerThatGoesAwayIsDropped) {
    int made = 0;
    auto* init = TEngineObject::New<CountingInitiator>();
    init->count = &made;
    Pool pool(2, nullptr, nullptr, init, "watched", 2);
    EXPECT_EQ(2, made);
    init->Free();
    pool->GetObject();
    pool->GetObject(); // grows without calling the freed initiator
    EXPECT_EQ(4, pool->GetCapacity());
    EXPECT_EQ(2, made);

    // An owner that is its own handler frees its pool with itself.
    struct Owner : AbstractObjManagerClass {
        int activated = 0;
        void ActivateObject(ManagedObjectClass&) override { ++activated; }
    };
    auto* owner = TEngineObject::New<Owner>();
    owner->Create(3, "own", 1);
    owner->GetPool()->GetObject();
    EXPECT_EQ(1, owner->activated);
    EXPECT_EQ("own", owner->GetPool()->GetName());
    owner->Free();
}

TEST(ObjManager, PoolsGrowByTheirOwnStepAndSlotsKeepTheirPlaceAndData) {
    // (capacity, step) -> capacity after taking every slot once: the step, however big the pool
    struct Case {
        int32_t capacity, step, grown;
    };
    for (const Case c :
         {Case{3, 4, 7}, Case{100, 10, 110}, Case{3000, 1000, 4000}, Case{2000, 500, 2500}, Case{1, 0, 2}}) {
        struct Filler : IManagedObjectInitiator {
            void InitObject(ManagedObjectClass& s) override {
                const int32_t small[2] = {s.GetPosition(), -1};
                if (s.GetPosition() % 2) {
                    s.SetStructData(small, sizeof small);
                } else {
                    // Larger than a slot holds in itself.
                    std::vector<int32_t> big(40, s.GetPosition());
                    s.SetStructData(big.data(), big.size() * sizeof(int32_t));
                }
            }
        } filler;
        Pool pool(c.capacity, nullptr, nullptr, &filler, "grow", c.step);
        std::vector<ManagedObjectClass*> taken;
        for (int32_t i = 0; i < c.capacity; ++i) taken.push_back(pool->GetObject());
        EXPECT_EQ(c.grown, pool->GetCapacity()) << c.capacity << "/" << c.step;
        // Growing more keeps every slot where it was, with its block.
        for (int32_t i = 0; i < 3 * c.grown; ++i) pool->GetObject();
        for (size_t i = 0; i < taken.size(); ++i) {
            const auto* data = static_cast<const int32_t*>(taken[i]->GetDataPtr());
            ASSERT_NE(nullptr, data);
            EXPECT_EQ(static_cast<int32_t>(i), data[0]);
            EXPECT_EQ(i % 2 ? 8u : 160u, taken[i]->GetDataSize());
            EXPECT_EQ(i % 2 ? -1 : static_cast<int32_t>(i), data[1]);
        }
    }
}

TEST(ObjManager, ASlotIsFoundByItsIdWhereverReleasesMovedIt) {
    // Entries remember the id of their slot; releases reorder the slots, and
    // growth adds blocks, but an id leads back to the same slot.
    Pool pool(4, nullptr, nullptr, nullptr, "ids", 3);
    std::vector<ManagedObjectClass*> taken;
    for (int i = 0; i < 11; ++i) taken.push_back(pool->GetObject());
    std::vector<int32_t> ids;
    for (ManagedObjectClass* s : taken) ids.push_back(pool->SlotId(*s));
    for (size_t i : {size_t{0}, size_t{5}, size_t{2}, size_t{9}}) taken[i]->ReturnToPool();
    for (int i = 0; i < 6; ++i) pool->GetObject();
    for (size_t i = 0; i < taken.size(); ++i) {
        EXPECT_EQ(pool->ObjectAt(ids[i]), taken[i]) << i;
        EXPECT_EQ(pool->SlotId(*taken[i]), ids[i]) << i;
    }
    EXPECT_EQ(pool->ObjectAt(-1), nullptr);
    EXPECT_EQ(pool->ObjectAt(pool->GetCapacity()), nullptr);
}

TEST(ObjManager, PoolWithoutGrowthStepStillGrows) {
    Pool pool(1, nullptr, nullptr, nullptr, "nostep", 0);
    for (int i = 0; i < 5; ++i) ASSERT_NE(nullptr, pool->GetObject());
    EXPECT_EQ(5, pool->GetUsedCount());
    EXPECT_GT(pool->GetCapacity(), 5);
}

TEST(ObjManager, SlotDataFaultsAreFatal) {
    ErrorTrap trap;
    Pool pool(1, nullptr, nullptr, nullptr, "faults", 1);
    ManagedObjectClass* s = pool->GetObject();
    EXPECT_EQ(nullptr, s->GetData());
    EXPECT_THROW(s->DeleteStructData(), Halted);
    EXPECT_EQ("ManagedObjectClass.DeleteStructData: pData = nil, faults", trap.lastFatal);
    const int v = 5;
    s->SetStructData(&v, sizeof v);
    EXPECT_EQ(5, *static_cast<int*>(s->GetDataPtr()));
    EXPECT_THROW(s->SetData(nullptr), Halted);
    EXPECT_EQ("ManagedObjectClass.SetData: pData<>nil, faults", trap.lastFatal);
}

} // namespace
} // namespace vesk::test
