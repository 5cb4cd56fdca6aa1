#pragma once
// The interface's own mouse cursor: one look per child of the desktop's
// "CursorLayer", exactly one shown at the cursor position in the 1024 x 768
// virtual screen; and the animated "SequencerLayer" shown or hidden at once.
#include <array>
#include <string>

#include "interface/draw_nodes.h"
#include "shared/obj_ref.h"

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

    TSimpleNode* Layer() const { return layer_.Get(); }
    int CurrentIndex() const { return index_; }
    TSimpleNode* CurrentLook() const { return look_.Get(); }

private:
    // The layer and its looks belong to the interface tree, which scripts
    // change at will (engine_Desktop "delete"): they are held by id.
    TObjRef<TSimpleNode> layer_;
    int index_ = -1;
    std::string name_;
    float x_ = kCentreX, y_ = kCentreY;
    TObjRef<TSimpleNode> look_;
};

class TCursorSequencer {
public:
    static constexpr int kElements = 7;
    // Finds "SequencerLayer" and its elements "Sequencer_1" .. "Sequencer_7".
    void Init(TSimpleNode* desktop);
    void Hide() { Show(false); }
    void Show() { Show(true); }
    TSimpleNode* Layer() const { return layer_.Get(); }
    TSimpleNode* Element(int i) const { return elements_[static_cast<size_t>(i)].Get(); }

private:
    void Show(bool on);
    TObjRef<TSimpleNode> layer_;
    std::array<TObjRef<TSimpleNode>, kElements> elements_{};
};

} // namespace vesk
