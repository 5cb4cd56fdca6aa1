#pragma once
// A positional sound as an effect: the unit owns one 3D channel of the sound
// engine's space channel and moves it with a position link or a unit, so
// explosions, engines and beams carry their sounds. A looping sound ends with
// its unit; a sound that plays once plays to its end.
#include "world/fx_base.h"

#include <string>

namespace vesk {

class ISoundController;

// The Doppler scaling of a moving source's velocity: the speed is bent by
// atan(speed / kSoundDopplerSpeed) so that it never passes
// kSoundDopplerMaxSpeed x kSoundDopplerFactor.
inline constexpr float kSoundDopplerSpeed = 250.0f;
inline constexpr float kSoundDopplerMaxSpeed = 100.0f;
inline constexpr float kSoundDopplerFactor = 1.0f;
// The velocity handed to the sound engine for a source moving at v.
Vec3 DopplerVelocity(const Vec3& v);

class FXSoundClass : public FXBaseClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    // No copy while the sound engine is off (the spawn then gives nothing).
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    void OnSpawn(const FXDescrStruct& desc) override;
    void UpdateMatrices(const Matrix* parent) override;
    void Tick(float dtMs) override;
    // A looping sound ends; one that plays once ignores it and ends with its sound.
    void Kill() override;
    void Message(IEngineObject* sender, int msg, int param) override;

    const std::string& FileName() const { return fileName_; }
    bool IsLooping() const { return loop_; }
    int32_t Priority() const { return priority_; }
    int32_t MinRange() const { return minRange_; }
    int32_t MaxRange() const { return maxRange_; }
    int32_t Handle() const { return handle_; }
    // While the sound engine still plays it (the channel's link lives).
    bool IsPlaying() const;
    TBaseRenderUnit* Target() const { return target_; }

private:
    // The position and velocity of the source, handed to the channel.
    void UpdateChannel();
    // The channel while its link lives; once it has gone the sound has played
    // out and the effect ends.
    ISoundController* Channel();

    int32_t minRange_ = 100, maxRange_ = 1000;
    int32_t handle_ = -1;
    ISoundController* controller_ = nullptr;
    // The channel's link by id: it goes without telling the unit it follows.
    int32_t controllerId_ = 0;
    bool loop_ = false;
    int32_t priority_ = 1;
    TBaseRenderUnit* target_ = nullptr;
    std::string fileName_;
};

} // namespace vesk
