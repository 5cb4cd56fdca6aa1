#include "game/obj_managers.h"

#include <algorithm>

#include "game/events.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"
#include "shared/helpers.h"

namespace vesk {

std::unique_ptr<TObjManagersManager> ObjManagersManager;
std::array<TDynamicObjManager*, kStandardManagerCount> StandardManagers{};

tDeletedObjects* DeletedObjects = nullptr;
tTickedObjects* CreatedObjects = nullptr;
tTickedObjects* Created2Objects = nullptr;
tTickedObjects* TickedObjects = nullptr;
TPackedObjects* PackedObjects = nullptr;
tTickedObjects* TargetedObjects = nullptr;

namespace {
constexpr int32_t kPoolGrowthStep = 500;

template <class T, class U> void ClearGlobal(T*& global, U* self) {
    if (global == self) global = nullptr;
}
} // namespace

// ---- TDynamicObjManager ------------------------------------------------------------

TDynamicObjManager::TDynamicObjManager(const TGameClass& cls, int32_t capacity)
    : cls_(cls), pool_(TEngineObject::New<ObjManagerClass>(capacity, nullptr, this, this,
                                                           std::string(cls.name) + "_m", kPoolGrowthStep)) {}

void TDynamicObjManager::InitObject(ManagedObjectClass&) {
    // The object is made when the entry is first handed out.
}

void TDynamicObjManager::DeInitObject(ManagedObjectClass& entry) {
    if (!entry.HasData()) return;
    auto* obj = static_cast<TBaseGameObject*>(entry.GetData());
    if (obj) {
        obj->SetPoolEntry(nullptr);
        obj->Free();
    }
    entry.DeleteStructData();
}

TBaseGameObject* TDynamicObjManager::getObject() {
    ManagedObjectClass* entry = pool_->GetObject();
    if (pool_->GetUsedCount() > pool_->GetCapacity()) {
        ErrorReport(Ru("TDynamicObjManager.getObject error: Превышено допустимое количество обьектов (") +
                        IntToStr32(pool_->GetCapacity()) + Ru(") в менеджере ") + pool_->GetName(),
                    "mhl");
        return nullptr;
    }
    if (!entry->HasData()) {
        TBaseGameObject* obj = cls_.make();
        obj->BuildPoolEntry();
        entry->SetData(obj);
    }
    auto* obj = static_cast<TBaseGameObject*>(entry->GetData());
    obj->SetPoolEntry(entry);
    return obj;
}

void TDynamicObjManager::Free() {
    if (ObjManagerClass* pool = pool_) {
        pool_ = nullptr;
        pool->Free();
    }
    TEngineObject::Free();
}

// ---- TObjManagersManager ---------------------------------------------------------------

TObjManagersManager::~TObjManagersManager() {
    for (int i = 0; i < count_; ++i) {
        TDynamicObjManager*& m = managers_[static_cast<size_t>(i)];
        // A preset pool freed here is no longer one to release.
        for (auto*& preset : StandardManagers)
            if (preset == m) preset = nullptr;
        if (m) m->Free();
        m = nullptr;
    }
}

void TObjManagersManager::Forget(TDynamicObjManager* m) {
    for (int i = 0; i < count_; ++i)
        if (managers_[static_cast<size_t>(i)] == m) managers_[static_cast<size_t>(i)] = nullptr;
}

TDynamicObjManager* TObjManagersManager::GetManager(const TGameClass& cls, int32_t capacity) {
    for (int i = 0; i < count_; ++i) {
        TDynamicObjManager* m = managers_[static_cast<size_t>(i)];
        if (m && &m->GetClass() == &cls) return m;
    }
    if (count_ >= kMaxManagers) {
        ErrorReport(std::string("TObjManagersManager.GetManager error: no room for the pool of ") + cls.name,
                    "mhl");
        return nullptr;
    }
    auto* m = TEngineObject::New<TDynamicObjManager>(cls, capacity);
    managers_[static_cast<size_t>(count_++)] = m;
    return m;
}

TBaseGameObject* TObjManagersManager::GetObject(const TGameClass& cls) {
    TDynamicObjManager* m = GetManager(cls, kDefaultCapacity);
    return m ? m->getObject() : nullptr;
}

void TObjManagersManager::createStandartManagers() {
    static const std::pair<const char*, int32_t> kPresets[kStandardManagerCount] = {
        {"TGameObjectBullet", 100},
        {"TGameObjectRocket", 50},
        {"TGameObjectFx", 150},
        {"TGameObjectDestroyFx", 150},
        {"TDamageEffect", 150},
        {"TTaskteleportToHelper", 100},
        {"TTaskstartShotToDefAiObj", 100},
        {"TTaskoneStepAttackToDefAiObj", 100},
        {"TTaskoneStepFollowToDefAiObj", 100},
        {"TTaskuseSequence", 150},
        {"TTaskoneShotToDefAiObj", 100},
        {"TTaskrelinkDefaultAiObject", 100},
        {"TTaskstartShooting", 100},
        {"TTaskaiEvent", 100},
        {"TTaskoneStepToDefAiObj", 100},
        {"TTaskwait", 100},
        {"TTaskstop", 100},
        {"TTaskendShooting", 100},
        {"TTaskstepToPoint", 100},
        {"TTaskstepToGameObj", 100},
        {"TTasksendMessage", 100},
        {"TTasksetAiParam", 500},
    };
    for (int i = 0; i < kStandardManagerCount; ++i) {
        // Classes of parts of the game that are not linked in have no pool yet.
        const TGameClass* cls = FindGameClassQuiet(kPresets[i].first);
        StandardManagers[static_cast<size_t>(i)] = cls ? GetManager(*cls, kPresets[i].second) : nullptr;
    }
}

void ReleaseStandartManagers() {
    for (auto*& m : StandardManagers) {
        if (!m) continue;
        if (ObjManagersManager) ObjManagersManager->Forget(m);
        m->Release();
        m = nullptr;
    }
}

// ---- tDeletedObjects ----------------------------------------------------------------------

tDeletedObjects::~tDeletedObjects() {
    ClearGlobal(DeletedObjects, this);
}

void tDeletedObjects::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    objects_->MarkForeign();
    if (name == "deleted") DeletedObjects = this;
}

