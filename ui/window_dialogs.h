#pragma once

class CEncoderApp;
class CEncoderDlg;

// Connects the window's Errors, Stats, About and Help hooks to their dialogs.
void ConnectWindowDialogs(CEncoderDlg& window, CEncoderApp& app);
