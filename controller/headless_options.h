#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// The command line of a run: the window, or --headless with its options.
struct HeadlessOptions {
    bool headless = false;
    bool help = false;
    QString settingsFile;      // --settings FILE: an INI file instead of the user's settings
    QStringList files;         // files to encode now; empty: watch the source folder
    QString bindAddress;       // --bind ADDRESS: the local address of every socket
    std::uint16_t port = 5150; // --port N: the server's port
    QString error;             // not empty: the command line is wrong
};

// `arguments` includes the program name. "-log" (any case) is the trace
// switch, not a file.
HeadlessOptions ParseCommandLine(const QStringList& arguments);

QString HeadlessUsage();
