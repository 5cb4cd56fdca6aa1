// The 3D cursor: a render unit that sits on the pick ray through the middle
// of the screen, so the scene always has a point where the player aims.
#include "render/engine.h"
#include "render/view_camera.h"
#include "shared/math.h"

namespace vesk {

namespace {
constexpr uint64_t kCursorClearedFlags = 0x880000;
constexpr uint64_t kDiscardFlag = 0x200000;
} // namespace

void CursorClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    ClearFlag(kCursorClearedFlags);
    SetName("cursor");
    GetGameOps();
}

bool CursorClass::DiscardBRU() {
    ClearFlag(kDiscardFlag);
    return TBaseRenderUnit::DiscardBRU();
}

void CursorClass::PickRay(const IViewCamera& camera, float x, float y, Vec3& origin, Vec3& direction) {
    origin = camera.GetPosition();
    // The screen point at the near and the far plane, back through projection and view.
    const Matrix viewProj = MatrixProduct(camera.GetViewMatrix(), camera.GetProjMatrix());
    Matrix inverse;
    if (!MatrixInverse(viewProj, inverse)) {
        direction = Vec3Normalize(camera.GetDirection());
        return;
    }
    const float nx = x / 512.0f - 1.0f, ny = 1.0f - y / 384.0f;
    const Vec3 nearPoint = Vec3TransformCoord({nx, ny, 0.0f}, inverse);
    const Vec3 farPoint = Vec3TransformCoord({nx, ny, 1.0f}, inverse);
    direction = Vec3Normalize({farPoint.x - nearPoint.x, farPoint.y - nearPoint.y, farPoint.z - nearPoint.z});
}

void CursorClass::UpdateMatrices(const Matrix* parent) {
    if (const auto camera = DefaultViewCamera()) {
        Vec3 origin, direction;
        PickRay(*camera, 512.0f, 384.0f, origin, direction);
        SetPosition({origin.x + direction.x * kRayDistance, origin.y + direction.y * kRayDistance,
                     origin.z + direction.z * kRayDistance});
    }
    TBaseRenderUnit::UpdateMatrices(parent);
}

} // namespace vesk
