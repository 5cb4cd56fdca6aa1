#include "game/game_object.h"

#include <algorithm>
#include <vector>

#include "game/data_files.h"
#include "game/events.h"
#include "game/game_lua.h"
#include "game/game_text.h"
#include "game/loaded_data.h"
#include "game/lua_text.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "render/obj_manager.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

TGlobalObjects* GlobalObjects = nullptr;

const char* const kCategoryDefault = "default";
const char* const kCategoryStandart = "standart";
const char* const kCategoryRocket = "rocket";
const char* const kCategorySatellit = "satellit";
const char* const kCategoryContainer = "container";
const char* const kCategoryAbandoned = "abandoned";
const char* const kCategoryService = "service";
const char* const kCategoryTurret = "turret";
const char* const kCategoryGun = "gun";

namespace {

bool IsSameOrAncestor(const TBaseGameObject* maybeAncestor, const TBaseGameObject* node) {
    for (const TBaseGameObject* p = node; p; p = p->GetParent())
        if (p == maybeAncestor) return true;
    return false;
}

// Calls visit on every node of the node's own subtree, parents first
// (children it lists but does not own are someone else's).
template <class Visit> void ForEachOwnNode(TBaseGameObject* node, Visit visit) {
    TChildList* list = node->GetObjects();
    if (!list) return;
    std::vector<TBaseGameObject*> own;
    for (TBaseGameObject* c : *list)
        if (c && c->GetParent() == node) own.push_back(c);
    for (TBaseGameObject* c : own) {
        visit(c);
        ForEachOwnNode(c, visit);
    }
}

} // namespace

// What a pool entry built with children was when it was made. Each use gets
// back the children it was built with and no others, its events start as
// they were built, and the links its construction made point again where
// they pointed (deleting the node cleared them); values stay as the last use
// left them, as they do for every pooled node.
struct TBaseGameObject::PoolStart {
    enum class Kind : uint8_t { Node, Event, Link };
    struct Entry {
        int32_t id;
        Kind kind = Kind::Node;
        bool active = false; // Event
        int32_t linked = 0;  // Link: the linked object's id, 0 when empty
    };
    std::vector<Entry> entries; // every node of the subtree, by id

    void Record(TBaseGameObject* owner) {
        ForEachOwnNode(owner, [this](TBaseGameObject* n) {
            Entry e{n->GetId()};
            if (auto* ev = dynamic_cast<TGameEvent*>(n)) {
                e.kind = Kind::Event;
                e.active = ev->IsActive();
                // Nothing of an entry runs before it is handed out.
                ev->Deactivate();
            } else if (auto* l = dynamic_cast<TGameObjectFreeLink*>(n); l && l->GetValue()) {
                e.kind = Kind::Link;
                e.linked = l->GetValue()->GetId();
            }
            entries.push_back(e);
        });
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; });
    }

    const Entry* Find(int32_t id) const {
        auto it = std::lower_bound(entries.begin(), entries.end(), id,
                                   [](const Entry& e, int32_t key) { return e.id < key; });
        return it != entries.end() && it->id == id ? &*it : nullptr;
    }

    // Re-links the node's subtree and notes its events and what a use added.
    void Walk(TBaseGameObject* node, std::vector<std::pair<TGameEvent*, bool>>& events,
              std::vector<TBaseGameObject*>& added) const {
        TChildList* list = node->GetObjects();
        if (!list) return;
        for (TBaseGameObject* c : *list) {
            if (!c || c->GetParent() != node) continue;
            const Entry* e = Find(c->GetId());
            if (!e) {
                added.push_back(c);
                continue;
            }
            if (e->kind == Kind::Event) {
                events.emplace_back(static_cast<TGameEvent*>(c), e->active);
            } else if (e->kind == Kind::Link) {
                auto* l = static_cast<TGameObjectFreeLink*>(c);
                if (!l->GetValue()) l->setValue(FindEngineObjectById(e->linked));
            }
            Walk(c, events, added);
        }
    }

    void Restore(TBaseGameObject* owner) const {
        std::vector<std::pair<TGameEvent*, bool>> events;
        std::vector<TBaseGameObject*> added;
        Walk(owner, events, added);
        for (TBaseGameObject* n : added) n->Delete();
        // Last: an event started again may read its links at once.
        for (const auto& [event, active] : events) {
            if (active)
                event->Activate();
            else
                event->Deactivate();
        }
    }
};

