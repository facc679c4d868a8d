#include "window_fixture.h"

#include "net/server_role.h"
#include "queue/batch_state.h"
#include "queue/main_view.h"
#include "queue/queue_model.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_progress.h"
#include "ui/file_list_ctrl.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using uitest::WindowTest;

namespace {

void Drop(QWidget& target, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    data.setUrls(urls);
    // A drop comes after the drag has entered the window.
    QDragEnterEvent enter(QPoint(20, 60), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 60), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
}

} // namespace

TEST_F(WindowTest, DroppedAndAddedFilesAreQueuedAndAFolderOrADuplicateIsNot) {
    CreateWindow();
    const QString first = MakeSeconds("first.wav", 0.1);
    const QString second = MakeSeconds("second.wav", 0.1);
    const QString folder = temp.filePath("a folder.wav");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString tooLong = temp.filePath(QString(260, u'x') + ".wav");

    Drop(*window, {folder, first, tooLong, second});

    QueueModel& model = window->Controller().Model();
    ASSERT_EQ(model.RowCount(), 2);
    EXPECT_EQ(model.EntryAt(0)->path.str(), first);
    EXPECT_EQ(model.EntryAt(1)->path.str(), second);
    EXPECT_TRUE(model.IsSelected(0));
    EXPECT_TRUE(window->IsButtonEnabled(ID_ENCODE));
    const QString log = ErrorLog();
    EXPECT_TRUE(log.contains(folder)) << log.toStdString();
    EXPECT_FALSE(log.contains(QString(260, u'x'))) << "an overlong path is skipped, not admitted";

    // Add Files opens the wave dialog in the source folder.
    const QString one = MakeSeconds("one.wav", 0.1);
    QString askedDirectory;
    QString askedFilter;
    window->openFileNames = [&](QWidget*, const QString&, const QString& directory,
                                const QString& filter) {
        askedDirectory = directory;
        askedFilter = filter;
        return QStringList{one, first, one};
    };
    QTest::mouseClick(window->Button(ID_ADD_FILES), Qt::LeftButton);
    EXPECT_EQ(askedDirectory, sourceDir);
    EXPECT_EQ(askedFilter, "Wave Files (*.wav)");
    ASSERT_EQ(model.RowCount(), 3) << "the duplicates are refused";
    EXPECT_EQ(StatusCell(2), "Not Done");

    // A cancelled dialog adds nothing.
    window->openFileNames = [](QWidget*, const QString&, const QString&, const QString&) {
        return QStringList{};
    };
    window->OnAddFiles();
    EXPECT_EQ(model.RowCount(), 3);
}

TEST_F(WindowTest, AnotherStartBringsTheWindowAndItsDialogForwardWithItsFiles) {
    CreateWindow();
    window->OnAnotherStart({MakeSeconds("handed.wav", 0.1), temp.filePath("missing.wav")});
    EXPECT_EQ(window->Controller().Model().RowCount(), 1);
    EXPECT_TRUE(ErrorLog().contains(temp.filePath("missing.wav")));

    QDialog dialog(window.get());
    dialog.setModal(true);
    dialog.show();
    QApplication::processEvents();
    QWidget other;
    other.show();
    other.activateWindow();
    QApplication::processEvents();
    ASSERT_FALSE(dialog.isActiveWindow());
    window->OnAnotherStart({});
    QApplication::processEvents();
    EXPECT_TRUE(dialog.isActiveWindow());
}

