#pragma once

class CEncoderApp;
class EncoderCatalogue;
class MainController;
class OptionsColumnsHost;
class QWidget;

// The main window's Options command: runs the dialog on the application's
// settings, then, whatever its result, lets the controller follow what
// changed (watch folder, labels, the running encode's priority). Returns the
// dialog's result.
int RunOptionsDialog(QWidget* parent, CEncoderApp& app, const EncoderCatalogue* catalogue,
                     MainController& controller, OptionsColumnsHost* columns);
