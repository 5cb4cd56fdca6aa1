#include "game/camera_tracks.h"

#include <lua.hpp>

#include <climits>

#include "core/lua_functions.h"
#include "game/game_lua.h"
#include "game/scene_object.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

Vec3 VectorOf(const TBaseGameObject* owner, std::string_view name) {
    Vec3 v{};
    if (auto* p = Child<TGameObjectVectorParam>(owner, name)) p->GetVector(v.x, v.y, v.z);
    return v;
}

void SetVector(TBaseGameObject* owner, std::string_view name, const Vec3& v) {
    if (auto* p = Child<TGameObjectVectorParam>(owner, name)) p->SetVector(v.x, v.y, v.z);
}

// The children of a node of one class that are not deleted, in list order.
template <class T> std::vector<T*> LiveChildrenOf(const TBaseGameObject* node) {
    std::vector<T*> out = ChildrenOf<T>(node);
    std::erase_if(out, [](const T* c) { return c->IsDeleted(); });
    return out;
}

// Smallest (or, with largest, greatest) number within the bounds; the first
// found wins ties.
template <class T> T* ByNumber(const std::vector<T*>& items, int64_t above, int64_t below, bool largest) {
    T* best = nullptr;
    for (T* item : items) {
        const int64_t num = item->Num();
        if (num <= above || num >= below) continue;
        if (!best || (largest ? num > best->Num() : num < best->Num())) best = item;
    }
    return best;
}

// Fires the event with that id when it still exists.
std::function<void()> FireLater(TGameEvent* event) {
    const int32_t id = event ? event->GetId() : 0;
    return [id] {
        if (auto* e = FindEngineObjectAs<TGameEvent>(id)) e->Fire();
    };
}

std::function<void(const std::string&)>& PointLabelSink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}

void ShowPointNumber(int32_t num) {
    if (PointLabelSink()) PointLabelSink()(IntToStr32(num));
}

} // namespace

void SetCameraPointLabelSink(std::function<void(const std::string&)> sink) {
    PointLabelSink() = std::move(sink);
}

TBaseRenderUnit* RenderUnitAtPath(const std::string& path) {
    TBaseGameObject* node = path.empty() ? nullptr : FindVarByPath(path);
    if (!node) return nullptr;
    if (auto* scene = dynamic_cast<TBaseGameSceneObject*>(node))
        return dynamic_cast<TBaseRenderUnit*>(scene->GetHex());
    if (auto* link = dynamic_cast<TGameObjectFreeLink*>(node))
        return dynamic_cast<TBaseRenderUnit*>(link->GetValue());
    return nullptr;
}

// ---- cut-scene descriptions ---------------------------------------------------------------------

std::string GameObjectCutScene::Text(const std::string& key) {
    return ValueTextOf(node_, key);
}

float GameObjectCutScene::Number(const std::string& key) {
    TBaseGameObject* child = node_ ? node_->FindChild(key) : nullptr;
    return child ? child->singleValue() : 0.0f;
}

Vec3 GameObjectCutScene::Vector(const std::string& key) {
    return VectorOf(node_, key);
}

std::vector<std::string> GameObjectCutScene::ListTexts(const std::string& key) {
    std::vector<std::string> out;
    TBaseGameObject* list = node_ ? node_->FindChild(key) : nullptr;
    for (TBaseGameObject* child : LiveChildrenOf<TBaseGameObject>(list)) {
        std::string text;
        child->stringValue(text);
        out.push_back(text);
    }
    return out;
}

// ---- points -------------------------------------------------------------------------------------

void TCameraTaskPoint::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    auto* callback = NewGameObject<TGameEvent>("callback", this);
    const int32_t self = GetId();
    callback->SetHandler([self](TEngineObject*, TEngineObject*) {
        if (auto* p = FindEngineObjectAs<TCameraTaskPoint>(self)) p->OnCallback();
    });
    NewGameObject<TGameObjectStringParam>("name", this)->setValue(name);
    NewGameObject<TGameObjectIntParam>("num", this);
    NewGameObject<TGameObjectVectorParam>("position", this);
    NewGameObject<TGameObjectVectorParam>("direction", this);
    NewGameObject<TGameObjectVectorParam>("upvector", this);
    NewGameObject<TGameObjectSubParam>("moveTime", this);
    NewGameObject<TGameObjectStringParam>("directionObj", this);
    NewGameObject<TGameObjectIntParam>("useSpline", this)->setValue(1);
    NewGameObject<TGameObjectSubParam>("speed", this)->setValue(100.0f);
    NewGameObject<TGameObjectIntParam>("useVelocity", this)->setValue(1);
}

