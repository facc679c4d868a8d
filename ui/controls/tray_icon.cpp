#include "ui/controls/tray_icon.h"

#include "app/messages.h"
#include "app/strings.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QSystemTrayIcon>

namespace {

QString CutTip(const QString& text) {
    return text.left(TRAY_TIP_LENGTH);
}

int MouseMessageFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        return TRAY_LBUTTONDBLCLK;
    case QSystemTrayIcon::Context:
        return TRAY_RBUTTONUP;
    case QSystemTrayIcon::Trigger:
        return TRAY_LBUTTONUP;
    case QSystemTrayIcon::MiddleClick:
        return TRAY_MBUTTONUP;
    default:
        return 0;
    }
}

} // namespace

QIcon LoadSkinIcon(unsigned id, QSize size) {
    const QString path = QStringLiteral(":/skin/%1.png").arg(id);
    if (QFile::exists(path)) {
        QPixmap pixmap(path);
        if (!pixmap.isNull()) {
            if (size.isValid() && pixmap.size() != size) {
                pixmap = pixmap.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            }
            return QIcon(pixmap);
        }
    }
    // Drawn stand-in: a dark disc with a light note-like mark.
    const QSize side = size.isValid() ? size : QSize(32, 32);
    QPixmap pixmap(side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0, 0, 128));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(pixmap.rect().adjusted(1, 1, -1, -1));
    painter.setBrush(QColor(230, 230, 230));
    const int w = side.width();
    const int h = side.height();
    painter.drawEllipse(QRectF(w * 0.28, h * 0.55, w * 0.24, h * 0.18));
    painter.drawRect(QRectF(w * 0.46, h * 0.22, w * 0.07, h * 0.43));
    painter.drawRect(QRectF(w * 0.46, h * 0.22, w * 0.22, h * 0.08));
    painter.end();
    return QIcon(pixmap);
}

QtTrayShell::QtTrayShell() = default;
QtTrayShell::~QtTrayShell() = default;

bool QtTrayShell::Notify(TrayOperation operation, const TrayRecord& record) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    owner = record.owner;
    id = record.id;
    callbackMessage = record.callbackMessage;
    hasMessage = record.hasMessage;
    if (operation == TrayOperation::Delete) {
        if (!trayIcon || !trayIcon->isVisible()) {
            return false;
        }
        trayIcon->hide();
        return true;
    }
    if (operation == TrayOperation::Modify && (!trayIcon || !trayIcon->isVisible())) {
        return false;
    }
    if (!trayIcon) {
        trayIcon = std::make_unique<QSystemTrayIcon>();
        QObject::connect(trayIcon.get(), &QSystemTrayIcon::activated,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             const int mouse = MouseMessageFor(reason);
                             if (hasMessage && owner && mouse != 0) {
                                 PostEvent<PlainEvent>(owner.data(), callbackMessage, qintptr(id),
                                                       qintptr(mouse));
                             }
                         });
    }
    if (record.hasIcon) {
        trayIcon->setIcon(record.icon);
    }
    trayIcon->setToolTip(record.hasTip ? record.tip : QString());
    if (operation == TrayOperation::Add) {
        trayIcon->show();
    }
    return trayIcon->isVisible();
}

CTrayIcon::CTrayIcon(unsigned iconId, std::unique_ptr<TrayShell> trayShell, QObject* parent)
    : QObject(parent), shell(std::move(trayShell)), id(iconId), tip(CutTip(ResString(iconId))) {
    if (!shell) {
        shell = std::make_unique<QtTrayShell>();
    }
}

CTrayIcon::~CTrayIcon() {
    SetIcon(QIcon());
}

void CTrayIcon::SetNotificationWnd(QObject* newOwner, int message) {
    owner = newOwner;
    callbackMessage = message;
}