// ---- TBaseGameObject ---------------------------------------------------------------

TBaseGameObject::TBaseGameObject() = default;

TBaseGameObject::~TBaseGameObject() {
    // A node destroyed while still listed must not leave its address behind.
    if (parent_ && parent_->objects_ && parent_->objects_->InRange(indexInParent_) &&
        parent_->objects_->At(indexInParent_) == this)
        parent_->objects_->ClearSlot(indexInParent_);
}

void TBaseGameObject::RunLua(const std::string& chunk) {
    GameRunLua(chunk);
}

void TBaseGameObject::EnsureObjects() {
    if (!objects_) objects_ = std::make_unique<TChildList>(GetId());
}

void TBaseGameObject::SetName(const std::string& name) {
    std::string old = std::move(name_);
    name_ = name;
    if (parent_ && parent_->objects_ && parent_->objects_->InRange(indexInParent_) &&
        parent_->objects_->At(indexInParent_) == this)
        parent_->objects_->Renamed(indexInParent_, old);
}

void TBaseGameObject::ChildLeft(TBaseGameObject*) {}

void TBaseGameObject::SetParent(TBaseGameObject* p) {
    if (p == parent_) return;
    if (p && IsSameOrAncestor(this, p)) {
        // Under itself or its own descendant the node would leave the tree in a loop.
        ErrorReport("TBaseGameObject.SetParent error: cycle - Self Path: " + GetDebugPath(this) +
                        " ParentPath: " + GetDebugPath(p),
                    "m");
        return;
    }
    TBaseGameObject* old = parent_;
    if (old) {
        // Only the slot that still holds this node is emptied.
        if (old->objects_ && old->objects_->InRange(indexInParent_) &&
            old->objects_->At(indexInParent_) == this)
            old->objects_->ClearSlot(indexInParent_);
        indexInParent_ = -1;
    }
    if (p) {
        if (p->objects_) {
            indexInParent_ = p->objects_->AddToFreeSlot(this);
        } else {
            ErrorReport("TBaseGameObject.SetParent - _parent.objects=nil - Self Path: " + GetDebugPath(this) +
                            " ParentPath: " + GetDebugPath(p),
                        "");
            indexInParent_ = -1;
        }
    } else {
        indexInParent_ = -1;
    }
    parent_ = p;
    if (old) old->ChildLeft(this);
}

void TBaseGameObject::Create(const std::string& name, TBaseGameObject* parent) {
    name_ = name;
    deleted_ = false;
    SetParent(parent);
}

void TBaseGameObject::CreateEmpty() {
    name_.clear();
    deleted_ = true;
    parent_ = nullptr;
    indexInParent_ = -1;
}

void TBaseGameObject::BuildPoolEntry() {
    if (GameClass().poolByCreate) {
        Create(std::string(), nullptr);
        TBaseGameObject::CreateEmpty();
    } else {
        CreateEmpty();
    }
    if (CountChildren() == 0) return;
    // The children it was built with stay for every use (see Delete).
    poolStart_ = std::make_unique<PoolStart>();
    poolStart_->Record(this);
}

void TBaseGameObject::ReInit(const std::string& name, TBaseGameObject* parent) {
    SetName(name);
    deleted_ = false;
    SetParent(parent);
    if (poolStart_) poolStart_->Restore(this);
}

