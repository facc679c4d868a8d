#include "controller/tag_step.h"

#include "app/encoder_app.h"
#include "queue/queue_entry.h"
#include "tags/split_artist_title.h"
#include "tags/tag_file.h"

TagFileTarget TagTargetOf(const QueueEntry& entry, const CEncoderApp& app) {
    TagFileTarget target;
    target.status = entry.status;
    target.outputPath = entry.outputPath;
    target.sourcePath = entry.path;
    target.outputDirectory = app.OutputDirectory();
    target.sourceDirectory = app.SourceDirectory();
    target.renameToMp3 = app.settings.renameToMp3 != 0;
    return target;
}

bool WriteEntryTag(QueueEntry& entry, const CEncoderApp& app) {
    if (entry.tag.title.empty()) {
        const ArtistTitle split = SplitArtistTitle(entry.name);
        entry.tag.artist = split.artist.toLatin1().toStdString();
        entry.tag.title = split.title.toLatin1().toStdString();
    }
    return WriteTagToFile(TagTargetOf(entry, app), entry.tag);
}
