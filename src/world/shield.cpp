#include "world/shield.h"

#include "physics/cm_tree.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/math.h"

#include <cmath>

namespace vesk {

void EllipsoidShieldClass::Bound() {
    IEngineObject* c = Carrier();
    carrier_ = c ? dynamic_cast<TBaseRenderUnit*>(c->GetInstance()) : nullptr;
    if (carrier_) carrierRadius_ = carrier_->GetBSphereRadius();
}

void EllipsoidShieldClass::Build(CMTreeClass* tree, const std::string& shieldName) {
    GeomObjStruct* object = nullptr;
    if (tree && tree->GetGeomobject("shield", object)) {
        matrix_ = object->matrix;
    } else {
        matrix_ = Matrix{};
        const Vec3 scale = carrier_ ? MatrixGetColumnScale(carrier_->GetLocalMatrix()) : Vec3{1, 1, 1};
        const RenderObjectList* ros = carrier_ ? carrier_->GetROList() : nullptr;
        if (!ros || ros->empty() || !(*ros)[0]) {
            ErrorReport("ShipClass.GetEllipseMatrix: ROList.Count<1 [BASE]", "mhl");
            return;
        }
        Vec3 min, max;
        (*ros)[0]->GetBox(min, max);
        MatrixScaleColumns(matrix_,
                           {(max.x - min.x) * scale.x, (max.y - min.y) * scale.y, (max.z - min.z) * scale.z});
        MatrixSetTranslation(matrix_, {0, 0, 0});
    }
    SetTemplate(shieldName.empty() ? nullptr : TBaseRenderUnit::FindFXTemplate(shieldName));
}

void EllipsoidShieldClass::SetTemplate(TBaseRenderUnit* templ) {
    if (template_ == templ) return;
    if (template_) template_->RemoveSubscriber(this);
    template_ = templ;
    if (template_) template_->AddSubscriber(this);
}

void EllipsoidShieldClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && template_ &&
        sender->GetInstance() == static_cast<TEngineObject*>(template_))
        template_ = nullptr;
    ClamClass::Message(sender, msg, param);
}

void EllipsoidShieldClass::Free() {
    SetTemplate(nullptr);
    carrier_ = nullptr;
    ClamClass::Free();
}

Matrix EllipsoidShieldClass::WorldFrame() const {
    Matrix placement;
    if (carrier_) {
        placement = carrier_->GetWorldMatrix();
        MatrixNormalizeColumns(placement);
    }
    return MatrixProduct(matrix_, placement);
}

bool EllipsoidShieldClass::HitQuery(const Vec3& start, const Vec3& direction, Vec3& point,
                                    Vec3& normal) const {
    const Matrix frame = WorldFrame();
    Matrix inverse;
    if (!MatrixInverse(frame, inverse)) return false;
    // In the ellipsoid's own space the shield is the unit sphere at the origin.
    const Vec3 o = Vec3TransformCoord(start, inverse);
    const Vec3 d = Vec3TransformNormal(direction, inverse);
    const float a = Vec3Dot(d, d);
    if (a == 0.0f) return false;
    const float b = Vec3Dot(o, d);
    const float c = Vec3Dot(o, o) - 1.0f;
    const float disc = b * b - a * c;
    if (disc < 0.0f) return false;
    const float root = std::sqrt(disc);
    float t = (-b - root) / a;
    if (t < 0.0f) t = (-b + root) / a;
    if (t < 0.0f) return false;
    const Vec3 local = Vec3Add(o, Vec3Scale(d, t));
    point = Vec3TransformCoord(local, frame);
    // Normals go through the inverse transpose.
    normal = Vec3Normalize(Vec3TransformNormal(local, MatrixTranspose(inverse)));
    return true;
}

EllipsoidShieldClass* EllipsoidShieldClass::CopyFor(IEngineObject* carrier) const {
    auto* copy = ClamClass::Init<EllipsoidShieldClass>(carrier);
    copy->matrix_ = matrix_;
    copy->SetTemplate(template_);
    return copy;
}

} // namespace vesk