void TBaseGameObject::Delete() {
    if (deleted_) return;
    if (poolStart_ && poolEntry_) {
        // Back to the pool whole: nothing of it runs while it waits there.
        ForEachOwnNode(this, [](TBaseGameObject* n) {
            if (auto* e = dynamic_cast<TGameEvent*>(n)) e->Deactivate();
        });
        DeletePooledKeepingChildren(this);
        deleted_ = true;
        return;
    }
    SetName("_" + GetDebugPath(this));
    SetParent(nullptr);
    NotifyAllSubscribers(EM_OBJECT_DELETED, 0);
    if (DeletedObjects) {
        DeletedObjects->Add(this);
    } else {
        Release();
    }
    deleted_ = true;
    if (objects_) {
        for (int32_t i = 0; i < objects_->Count(); ++i) {
            TBaseGameObject* child = objects_->At(i);
            if (!child) continue;
            try {
                child->Delete();
            } catch (...) {
                // One failing child must not keep the rest alive.
            }
        }
        OrphanChildren();
    }
}

void TBaseGameObject::OrphanChildren() {
    if (!objects_) return;
    // Children that stay (a list whose Delete keeps it) must not point at a parent that goes.
    for (TBaseGameObject* c : *objects_)
        if (c && c->parent_ == this) {
            c->parent_ = nullptr;
            c->indexInParent_ = -1;
        }
    objects_->Clear();
}

void TBaseGameObject::Tick(float) {}

int TBaseGameObject::Execute(lua_State*) {
    ErrorReport("TBaseGameObject.Execute error: " + GetDebugPath(this) + Ru(" ,класс ") + ClassName() +
                    Ru(" - попытка запустить не перегруженный Execute"),
                "mhl");
    return 0;
}

void TBaseGameObject::stringUpdate(const std::string&) {
    ErrorReport(Ru("TBaseGameObject.stringUpdate error: попытка инициализации обьекта ") +
                    GetDebugPath(this) + Ru(" ,класса ") + ClassName() +
                    Ru(" ,без переопределения процедуры апдейта"),
                "mhl");
}

void TBaseGameObject::stringValue(std::string&) {
    ErrorReport(Ru("TBaseGameObject.stringValue error: попытка запроса данных обьекта ") +
                    GetDebugPath(this) + Ru(" ,класса ") + ClassName() +
                    Ru(" ,без переопределения процедуры запроса"),
                "mhl");
}

float TBaseGameObject::singleValue() {
    ErrorReport(Ru("TBaseGameObject.singleValue error: обьект ") + GetDebugPath(this) + Ru(" класса ") +
                    ClassName() + Ru(" не поддерживает этот метод!"),
                "mhl");
    return 0.0f;
}

TBaseGameObject* TBaseGameObject::Get(std::string_view name) {
    TBaseGameObject* child = FindChild(name);
    if (!child)
        ErrorReport("TBaseGameObject.Get error: objPath:" + GetDebugPath(this) + " _id:" + std::string(name) +
                        " Self.id:" + name_,
                    "mhl");
    return child;
}

TBaseGameObject* TBaseGameObject::FindChild(std::string_view name) {
    return objects_ ? objects_->Find(name) : nullptr;
}

void TBaseGameObject::UpdateToScript(const std::string& v) {
    RunLua(v + "={}");
    RunLua(v + ".engineType=\"" + ClassName() + "\"");
    int32_t cursor;
    TBaseGameObject* child;
    First(cursor);
    while (Next(cursor, child)) child->UpdateToScript(v + LuaSubscript(child->name_));
}

void TBaseGameObject::UpdateToEngine(const std::string& v) {
    // A table an older file lacks leaves the children as they are: reading
    // into it would fail once for every value below it.
    if (DataLoadActive() && objects_ && !GameLuaIsTable(v)) {
        NoteMissingDataEntry(v);
        return;
    }
    int32_t cursor;
    TBaseGameObject* child;
    First(cursor);
    while (Next(cursor, child)) child->UpdateToEngine(v + LuaSubscript(child->name_));
}

