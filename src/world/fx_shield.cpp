#include "world/fx_shield.h"

#include "render/animated_obj.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/render_object.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/fx_bullet.h"
#include "world/fx_laser.h"
#include "world/fx_model_part.h"
#include "world/guns.h"
#include "world/ship.h"

namespace vesk {

int32_t FXShieldCount = 0;

namespace {

ShieldUpQuery& ShieldUpSlot() {
    static ShieldUpQuery query;
    return query;
}

bool ShieldUp(TBaseRenderUnit* ship) {
    const ShieldUpQuery& q = ShieldUpSlot();
    return !q || q(ship);
}

const std::vector<FXShieldClass::IntensityKey>& NoKeys() {
    static const std::vector<FXShieldClass::IntensityKey> none;
    return none;
}

std::string NameOf(TEngineObject* o) {
    if (!o) return "nil";
    if (auto* u = dynamic_cast<TBaseRenderUnit*>(o)) return u->GetName();
    return o->ClassName();
}

} // namespace

void SetShieldUpQuery(ShieldUpQuery query) {
    ShieldUpSlot() = std::move(query);
}

void FXShieldClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetName("FX Shield");
    SetFlag(0x80800000ull | (0x400000ull << 32));
    centre_ = {};
    keys_ = std::make_shared<std::vector<IntensityKey>>();
    glowId_.clear();
    glowTemplate_ = 0;
    intensity_ = 0.0f;
    ++FXShieldCount;
}

void FXShieldClass::Free() {
    --FXShieldCount;
    keys_.reset();
    FXBaseClass::Free();
}

const std::vector<FXShieldClass::IntensityKey>& FXShieldClass::Keys() const {
    return keys_ ? *keys_ : NoKeys();
}

void FXShieldClass::CreateFromLua(const std::string& id) {
    FXBaseClass::CreateFromLua(id);
    const std::string mesh = FxKey(id, "mesh");
    glowId_ = FxKey(id, "gloweffect");
    for (int i = 1; i <= kMaxKeys; ++i) {
        const std::string key = "intensity_keys[" + std::to_string(i) + "].";
        const std::string percents = FxPath(id, key + "percents");
        if (percents.empty()) break;
        IntensityKey k;
        k.percents = kws2f(percents, "LoadShieldsTable: percents: " + GetName());
        k.intensity = kws2f(FxPath(id, key + "intensity"), "LoadShieldsTable: intensity: " + GetName());
        keys_->push_back(k);
    }
    // One part per object of the shield model, each playing its animation from the start.
    const std::string looping = FxKey(id, "loopanimation");
    const bool loop = !looping.empty() && looping != "0";
    if (!mesh.empty())
        for (FXModelPartClass* part : LoadModelParts(*this, mesh, 0xE0)) part->Play(loop);
}

TBaseRenderUnit* FXShieldClass::GetGlowTemplate() const {
    auto* t = FindEngineObjectAs<TBaseRenderUnit>(glowTemplate_);
    return t && !t->InDestroyQueue() ? t : nullptr;
}

TBaseRenderUnit* FXShieldClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXShieldClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->keys_ = keys_;
    copy->glowId_ = glowId_;
    copy->glowTemplate_ = glowTemplate_;
    return copy;
}

void FXShieldClass::Prepare() {
    if (GetGlowTemplate() || glowId_.empty()) return;
    TBaseRenderUnit* t = FindFXTemplate(glowId_);
    glowTemplate_ = t ? t->GetId() : 0;
    if (auto* from = dynamic_cast<FXShieldClass*>(GetTemplate())) from->glowTemplate_ = glowTemplate_;
}

void FXShieldClass::OnSpawn(const FXDescrStruct& desc) {
    Prepare();
    TBaseRenderUnit* ship = desc.ShieldBRU;
    if (!IsClassType<ShipClass>(ship)) {
        ErrorReport("FXShieldClass.SetFromDescStruct: not pdesc.ShieldBRU.IsClassType(TShipClass): " +
                        NameOf(ship),
                    "mhl");
        return;
    }
    if (!ShieldUp(ship)) {
        Kill();
        SetVisibleTree(false);
        return;
    }
    TEngineObject* spawner = desc.ShieldSpawner;
    if (!spawner) {
        // A hit that names no shot has no line: the shield faces as for a shot along none.
        CalcMatrixFromCrossLine(ship, {}, {});
    } else if (auto* laser = dynamic_cast<FXLaserClass*>(spawner)) {
        CalcMatrixFromCrossLine(ship, laser->GetStartPoint(), laser->GetEndPoint());
    } else if (IsClassType<CannonClass>(spawner)) {
        TBaseRenderUnit* unit = nullptr;
        if (!Engine || !Engine->GetLaserByFromBRU(static_cast<TBaseRenderUnit*>(spawner), unit) || !unit) {
            ErrorReport("FXShieldClass.SetFromDescStruct: not "
                        "TEngine.GetLaserByFromBRU(pdesc.ShieldBRUSpawner,laser)" +
                            NameOf(spawner),
                        "mhl");
            return;
        }
        auto* beam = dynamic_cast<FXLaserClass*>(unit);
        if (!beam) return;
        CalcMatrixFromCrossLine(ship, beam->GetStartPoint(), beam->GetEndPoint());
    } else if (auto* bullet = dynamic_cast<FXBulletClass*>(spawner); bullet && bullet->Kinetic()) {
        const Vec3 p = bullet->Kinetic()->position;
        CalcMatrixFromCrossLine(ship, Vec3Sub(p, bullet->Kinetic()->velocity), p);
    } else {
        ErrorReport("FXShieldClass.SetFromDescStruct: Undefined type of ShieldBRUSpawner: " + NameOf(spawner),
                    "mhl");
        return;
    }
    const float r = Vec3Length(Vec3TransformNormal({0, 0, 1}, worldMatrix_));
    // The glow faces the shot, on the near side of the shield's centre.
    HelperClass* helper = AddHelper("glow_helper", {-r, 0, 0});
    UpdateMatrices(parent_ ? &parent_->GetWorldMatrix() : nullptr);
    if (TBaseRenderUnit* glow = GetGlowTemplate(); glow && Engine) {
        FXDescrStruct glowDesc{};
        glowDesc.GlowTargetBRU = helper;
        glowDesc.GlowObject = this;
        if (TBaseRenderUnit* g = SpawnEffect(glow, Engine, &glowDesc)) {
            Matrix m;
            m.m[0][0] = m.m[1][1] = m.m[2][2] = r;
            MatrixSetTranslation(m, MatrixGetTranslation(g->GetLocalMatrix()));
            g->SetLocalMatrix(m);
        }
    }
    if (helper) {
        FXDescrStruct sounds{};
        sounds.SoundTargetBRU = helper;
        SpawnSounds(Engine, &sounds);
    }
}

