#include "shared/engine_object.h"

#include "platform/system.h"
#include "shared/compact_map.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <cxxabi.h>

#include <cstdlib>
#include <limits>
#include <mutex>
#include <typeindex>
#include <unordered_map>

namespace vesk {

std::unique_ptr<TEODestroyManagerClass> TEODestroyManager = std::make_unique<TEODestroyManagerClass>();

namespace {

// Live objects by id. Objects are made and freed on the main thread, but
// background work may look ids up, hence the lock. Never destroyed, so that
// objects freed during the program's own exit still find it.
struct Registry {
    std::mutex mutex;
    CompactMap<int32_t, TEngineObject*> objects;
    int32_t nextId = 1;
};

Registry& Objects() {
    static Registry& r = *new Registry;
    return r;
}

int32_t RegisterObject(TEngineObject* o) {
    Registry& r = Objects();
    std::lock_guard lock(r.mutex);
    if (r.nextId == std::numeric_limits<int32_t>::max()) {
        ErrorReport("TEngineObject.Create: no free object id", "mhl");
        return r.nextId; // shared last id; only reached when the halt returns
    }
    int32_t id = r.nextId++;
    r.objects.Set(id, o);
    return id;
}

void UnregisterObject(int32_t id) {
    Registry& r = Objects();
    std::lock_guard lock(r.mutex);
    r.objects.Erase(id);
}

// A message box, then the process ends (tests' halt hook throws instead).
void BoxAndHalt(const std::string& text) {
    platform::ShowMessageBox(text, "Error");
    if (auto& halt = GetErrorHooks().halt) {
        halt();
        return;
    }
    std::_Exit(1);
}

} // namespace

TEngineObject* FindEngineObjectById(int32_t id) {
    Registry& r = Objects();
    std::lock_guard lock(r.mutex);
    TEngineObject* const* o = r.objects.Find(id);
    return o ? *o : nullptr;
}

size_t LiveEngineObjectCount() {
    Registry& r = Objects();
    std::lock_guard lock(r.mutex);
    return r.objects.size();
}

TEngineObject* EngineObjectFromHex(const std::string& hex, const std::string& context) {
    int32_t id = 0;
    if (!TryParseInt32(hex, id)) {
        kws2i(hex, context); // reports the bad number
        return nullptr;
    }
    TEngineObject* o = FindEngineObjectById(id);
    if (!o) ErrorReport("Exception kws2i: _str=" + hex + ": " + context, "mhl");
    return o;
}

std::string ClassNameOfType(const std::type_info& type) {
    // Never destroyed: objects freed during the program's exit still ask.
    static std::mutex& mutex = *new std::mutex;
    static auto& names = *new std::unordered_map<std::type_index, std::string>;
    std::lock_guard lock(mutex);
    auto it = names.find(type);
    if (it != names.end()) return it->second;
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = (status == 0 && demangled) ? demangled : type.name();
    std::free(demangled);
    // Drop the namespaces: the engine knows classes by their plain names.
    size_t cut = name.rfind("::", name.find('<'));
    if (cut != std::string::npos) name.erase(0, cut + 2);
    return names.emplace(type, name).first->second;
}

bool IsSameEngineObject(IEngineObject* a, IEngineObject* b) {
    return b != nullptr && a->GetInstance() == b->GetInstance();
}

// ---- TEngineObject ----------------------------------------------------------------

TEngineObject::TEngineObject() {
    id_ = RegisterObject(this);
}

TEngineObject::~TEngineObject() {
    if (id_ && FindEngineObjectById(id_) == this) UnregisterObject(id_);
}

std::string TEngineObject::ClassName() const {
    return ClassNameOfType(typeid(*this));
}

std::string TEngineObject::GetHex() const {
    return IntToStr32(id_);
}

int TEngineObject::IndexOfSubscriber(const TEngineObject* o) const {
    for (size_t i = 0; i < subscribers_.size(); ++i)
        if (subscribers_[i].object == o && subscribers_[i].id == o->id_) return static_cast<int>(i);
    return -1;
}

int TEngineObject::FirstHole() const {
    if (static_cast<int>(subscribers_.size()) == subscriberCount_) return -1;
    for (size_t i = 0; i < subscribers_.size(); ++i)
        if (!subscribers_[i].object) return static_cast<int>(i);
    return -1;
}

void TEngineObject::AddSubscriber(IEngineObject* subscriber) {
    if (!subscriber) {
        BoxAndHalt("TEngineObject.AddSubscriber: _Subscriber=nil: INVALID SUBSCRIBER");
        return;
    }
    TEngineObject* o = subscriber->GetInstance();
    int i = FirstHole();
    // A hole in entry 0 is not reused; the subscriber goes to the end then.
    if (i <= 0) {
        subscribers_.push_back({o, o->id_});
    } else {
        subscribers_[static_cast<size_t>(i)] = {o, o->id_};
    }
    ++subscriberCount_;
}

void TEngineObject::RemoveSubscriber(IEngineObject* subscriber) {
    if (!subscriber) {
        BoxAndHalt("TEngineObject.RemoveSubscriber: _Subscriber=nil");
        return;
    }
    int i = IndexOfSubscriber(subscriber->GetInstance());
    if (i < 0) return; // not subscribed: nothing to do
    subscribers_[static_cast<size_t>(i)] = {};
    needsCompaction_ = true;
    --subscriberCount_;
    // Outside a round, holes are swept in batches so mass removal stays linear.
    int holes = static_cast<int>(subscribers_.size()) - subscriberCount_;
    if (listUsersCount_ == 0 && holes > 50) CompactSubscribers();
}

void TEngineObject::CompactSubscribers() {
    std::erase_if(subscribers_, [](const Entry& e) { return e.object == nullptr; });
    needsCompaction_ = false;
}

void TEngineObject::BeginUseList() {
    ++listUsersCount_;
}

void TEngineObject::EndUseList() {
    --listUsersCount_;
    if (listUsersCount_ < 0) platform::ShowMessageBox("TEngineObject.EndUseList: ListUsersCount<0", "Error");
    if (needsCompaction_ && listUsersCount_ == 0) CompactSubscribers();
}

void TEngineObject::NotifyAllSubscribers(int msg, int param) {
    bool died = false;
    bool* outerWatch = deathWatch_;
    deathWatch_ = &died;
    BeginUseList();
    // Subscribers added during the round are not called.
    const size_t n = subscribers_.size();
    for (size_t i = 0; i < n; ++i) {
        Entry e = subscribers_[i];
        if (!e.object) continue;
        if (FindEngineObjectById(e.id) != e.object) {
            // The subscriber was freed without telling us: drop its entry.
            subscribers_[i] = {};
            needsCompaction_ = true;
            --subscriberCount_;
            continue;
        }
        try {
            e.object->Message(this, msg, param);
        } catch (...) {
            TEngineObject* alive = FindEngineObjectById(e.id);
            ErrorReport(
                "TEngineObject.NotifyAllSubscribers AV: (feo as IEngineObject).Message: self.classname: " +
                    (died ? std::string("?") : ClassName()) +
                    ", feo.classname: " + (alive ? alive->ClassName() : std::string("?")),
                "");
        }
        if (died) {
            // This object was freed by a subscriber: nothing of it may be touched.
            if (outerWatch) *outerWatch = true;
            return;
        }
    }
    EndUseList();
    deathWatch_ = outerWatch;
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS) {
        subscribers_.clear();
        subscriberCount_ = 0;
        needsCompaction_ = false;
    }
}

