#include "interface/sens_node.h"

#include <stdexcept>

#include "interface/interface_tools.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

int32_t PropertyInt(const std::string& text) {
    int32_t v = 0;
    if (!TryParseInt32(text, v)) throw std::invalid_argument("'" + text + "' is not a valid integer value");
    return v;
}

float PropertyFloat(const std::string& text) {
    double v = 0;
    if (!TryParseFloatVal(text, v))
        throw std::invalid_argument("'" + text + "' is not a valid floating point value");
    return static_cast<float>(v);
}

// ---- TSensNode ---------------------------------------------------------------------

bool TSensNode::MouseDown(int /*x*/, int /*y*/, int /*button*/) {
    pressed_ = true;
    return false;
}

bool TSensNode::MouseUp(int x, int y, int button) {
    if (pressed_) {
        if (InterfaceTools && InterfaceTools->DesktopDoubleClick())
            MouseDblClick(x, y, button);
        else
            MouseClick(x, y, button);
    }
    pressed_ = false;
    return false;
}

bool TSensNode::IsDumpedSelf() {
    const int flag = InterfaceTools ? InterfaceTools->DumpWriteFlag() : 0;
    switch (flag) {
    case 0:
        return true;
    case 1:
    case 3:
    case 4:
        return enabled_ && visible_;
    case 2:
        return enabled_;
    case 5:
        return visible_;
    case 6:
        return ticked_;
    default:
        return false;
    }
}

bool TSensNode::IsDumpedChildren() {
    const int flag = InterfaceTools ? InterfaceTools->DumpWriteFlag() : 0;
    switch (flag) {
    case 0:
        return true;
    case 1:
    case 3:
        return enabled_ && visible_;
    case 2:
        return enabled_;
    case 4:
    case 5:
        return visible_;
    case 6:
        return ticked_;
    default:
        return false;
    }
}

void TSensNode::CopyTo(TSimpleNode* target) {
    TSimpleNode::CopyTo(target);
    auto* t = dynamic_cast<TSensNode*>(target);
    if (!t) return;
    t->SetVisible(visible_);
    t->enabled_ = enabled_;
    t->focused_ = focused_;
    t->ticked_ = ticked_;
}

void TSensNode::ReportSetFault(const char* cls, const std::string& key, const std::string& value) {
    InterfaceFault(std::string(cls) + ".SetProperty fault: control - " + Name() + ", property - " + key +
                       ", value - " + value,
                   2);
}

void TSensNode::ReportMildSetFault(const char* cls, const std::string& key, const std::string& value) {
    ErrorReport(std::string(cls) + ".SetProperty fault: property - " + key + ", value - " + value, "m");
}

bool TSensNode::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<TSimpleNode>("TSensNode", key, value, [&](const std::string& k) {
        if (k == "ENABLED")
            enabled_ = value == "1";
        else if (k == "VISIBLE")
            SetVisible(value == "1");
        else if (k == "FOCUSED")
            focused_ = value == "1";
        else if (k == "TICKED")
            ticked_ = value == "1";
        else
            return TOwnKey::Other;
        return TOwnKey::Set;
    });
}

bool TSensNode::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "ENABLED") {
        value = TiTools::BoolToText(enabled_);
    } else if (k == "VISIBLE") {
        value = TiTools::BoolToText(visible_);
    } else if (k == "FOCUSED") {
        value = TiTools::BoolToText(focused_);
    } else if (k == "TICKED") {
        value = TiTools::BoolToText(ticked_);
    } else {
        return TSimpleNode::GetProperty(key, value);
    }
    return true;
}

// ---- TScriptNode -------------------------------------------------------------------

namespace {
constexpr const char* kEventKeys[] = {
    "ONMOUSECLICK",   "ONMOUSEDBLCLICK",  "ONMOUSEDOWN", "ONLMOUSEDOWN", "ONMMOUSEDOWN", "ONRMOUSEDOWN",
    "ONMOUSEUP",      "ONLMOUSEUP",       "ONMMOUSEUP",  "ONRMOUSEUP",   "ONMOUSEOVER",  "ONMOUSEOUT",
    "ONMOUSEWHEELUP", "ONMOUSEWHEELDOWN", "ONMOUSEMOVE", "ONKEYDOWN",    "ONKEYUP",      "ONTICK",
};
static_assert(std::size(kEventKeys) == static_cast<size_t>(TNodeEvent::Count));

int EventOfKey(const std::string& key) {
    for (size_t i = 0; i < std::size(kEventKeys); ++i)
        if (key == kEventKeys[i]) return static_cast<int>(i);
    return -1;
}

// The per-button handler: left, right, middle.
TNodeEvent ButtonEvent(int button, TNodeEvent left, TNodeEvent right, TNodeEvent middle) {
    return button == 0 ? left : button == 1 ? right : middle;
}
} // namespace

