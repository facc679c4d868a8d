#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// The machines allowed to connect to this server: IPv4 addresses and subnets
// ("192.168.1.7", "192.168.1.0/24"), written separated by blanks, commas or
// semicolons. An empty setting means this machine's own subnets (those of
// its interfaces) and loopback.
class AllowList {
public:
    // False, with `error` naming the first entry that is neither, for a
    // text that is not such a list.
    static bool Parse(const QString& text, AllowList& list, QString* error = nullptr);
    static AllowList OwnSubnets();
    // The list a setting stands for; a setting that does not parse allows
    // loopback only.
    static AllowList ForSetting(const QString& setting);

    bool Allows(std::uint32_t address) const; // host byte order
    // The entries as subnets, "a.b.c.d/n", separated by blanks.
    QString Text() const;

private:
    struct Subnet {
        std::uint32_t base = 0;
        std::uint32_t mask = 0;
    };
    void Add(std::uint32_t address, int prefix);

    std::vector<Subnet> subnets;
};
