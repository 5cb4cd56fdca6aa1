#pragma once
// Variators: invisible nodes that animate one numeric property of another
// node from a begin value to an end value over a time along a curve, with a
// delay, repetition, reversal, pause, a completion handler and a chained next
// variator. TVarNode starts and stops a group of them at once.
#include <cstdint>
#include <functional>
#include <string>

#include "interface/draw_nodes.h"

namespace vesk {

enum class TVarFunction : uint8_t { External = 0, Line = 1, Sqr = 2, Sqrt = 3, Sin = 4, Lambda = 5 };

class TVariator : public TScriptNode {
public:
    TVariator();

    bool Forward() const { return forward_; }
    int RepeatCounter() const { return repeatCounter_; }
    int ActivationCountdown() const { return activationCountdown_; }
    int Remaining() const { return remaining_; }
    float T() const { return t_; }
    bool Paused() const { return paused_; }
    TVarFunction Function() const { return function_; }
    TSimpleNode* Control() const;

    void Start();
    void Stop();
    void SetPause(bool flag);
    // The curve at t.
    float Curve(float t);
    // The animated value; the subclasses apply it to their control.
    virtual float GetValue();

    void Tick(int ms) override;
    void ExeMethod(const std::string& method) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

protected:
    // Colour variators read their values as hexadecimal ARGB.
    virtual bool HexValues() const { return false; }
    virtual const char* FaultClass() const { return "TVariator"; }
    int32_t BeginValue() const { return begin_; }
    int32_t EndValue() const { return end_; }
    void SetControlNode(TSimpleNode* node);

private:
    void SetControlName(const std::string& name);
    void SetFunctionName(const std::string& name);
    void SetNextVarName(const std::string& name);
    TVariator* NextVar() const;

    bool forward_ = true;
    int repeatCounter_ = 0;
    int activationCountdown_ = 0;
    int remaining_ = 0;
    float t_ = 0.0f;
    int time_ = 1000;
    int activationTime_ = 0;
    TVarFunction function_ = TVarFunction::Line;
    std::string extFunc_;
    int repeat_ = 1;
    bool reverse_ = false;
    std::string onComplete_;
    int32_t nextVarId_ = 0; // by id: the next variator may be deleted first
    bool paused_ = false;
    int32_t controlId_ = 0;
    int32_t begin_ = 0;
    int32_t end_ = 100;
};

// One subclass per animated property; each applies the value to its control.
#define VESK_VARIATOR(NAME)                                                                                  \
    class NAME : public TVariator {                                                                          \
    public:                                                                                                  \
        float GetValue() override;                                                                           \
    };
VESK_VARIATOR(TVarTop)
VESK_VARIATOR(TVarLeft)
VESK_VARIATOR(TVarWidth)
VESK_VARIATOR(TVarHeight)
VESK_VARIATOR(TVarOpacity)
VESK_VARIATOR(TVarAngle)
VESK_VARIATOR(TVarImageTop)
VESK_VARIATOR(TVarImageLeft)
VESK_VARIATOR(TVarImageWidth)
VESK_VARIATOR(TVarImageHeight)
VESK_VARIATOR(TVarFontSize)
#undef VESK_VARIATOR

// The colour variators interpolate each ARGB channel apart and give 0.
class TColorVariator : public TVariator {
public:
    float GetValue() override;
    // The colour at the current t.
    uint32_t ColorValue();

protected:
    bool HexValues() const override { return true; }
    const char* FaultClass() const override { return "TVarColor"; }
    // The control's property key the colour goes to.
    virtual const char* ColorKey() const = 0;
};

class TVarColor : public TColorVariator {
    const char* ColorKey() const override { return "COLOR"; }
};
class TVarFrameColor : public TColorVariator {
    const char* ColorKey() const override { return "FRAMECOLOR"; }
};
class TVarImageColor : public TColorVariator {
    const char* ColorKey() const override { return "IMAGECOLOR"; }
};
class TVarTextColor : public TColorVariator {
    const char* ColorKey() const override { return "TEXTCOLOR"; }
};

// The camera's field of view; its control is the variator itself.
class TVarFOV : public TVariator {
public:
    TVarFOV() { SetControlNode(this); }
    float GetValue() override;
};

// Where TVarFOV sends its value (the camera installs it).
extern std::function<void(float)> InterfaceCameraFov;

class TVarNode : public TScriptNode {
public:
    void ExeMethod(const std::string& method) override;
};

void RegisterVariatorClasses();

} // namespace vesk
