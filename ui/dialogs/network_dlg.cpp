#include "ui/dialogs/network_dlg.h"

#include "net/allow_list.h"
#include "ui/controls/ip_addr_ctl.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int ITEM_DATA_ROLE = Qt::UserRole;

unsigned LeadingDigits(const QString& text) {
    unsigned value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') {
            break;
        }
        value = value * 10 + unsigned(c.unicode() - u'0');
        value &= 0xFFFFFFu; // only the low bits survive anyway
    }
    return value;
}

} // namespace

std::array<std::uint8_t, 4> ParseServerAddress(const QString& serverIp) {
    std::array<std::uint8_t, 4> bytes{};
    const QStringList pieces = serverIp.left(SERVER_IP_LENGTH).split(u'.');
    for (int i = 0; i < 4 && i < pieces.size(); ++i) {
        bytes[std::size_t(i)] = std::uint8_t(LeadingDigits(pieces[i]) & 0xFFu);
    }
    return bytes;
}

CNetworkDlg::CNetworkDlg(EncoderSettings& editedSettings, QWidget* parent)
    : QDialog(parent), settings(editedSettings),
      clientBox(new QCheckBox(
          QStringLiteral("Be a client available to encode files for the server"), this)),
      address(new CIPAddrCtl(this)), list(new QListWidget(this)), ownNameLabel(new QLabel(this)),
      ownAddressLabel(new QLabel(this)), allowed(new QLineEdit(this)),
      allowedProblem(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Network"));
    clientBox->setObjectName(QStringLiteral("1022"));
    address->setObjectName(QStringLiteral("1037"));
    list->setObjectName(QStringLiteral("1024"));
    ownNameLabel->setObjectName(QStringLiteral("1035"));
    ownAddressLabel->setObjectName(QStringLiteral("1036"));
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    allowed->setObjectName(QStringLiteral("allowed"));
    allowed->setMaxLength(ALLOWED_MACHINES_LENGTH);
    allowed->setToolTip(QStringLiteral("Addresses and subnets, such as 192.168.1.0/24 10.0.0.7; "
                                       "empty: this machine's own subnets"));
    allowedProblem->setWordWrap(true);
    allowedProblem->hide();

    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(new QLabel(QStringLiteral("IP Address of server:"), this));
    serverRow->addWidget(address, 1);

    auto* facts = new QGridLayout;
    auto* nameCaption = new QLabel(QStringLiteral("Computer Name:"), this);
    auto* addressCaption = new QLabel(QStringLiteral("IP Address:"), this);
    nameCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    addressCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    facts->addWidget(nameCaption, 0, 0);
    facts->addWidget(ownNameLabel, 0, 1);
    facts->addWidget(addressCaption, 1, 0);
    facts->addWidget(ownAddressLabel, 1, 1);
    facts->setColumnStretch(1, 1);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CNetworkDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNetworkDlg::reject);
    connect(clientBox, &QCheckBox::toggled, this, &CNetworkDlg::OnClientCheck);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(clientBox);
    layout->addLayout(serverRow);
    layout->addWidget(new QLabel(QStringLiteral("Machines available for encoding:"), this));
    layout->addWidget(list, 1);
    layout->addWidget(new QLabel(QStringLiteral("Machines allowed to log in:"), this));
    layout->addWidget(allowed);
    layout->addWidget(allowedProblem);
    layout->addLayout(facts);
    layout->addWidget(line);
    layout->addWidget(buttons);
}