void TBaseGameObject::CopyStructure(TBaseGameObject*& dest) {
    if (!dest || !objects_) return;
    // Taken first: copying into a node inside this subtree adds children while we walk.
    std::vector<TBaseGameObject*> children;
    children.reserve(static_cast<size_t>(objects_->CountNonNil()));
    for (TBaseGameObject* c : *objects_)
        if (c) children.push_back(c);
    for (TBaseGameObject* c : children) {
        // A child that holds the destination would be copied into itself without end.
        if (IsSameOrAncestor(c, dest)) continue;
        TBaseGameObject* d = dest->FindChild(c->name_);
        if (!d) d = NewGameObject(c->GameClass(), c->name_, dest);
        c->CopyStructure(d);
    }
}

void TBaseGameObject::Save() {
    ErrorReport("TBaseGameObject.Save error: You need to override this! Class: " + ClassName(), "mhl");
}

void TBaseGameObject::Load() {
    ErrorReport("TBaseGameObject.Load error: You need to override this! Class: " + ClassName(), "mhl");
}

void TBaseGameObject::saveData(const std::string& fileName) {
    RunLua("exec_table=nil");
    UpdateToScript("exec_table");
    RunLua("saveData(" + LuaQuote(GetLuaPath(this)) + "," + LuaQuote(fileName) + ")");
}

void TBaseGameObject::loadData(const std::string& fileName) {
    // The file is data: it runs in the data environment, and what it leaves in
    // exec_table is what the scripts' loadData gives back to the tree.
    if (!RunDataFile(fileName, {"exec_table"})) return;
    // What the scripts give back now comes from the file: its lists get their
    // entries back, and event code in it is the file's.
    DataLoadScope fromFile(fileName);
    RestoreListEntries(this, "exec_table");
    RunLua("loadData(" + LuaQuote(GetLuaPath(this)) + "," + LuaQuote(fileName) + ")");
}

void TBaseGameObject::First(int32_t& cursor) {
    cursor = 0;
}

bool TBaseGameObject::Next(int32_t& cursor, TBaseGameObject*& child) {
    child = nullptr;
    if (!objects_) return false;
    while (cursor < objects_->Count()) {
        TBaseGameObject* c = objects_->At(cursor++);
        if (c) {
            child = c;
            return true;
        }
    }
    return false;
}

void TBaseGameObject::Free() {
    if (poolEntry_) {
        ManagedObjectClass* entry = poolEntry_;
        poolEntry_ = nullptr;
        entry->ReturnToPool();
        NotifyAllSubscribers(EM_SENDER_IS_NO_LONGER_EXISTS, 0);
        return;
    }
    // Let go by its pool: the children it kept for reuse go with it.
    if (poolStart_ && deleted_) FreeKeptChildren(this);
    OrphanChildren();
    objects_.reset();
    TEngineObject::Free();
}

bool DeletePooledKeepingChildren(TBaseGameObject* node) {
    if (!node || node->IsDeleted() || !node->GetPoolEntry()) return false;
    node->SetName("_" + GetDebugPath(node));
    node->SetParent(nullptr);
    node->NotifyAllSubscribers(EM_OBJECT_DELETED, 0);
    if (DeletedObjects)
        DeletedObjects->Add(node);
    else
        node->Release();
    return true;
}

namespace {

void FreeSubtree(TBaseGameObject* node) {
    // A pooled child goes back to its own pool as it is.
    if (!node->GetPoolEntry()) FreeKeptChildren(node);
    node->Free();
}

} // namespace

void FreeKeptChildren(TBaseGameObject* node) {
    TChildList* list = node->GetObjects();
    if (!list) return;
    std::vector<TBaseGameObject*> kept;
    for (TBaseGameObject* c : *list)
        if (c && c->GetParent() == node) kept.push_back(c);
    for (TBaseGameObject* c : kept) FreeSubtree(c);
}

TBaseGameObject* TBaseGameObject::getParentByClass(const TGameClass& cls) {
    for (TBaseGameObject* p = parent_; p; p = p->parent_)
        if (&p->GameClass() == &cls) return p;
    ErrorReport(Ru("TBaseGameObject.getParentByClass error: у обьекта ") + GetDebugPath(this) +
                    Ru(" не обнаружено предков класса ") + cls.name,
                "mhl");
    return nullptr;
}

