#include "interface/hud_markers.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>

#include "core/lua_readers.h"
#include "game/game_object.h"
#include "interface/hud_nodes.h"
#include "interface/interface_tools.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"
#include "shared/math.h"

namespace vesk {

namespace {

int Round(float v) {
    return static_cast<int>(std::lround(v));
}

void Show(TSensNode* n, bool on) {
    if (n && n->Visible() != on) n->SetVisible(on);
}

// The first node of that name under root (depth first), root included.
TSimpleNode* Find(TSimpleNode* root, const std::string& name) {
    int status = 0;
    return root ? root->ChildByName(name, status, true, false) : nullptr;
}

// Markers look their parts up every frame: the casts are the remembered kind.
template <class T> T* FindAs(TSimpleNode* root, const std::string& name) {
    return CachedDynamicCast<T>(Find(root, name));
}

} // namespace

// ---- TAHSelector --------------------------------------------------------------------------

void TAHSelector::BindFrames() {
    helperFrame_ = FindAs<TMegaButton>(this, "HelperFrame");
    activeFrame_ = FindAs<TMegaButton>(this, "ActiveFrame");
    helperPointer_ = FindAs<TMegaButton>(this, "HelperPointer");
    activePointer_ = FindAs<TMegaButton>(this, "ActivePointer");
    framesBound_ = true;
}

void TAHSelector::SetState(TState state) {
    if (state == state_) return;
    if (!framesBound_) BindFrames();
    state_ = state;
    if (state == kFrame || state == kActiveFrame)
        InView();
    else if (state == kPointer || state == kActivePointer)
        OutOfView();
    Show(helperFrame_.Get(), state == kFrame);
    Show(helperPointer_.Get(), state == kPointer);
    Show(activeFrame_.Get(), state == kActiveFrame);
    Show(activePointer_.Get(), state == kActivePointer);
    if (state == kActiveFrame) ActiveFrameShown();
}

void TAHSelector::SetMarked(bool marked) {
    if (marked == marked_) return;
    if (!framesBound_) BindFrames();
    marked_ = marked;
    for (TMegaButton* f :
         {helperFrame_.Get(), activeFrame_.Get(), helperPointer_.Get(), activePointer_.Get()})
        if (f) f->SetFlash(marked);
    Show(helperPointer_.Get(), marked);
    Show(activeFrame_.Get(), marked || state_ == kActiveFrame);
}

void TAHSelector::UpdateHalfPointerSize() {
    if (!framesBound_) BindFrames();
    const bool active = state_ == kActiveFrame || state_ == kActivePointer;
    TMegaButton* pointer = active ? activePointer_.Get() : helperPointer_.Get();
    halfPointer_ = pointer ? pointer->Width() / 2 : 0;
}

void TAHSelector::Tick(int ms) {
    TMegaButton::Tick(ms);
    MarkerTick(ms);
}

void TAHSelector::SelectorTick(int ms) {
    TEngineObject* object = Object();
    if (!object) {
        // A marker without an object (a pattern) shows nothing; it stays
        // enabled, as its copies are made enabled from it.
        SetState(kHidden);
        return;
    }
    if (flashTime_ > 0) {
        flashTime_ -= ms;
        if (flashTime_ < 1) {
            flashTime_ = 0;
            SetMarked(false);
        }
    }
    TEngineObject* ship = HudPlayerShip();
    float x = 0, y = 0, depth = 0;
    // Without the player's ship or the object's unit there is nothing to follow.
    if (!ship || !HudScreenPoint(object, x, y, depth)) {
        SetState(kHidden);
        return;
    }
    const bool selected = HudSelected() == object;
    if (selected != selected_) {
        selected_ = selected;
        if (selected)
            BecameSelected();
        else
            LostSelection();
    }
    int distance = 0;
    if (HudSurfaceDistance(ship, object, distance)) distanceKey_ = distance;
    const float size = HudScreenSize(object);
    screenSize_ = size == 0.0f ? 100 : Round(size);

    float dx = x - kCentreX, dy = y - kCentreY;
    if (depth < 0) { // behind the eye: pushed out to the border
        dx = std::fabs(dx) < 1 ? 511.0f : dx * 511.0f;
        dy = std::fabs(dy) < 1 ? 383.0f : dy * 511.0f;
    }
    const bool outOfView = dx >= 512 || dx < -511 || dy >= 384 || dy < -383;
    if (outOfView) {
        // Along the direction from the centre onto the border, the pointer kept on the screen.
        const float m = static_cast<float>(halfPointer_);
        const float hx = std::max(1.0f, 511.0f - m), hy = std::max(1.0f, 383.0f - m);
        float t = 1.0f;
        if (std::fabs(dx) > 0) t = std::min(t, hx / std::fabs(dx));
        if (std::fabs(dy) > 0) t = std::min(t, hy / std::fabs(dy));
        dx *= t;
        dy *= t;
    }
    const int left = Round(kCentreX + dx), top = Round(kCentreY + dy);
    if (left != Left()) SetLeft(left);
    if (top != Top()) SetTop(top);
    if (!outOfView) {
        SetState(selected_ ? kActiveFrame : kFrame);
        return;
    }
    // The pointer's picture points up at pi; the angle turns it towards the
    // object (right -pi/2, down 0, left pi/2). Straight above or below the
    // centre the slope has no value: up stays pi, down is 0.
    float angle = top > kCentreY ? 0.0f : kPi;
    if (left != kCentreX) {
        angle = std::atan(static_cast<float>(top - kCentreY) / static_cast<float>(left - kCentreX));
        if (left > kCentreX) angle -= kPi;
        angle += kPi / 2;
    }
    SetState(selected_ ? kActivePointer : kPointer);
    if (TMegaButton* p = selected_ ? activePointer_.Get() : helperPointer_.Get()) p->SetAngle(angle);
}

bool TAHSelector::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "HELPEROFF") {
        if (value == "1") Release();
    } else if (k == "MARKED") {
        SetMarked(value == "1");
    } else if (k == "COLOR") {
        if (!framesBound_) BindFrames();
        for (TMegaButton* f :
             {helperFrame_.Get(), activeFrame_.Get(), helperPointer_.Get(), activePointer_.Get()})
            if (f) f->SetProperty("COLOR", value);
    } else if (k == "FLASHTIMER") {
        SetMarked(true);
        int32_t ms = 0;
        flashTime_ = TryParseInt32(value, ms) ? ms : 0;
    } else {
        return TMegaButton::SetProperty(key, value);
    }
    return true;
}