int32_t TCameraTaskPoint::Num() const {
    return IntOf(this, "num");
}

void TCameraTaskPoint::SetNum(int32_t num) {
    SetIntOf(this, "num", num);
}

TGameEvent* TCameraTaskPoint::Callback() const {
    return Child<TGameEvent>(this, "callback");
}

CameraKeyPoint TCameraTaskPoint::KeyPoint() const {
    CameraKeyPoint k;
    k.position = VectorOf(this, "position");
    k.direction = VectorOf(this, "direction");
    k.up = VectorOf(this, "upvector");
    k.time = FloatOf(this, "moveTime");
    k.speed = FloatOf(this, "speed");
    k.spline = IntOf(this, "useSpline") != 0;
    k.useSpeed = IntOf(this, "useVelocity") == 1;
    k.target = RenderUnitAtPath(TextOf(this, "directionObj"));
    return k;
}

void TCameraTaskPoint::FillFromCamera(TGameCamera& camera) {
    ShowPointNumber(Num());
    SetVector(this, "position", camera.GetPosition());
    SetVector(this, "direction", camera.GetDirection());
    SetVector(this, "upvector", camera.GetUpVector());
    if (auto* t = Child<TGameObjectSubParam>(this, "moveTime")) t->setValue(1.0f);
}

void TCameraTaskPoint::ApplyToCamera(TGameCamera& camera) const {
    ShowPointNumber(Num());
    camera.SetPosition(VectorOf(this, "position"));
    camera.SetDirection(VectorOf(this, "direction"));
    camera.SetUpVector(VectorOf(this, "upvector"));
}

void TCameraTaskPoint::OnCallback() {
    // A point of a track: the next point follows, the end point ends the track.
    auto* track = GetParent() ? dynamic_cast<TCameraTrack*>(GetParent()->GetParent()) : nullptr;
    if (!track) return;
    TCameraTaskPoint* next = GetName() == track->EndPoint() ? nullptr : track->PointAfter(Num());
    if (next) {
        track->ConvertPoint(next);
    } else if (TGameEvent* done = Child<TGameEvent>(track, "callback")) {
        done->Fire();
    }
}

void TCameraTaskPoint2::Create(const std::string& name, TBaseGameObject* parent) {
    TCameraTaskPoint::Create(name, parent);
    NewGameObject<TGameEvent>("onDone", this);
}

// ---- tracks ---------------------------------------------------------------------------------------

void TCameraTrack::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    auto* callback = NewGameObject<TGameEvent>("callback", this);
    const int32_t self = GetId();
    callback->SetHandler([self](TEngineObject*, TEngineObject*) {
        if (auto* t = FindEngineObjectAs<TCameraTrack>(self)) t->OnCallback();
    });
    NewGameObject<TGameObjectStringParam>("name", this)->setValue(name);
    NewGameObject<TGameObjectIntParam>("num", this);
    NewGameObject<TBaseGameObjectList>("points", this)
        ->SetDefaultChildClass(&TCameraTaskPoint::StaticClass());
    NewGameObject<TGameObjectStringParam>("curPoint", this);
    NewGameObject<TGameObjectStringParam>("endPoint", this);
    NewGameObject<TGameObjectIntParam>("pointCounter", this);
}

TBaseGameObject* TCameraTrack::FindChildObj(const char* name) const {
    return const_cast<TCameraTrack*>(this)->FindChild(name);
}

int32_t TCameraTrack::Num() const {
    return IntOf(this, "num");
}

void TCameraTrack::SetNum(int32_t num) {
    SetIntOf(this, "num", num);
}

