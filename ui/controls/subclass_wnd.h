#pragma once

#include <QEvent>
#include <QPointer>
#include <QWidget>

// Lets several independent objects hook the events of one window. Hooks of a
// window form a chain, newest first: each hook's WindowProc sees the event and
// may pass it on with Default(), which reaches the next older hook and, at the
// end of the chain, the window's own event handling.
class CSubclassWnd {
public:
    CSubclassWnd() = default;
    CSubclassWnd(const CSubclassWnd&) = delete;
    CSubclassWnd& operator=(const CSubclassWnd&) = delete;
    virtual ~CSubclassWnd();

    // With a window: becomes that window's newest hook (a hook already on a
    // window is moved). With nullptr: leaves the chain. Always true.
    bool HookWindow(QWidget* window);
    QWidget* HookedWindow() const { return window; }
    bool IsHooked() const { return window != nullptr; }

    // True when `window` has at least one hook.
    static bool HasHooks(const QWidget* window);

protected:
    // Returns true when the event was handled; the default passes it on.
    virtual bool WindowProc(QEvent* event);
    // Passes the event being dispatched to the next older hook, or to the
    // window itself at the end of the chain.
    bool Default();
    // The event being dispatched to this window right now.
    static QEvent* CurrentEvent();

private:
    friend class HookDispatcher;
    void Unhook();

    QWidget* window = nullptr;
    CSubclassWnd* next = nullptr; // towards the older hooks
};