// ---- waypoints ------------------------------------------------------------------------------

void TAHWaypoint::MarkerTick(int ms) {
    UpdateHalfPointerSize();
    SelectorTick(ms);
    if (!Object() || State() == kHidden) return;
    // Fading out on the way in; hidden once reached.
    const int d = DistanceKey();
    if (d <= minDist_) {
        SetState(kHidden);
        return;
    }
    if (d > fadeDist_) {
        if (TMegaButton* f = ActiveFrame()) f->SetOpacity(1.0f);
        return;
    }
    const int percent =
        fadeDist_ > minDist_
            ? Round(static_cast<float>(d - minDist_) * 100.0f / static_cast<float>(fadeDist_ - minDist_))
            : 100;
    for (TMegaButton* f : {ActiveFrame(), HelperFrame()})
        if (f) f->SetOpacity(static_cast<float>(percent) / 100.0f);
}

void TAHWaypoint::CopyTo(TSimpleNode* target) {
    TAHSelector::CopyTo(target);
    if (auto* t = dynamic_cast<TAHWaypoint*>(target)) {
        t->fadeDist_ = fadeDist_;
        t->minDist_ = minDist_;
    }
}

bool TAHWaypoint::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "FADEDIST")
            fadeDist_ = PropertyInt(value);
        else if (k == "MINDIST")
            minDist_ = PropertyInt(value);
        else
            return TAHSelector::SetProperty(key, value);
        return true;
    } catch (const std::logic_error&) {
        ErrorReport(std::string(FaultWord()) + ".SetProperty fault: property - " + k + ", value - " + value,
                    "m");
        return false;
    }
}

