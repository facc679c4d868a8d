#include "ui/controls/subclass_wnd.h"

#include <QHash>
#include <QObject>

namespace {

struct CurrentMessage {
    QWidget* window = nullptr;
    QEvent* event = nullptr;
    bool delivered = false; // the window's own handler has seen the event
};

thread_local CurrentMessage currentMessage;

} // namespace

// The one event filter behind every hooked window: it stands where the
// window's own event handling was and hands each event to the newest hook.
class HookDispatcher : public QObject {
public:
    static HookDispatcher& Instance() {
        static HookDispatcher dispatcher;
        return dispatcher;
    }

    QHash<const QObject*, CSubclassWnd*> newest;

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto found = newest.find(watched);
        if (found == newest.end()) {
            return false;
        }
        CurrentMessage saved = currentMessage;
        currentMessage = {static_cast<QWidget*>(watched), event, false};
        bool result = found.value()->WindowProc(event);
        // Once the window itself has handled the event, Qt must not deliver it again.
        if (currentMessage.delivered) {
            result = true;
        }
        currentMessage = saved;
        return result;
    }

    void WindowDestroyed(QObject* window) {
        CSubclassWnd* hook = newest.take(window);
        while (hook) {
            CSubclassWnd* older = hook->next;
            hook->window = nullptr;
            hook->next = nullptr;
            hook = older;
        }
    }
};

CSubclassWnd::~CSubclassWnd() {
    Unhook();
}

bool CSubclassWnd::HookWindow(QWidget* target) {
    Unhook();
    if (!target) {
        return true;
    }
    HookDispatcher& dispatcher = HookDispatcher::Instance();
    auto found = dispatcher.newest.find(target);
    if (found == dispatcher.newest.end()) {
        target->installEventFilter(&dispatcher);
        QObject::connect(target, &QObject::destroyed, &dispatcher,
                         [&dispatcher](QObject* gone) { dispatcher.WindowDestroyed(gone); });
        next = nullptr;
        dispatcher.newest.insert(target, this);
    } else {
        next = found.value();
        found.value() = this;
    }
    window = target;
    return true;
}

void CSubclassWnd::Unhook() {
    if (!window) {
        return;
    }
    HookDispatcher& dispatcher = HookDispatcher::Instance();
    auto found = dispatcher.newest.find(window);
    if (found != dispatcher.newest.end()) {
        if (found.value() == this) {
            if (next) {
                found.value() = next;
            } else {
                dispatcher.newest.erase(found);
                window->removeEventFilter(&dispatcher);
                QObject::disconnect(window, &QObject::destroyed, &dispatcher, nullptr);
            }
        } else {
            for (CSubclassWnd* hook = found.value(); hook; hook = hook->next) {
                if (hook->next == this) {
                    hook->next = next;
                    break;
                }
            }
        }
    }
    window = nullptr;
    next = nullptr;
}

bool CSubclassWnd::HasHooks(const QWidget* target) {
    return HookDispatcher::Instance().newest.contains(target);
}

bool CSubclassWnd::WindowProc(QEvent*) {
    return Default();
}

bool CSubclassWnd::Default() {
    QEvent* event = currentMessage.event;
    if (!event) {
        return false;
    }
    if (next) {
        return next->WindowProc(event);
    }
    if (currentMessage.delivered || !currentMessage.window) {
        return true;
    }
    currentMessage.delivered = true;
    return static_cast<QObject*>(currentMessage.window)->event(event);
}

QEvent* CSubclassWnd::CurrentEvent() {
    return currentMessage.event;
}
