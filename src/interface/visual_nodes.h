#pragma once
// The chain of interface element classes on top of the script node: hot key,
// rectangle on the 1024 x 768 virtual screen, opacity and fades, flashing,
// binding to an engine object, and rotation and scale.
#include <cstdint>
#include <functional>
#include <string>

#include "interface/draw_target.h"
#include "interface/sens_node.h"

namespace vesk {

// The virtual screen and the real screen's scale factors over it (kx, ky).
inline constexpr int kVirtualWidth = 1024;
inline constexpr int kVirtualHeight = 768;
extern float InterfaceScaleX;
extern float InterfaceScaleY;

class THotKeyNode : public TScriptNode {
public:
    const std::string& HotKeyText() const { return hotKeyText_; }
    // "LCTRL+LSHIFT+F5": modifier names joined by "+", then the key name.
    void SetHotKey(const std::string& text);

    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    std::string hotKeyText_;
};

enum TScaleMode : uint8_t { kScaleNear = 0, kScaleFar = 1, kScaleCenter = 2, kScaleNone = 3 };

// Maps a virtual-screen rectangle to the real screen, anchored by the modes
// (horizontal: left, right, centre, none; vertical: top, bottom, centre, none).
TIRect ScaleRect(const TIRect& rect, uint8_t hmode, uint8_t vmode);

class TRectNode : public THotKeyNode {
public:
    TRectNode* AsRect() override { return this; }
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v);
    void SetTop(int v);
    void SetWidth(int v);
    void SetHeight(int v);
    void CenterOn(TIPoint p);
    uint8_t HScaleMode() const { return hscale_; }
    uint8_t VScaleMode() const { return vscale_; }

    // Relative to the parent.
    TIRect GetRect() const;
    // In virtual-screen pixels.
    TIRect GetScreenRect() const;
    // In real-screen pixels.
    TIRect GetScaledRect() const;

    // Geometry changed; passed on to the rectangle children.
    virtual void SetChanged(bool flag);
    bool IsUnderCursor() override;

    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    uint8_t vscale_ = kScaleNone;
    uint8_t hscale_ = kScaleNone;
};

class TOpacityNode : public TRectNode {
public:
    enum : uint8_t { kOpacitySelf = 0, kOpacityParent = 1 };
    TOpacityNode* AsOpacity() override { return this; }

    float OwnOpacity() const { return opacity_; }
    uint8_t OpacityType() const { return opacityType_; }
    bool Fading() const { return fading_; }
    bool FadingIn() const { return fadingIn_; }
    int FadeRemaining() const { return fadeRemaining_; }
    // Type PARENT for exactly 1.0, SELF otherwise.
    void SetOpacity(float value);
    // The node's own opacity, or with type PARENT the parent's effective one.
    float GetOpacity() const;
    void FadeIn();
    void FadeOut();
    virtual void FadeInComplete() { RunHandler(onFadeIn_); }
    virtual void FadeOutComplete() { RunHandler(onFadeOut_); }

    void SetVisible(bool visible) override;
    void Tick(int ms) override;
    void ExeMethod(const std::string& method) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    float opacity_ = 1.0f;
    uint8_t opacityType_ = kOpacityParent;
    bool fading_ = false;
    int fadePause_ = 0;
    int fadeRemaining_ = 0;
    int fadeTime_ = 0;
    bool fadingIn_ = false;
    std::string onFadeIn_, onFadeOut_;
};

class TFlashNode : public TOpacityNode {
public:
    bool Flashing() const { return flashing_; }
    bool ToggleState() const { return toggle_; }
    void SetFlash(bool flag);
    void StartTimedFlash();
    void SetFlashEndCallback(std::function<void()> callback) { flashEnd_ = std::move(callback); }

    virtual void ToggleOn() { SetChanged(false); }
    virtual void ToggleOff() { SetChanged(false); }
    virtual void FlashEnd() {
        if (flashEnd_) flashEnd_();
    }

    void Tick(int ms) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    bool flashing_ = false;
    int period_ = 0;
    bool toggle_ = false;
    float accumulated_ = 0.0f;
    int flashTime_ = 0;
    int countdown_ = 0;
    bool byVisibility_ = false;
    std::function<void()> flashEnd_;
};

class TObjectNode : public TFlashNode {
public:
    TEngineObject* Object() const { return object_; }
    void SetObject(TEngineObject* object);

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    TEngineObject* object_ = nullptr;
};

class TTransformNode : public TObjectNode {
public:
    float Angle() const { return angle_; }
    float Rotation() const { return rotation_; }
    float Scale() const { return scale_; }
    void SetAngle(float a);
    void SetScale(float s);
    // How far the node's look is turned when drawn: radians clockwise on the
    // screen about its centre. Pictures are made for the initial angle (pi),
    // so that angle, and any whole turn from it, draws them as they are (0).
    float DrawTurn() const;

    void Tick(int ms) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    float angle_ = 3.1415927f;
    float rotation_ = 0.0f; // radians per second
    float scale_ = 0.0f;
};

} // namespace vesk