// ---- rockets, mines and ships ---------------------------------------------------------------

float TSizedHelper::AnimationFactor() const {
    if (aniTimer_ <= 0) return 1.0f;
    return std::min(1.0f, static_cast<float>(animMs_) / static_cast<float>(aniTimer_));
}

bool TSizedHelper::OutOfReach() const {
    return DistanceKey() > maxDist_ || DistanceKey() < 5 || HalfPointerSize() >= 512;
}

void TSizedHelper::PlaceFrames(bool shipFrame) {
    if (State() == kActiveFrame) {
        if (TMegaButton* f = ActiveFrame()) {
            const float k = AnimationFactor();
            const int w = Round(static_cast<float>(Width()) * k), h = Round(static_cast<float>(Height()) * k);
            f->SetWidth(w);
            f->SetHeight(h);
            // The marker's corner is the marked point: the frame is centred on it.
            f->CenterOn({0, 0});
        }
        return;
    }
    TMegaButton* f = HelperFrame();
    if (!f) return;
    const float lower = static_cast<float>(minRadius_);
    const float upper = static_cast<float>(std::max(minRadius_, maxRadius_));
    const float wanted = static_cast<float>(ScreenSize() + (shipFrame ? outRadius_ : 0));
    const int w = Round(std::clamp(wanted, lower, upper));
    const int h = shipFrame && Width() != 0 ? Round(static_cast<float>(w) * Height() / Width()) : w;
    if (!shipFrame) {
        f->SetWidth(w);
        f->SetHeight(h);
        f->CenterOn({0, 0});
        return;
    }
    // The frame's picture takes the size; the frame keeps a margin of 5 around it.
    for (int i = 0; i < f->ChildCount(); ++i)
        if (TRectNode* image = f->ChildAt(i) ? f->ChildAt(i)->AsRect() : nullptr) {
            image->SetLeft(5);
            image->SetTop(5);
            image->SetWidth(w);
            image->SetHeight(h);
            break;
        }
    f->SetWidth(w + 10);
    f->SetHeight(h + 10);
    f->CenterOn({0, 0});
}

void TSizedHelper::CopyTo(TSimpleNode* target) {
    TAHSelector::CopyTo(target);
    if (auto* t = dynamic_cast<TSizedHelper*>(target)) {
        t->aniTimer_ = aniTimer_;
        t->maxDist_ = maxDist_;
        t->minRadius_ = minRadius_;
        t->maxRadius_ = maxRadius_;
        t->outRadius_ = outRadius_;
    }
}

bool TSizedHelper::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    int* field = k == "ANITIMER"    ? &aniTimer_
                 : k == "MAXDIST"   ? &maxDist_
                 : k == "MINRADIUS" ? &minRadius_
                 : k == "MAXRADIUS" ? &maxRadius_
                 : k == "OUTRADIUS" ? &outRadius_
                                    : nullptr;
    if (!field) return TAHSelector::SetProperty(key, value);
    try {
        *field = PropertyInt(value);
        return true;
    } catch (const std::logic_error&) {
        ErrorReport(std::string(FaultWord()) + ".SetProperty fault: property - " + k + ", value - " + value,
                    "m");
        return false;
    }
}

void TSizedHelper::SizedTick(int ms, bool shipFrame) {
    if (Object()) {
        // UpdateHalfPointerSize binds the frames when they are not bound yet.
        UpdateHalfPointerSize();
    }
    SelectorTick(ms);
    if (!Object() || State() == kHidden) return;
    AdvanceAnimation(ms);
    if (OutOfReach()) {
        SetState(kHidden);
        return;
    }
    PlaceFrames(shipFrame);
}

