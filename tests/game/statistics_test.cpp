// The object statistics counters: values, changes, timers' rates and loads.
#include "game/statistics.h"
#include "game_logic_fixture.h"

namespace vesk::test {
namespace {

using StatisticsCounters = GameLogicTest;

TEST_F(StatisticsCounters, FiveCountersWithTheirWeights) {
    ASSERT_NE(nullptr, Statistics);
    EXPECT_EQ(nullptr, Statistics->GetParent());
    EXPECT_EQ("statistics", Statistics->GetName());
    const struct {
        TStatisticCounter* counter;
        const char* name;
        float average;
        float rate;
    } cases[] = {
        {Statistics->Ai(), "gameAiCounter", 700, 150},
        {Statistics->SpaceObj(), "gameSpaceObjCounter", 100, 0},
        {Statistics->Bullet(), "gameBulletCounter", 0, 100},
        {Statistics->Rocket(), "gameRocketCounter", 500, 1000},
        {Statistics->Task(), "gameTaskCounter", 0, 5},
    };
    std::string order;
    int32_t cursor;
    TBaseGameObject* child;
    TBaseGameObject* counters = Statistics->FindChild("counters");
    ASSERT_NE(nullptr, counters);
    counters->First(cursor);
    while (counters->Next(cursor, child)) order += child->GetName() + " ";
    EXPECT_EQ("gameAiCounter gameSpaceObjCounter gameBulletCounter gameRocketCounter gameTaskCounter ",
              order);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(nullptr, c.counter);
        EXPECT_EQ(c.name, c.counter->GetName());
        EXPECT_FLOAT_EQ(1000.0f, c.counter->Changes1s()->Period());
        EXPECT_FLOAT_EQ(10000.0f, c.counter->Changes10s()->Period());
        // One object alive over one second with one change: load = rate/2 * rate weight + 1 * average weight.
        c.counter->Inc();
        c.counter->Tick(1000.0f);
        EXPECT_FLOAT_EQ(0.5f * c.rate + c.average, c.counter->LoadFigure());
    }
}

TEST_F(StatisticsCounters, ValuesSumsAndAverages) {
    TStatisticCounter* c = Statistics->Bullet();
    // Before any change: no average and no rate yet, both read 0.
    c->Update();
    EXPECT_EQ(0, c->Average());
    EXPECT_FLOAT_EQ(0.0f, c->Changes1s()->Rate());
    EXPECT_FLOAT_EQ(0.0f, c->LoadFigure());

    for (int v : {0, 1, 2, 1}) c->SetValue(v);
    c->Update();
    EXPECT_EQ(4, c->Changes());
    EXPECT_FLOAT_EQ(4.0f, c->Sum());
    EXPECT_EQ(2, c->Maximum());
    EXPECT_EQ(1, c->Average());
    EXPECT_EQ(1, c->Value());

    c->Inc();
    c->Dec();
    c->Dec();
    EXPECT_EQ(0, c->Value());
    EXPECT_EQ(1, c->Increments());
    EXPECT_EQ(2, c->Decrements());
    EXPECT_EQ(7, c->Changes());
}

TEST_F(StatisticsCounters, TimersCountChangesPerPeriod) {
    TStatisticCounter* c = Statistics->Rocket();
    TStatisticsTimer* t = c->Changes1s();
    c->Inc();
    c->Inc();
    c->Inc();
    c->Tick(600.0f);
    EXPECT_EQ(0, t->Periods());
    EXPECT_EQ(3, t->Current());
    c->Tick(400.0f); // the period completes
    EXPECT_EQ(1, t->Periods());
    EXPECT_EQ(3, t->LastCount());
    EXPECT_EQ(0, t->Current());
    EXPECT_FLOAT_EQ(0.0f, t->Elapsed());
    c->Dec();
    c->Tick(1000.0f);
    EXPECT_EQ(1, t->LastCount());
    EXPECT_EQ(4, t->Total());
    EXPECT_FLOAT_EQ(2.0f, t->Rate());
    EXPECT_EQ(0, c->Changes10s()->Periods());
    // Average of 1, 2, 3, 2 is 2: load = 2/2 * 1000 + 2 * 500.
    EXPECT_FLOAT_EQ(2000.0f, c->LoadFigure());

    // The whole object ticks and updates each counter.
    Statistics->Ai()->Inc();
    Statistics->Tick(1000.0f);
    EXPECT_FLOAT_EQ(0.5f * 150.0f + 700.0f, Statistics->Ai()->LoadFigure());
}

} // namespace
} // namespace vesk::test