std::vector<TCameraTaskPoint*> TCameraTrack::PointList() const {
    return LiveChildrenOf<TCameraTaskPoint>(Points());
}

TCameraTaskPoint* TCameraTrack::PointNamed(const std::string& name) const {
    if (name.empty()) return nullptr;
    TBaseGameObject* points = Points();
    auto* p = points ? dynamic_cast<TCameraTaskPoint*>(points->FindChild(name)) : nullptr;
    return p && !p->IsDeleted() ? p : nullptr;
}

std::string TCameraTrack::CurPoint() const {
    return TextOf(this, "curPoint");
}

void TCameraTrack::SetCurPoint(const std::string& name) {
    SetTextOf(this, "curPoint", name);
}

TCameraTaskPoint* TCameraTrack::CurrentPoint() const {
    return PointNamed(CurPoint());
}

std::string TCameraTrack::EndPoint() const {
    return TextOf(this, "endPoint");
}

TCameraTaskPoint* TCameraTrack::PointAfter(int32_t num) const {
    return ByNumber(PointList(), num, INT64_MAX, false);
}

TCameraTaskPoint* TCameraTrack::PointBefore(int32_t num) const {
    return ByNumber(PointList(), INT64_MIN, num, true);
}

TCameraPlayer* TCameraTrack::Player() const {
    return GetParent() ? dynamic_cast<TCameraPlayer*>(GetParent()->GetParent()) : nullptr;
}

TCameraTaskPoint* TCameraTrack::NewPoint(TGameCamera& camera) {
    TBaseGameObject* points = Points();
    if (!points) return nullptr;
    TCameraTaskPoint* current = CurrentPoint();
    auto* point = NewGameObject<TCameraTaskPoint>("point_", points);
    point->AppendIdToName();
    SetTextOf(point, "name", point->GetName());
    const int32_t counter = IntOf(this, "pointCounter");
    point->SetNum(counter);
    SetIntOf(this, "pointCounter", counter + 10);
    if (current) {
        // The new point goes right after the current one; the rest move up.
        const int32_t num = current->Num() + 10;
        for (TCameraTaskPoint* p : PointList())
            if (p != point && p->Num() >= num) p->SetNum(p->Num() + 10);
        point->SetNum(num);
    }
    point->FillFromCamera(camera);
    SetCurPoint(point->GetName());
    return point;
}

bool TCameraTrack::Play() {
    const std::vector<TCameraTaskPoint*> points = PointList();
    TCameraTaskPoint* first = ByNumber(points, INT64_MIN, INT64_MAX, false);
    TCameraTaskPoint* last = ByNumber(points, INT64_MIN, INT64_MAX, true);
    if (!first) {
        ErrorReport("TCameraTrack.play error: empty track", "mhl");
        return false;
    }
    if (first->Num() > last->Num()) {
        ErrorReport("TCameraTrack.play error", "mhl");
        return false;
    }
    SetTextOf(this, "endPoint", last->GetName());
    ConvertPoint(first);
    return true;
}

void TCameraTrack::ConvertPoint(TCameraTaskPoint* point) {
    SetCurPoint(point->GetName());
    if (TCameraPlayer* player = Player()) player->KeyPoints().push_back(point->KeyPoint());
    if (TGameEvent* callback = point->Callback()) callback->Fire();
}

void TCameraTrack::OnCallback() {
    TCameraPlayer* player = Player();
    if (!player || GetName() == player->EndTrack()) return;
    if (TCameraTrack* next = player->TrackAfter(Num())) next->Play();
}

// ---- the player -------------------------------------------------------------------------------------

