#pragma once

class CEncoderApp;
class MainView;
class QueueModel;
class QWidget;

// The file list's "ID3 Tag Information" command: the tag dialog for the
// selected rows (see EditSelectedTags). True when the user confirmed it.
bool OnID3TagInfo(QWidget* parent, QueueModel& model, const CEncoderApp& app, MainView& view);
