#include "ui/dialogs/dialog_screenshots.h"

#include "app/encoder_settings.h"
#include "app/trace.h"
#include "engines/catalogue.h"
#include "net/machine_table.h"
#include "ui/controls/columns_dlg.h"
#include "ui/dialogs/id3_tag_dlg.h"
#include "ui/dialogs/network_dlg.h"
#include "ui/dialogs/options_dlg.h"

#include <QDialog>
#include <QDir>
#include <QPixmap>
#include <memory>

namespace {

bool Save(QDialog& dialog, const QDir& directory, const char* fileName) {
    // Laid out and drawn without ever being shown.
    dialog.ensurePolished();
    dialog.adjustSize();
    const QString path = directory.filePath(QString::fromLatin1(fileName));
    if (!dialog.grab().save(path, "PNG")) {
        Trace("dialogscreenshots: cannot write %s", qPrintable(path));
        return false;
    }
    return true;
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

} // namespace

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
    return saved;
}