// The one full batch of the window: what it shows while it runs, and the queue kept
// across a restart in its order, with its tags and its outcomes.
TEST_F(WindowTest, ABatchShowsItsProgressAndTheQueueSurvivesARestart) {
    journalDirectory = temp.filePath("data");
    MakeSeconds("alpha.wav", 3);
    MakeSeconds("beta.wav", 3);
    MakeSeconds("gamma.wav", 0.2);
    CreateWindow();
    QueueModel& model = window->Controller().Model();
    ASSERT_EQ(model.RowCount(), 3);
    EXPECT_EQ(window->Label(ID_SOURCE_DIR_LABEL)->text(), sourceDir);
    EXPECT_TRUE(window->Label(ID_CODEC_LABEL)->text().startsWith("Codec: "));
    EXPECT_FALSE(window->IsButtonEnabled(ID_PAUSE));
    const QString moved = model.EntryAt(2)->path.str();
    SelectOnly(2);
    ASSERT_TRUE(window->Controller().OnUp());
    ASSERT_TRUE(window->Controller().OnUp());
    model.EntryAt(0)->tag.title = "Kept";
    model.UpdateRow(0);

    QStringList counters;
    QStringList names;
    QStringList states;
    int highestProgress = 0;
    const auto note = [](QStringList& seen, const QString& value) {
        if (seen.isEmpty() || seen.constLast() != value) {
            seen.append(value);
        }
    };
    auto sample = [&] {
        note(counters, window->Label(ID_COUNTER_LABEL)->text());
        const QString name = window->Label(ID_CURRENT_FILE_LABEL)->text();
        if (!name.isEmpty() && !names.contains(name)) {
            names.append(name);
        }
        note(states, StatusCell(1) + "/" + StatusCell(2));
        highestProgress = std::max(highestProgress, window->ProgressBar()->Pos());
    };
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, sample);
    sampler.start(1);

    QTest::mouseClick(window->Button(ID_ENCODE), Qt::LeftButton);
    EXPECT_TRUE(window->IsButtonEnabled(ID_PAUSE));
    EXPECT_FALSE(window->IsButtonEnabled(ID_ENCODE));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Controller().Batch().IsBusy(); }, 30000));
    sample();

    EXPECT_TRUE(counters.contains("Encoding File 2 of 3:")) << counters.join('|').toStdString();
    EXPECT_TRUE(counters.contains("Encoding File 3 of 3:")) << counters.join('|').toStdString();
    EXPECT_GE(names.size(), 2) << names.join('|').toStdString();
    EXPECT_GT(highestProgress, 0);
    EXPECT_TRUE(states.contains("Encoding/Not Done")) << states.join('|').toStdString();
    EXPECT_TRUE(states.contains("Completed/Encoding")) << states.join('|').toStdString();
    EXPECT_EQ(states.constLast(), "Completed/Completed");
    EXPECT_EQ(QDir(outputDir).entryList(QDir::Files),
              (QStringList{"alpha.MP3", "beta.MP3", "gamma.MP3"}));
    EXPECT_FALSE(window->IsButtonEnabled(ID_CANCEL));
    // The tray's tip followed the batch and went back to the idle text.
    EXPECT_TRUE(trayLog.filter("modify Encoding files. Total Time Remaining: ").size() > 0)
        << trayLog.join('|').toStdString();
    EXPECT_EQ(trayLog.constLast(), "modify Double-click on the icon to open the program");
    QApplication::processEvents();
    EXPECT_TRUE(QFile::exists(QDir(journalDirectory).filePath("window.journal")))
        << "written as the queue changes, not only at the end";
    const QString lostOutput = model.EntryAt(1)->outputPath.str();
    window.reset();
    ASSERT_TRUE(QFile::remove(lostOutput));

    // The start-up scan alone would give alpha, beta, gamma, no tag, all three Completed.
    CreateWindow();
    QueueModel& again = window->Controller().Model();
    ASSERT_EQ(again.RowCount(), 3);
    EXPECT_EQ(again.EntryAt(0)->path.str(), moved);
    EXPECT_EQ(again.EntryAt(0)->tag.title.str(), "Kept");
    EXPECT_EQ(again.EntryAt(0)->status, Completed);
    EXPECT_EQ(again.EntryAt(1)->status, NotDone) << "its output has gone";
    EXPECT_EQ(again.EntryAt(2)->status, Completed);
}

