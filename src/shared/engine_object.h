#pragma once
// Engine objects: the base of engine and game classes. Objects watch each
// other through subscriber lists (no reference counting) and are destroyed
// either at once (Free) or at the next flush of the destroy queue (Release).
// Every object has a run-unique positive id; scripts see objects only as the
// decimal text of that id.
#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace vesk {

class TEngineObject;

// The class a pointer to a member function belongs to: for an inherited
// function, the base that declares it.
template <class M> struct MemberClassOf;
template <class C, class R, class... A> struct MemberClassOf<R (C::*)(A...)> { using type = C; };
template <class M> using MemberClass = typename MemberClassOf<M>::type;

// Messages are plain integers with one integer parameter; code 1 says the
// sender is being freed. Other codes belong to the classes that send them.
inline constexpr int EM_SENDER_IS_NO_LONGER_EXISTS = 1;

// The interface through which objects hold and notify each other.
class IEngineObject {
public:
    virtual void Message(IEngineObject* sender, int msg, int param) = 0;
    virtual void AddSubscriber(IEngineObject* subscriber) = 0;
    virtual void RemoveSubscriber(IEngineObject* subscriber) = 0;
    virtual void NotifyAllSubscribers(int msg, int param) = 0;
    virtual TEngineObject* GetInstance() = 0;
    virtual void AddMutualSubscriber(IEngineObject* other) = 0;
    virtual void RemoveMutualSubscriber(IEngineObject* other) = 0;
    virtual bool IsSubscriber(IEngineObject* subscriber) = 0;
    virtual void Release() = 0;

protected:
    ~IEngineObject() = default; // never deleted through the interface
};

// a must not be null; false when b is null.
bool IsSameEngineObject(IEngineObject* a, IEngineObject* b);

// The class name of a C++ type as the engine reports it (no namespaces).
std::string ClassNameOfType(const std::type_info& type);
template <class T> std::string ClassNameOf() {
    return ClassNameOfType(typeid(T));
}

class TEngineObject : public IEngineObject {
public:
    TEngineObject();
    TEngineObject(const TEngineObject&) = delete;
    TEngineObject& operator=(const TEngineObject&) = delete;

    // The engine's way to make an object; it lives until Free or a flush after Release.
    // A base may check, at compile time, each class made from it.
    template <class T, class... A> static T* New(A&&... args) {
        if constexpr (requires { T::template CheckMadeClass<T>(); }) T::template CheckMadeClass<T>();
        return new T(std::forward<A>(args)...);
    }

    // Immediate destruction: every subscriber hears message 1 first. Overrides
    // do their own clean-up and then call TEngineObject::Free.
    virtual void Free();
    // Deferred destruction at the next flush of the destroy queue.
    void Release() override;

    void Message(IEngineObject* sender, int msg, int param) override;
    void AddSubscriber(IEngineObject* subscriber) override;
    void RemoveSubscriber(IEngineObject* subscriber) override;
    void NotifyAllSubscribers(int msg, int param) override;
    TEngineObject* GetInstance() override { return this; }
    void AddMutualSubscriber(IEngineObject* other) override;
    void RemoveMutualSubscriber(IEngineObject* other) override;
    bool IsSubscriber(IEngineObject* subscriber) override;

    // The interface of another kind this object implements, or nullptr.
    template <class I> I* Query() { return dynamic_cast<I*>(this); }

    // Iteration guard of the subscriber list.
    void BeginUseList();
    void EndUseList();
    // Deletes every empty entry of the subscriber list.
    void CompactSubscribers();

    virtual std::string ClassName() const;
    // The destroy queue's log line for this object.
    virtual std::string DestroyLogName() const { return ClassName(); }

    int32_t GetId() const { return id_; }
    // The object's "hex": the decimal text of its id.
    std::string GetHex() const;
    bool InDestroyQueue() const { return inDestroyQueue_; }

    int SubscriberCount() const { return subscriberCount_; }
    // Entries of the subscriber list, holes included.
    int SubscriberListCount() const { return static_cast<int>(subscribers_.size()); }
    bool NeedsCompaction() const { return needsCompaction_; }
    int ListUsersCount() const { return listUsersCount_; }

protected:
    virtual ~TEngineObject();

private:
    friend class TEODestroyManagerClass;

    struct Entry {
        TEngineObject* object = nullptr;
        int32_t id = 0; // tells a live subscriber from a freed one
    };
    int IndexOfSubscriber(const TEngineObject* o) const;
    int FirstHole() const;

    int32_t id_ = 0;
    bool needsCompaction_ = false;
    int listUsersCount_ = 0;
    int subscriberCount_ = 0;
    std::vector<Entry> subscribers_;
    bool inDestroyQueue_ = false;
    bool freeing_ = false;
    int queueSlot_ = -1;         // index in the destroy queue while queued
    bool* deathWatch_ = nullptr; // set when the object dies inside its own notification round
};

// Live objects by id; nullptr for an id that is unknown or already freed.
TEngineObject* FindEngineObjectById(int32_t id);
template <class T> T* FindEngineObjectAs(int32_t id) {
    return dynamic_cast<T*>(FindEngineObjectById(id));
}
size_t LiveEngineObjectCount();
// An object from its "hex" text; a bad text or a dead id is a fatal report
// like any bad number, and gives nullptr.
TEngineObject* EngineObjectFromHex(const std::string& hex, const std::string& context);

// The deferred-destruction queue, flushed once per frame and between the
// steps of the shut-down.
class TEODestroyManagerClass {
public:
    TEODestroyManagerClass() = default;
    ~TEODestroyManagerClass();
    TEODestroyManagerClass(const TEODestroyManagerClass&) = delete;
    TEODestroyManagerClass& operator=(const TEODestroyManagerClass&) = delete;

    void Add(TEngineObject* o);
    // Frees the queued objects, including those queued by the frees; returns
    // the number of entries handled.
    int Flush();

    int QueueCount() const { return static_cast<int>(queue_.size()); }
    const std::vector<std::string>& Log() const { return log_; }

private:
    friend class TEngineObject;
    void Unqueue(TEngineObject* o);

    std::vector<TEngineObject*> queue_;
    std::vector<std::string> log_;
    int readIndex_ = 0;
};

// Made at start, freed at the very end of the shut-down (reset()).
extern std::unique_ptr<TEODestroyManagerClass> TEODestroyManager;

} // namespace vesk
