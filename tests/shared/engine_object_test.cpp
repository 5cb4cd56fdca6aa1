#include "shared/engine_object.h"

#include "shared/helpers.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::Halted;

// Records what it hears; an optional hook runs before the base handling.
class Watcher : public TEngineObject {
public:
    std::vector<int> heard;
    std::function<void(Watcher* self, IEngineObject* sender, int msg)> onMessage;
    std::function<void(Watcher* self)> onFree;
    int* freedCounter = nullptr;

    void Message(IEngineObject* sender, int msg, int param) override {
        heard.push_back(msg);
        if (onMessage) onMessage(this, sender, msg);
        TEngineObject::Message(sender, msg, param);
    }
    void Free() override {
        if (onFree) onFree(this);
        if (freedCounter) ++*freedCounter;
        TEngineObject::Free();
    }
};

class NamedButton : public TEngineObject {
public:
    std::string name = "ok";
    std::string DestroyLogName() const override { return ClassName() + " " + name; }
};

class EngineObjectTest : public ::testing::Test {
protected:
    void TearDown() override {
        TEODestroyManager->Flush();
        EXPECT_EQ(LiveEngineObjectCount(), liveBefore);
    }
    size_t liveBefore = LiveEngineObjectCount();
};

TEST_F(EngineObjectTest, IdsAreUniqueAndDeadIdsAreUnknown) {
    ErrorTrap trap;
    Watcher* a = TEngineObject::New<Watcher>();
    Watcher* b = TEngineObject::New<Watcher>();
    EXPECT_GT(a->GetId(), 0);
    EXPECT_GT(b->GetId(), a->GetId());
    EXPECT_EQ(FindEngineObjectById(a->GetId()), a);
    EXPECT_EQ(FindEngineObjectAs<Watcher>(b->GetId()), b);
    EXPECT_EQ(FindEngineObjectAs<NamedButton>(b->GetId()), nullptr);
    EXPECT_EQ(a->GetHex(), IntToStr32(a->GetId()));
    EXPECT_EQ(EngineObjectFromHex(a->GetHex(), "ctx"), a);
    EXPECT_EQ(a->ClassName(), "Watcher");

    int32_t deadId = a->GetId();
    std::string deadHex = a->GetHex();
    a->Free();
    EXPECT_EQ(FindEngineObjectById(deadId), nullptr);
    Watcher* c = TEngineObject::New<Watcher>();
    EXPECT_NE(c->GetId(), deadId); // never reused
    EXPECT_THROW(EngineObjectFromHex(deadHex, "marker"), Halted);
    EXPECT_EQ(trap.lastFatal, "Exception kws2i: _str=" + deadHex + ": marker");
    EXPECT_THROW(EngineObjectFromHex("12x", "marker"), Halted);
    EXPECT_EQ(trap.lastFatal, "Exception kws2i: _str=12x: marker");
    EXPECT_EQ(FindEngineObjectById(0), nullptr);
    EXPECT_EQ(FindEngineObjectById(-5), nullptr);
    b->Free();
    c->Free();
}

TEST_F(EngineObjectTest, SubscriberRemovingItselfDuringARound) {
    Watcher* owner = TEngineObject::New<Watcher>();
    Watcher* w[3];
    for (auto*& x : w) {
        x = TEngineObject::New<Watcher>();
        owner->AddSubscriber(x);
    }
    int listDuringRound = -1;
    w[1]->onMessage = [&](Watcher* self, IEngineObject* sender, int msg) {
        if (msg != 7) return;
        sender->RemoveSubscriber(self);
        listDuringRound = owner->SubscriberListCount();
    };
    owner->NotifyAllSubscribers(7, 0);
    for (auto* x : w) EXPECT_EQ(x->heard, std::vector<int>{7});
    EXPECT_EQ(listDuringRound, 3); // a hole, not a shift
    EXPECT_EQ(owner->SubscriberListCount(), 2);
    EXPECT_EQ(owner->SubscriberCount(), 2);
    EXPECT_FALSE(owner->NeedsCompaction());
    EXPECT_EQ(owner->ListUsersCount(), 0);
    EXPECT_FALSE(owner->IsSubscriber(w[1]));

    // Subscribers added during a round are called from the next round on.
    Watcher* late = TEngineObject::New<Watcher>();
    w[0]->onMessage = [&](Watcher*, IEngineObject* sender, int msg) {
        if (msg == 8) sender->AddSubscriber(late);
    };
    owner->NotifyAllSubscribers(8, 0);
    EXPECT_TRUE(late->heard.empty());
    owner->NotifyAllSubscribers(9, 0);
    EXPECT_EQ(late->heard, std::vector<int>{9});

    for (auto* x : w) x->Free();
    late->Free();
    owner->Free();
}

