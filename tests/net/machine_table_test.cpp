#include "net/machine_table.h"

#include <gtest/gtest.h>

namespace {

void LogIn(MachineTable& table, int slot, const QString& name, double rate) {
    table.Connected(slot);
    ASSERT_EQ(table.LogInMachine(slot, name, [rate](const QString&) { return rate; }),
              MachineTable::LogIn::LoggedIn);
}

} // namespace

TEST(MachineTable, OrderIsFastestFirstWithThisMachineLastAmongEquals) {
    MachineTable table;
    LogIn(table, 3, "slow", 3.0);
    LogIn(table, 7, "fast", 5.0);
    EXPECT_EQ(table.BuildMachineOrder("Own", 4.0), (std::vector<int>{7, LOCAL_MACHINE, 3}));
    LogIn(table, 9, "same", 4.0);
    LogIn(table, 1, "also", 4.0);
    EXPECT_EQ(table.BuildMachineOrder("Own", 4.0), (std::vector<int>{7, 1, 9, LOCAL_MACHINE, 3}));
    // Disabled or unnamed machines, and a nameless own machine, take no part.
    table.At(1).enabled = false;
    table.Connected(12);
    EXPECT_EQ(table.BuildMachineOrder(QString(), 4.0), (std::vector<int>{7, 9, 3}));
    EXPECT_EQ(table.CountMachines(), 4);
    EXPECT_EQ(table.FindMachineByName(""), -1); // never an unnamed slot
    // The same name again changes nothing, not even the rate.
    EXPECT_EQ(table.LogInMachine(3, "SLOW", [](const QString&) { return 9.0; }),
              MachineTable::LogIn::Unchanged);
    EXPECT_EQ(table.BuildMachineOrder(QString(), 4.0), (std::vector<int>{7, 9, 3}));
}
