#include "physics/bsphere.h"

#include "physics/cm_tree.h"
#include "render/device.h"
#include "render/fx_descr.h"
#include "render/fx_templates.h"
#include "render/mesh_geometry.h"
#include "render/render_object.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"

#include <algorithm>

namespace vesk {

bool BSphereShowLowPoly = false;
int BSphereCount = 0;

namespace {

// Units make their sphere containers by this name (TBaseRenderUnit::CreateBSpheres).
const bool kRegistered = RegisterRenderUnitClass<BSpheresContainerClass>("BSpheresContainerClass");

// The largest column scale of a world matrix.
float MaxScale(const Matrix& m) {
    const Vec3 s = MatrixGetColumnScale(m);
    return std::max({s.x, s.y, s.z});
}

} // namespace

void BSphereClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    showLowPoly_ = BSphereShowLowPoly;
    mesh_ = std::make_shared<BSSectionMesh>();
    ++BSphereCount;
}

void BSphereClass::Free() {
    ReleaseLowPoly();
    mesh_.reset();
    --BSphereCount;
    TBaseRenderUnit::Free();
}

void BSphereClass::UpdateMatrices(const Matrix* parent) {
    TBaseRenderUnit::UpdateMatrices(parent);
    worldRadius_ = localRadius_ * MaxScale(GetWorldMatrix());
}

bool BSphereClass::DiscardBRU() {
    attached_.reset();
    return TBaseRenderUnit::DiscardBRU();
}

void BSphereClass::FillRenderList(int stage, int pass) {
    // Spheres enter the render list only to show their sections.
    if (!showLowPoly_) {
        ErrorReport("BSphereClass.RenderInList: bShowLowpoly", "mhl");
        return;
    }
    TBaseRenderUnit::FillRenderList(stage, pass);
}

void BSphereClass::FillRenderLists() {
    FillRenderListsByPass();
}

void BSphereClass::ReleaseLowPoly() {
    if (lowPoly_) std::exchange(lowPoly_, nullptr)->Free();
}

void BSphereClass::BuildLowPoly(uint32_t colour) {
    ReleaseLowPoly();
    if (!mesh_ || mesh_->indices.size() < 3) return;
    SetFlag(BRU_OPAQUE);
    // The section as plain geometry for the render-object builder.
    MeshGeometryClass* geometry = New<MeshGeometryClass>();
    const uint32_t n = mesh_->VertexCount();
    std::vector<Vec3> normals = mesh_->normals;
    normals.resize(n);
    geometry->SetVertexData(mesh_->positions.data(), normals.data(), n, mesh_->positions.data(),
                            normals.data());
    geometry->SetIndices(mesh_->indices);
    auto* factory = New<ROMeshGeometyFactory>();
    factory->SetMeshGeometry(geometry);
    lowPoly_ = New<TRenderObject>();
    lowPoly_->Create(platform::D3DPOOL_DEFAULT, 0x10015, 0, 0, 0, platform::D3DUSAGE_DYNAMIC);
    factory->BuildRO(*lowPoly_);
    lowPoly_->SetPrimitiveType(platform::D3DPT_TRIANGLELIST);
    if (lowPoly_->MaterialCount() > 0) lowPoly_->GetMaterial(0)->SetColors(colour, colour, colour, colour, 0);
    factory->Free();
    geometry->Free();
}

void BSphereClass::DoRender() {
    if (!lowPoly_) return;
    if (Device) Device->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
    // The section may have been cut again: its current vertices go in when the counts agree.
    const uint32_t n = mesh_ ? mesh_->VertexCount() : 0;
    void* data = nullptr;
    if (n && n == lowPoly_->VertexCount() && lowPoly_->LockVB(&data, 0, n, 0) >= 0 && data) {
        auto* out = static_cast<float*>(data);
        for (uint32_t i = 0; i < n; ++i, out += 6) {
            const Vec3 p = mesh_->positions[i];
            const Vec3 q = i < mesh_->normals.size() ? mesh_->normals[i] : Vec3{};
            out[0] = p.x, out[1] = p.y, out[2] = p.z, out[3] = q.x, out[4] = q.y, out[5] = q.z;
        }
        lowPoly_->UnlockVB();
    }
    lowPoly_->Render();
}

TBaseRenderUnit* BSphereClass::ShowTestEffect(float radius, uint32_t colour, float factor) {
    TBaseRenderUnit* templ = FindFXTemplate(kTestSphereFX);
    if (!templ) return nullptr;
    FXDescrStruct desc{};
    desc.SphereBRU = this;
    desc.SphereRadius = radius;
    desc.SphereColor = colour;
    desc.SphereOpacity = factor;
    return SpawnEffect(templ, this, &desc);
}

bool BSphereClass::GetContainer(BSpheresContainerClass*& out) {
    out = nullptr;
    TBaseRenderUnit* unit = Parent();
    // A unit that is its own ancestor would walk forever; the depth bounds the walk.
    for (int depth = 0; unit && depth < 100000; ++depth) {
        if (auto* sphere = dynamic_cast<BSphereClass*>(unit)) return sphere->GetContainer(out);
        unit = unit->Parent();
    }
    ErrorReport(Ru("BSphereClass.GetContainer: par=nil; БЫТЬ ТАКОГО НЕ МОЖЕТ!!!, ") + GetName(), "mhl");
    return false;
}

BSphereClass* BSphereClass::CreateCopy(TBaseRenderUnit* parent) {
    BSphereClass* copy = IsClassType<BSpheresContainerClass>(this)
                             ? TBaseRenderUnit::Create<BSpheresContainerClass>(parent)
                             : TBaseRenderUnit::Create<BSphereClass>(parent);
    copy->SetCenter(centre_);
    copy->localRadius_ = localRadius_;
    copy->worldRadius_ = worldRadius_;
    copy->name2_ = name2_;
    copy->showLowPoly_ = showLowPoly_;
    if (HasFlag(BRU_OPAQUE)) copy->SetFlag(BRU_OPAQUE);
    copy->mesh_ = mesh_ ? std::make_shared<BSSectionMesh>(*mesh_) : nullptr;
    return copy;
}