TEST_F(EngineObjectTest, FreeingOneOfThreeMutualSubscribers) {
    Watcher* a = TEngineObject::New<Watcher>();
    Watcher* b = TEngineObject::New<Watcher>();
    Watcher* c = TEngineObject::New<Watcher>();
    a->AddMutualSubscriber(b);
    a->AddMutualSubscriber(c);
    b->AddMutualSubscriber(c);
    EXPECT_TRUE(IsSameEngineObject(a, a->GetInstance()));
    EXPECT_FALSE(IsSameEngineObject(a, nullptr));
    a->Free();
    EXPECT_EQ(b->heard, std::vector<int>{EM_SENDER_IS_NO_LONGER_EXISTS});
    EXPECT_EQ(b->SubscriberCount(), 1);
    EXPECT_EQ(c->SubscriberCount(), 1);
    EXPECT_TRUE(b->IsSubscriber(c));
    EXPECT_TRUE(c->IsSubscriber(b));
    // The holes A left go once enough pile up or at the next round's end.
    b->NotifyAllSubscribers(5, 0);
    EXPECT_EQ(b->SubscriberListCount(), 1);
    EXPECT_EQ(c->heard, (std::vector<int>{1, 5}));
    b->RemoveMutualSubscriber(c);
    EXPECT_EQ(b->SubscriberCount(), 0);
    EXPECT_EQ(c->SubscriberCount(), 0);
    b->Free();
    c->Free();
}

TEST_F(EngineObjectTest, CompactionAfterMoreThanFiftyHoles) {
    Watcher* owner = TEngineObject::New<Watcher>();
    std::vector<Watcher*> subs;
    for (int i = 0; i < 60; ++i) {
        subs.push_back(TEngineObject::New<Watcher>());
        owner->AddSubscriber(subs.back());
    }
    for (int i = 0; i < 50; ++i) owner->RemoveSubscriber(subs[static_cast<size_t>(i)]);
    EXPECT_EQ(owner->SubscriberListCount(), 60);
    EXPECT_TRUE(owner->NeedsCompaction());
    owner->RemoveSubscriber(subs[50]); // the 51st hole
    EXPECT_EQ(owner->SubscriberListCount(), 9);
    EXPECT_FALSE(owner->NeedsCompaction());

    // Removals inside a round wait for its end, however many.
    for (int i = 0; i < 60; ++i) owner->AddSubscriber(subs[static_cast<size_t>(i % 51)]);
    subs[0]->onMessage = [&](Watcher*, IEngineObject*, int msg) {
        if (msg != 4) return;
        for (int i = 0; i < 60; ++i) owner->RemoveSubscriber(subs[static_cast<size_t>(i % 51)]);
        EXPECT_EQ(owner->SubscriberListCount(), 69);
    };
    owner->NotifyAllSubscribers(4, 0);
    EXPECT_EQ(owner->SubscriberListCount(), 9);
    EXPECT_EQ(owner->SubscriberCount(), 9);
    for (auto* s : subs) s->Free();
    owner->Free();
}

TEST_F(EngineObjectTest, HolesAreReusedExceptTheFirstEntry) {
    Watcher* owner = TEngineObject::New<Watcher>();
    Watcher* s[4];
    for (auto*& x : s) x = TEngineObject::New<Watcher>();
    owner->AddSubscriber(s[0]);
    owner->AddSubscriber(s[1]);
    owner->AddSubscriber(s[2]);
    owner->RemoveSubscriber(s[1]);
    owner->AddSubscriber(s[3]); // takes the hole at 1
    EXPECT_EQ(owner->SubscriberListCount(), 3);
    owner->RemoveSubscriber(s[0]);
    owner->AddSubscriber(s[1]); // a hole at 0 is left alone
    EXPECT_EQ(owner->SubscriberListCount(), 4);
    EXPECT_EQ(owner->SubscriberCount(), 3);
    // No duplicate check: a second add gives a second entry.
    owner->AddSubscriber(s[1]);
    EXPECT_EQ(owner->SubscriberCount(), 4);
    for (auto* x : s) x->Free();
    owner->Free();
}