const char* NodeEventKey(TNodeEvent e) {
    return kEventKeys[static_cast<size_t>(e)];
}

void TScriptNode::RunHandler(const std::string& text) {
    if (text.empty()) return;
    if (InterfaceTools)
        InterfaceTools->RunHandler(Name(), text);
    else
        TiTools().RunHandler(Name(), text);
}

void TScriptNode::Execute(const std::string& command) {
    const std::string c = platform::UpperCaseCp1251(command);
    if (c.rfind("ON", 0) == 0) {
        std::string text;
        if (HandlerText(c, text)) RunHandler(text);
    } else {
        ExeMethod(c);
    }
}

bool TScriptNode::HandlerText(const std::string& key, std::string& text) {
    // The handler slots are read directly: the click handlers are not
    // readable as properties, yet scripts run them by name.
    const std::string k = platform::UpperCaseCp1251(key);
    for (size_t i = 0; i < handlers_.size(); ++i)
        if (k == NodeEventKey(static_cast<TNodeEvent>(i))) {
            text = handlers_[i];
            return true;
        }
    return GetProperty(k, text);
}

void TScriptNode::ExeMethod(const std::string& method) {
    InterfaceFault("TScriptNode.ExeMethod fault - unknow Method: " + method, 2);
}

bool TScriptNode::ButtonHandlers(TNodeEvent general, TNodeEvent own) {
    bool handled = false;
    if (!Handler(general).empty()) {
        RunEvent(general);
        handled = true;
    }
    if (!Handler(own).empty()) {
        RunEvent(own);
        handled = true;
    }
    return handled;
}

bool TScriptNode::MouseDown(int x, int y, int button) {
    TSensNode::MouseDown(x, y, button);
    return ButtonHandlers(TNodeEvent::MouseDown, ButtonEvent(button, TNodeEvent::LMouseDown,
                                                             TNodeEvent::RMouseDown, TNodeEvent::MMouseDown));
}

bool TScriptNode::MouseUp(int x, int y, int button) {
    TSensNode::MouseUp(x, y, button); // the click runs before the up handlers
    return ButtonHandlers(TNodeEvent::MouseUp, ButtonEvent(button, TNodeEvent::LMouseUp, TNodeEvent::RMouseUp,
                                                           TNodeEvent::MMouseUp));
}

void TScriptNode::MouseClick(int x, int y, int button) {
    TSensNode::MouseClick(x, y, button);
    RunEvent(TNodeEvent::MouseClick);
}

void TScriptNode::MouseDblClick(int x, int y, int button) {
    TSensNode::MouseDblClick(x, y, button);
    RunEvent(TNodeEvent::MouseDblClick);
}

void TScriptNode::MouseOver() {
    TSensNode::MouseOver();
    RunEvent(TNodeEvent::MouseOver);
}

void TScriptNode::MouseOut() {
    TSensNode::MouseOut();
    RunEvent(TNodeEvent::MouseOut);
}

void TScriptNode::MouseMove(int x, int y) {
    TSensNode::MouseMove(x, y);
    RunEvent(TNodeEvent::MouseMove);
}

void TScriptNode::MouseWheelUp() {
    TSensNode::MouseWheelUp();
    RunEvent(TNodeEvent::MouseWheelUp);
}

void TScriptNode::MouseWheelDown() {
    TSensNode::MouseWheelDown();
    RunEvent(TNodeEvent::MouseWheelDown);
}

bool TScriptNode::WantsMouseWheel() {
    return !Handler(TNodeEvent::MouseWheelUp).empty() || !Handler(TNodeEvent::MouseWheelDown).empty();
}

bool TScriptNode::KeyHandler(int key, TNodeEvent e) {
    if (hotKey_ < 0 || key != hotKey_ || Handler(e).empty()) return false;
    const uint8_t held = InterfaceTools ? InterfaceTools->DesktopModifiers() : 0;
    if (held != hotKeyModifiers_) return false;
    RunEvent(e);
    return true;
}

bool TScriptNode::KeyDown(int key) {
    TSensNode::KeyDown(key);
    return KeyHandler(key, TNodeEvent::KeyDown);
}

bool TScriptNode::KeyUp(int key) {
    TSensNode::KeyUp(key);
    return KeyHandler(key, TNodeEvent::KeyUp);
}

void TScriptNode::Tick(int ms) {
    TSensNode::Tick(ms);
    if (tickCountdown_ >= 1) {
        tickCountdown_ -= ms;
        if (tickCountdown_ < 1) {
            tickCountdown_ = tickTime_;
            RunEvent(TNodeEvent::Tick);
        }
    } else {
        RunEvent(TNodeEvent::Tick);
    }
}

void TScriptNode::CopyTo(TSimpleNode* target) {
    TSensNode::CopyTo(target);
    auto* t = dynamic_cast<TScriptNode*>(target);
    if (!t) return;
    t->handlers_ = handlers_;
    t->hotKey_ = hotKey_;
    t->hotKeyModifiers_ = hotKeyModifiers_;
    t->SetTickTime(tickTime_);
}

