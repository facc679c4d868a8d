#include "ui/controls/columns_dlg.h"

#include "app/strings.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

struct OptionalColumn {
    unsigned stringId;
    std::uint32_t bit;
};

constexpr OptionalColumn OPTIONAL_COLUMNS[] = {
    {33001, COLUMN_DIRECTORY},
    {33002, COLUMN_SIZE},
    {33003, COLUMN_STATUS},
    {33031, COLUMN_MACHINE},
};

} // namespace

CColumnsDlg::CColumnsDlg(EncoderSettings& editedSettings, QWidget* parent)
    : QDialog(parent), settings(editedSettings), list(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Encoder Columns"));
    auto* label = new QLabel(QStringLiteral("Available Columns:"), this);
    label->setBuddy(list);
    list->setObjectName(QStringLiteral("1040"));
    for (const OptionalColumn& column : OPTIONAL_COLUMNS) {
        auto* item = new QListWidgetItem(ResString(column.stringId), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState((settings.columns & column.bit) ? Qt::Checked : Qt::Unchecked);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CColumnsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CColumnsDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addWidget(buttons);
}

void CColumnsDlg::accept() {
    std::uint32_t columns = COLUMN_FILES;
    for (int line = 0; line < list->count(); ++line) {
        if (list->item(line)->checkState() == Qt::Checked) {
            columns |= OPTIONAL_COLUMNS[line].bit;
        }
    }
    settings.columns = columns;
    QDialog::accept();
}
