#include "ui/controls/gallery/gallery.h"
#include "ui/controls/ip_addr_ctl.h"

#include <QFormLayout>
#include <memory>

namespace {

std::unique_ptr<QWidget> MakeIpAddressPage() {
    auto owner = std::make_unique<QWidget>();
    QWidget* page = owner.get();
    auto* layout = new QFormLayout(page);

    auto* editable = new CIPAddrCtl(page);
    editable->SetAddress({192, 168, 0, 10});
    layout->addRow(QStringLiteral("Server address"), editable);

    layout->addRow(QStringLiteral("Empty"), new CIPAddrCtl(page));

    auto* readOnly = new CIPAddrCtl(page);
    readOnly->SetAddress({10, 0, 0, 1});
    readOnly->SetReadOnly(true);
    layout->addRow(QStringLiteral("Read-only"), readOnly);

    auto* disabled = new CIPAddrCtl(page);
    disabled->SetAddress({127, 0, 0, 1});
    disabled->setEnabled(false);
    layout->addRow(QStringLiteral("Disabled"), disabled);
    return owner;
}

const GalleryRegistrar registrar("ipaddr", MakeIpAddressPage);

} // namespace
