#include "queue/queue_journal.h"

#include "app/error_log.h"
#include "app/trace.h"
#include "queue/journal_rows.h"
#include "queue/json_journal_import.h"
#include "queue/queue_model.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

// Far larger than any real queue; a bigger JSON journal is not read into memory.
inline constexpr qint64 MAX_JSON_JOURNAL_BYTES = 64LL * 1024 * 1024;
// Room between neighbouring positions, so an insert or a move rarely renumbers.
inline constexpr qint64 POSITION_STEP = qint64(1) << 20;

QString TimeSuffix() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
}

// An earlier journal is JSON text; a database starts with its own header
// (or is empty, a database not written yet).
bool HoldsJsonText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray start = file.read(64).trimmed();
    return start.startsWith('{');
}

int PrimaryCode(int result) {
    return result & 0xff;
}

} // namespace

QueueJournal::QueueJournal(QueueModel& model, QString path, QObject* parent)
    : QObject(parent), model(model), path(std::move(path)) {
    Open();
    if (!db) {
        return;
    }
    Watch();
    // Rows queued before the journal came are kept too.
    if (model.RowCount() > 0) {
        OnInserted(0, model.RowCount() - 1);
    }
}

QueueJournal::~QueueJournal() {
    Save();
    Close();
}

void QueueJournal::Open() {
    const QString importing = path + QStringLiteral(".importing");
    if (!QFileInfo::exists(path) && QFileInfo::exists(importing)) {
        // Stopped between setting a JSON journal aside and putting its database in place.
        QFile::rename(importing, path);
    }
    if (QFileInfo(path).size() > 0 && HoldsJsonText(path) && !ImportJson()) {
        return;
    }
    OpenResult result = OpenDatabase();
    if (result == OpenResult::Damaged) {
        Close();
        SetAside();
        result = OpenDatabase();
    }
    if (result == OpenResult::Ready) {
        return;
    }
    const QString reason = SqliteMessage(db.get());
    Trace("QueueJournal: couldn't open %s: %s\n", qPrintable(path), qPrintable(reason));
    if (result == OpenResult::InUse) {
        AddError(QStringLiteral("The queue journal %1 is in use by another program; this run "
                                "does not keep its queue for a restart.")
                     .arg(path));
    } else {
        AddError(QStringLiteral("The queue journal %1 could not be opened (%2); the queue is not "
                                "kept for a restart.")
                     .arg(path, reason));
    }
    Close();
}

