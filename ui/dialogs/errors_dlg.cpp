#include "ui/dialogs/errors_dlg.h"

#include "app/error_log.h"
#include "ui/controls/display_caps.h"
#include "ui/dialogs/centre_dialog.h"

#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Pieces of a longer line arrive one after another, as from a fixed buffer.
constexpr qint64 LINE_BUFFER_BYTES = 1024;

} // namespace

CErrorsDlg::CErrorsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Encoder Errors"));
    auto* group = new QGroupBox(QStringLiteral("A Corvane Error Log"), this);
    list = new QListWidget(group);
    list->setObjectName(QStringLiteral("1039"));
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A list of about 293 x 189 dialog units, which grow with the display's dpi.
    const double scale = CurrentDisplayCaps().scaleFactor;
    list->setMinimumSize(int(420 * scale), int(220 * scale));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(list);

    clear = new QPushButton(QStringLiteral("&Clear Errors"), this);
    clear->setObjectName(QStringLiteral("10"));
    clear->setEnabled(false);
    clear->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    connect(clear, &QPushButton::clicked, this, &CErrorsDlg::OnClearErrors);
    connect(ok, &QPushButton::clicked, this, &CErrorsDlg::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clear);
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    LoadErrors();
}

void CErrorsDlg::LoadErrors() {
    LoadErrorsFrom(GetErrorLogPath());
}

void CErrorsDlg::LoadErrorsFrom(const QString& path) {
    list->clear();
    clear->setEnabled(false);
    SetHorizontalExtent(0);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return;
    }
    const QFontMetrics metrics(list->font());
    int widest = 0;
    char buffer[LINE_BUFFER_BYTES];
    qint64 length = 0;
    while ((length = file.readLine(buffer, LINE_BUFFER_BYTES)) > 0) {
        while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r')) {
            --length;
        }
        // Zeros are what a crash can leave at the end of the log, never text.
        const QByteArray piece = QByteArray(buffer, length).replace('\0', QByteArray());
        if (piece.isEmpty()) {
            continue;
        }
        const QString line = QString::fromUtf8(piece);
        list->addItem(line);
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    file.close();
    if (list->count() == 0) {
        return;
    }
    list->setCurrentRow(0);
    clear->setEnabled(true);
    if (widest != 0) {
        const int arrow = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        SetHorizontalExtent(widest + arrow + 2);
    }
}

void CErrorsDlg::SetHorizontalExtent(int extent) {
    horizontalExtent = extent;
    // Every row as wide as the extent makes the list's scrollable width the extent.
    const int rowHeight = list->fontMetrics().height() + 2;
    for (int row = 0; row < list->count(); ++row) {
        list->item(row)->setSizeHint(QSize(extent, rowHeight));
    }
}

void CErrorsDlg::OnClearErrors() {
    // A log that cannot be deleted stays; it is listed again next time.
    QFile::remove(GetErrorLogPath());
    clear->setEnabled(false);
    list->clear();
    SetHorizontalExtent(0);
}

int RunErrorsDialog(QWidget* parent, CEncoderApp& /*app: the log lives in its program directory*/) {
    CErrorsDlg dialog(parent);
    CentreOverOwner(dialog, parent);
    return dialog.exec();
}