TEST_F(EngineObjectTest, RemovingANonMemberIsHarmless) {
    ErrorTrap trap;
    Watcher* owner = TEngineObject::New<Watcher>();
    Watcher* stranger = TEngineObject::New<Watcher>();
    Watcher* member = TEngineObject::New<Watcher>();
    owner->AddSubscriber(member);
    owner->RemoveSubscriber(stranger);
    owner->RemoveMutualSubscriber(stranger);
    // Message 1 from an object that never subscribed.
    owner->Message(stranger, EM_SENDER_IS_NO_LONGER_EXISTS, 0);
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_TRUE(trap.boxes.empty());
    EXPECT_EQ(owner->SubscriberCount(), 1);
    EXPECT_FALSE(owner->NeedsCompaction());
    stranger->Free();
    member->Free();
    owner->Free();
}

TEST_F(EngineObjectTest, NullSubscribersHaltWithAMessageBox) {
    ErrorTrap trap;
    Watcher* owner = TEngineObject::New<Watcher>();
    EXPECT_THROW(owner->AddSubscriber(nullptr), Halted);
    EXPECT_THROW(owner->RemoveSubscriber(nullptr), Halted);
    ASSERT_EQ(trap.boxes.size(), 2u);
    EXPECT_EQ(trap.boxes[0].text, "TEngineObject.AddSubscriber: _Subscriber=nil: INVALID SUBSCRIBER");
    EXPECT_EQ(trap.boxes[0].flags, "Error");
    EXPECT_EQ(trap.boxes[1].text, "TEngineObject.RemoveSubscriber: _Subscriber=nil");
    // Ending a list use that never began: a box, and execution goes on.
    owner->EndUseList();
    ASSERT_EQ(trap.boxes.size(), 3u);
    EXPECT_EQ(trap.boxes[2].text, "TEngineObject.EndUseList: ListUsersCount<0");
    owner->BeginUseList();
    owner->Free();
}

TEST_F(EngineObjectTest, AFailingSubscriberIsLoggedAndTheRoundGoesOn) {
    ErrorTrap trap;
    Watcher* owner = TEngineObject::New<Watcher>();
    Watcher* bad = TEngineObject::New<Watcher>();
    Watcher* good = TEngineObject::New<Watcher>();
    owner->AddSubscriber(bad);
    owner->AddSubscriber(good);
    bad->onMessage = [](Watcher*, IEngineObject*, int) { throw std::runtime_error("boom"); };
    owner->NotifyAllSubscribers(6, 0);
    EXPECT_EQ(good->heard, std::vector<int>{6});
    ASSERT_EQ(trap.reports.size(), 1u);
    EXPECT_EQ(trap.reports[0].text, "TEngineObject.NotifyAllSubscribers AV: (feo as IEngineObject).Message: "
                                    "self.classname: Watcher, feo.classname: Watcher");
    EXPECT_EQ(trap.reports[0].flags, "");
    bad->onMessage = nullptr;
    bad->Free();
    good->Free();
    owner->Free();
}

TEST_F(EngineObjectTest, FreedObjectsNeverReceiveMessages) {
    // A one-way subscriber freed without telling the owner, and an owner freed
    // by one of its own subscribers in the middle of a round.
    Watcher* owner = TEngineObject::New<Watcher>();
    Watcher* gone = TEngineObject::New<Watcher>();
    Watcher* killer = TEngineObject::New<Watcher>();
    Watcher* after = TEngineObject::New<Watcher>();
    owner->AddSubscriber(gone);
    owner->AddSubscriber(killer);
    owner->AddSubscriber(after);
    gone->Free();
    owner->NotifyAllSubscribers(2, 0);
    EXPECT_EQ(owner->SubscriberCount(), 2);
    EXPECT_EQ(after->heard, std::vector<int>{2});

    killer->onMessage = [](Watcher*, IEngineObject* sender, int msg) {
        if (msg == 3) sender->GetInstance()->Free();
    };
    owner->NotifyAllSubscribers(3, 0); // the round stops where the owner died
    EXPECT_EQ(after->heard, (std::vector<int>{2, 1}));
    killer->Free();
    after->Free();
}

