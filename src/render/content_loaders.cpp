// What render units take from model files and Lua tables: attach points,
// bounding spheres, lamps, sub-objects, key animations, characters' heads and
// the small scenes of interface viewports.
#include "core/lua_adapter.h"
#include "platform/text.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/key_animation.h"
#include "render/lamp_setup.h"
#include "render/model_tree.h"
#include "render/morphed_obj.h"
#include "render/multirole.h"
#include "render/render_object.h"
#include "render/texture.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <cmath>

namespace vesk {

namespace {

uint32_t PackedRgb(const ColorValue& c) {
    auto channel = [](float x) -> uint32_t {
        if (!(x >= 0.0f)) return 0;
        if (x >= 1.0f) return 255;
        return static_cast<uint32_t>(x * 255.0f + 0.5f);
    };
    return (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

ILampSetup* LampOf(TBaseRenderUnit* unit) {
    return dynamic_cast<ILampSetup*>(unit);
}

} // namespace

// ---- attach points and bounding spheres ---------------------------------------------------------

void TBaseRenderUnit::AddHelpersFromCM(IModelTree& tree) {
    if (!HelpersContainer()) TBaseRenderUnit::Create<HelpersContainerClass>(this);
    for (const ModelPointRecord& r : tree.ModelHelpers()) {
        HelperClass* h = AddHelper(r.name, r.position);
        h->AttachKeyAnimation(tree, r.name);
    }
}

void TBaseRenderUnit::AddUHelpersFromCM(IModelTree& tree) {
    for (const ModelPointRecord& r : tree.ModelUniversalHelpers()) {
        UniHelperClass* h = AddUHelper(r.name, r.position, r.radius);
        h->SetLocalMatrix(r.matrix);
    }
}

void TBaseRenderUnit::AddBSpheresFromCM(IModelTree& tree) {
    for (const ModelPointRecord& r : tree.ModelBoundingSpheres()) AddBSphere(r.position, r.radius, 0);
}

void TBaseRenderUnit::ShowHelpersAsLamps(uint32_t colour) {
    HelpersContainerClass* container = HelpersContainer();
    if (!container || !container->ChildsBRU()) return;
    // Copied: each lamp goes under its helper, not into the container's list.
    const std::vector<TBaseRenderUnit*> helpers(container->ChildsBRU()->begin(),
                                                container->ChildsBRU()->end());
    int i = 0;
    for (TBaseRenderUnit* h : helpers) {
        const int index = i++;
        if (!h) continue;
        if (ILampSetup* lamp = LampOf(h->AddLamp("hl" + std::to_string(index), {0, 0, 0}, 10.0f)))
            lamp->SetColor(colour);
    }
}

// ---- key animation ------------------------------------------------------------------------------

bool TBaseRenderUnit::AttachKeyAnimation(IModelTree& tree, const std::string& name) {
    const ROKeyTrack* track = tree.FindRecordTrack(name);
    if (!track) return false;
    if (KeyAnimationClass* old = std::exchange(Extras().keyAnim, nullptr)) old->Free();
    SimpleKeyAnimationClass* k = SimpleKeyAnimationClass::Create(this, name);
    k->SetTrack(track);
    Extras().keyAnim = k;
    return true;
}

// ---- lamps -------------------------------------------------------------------------------------

TBaseRenderUnit* TBaseRenderUnit::AddLamp(const std::string& name, const Vec3& position, float size) {
    if (ClassManager.IndexOf(kLampClassName) < 0) {
        FastLogAddError("TBaseRenderUnit.AddLamp: no lamp class, lamp " + name + " of " + GetInfoStr());
        return nullptr;
    }
    TBaseRenderUnit* lamp = ClassManager.Create<TRenderUnitKind>(kLampClassName, this);
    if (!lamp) return nullptr;
    lamp->SetName(name);
    lamp->SetPosition(position);
    if (ILampSetup* setup = LampOf(lamp))
        setup->SetSize(size);
    else
        FastLogAddError("TBaseRenderUnit.AddLamp: the lamp class takes no settings, lamp " + name + " of " +
                        GetInfoStr());
    AddChild(lamp);
    if (GameIniText("poorfx") == "1") lamp->Kill();
    return lamp;
}

void TBaseRenderUnit::AddLampsFromCM(IModelTree& tree, IModelTree* animation) {
    for (const ModelLightRecord& r : tree.ModelLights()) {
        TBaseRenderUnit* unit = AddLamp(r.name, r.position, 10.0f);
        if (!unit) continue;
        if (ILampSetup* lamp = LampOf(unit)) {
            lamp->SetSize(0.01f);
            lamp->SetModeStatic();
            lamp->SetColor(PackedRgb(r.colour));
            lamp->SetMaxIntensity(1.0f);
        }
        unit->AttachKeyAnimation(animation ? *animation : tree, r.name);
    }
}

void TBaseRenderUnit::LoadLamps(IModelTree* tree, const std::string& meshObjectName) {
    const RenderWorldLinks& links = GetRenderWorldLinks();
    std::vector<MeshFlareRecord> flares;
    if (!links.meshFlares || !links.meshFlares(meshObjectName, flares)) {
        FastLogAddError("TBaseRenderUnit.LoadLamps: no mesh description " + meshObjectName + " for " +
                        GetInfoStr());
        return;
    }
    for (size_t i = 0; i < flares.size(); ++i) {
        const MeshFlareRecord& f = flares[i];
        TBaseRenderUnit* unit = AddLamp(f.maxPointName, {0, 0, 0}, 10.0f);
        ILampSetup* lamp = LampOf(unit);
        if (!lamp) continue;
        lamp->SetPhase(f.phase);
        lamp->SetSpeed(f.frequency);
        lamp->SetLightRange(f.dynamic);
        lamp->SetGlowSize(f.size);
        if (tree) {
            lamp->SetColor(tree->ModelLightColour(f.maxPointName) & 0xFFFFFF);
            unit->SetPosition(tree->ModelLightPosition(f.maxPointName));
        }
        if (f.animation == "SINUS")
            lamp->SetModeSinus();
        else if (f.animation == "BLINK")
            lamp->SetModeBlink();
        else if (f.animation == "STATIC")
            lamp->SetModeStatic();
        else {
            ErrorReport("Unknown lamp mode: " + f.animation, "mhl");
            return;
        }
        if (f.texture.empty()) continue;
        if (f.textureInterface.empty()) {
            // The file is loaded once per mesh description: the texture's id is kept in the flare.
            TextureRef texture = TextureManager
                                     ? TextureManager->GetTexture(f.texture, platform::D3DFMT_UNKNOWN, false)
                                     : TextureRef();
            lamp->SetGlowTexture(texture.Get());
            if (auto* node = dynamic_cast<TextureNodeClass*>(texture.Get()))
                if (links.setFlareTexture)
                    links.setFlareTexture(meshObjectName, i, IntToStr32(node->GetId()));
        } else {
            auto* node = FindEngineObjectAs<TextureNodeClass>(kws2i(
                f.textureInterface, "TBaseRenderUnit.LoadLamps: texture_interface of " + meshObjectName));
            lamp->SetGlowTexture(node);
        }
    }
}

// ---- sub-objects --------------------------------------------------------------------------------

MultiroleBRUClass* TBaseRenderUnit::AddSubObject(IModelTree& tree, const std::string& name,
                                                 uint64_t passFlags) {
    TRenderObject* ro = tree.BuildRO(name, false, 0xC2);
    if (!ro) return nullptr;
    MultiroleBRUClass* part = TBaseRenderUnit::Create<MultiroleBRUClass>(this);
    part->SetupDrawing();
    part->SetVisible(true);
    part->SetName(name);
    part->SetBaseMatrix(ro->GetMatrix());
    std::shared_ptr<IUnitRenderObject> view = UnitViewOf(ro);
    part->AddRO(view);
    part->SetPassFlagsFromMaterials(*view);
    part->SetFlag(passFlags);
    part->AttachKeyAnimation(tree, name);
    AddChild(part);
    return part;
}

void TBaseRenderUnit::GetSubObjects(IModelTree& tree, const std::string& meshName) {
    LuaAdapter.SelectMesh(meshName);
    int index = 0;
    LuaAdapter.ResetSubObjectIndex(index);
    std::string name;
    while (LuaAdapter.GetNextSubObject(index, name)) {
        if (!tree.HasModelObject(name)) {
            FastLogAddError("TBaseRenderUnit.GetSubObjects: " + meshName + ": sub-object not found: " + name +
                            " in " + tree.ModelFileName());
            continue;
        }
        AddSubObject(tree, name, 0);
    }
}

// ---- characters and viewport scenes --------------------------------------------------------------

TMorphedAnimatedObjClass* TBaseRenderUnit::AddHead(const std::string& meshId, const std::string& animMeshId,
                                                   bool withParts, uint64_t loadFlags) {
    auto make = [&](const std::string& name, const std::string& base, bool parts) {
        auto* head = TBaseRenderUnit::Create<TMorphedAnimatedObjClass>(this);
        head->SetFlag(BRU_KEEPLOCALLIGHTS);
        head->SetViewportID(viewportId_);
        head->Load(meshId, name, animMeshId, base, parts, loadFlags);
        return head;
    };
    IModelTree* model = GetModelTree(TMorphedAnimatedObjClass::ModelFileOf(meshId));
    if (!model || !model->HasModelObject("base")) {
        ErrorReport("TBaseRenderUnit.AddHead: " + meshId + ": no head \"base\" in " +
                        TMorphedAnimatedObjClass::ModelFileOf(meshId),
                    "mhl");
        return nullptr;
    }
    TMorphedAnimatedObjClass* head = make("base", "base", withParts);
    if (model->HasModelObject("base2")) head->SetLinkedObject(make("base2", "base2", false));
    return head;
}

TMorphedAnimatedObjClass* TBaseRenderUnit::AddItemScene(int32_t viewportId) {
    auto* scene = TBaseRenderUnit::Create<TMorphedAnimatedObjClass>(this);
    scene->SetViewportID(viewportId);
    scene->SetFlag(BRU_KEEPLOCALLIGHTS);
    scene->GetRotator()->SetMode(kRotateZ);
    scene->Load("items_scene", "items_scene", "", "base", false, 0);
    return scene;
}

TBaseRenderUnit* TBaseRenderUnit::AddViewportScene(const std::string& shipName, int32_t viewportId) {
    SetFlag2(0x80000000);
    SetName("vpch_" + shipName);
    TBaseRenderUnit* scene = nullptr;
    if (childs_)
        for (TBaseRenderUnit* c : *childs_)
            if (c && c->GetName() == "scene") {
                scene = c;
                break;
            }
    if (!scene) {
        scene = TBaseRenderUnit::Create<SceneClass>(this);
        scene->SetName("scene");
        scene->GetLights();
        AddChild(scene);
    }
    if (ClassManager.IndexOf("ShipClass") < 0) {
        FastLogAddError("TBaseRenderUnit.AddViewportScene: no ship class for " + shipName);
        return nullptr;
    }
    TBaseRenderUnit* ship = ClassManager.Create<TRenderUnitKind>("ShipClass", scene);
    if (!ship) return nullptr;
    ship->Build(shipName, shipName, 1); // no effects in a viewport
    ship->SetFlag2(BRU2_PARENT_LIGHTS);
    ship->GetRotator()->SetMode(kRotateZ);
    ship->GetRotator()->SetSpeedZ(0.2f);
    ship->SetPosition({0, 0, 0});
    ship->SetViewportID(viewportId);
    scene->AddChild(ship);
    const float r = ship->GetBSphereRadius();
    if (Engine) {
        auto camera = std::make_shared<BasicViewCamera>();
        const Vec3 eye{r * 0.866f, r * 0.866f, r * 0.866f};
        camera->SetPose(eye, {-eye.x, -eye.y, -eye.z});
        Engine->Viewports().SetViewportCamera(viewportId, camera);
    }
    LightClass* lights = scene->GetLights();
    lights->AddLight({r * 1.5f, r * 1.5f, r * 1.5f}, 0xFFFFFFFF, 0xFFFFFFFF, 1.0f, 0.0f);
    lights->AddLight({0, 0, 0}, 0xFFFFFFFF, 0xFFFFFFFF, 1.0f, 0.0f);
    SetRenderStageTree(kViewportStage);
    return ship;
}

} // namespace vesk
