// The window's file list at 10,000 rows: the files added (as Add Files or a
// drop does), the list sorted by each column, cleared, then filled again by
// a From Dir holding them; each step timed with every pending repaint and
// layout done. longest_turn_ms is the longest the event loop was kept from
// running while the rows went in.
// Usage: bench_file_list [files]   (10000 by default)
#include "app/encoder_app.h"
#include "controller/engine_ports.h"
#include "controller/main_controller.h"
#include "queue/queue_commands.h"
#include "support/memory_settings_store.h"
#include "support/recording_view.h"
#include "support/wav_builder.h"
#include "ui/file_list_ctrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

// Runs the event loop until it has nothing left to do.
void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents();
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir root;
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        // Names and sizes that differ, so every sort has work to do.
        paths.append(root.filePath(QStringLiteral("%1 take.wav").arg((i * 7919) % files)));
        testsupport::WriteFile(paths.back().toStdString(),
                               testsupport::MakePcmWav(testsupport::PcmFormat{}, 441 + i % 97));
    }
    testsupport::MemorySettingsStore store;
    CEncoderApp app(store);
    app.programDirectory = root.path();
    app.settings.fromDir = root.path();
    app.settings.toDir = root.path();
    std::unique_ptr<EnginePorts> engines = MakeEnginePorts(app);
    testsupport::RecordingView view;
    MainController controller(app, view, ControllerPorts(*engines, 1));
    controller.Startup(false);
    CFileListCtrl list(controller.Model());
    std::array<std::uint32_t, 8> widths{};
    list.BuildColumns(31, widths);
    list.resize(900, 600);
    list.show();
    Settle();

    QElapsedTimer clock;
    QElapsedTimer turn;
    qint64 longestTurn = 0;
    QTimer beat;
    beat.setInterval(0);
    QObject::connect(&beat, &QTimer::timeout,
                     [&] { longestTurn = std::max(longestTurn, turn.restart()); });
    // Fills the list through `fill` and reports how long it took and the
    // longest time the event loop had to wait meanwhile.
    const auto timeFill = [&](const char* name, const std::function<void()>& fill) {
        longestTurn = 0;
        clock.start();
        turn.start();
        beat.start();
        fill();
        longestTurn = std::max(longestTurn, turn.restart());
        while (controller.Model().RowCount() < files) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        Settle();
        beat.stop();
        std::printf("rows=%d %s_ms=%lld longest_turn_ms=%lld\n", controller.Model().RowCount(),
                    name, clock.elapsed(), longestTurn);
    };
    timeFill("add_files", [&] { controller.AddFiles(paths); });
    for (int column = 1; column <= 5; ++column) {
        clock.restart();
        controller.OnHeaderClicked(column);
        Settle();
        std::printf("sort_column_%d_ms=%lld\n", column, clock.elapsed());
    }
    clock.restart();
    controller.OnClearAll();
    Settle();
    std::printf("clear_ms=%lld rows_left=%d\n", clock.elapsed(), controller.Model().RowCount());
    const int cleared = controller.Model().RowCount();
    // The same files again as a new From Dir: the watch folder's scan.
    timeFill("from_dir",
             [&] { controller.AfterOptions(root.filePath(QStringLiteral("before")), 0); });
    return cleared == 0 ? 0 : 1;
}