void TEnemyShipHelper::ShowChild(const char* name, bool on) {
    TSimpleNode* child = Find(this, name);
    if (TSensNode* n = child ? child->AsSens() : nullptr) Show(n, on);
}

void TEnemyShipHelper::MarkerTick(int ms) {
    TShipHelper::MarkerTick(ms);
    TEngineObject* object = Object();
    if (!object) return;
    const TState state = State();
    if (state == kActiveFrame) {
        // The readouts come up once the frame has zoomed in.
        const bool zoomed = AnimationFactor() > 0.9f;
        ShowChild("Durability", zoomed);
        ShowChild("Shield", zoomed);
        if (auto* speed = FindAs<TMegaButton>(this, "e_Speed"))
            speed->SetText(std::to_string(Round(HudSpeed(object))));
        ShowChild("_RocketLock", HudRocketTarget() == object);
    } else if (state != kHidden) {
        // Whom the enemy attacks: its name is in the "targeted" list of its target.
        auto attacks = [object](TEngineObject* target) {
            if (!target) return false;
            for (TEngineObject* o : HudLinkedObjects(target, "targeted"))
                if (o == object) return true;
            return false;
        };
        ShowChild("AttackPlayerShip", attacks(HudPlayerShip()));
        ShowChild("AttackFriendShip", attacks(HudSelected()));
    }
    // Near the screen centre the selected enemy draws the rocket-lock pointer.
    const float dx = static_cast<float>(Left() - kCentreX), dy = static_cast<float>(Top() - kCentreY);
    const bool candidate = state == kActiveFrame && std::sqrt(dx * dx + dy * dy) < 383.0f;
    if (candidate == candidate_) return;
    candidate_ = candidate;
    TSimpleNode* root = this;
    while (root->Parent()) root = root->Parent();
    auto* pointer = FindAs<TMovingNode>(root, "RocketLockAnimPointer");
    if (candidate) {
        if (pointer) pointer->SetTarget(this);
    } else if (pointer && pointer->GetTarget() == this) {
        pointer->SetTarget(nullptr);
        HudSetRocketTarget(nullptr);
    }
}

// ---- the layers -------------------------------------------------------------------------------

void TAHLayer::Init(TSimpleNode* desktop) {
    auto bind = [desktop](const char* name) {
        int status = 0;
        return desktop ? dynamic_cast<TMegaButton*>(desktop->ChildByName(name, status, false, true))
                       : nullptr;
    };
    waypoints_ = bind("WaypointAHLayer");
    friends_ = bind("FriendAHLayer");
    enemies_ = bind("EnemyAHLayer");
    enemyList_.clear();
    friendList_.clear();
    combined_.clear();
    enemyIndex_ = friendIndex_ = 0;
}

TMegaButton* TAHLayer::Layer(TKind kind) const {
    switch (kind) {
    case kWaypoint:
    case kWaypointOnShip:
        return waypoints_.Get();
    case kEnemy:
    case kEnemyRocket:
        return enemies_.Get();
    default:
        return friends_.Get();
    }
}

