#pragma once
// Nodes that sense input (state flags, mouse and key events, the tree walks
// that deliver them) and nodes that answer events with Lua handler texts.
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "interface/simple_node.h"
#include "platform/text.h"

namespace vesk {

// What a class's setter made of a key it was offered (see SetOwnProperty).
enum class TOwnKey : uint8_t {
    Set,     // the class took the value
    Refused, // the class turned the value down and said so
    Other,   // not one of the class's keys: its base class takes it
};

class TSensNode : public TSimpleNode {
public:
    TSensNode* AsSens() override { return this; }
    bool Visible() const { return visible_; }
    bool Enabled() const { return enabled_; }
    bool Focused() const { return focused_; }
    bool Ticked() const { return ticked_; }
    bool Pressed() const { return pressed_; }
    bool Hovered() const { return hovered_; }
    void SetEnabled(bool on) { enabled_ = on; }
    void SetTicked(bool on) { ticked_ = on; }
    void SetHovered(bool on) { hovered_ = on; }

    virtual void SetVisible(bool visible) { visible_ = visible; }
    virtual bool IsUnderCursor() { return false; }
    virtual bool WantsMouseWheel() { return false; }
    virtual void MouseWheelUp() {}
    virtual void MouseWheelDown() {}
    virtual void MouseWheel(int /*delta*/) {}
    virtual void MouseMove(int /*x*/, int /*y*/) {}
    virtual void MouseOver() { hovered_ = true; }
    virtual void MouseOut() {
        hovered_ = false;
        pressed_ = false;
    }
    virtual bool MouseDown(int x, int y, int button);
    virtual bool MouseUp(int x, int y, int button);
    virtual void MouseClick(int /*x*/, int /*y*/, int /*button*/) {}
    virtual void MouseDblClick(int /*x*/, int /*y*/, int /*button*/) {}
    virtual bool KeyUp(int /*key*/) { return false; }
    virtual bool KeyDown(int /*key*/) { return false; }
    virtual void Tick(int /*ms*/) {}
    virtual void Draw() {}
    virtual void Update() {}

    bool IsDumpedSelf() override;
    bool IsDumpedChildren() override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

protected:
    // The fault text of a property set that failed in the class cls.
    void ReportSetFault(const char* cls, const std::string& key, const std::string& value);
    // The form the HUD's markers and bars use: no control name, and the game
    // goes on ("m").
    static void ReportMildSetFault(const char* cls, const std::string& key, const std::string& value);

    // The one shape of every class's property setter. The key is upper-cased
    // and offered to the class's own keys first (own(KEY) says what it made of
    // it); a value own could not convert (an exception of type Caught) is
    // reported and refused; any other key goes to the base class Base, with
    // the key as the caller gave it, so an unknown key climbs the chain up to
    // the tree's root class, which reports it. fault is either the class's
    // name (the usual "<class>.SetProperty fault: control - ..." report) or a
    // callable taking KEY for the classes that report in a form of their own.
    // The base class is called after the guarded part: a fault of a base
    // class is reported once, by that class, never again under this one.
    template <class Base, class Caught = std::logic_error, class Fault, class Own>
    bool SetOwnProperty(const Fault& fault, const std::string& key, const std::string& value, Own&& own) {
        const std::string k = platform::UpperCaseCp1251(key);
        TOwnKey made = TOwnKey::Other;
        try {
            made = own(k);
        } catch (const Caught&) {
            if constexpr (std::is_invocable_v<const Fault&, const std::string&>)
                fault(k);
            else
                ReportSetFault(fault, k, value);
            return false;
        }
        if (made == TOwnKey::Other) return static_cast<Base*>(this)->Base::SetProperty(key, value);
        return made == TOwnKey::Set;
    }
    void SetVisibleFlag(bool visible) { visible_ = visible; }

private:
    bool visible_ = true;
    bool enabled_ = true;
    bool focused_ = true;
    bool ticked_ = true;
    bool pressed_ = false;
    bool hovered_ = false;
};

// The handler slots of a script node, in property order.
enum class TNodeEvent : uint8_t {
    MouseClick,
    MouseDblClick,
    MouseDown,
    LMouseDown,
    MMouseDown,
    RMouseDown,
    MouseUp,
    LMouseUp,
    MMouseUp,
    RMouseUp,
    MouseOver,
    MouseOut,
    MouseWheelUp,
    MouseWheelDown,
    MouseMove,
    KeyDown,
    KeyUp,
    Tick,
    Count
};

class TScriptNode : public TSensNode {
public:
    const std::string& Handler(TNodeEvent e) const { return handlers_[static_cast<size_t>(e)]; }
    void SetHandler(TNodeEvent e, const std::string& text) { handlers_[static_cast<size_t>(e)] = text; }
    int HotKey() const { return hotKey_; }
    uint8_t HotKeyModifiers() const { return hotKeyModifiers_; }
    int TickTime() const { return tickTime_; }
    int TickCountdown() const { return tickCountdown_; }
    void SetTickTime(int ms) {
        tickTime_ = ms;
        tickCountdown_ = ms;
    }

