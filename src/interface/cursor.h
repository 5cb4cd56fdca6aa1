#pragma once
// The interface's own mouse cursor: one look per child of the desktop's
// "CursorLayer", exactly one shown at the cursor position in the 1024 x 768
// virtual screen; and the animated "SequencerLayer" shown or hidden at once.
#include <array>
#include <string>

#include "interface/draw_nodes.h"

namespace vesk {

class TICursor {
public:
    static constexpr float kCentreX = 511.0f;
    static constexpr float kCentreY = 383.0f;
    // The look that always sits at the screen centre.
    static constexpr int kCentredLook = 1;

    // Binds the layer under the desktop and shows look 0.
    void Init(TSimpleNode* desktop);
    void Select(int index);
    void Change(const std::string& name);
    void Move(float dx, float dy);
    int X() const;
    int Y() const;
    TIPoint Position() const { return {X(), Y()}; }
    void SetX(int x);
    void SetY(int y);
    void Place();
    void Hide();
    void Show();
    int DistanceFromCentre() const;

    TSimpleNode* Layer() const { return layer_; }
    int CurrentIndex() const { return index_; }
    TSimpleNode* CurrentLook() const { return look_; }

private:
    TSimpleNode* layer_ = nullptr;
    int index_ = -1;
    std::string name_;
    float x_ = kCentreX, y_ = kCentreY;
    TSimpleNode* look_ = nullptr;
};

class TCursorSequencer {
public:
    static constexpr int kElements = 7;
    // Finds "SequencerLayer" and its elements "Sequencer_1" .. "Sequencer_7".
    void Init(TSimpleNode* desktop);
    void Hide() { Show(false); }
    void Show() { Show(true); }
    TSimpleNode* Layer() const { return layer_; }
    TSimpleNode* Element(int i) const { return elements_[static_cast<size_t>(i)]; }

private:
    void Show(bool on);
    TSimpleNode* layer_ = nullptr;
    std::array<TSimpleNode*, kElements> elements_{};
};

} // namespace vesk
