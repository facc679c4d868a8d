#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

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

// Accepts the next message box, adding its text and title to `seen`.
inline void CloseNextMessage(QStringList& seen) {
    OnNextModal([&seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen << box->text() << box->windowTitle();
        box->accept();
    });
}

} // namespace dialogtest