    // "ON..." runs that handler, anything else is a method.
    void Execute(const std::string& command);
    // The handler text of an "ON..." key (any other key as a property).
    bool HandlerText(const std::string& key, std::string& text);
    virtual void ExeMethod(const std::string& method);
    // slf="<name>" and the text, through the tool object; nothing for an empty text.
    void RunHandler(const std::string& text);

    bool MouseDown(int x, int y, int button) override;
    bool MouseUp(int x, int y, int button) override;
    void MouseClick(int x, int y, int button) override;
    void MouseDblClick(int x, int y, int button) override;
    void MouseOver() override;
    void MouseOut() override;
    void MouseMove(int x, int y) override;
    void MouseWheelUp() override;
    void MouseWheelDown() override;
    bool WantsMouseWheel() override;
    bool KeyDown(int key) override;
    bool KeyUp(int key) override;
    void Tick(int ms) override;

    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

protected:
    void SetHotKeyCode(int key, uint8_t modifiers) {
        hotKey_ = key;
        hotKeyModifiers_ = modifiers;
    }
    void RunEvent(TNodeEvent e) { RunHandler(Handler(e)); }

private:
    bool KeyHandler(int key, TNodeEvent e);
    // The general handler, then the button's own one; true when either ran.
    bool ButtonHandlers(TNodeEvent general, TNodeEvent own);

    std::array<std::string, static_cast<size_t>(TNodeEvent::Count)> handlers_;
    int hotKey_ = -1;
    uint8_t hotKeyModifiers_ = 0;
    int tickTime_ = 0;
    int tickCountdown_ = 0;
};

// The property key of a handler slot ("ONMOUSECLICK" ...).
const char* NodeEventKey(TNodeEvent e);

// ---- the tree walks --------------------------------------------------------------
// kind 0 is a press, 1 a release; buttons 0 left, 1 right, 2 middle.
TSensNode* DispatchMouseButton(TSimpleNode* node, int x, int y, int kind, int button);
TSensNode* DispatchMouseWheel(TSimpleNode* node, int delta);
void DispatchMouseMove(TSimpleNode* node, int x, int y);
TSensNode* DispatchKey(TSimpleNode* node, int key, int kind);
void TickTree(TSimpleNode* node, int ms);
void DrawTree(TSimpleNode* node);
// The visible direct children named "CursorLayer".
void DrawCursorLayer(TSimpleNode* node);
void UpdateTree(TSimpleNode* node, bool force);

// Shows or hides a node (nothing for nullptr), but only when that changes:
// SetVisible again on a node that stands so restarts what it starts (an
// opacity node is set to full or none again and its fade stops), and the HUD
// sets what it shows every frame.
inline void SetShown(TSensNode* node, bool on) {
    if (node && node->Visible() != on) node->SetVisible(on);
}

// Text to an integer as property values take it; bad text throws.
int32_t PropertyInt(const std::string& text);
// Text to a float as property values take it; bad text throws.
float PropertyFloat(const std::string& text);

} // namespace vesk
