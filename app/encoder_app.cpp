#include "app/encoder_app.h"

#include "app/command_line.h"
#include "app/locale_format.h"
#include "app/program_directory.h"
#include "app/settings_store.h"
#include "app/trace.h"

CEncoderApp::CEncoderApp(SettingsStore& store) : store(store) {}

void CEncoderApp::ReadCommandLine(const QStringList& arguments) {
    logFlag = HasLogOption(arguments) ? 1 : 0;
    SetTraceEnabled(logFlag != 0);
}

void CEncoderApp::InitProgramDirectory(const QString& directory) {
    SetProgramDirectory(directory.isEmpty() ? FindProgramDirectory() : directory);
    programDirectory = ProgramDirectory();
}

void CEncoderApp::LoadSettings() {
    ::LoadSettings(store, settings);
}

void CEncoderApp::SaveSettings() {
    ::SaveSettings(store, settings);
}

void CEncoderApp::Start(const QStringList& arguments) {
    ReadCommandLine(arguments);
    InitProgramDirectory();
    LoadLocaleSettings();
    LoadSettings();
    Trace("Start: program directory %s\n", qPrintable(programDirectory));
}

double CEncoderApp::LoadThroughput(const QString& machineName) const {
    return ::LoadThroughput(store, machineName);
}

void CEncoderApp::SaveThroughput(const QString& machineName, double rate) {
    ::SaveThroughput(store, machineName, rate);
}

QString CEncoderApp::SourceDirectory() const {
    return ::SourceDirectory(settings, programDirectory);
}

QString CEncoderApp::OutputDirectory() const {
    return ::OutputDirectory(settings, programDirectory);
}
