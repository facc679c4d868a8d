#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QtGlobal>
#include <memory>

// Window messages of the program, carried as Qt custom events. The numbers
// are the event types; all of them lie in Qt's user range.
inline constexpr int MSG_ENCODE_DONE = 0x52C;
inline constexpr int MSG_ENCODE_PROGRESS = 0x52D;
inline constexpr int MSG_TRAY_NOTIFY = 0x8001;
inline constexpr int MSG_QUERY_STATE = 0x8002;
inline constexpr int MSG_UP_RELEASED = 0x8003;
inline constexpr int MSG_UP_PRESSED = 0x8004;
inline constexpr int MSG_DOWN_RELEASED = 0x8005;
inline constexpr int MSG_DOWN_PRESSED = 0x8006;
inline constexpr int MSG_ERROR_RELAY = 0x8009;
inline constexpr int MSG_PAINT_CAPTION = 0x800D;

// A posted message: a first parameter and an optional owned payload (the
// second parameter). Whoever handles the event takes the payload.
template <typename Payload> class PayloadEvent : public QEvent {
public:
    PayloadEvent(int type, qintptr wParam, std::unique_ptr<Payload> lParam = nullptr)
        : QEvent(static_cast<QEvent::Type>(type)), wParam(wParam), lParam(std::move(lParam)) {}

    qintptr WParam() const { return wParam; }
    const Payload* Peek() const { return lParam.get(); }
    std::unique_ptr<Payload> TakePayload() { return std::move(lParam); }

private:
    qintptr wParam;
    std::unique_ptr<Payload> lParam;
};

// A message with no payload.
class PlainEvent : public QEvent {
public:
    PlainEvent(int type, qintptr wParam = 0, qintptr lParam = 0)
        : QEvent(static_cast<QEvent::Type>(type)), wParam(wParam), lParam(lParam) {}

    qintptr WParam() const { return wParam; }
    qintptr LParam() const { return lParam; }

private:
    qintptr wParam;
    qintptr lParam;
};

// Posts a new event to `receiver`; Qt's queue owns it until it is delivered.
template <typename Event, typename... Args> void PostEvent(QObject* receiver, Args&&... args) {
    QCoreApplication::postEvent(receiver,
                                std::make_unique<Event>(std::forward<Args>(args)...).release());
}
