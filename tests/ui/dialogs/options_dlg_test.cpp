#include "ui/dialogs/options_dlg.h"

#include "controller/catalogue_codec.h"
#include "engines/catalogue.h"
#include "modal_driver.h"
#include "platform/acm_fake_drivers.h"
#include "ui/controls/columns_dlg.h"
#include "ui/dialogs/folder_browser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using dialogtest::OnNextModal;

using fakeacm::Mp3Like;

CatalogueSources Sources(bool blade) {
    CatalogueSources sources;
    sources.isLibraryAvailable = [blade](int library) { return blade && library == 0; };
    sources.externalEncoderFolder = [] { return std::optional<QString>(); };
    return sources;
}

template <typename Widget> Widget* Control(QWidget& dialog, int id) {
    return dialog.findChild<Widget*>(QString::number(id));
}

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

// Codec 901: mono 32, stereo 128 and 192 kbit/s; codec 902: stereo 64, 128
// and 160 kbit/s; then Blade's fixed list.
class OptionsDlg : public testing::Test {
protected:
    void SetUp() override {
        fakeacm::Install(
            fakeacm::Codec(901, 1, {Mp3Like(1, 4000), Mp3Like(2, 16000), Mp3Like(2, 24000)}));
        fakeacm::Install(
            fakeacm::Codec(902, 1, {Mp3Like(2, 8000), Mp3Like(2, 16000), Mp3Like(2, 20000)}));
        ASSERT_EQ(catalogue.Build(Sources(true)), 3);
        settings.fromDir = "/srv/in";
        settings.toDir = "/srv/out";
    }

    IsolatedAcmDrivers isolation;
    EncoderCatalogue catalogue;
    EncoderSettings settings;
};

} // namespace

TEST_F(OptionsDlg, ControlsShowTheSettings) {
    settings.deleteWhenDone = 1;
    settings.renameToMp3 = 0;
    settings.autoEncode = 1;
    settings.priority = 2;
    COptionsDlg dialog(settings, &catalogue);
    EXPECT_EQ(dialog.windowTitle(), "Options");
    EXPECT_EQ(dialog.PrioritySlider()->value(), 2);
    for (const auto& [id, checked] :
         {std::pair{1015, true}, {1016, false}, {1018, false}, {1021, true}, {1022, false}}) {
        EXPECT_EQ(Control<QCheckBox>(dialog, id)->isChecked(), checked) << id;
    }
    EXPECT_EQ(Control<QLineEdit>(dialog, 1011)->text(), "/srv/in");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1013)->maxLength(), 259);
    EXPECT_EQ(Items(dialog.EncoderList()),
              (QStringList{"Codec 901/1", "Codec 902/1", "Blade's MP3 Encoder"}));
}

// Case, "./" and a trailing slash do not make another folder; an empty one is the program's.
TEST_F(OptionsDlg, RenameOffRefusesTheSameFolderWrittenAnyWay) {
    settings.renameToMp3 = 1;
    COptionsDlg dialog(settings, &catalogue);
    dialog.SetProgramDirectory("/opt/encoder");
    Control<QCheckBox>(dialog, 1018)->setChecked(false);
    Control<QCheckBox>(dialog, 1015)->setChecked(true);
    const char* const pairs[][2] = {
        {"/srv/Music", "/srv/music"}, {"/srv/Music", "/srv/./Music/"}, {"", "/opt/encoder"}};
    for (const auto& pair : pairs) {
        Control<QLineEdit>(dialog, 1011)->setText(pair[0]);
        Control<QLineEdit>(dialog, 1013)->setText(pair[1]);
        QStringList seen;
        dialogtest::CloseNextMessage(seen);
        dialog.accept();
        EXPECT_EQ(seen, (QStringList{"The From directory needs to be different from the To "
                                     "directory when you choose not to rename the wave file to a "
                                     ".mp3 extension.",
                                     "A Corvane MP3 Encoder"}))
            << pair[1];
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(std::tuple(settings.fromDir, settings.deleteWhenDone, settings.renameToMp3),
                  std::tuple("/srv/in", 0u, 1u));
    }

    Control<QLineEdit>(dialog, 1011)->setText("/srv/Music");
    Control<QCheckBox>(dialog, 1018)->setChecked(true);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(std::tuple(settings.fromDir, settings.toDir, settings.deleteWhenDone),
              std::tuple("/srv/Music", "/opt/encoder", 1u));
}

