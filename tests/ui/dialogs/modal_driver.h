#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace dialogtest {

// Runs `action` on the next modal window that opens above `below` (any when
// null), from the event loop of whatever runs it modally.
inline void OnNextModal(std::function<void(QWidget*)> action, QWidget* below = nullptr) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action, below] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != below && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

} // namespace dialogtest
