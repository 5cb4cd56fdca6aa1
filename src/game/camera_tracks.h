#pragma once
// Camera tracks: key points taken from the running camera, grouped into
// numbered tracks, saved and loaded as game objects and flown through the
// game camera's spline mover. The global "cameraPlayer" owns the tracks and
// carries out the designer's actions (engine_Execute).
#include <functional>
#include <string>
#include <vector>

#include "game/events.h"
#include "game/game_object.h"
#include "game/params.h"
#include "physics/camera_game.h"

namespace vesk {

class TBaseRenderUnit;

// The render unit standing for the object at a game-object path: a scene
// object's unit, or the object a free link ("....hex") holds; nullptr when none.
TBaseRenderUnit* RenderUnitAtPath(const std::string& path);

// A cut-scene description read from a game object's children.
class GameObjectCutScene : public ICutSceneDescription {
public:
    explicit GameObjectCutScene(TBaseGameObject* node) : node_(node) {}
    std::string Text(const std::string& key) override;
    float Number(const std::string& key) override;
    Vec3 Vector(const std::string& key) override;
    std::vector<std::string> ListTexts(const std::string& key) override;
    TBaseRenderUnit* UnitAt(const std::string& path) override { return RenderUnitAtPath(path); }

private:
    TBaseGameObject* node_;
};

// A key point of a track.
class TCameraTaskPoint : public TBaseGameObjectList {
    VESK_GAME_CLASS(TCameraTaskPoint)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    int32_t Num() const;
    void SetNum(int32_t num);
    TGameEvent* Callback() const;
    // The key point the camera flies through.
    CameraKeyPoint KeyPoint() const;
    // Camera pose into and out of the point.
    void FillFromCamera(TGameCamera& camera);
    void ApplyToCamera(TGameCamera& camera) const;

private:
    void OnCallback();
};

// The point holding a cut-scene description; "onDone" fires when it is done.
class TCameraTaskPoint2 : public TCameraTaskPoint {
    VESK_GAME_CLASS(TCameraTaskPoint2)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

class TCameraPlayer;

class TCameraTrack : public TBaseGameObjectList {
    VESK_GAME_CLASS(TCameraTrack)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    int32_t Num() const;
    void SetNum(int32_t num);
    TBaseGameObject* Points() const { return FindChildObj("points"); }
    std::vector<TCameraTaskPoint*> PointList() const;
    TCameraTaskPoint* CurrentPoint() const;
    TCameraTaskPoint* PointNamed(const std::string& name) const;
    std::string CurPoint() const;
    void SetCurPoint(const std::string& name);
    std::string EndPoint() const;
    // A new point filled from the camera, placed after the current one.
    TCameraTaskPoint* NewPoint(TGameCamera& camera);
    // Gathers the track's points into the player's key points; false (after
    // the report) for an empty track.
    bool Play();
    // Appends the point to the player's key points, then fires its callback.
    void ConvertPoint(TCameraTaskPoint* point);
    // The point after (or before) the given number; nullptr when none.
    TCameraTaskPoint* PointAfter(int32_t num) const;
    TCameraTaskPoint* PointBefore(int32_t num) const;
    TCameraPlayer* Player() const;

private:
    TBaseGameObject* FindChildObj(const char* name) const;
    void OnCallback();
};

class TCameraPlayer : public TBaseGameObjectList {
    VESK_GAME_CLASS(TCameraPlayer)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    int Execute(lua_State* L) override;
    void Delete() override;

    // The actions, as Execute runs them.
    void PlayTracks();
    void StopTrack();
    void Reset();
    TCameraTrack* NewTrack(const std::string& name);

    TBaseGameObject* Tracks() const;
    std::vector<TCameraTrack*> TrackList() const;
    TCameraTrack* CurrentTrack() const;
    std::string CurTrack() const;
    std::string EndTrack() const;
    bool Playing() const { return playing_; }
    std::vector<CameraKeyPoint>& KeyPoints() { return keyPoints_; }
    TCameraTrack* TrackAfter(int32_t num) const;

private:
    void StartFlight();
    void OnFlightDone();
    TGameEvent* EventNamed(const char* name) const;

    bool playing_ = false;
    std::vector<CameraKeyPoint> keyPoints_;
};

// Where a point's number is shown while a designer steps through a track
// (the interface installs it; nothing is shown without it).
void SetCameraPointLabelSink(std::function<void(const std::string& text)> sink);

// Registers the classes; makes "cameraPlayer" under the root; installs
// engine_CameraOnObj.
void RegisterCameraTrackClasses();
TCameraPlayer* CreateCameraPlayer(TBaseGameObject* root);
void RegisterCameraTrackFunctions();

} // namespace vesk
