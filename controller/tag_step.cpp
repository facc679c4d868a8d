#include "controller/tag_step.h"

#include "app/encoder_app.h"
#include "queue/queue_entry.h"
#include "tags/tag_edit_walks.h"
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
    FillEmptyTitleFromName(entry.tag, entry.name);
    return WriteTagToFile(TagTargetOf(entry, app), entry.tag);
}