TAHSelector* TAHLayer::AddHelper(TKind kind, TEngineObject* object) {
    struct KindInfo {
        const char* pattern;
        const char* cls;
        std::vector<std::pair<const char*, const char*>> children; // name, frame it is under
    };
    static const KindInfo kKinds[] = {
        {"TWPHelper", "TAHWaypoint", {{"W_Distance", "ActiveFrame"}}},
        {"TWPHelper", "TAHWaypoint", {{"W_Distance", "ActiveFrame"}}},
        {"TNSHelper",
         "TShipHelper",
         {{"Durability", "ActiveFrame"},
          {"Armor", "ActiveFrame"},
          {"F_Distance", "ActiveFrame"},
          {"F_Speed", "ActiveFrame"}}},
        {"TESHelper",
         "TEnemyShipHelper",
         {{"Durability", "ActiveFrame"},
          {"Armor", "ActiveFrame"},
          {"Shield", "ActiveFrame"},
          {"e_Distance", "ActiveFrame"},
          {"APE_Distance", "ActivePointer"}}},
        {"TFSHelper",
         "TShipHelper",
         {{"Durability", "ActiveFrame"},
          {"Armor", "ActiveFrame"},
          {"Shield", "ActiveFrame"},
          {"F_Distance", "ActiveFrame"},
          {"F_Speed", "ActiveFrame"},
          {"APF_Distance", "ActivePointer"},
          {"TargetedCounter", "HelperFrame"}}},
        {"TMineHelper", "TMineHelper", {}},
        {"TEnemyRocketHelper", "TRocketHelper", {}},
    };
    TMegaButton* layer = Layer(kind);
    if (!object || !layer) return nullptr;
    const KindInfo& info = kKinds[kind];
    auto* marker = dynamic_cast<TAHSelector*>(layer->CreateChild(info.cls, info.pattern));
    if (!marker) return nullptr;
    const std::string hex = std::to_string(object->GetId());
    const std::string name = HudObjectName(object) + (kind == kWaypointOnShip ? "_cp" : "");
    marker->SetProperty("OBJPOINTER", hex);
    marker->SetProperty("NAME", name);
    marker->BindFrames();
    if (kind != kFriendMine && kind != kEnemyRocket)
        if (TMegaButton* f = marker->HelperFrame())
            f->SetHandler(TNodeEvent::MouseClick, f->Handler(TNodeEvent::MouseClick) +
                                                      " setVar(\"player.selected\"," + LuaQuote(name) + ") ");
    const bool ship = kind == kNeutral || kind == kEnemy || kind == kFriend;
    if (ship || kind == kWaypointOnShip)
        if (TMegaButton* f = marker->ActiveFrame()) {
            f->SetText(HudText(object, "name"));
            // The name stands above the frame.
            if (ship) f->SetProperty("TEXTTOP", "-15");
        }
    for (const auto& [child, frameName] : info.children) {
        TSimpleNode* frame = Find(marker, frameName);
        if (TSimpleNode* n = Find(frame, child)) n->SetProperty("OBJPOINTER", hex);
    }
    return marker;
}

void TAHLayer::Collect(TMegaButton* layer, bool includeOffScreen, std::vector<TAHSelector*>& list) {
    list.clear();
    if (!layer) return;
    for (int i = 0; i < layer->ChildCount(); ++i) {
        auto* m = dynamic_cast<TAHSelector*>(layer->ChildAt(i));
        if (!m || !m->Visible() || m->State() == TAHSelector::kHidden) continue;
        if (!includeOffScreen && m->State() != TAHSelector::kFrame && m->State() != TAHSelector::kActiveFrame)
            continue;
        const auto at = std::find_if(list.begin(), list.end(),
                                     [m](TAHSelector* o) { return o->DistanceKey() > m->DistanceKey(); });
        list.insert(at, m);
    }
}

bool TAHLayer::SetTarget(TEngineObject* object) {
    if (!object) return false;
    if (object != HudSelected()) TiTools::RunLua("play_ex(i_sound.event_target_lock)");
    HudSetSelected(object);
    return true;
}

void TAHLayer::SelectNextEnemy(bool includeOffScreen) {
    friendIndex_ = 0;
    Collect(enemies_.Get(), includeOffScreen, enemyList_);
    if (enemyIndex_ >= static_cast<int>(enemyList_.size())) enemyIndex_ = 0;
    if (enemyList_.empty()) return;
    if (SetTarget(enemyList_[static_cast<size_t>(enemyIndex_)]->Object())) ++enemyIndex_;
}

void TAHLayer::SelectNextFriend() {
    enemyIndex_ = 0;
    Collect(friends_.Get(), true, friendList_);
    if (friendIndex_ >= static_cast<int>(friendList_.size())) friendIndex_ = 0;
    if (friendList_.empty()) return;
    if (SetTarget(friendList_[static_cast<size_t>(friendIndex_)]->Object())) ++friendIndex_;
}

