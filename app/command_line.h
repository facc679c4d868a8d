#pragma once

#include <QStringList>

// True when "-log" stands anywhere in the command line (the program name not
// counted), in any letter case and even inside a longer word.
bool HasLogOption(const QStringList& arguments);
