#include "shared/async_objects.h"

#include "shared/flags.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <thread>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::Halted;

TEST(FlagSet, SharesBitsOfTheWholeWord) {
    FlagClass f;
    EXPECT_FALSE(f.HasFlags(~0ull));
    f.AddFlags(1ull << 63);
    f.AddFlags(4);
    EXPECT_TRUE(f.HasFlags(1ull << 63));
    EXPECT_TRUE(f.HasFlags(6));
    EXPECT_FALSE(f.HasFlags(3));
    EXPECT_EQ(f.Flags(), (1ull << 63) | 4);
}

TEST(AsyncLock, PlainCreateIsRefused) {
    ErrorTrap trap;
    EXPECT_THROW(AsyncLockedObjectClass::Create(), Halted);
    EXPECT_EQ(trap.lastFatal, "AsyncLockedObjectClass.Create: use Init");
}

TEST(AsyncLock, LockIsExclusiveAcrossThreads) {
    AsyncLockedObjectClass* lock = AsyncLockedObjectClass::Init();
    int counter = 0; // guarded by the lock alone
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            lock->Lock();
            ++counter;
            lock->Unlock();
        }
    };
    std::thread t1(work), t2(work);
    t1.join();
    t2.join();
    EXPECT_EQ(counter, 40000);
    EXPECT_FALSE(lock->IsBusy());
    lock->Free();
}

TEST(AsyncObjectsMan, WaitsForBusyObjectsAndOwnsThem) {
    ASSERT_NE(ReAsyncMan, nullptr);
    EXPECT_EQ(ReAsyncMan->Name(), "re_async_man");

    AsyncObjectsManClass* man = AsyncObjectsManClass::Init("test_man");
    AsyncLockedObjectClass* a = AsyncLockedObjectClass::Init();
    AsyncLockedObjectClass* b = AsyncLockedObjectClass::Init();
    AsyncLockedObjectClass* gone = AsyncLockedObjectClass::Init();
    man->AddObject(a);
    man->AddObject(b);
    man->AddObject(gone);
    gone->Free(); // leaves the list by itself
    EXPECT_EQ(man->ObjectCount(), 2);
    EXPECT_FALSE(man->IsAnyBusy());
    b->Lock();
    EXPECT_TRUE(man->IsAnyBusy());
    std::thread worker([b] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        b->Unlock();
    });
    man->WaitAllIdle();
    EXPECT_FALSE(man->IsAnyBusy());
    worker.join();
    man->RemoveObject(a);
    EXPECT_EQ(man->ObjectCount(), 1);
    size_t live = LiveEngineObjectCount();
    man->Free(); // frees b with it
    EXPECT_EQ(LiveEngineObjectCount(), live - 2);
    a->Free();
}

} // namespace
} // namespace vesk