TEST_F(EngineObjectTest, ReleaseTwiceIsFatal) {
    ErrorTrap trap;
    Watcher* o = TEngineObject::New<Watcher>();
    o->Release();
    EXPECT_TRUE(o->InDestroyQueue());
    EXPECT_THROW(o->Release(), Halted);
    EXPECT_EQ(trap.lastFatal, "TEngineObject.Release: already in list:" + IntToHex8(o->GetId()) + "_Watcher");
    EXPECT_EQ(TEODestroyManager->QueueCount(), 1);
    EXPECT_EQ(TEODestroyManager->Flush(), 1);
}

TEST_F(EngineObjectTest, FlushFreesWhatTheFreesQueue) {
    ErrorTrap trap;
    EXPECT_EQ(TEODestroyManager->Flush(), 0);
    int freed = 0;
    Watcher* parent = TEngineObject::New<Watcher>();
    Watcher* kids[2];
    for (auto*& k : kids) {
        k = TEngineObject::New<Watcher>();
        k->freedCounter = &freed;
    }
    parent->freedCounter = &freed;
    parent->onFree = [&](Watcher*) {
        for (auto* k : kids) k->Release();
    };
    parent->Release();
    EXPECT_EQ(TEODestroyManager->Log(), std::vector<std::string>{"Watcher"});
    EXPECT_EQ(TEODestroyManager->Flush(), 3);
    EXPECT_EQ(freed, 3);
    EXPECT_EQ(TEODestroyManager->QueueCount(), 0);
    EXPECT_TRUE(TEODestroyManager->Log().empty());

    for (int i = 0; i < 5; ++i) TEngineObject::New<Watcher>()->Release();
    EXPECT_EQ(TEODestroyManager->Flush(), 5);
    NamedButton* button = TEngineObject::New<NamedButton>();
    button->Release();
    EXPECT_EQ(TEODestroyManager->Log(), std::vector<std::string>{"NamedButton ok"});
    EXPECT_EQ(TEODestroyManager->Flush(), 1);
    EXPECT_EQ(TEODestroyManager->Flush(), 0);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(EngineObjectTest, AQueuedObjectFreedDirectlyIsNotFreedAgain) {
    ErrorTrap trap;
    int freed = 0;
    Watcher* a = TEngineObject::New<Watcher>();
    Watcher* b = TEngineObject::New<Watcher>();
    a->freedCounter = b->freedCounter = &freed;
    a->Release();
    b->Release();
    a->Free(); // leaves the queue
    // b frees a queued sibling during the flush.
    Watcher* c = TEngineObject::New<Watcher>();
    c->freedCounter = &freed;
    c->Release();
    b->onFree = [&](Watcher*) { c->Free(); };
    EXPECT_EQ(TEODestroyManager->Flush(), 3);
    EXPECT_EQ(freed, 3);
    EXPECT_EQ(trap.reports.size(), 0u);

    // A subscriber releasing the dying sender while it says goodbye.
    Watcher* sender = TEngineObject::New<Watcher>();
    Watcher* sub = TEngineObject::New<Watcher>();
    sender->AddSubscriber(sub);
    sub->onMessage = [](Watcher*, IEngineObject* s, int msg) {
        if (msg == EM_SENDER_IS_NO_LONGER_EXISTS) s->Release();
    };
    sender->Free();
    EXPECT_EQ(TEODestroyManager->QueueCount(), 0);
    sub->Free();
}

TEST_F(EngineObjectTest, ReleaseWithoutTheDestroyManagerIsFatal) {
    ErrorTrap trap;
    Watcher* o = TEngineObject::New<Watcher>();
    auto saved = std::move(TEODestroyManager);
    EXPECT_THROW(o->Release(), Halted);
    TEODestroyManager = std::move(saved);
    EXPECT_EQ(trap.lastFatal, "TEngineObject.Release: TEODestroyManager destroyed. Unable to Add.:" +
                                  IntToHex8(o->GetId()) + "_Watcher");
    EXPECT_THROW(TEODestroyManager->Add(nullptr), Halted);
    EXPECT_EQ(trap.lastFatal, "TEODestroyManagerClass.Add - _teo does not exist");
    o->Free();
}

} // namespace
} // namespace vesk
