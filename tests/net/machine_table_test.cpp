#include "net/machine_table.h"

#include <gtest/gtest.h>

namespace {

double NoRate(const QString&) {
    return 0.0;
}

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
}

TEST(MachineTable, LogInNamesAndRefusesATakenName) {
    MachineTable table;
    table.Connected(2);
    EXPECT_EQ(table.CountMachines(), 0);
    EXPECT_EQ(table.LogInMachine(
                  2, "BIGPC",
                  [](const QString& name) { return name == QStringLiteral("Bigpc") ? 2.5 : -1.0; }),
              MachineTable::LogIn::LoggedIn);
    EXPECT_EQ(table.At(2).name.str(), QStringLiteral("Bigpc"));
    EXPECT_EQ(table.At(2).rate, 2.5);
    EXPECT_EQ(table.FindMachineByName("bigPC"), 2);
    EXPECT_EQ(table.FindMachineByName(""), -1);

    // The same name again on the same connection changes nothing, not even a cleared mark.
    table.At(2).enabled = false;
    EXPECT_EQ(table.LogInMachine(2, "bigpc", NoRate), MachineTable::LogIn::Unchanged);
    EXPECT_FALSE(table.At(2).enabled);
    EXPECT_EQ(table.At(2).rate, 2.5);

    table.Connected(5);
    EXPECT_EQ(table.LogInMachine(5, "BigPC", NoRate), MachineTable::LogIn::NameTaken);
    EXPECT_TRUE(table.At(5).name.isEmpty());

    table.Dropped(2);
    EXPECT_EQ(table.FindMachineByName("Bigpc"), -1);
    EXPECT_EQ(table.LogInMachine(5, "BigPC", NoRate), MachineTable::LogIn::LoggedIn);
}
