#pragma once
// A fixed-step updater: the time given to it is cut into whole steps, each of
// which ticks every client; what is left over carries to the next update.
#include "shared/engine_object.h"

#include <vector>

namespace vesk {

// What an updater's client does each step.
class IUpdatableInterface {
public:
    virtual void UpdateTick(float stepMs) = 0;
    // After every client has had its tick of the round.
    virtual void UpdateEndTick() = 0;

protected:
    ~IUpdatableInterface() = default;
};

class UpdaterClass : public TEngineObject {
public:
    UpdaterClass() = default;

    // Appends the client and subscribes the two to each other, so either side
    // hears of the other's end.
    void AddClient(IEngineObject* client);
    void RemoveClient(IEngineObject* client);
    bool HasClient(IEngineObject* client) const;

    // Runs as many whole steps as dt (ms, rounded) and the carried remainder
    // allow; returns the client count and, when asked, the rounds run.
    int Update(float dtMs, int* rounds = nullptr);
    // One round with dt as the step.
    int UpdateOnce(float dtMs, int* rounds = nullptr);
    void TickClients(float stepMs);
    void EndTickClients();
    // Drops the entries of clients that went away.
    void PackClients();

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

    int Step() const { return step_; }
    void SetStep(int stepMs) { step_ = stepMs; }
    int Remainder() const { return remainder_; }
    int ClientCount() const { return static_cast<int>(clients_.size()); }

private:
    struct Client {
        TEngineObject* object = nullptr;
        IUpdatableInterface* updatable = nullptr; // null when the client does not answer it
    };
    int IndexOf(const TEngineObject* o) const;

    std::vector<Client> clients_;
    int step_ = 20;
    int remainder_ = 0;
    bool pack_ = false;
};

} // namespace vesk
