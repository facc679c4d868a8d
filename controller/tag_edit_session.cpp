#include "controller/tag_edit_session.h"

#include "app/strings.h"
#include "controller/tag_step.h"
#include "queue/main_view.h"
#include "queue/queue_entry.h"
#include "queue/queue_model.h"
#include "tags/tag_edit_walks.h"
#include "tags/tag_file.h"

#include <QObject>
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
    // The dialog's loop goes on handling completions, and one of them may
    // free a selected entry ("Remove From Queue", a client's success). Its
    // place in the walk stays, so several files still keep their own titles,
    // but its record becomes a scratch one that nothing reads.
    std::vector<ID3TagRecord> scratch(entries.size());
    const QMetaObject::Connection watch =
        QObject::connect(&model, &QueueModel::EntryFreed, [&](QueueEntry* freed) {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (entries[i] == freed) {
                    entries[i] = nullptr;
                    targets[i].tag = &scratch[i];
                }
            }
        });
    const bool confirmed = runDialog(shown);
    QObject::disconnect(watch);
    if (!confirmed) {
        return false;
    }
    // A file not encoded yet keeps the record for its encode's end.
    ApplyDialogRecord(targets, shown, [&](std::size_t i) {
        if (entries[i] != nullptr) {
            WriteTagToFile(TagTargetOf(*entries[i], app), entries[i]->tag);
        }
    });
    // The journal keeps the tags of files still to be encoded.
    for (QueueEntry* entry : entries) {
        model.Refresh(entry);
    }
    return true;
}
