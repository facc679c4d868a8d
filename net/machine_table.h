#pragma once

#include "queue/machine_name.h"
#include "queue/queue_entry.h"

#include <QString>
#include <array>
#include <vector>

// One logged-in (or connected) client machine; its index is its slot.
struct MachineEntry {
    MachineName name; // empty while the slot has no logged-in machine
    bool enabled = false;
    double rate = 0.0; // bytes of source per millisecond, from the stored throughput
};

inline constexpr int MACHINE_SLOTS = 64;
inline constexpr int LOCAL_MACHINE = -1;

// The server's table of client machines, indexed by connection slot.
class MachineTable {
public:
    MachineEntry& At(int index) { return machines[std::size_t(index)]; }
    const MachineEntry& At(int index) const { return machines[std::size_t(index)]; }
    static bool ValidIndex(int index) { return index >= 0 && index < MACHINE_SLOTS; }

    int CountMachines() const;
    // First index whose name equals `name` in any case; -1 for none or an empty name.
    int FindMachineByName(const QString& name) const;
    // Enabled, named machines in slot order plus this machine (LOCAL_MACHINE,
    // when it has a name), fastest first; equal rates keep their order, so
    // this machine comes after every client of its rate.
    std::vector<int> BuildMachineOrder(const QString& ownName, double localRate) const;
    // Every machine forgotten, as when this machine becomes a client.
    void Clear();

    // A connection was accepted into the slot: no name yet, enabled.
    void Connected(int slot);
    // The slot's connection ended: the machine leaves the table.
    void Dropped(int slot);

    enum class LogIn { Unchanged, LoggedIn, NameTaken };
    // A heartbeat with `name` on the slot. The same name again changes
    // nothing; a name that another slot holds is refused, so files, which go
    // by name, can never be confused between two machines. Otherwise the
    // machine is named (CapitalizeName), enabled and given `rateOf(name)`.
    template <typename RateOf> LogIn LogInMachine(int slot, const QString& name, RateOf rateOf);

private:
    std::array<MachineEntry, MACHINE_SLOTS> machines{};
};

template <typename RateOf>
MachineTable::LogIn MachineTable::LogInMachine(int slot, const QString& name, RateOf rateOf) {
    MachineEntry& machine = At(slot);
    if (machine.name.str().compare(name, Qt::CaseInsensitive) == 0) {
        return LogIn::Unchanged;
    }
    const int holder = FindMachineByName(name);
    if (holder >= 0 && holder != slot) {
        return LogIn::NameTaken;
    }
    machine.name = CapitalizeName(name);
    machine.enabled = true;
    machine.rate = rateOf(machine.name.str());
    return LogIn::LoggedIn;
}
