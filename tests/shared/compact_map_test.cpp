#include "shared/compact_map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <unordered_map>

namespace vesk {
namespace {

// Random sets and erases over a small key range, so that probe runs collide,
// wrap around the end of the array and lose entries from their middle; after
// every step the map must agree with a reference map on every key.
TEST(CompactMapTest, AgreesWithAReferenceMapThroughGrowthAndErases) {
    CompactMap<int32_t, int> map;
    std::unordered_map<int32_t, int> reference;
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> key(1, 300);
    for (int step = 0; step < 20000; ++step) {
        const int32_t k = key(random);
        if (random() % 3 == 0) {
            EXPECT_EQ(map.Erase(k), reference.erase(k) == 1) << "step " << step;
        } else {
            map.Set(k, step);
            reference[k] = step;
        }
        ASSERT_EQ(map.size(), reference.size()) << "step " << step;
        if (step % 97 != 0) continue;
        for (int32_t probe = 0; probe <= 301; ++probe) {
            auto it = reference.find(probe);
            const int* v = map.Find(probe);
            ASSERT_EQ(v != nullptr, it != reference.end()) << "key " << probe << ", step " << step;
            if (v) {
                EXPECT_EQ(*v, it->second) << "key " << probe;
            }
        }
    }
    size_t visited = 0;
    map.ForEach([&](int32_t k, int v) {
        ++visited;
        EXPECT_EQ(reference.at(k), v);
    });
    EXPECT_EQ(visited, reference.size());
}

// Pointer keys as registries use them: aligned addresses; the null key is never stored.
TEST(CompactMapTest, PointerKeysAndTheEmptyKey) {
    static int64_t objects[100];
    CompactMap<const int64_t*, int> map;
    for (int i = 0; i < 100; ++i) map.Set(&objects[i], i);
    map.Set(nullptr, 5);
    EXPECT_EQ(map.size(), 100u);
    EXPECT_FALSE(map.Contains(nullptr));
    EXPECT_FALSE(map.Erase(nullptr));
    for (int i = 0; i < 100; i += 2) EXPECT_TRUE(map.Erase(&objects[i]));
    EXPECT_FALSE(map.Erase(&objects[0]));
    for (int i = 0; i < 100; ++i) EXPECT_EQ(map.Contains(&objects[i]), i % 2 == 1) << i;
    map.Set(&objects[1], 42);
    EXPECT_EQ(*map.Find(&objects[1]), 42);
    EXPECT_EQ(map.size(), 50u);
}

} // namespace
} // namespace vesk