void CNetworkDlg::AddRow(const QString& name, int itemData, bool checked) {
    auto* item = new QListWidgetItem(name, list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setData(ITEM_DATA_ROLE, itemData);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void CNetworkDlg::ReadChecks(const std::function<void(int, bool)>& onMachine) {
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem* item = list->item(row);
        const int data = item->data(ITEM_DATA_ROLE).toInt();
        const bool checked = item->checkState() == Qt::Checked;
        if (data == OWN_MACHINE_ITEM) {
            ownFlag = checked;
        } else if (MachineTable::ValidIndex(data)) {
            onMachine(data, checked);
        }
    }
}

void CNetworkDlg::SetMachines(const MachineTable& table, bool refresh, const QString& name,
                              bool flag) {
    ownName = name;
    ownFlag = flag;
    std::array<bool, MACHINE_SLOTS> pending;
    pending.fill(true);
    int noted = 0;
    if (refresh) {
        noted = std::max(list->currentRow(), 0);
        ReadChecks([&](int index, bool checked) { pending[std::size_t(index)] = checked; });
        list->clear();
        if (!ownName.isEmpty()) {
            AddRow(ownName, OWN_MACHINE_ITEM, ownFlag);
        }
    }
    for (int i = 0; i < MACHINE_SLOTS; ++i) {
        machines.At(i) = table.At(i);
        if (refresh && !machines.At(i).name.isEmpty()) {
            AddRow(machines.At(i).name.str(), i, pending[std::size_t(i)]);
        }
    }
    if (refresh && list->count() > 0) {
        list->setCurrentRow(std::min(noted, list->count() - 1));
    }
}

void CNetworkDlg::ApplyChecks(MachineTable& table, bool& ownFlagOut) const {
    ownFlagOut = ownFlag;
    for (int i = 0; i < MACHINE_SLOTS; ++i) {
        table.At(i).enabled = machines.At(i).enabled;
    }
}

void CNetworkDlg::showEvent(QShowEvent* event) {
    if (!initialised) {
        InitDialog();
    }
    QDialog::showEvent(event);
}

void CNetworkDlg::InitDialog() {
    initialised = true;
    serverAddress = ParseServerAddress(settings.serverIp);
    address->SetAddress(serverAddress);
    clientBox->setChecked(settings.client != 0);
    OnClientCheck();

    list->clear();
    if (!ownName.isEmpty()) {
        AddRow(ownName, OWN_MACHINE_ITEM, ownFlag);
    }
    for (int i = 0; i < MACHINE_SLOTS; ++i) {
        const MachineEntry& machine = machines.At(i);
        if (!machine.name.isEmpty()) {
            AddRow(machine.name.str(), i, machine.enabled);
        }
    }
    ownNameLabel->setText(ownName);
    ownAddressLabel->setText(ownAddress);
    allowed->setText(settings.allowedMachines);
    allowed->setPlaceholderText(AllowList::OwnSubnets().Text());
}

void CNetworkDlg::OnClientCheck() {
    const bool client = clientBox->isChecked();
    address->setEnabled(client);
    list->setEnabled(!client);
    allowed->setEnabled(!client);
}

void CNetworkDlg::accept() {
    CIPAddrCtl::Address entered;
    if (!address->GetAddress(true, entered)) {
        return; // the control has shown why and holds the focus
    }
    AllowList parsed;
    if (QString entry; !AllowList::Parse(allowed->text(), parsed, &entry)) {
        allowedProblem->setText(
            QStringLiteral("%1 is not an address or a subnet (a.b.c.d or a.b.c.d/n).").arg(entry));
        allowedProblem->show();
        allowed->setFocus();
        return;
    }
    settings.allowedMachines = allowed->text().trimmed();
    serverAddress = entered.bytes;
    const QString text = QStringLiteral("%1.%2.%3.%4")
                             .arg(serverAddress[0])
                             .arg(serverAddress[1])
                             .arg(serverAddress[2])
                             .arg(serverAddress[3]);
    if (text == QStringLiteral("0.0.0.0")) {
        settings.serverIp.clear();
        settings.client = 0;
    } else {
        settings.serverIp = text;
        settings.client = clientBox->isChecked() ? 1 : 0;
    }
    ReadChecks([&](int index, bool checked) { machines.At(index).enabled = checked; });
    QDialog::accept();
}