bool CTrayIcon::SetIcon(unsigned resourceId) {
    if (resourceId == 0) {
        return SetIcon(QIcon());
    }
    const int side = QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize);
    QIcon icon = LoadSkinIcon(resourceId, QSize(side, side));
    if (icon.isNull()) {
        icon = LoadSkinIcon(resourceId);
    }
    return SetIcon(icon, ResString(resourceId));
}

bool CTrayIcon::SetIcon(const QIcon& icon, const std::optional<QString>& newTip) {
    TrayOperation operation;
    if (!icon.isNull()) {
        operation = IsShown() ? TrayOperation::Modify : TrayOperation::Add;
    } else {
        if (!IsShown()) {
            return true;
        }
        operation = TrayOperation::Delete;
    }
    if (newTip) {
        tip = CutTip(*newTip);
    }
    TrayRecord record;
    record.id = id;
    record.owner = owner.data();
    record.callbackMessage = callbackMessage;
    record.icon = icon.isNull() ? shownIcon : icon;
    record.hasIcon = !icon.isNull();
    record.tip = tip;
    record.hasTip = !tip.isEmpty();
    record.hasMessage = owner && callbackMessage != 0;

    const bool done = shell->Notify(operation, record);
    if (done && operation != TrayOperation::Delete) {
        shownIcon = icon;
    } else {
        shownIcon = QIcon();
    }
    return done;
}

bool CTrayIcon::SetTip(const QString& text) {
    tip = CutTip(text);
    if (!IsShown()) {
        return true;
    }
    TrayRecord record;
    record.id = id;
    record.owner = owner.data();
    record.callbackMessage = callbackMessage;
    record.tip = tip;
    record.hasTip = true;
    record.hasMessage = owner && callbackMessage != 0;
    return shell->Notify(TrayOperation::Modify, record);
}

std::unique_ptr<QMenu> CTrayIcon::BuildMenu(int state) {
    auto menu = std::make_unique<QMenu>(QStringLiteral("&Tray"));
    QAction* show = menu->addAction(QStringLiteral("&Show MP3 Encoder"));
    show->setData(ID_TRAY_SHOW);
    menu->addSeparator();
    QAction* pause = menu->addAction(QStringLiteral("&Pause Encoding"));
    pause->setData(ID_TRAY_PAUSE);
    QAction* cancel = menu->addAction(QStringLiteral("&Cancel Encoding"));
    cancel->setData(ID_TRAY_CANCEL);
    menu->addSeparator();
    QAction* unload = menu->addAction(QStringLiteral("&Unload MP3 Encoder"));
    unload->setData(ID_TRAY_UNLOAD);

    menu->setDefaultAction(show);
    if (state == TRAY_STATE_PAUSED) {
        pause->setCheckable(true);
        pause->setChecked(true);
    } else if (state != TRAY_STATE_ENCODING) {
        pause->setEnabled(false);
        cancel->setEnabled(false);
    }
    return menu;
}

int CTrayIcon::QueryOwnerState() {
    if (!owner) {
        return 0;
    }
    StateQueryEvent query(MSG_QUERY_STATE);
    QCoreApplication::sendEvent(owner.data(), &query);
    return query.result;
}

bool CTrayIcon::OnTrayNotification(unsigned iconId, int mouseMessage) {
    if (iconId != id || (mouseMessage != TRAY_RBUTTONUP && mouseMessage != TRAY_LBUTTONDBLCLK)) {
        return false;
    }
    if (mouseMessage == TRAY_LBUTTONDBLCLK) {
        emit Command(ID_TRAY_SHOW);
        return true;
    }
    std::unique_ptr<QMenu> menu = BuildMenu(QueryOwnerState());
    connect(menu.get(), &QMenu::triggered, this,
            [this](QAction* action) { emit Command(action->data().toUInt()); });
    TrackMenu(*menu);
    return true;
}

void CTrayIcon::TrackMenu(QMenu& menu) {
    menu.exec(QCursor::pos());
}
