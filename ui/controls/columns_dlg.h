#pragma once

#include "app/encoder_settings.h"

#include <QDialog>

class QListWidget;

inline constexpr std::uint32_t COLUMN_FILES = 1;
inline constexpr std::uint32_t COLUMN_DIRECTORY = 2;
inline constexpr std::uint32_t COLUMN_SIZE = 4;
inline constexpr std::uint32_t COLUMN_STATUS = 8;
inline constexpr std::uint32_t COLUMN_MACHINE = 16;

// Lets the user choose the optional columns of the file list. On OK the
// "Columns" setting holds the new mask; the Files column is always in it.
class CColumnsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CColumnsDlg(EncoderSettings& settings, QWidget* parent = nullptr);

    QListWidget* ColumnList() const { return list; }

    void accept() override;

private:
    EncoderSettings& settings;
    QListWidget* list;
};
