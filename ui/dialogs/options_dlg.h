#pragma once

#include "app/encoder_settings.h"

#include <QDialog>

class EncoderCatalogue;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QSlider;
class QSpinBox;

inline constexpr unsigned IDS_DIRECTORIES_EQUAL = 33019;
inline constexpr std::uint32_t PRIORITY_LOW = 0;
inline constexpr std::uint32_t PRIORITY_HIGHEST = 3;

// What "Set Columns" needs of the main window's file list.
class OptionsColumnsHost {
public:
    virtual ~OptionsColumnsHost() = default;
    // The list's current widths into the "ColWidth%d" settings.
    virtual void StoreColumnWidths() = 0;
    // Columns rebuilt from the "Columns" setting and every row filled again.
    virtual void RebuildColumns() = 0;
};

// The general settings: after-encode actions, tray, watch folder, priority,
// files at once, encoder and format, and the two directories. Edits `settings` in memory;
// only OK stores, apart from an impossible priority, which is reset at once,
// and the columns, which take effect as soon as their dialog is confirmed.
class COptionsDlg : public QDialog {
    Q_OBJECT
public:
    // Without a catalogue both lists stay empty and the encoder settings are
    // left as they are.
    COptionsDlg(EncoderSettings& settings, const EncoderCatalogue* catalogue,
                QWidget* parent = nullptr);

    void SetColumnsHost(OptionsColumnsHost* host) { columnsHost = host; }
    // What an empty directory setting means, for the equal-directories check.
    void SetProgramDirectory(const QString& directory) { programDirectory = directory; }

    void accept() override;

    QComboBox* EncoderList() const { return encoderList; }
    QComboBox* FormatList() const { return formatList; }
    QComboBox* StereoModeList() const { return stereoModeList; }
    QSlider* PrioritySlider() const { return priority; }
    QSpinBox* WorkersBox() const { return workers; }

private:
    void BuildControls();
    void InitControls();
    void OnEncoderChanged(int encoder);
    void Browse(QLineEdit* edit, unsigned titleId);
    void OnSetColumns();

    EncoderSettings& settings;
    const EncoderCatalogue* catalogue;
    OptionsColumnsHost* columnsHost = nullptr;
    QString programDirectory;

    QCheckBox* deleteWhenDone = nullptr;
    QCheckBox* minimizeToTray = nullptr;
    QCheckBox* renameToMp3 = nullptr;
    QCheckBox* autoEncode = nullptr;
    QCheckBox* removeFromQueue = nullptr;
    QSlider* priority = nullptr;
    QSpinBox* workers = nullptr;
    QComboBox* encoderList = nullptr;
    QComboBox* formatList = nullptr;
    QComboBox* stereoModeList = nullptr; // the LAME library's: Joint Stereo or Stereo
    QLineEdit* fromDir = nullptr;
    QLineEdit* toDir = nullptr;
};
