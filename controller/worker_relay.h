#pragma once

#include <QEvent>
#include <QObject>
#include <functional>
#include <utility>

// Receives one local worker's events and hands them on with the worker's
// number, so several workers can report to the same controller.
class WorkerRelay : public QObject {
public:
    WorkerRelay(std::function<bool(QEvent*)> handle, QObject* parent)
        : QObject(parent), handle(std::move(handle)) {}

protected:
    bool event(QEvent* event) override { return handle(event) || QObject::event(event); }

private:
    std::function<bool(QEvent*)> handle;
};
