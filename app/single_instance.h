#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;

// One instance per user: the first start listens on a local socket; a later
// start finds it, asks it to come forward with the files it was given, and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `socketPath` empty: "corvane-encoder.sock" in the user's runtime directory.
    explicit SingleInstance(QString socketPath = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when no other instance runs (this one now answers later starts);
    // false when one was found, asked to come forward and handed `files`
    // (absolute paths, for its queue).
    bool ActivateExistingInstance(const QStringList& files = QStringList());

    QString SocketPath() const { return socketPath; }

signals:
    // Another start asked this instance to bring its window to the front and
    // to take these files.
    void ActivationRequested(const QStringList& files);

private:
    bool AskRunningInstance(const QStringList& files);
    void OnNewConnection();
    void HandleRequest(const QByteArray& request);

    QString socketPath;
    std::unique_ptr<QLocalServer> server;
};
