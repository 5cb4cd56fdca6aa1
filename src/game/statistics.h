#pragma once
// Live-object counters: how many game objects of five kinds live at a time,
// how often that number changes, and a weighted load figure per kind.
#include <cstdint>
#include <string>

#include "game/game_object.h"

namespace vesk {

class TLoggedObject : public TBaseGameObjectList {
    VESK_GAME_CLASS(TLoggedObject)
public:
    virtual void Update() {}
};

// Counts the changes of a value within fixed periods.
class TStatisticsTimer : public TLoggedObject {
    VESK_GAME_CLASS(TStatisticsTimer)
public:
    void SetPeriod(float ms) { period_ = ms; }
    // One change counted in the current period.
    void Count() { ++current_; }
    void Tick(float dtMs) override;
    // Changes per completed period; 0 before the first period completes.
    float Rate() const;

    int32_t LastCount() const { return lastCount_; }
    float Elapsed() const { return elapsed_; }
    float Period() const { return period_; }
    int32_t Current() const { return current_; }
    int32_t Total() const { return total_; }
    int32_t Periods() const { return periods_; }

private:
    int32_t lastCount_ = 0;
    float elapsed_ = 0.0f;
    float period_ = 0.0f;
    int32_t current_ = 0;
    int32_t total_ = 0;
    int32_t periods_ = 0;
};

class TStatisticCounter : public TLoggedObject {
    VESK_GAME_CLASS(TStatisticCounter)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void SetWeights(float average, float changeRate) {
        averageWeight_ = average;
        rateWeight_ = changeRate;
    }
    void Inc();
    void Dec();
    void SetValue(int32_t v);
    // Every timer's tick, then the update.
    void Tick(float dtMs) override;
    // Average and load; with no change yet the average is 0.
    void Update() override;

    int32_t Value() const { return value_; }
    int32_t Changes() const { return changes_; }
    int32_t Increments() const { return increments_; }
    int32_t Decrements() const { return decrements_; }
    float Sum() const { return sum_; }
    int32_t Maximum() const { return maximum_; }
    int32_t Average() const { return average_; }
    // The weighted load figure (the game object's own Load reads Lua text).
    float LoadFigure() const { return load_; }
    TStatisticsTimer* Changes1s() const { return changes1s_; }
    TStatisticsTimer* Changes10s() const { return changes10s_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TBaseGameObjectList* timers_ = nullptr;
    int32_t value_ = 0;
    TStatisticsTimer* changes1s_ = nullptr;
    TStatisticsTimer* changes10s_ = nullptr;
    int32_t changes_ = 0;
    int32_t increments_ = 0;
    int32_t decrements_ = 0;
    float sum_ = 0.0f;
    int32_t maximum_ = 0;
    int32_t average_ = 0;
    float averageWeight_ = 0.0f;
    float rateWeight_ = 0.0f;
    float load_ = 0.0f;
};

class TStatictics : public TLoggedObject {
    VESK_GAME_CLASS(TStatictics)
public:
    ~TStatictics() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Leaves the global at once: nothing counts into a deleted object.
    void Delete() override;
    // Each counter's tick (timers, then update), in order.
    void Tick(float dtMs) override;
    // Each counter's update, in order (also the final totals at shut-down).
    void Update() override;

    TStatisticCounter* Ai() const { return ai_; }
    TStatisticCounter* SpaceObj() const { return spaceObj_; }
    TStatisticCounter* Bullet() const { return bullet_; }
    TStatisticCounter* Rocket() const { return rocket_; }
    TStatisticCounter* Task() const { return task_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TStatisticCounter* MakeCounter(const char* name, float averageWeight, float rateWeight);
    TBaseGameObjectList* counters_ = nullptr;
    TStatisticCounter* ai_ = nullptr;
    TStatisticCounter* spaceObj_ = nullptr;
    TStatisticCounter* bullet_ = nullptr;
    TStatisticCounter* rocket_ = nullptr;
    TStatisticCounter* task_ = nullptr;
};

// "statistics": made once, without a parent, and kept for the whole run
// (nullptr before it is made and after it is freed).
extern TStatictics* Statistics;
// Makes "statistics" when it does not exist yet.
TStatictics* CreateStatistics();

} // namespace vesk
