#pragma once

#include "ui/controls/super_list_ctrl.h"

#include <QFont>
#include <array>
#include <memory>
#include <vector>

class FileListModel;
class QMenu;
class QueueModel;
struct QueueEntry;

inline constexpr int IDR_LIST_MENU = 130;
inline constexpr int ID_DELETE_FROM_LIST = 32771;
inline constexpr int ID_RESET_STATUS = 32772;
inline constexpr int ID_MORE_INFO = 32773;
inline constexpr int ID_RESET_ALL = 32774;
inline constexpr int ID_ID3_TAG_INFO = 32775;

// The geometry of the progress bar drawn after the text of an Encoding
// Machine cell; empty when fewer than 10 pixels remain.
QRect RowProgressRect(const QRect& cell, int textRight, bool largeFonts);

// The queue as a list: the columns of the "Columns" setting at their logical
// sub-item numbers, owner-drawn rows with the encoding progress, the context
// menu and the Delete key. It mirrors the queue's selection and focus both ways.
class CFileListCtrl : public CSuperListCtrl {
    Q_OBJECT

public:
    explicit CFileListCtrl(QueueModel& queue, QWidget* parent = nullptr);
    ~CFileListCtrl() override;

    // The default widths of the five columns, for a width of 0.
    void SetDefaultWidths(const std::array<int, 5>& widths) { defaultWidths = widths; }
    // Shows the columns of `columns` (the Files column always); a width of 0
    // becomes the column's default and is written back.
    bool BuildColumns(std::uint32_t columns, std::array<std::uint32_t, 8>& widths);
    // The widths of the shown columns at their sub-item numbers.
    void GetColumnWidths(std::array<std::uint32_t, 8>& widths) const;
    bool IsColumnShown(int column) const;
    int ShownColumnCount() const;

    // Menu 130 with its items enabled for the current selection.
    std::unique_ptr<QMenu> BuildContextMenu();
    FileListModel& Model() const { return *listModel; }
    int FirstFullyVisibleRow() const;
    int LastFullyVisibleRow() const;

signals:
    // A menu command or the Delete key, for the main window.
    void Command(int id);
    // The selection or the focused row changed by the user.
    void RowStateChanged();
    void HeaderClicked(int logicalColumn);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    void PullSelection();
    void PushSelection();
    void DrawCell(QPainter& painter, QueueEntry& entry, int column, const QRect& cell,
                  bool highlighted) const;

    QueueModel& queue;
    std::unique_ptr<FileListModel> listModel;
    std::array<int, 5> defaultWidths{150, 150, 110, 80, 110};
    QFont listFont;
    bool syncing = false;
};
