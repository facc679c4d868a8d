#include "queue/journal_rows.h"

#include "queue/sqlite_handle.h"

#include <QHashFunctions>
#include <QJsonArray>
#include <QJsonDocument>
#include <limits>

const char* const JOURNAL_SCHEMA_SQL =
    "CREATE TABLE entries("
    " id INTEGER PRIMARY KEY, position INTEGER NOT NULL,"
    " path TEXT NOT NULL, output_path TEXT NOT NULL, size INTEGER NOT NULL,"
    " status INTEGER NOT NULL, failed_on TEXT NOT NULL,"
    " duration_seconds INTEGER NOT NULL, hours INTEGER NOT NULL, minutes INTEGER NOT NULL,"
    " seconds INTEGER NOT NULL, duration_text TEXT NOT NULL,"
    " title BLOB NOT NULL, artist BLOB NOT NULL, album BLOB NOT NULL, year BLOB NOT NULL,"
    " genre BLOB NOT NULL, comment BLOB NOT NULL, track BLOB NOT NULL);"
    "CREATE INDEX entries_by_position ON entries(position);";

const char* const JOURNAL_WRITE_SQL =
    "INSERT OR REPLACE INTO entries(id, position, path, output_path, size, status, failed_on,"
    " duration_seconds, hours, minutes, seconds, duration_text, title, artist, album, year,"
    " genre, comment, track) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14,"
    " ?15, ?16, ?17, ?18, ?19)";

const char* const JOURNAL_UPDATE_SQL =
    "UPDATE entries SET position = ?2, path = ?3, output_path = ?4, size = ?5, status = ?6,"
    " failed_on = ?7, duration_seconds = ?8, hours = ?9, minutes = ?10, seconds = ?11,"
    " duration_text = ?12, title = ?13, artist = ?14, album = ?15, year = ?16, genre = ?17,"
    " comment = ?18, track = ?19 WHERE id = ?1";

const char* const JOURNAL_READ_SQL =
    "SELECT id, position, path, output_path, size, status, failed_on, duration_seconds, hours,"
    " minutes, seconds, duration_text, title, artist, album, year, genre, comment, track"
    " FROM entries ORDER BY position, id";

namespace {

enum Column {
    ID,
    POSITION,
    PATH,
    OUTPUT_PATH,
    SIZE,
    STATUS,
    FAILED_ON,
    DURATION_SECONDS,
    HOURS,
    MINUTES,
    SECONDS,
    DURATION_TEXT,
    TITLE,
};

QByteArray FailedOnText(const QueueEntry& entry) {
    QJsonArray names;
    for (int i = 0; i < entry.failedCount && i < MAX_FAILED_MACHINES; ++i) {
        names.append(entry.failedOn[std::size_t(i)].str());
    }
    return QJsonDocument(names).toJson(QJsonDocument::Compact);
}

template <std::size_t Limit>
void BindTag(sqlite3_stmt* statement, int index, const BoundedText<Limit>& text) {
    sqlite3_bind_blob(statement, index, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
}

bool ReadText(sqlite3_stmt* statement, int column, int limit, QString& out) {
    if (sqlite3_column_type(statement, column) != SQLITE_TEXT) {
        return false;
    }
    out = ColumnText(statement, column);
    return out.size() <= limit;
}

bool ReadDword(sqlite3_stmt* statement, int column, std::uint32_t& out) {
    if (sqlite3_column_type(statement, column) != SQLITE_INTEGER) {
        return false;
    }
    const sqlite3_int64 value = sqlite3_column_int64(statement, column);
    if (value < 0 || value > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    out = std::uint32_t(value);
    return true;
}

template <std::size_t Limit>
bool ReadTag(sqlite3_stmt* statement, int column, BoundedText<Limit>& out) {
    if (sqlite3_column_type(statement, column) != SQLITE_BLOB &&
        sqlite3_column_type(statement, column) != SQLITE_NULL) {
        return false;
    }
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
    const std::size_t size = std::size_t(sqlite3_column_bytes(statement, column));
    const std::string_view text(bytes != nullptr ? bytes : "", size);
    if (size > Limit || text.find('\0') != std::string_view::npos) {
        return false;
    }
    out = text;
    return true;
}

bool ReadFailedOn(sqlite3_stmt* statement, QueueEntry& entry) {
    if (sqlite3_column_type(statement, FAILED_ON) != SQLITE_TEXT) {
        return false;
    }
    QJsonParseError error{};
    const QJsonDocument names = QJsonDocument::fromJson(
        QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(statement, FAILED_ON)),
                   sqlite3_column_bytes(statement, FAILED_ON)),
        &error);
    if (error.error != QJsonParseError::NoError || !names.isArray() ||
        names.array().size() > MAX_FAILED_MACHINES) {
        return false;
    }
    for (const QJsonValue& name : names.array()) {
        if (!name.isString() || name.toString().size() > MACHINE_NAME_LENGTH) {
            return false;
        }
        RecordFailure(entry, name.toString());
    }
    return true;
}

} // namespace

