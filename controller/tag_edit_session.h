#pragma once

#include "tags/id3_tag_record.h"

#include <functional>

class CEncoderApp;
class MainView;
class QueueModel;

// Shows `record` in the tag dialog and lets the user edit it; true on OK.
using TagDialogRunner = std::function<bool(ID3TagRecord& record)>;

// The ID3 Tag Information command over the selected rows, in display order:
// the dialog opens with the first selected file's tag (read back from its MP3
// where there is one), and on OK every selected file takes the result and
// has it written into its MP3 when that exists already. With no row
// selected the user is told so. True when the dialog was confirmed.
bool EditSelectedTags(QueueModel& model, const CEncoderApp& app, MainView& view,
                      const TagDialogRunner& runDialog);
