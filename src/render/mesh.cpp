#include "render/mesh.h"

#include "render/device.h"
#include "render/model_tree.h"
#include "render/shader.h"
#include "shared/errors.h"

#include <type_traits>
#include <typeinfo>

namespace vesk {

namespace {
const bool kRegistered = RegisterRenderUnitClass<MeshClass>("MeshClass");
}

void MeshClass::Init(TBaseRenderUnit* parent) {
    (void)kRegistered;
    TBaseRenderUnit::Init(parent);
    SetFlag(BRU_OPAQUE);
    SetFlag2(BRU2_RETRANSFORM_BSPHERES);
    GetGameOps();
}

bool MeshClass::LoadFromCM(const std::string& fileName, const std::string& name, const std::string& strID) {
    IModelTree* tree = GetModelTree(fileName);
    SetName(name);
    SetStrID(strID);
    if (tree) {
        AddBSpheresFromCM(*tree);
        AddHelpersFromCM(*tree);
    }
    return true;
}

bool MeshClass::AddROFromCM(const std::string& fileName, const std::string& objectName) {
    IModelTree* tree = GetModelTree(fileName);
    TRenderObject* ro = tree ? tree->BuildRO(objectName, false, 0xC2) : nullptr;
    if (!ro) {
        ErrorReport("MeshClass.AddROFromCM: ro not found. " + fileName + ", " + objectName, "mhl");
        return false;
    }
    SetBaseMatrix(ro->GetMatrix());
    ro->RenderStates()->AddState(platform::D3DRS_SPECULARMATERIALSOURCE, 0, "");
    ro->RenderStates()->AddRestoreState(platform::D3DRS_SPECULARMATERIALSOURCE, 2, "");
    AddRO(UnitViewOf(ro));
    return true;
}

void RenderUnitObjects(TBaseRenderUnit& unit) {
    const RenderObjectList* list = unit.GetROList();
    if (!list) return;
    // The render object is final: its exact type is the whole test, cheaper
    // than a cross-cast for every object of every part each frame.
    static_assert(std::is_final_v<TRenderObject>);
    for (const auto& entry : *list) {
        if (!unit.HasFlag(BRU_VISIBLE)) break;
        IUnitRenderObject* object = entry.get();
        if (IsClassType<TRenderObject>(object)) static_cast<TRenderObject*>(object)->Render();
    }
}

void MeshClass::DoRender() {
    if (!IsInView()) return;
    AddLights(kLightsSuns);
    BeginRender();
    if (Device) Device->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
    RenderUnitObjects(*this);
    ClearLocalLights();
}

} // namespace vesk
