#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPair>
#include <QString>
#include <array>

class QueueModel;
struct QueueEntry;

inline constexpr int LIST_COLUMN_COUNT = 5;
inline constexpr int LIST_COLUMN_FILES = 0;
inline constexpr int LIST_COLUMN_DIRECTORY = 1;
inline constexpr int LIST_COLUMN_SIZE = 2;
inline constexpr int LIST_COLUMN_STATUS = 3;
inline constexpr int LIST_COLUMN_MACHINE = 4;
inline constexpr int STATUS_TEXT_COUNT = 6;

// The queue's rows as the file list shows them: one row per queue row, the
// five logical columns at their sub-item numbers.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit FileListModel(QueueModel& queue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Loads the status texts from the string table.
    void LoadStatusTexts();
    QString StatusText(int status) const;
    // The text of one cell; a status outside 0 to 5 is set back to 0 first.
    QString CellText(QueueEntry& entry, int column) const;
    QueueEntry* EntryAt(int row) const;
    QueueModel& Queue() const { return queue; }

private:
    QueueModel& queue;
    std::array<QString, STATUS_TEXT_COUNT> statusTexts;
    // Persistent indexes and their entries while the rows are sorted.
    QList<QPair<QModelIndex, QueueEntry*>> reorderedFrom;
};

// Sets a status outside 0 to 5 back to NotDone; true when it did.
bool ClampStatus(QueueEntry& entry);