Vec3 BSphereClass::GetPositionV() const {
    Vec3 p;
    GetPosition(p);
    return p;
}

bool BSphereClass::NextChildSphere(int& index, IBoundingSphere2*& out) {
    out = nullptr;
    const auto* childs = ChildsBRU();
    if (!childs) return false;
    for (; index < childs->Count(); ++index) {
        TBaseRenderUnit* c = childs->Get(index);
        // Only plain spheres: a nested container is a tree of its own.
        if (IsClassType<BSphereClass>(c)) {
            out = static_cast<BSphereClass*>(c);
            ++index;
            return true;
        }
    }
    return false;
}

bool BSphereClass::GetMeshGeometry(std::shared_ptr<BSSectionMesh>& out) const {
    out = mesh_;
    return mesh_ != nullptr;
}

void BSphereClass::SetMeshGeometry(std::shared_ptr<BSSectionMesh> mesh) {
    if (mesh && mesh == mesh_) {
        ErrorReport("BSphereClass.SetMeshGeometry: fMeshGeometry.GetSelf = _fMesh.GetSelf", "mhl");
        return;
    }
    mesh_ = std::move(mesh);
}

void BSphereClass::AddAttached(IEngineObject* object) {
    if (!attached_) attached_ = std::make_unique<std::vector<IEngineObject*>>();
    attached_->push_back(object);
}

bool BSphereClass::GetAttached(int& index, IEngineObject*& out) const {
    out = nullptr;
    if (!attached_ || index < 0 || index >= static_cast<int>(attached_->size())) return false;
    out = (*attached_)[static_cast<size_t>(index++)];
    return true;
}

void BSphereClass::SetCenter(const Vec3& centre) {
    centre_ = centre;
    SetPosition(centre);
}

// ---- the container ----------------------------------------------------------------

void BSpheresContainerClass::Init(TBaseRenderUnit* parent) {
    BSphereClass::Init(parent);
    SetName((parent ? parent->GetName() : std::string("NO_PARENT")) + ".BSC_" + IntToHex8(GetId()));
}

void BSpheresContainerClass::UpdateMatrices(const Matrix* parent) {
    if (TBaseRenderUnit* owner = Parent()) {
        Vec3 min, max;
        owner->GetBox(min, max);
        localRadius_ = Vec3Length(Vec3Sub(max, min)) * 0.5f;
    }
    BSphereClass::UpdateMatrices(parent);
}

void BSpheresContainerClass::OnAddedToParent(TBaseRenderUnit* parent) {
    // The owner and its spheres hear of each other's destruction.
    if (parent) AddMutualSubscriber(parent);
    BSphereClass::OnAddedToParent(parent);
}

void BSpheresContainerClass::FillRenderList(int stage, int pass) {
    if (showLowPoly_) TBaseRenderUnit::FillRenderList(stage, pass);
}

void BSpheresContainerClass::FillRenderLists() {
    if (showLowPoly_) TBaseRenderUnit::FillRenderLists();
}

BSphereClass* BSpheresContainerClass::AddSphere(const Vec3& centre, float radius, bool show) {
    BSphereClass* s = TBaseRenderUnit::Create<BSphereClass>(this);
    s->SetCenter(centre);
    s->SetRadius(radius);
    s->SetName("bs_" + IntToHex8(s->GetId()));
    AddChild(s);
    if (show) {
        std::shared_ptr<BSSectionMesh> section;
        s->ShowTestEffect(radius, s->GetMeshGeometry(section) && section ? 0xFFFFFF : 0x00FF00, 1.0f);
    }
    return s;
}

std::vector<BSphereClass*> BSpheresContainerClass::ChildSpheres() {
    std::vector<BSphereClass*> out;
    int index = 0;
    IBoundingSphere2* s = nullptr;
    while (NextChildSphere(index, s)) out.push_back(static_cast<BSphereClass*>(s));
    return out;
}

void BSpheresContainerClass::LoadFromCM(const CMTreeClass& tree, const BSSectionMesh* mesh, bool show) {
    for (const auto& record : tree.BoundingSpheres())
        AddSphere(record.centre, record.radius, show)->SetName2(record.names.name);
    const std::vector<BSphereClass*> spheres = ChildSpheres();
    if (mesh) {
        // The sections are cut (or read from the cache) on plain records,
        // then handed to the units.
        BSphereSet set;
        set.container = {name2_, centre_, localRadius_, {}};
        for (BSphereClass* s : spheres)
            set.spheres.push_back({s->GetName2(), s->GetCenter(), s->GetLocalRadius(), {}});
        BSMeshBuilderClass(tree.GetFileName() + "2", tree.GetFileDate()).Build(set, *mesh);
        auto hand = [](BSphereClass& unit, std::optional<BSSectionMesh>& section) {
            if (section)
                unit.SetMeshGeometry(std::make_shared<BSSectionMesh>(std::move(*section)));
            else
                unit.ReleaseMeshGeometry();
        };
        if (spheres.empty()) hand(*this, set.container.section);
        for (size_t i = 0; i < spheres.size(); ++i) hand(*spheres[i], set.spheres[i].section);
    }
    if (show) ShowTestEffect(localRadius_, 0x00FF00, 1.0f);
    if (showLowPoly_) {
        BuildLowPoly(0x00FF00);
        for (BSphereClass* s : spheres) s->BuildLowPoly(0);
    }
}

} // namespace vesk
