#pragma once
// Effects that show a model or a lamp rather than particles: a coloured,
// half-transparent sphere; a glowing lamp that follows a unit; the objects of
// a mesh entry shown for a lifetime at a unit's helper; and that mesh turned
// once towards a destination.
#include "world/fx_base.h"

#include <string>

namespace vesk {

class TLampClass;

// An effect whose brightness another effect follows (a shield's glow).
class IFXIntensity {
public:
    virtual float GetCurrentIntensity() const = 0;

protected:
    ~IFXIntensity() = default;
};

class FXSphereClass : public FXBaseClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    void OnSpawn(const FXDescrStruct& desc) override;
    // A sphere stays where its parent is.
    void SetPosition(const Vec3&) override {}
    void DoRender() override;
    // The material's colour and the scale from the sphere's values; a sphere
    // needs exactly one render object with a material.
    bool UpdateBaseParams();

    float GetOpacity() const { return opacity_; }
    uint32_t GetColor() const { return colour_; }
    float GetRadius() const { return radius_; }

private:
    float opacity_ = 0.5f;
    uint32_t colour_ = 0x808080;
    float radius_ = 100.0f;
};

class FXGlowClass : public FXBaseClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    void OnSpawn(const FXDescrStruct& desc) override;
    void Tick(float dtMs) override;
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override { FillRenderListsByPass(); }
    void Message(IEngineObject* sender, int msg, int param) override;

    TLampClass* GetLamp() const { return lamp_; }
    uint32_t GetColor() const { return colour_; }
    TEngineObject* IntensitySource() const { return source_; }

private:
    // The unit at the link's position, the lamp with it, its brightness from the source.
    void Follow();

    TLampClass* lamp_ = nullptr;
    uint32_t colour_ = 0xFFFFFF;
    TEngineObject* source_ = nullptr;
    IFXIntensity* intensity_ = nullptr;
};

class FXMeshClass : public FXBaseClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    void OnSpawn(const FXDescrStruct& desc) override;
    void Tick(float dtMs) override;
    void Message(IEngineObject* sender, int msg, int param) override;

    float GetLifeTimeSeconds() const { return lifeTime_; }
    float GetRemaining() const { return remaining_; }
    const std::string& MeshName() const { return meshName_; }

protected:
    // The unit follows its link (under the root: the link's whole matrix).
    virtual void UpdatePosition();

    float lifeTime_ = 0, remaining_ = 0;
    std::string meshName_;
};

class FXDirectedMeshClass : public FXMeshClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void OnSpawn(const FXDescrStruct& desc) override;
    void Message(IEngineObject* sender, int msg, int param) override;

    bool IsTurned() const { return turned_; }
    IDynamicTargetPosition* Destination() const { return destination_; }

protected:
    void UpdatePosition() override;

private:
    IDynamicTargetPosition* destination_ = nullptr;
    bool turned_ = false;
};

} // namespace vesk
