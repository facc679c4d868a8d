#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// The command line of a run: the window, or --headless with its options.
struct HeadlessOptions {
    bool headless = false;
    bool help = false;
    QString settingsFile; // --settings FILE: an INI file instead of the user's settings
    QStringList files;    // files to encode now; empty: watch the source folder
    QString error;        // not empty: the command line is wrong
    // --bind ADDRESS: the local address of every socket; --port N: the server's port.
    QString bindAddress;
    std::uint16_t port = 5150;
};

// `arguments` includes the program name. "-log" (any case) is the trace
// switch, not a file.
HeadlessOptions ParseCommandLine(const QStringList& arguments);

QString HeadlessUsage();
