// Where render units live: every unit starts on a cache line, whatever its
// class's size, with the whole of its room to itself.
#include "render/render_unit.h"
#include "render/unit_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace vesk::test {
namespace {

bool OnALine(const void* p) {
    return reinterpret_cast<uintptr_t>(p) % 64 == 0;
}

TEST(UnitMemory, EverySizeStartsOnALineAndHasItsWholeRoom) {
    for (size_t bytes : {size_t{8}, size_t{376}, size_t{377}, size_t{1000}, size_t{4096}, size_t{10000}}) {
        std::vector<void*> made;
        for (int i = 0; i < 50; ++i) {
            void* p = AllocateUnitMemory(bytes);
            ASSERT_NE(p, nullptr);
            EXPECT_TRUE(OnALine(p)) << bytes;
            // The whole room is the unit's: writing it disturbs no neighbour.
            std::fill_n(static_cast<unsigned char*>(p), bytes, static_cast<unsigned char>(i));
            made.push_back(p);
        }
        for (size_t i = 0; i < made.size(); ++i)
            EXPECT_EQ(static_cast<unsigned char*>(made[i])[bytes - 1], static_cast<unsigned char>(i))
                << bytes;
        for (void* p : made) FreeUnitMemory(p, bytes);
    }
}

TEST(UnitMemory, UnitsOfEveryClassAreMadeThere) {
    struct Wide : TBaseRenderUnit {
        char payload[200] = {};
    };
    TBaseRenderUnit* a = TBaseRenderUnit::Create(nullptr);
    Wide* b = TBaseRenderUnit::Create<Wide>(nullptr);
    EXPECT_TRUE(OnALine(a));
    EXPECT_TRUE(OnALine(b));
    b->payload[199] = 1;
    a->Free();
    b->Free();
    if (TEODestroyManager) TEODestroyManager->Flush();
}

} // namespace
} // namespace vesk::test
