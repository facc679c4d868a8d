#pragma once

#include <QString>

// Pictures of the main window for review, made offscreen on sample files with
// the real encoders: main-idle.png and main-encoding.png (mid-batch) at 96
// dots per inch, the same with "-120dpi" for the large-fonts layout, then the
// settings dialogs. Nothing of the user's settings is read or written.
// False when a picture could not be made.
bool WriteWindowScreenshots(const QString& directory);
