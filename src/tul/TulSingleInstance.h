#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One running instance per identifier and user. The first process to ask
// holds a lock file and listens on a local socket in the private temporary
// folder; later processes find the lock taken and pass a one-line message
// to it. A lock left by a crashed process is taken over.
class TulSingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxMessageSize = 1024;
    static constexpr int kConnectTimeoutMs = 2000;

    explicit TulSingleInstance(QObject *parent = nullptr);
    ~TulSingleInstance() override;

    // True when another process holds the identifier; that process is then
    // sent "activate". False when this process holds it now (or cannot tell,
    // which is logged: the program then runs without the guard).
    // The first call decides; later calls with the same identifier repeat it.
    bool isRunning(const QString &id);
    bool isPrimary() const;

    // Sends one line to the holder of the identifier; false when it cannot be
    // reached in timeoutMs or the message is too long or holds a line end.
    bool sendMessage(const QString &message, int timeoutMs = kConnectTimeoutMs);

    // The local socket path for an identifier (characters other than
    // letters, digits, '-', '_' and '.' become '_').
    static QString socketPath(const QString &id);

signals:
    void messageReceived(const QString &message);

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);

    QString currentId;
    bool decided = false;
    bool running = false;
    std::unique_ptr<QLockFile> lock;
    QLocalServer *server = nullptr;
};
