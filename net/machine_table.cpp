#include "net/machine_table.h"

#include <utility>

int MachineTable::CountMachines() const {
    int count = 0;
    for (const MachineEntry& machine : machines) {
        count += machine.name.isEmpty() ? 0 : 1;
    }
    return count;
}

int MachineTable::FindMachineByName(const QString& name) const {
    if (name.isEmpty()) {
        return -1;
    }
    for (int i = 0; i < MACHINE_SLOTS; ++i) {
        if (machines[std::size_t(i)].name.str().compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

std::vector<int> MachineTable::BuildMachineOrder(const QString& ownName, double localRate) const {
    std::vector<std::pair<int, double>> order;
    for (int i = 0; i < MACHINE_SLOTS; ++i) {
        const MachineEntry& machine = machines[std::size_t(i)];
        if (machine.enabled && !machine.name.isEmpty()) {
            order.emplace_back(i, machine.rate);
        }
    }
    if (!ownName.isEmpty()) {
        order.emplace_back(LOCAL_MACHINE, localRate);
    }
    // Neighbours change places only when the first is strictly slower.
    for (bool exchanged = true; exchanged;) {
        exchanged = false;
        for (std::size_t i = 0; i + 1 < order.size(); ++i) {
            if (order[i].second < order[i + 1].second) {
                std::swap(order[i], order[i + 1]);
                exchanged = true;
            }
        }
    }
    std::vector<int> indices;
    indices.reserve(order.size());
    for (const auto& [index, rate] : order) {
        indices.push_back(index);
    }
    return indices;
}

void MachineTable::Clear() {
    for (MachineEntry& machine : machines) {
        machine = MachineEntry();
    }
}

void MachineTable::Connected(int slot) {
    if (ValidIndex(slot)) {
        At(slot) = MachineEntry();
        At(slot).enabled = true;
    }
}

void MachineTable::Dropped(int slot) {
    if (ValidIndex(slot)) {
        At(slot) = MachineEntry();
    }
}