void TCameraPlayer::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    const int32_t self = GetId();
    auto player = [self] { return FindEngineObjectAs<TCameraPlayer>(self); };
    NewGameObject<TCameraTaskPoint2>("doTask", this);
    NewGameObject<TGameEvent>("startTask", this)->SetHandler([player](TEngineObject*, TEngineObject*) {
        TCameraPlayer* p = player();
        TGameCamera* camera = GameCamera();
        if (!p || !camera) return;
        GameObjectCutScene description(p->FindChild("doTask"));
        camera->StartCutScene(description, FireLater(p->EventNamed("newCallback")));
    });
    NewGameObject<TGameEvent>("endTasks", this)->SetHandler([](TEngineObject*, TEngineObject*) {
        if (TGameCamera* camera = GameCamera()) camera->StopCutScene();
    });
    NewGameObject<TGameEvent>("newCallback", this)->SetHandler([](TEngineObject*, TEngineObject*) {
        GameRunLua("camera.callback()");
    });
    NewGameObject<TBaseGameObjectList>("tracks", this)->SetDefaultChildClass(&TCameraTrack::StaticClass());
    NewGameObject<TGameObjectStringParam>("curTrack", this);
    NewGameObject<TGameObjectStringParam>("endTrack", this);
    NewGameObject<TGameObjectIntParam>("trackCounter", this);
    NewGameObject<TGameEvent>("callback", this)->SetHandler([player](TEngineObject*, TEngineObject*) {
        if (TCameraPlayer* p = player()) p->OnFlightDone();
    });
    NewGameObject<TGameObjectIntParam>("loop", this);
}

void TCameraPlayer::Delete() {
    StopTrack();
    TBaseGameObjectList::Delete();
}

TGameEvent* TCameraPlayer::EventNamed(const char* name) const {
    return Child<TGameEvent>(this, name);
}

TBaseGameObject* TCameraPlayer::Tracks() const {
    return const_cast<TCameraPlayer*>(this)->FindChild("tracks");
}

std::vector<TCameraTrack*> TCameraPlayer::TrackList() const {
    return LiveChildrenOf<TCameraTrack>(Tracks());
}

std::string TCameraPlayer::CurTrack() const {
    return TextOf(this, "curTrack");
}

std::string TCameraPlayer::EndTrack() const {
    return TextOf(this, "endTrack");
}

TCameraTrack* TCameraPlayer::CurrentTrack() const {
    const std::string name = CurTrack();
    TBaseGameObject* tracks = Tracks();
    auto* t = tracks && !name.empty() ? dynamic_cast<TCameraTrack*>(tracks->FindChild(name)) : nullptr;
    return t && !t->IsDeleted() ? t : nullptr;
}

TCameraTrack* TCameraPlayer::TrackAfter(int32_t num) const {
    return ByNumber(TrackList(), num, INT64_MAX, false);
}

TCameraTrack* TCameraPlayer::NewTrack(const std::string& name) {
    TBaseGameObject* tracks = Tracks();
    if (!tracks) return nullptr;
    auto* track = NewGameObject<TCameraTrack>(name, tracks);
    const int32_t counter = IntOf(this, "trackCounter");
    track->SetNum(counter);
    SetIntOf(this, "trackCounter", counter + 10);
    return track;
}

void TCameraPlayer::StopTrack() {
    // A flight started by "play" is stopped as well, whether or not a track
    // was picked for editing.
    if (!playing_ && !CurrentTrack()) return;
    if (TGameCamera* camera = GameCamera()) {
        camera->ResetSpline();
        camera->StopSpline();
        camera->StartFreeCamera();
    }
    playing_ = false;
    keyPoints_.clear();
}

void TCameraPlayer::Reset() {
    StopTrack();
    if (TBaseGameObject* tracks = Tracks()) tracks->DeleteChildren();
    SetIntOf(this, "loop", 0);
    SetTextOf(this, "curTrack", "");
}

void TCameraPlayer::PlayTracks() {
    if (playing_) StopTrack();
    keyPoints_.clear();
    const std::vector<TCameraTrack*> tracks = TrackList();
    TCameraTrack* first = ByNumber(tracks, INT64_MIN, INT64_MAX, false);
    TCameraTrack* last = ByNumber(tracks, INT64_MIN, INT64_MAX, true);
    if (!first) {
        ErrorReport("TCameraPlayer.playTracks error", "mhl");
        return;
    }
    if (first->Num() > last->Num()) {
        ErrorReport("TCameraPlayer.playTracks", "mhl");
        return;
    }
    SetTextOf(this, "endTrack", last->GetName());
    first->Play();
    StartFlight();
}

