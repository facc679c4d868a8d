#pragma once

#include "app/encoder_settings.h"

#include <QString>
#include <QStringList>

class SettingsStore;

// The application object: the settings and the shell state of one run. The
// program creates exactly one, in main(), and hands it to whoever needs it.
class CEncoderApp {
public:
    explicit CEncoderApp(SettingsStore& store);

    // "-log" anywhere on the command line switches the trace on.
    void ReadCommandLine(const QStringList& arguments);
    // The directory of error.log and the default folders; empty: found as usual.
    void InitProgramDirectory(const QString& directory = QString());

    void LoadSettings();
    void SaveSettings();
    // What both front ends do first: trace switch, program directory, locale, settings.
    void Start(const QStringList& arguments);
    double LoadThroughput(const QString& machineName) const;
    void SaveThroughput(const QString& machineName, double rate);

    QString SourceDirectory() const;
    QString OutputDirectory() const;
    SettingsStore& Store() { return store; }

    EncoderSettings settings;
    int logFlag = 0;
    QString programDirectory;

private:
    SettingsStore& store;
};
