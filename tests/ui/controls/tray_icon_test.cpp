#include "ui/controls/tray_icon.h"

#include "app/messages.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QVector>
#include <gtest/gtest.h>

namespace {

struct ShellCall {
    TrayOperation operation;
    TrayRecord record;
};

struct FakeShell : TrayShell {
    FakeShell(QVector<ShellCall>& calls, const bool& refuse) : calls(calls), refuse(refuse) {}
    bool Notify(TrayOperation operation, const TrayRecord& record) override {
        calls.push_back({operation, record});
        return !refuse;
    }
    QVector<ShellCall>& calls;
    const bool& refuse;
};

// The owner window's side of the state query.
class Owner : public QObject {
public:
    int state = TRAY_STATE_IDLE;
    int queries = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() == static_cast<QEvent::Type>(MSG_QUERY_STATE)) {
            ++queries;
            static_cast<StateQueryEvent*>(event)->result = state;
            return true;
        }
        return QObject::event(event);
    }
};

struct MenuLook {
    bool shown = false;
    QString defaultText;
    bool pauseEnabled = false;
    bool pauseChecked = false;
    bool cancelEnabled = false;
    bool operator==(const MenuLook&) const = default;
};

// Records how the menu looked instead of showing it, and picks an item.
class ProbeTray : public CTrayIcon {
public:
    using CTrayIcon::CTrayIcon;
    MenuLook look;
    unsigned choose = 0;

protected:
    void TrackMenu(QMenu& menu) override {
        look.shown = true;
        look.defaultText = menu.defaultAction() ? menu.defaultAction()->text() : QString();
        for (QAction* action : menu.actions()) {
            if (action->data().toUInt() == ID_TRAY_PAUSE) {
                look.pauseEnabled = action->isEnabled();
                look.pauseChecked = action->isChecked();
            }
            if (action->data().toUInt() == ID_TRAY_CANCEL) {
                look.cancelEnabled = action->isEnabled();
            }
            if (choose != 0 && action->data().toUInt() == choose) {
                action->trigger();
            }
        }
    }
};

class TrayIconTest : public testing::Test {
protected:
    QVector<ShellCall> calls;
    bool refuse = false;
    std::unique_ptr<TrayShell> Shell() { return std::make_unique<FakeShell>(calls, refuse); }
    QIcon Icon() { return LoadSkinIcon(IDR_TRAY); }
};

} // namespace

TEST_F(TrayIconTest, AddModifyDeleteFollowTheShownStateAndARefusalIsTriedAgain) {
    Owner owner;
    CTrayIcon tray(IDR_TRAY, Shell());
    tray.SetNotificationWnd(&owner, MSG_TRAY_NOTIFY);
    EXPECT_EQ(tray.Tip(), "Double-click on the icon to open the program");

    // Removing an icon that is not shown succeeds without asking the shell.
    EXPECT_TRUE(tray.SetIcon(QIcon()));
    EXPECT_TRUE(calls.isEmpty());
    refuse = true;
    EXPECT_FALSE(tray.SetIcon(Icon()));
    EXPECT_FALSE(tray.IsShown());
    refuse = false;
    ASSERT_TRUE(tray.SetIcon(Icon()));
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[1].operation, TrayOperation::Add);
    EXPECT_TRUE(calls[1].record.hasIcon && calls[1].record.hasTip && calls[1].record.hasMessage);
    EXPECT_EQ(calls[1].record.callbackMessage, MSG_TRAY_NOTIFY);
    EXPECT_EQ(calls[1].record.owner, &owner);
    EXPECT_TRUE(tray.IsShown());

    EXPECT_TRUE(tray.SetIcon(Icon(), QStringLiteral("Encoding 10%")));
    EXPECT_EQ(calls.last().operation, TrayOperation::Modify);
    EXPECT_EQ(calls.last().record.tip, "Encoding 10%");
    EXPECT_TRUE(tray.SetIcon(0));
    EXPECT_EQ(calls.last().operation, TrayOperation::Delete);
    EXPECT_FALSE(tray.IsShown());
    EXPECT_EQ(calls.size(), 4);

    // A failed modify leaves no icon counted as shown either.
    tray.SetIcon(Icon());
    refuse = true;
    EXPECT_FALSE(tray.SetIcon(Icon()));
    EXPECT_EQ(calls.last().operation, TrayOperation::Modify);
    EXPECT_FALSE(tray.IsShown());
}

