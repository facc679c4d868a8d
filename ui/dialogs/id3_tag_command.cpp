#include "ui/dialogs/id3_tag_command.h"

#include "controller/tag_edit_session.h"
#include "ui/dialogs/id3_tag_dlg.h"

bool OnID3TagInfo(QWidget* parent, QueueModel& model, const CEncoderApp& app, MainView& view) {
    return EditSelectedTags(model, app, view, [parent](ID3TagRecord& record) {
        CID3TagDlg dialog(parent);
        dialog.SetTag(record);
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
        dialog.GetTag(record);
        return true;
    });
}