void tDeletedObjects::Add(TBaseGameObject* node) {
    if (!objects_) EnsureObjects();
    objects_->MarkForeign();
    objects_->Add(node);
}

void tDeletedObjects::Tick(float dt) {
    lastDt_ = dt;
    if (!objects_ || objects_->Count() <= cursor_) return;
    const int32_t n = objects_->Count();
    for (int32_t slot = 0; slot < n; ++slot) {
        cursor_ = slot;
        TBaseGameObject* node = objects_->At(slot);
        objects_->ClearSlot(slot);
        if (node) node->Free();
    }
    cursor_ = 0;
    objects_->Pack(this);
}

void tDeletedObjects::Free() {
    Tick(1.0f);
    TBaseGameObjectList::Free();
}

// ---- tTickedObjects -----------------------------------------------------------------------

TTickedOrder::TTickedOrder() {
    entries_.reserve(10000);
}

void TTickedOrder::Append(const Entry& entry) {
    if (entries_.size() == entries_.capacity()) entries_.reserve(entries_.capacity() + 501);
    entries_.push_back(entry);
}

tTickedObjects::~tTickedObjects() {
    ClearGlobal(CreatedObjects, this);
    ClearGlobal(Created2Objects, this);
    ClearGlobal(TickedObjects, this);
    ClearGlobal(TargetedObjects, this);
}

void tTickedObjects::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    objects_->MarkForeign();
    if (name == "created") CreatedObjects = this;
    if (name == "created2") Created2Objects = this;
    if (name == "ticked") TickedObjects = this;
}

