#pragma once

#include <QString>

// The other machines of a shared queue, as the scheduler sees them. Without
// a network nobody is logged in and every call is trivial.
class MachinePort {
public:
    virtual ~MachinePort() = default;
    virtual bool AnyLoggedIn() const { return false; }
    // The distribution walk over all machines (-1) or one that became free;
    // true when it has dealt with this machine's turn as well (a walk over
    // all machines starts this one's file itself; one that became free gets
    // no local start), false when the scheduler still has to start locally.
    virtual bool DistributeFiles(int /*machineIndex*/) { return false; }
    // The slot of a logged-in client of that name, or -1.
    virtual int FindClient(const QString& /*name*/) const { return -1; }
    virtual QString ClientName(int /*index*/) const { return QString(); }
    // Tells a client to pause (Paused) or resume (Encoding).
    virtual void SendClientState(int /*index*/, int /*state*/) {}
    // Clears the client's enabled mark and tells it to stop.
    virtual void StopClient(int /*index*/) {}
};