void BindEntryRow(sqlite3_stmt* statement, const QueueEntry& entry, qint64 id, qint64 position) {
    sqlite3_bind_int64(statement, ID + 1, id);
    sqlite3_bind_int64(statement, POSITION + 1, position);
    BindText(statement, PATH + 1, entry.path.str());
    BindText(statement, OUTPUT_PATH + 1, entry.outputPath.str());
    sqlite3_bind_int64(statement, SIZE + 1, entry.size);
    // Nothing runs after a start: an interrupted encode begins again.
    sqlite3_bind_int(statement, STATUS + 1, IsActiveStatus(entry.status) ? NotDone : entry.status);
    const QByteArray failed = FailedOnText(entry);
    sqlite3_bind_text(statement, FAILED_ON + 1, failed.constData(), int(failed.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, DURATION_SECONDS + 1, entry.durationSeconds);
    sqlite3_bind_int64(statement, HOURS + 1, entry.hours);
    sqlite3_bind_int64(statement, MINUTES + 1, entry.minutes);
    sqlite3_bind_int64(statement, SECONDS + 1, entry.seconds);
    BindText(statement, DURATION_TEXT + 1, entry.durationText.str());
    BindTag(statement, TITLE + 1, entry.tag.title);
    BindTag(statement, TITLE + 2, entry.tag.artist);
    BindTag(statement, TITLE + 3, entry.tag.album);
    BindTag(statement, TITLE + 4, entry.tag.year);
    BindTag(statement, TITLE + 5, entry.tag.genre);
    BindTag(statement, TITLE + 6, entry.tag.comment);
    BindTag(statement, TITLE + 7, entry.tag.track);
}

std::unique_ptr<QueueEntry> ReadEntryRow(sqlite3_stmt* statement) {
    auto entry = std::make_unique<QueueEntry>();
    QString path;
    QString outputPath;
    QString durationText;
    if (!ReadText(statement, PATH, PATH_LENGTH, path) || path.isEmpty() ||
        !ReadText(statement, OUTPUT_PATH, PATH_LENGTH, outputPath) ||
        !ReadText(statement, DURATION_TEXT, FIGURE_TEXT_LENGTH, durationText) ||
        !ReadDword(statement, SIZE, entry->size) ||
        !ReadDword(statement, DURATION_SECONDS, entry->durationSeconds) ||
        !ReadDword(statement, HOURS, entry->hours) ||
        !ReadDword(statement, MINUTES, entry->minutes) ||
        !ReadDword(statement, SECONDS, entry->seconds) || !ReadFailedOn(statement, *entry) ||
        !ReadTag(statement, TITLE, entry->tag.title) ||
        !ReadTag(statement, TITLE + 1, entry->tag.artist) ||
        !ReadTag(statement, TITLE + 2, entry->tag.album) ||
        !ReadTag(statement, TITLE + 3, entry->tag.year) ||
        !ReadTag(statement, TITLE + 4, entry->tag.genre) ||
        !ReadTag(statement, TITLE + 5, entry->tag.comment) ||
        !ReadTag(statement, TITLE + 6, entry->tag.track)) {
        return nullptr;
    }
    if (sqlite3_column_type(statement, STATUS) != SQLITE_INTEGER) {
        return nullptr;
    }
    const sqlite3_int64 status = sqlite3_column_int64(statement, STATUS);
    if (status < NotDone || status > Error) {
        return nullptr;
    }
    SetEntryPath(*entry, path);
    entry->outputPath = outputPath;
    entry->durationText = durationText;
    entry->status = IsActiveStatus(int(status)) ? NotDone : int(status);
    entry->percent = -1;
    return entry;
}

std::size_t JournalFingerprint(const QueueEntry& entry) {
    std::size_t seed = qHashMulti(0, entry.path.str(), entry.outputPath.str(), entry.size,
                                  IsActiveStatus(entry.status) ? NotDone : entry.status,
                                  entry.durationSeconds, entry.hours, entry.minutes, entry.seconds,
                                  entry.durationText.str(), entry.failedCount);
    for (int i = 0; i < entry.failedCount && i < MAX_FAILED_MACHINES; ++i) {
        seed = qHashMulti(seed, entry.failedOn[std::size_t(i)].str());
    }
    for (const std::string* text :
         {&entry.tag.title.str(), &entry.tag.artist.str(), &entry.tag.album.str(),
          &entry.tag.year.str(), &entry.tag.genre.str(), &entry.tag.comment.str(),
          &entry.tag.track.str()}) {
        seed = qHashMulti(seed, QByteArrayView(text->data(), qsizetype(text->size())));
    }
    return seed;
}
