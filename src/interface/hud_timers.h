#pragma once
// The game timer: a label that counts the mission's time up, or a set time
// down to zero.
#include "interface/draw_nodes.h"

namespace vesk {

class TGameTimer : public TLabelNode {
public:
    int TimeMs() const { return time_; }
    bool Countdown() const { return countdown_; }
    // The time becomes seconds x 1000 and the timer shows.
    void SetSeconds(int seconds);
    // Time 0, hidden.
    void StopTimer();
    int Seconds() const { return time_ / 1000; }

    void Tick(int ms) override;
    void ExeMethod(const std::string& method) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

private:
    int time_ = 0;
    bool countdown_ = false;
};

} // namespace vesk
