#include "game/statistics.h"

#include <cmath>

namespace vesk {

TStatictics* Statistics = nullptr;

// ---- TStatisticsTimer ---------------------------------------------------------------

void TStatisticsTimer::Tick(float dtMs) {
    elapsed_ += dtMs;
    if (elapsed_ < period_) return;
    lastCount_ = current_;
    total_ += current_;
    ++periods_;
    current_ = 0;
    elapsed_ = 0.0f;
}

float TStatisticsTimer::Rate() const {
    return periods_ > 0 ? static_cast<float>(total_) / static_cast<float>(periods_) : 0.0f;
}

// ---- TStatisticCounter ----------------------------------------------------------------

void TStatisticCounter::Create(const std::string& name, TBaseGameObject* parent) {
    TLoggedObject::Create(name, parent);
    timers_ = NewGameObject<TBaseGameObjectList>("timers", this);
    changes1s_ = NewGameObject<TStatisticsTimer>("changes1s", timers_);
    changes1s_->SetPeriod(1000.0f);
    changes10s_ = NewGameObject<TStatisticsTimer>("changes10s", timers_);
    changes10s_->SetPeriod(10000.0f);
}

void TStatisticCounter::ChildLeft(TBaseGameObject* child) {
    if (child == timers_) {
        timers_ = nullptr;
        changes1s_ = nullptr;
        changes10s_ = nullptr;
    }
}

void TStatisticCounter::Inc() {
    ++increments_;
    SetValue(value_ + 1);
}

void TStatisticCounter::Dec() {
    ++decrements_;
    SetValue(value_ - 1);
}

void TStatisticCounter::SetValue(int32_t v) {
    value_ = v;
    if (changes1s_) changes1s_->Count();
    if (changes10s_) changes10s_->Count();
    ++changes_;
    sum_ += static_cast<float>(v);
    if (v > maximum_) maximum_ = v;
}

void TStatisticCounter::Tick(float dtMs) {
    if (changes1s_) changes1s_->Tick(dtMs);
    if (changes10s_) changes10s_->Tick(dtMs);
    Update();
}

void TStatisticCounter::Update() {
    average_ = changes_ > 0 ? static_cast<int32_t>(std::nearbyint(sum_ / static_cast<float>(changes_))) : 0;
    const float rate = changes1s_ ? changes1s_->Rate() : 0.0f;
    load_ = rate / 2.0f * rateWeight_ + static_cast<float>(average_) * averageWeight_;
}

// ---- TStatictics ----------------------------------------------------------------------------

TStatictics::~TStatictics() {
    if (Statistics == this) Statistics = nullptr;
}

void TStatictics::Delete() {
    if (Statistics == this) Statistics = nullptr;
    TLoggedObject::Delete();
}

TStatisticCounter* TStatictics::MakeCounter(const char* name, float averageWeight, float rateWeight) {
    auto* c = NewGameObject<TStatisticCounter>(name, counters_);
    c->SetWeights(averageWeight, rateWeight);
    return c;
}

void TStatictics::Create(const std::string& name, TBaseGameObject* parent) {
    TLoggedObject::Create(name, parent);
    counters_ = NewGameObject<TBaseGameObjectList>("counters", this);
    ai_ = MakeCounter("gameAiCounter", 700.0f, 150.0f);
    spaceObj_ = MakeCounter("gameSpaceObjCounter", 100.0f, 0.0f);
    bullet_ = MakeCounter("gameBulletCounter", 0.0f, 100.0f);
    rocket_ = MakeCounter("gameRocketCounter", 500.0f, 1000.0f);
    task_ = MakeCounter("gameTaskCounter", 0.0f, 5.0f);
}

void TStatictics::ChildLeft(TBaseGameObject* child) {
    if (child == counters_) {
        counters_ = nullptr;
        ai_ = spaceObj_ = bullet_ = rocket_ = task_ = nullptr;
    }
}

void TStatictics::Tick(float dtMs) {
    for (TStatisticCounter* c : {ai_, spaceObj_, bullet_, rocket_, task_})
        if (c) c->Tick(dtMs);
}

void TStatictics::Update() {
    for (TStatisticCounter* c : {ai_, spaceObj_, bullet_, rocket_, task_})
        if (c) c->Update();
}

TStatictics* CreateStatistics() {
    if (!Statistics) Statistics = NewGameObject<TStatictics>("statistics", nullptr);
    return Statistics;
}

} // namespace vesk
