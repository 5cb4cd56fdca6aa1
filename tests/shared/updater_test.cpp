#include "shared/updater.h"

#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <functional>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::Halted;

class Client : public TEngineObject, public IUpdatableInterface {
public:
    std::vector<float> ticks;
    int ends = 0;
    std::function<void(Client*)> onTick;
    void UpdateTick(float stepMs) override {
        ticks.push_back(stepMs);
        if (onTick) onTick(this);
    }
    void UpdateEndTick() override { ++ends; }
};

class NotUpdatable : public TEngineObject {};

TEST(Updater, RoundsAndRemainders) {
    UpdaterClass* u = TEngineObject::New<UpdaterClass>();
    Client* c = TEngineObject::New<Client>();
    u->AddClient(c);
    EXPECT_TRUE(u->HasClient(c));
    EXPECT_TRUE(c->IsSubscriber(u));
    EXPECT_TRUE(u->IsSubscriber(c));
    int rounds = -1;
    EXPECT_EQ(u->Update(45, &rounds), 1);
    EXPECT_EQ(rounds, 2);
    EXPECT_EQ(u->Remainder(), 5);
    EXPECT_EQ(c->ticks, (std::vector<float>{20, 20}));
    EXPECT_EQ(c->ends, 2);
    u->Update(15, &rounds);
    EXPECT_EQ(rounds, 1);
    EXPECT_EQ(u->Remainder(), 0);
    u->Update(10.5f, &rounds); // rounds half to even: 10
    EXPECT_EQ(rounds, 0);
    EXPECT_EQ(u->Remainder(), 10);

    EXPECT_EQ(u->UpdateOnce(33.5f, &rounds), 1);
    EXPECT_EQ(rounds, 1);
    EXPECT_EQ(c->ticks.back(), 33.5f);
    EXPECT_EQ(u->Remainder(), 10);

    // A step of zero runs nothing and carries nothing.
    u->SetStep(0);
    EXPECT_EQ(u->Update(100, &rounds), 1);
    EXPECT_EQ(rounds, 0);
    EXPECT_EQ(u->Remainder(), 0);

    u->RemoveClient(c);
    EXPECT_FALSE(u->HasClient(c));
    EXPECT_FALSE(c->IsSubscriber(u));
    u->RemoveClient(c); // a second time changes nothing
    EXPECT_EQ(u->Update(0), 0);
    c->Free();
    u->Free();
}

TEST(Updater, AClientGoingAwayDuringARound) {
    UpdaterClass* u = TEngineObject::New<UpdaterClass>();
    Client* a = TEngineObject::New<Client>();
    Client* b = TEngineObject::New<Client>();
    Client* c = TEngineObject::New<Client>();
    NotUpdatable* plain = TEngineObject::New<NotUpdatable>();
    for (IEngineObject* x : std::initializer_list<IEngineObject*>{a, b, plain, c}) u->AddClient(x);
    int countDuringRound = -1;
    a->onTick = [&](Client*) {
        if (!b) return;
        b->Free();
        b = nullptr;
        countDuringRound = u->ClientCount();
    };
    int rounds = 0;
    EXPECT_EQ(u->Update(40, &rounds), 3);
    EXPECT_EQ(rounds, 2);
    EXPECT_EQ(countDuringRound, 4); // an empty entry, removed after the round
    EXPECT_EQ(c->ticks.size(), 2u);
    EXPECT_EQ(c->ends, 2);
    a->onTick = nullptr;

    // Freeing the updater lets its clients know.
    u->Free();
    EXPECT_EQ(a->SubscriberCount(), 0);
    EXPECT_EQ(c->SubscriberCount(), 0);
    a->Free();
    c->Free();
    plain->Free();
}

TEST(Updater, AGoingAwayNoticeFromAStrangerIsFatal) {
    ErrorTrap trap;
    UpdaterClass* u = TEngineObject::New<UpdaterClass>();
    NotUpdatable* stranger = TEngineObject::New<NotUpdatable>();
    EXPECT_THROW(u->Message(stranger, EM_SENDER_IS_NO_LONGER_EXISTS, 0), Halted);
    EXPECT_EQ(trap.lastFatal, "clientList.IndexOf(_Sender as IEngineObject)=-1");
    stranger->Free();
    u->Free();
}

} // namespace
} // namespace vesk
