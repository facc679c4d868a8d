#pragma once

#include <QString>

class EncoderCatalogue;
class QWidget;

// Renders the Options, ID3 Tag Information, Network and Columns dialogs with
// sample contents into `directory` as options.png, id3.png, network.png and
// columns.png, and the Errors, Encoding Stats and About dialogs as errors.png,
// stats.png and about.png and, drawn for 120 dots per inch, errors-120dpi.png,
// stats-120dpi.png and about-120dpi.png, without showing them on screen. The Options dialog lists
// the given catalogue, or the compression manager's codecs when there is none. False when the
// directory cannot be made or a picture cannot be written.
bool WriteDialogScreenshots(const QString& directory, const EncoderCatalogue* catalogue = nullptr);

// Draws the widget into a PNG at `path`; false (with a trace line) when it
// cannot be written.
bool SaveWidgetPicture(QWidget& widget, const QString& path);