// An impossible priority is stored back as low even on Cancel.
TEST_F(OptionsDlg, PriorityAndFilesAtOnceAreStoredOnlyOnOk) {
    settings.priority = 7;
    settings.workers = 3;
    {
        COptionsDlg dialog(settings, &catalogue);
        EXPECT_EQ(dialog.PrioritySlider()->value(), 0);
        EXPECT_EQ(dialog.PrioritySlider()->maximum(), 3);
        EXPECT_EQ(dialog.WorkersBox()->value(), 3);
        dialog.WorkersBox()->setValue(1);
        dialog.reject();
    }
    EXPECT_EQ(std::tuple(settings.priority, settings.workers), std::tuple(0u, 3u));

    COptionsDlg dialog(settings, &catalogue);
    dialog.PrioritySlider()->setValue(3);
    dialog.WorkersBox()->setValue(0);
    EXPECT_EQ(dialog.WorkersBox()->text(), "One per CPU core");
    dialog.accept();
    EXPECT_EQ(std::tuple(settings.priority, settings.workers), std::tuple(3u, 0u));
}

// Unknown ids select the first encoder and the format that matches, else its first.
TEST_F(OptionsDlg, StoredIdsSelectTheEncoderAndChangingItReselectsItsDefaultFormat) {
    settings.manufacturerId = 777;
    settings.productId = 1;
    settings.channels = 2;
    settings.bytesPerSec = 12345;
    {
        COptionsDlg dialog(settings, &catalogue);
        EXPECT_EQ(dialog.EncoderList()->currentIndex(), 0);
        EXPECT_EQ(dialog.FormatList()->currentIndex(), 0);
        dialog.accept();
        EXPECT_EQ(std::tuple(settings.manufacturerId, settings.channels, settings.bytesPerSec),
                  std::tuple(901u, 1u, 4000u));
    }
    settings.channels = 2;
    settings.bytesPerSec = 24000;
    COptionsDlg dialog(settings, &catalogue);
    EXPECT_EQ(dialog.FormatList()->currentText(), "192 kBit/s, 44,100, Stereo  24 KB/s");

    dialog.EncoderList()->setCurrentIndex(1);
    EXPECT_EQ(Items(dialog.FormatList()), (QStringList{"64 kBit/s, 44,100, Stereo  8 KB/s",
                                                       "128 kBit/s, 44,100, Stereo  16 KB/s",
                                                       "160 kBit/s, 44,100, Stereo  20 KB/s"}));
    EXPECT_EQ(dialog.FormatList()->currentIndex(), 1);

    dialog.EncoderList()->setCurrentIndex(2);
    EXPECT_EQ(dialog.FormatList()->count(), 14);
    EXPECT_EQ(dialog.FormatList()->currentText(), "128 kBit/s, 44,100, Stereo  16 KB/s");
    dialog.FormatList()->setCurrentIndex(0);
    dialog.accept();
    EXPECT_EQ(std::tuple(settings.manufacturerId, settings.productId, settings.channels,
                         settings.bytesPerSec),
              std::tuple(BLADE_DRIVER_ID, BLADE_DRIVER_ID, 2u, 40000u));
}

TEST_F(OptionsDlg, TheStereoModeIsTheLameLibrarysAndOnlyOkStoresIt) {
    CatalogueSources withLame = Sources(true);
    withLame.isLibraryAvailable = [](int) { return true; };
    ASSERT_EQ(catalogue.Build(withLame), 4);
    settings.manufacturerId = BLADE_DRIVER_ID;
    settings.productId = BLADE_DRIVER_ID;
    settings.stereoMode = STEREO_MODE_STEREO;
    COptionsDlg dialog(settings, &catalogue);
    QComboBox* mode = dialog.StereoModeList();
    EXPECT_FALSE(mode->isEnabled());
    EXPECT_EQ(mode->currentText(), "Stereo");
    dialog.EncoderList()->setCurrentIndex(3);
    EXPECT_TRUE(mode->isEnabled());
    ASSERT_EQ(dialog.FormatList()->count(), 24);
    dialog.FormatList()->setCurrentIndex(16);
    EXPECT_EQ(dialog.FormatList()->currentText(), "VBR V2, ~190 kBit/s, 44,100, Stereo");
    mode->setCurrentIndex(mode->findText("Joint Stereo"));
    dialog.accept();
    EXPECT_EQ(std::tuple(settings.stereoMode, settings.bytesPerSec),
              std::tuple(STEREO_MODE_JOINT, 23750u));
}

