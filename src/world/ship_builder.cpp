#include "world/ship_builder.h"

#include "core/lua_adapter.h"
#include "core/lua_readers.h"
#include "physics/bsphere.h"
#include "physics/bsphere_sections.h"
#include "physics/cm_tree.h"
#include "physics/cm_tree_manager.h"
#include "physics/coll_detector.h"
#include "physics/unit_physic_ops.h"
#include "platform/text.h"
#include "render/engine.h"
#include "render/fog.h"
#include "render/helpers.h"
#include "render/lamp.h"
#include "render/material.h"
#include "render/multirole.h"
#include "render/render_object.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "shared/memstatus.h"
#include "sound/sound_engine.h"
#include "world/game_ops.h"
#include "world/guns.h"
#include "world/mesh_source.h"
#include "world/nozzles.h"
#include "world/shield.h"
#include "world/ship.h"

#include <cctype>
#include <utility>

namespace vesk {

namespace {

// The rings' flag of the first word.
constexpr uint64_t kRingFlag = 0x20;

// The environment's glow goes into the object's first material.
void GiveEmissive(TRenderObject* ro, const EnvironmentSet& set) {
    ROMaterialClass* m = ro ? ro->GetMaterial(0) : nullptr;
    if (!m) return;
    platform::D3DMATERIAL9 d = m->GetD3DMaterial();
    d.Emissive = {set.emissive.r, set.emissive.g, set.emissive.b, set.emissive.a};
    m->SetD3DMaterial(d);
}

// The model's levels of "base" into a level-of-detail list.
void FillLevels(TBRULOD& lod, CMTreeClass& tree) {
    std::vector<TBRULOD::Level> levels;
    for (const LodStruct& l : tree.GetLODList("base", kShipROOptions))
        levels.push_back({l.name, l.distance, l.renderObject});
    lod.AddLevels(&levels);
}

// Each level's object: emissive colour, added to the unit, specular from the material.
void AddLevelObjects(TBaseRenderUnit& unit, TBRULOD& lod, const EnvironmentSet& set) {
    TRenderObject* ro = nullptr;
    for (int i = 0; lod.GetRO(i, ro); ++i) {
        GiveEmissive(ro, set);
        unit.AddRO(UnitViewOf(ro));
        SetSpecularFromMaterial(ro);
    }
}

bool EnvironmentOf(const char* who, const EnvironmentSet*& set, TBaseRenderUnit*& env) {
    if (!RE_GetEnvironmentSet(set)) {
        ErrorReport(std::string(who) + ": RE_GetEnvironmentSet(pEnvSet)", "mhl");
        return false;
    }
    if (!RE_GetEnvironment(env)) {
        ErrorReport(std::string(who) + ": RE_GetEnvironment(envir)", "mhl");
        return false;
    }
    return true;
}

// A sphere tree and its child spheres made under another unit (the caller adds it).
BSpheresContainerClass* CopySphereTree(BSpheresContainerClass& from, TBaseRenderUnit* parent) {
    auto* copy = static_cast<BSpheresContainerClass*>(from.CreateCopy(parent));
    copy->SetName(from.GetName());
    for (BSphereClass* s : from.ChildSpheres()) {
        BSphereClass* c = s->CreateCopy(copy);
        c->SetName(s->GetName());
        copy->AddChild(c);
    }
    return copy;
}

// The collision object of a model: "lowpoly", else "base", else the first object.
GeomObjStruct* CollisionObject(CMTreeClass& tree) {
    GeomObjStruct* g = nullptr;
    if (tree.GetGeomobject("lowpoly", g) || tree.GetGeomobject("base", g)) return g;
    return tree.GeomObjects().empty() ? nullptr : &tree.GeomObjects().front();
}

} // namespace

BRUBuilderClass* BRUBuilderClass::Create(TBaseRenderUnit* unit, const std::string& meshName,
                                         const std::string& unitName, uint32_t flags) {
    auto* b = New<BRUBuilderClass>();
    b->unit_ = unit;
    b->meshName_ = meshName;
    b->unitName_ = unitName;
    b->flags_ = flags;
    return b;
}

BRUBuilderClass::~BRUBuilderClass() = default;

void BRUBuilderClass::SetConfig(std::unique_ptr<ShipConfigClass> config) {
    config_ = std::move(config);
}

void AddOrMoveHelpers(TBaseRenderUnit* unit, CMTreeClass& tree) {
    for (const ModelPointRecord& r : tree.ModelHelpers()) {
        HelperClass* h = nullptr;
        if (unit->FindHelper(r.name, h)) {
            h->SetPosition(r.position);
            continue;
        }
        h = unit->AddHelper(r.name, r.position);
        h->AttachKeyAnimation(tree, r.name);
    }
}

void BRUBuilderClass::CreateLODs(CMTreeClass& tree) {
    auto* carrier = dynamic_cast<ILODCarrier*>(unit_);
    if (!carrier) return;
    const EnvironmentSet* set = nullptr;
    RE_GetEnvironmentSet(set);
    const MemUsageMark mark = TakeMemUsageMark();
    TBRULOD* lod = carrier->GetLOD(true);
    FillLevels(*lod, tree);
    AddLevelObjects(*unit_, *lod, set ? *set : EnvironmentSet{});
    TRenderObject* first = nullptr;
    if (lod->GetRO(0, first)) unit_->SetPassFlagsFromMaterials(*first);
    if (mark.taken) LogMemUsageSince(mark, "CreateShipMesh_" + unitName_);
}

void BRUBuilderClass::SpawnHelperFX(const ShipMeshDesc& mesh, CMTreeClass& tree) {
    if (!SoundEngine || !SoundEngine->IsEnabled()) return;
    for (const std::string& name : mesh.helperSounds) {
        TBaseRenderUnit* target = unit_;
        CMHelperStruct* record = nullptr;
        HelperClass* helper = nullptr;
        if (tree.GetHelper(name, record) && unit_->FindHelper(name, helper)) target = helper;
        if (TBaseRenderUnit* templ = TBaseRenderUnit::FindFXTemplate(name)) {
            const FXDescrStruct desc{};
            TBaseRenderUnit::SpawnEffect(templ, target, &desc);
        }
    }
}

void BRUBuilderClass::CreateMainSphere(const ShipMeshDesc& mesh, CMTreeClass& tree) {
    IShipMeshSource* source = ShipMeshSource();
    auto* stored =
        source ? dynamic_cast<BSpheresContainerClass*>(source->GetBSContainer(meshName_)) : nullptr;
    auto* own = unit_->GetBoundingSphere<BSpheresContainerClass>();
    if (stored) {
        // Every later ship of the mesh takes a copy of the first one's spheres;
        // its own empty container goes at once.
        unit_->SetBSpheres(CopySphereTree(*stored, unit_));
        if (own) unit_->CleanAndRemoveZeroElementsFromChildsBRUList();
        return;
    }
    if (!own) {
        ErrorReport("GetBSphereOps = nil, " + unitName_, "mhl");
        return;
    }
    (void)mesh;
    own->SetName("main_sphere");
    GeomObjStruct* base = nullptr;
    if (tree.GetGeomobject("base", base))
        own->SetRadius(0.5f * Vec3Length(Vec3Sub(base->vectors[2], base->vectors[1])));
    own->LoadFromCM(tree, collision_.get(), IsShowBSpheresOn());
    if (!source) return;
    // The copy waits under the engine root for the next ship of the mesh.
    BSpheresContainerClass* kept = CopySphereTree(*own, Engine);
    if (Engine) Engine->AddChild(kept);
    source->SetBSContainer(meshName_, kept);
}

void BRUBuilderClass::CreateRings(const ShipMeshDesc& mesh, CMTreeClass& tree) {
    for (const MeshCylinderDesc& c : mesh.cylinders) {
        TCylinder* ring = SetRingCM(unit_, c.mesh);
        if (!ring) continue;
        ring->SetName(c.mesh);
        RotatorClass* rotator = ring->GetRotator();
        const std::string type = platform::LowerCaseCp1251(c.type);
        if (type == "x") {
            rotator->SetMode(kRotateX);
            rotator->SetSpeedX(c.frequency);
        } else if (type == "y") {
            rotator->SetMode(kRotateY);
            rotator->SetSpeedY(c.frequency);
        } else if (type == "z") {
            rotator->SetMode(kRotateZ);
            rotator->SetSpeedZ(c.frequency);
        }
        Matrix m;
        tree.GetObjectMatrix(c.onshipObject, m);
        ring->SetBaseMatrix(m);
        unit_->AddChild(ring);
    }
}

void BRUBuilderClass::Build() {
    const EnvironmentSet* set = nullptr;
    TBaseRenderUnit* env = nullptr;
    if (!EnvironmentOf("BRUBuilderClass.Build", set, env)) return;
    const MemUsageMark mark = TakeMemUsageMark();

    unit_->SetName(unitName_);
    ShipMeshDesc mesh;
    if (!FindShipMesh(meshName_, mesh)) {
        ErrorReport("BRUBuilderClass.Build: no mesh description \"" + meshName_ + "\" for " + unitName_,
                    "mhl");
        return;
    }
    const std::string file = ShipModelFile(mesh.path, mesh.name);
    CMTreeClass* tree = CMTreeManager ? CMTreeManager->GetCMTree(file) : nullptr;
    if (!tree) {
        ErrorReport("BRUBuilderClass.Build: no model cache for " + file, "mhl");
        return;
    }
    WorldGameOpsClass* ops = GameOpsOf(unit_);
    if (ops) ops->SetCMTree(tree);

    if (IsFlagSet(BRUB_CREATE_BASE) && IsFlagSet(BRUB_CREATE_LODS)) {
        ErrorReport("IsFlagSet(BRUB_CREATE_BASE)and (IsFlagSet(BRUB_CREATE_LODS): " + unitName_, "mhl");
        return;
    }
    if (IsFlagSet(BRUB_CREATE_LODS)) CreateLODs(*tree);
    if (IsFlagSet(BRUB_CREATE_BASE))
        if (TRenderObject* ro = tree->CreateRO("base", false, kShipROOptions)) {
            SetSpecularFromMaterial(ro);
            unit_->AddRO(UnitViewOf(ro));
        }
    if (IsFlagSet(BRUB_CREATE_HELPERS)) AddOrMoveHelpers(unit_, *tree);
    if (IsFlagSet(BRUB_CREATE_NOZZLES))
        if (auto* carrier = dynamic_cast<INozzleCarrier*>(unit_))
            carrier->GetNozzles(true)->CreateNozzles(mesh);
    if (IsFlagSet(BRUB_CREATE_HELPERFX) && (!config_ || config_->GetSpawnFX())) SpawnHelperFX(mesh, *tree);
    if (IsFlagSet(BRUB_CREATE_SHIELD) && ops)
        if (EllipsoidShieldClass* shield = ops->GetShield()) shield->Build(tree, mesh.shield);
    if (IsFlagSet(BRUB_CREATE_SKYFOG))
        if (const auto* sky = dynamic_cast<const IEnvironmentSky*>(env))
            if (const std::string skyMesh = sky->GetSkyMeshName(); !skyMesh.empty())
                unit_->GetFog()->FogLoadFromLua(skyMesh, "LocalSkyFog");
    if (IsFlagSet(BRUB_CREATE_LOWPOLY)) {
        if (!unit_->GetPhysicOps()) {
            ErrorReport("QueryInterface(IID_IPhysicOps, fPhOps)<>S_OK", "mhl");
            return;
        }
        collision_ = std::make_unique<BSSectionMesh>();
        if (GeomObjStruct* g = CollisionObject(*tree)) collision_->LoadFromModel(*g);
        SetUnitCollisionMesh(unit_, *collision_);
    }
    if (IsFlagSet(BRUB_CREATE_BSPHERES)) {
        unit_->AddBSpheresFromCM(*tree);
        // A unit without spheres of its model gets its own as its one entry (ships).
        unit_->AddBSpheresFrom(nullptr);
        unit_->GetBSphereList();
    }
    if (IsFlagSet(BRUB_CREATE_MAINSPHERE)) CreateMainSphere(mesh, *tree);
    CreateRays(unit_, mesh, *tree);
    if (IsFlagSet(BRUB_CREATE_LAMPS)) unit_->LoadLamps(tree, "mesh." + meshName_);
    if (IsFlagSet(BRUB_CREATE_CMLAMPS)) unit_->AddLampsFromCM(*tree);
    if (!mesh.defect.empty() && ops) ops->SetDefectTemplate(TBaseRenderUnit::FindFXTemplate(mesh.defect));
    CreateRings(mesh, *tree);
    unit_->InvalidateBSphere();
    unit_->CalcBSphere(nullptr, nullptr, nullptr);
    if (IsFlagSet(BRUB_CREATE_SUBOBJECTS)) unit_->GetSubObjects(*tree, meshName_);
    if (mark.taken) LogMemUsageSince(mark, "LoadShip_" + unitName_);
    config_.reset();
    collision_.reset();
}

void CreateRays(TBaseRenderUnit* unit, const ShipMeshDesc& mesh, CMTreeClass& tree) {
    WorldGameOpsClass* ops = GameOpsOf(unit);
    RayOpsClass* rays = nullptr;
    for (const MeshRayGroup& group : mesh.rays) {
        if (!rays) {
            rays = ops ? ops->GetRays() : nullptr;
            if (!rays) {
                ErrorReport("ShipClass.CreateRays: QueryInterface(IID_IGameRaysInit,fGI)<>S_OK", "mhl");
                return;
            }
        }
        rays->AddGroup(group.name);
        for (const std::string& entry : group.entries) {
            TurretSlotClass* slot = nullptr;
            if (!ops->AttachSlot2(&tree, entry, slot) || !slot) continue;
            auto* cannon = TBaseRenderUnit::Create<CannonClass>(nullptr);
            cannon->SetName(entry + ".CannonClass_" + IntToHex8(cannon->GetId()));
            size_t digits = 0;
            while (digits < entry.size() &&
                   std::isdigit(static_cast<unsigned char>(entry[entry.size() - 1 - digits])))
                ++digits;
            if (platform::LowerCaseCp1251(entry).find("mesh:") == std::string::npos)
                ErrorReport("ShipClass.CreateRays: invalid ray mesh name: " + entry, "mhl");
            const size_t start = std::min<size_t>(5, entry.size());
            const std::string gunMesh =
                entry.substr(start, entry.size() - start - std::min(digits, entry.size() - start));
            cannon->LoadRayCannon(gunMesh);
            if (const auto* childs = cannon->ChildsBRU())
                for (TBaseRenderUnit* c : *childs)
                    if (auto* part = dynamic_cast<MultiroleBRUClass*>(c)) part->SetFogEnabled(false);
            slot->Attach(cannon);
            rays->AddRay(group.name, cannon);
        }
    }
}

TCylinder* SetRingCM(TBaseRenderUnit* unit, const std::string& meshName) {
    const EnvironmentSet* set = nullptr;
    TBaseRenderUnit* env = nullptr;
    if (!EnvironmentOf("ShipClass.SetRingCM", set, env)) return nullptr;
    auto* ring = TBaseRenderUnit::Create<TCylinder>(unit);
    const std::string entry = "mesh[" + LuaQuote(meshName) + "]";
    const std::string path = GetLuaString(entry + ".path", true);
    const std::string file = MeshFolderFile(path, GetLuaString(entry + ".name", true));
    CMTreeClass* tree = CMTreeManager ? CMTreeManager->GetCMTree(file) : nullptr;
    if (!tree) return ring;
    ring->LoadLamps(tree, "mesh." + meshName);
    ring->AddLampsFromCM(*tree);
    FillLevels(*ring->Levels(), *tree);
    AddLevelObjects(*ring, *ring->Levels(), *set);
    TRenderObject* first = nullptr;
    if (ring->Levels()->GetRO(0, first)) ring->SetLocalMatrix(first->GetMatrix());
    ring->SetName(meshName);
    ring->InvalidateBSphere();
    ring->CalcBSphere(nullptr, nullptr, nullptr);
    ring->SetFlag(kRingFlag);
    ring->AddHelpersFromCM(*tree);
    return ring;
}

} // namespace vesk