bool TScriptNode::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<TSensNode>("TScriptNode", key, value, [&](const std::string& k) {
        if (int e = EventOfKey(k); e >= 0)
            handlers_[static_cast<size_t>(e)] = value;
        else if (k == "TICKTIME")
            SetTickTime(PropertyInt(value));
        else
            return TOwnKey::Other;
        return TOwnKey::Set;
    });
}

bool TScriptNode::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    const int e = EventOfKey(k);
    // The click handlers are write-only.
    if (e >= static_cast<int>(TNodeEvent::MouseDown)) {
        value = handlers_[static_cast<size_t>(e)];
        return true;
    }
    if (k == "TICKTIME") {
        value = std::to_string(tickTime_);
        return true;
    }
    return TSensNode::GetProperty(key, value);
}

// ---- walks ---------------------------------------------------------------------------

TSensNode* DispatchMouseButton(TSimpleNode* node, int x, int y, int kind, int button) {
    TSensNode* s = node ? node->AsSens() : nullptr;
    if (!s || !s->Enabled() || !s->Visible()) return nullptr;
    // Topmost first; a handler may change the list, so each index is checked.
    for (int i = s->ChildCount() - 1; i >= 0; --i)
        if (TSensNode* took = DispatchMouseButton(s->ChildAt(i), x, y, kind, button)) return took;
    if (!s->IsUnderCursor()) return nullptr;
    if (kind == 0)
        s->MouseDown(x, y, button);
    else
        s->MouseUp(x, y, button);
    return s;
}

TSensNode* DispatchMouseWheel(TSimpleNode* node, int delta) {
    TSensNode* s = node ? node->AsSens() : nullptr;
    if (!s || !s->Enabled() || !s->Visible()) return nullptr;
    for (int i = s->ChildCount() - 1; i >= 0; --i)
        if (TSensNode* took = DispatchMouseWheel(s->ChildAt(i), delta)) return took;
    if (!s->IsUnderCursor() || !s->WantsMouseWheel()) return nullptr;
    s->MouseWheel(delta);
    if (delta < 1)
        s->MouseWheelDown();
    else
        s->MouseWheelUp();
    return s;
}

void DispatchMouseMove(TSimpleNode* node, int x, int y) {
    TSensNode* s = node ? node->AsSens() : nullptr;
    if (!s || !s->Enabled() || !s->Visible()) return;
    if (s->IsUnderCursor()) {
        if (!s->Hovered()) s->MouseOver();
        s->MouseMove(x, y);
    } else {
        if (s->Hovered()) s->MouseOut();
        s->SetHovered(false);
    }
    for (int i = 0; i < s->ChildCount(); ++i) DispatchMouseMove(s->ChildAt(i), x, y);
}

TSensNode* DispatchKey(TSimpleNode* node, int key, int kind) {
    TSensNode* s = node ? node->AsSens() : nullptr;
    if (!s || !s->Enabled()) return nullptr;
    if (kind == 0 ? s->KeyDown(key) : s->KeyUp(key)) return s;
    for (int i = s->ChildCount() - 1; i >= 0; --i)
        if (TSensNode* took = DispatchKey(s->ChildAt(i), key, kind)) return took;
    return nullptr;
}

void TickTree(TSimpleNode* node, int ms) {
    TSensNode* s = node ? node->AsSens() : nullptr;
    if (!s) return;
    s->Tick(ms);
    for (int i = s->ChildCount() - 1; i >= 0; --i) {
        TSimpleNode* n = s->ChildAt(i);
        TSensNode* c = n ? n->AsSens() : nullptr;
        if (c && c->Ticked()) TickTree(c, ms);
    }
}

void DrawTree(TSimpleNode* node) {
    TSensNode* s = node ? node->AsSens() : nullptr;
    if (!s) return;
    s->Draw();
    for (int i = 0; i < s->ChildCount(); ++i) {
        TSimpleNode* n = s->ChildAt(i);
        TSensNode* c = n ? n->AsSens() : nullptr;
        if (c && c->Visible()) DrawTree(c);
    }
}

void DrawCursorLayer(TSimpleNode* node) {
    if (!node) return;
    for (int i = 0; i < node->ChildCount(); ++i) {
        TSimpleNode* n = node->ChildAt(i);
        TSensNode* c = n ? n->AsSens() : nullptr;
        if (c && c->Visible() && c->Name() == "CursorLayer") DrawTree(c);
    }
}

void UpdateTree(TSimpleNode* node, bool force) {
    TSensNode* s = node ? node->AsSens() : nullptr;
    if (!s || (!s->Visible() && !force)) return;
    s->Update();
    for (int i = 0; i < s->ChildCount(); ++i) UpdateTree(s->ChildAt(i), force);
}

} // namespace vesk