// One long encode: the tray menu's state, the refused removal, and what Quit leaves behind.
TEST_F(WindowTest, WhileAFileEncodesRemovalIsRefusedAndQuitCleansUp) {
    app->settings.workers = 1;
    MakeSeconds("long.wav", 300);
    MakeSeconds("short.wav", 1);
    CreateWindow();
    QueueModel& model = window->Controller().Model();
    EXPECT_EQ(window->QueryState(), TRAY_STATE_IDLE);
    window->Controller().OnEncode();
    ASSERT_EQ(model.EntryAt(0)->status, Encoding);
    SelectOnly(0);
    EXPECT_EQ(window->QueryState(), TRAY_STATE_ENCODING);
    SelectOnly(1);
    EXPECT_EQ(window->QueryState(), TRAY_STATE_IDLE);
    SelectOnly(0);
    window->OnCommand(ID_TRAY_PAUSE);
    EXPECT_EQ(window->QueryState(), TRAY_STATE_PAUSED);
    EXPECT_EQ(window->Button(ID_PAUSE)->Caption(), "&Resume");
    window->OnCommand(ID_PAUSE);
    EXPECT_EQ(window->Button(ID_PAUSE)->Caption(), "&Pause");

    // A client's further workers on jobs for its server count as the Pause button counts them.
    SelectOnly(1);
    BatchState& batch = window->Controller().Batch();
    batch.workers.resize(2);
    batch.workers[1].laneJob = Encoding;
    EXPECT_EQ(window->QueryState(), TRAY_STATE_ENCODING);
    batch.workers[1].laneJob = Paused;
    EXPECT_EQ(window->QueryState(), TRAY_STATE_PAUSED);
    batch.workers.resize(1);

    model.ClearSelection();
    model.Select(0);
    model.Select(1);
    QTest::mouseClick(window->Button(ID_REMOVE), Qt::LeftButton);
    EXPECT_EQ(messages, QStringList{"You can't remove the file while it is encoding."});
    ASSERT_EQ(model.RowCount(), 2) << "the walk stops at the encoding row";
    messages.clear();
    SelectOnly(1);
    window->OnCommand(ID_REMOVE);
    EXPECT_TRUE(messages.isEmpty());
    ASSERT_EQ(model.RowCount(), 1);
    EXPECT_EQ(model.EntryAt(0)->status, Encoding);
    // The Delete key in the list is the same command.
    SelectOnly(0);
    window->FileList().setFocus();
    QTest::keyClick(&window->FileList(), Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(model.RowCount(), 1);

    ASSERT_TRUE(QTest::qWaitFor([&] { return window->ProgressBar()->Pos() >= 1; }, 30000));
    const QString output = model.EntryAt(0)->outputPath.str();
    ASSERT_FALSE(output.isEmpty());
    window->resize(700, 480);
    store.values.clear();
    QSignalSpy finished(window.get(), &CEncoderDlg::QuitFinished);
    QTest::mouseClick(window->Button(ID_QUIT), Qt::LeftButton);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(window->Controller().Batch().IsBusy());
    EXPECT_EQ(model.EntryAt(0)->status, NotDone);
    const QStringList leftovers = QDir(outputDir).entryList(QDir::Files);
    EXPECT_TRUE(leftovers.isEmpty()) << leftovers.join('|').toStdString();
    EXPECT_EQ(store.values.value("Window Width").toInt(), 700);
    EXPECT_TRUE(store.values.contains("Columns"));
    EXPECT_TRUE(store.values.contains("ColWidth1"));
}

TEST_F(WindowTest, HoldingUpOnTheThirdRowMovesItToTheTop) {
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"}) {
        MakeSeconds(name, 0.1);
    }
    CreateWindow();
    QueueModel& model = window->Controller().Model();
    ASSERT_EQ(model.RowCount(), 4);
    QueueEntry* first = model.EntryAt(0);
    QueueEntry* third = model.EntryAt(2);
    SelectOnly(2);

    CSkinButton* up = window->Button(ID_UP);
    QTest::mousePress(up, Qt::LeftButton, Qt::NoModifier, up->rect().center());
    QApplication::processEvents();
    EXPECT_EQ(model.RowOf(third), 1) << "the first move comes at once";
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.RowOf(third) == 0; }, 30000));
    QTest::qWait(300);
    EXPECT_EQ(model.RowOf(third), 0);
    EXPECT_TRUE(model.IsSelected(0));
    QTest::mouseRelease(up, Qt::LeftButton, Qt::NoModifier, up->rect().center());
    QApplication::processEvents();
    EXPECT_EQ(model.EntryAt(1), first);

    // A short click on Down moves once, and its release stops the repeat.
    QTest::mouseClick(window->Button(ID_DOWN), Qt::LeftButton);
    QTest::qWait(700);
    EXPECT_EQ(model.RowOf(third), 1);
}

// Only with the setting on and an icon to come back by does the window hide;
// a double click on the icon, or another start, brings it and its title back.
TEST_F(WindowTest, MinimisingHidesInTheTrayOnlyWhenThereIsOne) {
    const struct {
        bool setting, missing, hidden;
    } cases[] = {{false, false, false}, {true, true, false}, {true, false, true}};
    for (const auto& c : cases) {
        app->settings.minimizeToTray = c.setting ? 1 : 0;
        trayMissing = c.missing;
        CreateWindow();
        EXPECT_TRUE(trayLog.first().startsWith("add ")) << trayLog.join('|').toStdString();
        window->setWindowState(Qt::WindowMinimized);
        QApplication::processEvents();
        EXPECT_TRUE(window->IsMinimised());
        EXPECT_EQ(window->isVisible(), !c.hidden) << c.setting << c.missing;
    }
    // The last window is in the tray.
    for (const bool byAnotherStart : {false, true}) {
        window->setWindowState(Qt::WindowMinimized);
        QApplication::processEvents();
        window->SetTitle("Encoding: 40% Complete");
        if (byAnotherStart) {
            window->OnAnotherStart({});
        } else {
            window->Tray().OnTrayNotification(IDR_TRAY, TRAY_LBUTTONDBLCLK);
        }
        QApplication::processEvents();
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->IsMinimised());
        EXPECT_EQ(window->windowTitle(), "A Corvane MP3 Encoder");
    }
}

// Commands of an idle window: the hooks, the network status, and closing as Quit.
TEST_F(WindowTest, HooksNetworkStatusAndClosingTheWindow) {
    CreateWindow();
    auto* status = window->findChild<QLabel*>(QString::number(ID_MACHINES_LABEL));
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isHidden());
    window->Controller().Server().UpdateNetStatus();
    EXPECT_FALSE(status->isHidden());
    EXPECT_EQ(status->text(), QStringLiteral("No machines logged in"));

    QStringList ran;
    window->onErrors = [&] { ran << "errors"; };
    window->onAbout = [&] { ran << "about"; };
    window->onHelp = [&] { ran << "help"; };
    window->onStats = [&] { ran << "stats"; };
    window->OnCommand(ID_ERRORS);
    window->OnCommand(16);
    window->activateWindow();
    QTest::keyClick(window.get(), Qt::Key_F1);
    // More Info without an active focused row does nothing.
    window->OnCommand(ID_MORE_INFO);
    EXPECT_EQ(ran, (QStringList{"errors", "about", "help"}));

    QSignalSpy finished(window.get(), &CEncoderDlg::QuitFinished);
    window->close();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(store.values.contains("Window Width"));
}
