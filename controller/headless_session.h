#pragma once

#include "controller/headless_view.h"
#include "controller/main_controller.h"

#include <QObject>
#include <QStringList>
#include <cstdio>
#include <memory>

// One run without a window. Without files it watches the source folder as
// the window would; with files it encodes just those and ends when the batch
// has ended. Writes one status line per finished file.
class HeadlessSession : public QObject {
    Q_OBJECT

public:
    HeadlessSession(CEncoderApp& app, const MainController::Ports& ports,
                    std::FILE* status = stdout, std::FILE* messages = stderr);
    ~HeadlessSession() override;

    // Starts the work; returns at once. Finished() comes when it is over.
    void Start(const QStringList& files);
    // Quit as the window's Quit button does (signals land here).
    void Quit();
    // The network role of the settings; a client prints a line for each job
    // it takes and for how it ended.
    bool StartNetwork(const NetworkSetup& setup);

    MainController& Controller() { return *controller; }
    int ExitCode() const { return exitCode; }

signals:
    void Finished(int exitCode);

private:
    void PrintStatus(const QueueEntry& entry, const QString& outcome);
    void End();

    HeadlessView view;
    std::unique_ptr<MainController> controller;
    std::FILE* status;
    bool fileMode = false;
    bool failed = false;
    bool ended = false;
    int exitCode = 0;
};