QueueJournal::OpenResult QueueJournal::OpenDatabase() {
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db.reset(raw);
    if (opened != SQLITE_OK) {
        return OpenResult::Failed;
    }
    sqlite3_busy_timeout(db.get(), 0);
    const auto failure = [this](int result) {
        switch (PrimaryCode(result)) {
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            return OpenResult::Damaged;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return OpenResult::InUse;
        default:
            return OpenResult::Failed;
        }
    };
    // Held for as long as this program runs: a second writer is refused, not
    // interleaved. The WAL index then lives in this process, not in a file.
    for (const char* setup :
         {"PRAGMA locking_mode=EXCLUSIVE", "PRAGMA synchronous=NORMAL", "BEGIN EXCLUSIVE"}) {
        if (const int result = ExecSql(db.get(), setup); result != SQLITE_OK) {
            return failure(result);
        }
    }
    const auto single = [this](const char* sql, QString* text) {
        SqliteStatement query = PrepareSql(db.get(), sql);
        if (!query) {
            return std::pair{sqlite3_errcode(db.get()), qint64(0)};
        }
        const int stepped = sqlite3_step(query.get());
        if (stepped != SQLITE_ROW) {
            return std::pair{stepped == SQLITE_DONE ? SQLITE_CORRUPT : stepped, qint64(0)};
        }
        if (text != nullptr) {
            *text = ColumnText(query.get(), 0);
        }
        return std::pair{SQLITE_OK, qint64(sqlite3_column_int64(query.get(), 0))};
    };
    QString check;
    if (const auto [result, value] = single("PRAGMA quick_check", &check); result != SQLITE_OK) {
        return failure(result);
    }
    if (check != QLatin1String("ok")) {
        Trace("QueueJournal: %s fails its check: %s\n", qPrintable(path), qPrintable(check));
        return OpenResult::Damaged;
    }
    const auto [tablesResult, tables] = single("SELECT count(*) FROM sqlite_master", nullptr);
    const auto [appResult, application] = single("PRAGMA application_id", nullptr);
    const auto [versionResult, version] = single("PRAGMA user_version", nullptr);
    if (tablesResult != SQLITE_OK || appResult != SQLITE_OK || versionResult != SQLITE_OK) {
        return failure(tablesResult != SQLITE_OK
                           ? tablesResult
                           : (appResult != SQLITE_OK ? appResult : versionResult));
    }
    if (tables == 0) {
        const QByteArray create =
            QByteArray(JOURNAL_SCHEMA_SQL) + QByteArray("PRAGMA application_id=") +
            QByteArray::number(JOURNAL_APPLICATION_ID) + QByteArray(";PRAGMA user_version=") +
            QByteArray::number(JOURNAL_SCHEMA_VERSION) + ';';
        if (const int result = ExecSql(db.get(), create.constData()); result != SQLITE_OK) {
            return failure(result);
        }
    } else if (application != JOURNAL_APPLICATION_ID || version != JOURNAL_SCHEMA_VERSION) {
        // Another program's database, or a journal of a later version.
        return OpenResult::Damaged;
    }
    const auto [maxResult, maxId] = single("SELECT coalesce(max(id), 0) FROM entries", nullptr);
    if (maxResult != SQLITE_OK) {
        return failure(maxResult);
    }
    nextId = maxId + 1;
    if (const auto [pageResult, page] = single("PRAGMA page_size", nullptr);
        pageResult == SQLITE_OK && page > 0) {
        pageSize = page;
    }
    // Only a database known to be ours is switched to its log mode.
    for (const char* setup : {"COMMIT", "PRAGMA journal_mode=WAL"}) {
        if (const int result = ExecSql(db.get(), setup); result != SQLITE_OK) {
            return failure(result);
        }
    }
    writeRow = PrepareSql(db.get(), JOURNAL_WRITE_SQL);
    updateRow = PrepareSql(db.get(), JOURNAL_UPDATE_SQL);
    movePosition = PrepareSql(db.get(), "UPDATE entries SET position = ?1 WHERE id = ?2");
    deleteRow = PrepareSql(db.get(), "DELETE FROM entries WHERE id = ?1");
    if (!writeRow || !updateRow || !movePosition || !deleteRow) {
        return failure(sqlite3_errcode(db.get()));
    }
    return OpenResult::Ready;
}

bool QueueJournal::ImportJson() {
    QFile file(path);
    std::optional<std::vector<std::unique_ptr<QueueEntry>>> entries;
    if (file.open(QIODevice::ReadOnly) && file.size() <= MAX_JSON_JOURNAL_BYTES) {
        entries = ParseJsonJournal(file.readAll());
    }
    file.close();
    if (!entries) {
        SetAside();
        return true;
    }
    std::vector<const QueueEntry*> rows;
    for (const auto& entry : *entries) {
        rows.push_back(entry.get());
    }
    const QString importing = path + QStringLiteral(".importing");
    const QString aside = path + QStringLiteral(".json-") + TimeSuffix();
    if (!CreateFrom(importing, rows) || !QFile::rename(path, aside) ||
        !QFile::rename(importing, path)) {
        AddError(QStringLiteral("The queue journal %1 could not be moved into its new form; the "
                                "queue is not kept for a restart.")
                     .arg(path));
        return false;
    }
    Trace("QueueJournal: %d entries moved from %s into the database\n", int(rows.size()),
          qPrintable(aside));
    return true;
}

