#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

// One instance per user: the first start listens on a local socket; a later
// start finds it, asks it to come forward, and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `socketPath` empty: "corvane-encoder.sock" in the user's runtime directory.
    explicit SingleInstance(QString socketPath = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when no other instance runs (this one now answers later starts);
    // false when one was found and asked to come forward.
    bool ActivateExistingInstance();

    QString SocketPath() const { return socketPath; }

signals:
    // Another start asked this instance to bring its window to the front.
    void ActivationRequested();

private:
    bool AskRunningInstance();
    void OnNewConnection();

    QString socketPath;
    std::unique_ptr<QLocalServer> server;
};
