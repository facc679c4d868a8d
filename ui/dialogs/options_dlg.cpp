#include "ui/dialogs/options_dlg.h"

#include "app/strings.h"
#include "engines/catalogue.h"
#include "ui/controls/columns_dlg.h"
#include "ui/dialogs/directory_check.h"
#include "ui/dialogs/folder_browser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace {

template <typename Widget> Widget* Named(Widget* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

QCheckBox* CheckBox(QWidget* parent, int id, const char* text) {
    return Named(new QCheckBox(QString::fromLatin1(text), parent), id);
}

Qt::CheckState StateOf(std::uint32_t setting) {
    return setting != 0 ? Qt::Checked : Qt::Unchecked;
}

std::uint32_t SettingOf(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

} // namespace

COptionsDlg::COptionsDlg(EncoderSettings& editedSettings, const EncoderCatalogue* encoders,
                         QWidget* parent)
    : QDialog(parent), settings(editedSettings), catalogue(encoders) {
    setWindowTitle(QStringLiteral("Options"));
    BuildControls();
    InitControls();
}

void COptionsDlg::BuildControls() {
    auto* general = new QGroupBox(QStringLiteral("General Options"), this);
    deleteWhenDone = CheckBox(general, 1015, "&Delete WAV files when done encoding");
    minimizeToTray = CheckBox(general, 1016, "&Minimize to System Tray");
    renameToMp3 = CheckBox(general, 1018, "&Rename file to MP3 extension");
    autoEncode = CheckBox(general, 1021, "&Auto-Encode files");
    removeFromQueue = CheckBox(general, 1022, "Remove &from queue when done");

    priority = Named(new QSlider(Qt::Horizontal, general), 1017);
    priority->setTickPosition(QSlider::NoTicks);
    priority->setPageStep(1);
    auto* priorityLabels = new QHBoxLayout;
    const char* const levels[] = {"Low", "Normal", "High", "Cripple Me"};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(QString::fromLatin1(levels[i]), general);
        label->setAlignment(i == 0 ? Qt::AlignLeft : i == 3 ? Qt::AlignRight : Qt::AlignCenter);
        priorityLabels->addWidget(label);
    }

    // Ours: how many files this machine encodes at once.
    workers = new QSpinBox(general);
    workers->setObjectName(QStringLiteral("workers"));
    workers->setRange(0, MAX_WORKERS);
    workers->setSpecialValueText(QStringLiteral("One per CPU core"));
    workers->setToolTip(QStringLiteral("Takes effect at the next start."));

    encoderList = Named(new QComboBox(general), 1019);
    formatList = Named(new QComboBox(general), 1020);
    encoderList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    formatList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    encoderList->setMinimumContentsLength(24);
    formatList->setMinimumContentsLength(24);
    // Ours: only the LAME library's formats take it.
    stereoModeList = new QComboBox(general);
    stereoModeList->setObjectName(QStringLiteral("stereoMode"));
    stereoModeList->addItem(QStringLiteral("Joint Stereo"), STEREO_MODE_JOINT);
    stereoModeList->addItem(QStringLiteral("Stereo"), STEREO_MODE_STEREO);

    auto* generalLayout = new QGridLayout(general);
    generalLayout->addWidget(deleteWhenDone, 0, 0);
    generalLayout->addWidget(minimizeToTray, 1, 0);
    generalLayout->addWidget(renameToMp3, 2, 0);
    generalLayout->addWidget(autoEncode, 3, 0);
    generalLayout->addWidget(removeFromQueue, 4, 0);
    generalLayout->addWidget(new QLabel(QStringLiteral("Priority:"), general), 0, 1);
    generalLayout->addWidget(priority, 1, 1);
    generalLayout->addLayout(priorityLabels, 2, 1);
    auto* workersLabel = new QLabel(QStringLiteral("Files at &once:"), general);
    workersLabel->setBuddy(workers);
    generalLayout->addWidget(workersLabel, 3, 1);
    generalLayout->addWidget(workers, 4, 1);
    auto* encoderLabel = new QLabel(QStringLiteral("Convert Using:"), general);
    encoderLabel->setBuddy(encoderList);
    generalLayout->addWidget(encoderLabel, 5, 0);
    generalLayout->addWidget(encoderList, 5, 1);
    auto* formatLabel = new QLabel(QStringLiteral("Sample Rate:"), general);
    formatLabel->setBuddy(formatList);
    generalLayout->addWidget(formatLabel, 6, 0);
    generalLayout->addWidget(formatList, 6, 1);
    auto* stereoModeLabel = new QLabel(QStringLiteral("Stereo &Mode:"), general);
    stereoModeLabel->setBuddy(stereoModeList);
    generalLayout->addWidget(stereoModeLabel, 7, 0);
    generalLayout->addWidget(stereoModeList, 7, 1);

    auto* directories = new QGroupBox(QStringLiteral("Directories"), this);
    fromDir = Named(new QLineEdit(directories), 1011);
    toDir = Named(new QLineEdit(directories), 1013);
    auto* browseFrom = Named(new QPushButton(QStringLiteral("&Browse"), directories), 1012);
    auto* browseTo = Named(new QPushButton(QStringLiteral("Bro&wse"), directories), 1014);
    auto* directoryLayout = new QGridLayout(directories);
    directoryLayout->addWidget(new QLabel(QStringLiteral("Encode Files From:"), directories), 0, 0);
    directoryLayout->addWidget(fromDir, 0, 1);
    directoryLayout->addWidget(browseFrom, 0, 2);
    directoryLayout->addWidget(new QLabel(QStringLiteral("Output Files To:"), directories), 1, 0);
    directoryLayout->addWidget(toDir, 1, 1);
    directoryLayout->addWidget(browseTo, 1, 2);

    auto* setColumns = Named(new QPushButton(QStringLiteral("&Set Columns"), this), 1023);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(setColumns);
    bottom->addStretch();
    bottom->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(general);
    layout->addWidget(directories);
    layout->addLayout(bottom);

    connect(encoderList, &QComboBox::currentIndexChanged, this, &COptionsDlg::OnEncoderChanged);
    connect(browseFrom, &QPushButton::clicked, this,
            [this] { Browse(fromDir, IDS_SELECT_SOURCE_DIRECTORY); });
    connect(browseTo, &QPushButton::clicked, this,
            [this] { Browse(toDir, IDS_SELECT_TARGET_DIRECTORY); });
    connect(setColumns, &QPushButton::clicked, this, &COptionsDlg::OnSetColumns);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionsDlg::reject);
}

