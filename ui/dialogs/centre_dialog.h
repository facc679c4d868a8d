#pragma once

class QWidget;

// Lays out `dialog` and moves it so that it is centred over `owner` (nothing
// without an owner: the window system places it).
void CentreOverOwner(QWidget& dialog, const QWidget* owner);