bool QueueJournal::CreateFrom(const QString& target,
                              const std::vector<const QueueEntry*>& entries) {
    QFile::remove(target);
    QFile::remove(target + QStringLiteral("-journal"));
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(target.toUtf8().constData(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    SqliteDatabase created(raw);
    if (opened != SQLITE_OK) {
        return false;
    }
    const QByteArray create =
        QByteArray("BEGIN;") + JOURNAL_SCHEMA_SQL +
        "PRAGMA application_id=" + QByteArray::number(JOURNAL_APPLICATION_ID) +
        ";PRAGMA user_version=" + QByteArray::number(JOURNAL_SCHEMA_VERSION) + ';';
    if (ExecSql(created.get(), create.constData()) != SQLITE_OK) {
        return false;
    }
    SqliteStatement write = PrepareSql(created.get(), JOURNAL_WRITE_SQL);
    if (!write) {
        return false;
    }
    qint64 id = 0;
    for (const QueueEntry* entry : entries) {
        ++id;
        BindEntryRow(write.get(), *entry, id, id * POSITION_STEP);
        if (sqlite3_step(write.get()) != SQLITE_DONE) {
            return false;
        }
        sqlite3_reset(write.get());
    }
    write.reset();
    return ExecSql(created.get(), "COMMIT") == SQLITE_OK;
}

void QueueJournal::SetAside() {
    const QString aside = path + QStringLiteral(".damaged-") + TimeSuffix();
    const bool moved = QFile::rename(path, aside);
    if (moved && QFileInfo::exists(path + QStringLiteral("-wal"))) {
        // The log goes with its database, under the name SQLite pairs with it.
        QFile::rename(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    }
    QFile::remove(path + QStringLiteral("-shm"));
    AddError(moved ? QStringLiteral("The queue journal %1 could not be read; it was set aside as "
                                    "%2 and the queue starts empty.")
                         .arg(path, aside)
                   : QStringLiteral("The queue journal %1 could not be read and could not be set "
                                    "aside; the queue starts empty.")
                         .arg(path));
}

void QueueJournal::Close() {
    writeRow.reset();
    updateRow.reset();
    movePosition.reset();
    deleteRow.reset();
    db.reset();
}

void QueueJournal::Watch() {
    connect(&model, &QueueModel::RowsInserted, this, &QueueJournal::OnInserted);
    connect(&model, &QueueModel::RowsAboutToBeRemoved, this, &QueueJournal::OnAboutToRemove);
    connect(&model, &QueueModel::RowMoved, this, &QueueJournal::OnMoved);
    connect(&model, &QueueModel::RowsReordered, this, &QueueJournal::OnReordered);
    connect(&model, &QueueModel::RowUpdated, this,
            [this](int row) { MarkDirty(this->model.EntryAt(row)); });
    // A queue that goes first takes its entries along: none may be read after.
    connect(&model, &QObject::destroyed, this, [this] {
        dirty.clear();
        kept.clear();
    });
}

int QueueJournal::Restore(const std::function<bool(QueueEntry&)>& keep) {
    if (!db) {
        return 0;
    }
    struct Stored {
        std::unique_ptr<QueueEntry> entry;
        qint64 id;
        qint64 position;
    };
    std::vector<Stored> stored;
    {
        SqliteStatement read = PrepareSql(db.get(), JOURNAL_READ_SQL);
        int stepped = read ? sqlite3_step(read.get()) : sqlite3_errcode(db.get());
        for (; stepped == SQLITE_ROW; stepped = sqlite3_step(read.get())) {
            std::unique_ptr<QueueEntry> entry = ReadEntryRow(read.get());
            if (!entry) {
                stepped = SQLITE_CORRUPT;
                break;
            }
            stored.push_back(Stored{std::move(entry), sqlite3_column_int64(read.get(), 0),
                                    sqlite3_column_int64(read.get(), 1)});
        }
        if (stepped != SQLITE_DONE) {
            read.reset();
            Trace("QueueJournal: %s could not be read: %s\n", qPrintable(path),
                  qPrintable(SqliteMessage(db.get())));
            Close();
            SetAside();
            if (OpenDatabase() != OpenResult::Ready) {
                Close();
            }
            // The rows queued before go into the new, empty database.
            for (auto& [entry, state] : kept) {
                state.written = false;
                dirty.insert(entry);
            }
            ScheduleSave();
            return 0;
        }
    }
    const bool hadRows = model.RowCount() > 0;
    int restored = 0;
    for (Stored& row : stored) {
        const std::size_t print = JournalFingerprint(*row.entry);
        if (!model.QualifyFile(row.entry->path) || (keep && !keep(*row.entry))) {
            deleted.push_back(row.id);
            continue;
        }
        QueueEntry* entry = model.Append(std::move(row.entry));
        restoring = true;
        model.AddRowAtEnd(entry);
        restoring = false;
        kept[entry] = Kept{row.id, row.position, true, row.position, print};
        // What `keep` changed goes back to the database.
        MarkDirty(entry);
        ++restored;
    }
    if (hadRows) {
        Renumber();
    }
    Trace("QueueJournal: %d entries restored from %s\n", restored, qPrintable(path));
    Save();
    return restored;
}

void QueueJournal::OnInserted(int first, int last) {
    if (restoring) {
        return;
    }
    const qint64 before = first > 0 ? PositionOf(first - 1) : 0;
    const bool hasAfter = last + 1 < model.RowCount();
    const qint64 after = hasAfter ? PositionOf(last + 1) : 0;
    const qint64 count = last - first + 1;
    qint64 start = before;
    qint64 step = POSITION_STEP;
    if (hasAfter && first == 0) {
        start = after - (count + 1) * POSITION_STEP;
    } else if (hasAfter) {
        step = (after - before) / (count + 1);
    }
    for (int row = first; row <= last; ++row) {
        const QueueEntry* entry = model.EntryAt(row);
        Kept& added = kept[entry];
        added = Kept{};
        added.id = nextId++;
        added.position = start + step * (row - first + 1);
        dirty.insert(entry);
    }
    if (step == 0) {
        // No room left between the neighbours.
        Renumber();
    }
    ScheduleSave();
}

void QueueJournal::OnAboutToRemove(int first, int last) {
    for (int row = first; row <= last; ++row) {
        const QueueEntry* entry = model.EntryAt(row);
        const auto found = kept.find(entry);
        if (found == kept.end()) {
            continue;
        }
        if (found->second.written) {
            deleted.push_back(found->second.id);
        }
        dirty.erase(entry);
        kept.erase(found);
    }
    ScheduleSave();
}

void QueueJournal::OnMoved(int from, int to) {
    const QueueEntry* moved = model.EntryAt(to);
    if (kept.count(moved) == 0) {
        return;
    }
    if (from == to + 1 || from == to - 1) {
        // One place up or down: the two rows swap their positions.
        const QueueEntry* other = model.EntryAt(from);
        if (kept.count(other) != 0) {
            std::swap(kept[moved].position, kept[other].position);
            MarkDirty(moved);
            MarkDirty(other);
            return;
        }
    }
    const qint64 before = to > 0 ? PositionOf(to - 1) : PositionOf(to + 1) - 2 * POSITION_STEP;
    const qint64 after =
        to + 1 < model.RowCount() ? PositionOf(to + 1) : PositionOf(to - 1) + 2 * POSITION_STEP;
    if (after - before < 2) {
        Renumber();
        return;
    }
    kept[moved].position = before + (after - before) / 2;
    MarkDirty(moved);
}

void QueueJournal::OnReordered() {
    Renumber();
}

void QueueJournal::Renumber() {
    qint64 position = 0;
    for (const QueueEntry* entry : model.RowEntries()) {
        position += POSITION_STEP;
        if (const auto found = kept.find(entry); found != kept.end()) {
            found->second.position = position;
            dirty.insert(entry);
        }
    }
    ScheduleSave();
}

qint64 QueueJournal::PositionOf(int row) const {
    const auto found = kept.find(model.EntryAt(row));
    return found != kept.end() ? found->second.position : 0;
}

void QueueJournal::MarkDirty(const QueueEntry* entry) {
    if (entry != nullptr && kept.count(entry) != 0) {
        dirty.insert(entry);
        ScheduleSave();
    }
}

void QueueJournal::ScheduleSave() {
    if (savePending || !db) {
        return;
    }
    savePending = true;
    QTimer::singleShot(0, this, [this] {
        if (savePending) {
            Save();
        }
    });
}

bool QueueJournal::Save() {
    savePending = false;
    if (!db) {
        return false;
    }
    struct Write {
        const QueueEntry* entry;
        std::size_t print;
    };
    std::vector<Write> writes;
    std::vector<const QueueEntry*> moves;
    for (const QueueEntry* entry : dirty) {
        const Kept& state = kept.at(entry);
        const std::size_t print = JournalFingerprint(*entry);
        if (!state.written || print != state.writtenPrint) {
            writes.push_back(Write{entry, print});
        } else if (state.position != state.writtenPosition) {
            moves.push_back(entry);
        }
    }
    if (writes.empty() && moves.empty() && deleted.empty()) {
        // Progress figures and the like: nothing the journal keeps changed.
        dirty.clear();
        return true;
    }
    const auto run = [](sqlite3_stmt* statement) {
        const int result = sqlite3_step(statement);
        sqlite3_reset(statement);
        return result == SQLITE_DONE;
    };
    bool ok = ExecSql(db.get(), "BEGIN") == SQLITE_OK;
    for (qint64 id : deleted) {
        sqlite3_bind_int64(deleteRow.get(), 1, id);
        ok = ok && run(deleteRow.get());
    }
    for (const Write& write : writes) {
        const Kept& state = kept.at(write.entry);
        sqlite3_stmt* statement = state.written ? updateRow.get() : writeRow.get();
        BindEntryRow(statement, *write.entry, state.id, state.position);
        ok = ok && run(statement);
    }
    for (const QueueEntry* entry : moves) {
        sqlite3_bind_int64(movePosition.get(), 1, kept.at(entry).position);
        sqlite3_bind_int64(movePosition.get(), 2, kept.at(entry).id);
        ok = ok && run(movePosition.get());
    }
    ok = ok && ExecSql(db.get(), "COMMIT") == SQLITE_OK;
    if (!ok) {
        const QString reason = SqliteMessage(db.get());
        ExecSql(db.get(), "ROLLBACK");
        // Kept pending: the next change tries again.
        ReportWriteFailure(reason);
        return false;
    }
    for (const Write& write : writes) {
        Kept& state = kept.at(write.entry);
        state.written = true;
        state.writtenPrint = write.print;
        state.writtenPosition = state.position;
    }
    for (const QueueEntry* entry : moves) {
        Kept& state = kept.at(entry);
        state.writtenPosition = state.position;
    }
    rowsWritten += qint64(writes.size() + moves.size() + deleted.size());
    int pages = 0;
    int highest = 0;
    sqlite3_db_status(db.get(), SQLITE_DBSTATUS_CACHE_WRITE, &pages, &highest, 1);
    bytesWritten += qint64(pages) * pageSize;
    dirty.clear();
    deleted.clear();
    writeFailed = false;
    return true;
}

void QueueJournal::ReportWriteFailure(const QString& reason) {
    Trace("QueueJournal: couldn't write %s: %s\n", qPrintable(path), qPrintable(reason));
    if (!writeFailed) {
        AddError(QStringLiteral("The queue journal %1 could not be written (%2); the queue may "
                                "not come back whole after a restart.")
                     .arg(path, reason));
    }
    writeFailed = true;
}

void QueueJournal::Remove() {
    savePending = false;
    dirty.clear();
    deleted.clear();
    Close();
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile::remove(path + suffix);
    }
}
