#include "interface/cursor.h"

#include <algorithm>
#include <cmath>

#include "interface/interface_tools.h"
#include "shared/errors.h"

namespace vesk {

void TICursor::Init(TSimpleNode* desktop) {
    int status = 0;
    TSimpleNode* layer = desktop ? desktop->ChildByName("CursorLayer", status, false, true) : nullptr;
    layer_ = layer;
    if (!layer || layer->ChildCount() == 0) {
        ErrorReport("TICursor.Init fault: no cursor to load", "mhl");
        return; // reached only when the halt hook returns
    }
    Select(0);
}

void TICursor::Select(int index) {
    TSimpleNode* layer = layer_.Get();
    if (!layer) return;
    TSimpleNode* chosen = layer->ChildAt(index);
    // The same index is the same look unless that look was deleted meanwhile
    // and another one moved into its place.
    if (index == index_ && chosen && look_.Is(chosen)) return;
    if (!chosen) return; // a look the layer does not have leaves the current one
    index_ = index;
    look_ = chosen;
    // The name follows the look shown, however it was chosen: the desktop picks
    // the centred look by its index in flight, and a later change back to the
    // look named before must not be taken for a repeat.
    name_ = chosen->Name();
    Place();
    for (int i = 0; i < layer->ChildCount(); ++i) {
        if (TSensNode* s = layer->ChildAt(i) ? layer->ChildAt(i)->AsSens() : nullptr) {
            s->SetVisible(false);
            s->SetTicked(false);
        }
    }
    if (TSensNode* s = chosen->AsSens()) {
        s->SetVisible(true);
        s->SetTicked(true);
    }
}

void TICursor::Change(const std::string& name) {
    if (name == name_) return;
    name_ = name;
    TSimpleNode* layer = layer_.Get();
    const int index = layer ? layer->IndexOfChild(name) : -1;
    if (index < 0) {
        ErrorReport("TICursor.Change fault: wrong cursor name - " + name, "mh");
        return;
    }
    Select(index);
}

void TICursor::Move(float dx, float dy) {
    x_ = std::clamp(x_ + dx, 0.0f, 1023.0f);
    y_ = std::clamp(y_ + dy, 0.0f, 767.0f);
    TiTools::RunLua("iCursor.SetPos(" + std::to_string(X()) + "," + std::to_string(Y()) + ")");
    Place();
}

int TICursor::X() const {
    return index_ == kCentredLook ? static_cast<int>(kCentreX) : static_cast<int>(std::lround(x_));
}

int TICursor::Y() const {
    return index_ == kCentredLook ? static_cast<int>(kCentreY) : static_cast<int>(std::lround(y_));
}

void TICursor::SetX(int x) {
    x_ = static_cast<float>(x);
    Place();
}

void TICursor::SetY(int y) {
    y_ = static_cast<float>(y);
    Place();
}

void TICursor::Place() {
    TSimpleNode* look = look_.Get();
    if (TRectNode* r = look ? look->AsRect() : nullptr) {
        r->SetLeft(X());
        r->SetTop(Y());
    }
}

void TICursor::Hide() {
    TSimpleNode* layer = layer_.Get();
    if (TSensNode* s = layer ? layer->AsSens() : nullptr) s->SetVisible(false);
}

void TICursor::Show() {
    TSimpleNode* layer = layer_.Get();
    if (TSensNode* s = layer ? layer->AsSens() : nullptr) s->SetVisible(true);
}

int TICursor::DistanceFromCentre() const {
    return static_cast<int>(std::lround(std::hypot(x_ - kCentreX, y_ - kCentreY)));
}

void TCursorSequencer::Init(TSimpleNode* desktop) {
    int status = 0;
    TSimpleNode* layer = desktop ? desktop->ChildByName("SequencerLayer", status, false, true) : nullptr;
    layer_ = layer;
    for (int i = 0; i < kElements; ++i) {
        TSimpleNode* e = nullptr;
        if (layer) e = layer->ChildByName("Sequencer_" + std::to_string(i + 1), status, true, false);
        elements_[static_cast<size_t>(i)] = e;
        if (!e) InterfaceFault("TCursorSequencer.Init fault: sequencer element not found", 2);
    }
}

void TCursorSequencer::Show(bool on) {
    TSimpleNode* layer = layer_.Get();
    if (TSensNode* s = layer ? layer->AsSens() : nullptr) {
        s->SetVisible(on);
        s->SetTicked(on);
    }
}

} // namespace vesk
