#include "ui/system_menu.h"

#include "app/strings.h"
#include "ui/controls/caption_painter.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

std::unique_ptr<QMenu> CSystemMenu::BuildMenu() {
    QWidget* window = HookedWindow();
    auto menu = std::make_unique<QMenu>(window);
    menu->setObjectName(QStringLiteral("systemMenu"));
    QAction* restore =
        menu->addAction(QStringLiteral("&Restore"), window, [window] { window->showNormal(); });
    restore->setEnabled(window->isMaximized() || window->isMinimized());
    menu->addAction(QStringLiteral("Mi&nimize"), window, [window] { window->showMinimized(); });
    QAction* maximise =
        menu->addAction(QStringLiteral("Ma&ximize"), window, [window] { window->showMaximized(); });
    maximise->setEnabled(!window->isMaximized());
    menu->addAction(QStringLiteral("&Close"), window, [window] { window->close(); });
    menu->addSeparator();
    QAction* about = menu->addAction(ResString(IDS_ABOUTBOX), window, [this] {
        if (onAbout) {
            onAbout();
        }
    });
    about->setData(ID_ABOUT_COMMAND);
    return menu;
}

void CSystemMenu::Open(const QPoint& globalPosition) {
    std::unique_ptr<QMenu> menu = BuildMenu();
    menu->exec(globalPosition);
}

bool CSystemMenu::WindowProc(QEvent* event) {
    QWidget* window = HookedWindow();
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QRect caption = CCaptionPainter::GetCaptionRect(window);
        const int iconWidth = GetCaptionMetrics(window).buttonWidth;
        const QRect icon(caption.left(), caption.top(), iconWidth, caption.height());
        if (icon.contains(mouse->position().toPoint())) {
            Open(window->mapToGlobal(QPoint(caption.left(), caption.bottom() + 1)));
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::AltModifier) {
            Open(window->mapToGlobal(CCaptionPainter::GetCaptionRect(window).bottomLeft()));
            return true;
        }
    }
    return Default();
}
