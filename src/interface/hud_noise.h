#pragma once
// The screen noise: a node whose children are the noise frames, shown one
// after the other at the noise level, with a short splash on demand.
#include <string>

#include "interface/draw_nodes.h"

namespace vesk {

class TNoiseGenerator : public TOpacityNode {
public:
    TNoiseGenerator() { SetTicked(true); }
    int NoiseLevel() const { return noiseLevel_; }
    int FrameIndex() const { return frame_; }
    void SetNoiseLevel(int level);
    void Splash(int level, int ms);

    void Tick(int ms) override;
    void ExeMethod(const std::string& method) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    int frame_ = 0;
    int basicLevel_ = 5;
    int noiseLevel_ = 5;
    int splashTime_ = 0;
    int splashCountdown_ = 0;
};

} // namespace vesk