void TEngineObject::Message(IEngineObject* sender, int msg, int /*param*/) {
    if (msg != EM_SENDER_IS_NO_LONGER_EXISTS || !sender) return;
    try {
        RemoveSubscriber(sender);
    } catch (...) {
        ErrorReport("TEngineObject.Message: RemoveSubscriber AV: self: \"" + ClassName() +
                        "\", sender: " + sender->GetInstance()->ClassName(),
                    "mhl");
    }
}

void TEngineObject::AddMutualSubscriber(IEngineObject* other) {
    AddSubscriber(other);
    if (other) other->AddSubscriber(this);
}

void TEngineObject::RemoveMutualSubscriber(IEngineObject* other) {
    RemoveSubscriber(other);
    if (other) other->RemoveSubscriber(this);
}

bool TEngineObject::IsSubscriber(IEngineObject* subscriber) {
    return subscriber && IndexOfSubscriber(subscriber->GetInstance()) >= 0;
}

void TEngineObject::Free() {
    if (freeing_) return; // freed again from inside its own farewell
    freeing_ = true;
    // A queued object freed directly leaves the queue, so the flush never sees it.
    if (queueSlot_ >= 0 && TEODestroyManager) TEODestroyManager->Unqueue(this);
    try {
        NotifyAllSubscribers(EM_SENDER_IS_NO_LONGER_EXISTS, 0);
    } catch (...) {
        ErrorReport("TEngineObject.Free: NotifyAllSubscribers(EM_SENDER_IS_NO_LONGER_EXISTS) AV: \"" +
                        ClassName() + "\"",
                    "mhl");
    }
    subscribers_.clear();
    subscriberCount_ = 0;
    if (deathWatch_) *deathWatch_ = true;
    UnregisterObject(id_);
    delete this;
}

void TEngineObject::Release() {
    if (freeing_) return; // already going away
    if (inDestroyQueue_) {
        ErrorReport("TEngineObject.Release: already in list:" + IntToHex8(id_) + "_" + ClassName(), "mhl");
        return;
    }
    inDestroyQueue_ = true;
    if (!TEODestroyManager) {
        ErrorReport("TEngineObject.Release: TEODestroyManager destroyed. Unable to Add.:" + IntToHex8(id_) +
                        "_" + ClassName(),
                    "mhl");
        return;
    }
    TEODestroyManager->Add(this);
}

// ---- TEODestroyManagerClass -----------------------------------------------------

TEODestroyManagerClass::~TEODestroyManagerClass() {
    for (TEngineObject* o : queue_)
        if (o) o->queueSlot_ = -1;
}

void TEODestroyManagerClass::Add(TEngineObject* o) {
    if (!o) {
        ErrorReport("TEODestroyManagerClass.Add - _teo does not exist", "mhl");
        return;
    }
    o->queueSlot_ = static_cast<int>(queue_.size());
    queue_.push_back(o);
    log_.push_back(o->DestroyLogName());
}

void TEODestroyManagerClass::Unqueue(TEngineObject* o) {
    auto slot = static_cast<size_t>(o->queueSlot_);
    if (slot < queue_.size() && queue_[slot] == o) queue_[slot] = nullptr;
    o->queueSlot_ = -1;
}

int TEODestroyManagerClass::Flush() {
    if (readIndex_ >= static_cast<int>(queue_.size())) return 0;
    // The count is read again each round: objects queued by these frees go too.
    while (readIndex_ < static_cast<int>(queue_.size())) {
        TEngineObject* o = queue_[static_cast<size_t>(readIndex_)];
        queue_[static_cast<size_t>(readIndex_)] = nullptr;
        ++readIndex_;
        if (!o) continue;
        o->queueSlot_ = -1;
        try {
            o->Free();
        } catch (...) {
            // A failing free must not stop the flush.
        }
    }
    int n = static_cast<int>(queue_.size());
    readIndex_ = 0;
    queue_.clear();
    log_.clear();
    return n;
}

} // namespace vesk