void FXShieldClass::CalcMatrixFromCrossLine(TBaseRenderUnit* ship, const Vec3& a, const Vec3& b) {
    if (!ship) {
        ErrorReport("FXShieldClass.CalcMatrixFromCrossLine: _bruCrossed=nil", "mhl");
        return;
    }
    if (!IsClassType<ShipClass>(ship)) {
        ErrorReport("FXShieldClass.CalcMatrixFromCrossLine: not _bruCrossed.IsClassType(ShipClass): " +
                        ship->GetName(),
                    "mhl");
        return;
    }
    Matrix inverse;
    if (!MatrixInverse(ship->GetWorldMatrix(), inverse)) inverse = Matrix{};
    Vec3 d = Vec3Sub(Vec3TransformCoord(b, inverse), Vec3TransformCoord(a, inverse));
    if (Vec3Length(d) < 1e-7f) d = {0, 0, 1};
    Matrix turn;
    if (!KWMatrixGetBasisForDirVect(d, {1, 0, 0}, turn)) return;
    const Matrix world = MatrixProduct(turn, ship->GetWorldMatrix());
    // The shield hangs under its parent (the ship as a rule): its own matrix is taken from there.
    if (parent_) {
        Matrix parentInverse;
        if (!MatrixInverse(parent_->GetWorldMatrix(), parentInverse)) parentInverse = Matrix{};
        localMatrix_ = MatrixProduct(world, parentInverse);
        UpdateMatrices(&parent_->GetWorldMatrix());
    } else {
        localMatrix_ = world;
        UpdateMatrices(nullptr);
    }
    centre_ = MatrixGetTranslation(worldMatrix_);
}

void FXShieldClass::Tick(float dtMs) {
    int64_t start = 0;
    PerfomanceCounterClass::Start(start);
    FXBaseClass::Tick(dtMs);
    if (!HasFlag(BRU_KILLED)) FollowKeys();
    DebugOps.ShieldsPC().Add(start);
}

void FXShieldClass::FollowKeys() {
    // The shield lives on only while one of its parts still plays.
    TBaseRenderUnit::Kill();
    if (!childs_) return;
    for (TBaseRenderUnit* c : *childs_) {
        auto* part = dynamic_cast<FXModelPartClass*>(c);
        if (!part || !part->IsPlaying()) continue;
        if (Keys().empty()) break;
        ClearFlag(BRU_KILLED);
        const float x = part->Progress();
        const std::vector<IntensityKey>& keys = Keys();
        for (size_t k = 0; k + 1 < keys.size(); ++k) {
            const float p0 = keys[k].percents / 100.0f, p1 = keys[k + 1].percents / 100.0f;
            if (x < p0 || x > p1) continue;
            const float i0 = keys[k].intensity, i1 = keys[k + 1].intensity;
            // Two keys at one point: the later one holds.
            intensity_ = p1 > p0 ? (x - p0) * (i1 - i0) / (p1 - p0) + i0 : i1;
            part->SetIntensity(intensity_);
            break;
        }
    }
}

void FXShieldClass::DoRender() {
    if (!Device || !ros_ || !HasFlag(BRU_VISIBLE)) return;
    Device->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
    AddAnimatedUnitLights(*this, GetLightMask());
    BeginRender();
    for (const auto& entry : *ros_)
        if (auto* ro = dynamic_cast<TRenderObject*>(entry.get())) ro->Render();
    TBaseRenderUnit::EndRender();
}

uint32_t FXShieldClass::GetColor() {
    ErrorReport("FXShieldClass.GetColor", "mhl");
    return 0;
}

uint32_t FXShieldClass::GetColorDWORD() {
    ErrorReport("FXShieldClass.GetColorDWORD", "mhl");
    return 0;
}

void FXShieldClass::SetColor(uint32_t) {
    ErrorReport("FXShieldClass.SetColor", "mhl");
}

void FXShieldClass::SetIntensity(float) {
    ErrorReport("FXShieldClass.SetIntensity", "mhl");
}

} // namespace vesk