int32_t tTickedObjects::insertObj(TBaseGameObject* obj) {
    const int32_t slot = TBaseGameObjectList::insertObj(obj);
    if (slotSerial_.size() <= static_cast<size_t>(slot)) slotSerial_.resize(static_cast<size_t>(slot) + 1, 0);
    // A fresh serial per insertion: an older order entry for a reused slot is stale.
    const uint32_t serial = nextSerial_++;
    slotSerial_[static_cast<size_t>(slot)] = serial;
    // The entry knows its event, so the walk casts only what was stored some other way.
    order_.Append({slot, serial, obj, obj ? obj->GetId() : 0, CachedDynamicCast<TGameEvent>(obj)});
    // A list that is not walked every frame ("targetedObjects", or "ticked"
    // while the game is paused) drops its gone entries here instead.
    if (!walking_) CompactOrder();
    return slot;
}

void tTickedObjects::CompactOrder() {
    auto& entries = order_.Entries();
    const size_t live = objects_ ? static_cast<size_t>(objects_->CountNonNil()) : 0;
    // Only when most of the order is gone: the cost spreads over the insertions.
    if (entries.size() <= 2 * live + 64) return;
    std::erase_if(entries, [this](const TTickedOrder::Entry& e) { return LiveEntry(e) == nullptr; });
}

inline TBaseGameObject* tTickedObjects::LiveEntry(const TTickedOrder::Entry& e) const {
    // A negative slot turns into one past every range.
    const auto slot = static_cast<size_t>(static_cast<uint32_t>(e.slot));
    if (!objects_ || slot >= static_cast<size_t>(objects_->Count()) || slot >= slotSerial_.size() ||
        slotSerial_[slot] != e.serial)
        return nullptr;
    return objects_->At(e.slot);
}

void tTickedObjects::Tick(float dt) {
    frameTime_ = dt;
    ++walks_;
    walking_ = true;
    struct WalkEnds {
        bool& walking;
        ~WalkEnds() { walking = false; }
    } walkEnds{walking_};
    auto& entries = order_.Entries();
    // One pass: entries that left are dropped, the rest fire in insertion
    // order; entries added while the walk runs are walked too.
    size_t write = 0;
    size_t read = 0;
    try {
        for (; read < entries.size(); ++read) {
            // Read before the tick: an entry it adds may move the order.
            const TTickedOrder::Entry& e = entries[read];
            TBaseGameObject* obj = LiveEntry(e);
            if (!obj) continue;
            const bool asStored = obj == e.object && obj->GetId() == e.objectId;
            TGameEvent* event = asStored ? e.event : CachedDynamicCast<TGameEvent>(obj);
            if (write != read) entries[write] = e;
            ++write;
            if (event) event->TickFrom(this);
        }
    } catch (...) {
        // The walk was broken off: the order keeps each entry once.
        const size_t next = std::min(read + 1, entries.size());
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(write),
                      entries.begin() + static_cast<std::ptrdiff_t>(next));
        throw;
    }
    entries.resize(write);
}

// ---- TPackedObjects, TGameTargetedObjects ------------------------------------------------------

TPackedObjects::~TPackedObjects() {
    ClearGlobal(PackedObjects, this);
}

void TPackedObjects::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    objects_->MarkForeign();
    if (name == "packed") PackedObjects = this;
}

void TPackedObjects::Tick(float) {
    if (!objects_) return;
    for (int32_t i = 0; i < objects_->Count(); ++i)
        if (TBaseGameObject* list = objects_->At(i))
            if (list->GetObjects()) list->GetObjects()->Pack(list);
    objects_->Clear();
}

TGameTargetedObjects::~TGameTargetedObjects() {
    ClearGlobal(TargetedObjects, this);
}

void TGameTargetedObjects::Create(const std::string& name, TBaseGameObject* parent) {
    tTickedObjects::Create(name, parent);
    if (name == "targetedObjects") TargetedObjects = this;
}

void RegisterListClasses() {
    RegisterGameClass(TBaseGameObject::StaticClass());
    RegisterGameClass(TBaseGameObjectList::StaticClass());
}

} // namespace vesk
