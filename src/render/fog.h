#pragma once
// Fixed-function fog of one render object, read from the Lua mesh description
// and expressed as named records in the object's render-state set, so fog is
// on only around that object's draws.
#include <atomic>
#include <cstdint>
#include <string>

#include "render/shader.h"
#include "shared/engine_object.h"

namespace vesk {

// What a fog's owner tells it: its name for logs and reports.
class IObjectName {
public:
    virtual std::string GetObjectName() = 0;

protected:
    ~IObjectName() = default;
};

class IFogOperationsInterface {
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t ReleaseRef() = 0;
    virtual void FogOn() = 0;
    virtual void FogOff() = 0;
    // none -> linear -> exponential -> squared exponential -> none, then FogOn.
    virtual void NextFogType() = 0;
    virtual void AddDensity(float delta) = 0;
    virtual void AddDistEnd(float delta) = 0;
    virtual void FogLoadFromLua(const std::string& meshName, const std::string& key) = 0;
    virtual void Dump() = 0;

protected:
    ~IFogOperationsInterface() = default;
};

class FogClass final : public TEngineObject, public IFogOperationsInterface {
public:
    // A fog with one reference for the caller, or nullptr (reported) without a
    // render-state set. The owner's name comes from IObjectName when it has one.
    static FogClass* Create(IRenderStatesInterface* renderStates, TEngineObject* owner);

    uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t ReleaseRef() override;
    void FogOn() override;
    void FogOff() override;
    void NextFogType() override;
    void AddDensity(float delta) override;
    void AddDistEnd(float delta) override;
    void FogLoadFromLua(const std::string& meshName, const std::string& key) override;
    void Dump() override;

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;
    std::string ClassName() const override { return "FogClass"; }
    // The owner lets go of the fog before it goes away itself: the creator's
    // reference is given back.
    void DetachOwner();

    // The name of this fog's records: "fog" + its id as eight hex digits.
    std::string Key() const;
    std::string OwnerName();
    uint32_t FogType() const { return type_; }
    uint32_t Color() const { return color_; }
    float DistStart() const { return start_; }
    float DistEnd() const { return end_; }
    float Density() const { return density_; }
    void SetFogType(uint32_t type) { type_ = type; }
    void SetColor(uint32_t color) { color_ = color; }
    void SetDistStart(float v) { start_ = v; }
    void SetDistEnd(float v) { end_ = v; }
    void SetDensity(float v) { density_ = v; }
    IRenderStatesInterface* RenderStates() const { return states_; }

private:
    FogClass() = default;

    uint32_t type_ = 1; // D3DFOGMODE
    uint32_t color_ = 0;
    float start_ = 0.0f;
    float end_ = 4050.0f;
    float density_ = 6e-5f;
    IRenderStatesInterface* states_ = nullptr; // counted reference
    TEngineObject* owner_ = nullptr;
    std::atomic<uint32_t> refs_{0};
};

} // namespace vesk