TEST_F(TrayIconTest, TipsAreCutAndOnlySentWhileShown) {
    CTrayIcon tray(IDR_TRAY, Shell());
    const QString longTip(100, QLatin1Char('x'));
    EXPECT_TRUE(tray.SetTip(longTip));
    EXPECT_EQ(tray.Tip(), QString(63, QLatin1Char('x')));
    EXPECT_TRUE(calls.isEmpty());

    tray.SetIcon(Icon(), longTip + QStringLiteral("y"));
    EXPECT_EQ(calls.last().record.tip.size(), 63);
    EXPECT_TRUE(tray.SetTip(QStringLiteral("Encoding 42%")));
    EXPECT_EQ(calls.last().operation, TrayOperation::Modify);
    EXPECT_EQ(calls.last().record.tip, "Encoding 42%");
    // An empty tip is not flagged as one.
    tray.SetIcon(Icon(), QString());
    EXPECT_FALSE(calls.last().record.hasTip);

    // By id: the icon and tip of that id; the icon goes when the tray object does.
    {
        CTrayIcon byId(IDR_TRAY, Shell());
        byId.SetTip(QStringLiteral("something else"));
        EXPECT_TRUE(byId.SetIcon(IDR_TRAY));
        EXPECT_FALSE(calls.last().record.icon.isNull());
        EXPECT_EQ(byId.Tip(), "Double-click on the icon to open the program");
    }
    EXPECT_EQ(calls.last().operation, TrayOperation::Delete);
}

TEST_F(TrayIconTest, MenuFollowsTheOwnersStateAndMouseActionsTurnIntoCommands) {
    Owner owner;
    ProbeTray tray(IDR_TRAY, Shell());
    tray.SetNotificationWnd(&owner, MSG_TRAY_NOTIFY);
    QSignalSpy commands(&tray, &CTrayIcon::Command);

    // Only a right click on our icon shows the menu; a double click is Show.
    EXPECT_TRUE(tray.OnTrayNotification(IDR_TRAY, TRAY_LBUTTONDBLCLK));
    EXPECT_FALSE(tray.OnTrayNotification(IDR_TRAY, TRAY_LBUTTONUP));
    EXPECT_FALSE(tray.OnTrayNotification(IDR_TRAY, TRAY_RBUTTONDOWN));
    EXPECT_FALSE(tray.OnTrayNotification(IDR_TRAY + 1, TRAY_LBUTTONDBLCLK));
    EXPECT_FALSE(tray.OnTrayNotification(IDR_TRAY + 1, TRAY_RBUTTONUP));
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0][0].toUInt(), ID_TRAY_SHOW);
    EXPECT_FALSE(tray.look.shown);
    EXPECT_EQ(owner.queries, 0);

    // Any answer but paused or encoding greys both, as idle does.
    const struct {
        int state;
        bool enabled, checked;
    } cases[] = {{TRAY_STATE_PAUSED, true, true},
                 {TRAY_STATE_IDLE, false, false},
                 {TRAY_STATE_ENCODING, true, false},
                 {0, false, false}};
    for (const auto& c : cases) {
        owner.state = c.state;
        tray.look = {};
        EXPECT_TRUE(tray.OnTrayNotification(IDR_TRAY, TRAY_RBUTTONUP));
        EXPECT_EQ(tray.look, (MenuLook{true, "&Show MP3 Encoder", c.enabled, c.checked, c.enabled}))
            << c.state;
    }
    EXPECT_EQ(owner.queries, 4);

    owner.state = TRAY_STATE_ENCODING;
    tray.choose = ID_TRAY_CANCEL;
    tray.OnTrayNotification(IDR_TRAY, TRAY_RBUTTONUP);
    ASSERT_EQ(commands.size(), 2);
    EXPECT_EQ(commands[1][0].toUInt(), ID_TRAY_CANCEL);
}

TEST(TrayIconDesktop, MissingNotificationAreaIsTolerated) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        GTEST_SKIP() << "a notification area is present";
    }
    CTrayIcon tray;
    EXPECT_FALSE(tray.SetIcon(IDR_TRAY));
    EXPECT_FALSE(tray.IsShown());
    EXPECT_TRUE(tray.SetTip(QStringLiteral("tip")));
    EXPECT_TRUE(tray.SetIcon(0u));
}
