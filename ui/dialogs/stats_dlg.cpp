#include "ui/dialogs/stats_dlg.h"

#include "app/locale_format.h"
#include "app/strings.h"
#include "controller/main_controller.h"
#include "queue/queue_entry.h"
#include "ui/controls/display_caps.h"
#include "ui/dialogs/centre_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr unsigned IDS_PERCENT_COMPLETE = 33038;

struct FieldRow {
    int id;
    const char* label;
};

constexpr FieldRow FIELD_ROWS[] = {
    {1004, "Encoding File:"},        {1034, "Length of Song:"},
    {1036, "Time Elapsed:"},         {1037, "Time Remaining:"},
    {1038, "Total Time To Encode:"}, {1012, "Conversion Time To Real Time Ratio:"},
};

} // namespace

CStatsDlg::CStatsDlg(MainController& controller, QWidget* parent)
    : CStatsDlg(controller.Model(), parent) {}

CStatsDlg::CStatsDlg(QueueModel& model, QWidget* parent) : QDialog(parent), model(model) {
    setWindowTitle(QStringLiteral("Encoding Stats"));
    auto* grid = new QGridLayout;
    int row = 0;
    for (const FieldRow& field : FIELD_ROWS) {
        grid->addWidget(new QLabel(QString::fromLatin1(field.label), this), row, 0);
        auto* value = new QLabel(this);
        value->setObjectName(QString::number(field.id));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        const double scale = CurrentDisplayCaps().scaleFactor;
        value->setMinimumWidth(int((field.id == 1004 ? 320 : 120) * scale));
        grid->addWidget(value, row, 1);
        ++row;
    }
    percentLabel = new QLabel(this);
    percentLabel->setObjectName(QStringLiteral("1033"));
    bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("1002"));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CStatsDlg::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(percentLabel);
    layout->addWidget(bar);
    layout->addWidget(ok, 0, Qt::AlignRight);

    // The queue owns the entry; one freed while the dialog is open is let go,
    // and its last figures stay on show.
    connect(&model, &QueueModel::EntryFreed, this, [this](QueueEntry* entry) {
        if (entry == shown) {
            shown = nullptr;
        }
    });
    CentreOverOwner(*this, parent);
    FillControls();
}

bool CStatsDlg::CanShow(const QueueEntry& entry) {
    return IsActiveStatus(entry.status);
}

QLabel* CStatsDlg::Field(int id) const {
    return findChild<QLabel*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

bool CStatsDlg::Accepts(const QueueEntry& entry) const {
    return entry.machine.str().compare(machineFilter, Qt::CaseInsensitive) == 0;
}

void CStatsDlg::Update(const QueueEntry* entry) {
    if (entry != nullptr && !Accepts(*entry)) {
        return;
    }
    shown = entry;
    if (isVisible()) {
        FillControls();
    }
}

void CStatsDlg::ShowEntry(const QueueEntry* entry) {
    SetMachine(entry != nullptr ? entry->machine.str() : QString());
    shown = entry;
    FillControls();
}

bool CStatsDlg::IsShowingEntry(const QueueEntry* entry) const {
    return entry != nullptr && entry == shown && Accepts(*entry);
}

void CStatsDlg::Refresh() {
    // Without an entry (or after it was freed) the last texts stay.
    if (shown != nullptr && isVisible()) {
        FillControls();
    }
}

void CStatsDlg::FillControls() {
    const QueueEntry* entry = shown;
    if (entry == nullptr) {
        for (const FieldRow& field : FIELD_ROWS) {
            Field(field.id)->clear();
        }
        percentLabel->clear();
        return;
    }
    Field(1004)->setText(entry->path);
    Field(1034)->setText(
        QStringLiteral("%1 (%2)").arg(entry->durationText.str(), FormatSize(entry->size)));
    Field(1036)->setText(entry->elapsedText);
    Field(1037)->setText(entry->remainingText);
    Field(1038)->setText(entry->totalText);
    Field(1012)->setText(entry->ratioText);
    percentLabel->setText(QString::asprintf(LoadResString(IDS_PERCENT_COMPLETE), entry->percent));
    bar->setValue(std::clamp(entry->percent, 0, 100));
}
