#include "render/managers.h"

#include "render/render_unit.h"
#include "shared/class_manager.h"
#include "shared/errors.h"

namespace vesk {

std::unique_ptr<BRUManClass> BRUMan;
BRUTickManClass* BRUTickMan = nullptr;

// ---- unit pools -----------------------------------------------------------------------------

BRUUnitPoolClass::BRUUnitPoolClass(std::string className, int32_t capacity, const std::string& name,
                                   int32_t growthStep)
    : className_(std::move(className)) {
    Create(capacity, name, growthStep);
}

void BRUUnitPoolClass::InitObject(ManagedObjectClass& slot) {
    TBaseRenderUnit* u = ClassManager.Create<TRenderUnitKind>(className_, nullptr);
    if (!u) return;
    --BRUInstanceCount; // idle pooled units are not counted
    u->SetPoolSlot(&slot);
    slot.SetData(u);
}

void BRUUnitPoolClass::DeInitObject(ManagedObjectClass& slot) {
    if (!slot.HasData()) return;
    if (auto* u = static_cast<TBaseRenderUnit*>(slot.GetData())) {
        u->SetPoolSlot(nullptr);
        ++BRUInstanceCount; // its Free counts it out again
        u->Release();
    }
    slot.DeleteStructData();
}

TBaseRenderUnit* BRUUnitPoolClass::Take(TBaseRenderUnit* parent) {
    ManagedObjectClass* slot = GetPool()->GetObject();
    auto* u = static_cast<TBaseRenderUnit*>(slot->GetData());
    if (!u) return nullptr;
    u->Init(parent);
    u->SetPoolSlot(slot);
    return u;
}

void BRUManClass::Create() {
    if (!particles_ && ClassManager.IndexOf("FXParticleClass") >= 0)
        particles_ = TEngineObject::New<BRUUnitPoolClass>("FXParticleClass", kParticles, "BRUMan.particles",
                                                        kParticlesGrowth);
    if (!jets_ && ClassManager.IndexOf("FXJetClass") >= 0)
        jets_ = TEngineObject::New<BRUUnitPoolClass>("FXJetClass", kJets, "BRUMan.jets", kJetsGrowth);
}

BRUUnitPoolClass* BRUManClass::PoolFor(const std::string& className) {
    if (className == "FXParticleClass" || className == "FXJetClass") Create();
    if (className == "FXParticleClass") return particles_;
    if (className == "FXJetClass") return jets_;
    return nullptr;
}

TBaseRenderUnit* BRUManClass::CreateInstance(const std::string& className, TBaseRenderUnit* parent) {
    if (BRUUnitPoolClass* pool = PoolFor(className)) return pool->Take(parent);
    return ClassManager.Create<TRenderUnitKind>(className, parent);
}

void BRUManClass::Destroy() {
    if (BRUUnitPoolClass* p = std::exchange(particles_, nullptr)) p->Free();
    if (BRUUnitPoolClass* p = std::exchange(jets_, nullptr)) p->Free();
}

// ---- tick manager -----------------------------------------------------------------------------

BRUTickManClass::BRUTickManClass() {
    Create(kCapacity, "BRUTickMan", kGrowth);
    // One walk over the used slots after creation, as the pool is checked once.
    ObjManagerIteratorClass it = GetPool()->NewIterator();
    ManagedObjectClass* slot = nullptr;
    while (GetPool()->Next(it, slot)) {
    }
}

void BRUTickManClass::InitObject(ManagedObjectClass& slot) {
    BRUTickedObjClass record;
    slot.SetStructData(&record, sizeof record);
}

void BRUTickManClass::DeInitObject(ManagedObjectClass& slot) {
    if (!slot.HasData()) return;
    static_cast<BRUTickedObjClass*>(slot.GetDataPtr())->field = 0;
    slot.DeleteStructData();
}

void BRUTickManClass::AddTickedObj(TBaseRenderUnit*, int32_t& handle) {
    handle = 0;
}

// ---- swap manager -----------------------------------------------------------------------------

TEngineObject* SwapManagerClass::GetNextObj() {
    if (next_ >= Count()) next_ = 0;
    if (list_.empty()) {
        ErrorReport("SwapManagerClass.GetNextObj: list.Count=0: " + name_, "mhl");
        return nullptr;
    }
    return list_[static_cast<size_t>(next_++)];
}

void SwapManagerClass::FreeObjects() {
    std::vector<TEngineObject*> list;
    list.swap(list_);
    next_ = 0;
    for (TEngineObject* o : list)
        if (o) o->Free();
}

} // namespace vesk
