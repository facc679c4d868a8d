#include "net/allow_list.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QRegularExpression>
#include <QStringList>

namespace {

constexpr std::uint32_t LOOPBACK = 0x7F000000; // 127.0.0.0/8

std::uint32_t MaskOf(int prefix) {
    return prefix == 0 ? 0 : ~std::uint32_t(0) << (32 - prefix);
}

} // namespace

void AllowList::Add(std::uint32_t address, int prefix) {
    const std::uint32_t mask = MaskOf(prefix);
    subnets.push_back({address & mask, mask});
}

bool AllowList::Parse(const QString& text, AllowList& list, QString* error) {
    AllowList parsed;
    const QStringList entries =
        text.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
    for (const QString& entry : entries) {
        const QStringList parts = entry.split(u'/');
        QHostAddress address;
        bool prefixOk = parts.size() == 1;
        const int prefix = parts.size() == 2 ? parts[1].toInt(&prefixOk) : 32;
        if (parts.size() > 2 || !prefixOk || prefix < 0 || prefix > 32 ||
            !address.setAddress(parts[0]) || address.protocol() != QAbstractSocket::IPv4Protocol) {
            if (error != nullptr) {
                *error = entry;
            }
            return false;
        }
        parsed.Add(address.toIPv4Address(), prefix);
    }
    list = parsed;
    return true;
}

AllowList AllowList::OwnSubnets() {
    AllowList list;
    list.Add(LOOPBACK, 8);
    for (const QNetworkInterface& face : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : face.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() == QAbstractSocket::IPv4Protocol && entry.prefixLength() >= 0) {
                list.Add(ip.toIPv4Address(), entry.prefixLength());
            }
        }
    }
    return list;
}

AllowList AllowList::ForSetting(const QString& setting) {
    if (setting.trimmed().isEmpty()) {
        return OwnSubnets();
    }
    AllowList list;
    if (!Parse(setting, list)) {
        list = AllowList();
        list.Add(LOOPBACK, 8);
    }
    return list;
}

bool AllowList::Allows(std::uint32_t address) const {
    for (const Subnet& subnet : subnets) {
        if ((address & subnet.mask) == subnet.base) {
            return true;
        }
    }
    return false;
}

QString AllowList::Text() const {
    QStringList entries;
    for (const Subnet& subnet : subnets) {
        int prefix = 0;
        while (prefix < 32 && (subnet.mask & (std::uint32_t(1) << (31 - prefix))) != 0) {
            ++prefix;
        }
        entries << QHostAddress(subnet.base).toString() + u'/' + QString::number(prefix);
    }
    return entries.join(u' ');
}
