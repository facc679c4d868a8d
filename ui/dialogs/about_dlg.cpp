#include "ui/dialogs/about_dlg.h"

#include "app/strings.h"
#include "engines/library_binding.h"
#include "ui/controls/bitmaps.h"
#include "ui/controls/fonts.h"
#include "ui/controls/static_link.h"
#include "ui/dialogs/centre_dialog.h"
#include "ui/dialogs/help.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr unsigned IDS_VERSION = 33041;
constexpr int TITLE_FONT = 12;
constexpr int LIBRARY_ICON = 146;

QLabel* Text(const QString& text, int id, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::number(id));
    return label;
}

QFont TitleFont() {
    // The shared title font, measured for the display as it is now.
    const SharedFontEntry* entry = SharedFontDescription(TITLE_FONT);
    return MakeDisplayFont(QString::fromLatin1(entry->face), entry->points, entry->weight);
}

} // namespace

CPictureDlg::CPictureDlg(int bitmapId, QWidget* parent) : QDialog(parent), bitmapId(bitmapId) {
    setWindowTitle(QStringLiteral("Corvane"));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(LoadResourceBitmap(bitmapId, this));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    connect(ok, &QPushButton::clicked, this, &CPictureDlg::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About the Corvane MP3 Encoder"));
    title = Text(QStringLiteral("A Corvane MP3 Encoder, ver. 2.0"), 1053, this);
    title->setFont(TitleFont());
    auto* programLine =
        Text(QStringLiteral("Batch encoding of WAV files to MP3, on one machine or a farm."), 1054,
             this);

    libraryName = Text(QStringLiteral("BladeEnc - Blade's MP3 Encoder"), 1045, this);
    auto* author =
        Text(QStringLiteral("Our Blade library, built on the shine MP3 encoder"), 1046, this);
    auto* webLabel = Text(QStringLiteral("Web Page:"), 1047, this);
    auto* icon = Text(QString(), 1048, this);
    icon->setPixmap(LoadResourceBitmap(LIBRARY_ICON, this));
    libraryLink = new CStaticLink(QString(), QString(), this);
    libraryLink->setObjectName(QStringLiteral("1041"));
    auto* version = Text(QString(), 1049, this);

    const QString helpPage = FindHelpPage(QCoreApplication::applicationDirPath());
    programLink = new CStaticLink(QStringLiteral("Corvane MP3 Encoder help"), helpPage, this);
    programLink->setObjectName(QStringLiteral("1042"));
    programLink->setVisible(!helpPage.isEmpty());

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);

    auto* library = new QGridLayout;
    library->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    library->addWidget(libraryName, 0, 1, 1, 2);
    library->addWidget(version, 1, 1, 1, 2);
    library->addWidget(author, 2, 1, 1, 2);
    library->addWidget(webLabel, 3, 1);
    library->addWidget(libraryLink, 3, 2);
    library->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(programLine);
    layout->addWidget(programLink);
    layout->addSpacing(8);
    layout->addLayout(library);
    layout->addWidget(ok, 0, Qt::AlignRight);

    title->installEventFilter(this);
    libraryName->installEventFilter(this);
    ShowLibrary();
}

QLabel* CAboutDlg::Control(int id) const {
    return findChild<QLabel*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void CAboutDlg::ShowLibrary() {
    BE_VERSION record{};
    if (QueryEncoderLibraryVersion(BLADE_LIBRARY, &record) == 0) {
        for (int id : {1045, 1046, 1047, 1041, 1049, 1048}) {
            Control(id)->hide();
        }
        return;
    }
    const QString homepage = QString::fromLatin1(record.zHomepage);
    libraryLink->setText(homepage);
    libraryLink->SetTarget(homepage);
    Control(1049)->setText(QString::asprintf("%s %u.%02u", LoadResString(IDS_VERSION),
                                             unsigned(record.byMajorVersion),
                                             unsigned(record.byMinorVersion)));
}

bool CAboutDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        (static_cast<QMouseEvent*>(event)->modifiers() & Qt::ControlModifier) &&
        (watched == title || watched == libraryName)) {
        auto* picture = new CPictureDlg(watched == title ? TITLE_PICTURE : LIBRARY_PICTURE, this);
        picture->setAttribute(Qt::WA_DeleteOnClose);
        picture->open();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

int RunAboutDialog(QWidget* parent, CEncoderApp& /*app: the library binding is process-wide*/) {
    CAboutDlg dialog(parent);
    CentreOverOwner(dialog, parent);
    return dialog.exec();
}