TEST_F(OptionsDlg, WithoutACatalogueTheEncoderSettingsStayAsTheyWere) {
    settings.manufacturerId = 901;
    settings.bytesPerSec = 24000;
    COptionsDlg dialog(settings, nullptr);
    EXPECT_EQ(dialog.EncoderList()->count() + dialog.FormatList()->count(), 0);
    dialog.accept();
    EXPECT_EQ(std::tuple(settings.manufacturerId, settings.bytesPerSec), std::tuple(901u, 24000u));
}

TEST_F(OptionsDlg, FirstStartShowsTheFirstEncoderAt128Stereo) {
    IsolatedAcmDrivers onlyOneCodec;
    fakeacm::Install(
        fakeacm::Codec(901, 1, {Mp3Like(1, 4000), Mp3Like(2, 8000), Mp3Like(2, 16000)}));
    EncoderCatalogue noLibraries;
    ASSERT_EQ(noLibraries.Build(Sources(false)), 1);

    EncoderSettings fresh;
    CatalogueCodec codec(noLibraries);
    // The main window's codec text resolves the choice at start.
    EXPECT_EQ(codec.DescribeCodec(&fresh.manufacturerId, &fresh.productId, &fresh.channels,
                                  &fresh.bytesPerSec),
              "Codec: 128 kBit/s, 44,100, Stereo  16 KB/s with Long Codec 901/1");
    COptionsDlg dialog(fresh, &noLibraries);
    EXPECT_EQ(dialog.EncoderList()->currentText() + " / " + dialog.FormatList()->currentText(),
              "Codec 901/1 / 128 kBit/s, 44,100, Stereo  16 KB/s");
}

TEST_F(OptionsDlg, BrowseStartsAtTheFolderAndTakesOnlyAChosenOne) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString start = root.filePath("a-folder-name-long-enough-to-be-cut-short");
    const QString other = root.filePath("other");
    ASSERT_TRUE(QDir().mkpath(start));
    ASSERT_TRUE(QDir().mkpath(other));
    settings.fromDir = start;
    COptionsDlg dialog(settings, &catalogue);

    QString title, status;
    OnNextModal([&](QWidget* modal) {
        auto* browser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(browser, nullptr);
        title = browser->windowTitle();
        status = browser->findChild<QLabel*>("status")->text();
        browser->selectFile(other);
        static_cast<QDialog*>(browser)->accept();
    });
    Control<QPushButton>(dialog, 1012)->click();
    EXPECT_EQ(title, "Select Source Directory");
    EXPECT_EQ(status, start.left(35) + "...");
    EXPECT_EQ(CFolderBrowser::StatusText(start.left(35)), start.left(35));
    EXPECT_EQ(Control<QLineEdit>(dialog, 1011)->text(), other);

    OnNextModal([&](QWidget* modal) {
        title = modal->windowTitle();
        qobject_cast<QDialog*>(modal)->reject();
    });
    Control<QPushButton>(dialog, 1014)->click();
    EXPECT_EQ(title, "Select Target Directory");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1013)->text(), "/srv/out");
}

namespace {

struct ColumnsHost : OptionsColumnsHost {
    void StoreColumnWidths() override { calls << "store"; }
    void RebuildColumns() override { calls << "rebuild"; }
    QStringList calls;
};

} // namespace

TEST_F(OptionsDlg, SetColumnsTakesEffectEvenWhenOptionsIsCancelled) {
    ColumnsHost host;
    COptionsDlg dialog(settings, &catalogue);
    dialog.SetColumnsHost(&host);
    OnNextModal([](QWidget* modal) {
        auto* columns = qobject_cast<CColumnsDlg*>(modal);
        ASSERT_NE(columns, nullptr);
        for (int i = 0; i < columns->ColumnList()->count(); ++i) {
            columns->ColumnList()->item(i)->setCheckState(Qt::Unchecked);
        }
        columns->accept();
    });
    Control<QPushButton>(dialog, 1023)->click();
    dialog.reject();
    EXPECT_EQ(settings.columns, COLUMN_FILES);
    EXPECT_EQ(host.calls, (QStringList{"store", "rebuild"}));

    OnNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    Control<QPushButton>(dialog, 1023)->click();
    EXPECT_EQ(host.calls, (QStringList{"store", "rebuild", "store"}));
}
