#include "queue/json_journal_import.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <limits>

namespace {

inline constexpr int JOURNAL_VERSION = 1;
inline constexpr double MAX_DWORD = std::numeric_limits<std::uint32_t>::max();

// A text that must fit its field whole: a cut value would name another file.
bool ReadText(const QJsonObject& object, const char* key, int limit, QString& out) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString() || value.toString().size() > limit) {
        return false;
    }
    out = value.toString();
    return true;
}

bool ReadDword(const QJsonObject& object, const char* key, std::uint32_t& out) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isDouble()) {
        return false;
    }
    const double number = value.toDouble();
    if (!(number >= 0.0 && number <= MAX_DWORD) || number != double(std::uint64_t(number))) {
        return false;
    }
    out = std::uint32_t(number);
    return true;
}

template <std::size_t Limit>
bool ReadTagText(const QJsonObject& object, const char* key, BoundedText<Limit>& out) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString()) {
        return false;
    }
    const QString text = value.toString();
    if (text.size() > qsizetype(Limit) || text.contains(QChar(0))) {
        return false;
    }
    for (const QChar c : text) {
        if (c.unicode() > 0xFF) {
            return false;
        }
    }
    out = text.toLatin1().toStdString();
    return true;
}

bool ReadTag(const QJsonObject& object, ID3TagRecord& tag) {
    return ReadTagText(object, "title", tag.title) && ReadTagText(object, "artist", tag.artist) &&
           ReadTagText(object, "album", tag.album) && ReadTagText(object, "year", tag.year) &&
           ReadTagText(object, "genre", tag.genre) && ReadTagText(object, "comment", tag.comment);
}

std::unique_ptr<QueueEntry> ReadEntry(const QJsonValue& value) {
    if (!value.isObject()) {
        return nullptr;
    }
    const QJsonObject object = value.toObject();
    auto entry = std::make_unique<QueueEntry>();
    QString path;
    QString outputPath;
    QString durationText;
    if (!ReadText(object, "path", PATH_LENGTH, path) || path.isEmpty() ||
        !ReadText(object, "outputPath", PATH_LENGTH, outputPath) ||
        !ReadText(object, "durationText", FIGURE_TEXT_LENGTH, durationText) ||
        !ReadDword(object, "size", entry->size) ||
        !ReadDword(object, "durationSeconds", entry->durationSeconds) ||
        !ReadDword(object, "hours", entry->hours) ||
        !ReadDword(object, "minutes", entry->minutes) ||
        !ReadDword(object, "seconds", entry->seconds) ||
        !ReadTag(object.value(QLatin1String("tag")).toObject(), entry->tag)) {
        return nullptr;
    }
    const QJsonValue status = object.value(QLatin1String("status"));
    if (!status.isDouble() || status.toDouble() != double(status.toInt()) ||
        status.toInt() < NotDone || status.toInt() > Error) {
        return nullptr;
    }
    const QJsonArray failed = object.value(QLatin1String("failedOn")).toArray();
    if (failed.size() > MAX_FAILED_MACHINES) {
        return nullptr;
    }
    for (const QJsonValue& name : failed) {
        if (!name.isString() || name.toString().size() > MACHINE_NAME_LENGTH) {
            return nullptr;
        }
        RecordFailure(*entry, name.toString());
    }
    SetEntryPath(*entry, path);
    entry->outputPath = outputPath;
    entry->durationText = durationText;
    // Nothing runs yet after a start: an interrupted encode begins again.
    entry->status = IsActiveStatus(status.toInt()) ? NotDone : status.toInt();
    entry->percent = -1;
    return entry;
}

} // namespace

std::optional<std::vector<std::unique_ptr<QueueEntry>>> ParseJsonJournal(const QByteArray& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("journal")).toString() != QLatin1String("queue") ||
        root.value(QLatin1String("version")).toInt() != JOURNAL_VERSION ||
        !root.value(QLatin1String("entries")).isArray()) {
        return std::nullopt;
    }
    std::vector<std::unique_ptr<QueueEntry>> entries;
    for (const QJsonValue& value : root.value(QLatin1String("entries")).toArray()) {
        std::unique_ptr<QueueEntry> entry = ReadEntry(value);
        if (!entry) {
            return std::nullopt;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}