void TAHLayer::SelectNearEnemy() {
    Collect(enemies_.Get(), false, enemyList_);
    const TIPoint cursor = InterfaceCursor();
    TAHSelector* best = nullptr;
    int bestDistance = INT_MAX;
    for (TAHSelector* m : enemyList_) {
        const float dx = static_cast<float>(m->Left() - cursor.x),
                    dy = static_cast<float>(m->Top() - cursor.y);
        const int d = Round(std::sqrt(dx * dx + dy * dy));
        if (d < bestDistance) {
            bestDistance = d;
            best = m;
        }
    }
    if (best) SetTarget(best->Object());
    if (!HudSelected()) SelectNextEnemy(true);
}

void TAHLayer::SelectAttackingEnemy() {
    Collect(enemies_.Get(), true, enemyList_);
    TEngineObject* ship = HudPlayerShip();
    if (!ship) return;
    const std::vector<TEngineObject*> attackers = HudLinkedObjects(ship, "targeted");
    for (TAHSelector* m : enemyList_)
        if (std::find(attackers.begin(), attackers.end(), m->Object()) != attackers.end()) {
            SetTarget(m->Object());
            return;
        }
}

void TAHLayer::SelectNearestEnemy() {
    Collect(enemies_.Get(), true, enemyList_);
    if (!enemyList_.empty()) SetTarget(enemyList_.front()->Object());
}

TAHSelector* TAHLayer::Central(const std::vector<TAHSelector*>& list) {
    TAHSelector* best = nullptr;
    int bestDistance = INT_MAX;
    for (TAHSelector* m : list) {
        const float dx = static_cast<float>(TAHSelector::kCentreX - m->Left());
        const float dy = static_cast<float>(TAHSelector::kCentreY - m->Top());
        const int d = Round(std::sqrt(dx * dx + dy * dy));
        if (d < bestDistance) {
            bestDistance = d;
            best = m;
        }
    }
    return best;
}

void TAHLayer::SelectCentralEnemy() {
    Collect(enemies_.Get(), false, enemyList_);
    if (TAHSelector* m = Central(enemyList_)) SetTarget(m->Object());
}

void TAHLayer::SelectCentralObject() {
    Collect(enemies_.Get(), false, enemyList_);
    Collect(friends_.Get(), false, friendList_);
    combined_ = enemyList_;
    combined_.insert(combined_.end(), friendList_.begin(), friendList_.end());
    if (TAHSelector* m = Central(combined_)) SetTarget(m->Object());
}

void TAHLayer::SelectOmega() {
    Collect(friends_.Get(), true, friendList_);
    for (TAHSelector* m : friendList_)
        if (platform::UpperCaseCp1251(m->Name()).find("1OMEGA") != std::string::npos) {
            SetTarget(m->Object());
            return;
        }
}

void TAHLayer::Select(const std::string& name) {
    if (name.empty()) {
        HudSetSelected(nullptr);
        return;
    }
    auto* marker = FindAs<TObjectNode>(this, name);
    if (!marker) {
        ErrorReport("TAHLayer.Select fault: control not found - \"" + name + "\"", "mhl");
        return;
    }
    HudSetSelected(marker->Object());
}

void RegisterHudMarkerClasses() {
    ClassManager.RegisterClass<TNodeKind, TAHSelector>();
    ClassManager.RegisterClass<TNodeKind, TAHWaypoint>();
    ClassManager.RegisterClass<TNodeKind, TRocketHelper>();
    ClassManager.RegisterClass<TNodeKind, TMineHelper>();
    ClassManager.RegisterClass<TNodeKind, TShipHelper>();
    ClassManager.RegisterClass<TNodeKind, TEnemyShipHelper>();
    ClassManager.RegisterClass<TNodeKind, TAHLayer>();
}

} // namespace vesk
