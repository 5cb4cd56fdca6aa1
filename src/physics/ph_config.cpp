#include "physics/ph_config.h"

#include "platform/text.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vesk {

int32_t SizeClassFromName(const std::string& name) {
    static const struct {
        const char* name;
        int32_t value;
    } kNames[] = {{"missile", SC_MISSILE},     {"small", SC_SMALL},
                  {"barga", SC_BARGA},         {"big", SC_BIG},
                  {"player", SC_PLAYER},       {"field", SC_FIELD},
                  {"container", SC_CONTAINER}, {"field_nsc", SC_FIELD_NSC}};
    for (const auto& n : kNames)
        if (platform::SameTextCp1251(name, n.name)) return n.value;
    return SC_NONE;
}

int32_t SizeClassFromRadius(float r) {
    // The gaps at exactly 100, 700 and 2000 are part of the content's tuning.
    if (r > 0.0f && r < 10.0f) return SC_MISSILE;
    if (r >= 10.0f && r < 100.0f) return SC_SMALL;
    if (r > 100.0f && r < 700.0f) return SC_BARGA;
    if (r > 700.0f && r < 2000.0f) return SC_BIG;
    if (r > 2000.0f) return SC_BIG;
    return SC_NONE;
}

PhConfigObjClass::PhConfigObjClass(IPhysicParamsSource& source, float radius) {
    auto num = [&](const char* name) {
        float v = 0.0f;
        source.GetNumber(name, v);
        return v;
    };
    TShipPhysicParams& r = record_;
    r.staticRotate90Time = num("ph_StaticRotate90Time");
    r.startMoveCos = std::cos(DegToRad(num("ph_StartMoveAngle")));
    r.maxPitchAngle = DegToRad(num("ph_MaxPitchAngle"));
    r.maxVelocity = num("ph_MaxVelocity");
    r.speedLimit = r.maxVelocity;
    r.accelerateTime = num("ph_AccelerateTime");
    r.rotateForceMultiply = num("ph_RotateForceMultiply");
    r.rotateFading = num("ph_RotateFading");
    r.maxRotateVelocity = DegToRad(num("ph_MaxRotateVelocity"));
    r.rollForceMultiply = num("ph_RollForceMultiply");
    r.rollFading = num("ph_RollFading");
    r.maxRollAngle = DegToRad(num("ph_MaxRollAngle"));
    std::string type;
    source.GetText("ph_Type", type);
    r.sizeClass = type.empty() ? SizeClassFromRadius(radius) : SizeClassFromName(type);
    bool use = false;
    source.GetBool("ph_UseInFindWay", use);
    r.useInFindWay = use ? 1 : 0;

    std::string text;
    if (source.GetText("ph_collDist", text))
        r.collDist = kws2f(text, "ph_collDist");
    else
        r.collDist = radius != 0.0f ? 75.0f / radius + 1.2f : 1.2f; // a zero radius adds nothing
    if (source.GetText("ph_PathFinderDist", text))
        r.pathFinderDist = kws2f(text, "ph_PathFinderDist");
    else
        r.pathFinderDist = 10.0f;
}

PhConfigObjClass* PhConfigObjClass::Create(IPhysicParamsSource& source, TBaseRenderUnit* unit) {
    float radius = 0.0f;
    if (unit) {
        BSphereRecord* s = nullptr;
        unit->GetOwnBSphere(s);
        if (s) radius = s->radius;
    }
    return New<PhConfigObjClass>(source, radius);
}

void PhConfigObjClass::GetData(void* buffer, size_t size) const {
    // A smaller buffer gets only what fits.
    std::memcpy(buffer, &record_, std::min(size, sizeof(TShipPhysicParams)));
    if (size != sizeof(TShipPhysicParams))
        ErrorReport("PhConfigObjClass.GetData: _size <> sizeof(TShipPhysicParams)", "mhl");
}

} // namespace vesk