void COptionsDlg::InitControls() {
    fromDir->setMaxLength(DIRECTORY_LENGTH);
    toDir->setMaxLength(DIRECTORY_LENGTH);
    fromDir->setText(settings.fromDir);
    toDir->setText(settings.toDir);

    deleteWhenDone->setCheckState(StateOf(settings.deleteWhenDone));
    minimizeToTray->setCheckState(StateOf(settings.minimizeToTray));
    renameToMp3->setCheckState(StateOf(settings.renameToMp3));
    autoEncode->setCheckState(StateOf(settings.autoEncode));
    removeFromQueue->setCheckState(StateOf(settings.removeFromQueue));

    priority->setRange(int(PRIORITY_LOW), int(PRIORITY_HIGHEST));
    if (settings.priority > PRIORITY_HIGHEST) {
        settings.priority = PRIORITY_LOW;
    }
    priority->setValue(int(settings.priority));
    workers->setValue(int(std::min<std::uint32_t>(settings.workers, MAX_WORKERS)));
    stereoModeList->setCurrentIndex(
        std::max(0, stereoModeList->findData(QVariant::fromValue(settings.stereoMode))));
    stereoModeList->setEnabled(false);

    encoderList->clear();
    if (catalogue == nullptr) {
        return;
    }
    QStringList names;
    catalogue->DriverNames(names);
    encoderList->addItems(names);
    if (names.isEmpty()) {
        return;
    }
    const int encoder = catalogue->FindDriverExactly(settings.manufacturerId, settings.productId);
    // The change of encoder fills the format list.
    encoderList->setCurrentIndex(encoder < 0 ? 0 : encoder);
    const int format = catalogue->FindFormatExactly(encoderList->currentIndex(), settings.channels,
                                                    settings.bytesPerSec);
    if (formatList->count() > 0) {
        formatList->setCurrentIndex(format < 0 ? 0 : format);
    }
}

void COptionsDlg::OnEncoderChanged(int encoder) {
    formatList->clear();
    stereoModeList->setEnabled(catalogue != nullptr && catalogue->HasStereoModes(encoder));
    if (encoder < 0 || catalogue == nullptr) {
        return;
    }
    QStringList names;
    int defaultPosition = -1;
    catalogue->FormatNames(encoder, names, defaultPosition);
    formatList->addItems(names);
    if (defaultPosition >= 0 && defaultPosition < formatList->count()) {
        formatList->setCurrentIndex(defaultPosition);
    }
}

void COptionsDlg::Browse(QLineEdit* edit, unsigned titleId) {
    CFolderBrowser browser(this, titleId, edit->text());
    if (browser.DoModal() == FOLDER_CHOSEN) {
        edit->setText(browser.GetFolder().left(DIRECTORY_LENGTH));
    }
}

void COptionsDlg::OnSetColumns() {
    if (columnsHost != nullptr) {
        columnsHost->StoreColumnWidths();
    }
    CColumnsDlg columns(settings, this);
    if (columns.exec() == QDialog::Accepted && columnsHost != nullptr) {
        columnsHost->RebuildColumns();
    }
}

void COptionsDlg::accept() {
    const bool rename = renameToMp3->isChecked();
    const QString from = fromDir->text().left(DIRECTORY_LENGTH);
    const QString to = toDir->text().left(DIRECTORY_LENGTH);
    // Without renaming, an output in the source folder would take the
    // source's own name.
    if (!rename && SameDirectory(from, to, programDirectory)) {
        QMessageBox box(QMessageBox::Information, ResString(IDS_APP_TITLE),
                        ResString(IDS_DIRECTORIES_EQUAL), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    settings.fromDir = from;
    settings.toDir = to;

    const int encoder = encoderList->currentIndex();
    const int format = formatList->currentIndex();
    if (catalogue != nullptr && encoder >= 0 && format >= 0) {
        catalogue->DriverIds(encoder, settings.manufacturerId, settings.productId);
        catalogue->FormatFacts(encoder, format, settings.channels, settings.bytesPerSec);
    }

    settings.deleteWhenDone = SettingOf(deleteWhenDone);
    settings.minimizeToTray = SettingOf(minimizeToTray);
    settings.renameToMp3 = SettingOf(renameToMp3);
    settings.autoEncode = SettingOf(autoEncode);
    settings.removeFromQueue = SettingOf(removeFromQueue);
    settings.priority = std::uint32_t(priority->value());
    settings.workers = std::uint32_t(workers->value());
    settings.stereoMode = stereoModeList->currentData().toUInt();
    QDialog::accept();
}
