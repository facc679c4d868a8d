#include "ui/dialogs/dialog_screenshots.h"

#include "app/encoder_settings.h"
#include "app/trace.h"
#include "engines/catalogue.h"
#include "net/machine_table.h"
#include "queue/queue_entry.h"
#include "queue/queue_model.h"
#include "ui/controls/columns_dlg.h"
#include "ui/controls/display_caps.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/errors_dlg.h"
#include "ui/dialogs/id3_tag_dlg.h"
#include "ui/dialogs/network_dlg.h"
#include "ui/dialogs/options_dlg.h"
#include "ui/dialogs/stats_dlg.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <memory>

namespace {

bool Save(QDialog& dialog, const QDir& directory, const char* fileName) {
    // Laid out and drawn without ever being shown.
    dialog.ensurePolished();
    dialog.adjustSize();
    return SaveWidgetPicture(dialog, directory.filePath(QString::fromLatin1(fileName)));
}

EncoderSettings SampleSettings() {
    EncoderSettings settings;
    settings.fromDir = QStringLiteral("/home/music/wav");
    settings.toDir = QStringLiteral("/home/music/mp3");
    settings.renameToMp3 = 1;
    settings.removeFromQueue = 1;
    settings.priority = 1;
    settings.channels = 2;
    settings.bytesPerSec = 16000;
    settings.columns = COLUMN_FILES | COLUMN_SIZE | COLUMN_STATUS | COLUMN_MACHINE;
    settings.serverIp = QStringLiteral("127.0.0.1");
    return settings;
}

bool SaveOptions(const QDir& directory, const EncoderCatalogue* given) {
    std::unique_ptr<EncoderCatalogue> own;
    if (given == nullptr) {
        own = std::make_unique<EncoderCatalogue>();
        own->Build(DefaultCatalogueSources([](int) { return false; }));
        given = own.get();
    }
    EncoderSettings settings = SampleSettings();
    QString name;
    QString format;
    const int driver = given->SelectDriver(name, settings.manufacturerId, settings.productId);
    given->SelectFormat(driver, format, settings.channels, settings.bytesPerSec);
    COptionsDlg dialog(settings, given);
    return Save(dialog, directory, "options.png");
}

bool SaveTag(const QDir& directory) {
    ID3TagRecord record;
    record.title = "One";
    record.artist = "A";
    record.album = "Songs in Order";
    record.year = "1999";
    record.genre = "(17)";
    record.comment = "Encoded from the queue";
    CID3TagDlg dialog;
    dialog.SetTag(record);
    return Save(dialog, directory, "id3.png");
}

bool SaveNetwork(const QDir& directory) {
    EncoderSettings settings = SampleSettings();
    MachineTable machines;
    machines.At(0).name = QStringLiteral("Studio");
    machines.At(0).enabled = true;
    machines.At(2).name = QStringLiteral("Attic");
    machines.At(2).enabled = false;
    CNetworkDlg dialog(settings);
    dialog.SetMachines(machines, false, QStringLiteral("Kitchen"), true);
    dialog.SetLocalAddress(QStringLiteral("127.0.0.1"));
    dialog.InitDialog();
    return Save(dialog, directory, "network.png");
}

bool SaveColumns(const QDir& directory) {
    EncoderSettings settings = SampleSettings();
    CColumnsDlg dialog(settings);
    return Save(dialog, directory, "columns.png");
}

// The dialog's text at the display's size (the offscreen screen stays at 96).
void ScaleText(QDialog& dialog) {
    QFont font = dialog.font();
    font.setPointSizeF(font.pointSizeF() * CurrentDisplayCaps().scaleFactor);
    dialog.setFont(font);
}

QString ShotName(const char* name, int dotsPerInch) {
    return dotsPerInch == 96
               ? QStringLiteral("%1.png").arg(QLatin1String(name))
               : QStringLiteral("%1-%2dpi.png").arg(QLatin1String(name)).arg(dotsPerInch);
}

bool SaveErrors(const QDir& directory, int dotsPerInch) {
    QTemporaryDir scratch;
    const QString log = scratch.filePath(QStringLiteral("error.log"));
    QFile file(log);
    if (!scratch.isValid() || !file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return false;
    }
    file.write("07/12/2026 14:02:11: File /home/music/wav/broken.wav was rejected because it is "
               "not a valid wave file.\n"
               "07/12/2026 14:05:40 Studio: Studio does not have write access to the volume "
               "where the encoded files will go.\n"
               "07/12/2026 14:09:03: Could not open /home/music/mp3/Song.MP3 for writing.\n");
    file.close();
    const DisplayCapsScope display(dotsPerInch);
    CErrorsDlg dialog;
    ScaleText(dialog);
    dialog.LoadErrorsFrom(log);
    return Save(dialog, directory, qPrintable(ShotName("errors", dotsPerInch)));
}

bool SaveStats(const QDir& directory, int dotsPerInch) {
    QueueModel model;
    auto owned = std::make_unique<QueueEntry>();
    SetEntryPath(*owned, QStringLiteral("/home/music/wav/Some Artist - Good Song.wav"));
    owned->machine = QStringLiteral("Studio");
    owned->status = Encoding;
    owned->size = 42336044;
    owned->durationText = QStringLiteral("04:00");
    owned->elapsedText = QStringLiteral("00:21");
    owned->remainingText = QStringLiteral("00:39");
    owned->totalText = QStringLiteral("01:00");
    owned->ratioText = QStringLiteral("0.25:1");
    owned->percent = 35;
    QueueEntry* entry = model.Append(std::move(owned));
    model.AddRowAtEnd(entry);
    const DisplayCapsScope display(dotsPerInch);
    CStatsDlg dialog(model, nullptr);
    ScaleText(dialog);
    dialog.ShowEntry(entry);
    return Save(dialog, directory, qPrintable(ShotName("stats", dotsPerInch)));
}

bool SaveAbout(const QDir& directory, int dotsPerInch) {
    const DisplayCapsScope display(dotsPerInch);
    CAboutDlg dialog;
    ScaleText(dialog);
    return Save(dialog, directory, qPrintable(ShotName("about", dotsPerInch)));
}

} // namespace

bool SaveWidgetPicture(QWidget& widget, const QString& path) {
    if (!widget.grab().save(path, "PNG")) {
        Trace("screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool WriteDialogScreenshots(const QString& directoryPath, const EncoderCatalogue* catalogue) {
    QDir directory(directoryPath);
    if (!directory.mkpath(QStringLiteral("."))) {
        Trace("dialogscreenshots: cannot make %s", qPrintable(directoryPath));
        return false;
    }
    bool saved = SaveOptions(directory, catalogue);
    saved = SaveTag(directory) && saved;
    saved = SaveNetwork(directory) && saved;
    saved = SaveColumns(directory) && saved;
    for (int dotsPerInch : {96, 120}) {
        saved = SaveErrors(directory, dotsPerInch) && saved;
        saved = SaveStats(directory, dotsPerInch) && saved;
        saved = SaveAbout(directory, dotsPerInch) && saved;
    }
    return saved;
}
