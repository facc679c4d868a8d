#pragma once

#include <QString>

// Whether two directory settings name the same folder: compared without
// regard to case, as the program compares paths everywhere, after resolving
// an empty setting to the program directory and tidying "." and trailing
// separators; two existing folders that resolve to one (a link) count too.
bool SameDirectory(const QString& first, const QString& second, const QString& programDirectory);
