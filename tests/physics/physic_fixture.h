#pragma once
// A stand-in AI unit that owns the position, matrix and vectors a physics
// unit moves, and a physics unit that counts its order-ended callbacks.
#include "physics/physic_unit.h"
#include "render/render_unit.h"

#include <map>
#include <string>

namespace vesk::test {

struct FakeOwner : IRenderUnitAI, IOwnerPhObj {
    TPhVector* vel = TEngineObject::New<TPhVector>();
    TPhVector* omega = TEngineObject::New<TPhVector>();
    Vec3d pos{};
    Matrix matrix{};
    float radius = 1.0f;
    TShipPhysicParams* params = nullptr;
    BasePhysicUnitClass* bpu = nullptr;
    TBaseRenderUnit* unit = nullptr;
    IOwnerPhObj* leader = nullptr;
    Vec3 formation{};

    ~FakeOwner() override {
        vel->Free();
        omega->Free();
    }
    // IRenderUnitAI
    void ClearOwner() override {}
    void FreeAI() override {}
    Matrix BodyMatrix() const override { return matrix; }
    TBaseRenderUnit* RenderUnit() override { return unit; }
    void ForsageOn(float v) override { forsage = v; }
    void ForsageOff() override { forsage = 0; }
    float forsage = 0;
    // IOwnerPhObj
    IPhVector* GetVelocityVector() override { return vel; }
    IPhVector* GetSecondVector() override { return omega; }
    Vec3 GetPosition() override { return {float(pos.x), float(pos.y), float(pos.z)}; }
    Vec3d GetPositionD() override { return pos; }
    void SetPositionD(const Vec3d& p) override { pos = p; }
    Matrix GetMatrix() override { return matrix; }
    void SetMatrix(const Matrix& m) override { matrix = m; }
    void SetUpVector(const Vec3&) override {}
    float GetBoundingRadius() override { return radius; }
    bool GetOwnSphere(Vec3& c, float& r) override {
        c = GetPosition(), r = radius;
        return true;
    }
    bool IsFollowerOf(IOwnerPhObj* l) override { return l && l == leader; }
    Vec3 GetFormationPoint(IOwnerPhObj*) override { return formation; }
    void GetBasis(Vec3& a, Vec3& b, Vec3& c) override { MatrixGetAxes(matrix, &a, &b, &c); }
    TBaseRenderUnit* GetRenderUnit() override { return unit; }
    BasePhysicUnitClass* GetPhysicUnit() override { return bpu; }
    TShipPhysicParams* GetPhysicParams() override { return params; }
    bool IsForsage() const override { return bpu && bpu->IsForsage(); }
    float GetForsageSpeed() const override { return bpu ? bpu->GetForsageSpeed() : 0.0f; }
};

struct TestUnit : BasePhysicUnitClass {
    using BasePhysicUnitClass::BasePhysicUnitClass;
    int callbacks = 0;
    void SendCallback() override { ++callbacks; }
};

// A unit whose own bounding sphere sits at its world position.
struct PlacedUnit : TBaseRenderUnit {
    BSphereRecord sphere;
    void GetOwnBSphere(BSphereRecord*& out) override {
        GetPosition(sphere.worldCentre);
        sphere.radius = sphere.worldRadius = 10.0f;
        out = &sphere;
    }
};

// Physics parameters by name, as a game object's list would give them.
struct MapSource : IPhysicParamsSource {
    std::map<std::string, std::string> values;
    bool GetNumber(const std::string& n, float& out) override {
        auto it = values.find(n);
        if (it == values.end()) return false;
        out = std::stof(it->second);
        return true;
    }
    bool GetText(const std::string& n, std::string& out) override {
        auto it = values.find(n);
        if (it == values.end()) return false;
        out = it->second;
        return true;
    }
    bool GetBool(const std::string& n, bool& out) override {
        auto it = values.find(n);
        if (it == values.end()) return false;
        out = it->second == "true";
        return true;
    }
};

// A ship record with round numbers: limit 100, accelerate time 2 s.
inline TShipPhysicParams MakeRecord(int32_t sizeClass) {
    TShipPhysicParams r;
    r.sizeClass = sizeClass;
    r.maxVelocity = r.speedLimit = 100.0f;
    r.accelerateTime = 2.0f;
    r.staticRotate90Time = 1.0f;
    r.maxPitchAngle = 1.0f;
    r.maxRotateVelocity = 2.0f;
    r.rotateForceMultiply = 4.0f;
    r.rotateFading = 1.0f;
    r.pathFinderDist = 10.0f;
    r.maxRollAngle = 0.5f;
    r.rollForceMultiply = 2.0f;
    r.rollFading = 1.0f;
    return r;
}

// One owner, one record, one unit; freed in order.
struct Rig {
    TShipPhysicParams record;
    FakeOwner owner;
    TestUnit* unit;
    explicit Rig(int32_t sizeClass) : record(MakeRecord(sizeClass)) {
        owner.params = &record;
        unit = TEngineObject::New<TestUnit>(&owner, &record, nullptr);
        owner.bpu = unit;
    }
    ~Rig() { unit->Free(); }
    void Step(float ms) {
        unit->SetStepTime(ms / 1000.0f);
        unit->Tick(ms);
    }
};

} // namespace vesk::test
