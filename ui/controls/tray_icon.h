#pragma once

#include <QEvent>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;

inline constexpr int TRAY_TIP_LENGTH = 63;
inline constexpr unsigned IDR_TRAY = 131; // icon, tip string and menu
inline constexpr unsigned ID_TRAY_SHOW = 132;
inline constexpr unsigned ID_TRAY_PAUSE = 133;
inline constexpr unsigned ID_TRAY_CANCEL = 134;
inline constexpr unsigned ID_TRAY_UNLOAD = 135;

// Mouse messages carried by the tray callback (its second parameter).
inline constexpr int TRAY_LBUTTONUP = 0x202;
inline constexpr int TRAY_LBUTTONDBLCLK = 0x203;
inline constexpr int TRAY_RBUTTONDOWN = 0x204;
inline constexpr int TRAY_RBUTTONUP = 0x205;
inline constexpr int TRAY_MBUTTONUP = 0x208;

// Answers of the owner to the state query.
inline constexpr int TRAY_STATE_ENCODING = 1;
inline constexpr int TRAY_STATE_PAUSED = 3;
inline constexpr int TRAY_STATE_IDLE = 5;

// Sent (not posted) to the owner window; the owner stores its state in it.
class StateQueryEvent : public QEvent {
public:
    explicit StateQueryEvent(int type) : QEvent(static_cast<QEvent::Type>(type)) {}
    int result = 0;
};

enum class TrayOperation { Add, Modify, Delete };

// The notification record handed to the shell.
struct TrayRecord {
    unsigned id = 0;
    QObject* owner = nullptr;
    int callbackMessage = 0;
    QIcon icon;
    QString tip;
    bool hasIcon = false;
    bool hasTip = false;
    bool hasMessage = false;
};

// The notification area. Returns false when the shell refuses the operation.
class TrayShell {
public:
    virtual ~TrayShell() = default;
    virtual bool Notify(TrayOperation operation, const TrayRecord& record) = 0;
};

// The desktop's notification area through QSystemTrayIcon. Where there is none
// (offscreen, a bare X server) every operation fails quietly. Mouse actions
// are posted to the owner as the callback message, first parameter the icon
// id, second the mouse message.
class QtTrayShell : public TrayShell {
public:
    QtTrayShell();
    ~QtTrayShell() override;
    bool Notify(TrayOperation operation, const TrayRecord& record) override;

private:
    std::unique_ptr<QSystemTrayIcon> trayIcon;
    QPointer<QObject> owner;
    unsigned id = 0;
    int callbackMessage = 0;
    bool hasMessage = false;
};

// One icon with a tool tip in the notification area, and its menu.
class CTrayIcon : public QObject {
    Q_OBJECT
public:
    explicit CTrayIcon(unsigned id = IDR_TRAY, std::unique_ptr<TrayShell> shell = nullptr,
                       QObject* parent = nullptr);
    ~CTrayIcon() override;

    void SetNotificationWnd(QObject* owner, int message);
    // A non-zero id shows icon and tip of that id; 0 removes the icon.
    bool SetIcon(unsigned resourceId);
    // The core operation: add, modify or delete the icon.
    bool SetIcon(const QIcon& icon, const std::optional<QString>& tip = std::nullopt);
    bool SetTip(const QString& text);
    bool OnTrayNotification(unsigned iconId, int mouseMessage);

    bool IsShown() const { return !shownIcon.isNull(); }
    QString Tip() const { return tip; }
    unsigned Id() const { return id; }

    // The tray menu as it looks for an owner in `state`.
    static std::unique_ptr<QMenu> BuildMenu(int state);

signals:
    // A menu command for the owner window (132 to 135).
    void Command(unsigned commandId);

protected:
    // Shows the menu at the cursor until the user chooses or dismisses it.
    virtual void TrackMenu(QMenu& menu);

private:
    int QueryOwnerState();

    std::unique_ptr<TrayShell> shell;
    unsigned id;
    QString tip;
    QIcon shownIcon;
    QPointer<QObject> owner;
    int callbackMessage = 0;
};

// The icon of resource `id`, or a plain drawn stand-in when the skin lacks it.
QIcon LoadSkinIcon(unsigned id, QSize size = QSize());