void TBaseGameObject::AppendIdToName() {
    SetName(name_ + GetHex());
}

void TBaseGameObject::DeleteChildren() {
    if (!objects_) return;
    for (int32_t i = 0; i < objects_->Count(); ++i)
        if (TBaseGameObject* c = objects_->At(i)) c->Delete();
}

int32_t TBaseGameObject::CountChildren() const {
    return objects_ ? objects_->CountNonNil() : 0;
}

void TBaseGameObject::Pack() {
    if (!objects_) return;
    for (int32_t i = 0; i < objects_->Count(); ++i) {
        TBaseGameObject* c = objects_->At(i);
        if (c && !c->deleted_) c->Pack();
    }
    objects_->Pack(this);
}

// ---- TBaseGameObjectList -------------------------------------------------------------

void TBaseGameObjectList::Create(const std::string& name, TBaseGameObject* parent) {
    EnsureObjects();
    TBaseGameObject::Create(name, parent);
}

void TBaseGameObjectList::CreateEmpty() {
    EnsureObjects();
    TBaseGameObject::CreateEmpty();
}

void TBaseGameObjectList::Tick(float) {}

int32_t TBaseGameObjectList::insertObj(TBaseGameObject* obj) {
    if (!objects_) {
        ErrorReport("TBaseGameObjectList.insertObj - \"Objects\" does not exist", "mhl");
        return 0;
    }
    if (obj && obj->GetParent() != this) objects_->MarkForeign();
    return objects_->AddToFreeSlot(obj);
}

// ---- TGlobalObjects --------------------------------------------------------------------

TGlobalObjects::~TGlobalObjects() {
    if (GlobalObjects == this) GlobalObjects = nullptr;
}

void TGlobalObjects::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    auto* empty = NewGameObject<TGameObjectMethodParam>("emptyObjects", this);
    empty->setValue([](void*) {}, nullptr);
}

TBaseGameObject* NewGameObject(const TGameClass& cls, const std::string& name, TBaseGameObject* parent) {
    TBaseGameObject* obj = cls.make();
    obj->Create(name, parent);
    return obj;
}

// ---- paths -------------------------------------------------------------------------------

namespace {

template <class Step> TBaseGameObject* WalkPath(std::string_view path, Step step) {
    TBaseGameObject* node = GlobalObjects;
    if (!node) return nullptr;
    size_t start = 0;
    for (;;) {
        const size_t dot = path.find('.', start);
        const std::string_view part =
            path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        node = step(node, part);
        if (!node || dot == std::string_view::npos) return node;
        start = dot + 1;
    }
}

} // namespace

TBaseGameObject* GetVarByPath(std::string_view path) {
    return WalkPath(path, [](TBaseGameObject* n, std::string_view part) { return n->Get(part); });
}

TBaseGameObject* FindVarByPath(std::string_view path) {
    return WalkPath(path, [](TBaseGameObject* n, std::string_view part) { return n->FindChild(part); });
}

std::string GetLuaPath(const TBaseGameObject* node) {
    if (!node) return {};
    std::vector<const std::string*> names{&node->GetName()};
    for (const TBaseGameObject* p = node->GetParent(); p && p->GetName() != "_G"; p = p->GetParent())
        names.push_back(&p->GetName());
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!path.empty() || it != names.rbegin()) path += '.';
        path += **it;
    }
    return path;
}

std::string GetDebugPath(const TBaseGameObject* node) {
    std::string path;
    for (const TBaseGameObject* p = node; p; p = p->GetParent()) {
        path += "->";
        path += p->GetName();
    }
    return path;
}

TEngineObject* ObjectFromHexText(const std::string& text, const std::string& context) {
    int32_t id = 0;
    if (TryParseInt32(text, id) && id == 0) return nullptr;
    return EngineObjectFromHex(text, context);
}

TBaseGameObject* GameObjectById(int32_t id) {
    return FindEngineObjectAs<TBaseGameObject>(id);
}

} // namespace vesk
