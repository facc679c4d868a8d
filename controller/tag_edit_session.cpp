#include "controller/tag_edit_session.h"

#include "app/strings.h"
#include "controller/tag_step.h"
#include "queue/main_view.h"
#include "queue/queue_entry.h"
#include "queue/queue_model.h"
#include "tags/tag_edit_walks.h"
#include "tags/tag_file.h"

#include <vector>

bool EditSelectedTags(QueueModel& model, const CEncoderApp& app, MainView& view,
                      const TagDialogRunner& runDialog) {
    std::vector<QueueEntry*> entries;
    std::vector<TagEditTarget> targets;
    for (int row : model.SelectedRows()) {
        if (QueueEntry* entry = model.EntryAt(row)) {
            entries.push_back(entry);
            targets.push_back(TagEditTarget{&entry->tag, entry->name.str()});
        }
    }
    if (targets.empty()) {
        view.ShowInformation(QString::fromLatin1(NO_SELECTION_TEXT), ResString(IDS_APP_TITLE));
        return false;
    }

    ID3TagRecord shown = ChooseDialogRecord(targets, [&](std::size_t i) {
        return ReadTagFromFile(TagTargetOf(*entries[i], app), entries[i]->tag);
    });
    if (!runDialog(shown)) {
        return false;
    }
    // A file not encoded yet keeps the record for its encode's end.
    ApplyDialogRecord(targets, shown, [&](std::size_t i) {
        WriteTagToFile(TagTargetOf(*entries[i], app), entries[i]->tag);
    });
    return true;
}
