#include "ui/file_list_model.h"

#include "app/locale_format.h"
#include "app/strings.h"
#include "queue/queue_entry.h"
#include "queue/queue_model.h"

namespace {

constexpr std::array<unsigned, LIST_COLUMN_COUNT> HEADER_IDS = {33000, 33001, 33002, 33003, 33031};
constexpr std::array<unsigned, STATUS_TEXT_COUNT - 1> STATUS_IDS = {33004, 33005, 33006, 33017,
                                                                    33020};

} // namespace

bool ClampStatus(QueueEntry& entry) {
    if (entry.status < 0 || entry.status >= STATUS_TEXT_COUNT) {
        entry.status = NotDone;
        return true;
    }
    return false;
}

FileListModel::FileListModel(QueueModel& queue, QObject* parent)
    : QAbstractTableModel(parent), queue(queue) {
    LoadStatusTexts();
    // Row by row, so the view keeps its place and a long list stays quick.
    connect(&queue, &QueueModel::RowsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows(QModelIndex(), first, last); });
    connect(&queue, &QueueModel::RowsInserted, this, [this] { endInsertRows(); });
    connect(&queue, &QueueModel::RowsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows(QModelIndex(), first, last); });
    connect(&queue, &QueueModel::RowsRemoved, this, [this] { endRemoveRows(); });
    connect(&queue, &QueueModel::RowAboutToMove, this, [this](int from, int to) {
        // The model's destination is the row it goes before, counted before the move.
        beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
    });
    connect(&queue, &QueueModel::RowMoved, this, [this] { endMoveRows(); });
    connect(&queue, &QueueModel::RowsAboutToBeReordered, this, [this] {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        reorderedFrom.clear();
        for (const QModelIndex& index : persistentIndexList()) {
            reorderedFrom.append({index, EntryAt(index.row())});
        }
    });
    connect(&queue, &QueueModel::RowsReordered, this, [this] {
        // All at once: rows that trade places must not find each other's index.
        QModelIndexList from;
        QModelIndexList to;
        for (const auto& [index, entry] : std::as_const(reorderedFrom)) {
            const int row = this->queue.RowOf(entry);
            from.append(index);
            to.append(row >= 0 ? this->index(row, index.column()) : QModelIndex());
        }
        changePersistentIndexList(from, to);
        reorderedFrom.clear();
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    });
    connect(&queue, &QueueModel::RowUpdated, this, [this](int row) {
        if (row >= 0 && row < rowCount()) {
            emit dataChanged(index(row, 0), index(row, LIST_COLUMN_COUNT - 1));
        }
    });
}

void FileListModel::LoadStatusTexts() {
    for (std::size_t i = 0; i < STATUS_IDS.size(); ++i) {
        statusTexts[i] = ResString(STATUS_IDS[i]);
    }
    statusTexts[STATUS_TEXT_COUNT - 1].clear();
}

QString FileListModel::StatusText(int status) const {
    if (status < 0 || status >= STATUS_TEXT_COUNT) {
        return QString();
    }
    return statusTexts[static_cast<std::size_t>(status)];
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : queue.RowCount();
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LIST_COLUMN_COUNT;
}

QueueEntry* FileListModel::EntryAt(int row) const {
    return queue.EntryAt(row);
}

QString FileListModel::CellText(QueueEntry& entry, int column) const {
    switch (column) {
    case LIST_COLUMN_FILES:
        return entry.name.str();
    case LIST_COLUMN_DIRECTORY:
        return entry.directory.str();
    case LIST_COLUMN_SIZE:
        return QStringLiteral("%1 (%2)").arg(FormatSize(entry.size), entry.durationText.str());
    case LIST_COLUMN_STATUS:
        ClampStatus(entry);
        return StatusText(entry.status);
    case LIST_COLUMN_MACHINE:
        return entry.machine.str();
    default:
        return QString();
    }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) {
        return QVariant();
    }
    QueueEntry* entry = EntryAt(index.row());
    if (entry == nullptr) {
        return QVariant();
    }
    return CellText(*entry, index.column());
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= LIST_COLUMN_COUNT) {
        return QVariant();
    }
    return ResString(HEADER_IDS[static_cast<std::size_t>(section)]);
}