void TCameraPlayer::StartFlight() {
    TGameCamera* camera = GameCamera();
    if (!camera) return;
    camera->StopFreeCamera();
    camera->StartSplineMode();
    playing_ = true;
    camera->StartSpline(keyPoints_, FireLater(EventNamed("callback")));
    camera->RunSpline();
}

void TCameraPlayer::OnFlightDone() {
    StopTrack();
    if (IntOf(this, "loop") != 0) PlayTracks();
}

int TCameraPlayer::Execute(lua_State* L) {
    const std::string action = LuaArgText(L, 2);
    const std::string param = LuaArgText(L, 3);
    TGameCamera* camera = GameCamera();
    if (action == "delPoint") {
        if (TCameraTrack* track = CurrentTrack()) {
            TCameraTaskPoint* point = track->CurrentPoint();
            track->SetCurPoint("");
            if (point) point->Delete();
        }
    } else if (action == "overwrite") {
        TCameraTrack* track = CurrentTrack();
        TCameraTaskPoint* point = track ? track->CurrentPoint() : nullptr;
        if (point && camera) {
            point->FillFromCamera(*camera);
            track->SetCurPoint(point->GetName());
        }
    } else if (action == "freeFly") {
        if (camera) camera->StartFreeCamera();
        GameRunLua("iDesktop.SetMode(\"imSpace\")");
    } else if (action == "nextPoint" || action == "prevPoint") {
        auto* track = dynamic_cast<TCameraTrack*>(Tracks() ? Tracks()->Get(param) : nullptr);
        if (!track) return 0;
        if (action == "nextPoint") SetTextOf(this, "curTrack", param);
        TCameraTaskPoint* current = track->CurrentPoint();
        TCameraTaskPoint* point = action == "nextPoint"
                                      ? (current ? track->PointAfter(current->Num())
                                                 : ByNumber(track->PointList(), INT64_MIN, INT64_MAX, false))
                                      : (current ? track->PointBefore(current->Num())
                                                 : ByNumber(track->PointList(), INT64_MIN, INT64_MAX, true));
        if (point) {
            if (camera) point->ApplyToCamera(*camera);
            track->SetCurPoint(point->GetName());
        }
    } else if (action == "play") {
        PlayTracks();
    } else if (action == "stop") {
        StopTrack();
    } else if (action == "save") {
        saveData(param);
    } else if (action == "load") {
        Reset();
        loadData(param);
    } else if (action == "pause") {
        // Accepted; a flight cannot be held.
    } else if (action == "newTrack") {
        NewTrack(param);
    } else if (action == "newPoint") {
        auto* track = dynamic_cast<TCameraTrack*>(Tracks() ? Tracks()->Get(param) : nullptr);
        if (track && camera) track->NewPoint(*camera);
    } else {
        ErrorReport("TCameraPlayer.Execute error: action- \"" + action + "\"" + Ru(" не используется"),
                    "mhl");
    }
    return 0;
}

// ---- registration --------------------------------------------------------------------------------

namespace {

// engine_CameraOnObj(id): the game camera looks at the object "obj.<id>".
int engine_CameraOnObj(lua_State* L) {
    const std::string id = LuaArgText(L, 1);
    TBaseRenderUnit* unit = RenderUnitAtPath("obj." + id + ".hex");
    if (!unit) {
        ErrorReport("engine_CameraOnObj: obj." + id + ".hex is no render unit", "mhl");
        return 0;
    }
    if (TGameCamera* camera = GameCamera()) camera->SetDefaultObject(unit);
    return 0;
}

} // namespace

void RegisterCameraTrackClasses() {
    RegisterGameClass(TCameraTaskPoint::StaticClass());
    RegisterGameClass(TCameraTaskPoint2::StaticClass());
    RegisterGameClass(TCameraTrack::StaticClass());
    RegisterGameClass(TCameraPlayer::StaticClass());
}

TCameraPlayer* CreateCameraPlayer(TBaseGameObject* root) {
    return root ? NewGameObject<TCameraPlayer>("cameraPlayer", root) : nullptr;
}

void RegisterCameraTrackFunctions() {
    SetEngineFunction("engine_CameraOnObj", engine_CameraOnObj);
}

} // namespace vesk
