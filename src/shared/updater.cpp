#include "shared/updater.h"

#include "shared/errors.h"

#include <cmath>

namespace vesk {

int UpdaterClass::IndexOf(const TEngineObject* o) const {
    for (size_t i = 0; i < clients_.size(); ++i)
        if (clients_[i].object == o) return static_cast<int>(i);
    return -1;
}

void UpdaterClass::AddClient(IEngineObject* client) {
    if (!client) return;
    TEngineObject* o = client->GetInstance();
    clients_.push_back({o, o->Query<IUpdatableInterface>()});
    o->AddMutualSubscriber(this);
}

void UpdaterClass::RemoveClient(IEngineObject* client) {
    if (!client) return;
    int i = IndexOf(client->GetInstance());
    if (i < 0) return;
    // An empty entry rather than a shift, so a round in progress skips no one.
    clients_[static_cast<size_t>(i)] = {};
    pack_ = true;
    client->RemoveMutualSubscriber(this);
}

bool UpdaterClass::HasClient(IEngineObject* client) const {
    return client && IndexOf(client->GetInstance()) >= 0;
}

void UpdaterClass::TickClients(float stepMs) {
    // By index: a client may go away (leaving an empty entry) or add others.
    for (size_t i = 0; i < clients_.size(); ++i)
        if (IUpdatableInterface* u = clients_[i].updatable) u->UpdateTick(stepMs);
}

void UpdaterClass::EndTickClients() {
    for (size_t i = 0; i < clients_.size(); ++i)
        if (IUpdatableInterface* u = clients_[i].updatable) u->UpdateEndTick();
}

void UpdaterClass::PackClients() {
    std::erase_if(clients_, [](const Client& c) { return c.object == nullptr; });
    pack_ = false;
}

int UpdaterClass::Update(float dtMs, int* rounds) {
    int total = static_cast<int>(std::nearbyint(dtMs)) + remainder_;
    int n = 0;
    if (step_ > 0) {
        n = total / step_;
        remainder_ = total % step_;
    } else {
        remainder_ = 0; // no step: nothing to run and nothing to carry
    }
    for (int i = 0; i < n; ++i) {
        TickClients(static_cast<float>(step_));
        EndTickClients();
    }
    if (pack_) PackClients();
    if (rounds) *rounds = n > 0 ? n : 0;
    return ClientCount();
}

int UpdaterClass::UpdateOnce(float dtMs, int* rounds) {
    TickClients(dtMs);
    EndTickClients();
    if (pack_) PackClients();
    if (rounds) *rounds = 1;
    return ClientCount();
}

void UpdaterClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        int i = IndexOf(sender->GetInstance());
        if (i < 0) {
            ErrorReport("clientList.IndexOf(_Sender as IEngineObject)=-1", "mhl");
        } else {
            clients_[static_cast<size_t>(i)] = {};
            pack_ = true;
        }
    }
    TEngineObject::Message(sender, msg, param);
}

void UpdaterClass::Free() {
    clients_.clear();
    TEngineObject::Free();
}

} // namespace vesk
