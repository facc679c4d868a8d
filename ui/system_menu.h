#pragma once

#include "ui/controls/subclass_wnd.h"

#include <functional>
#include <memory>

class QMenu;

inline constexpr int ID_ABOUT_COMMAND = 16;

// The window menu of the painted caption: a click on the caption's icon (or
// Alt+Space) opens Restore, Minimise, Maximise, Close and, below a
// separator, the About entry.
class CSystemMenu : public CSubclassWnd {
public:
    std::function<void()> onAbout;

    // The menu as it would open now.
    std::unique_ptr<QMenu> BuildMenu();

protected:
    bool WindowProc(QEvent* event) override;

private:
    void Open(const QPoint& globalPosition);
};
