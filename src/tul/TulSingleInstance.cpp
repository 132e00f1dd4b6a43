#include "TulSingleInstance.h"

#include "DiagLog.h"
#include "Tul.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

TulSingleInstance::TulSingleInstance(QObject *parent)
    : QObject(parent)
{
}

TulSingleInstance::~TulSingleInstance()
{
    if (server)
        server->close();
}

QString TulSingleInstance::socketPath(const QString &id)
{
    QString safe;
    safe.reserve(id.size());
    for (const QChar c : id) {
        const bool plain = (c.unicode() < 128 && c.isLetterOrNumber()) || c == QLatin1Char('-')
            || c == QLatin1Char('_') || c == QLatin1Char('.');
        safe += plain ? c : QLatin1Char('_');
    }
    if (safe.isEmpty())
        safe = QStringLiteral("_");
    // Unix socket paths are limited to about 100 bytes.
    return Tul::tempPath() + QStringLiteral("/instance-") + safe.left(48);
}

bool TulSingleInstance::isRunning(const QString &id)
{
    if (decided && id == currentId)
        return running;
    if (decided) {
        DIAG_LOG("single-instance identifier changed after the first check");
        return running;
    }
    decided = true;
    currentId = id;

    const QString path = socketPath(id);
    lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    // Age alone must never make a live holder's lock stale; a dead holder's is.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        server = new QLocalServer(this);
        server->setSocketOptions(QLocalServer::UserAccessOption);
        // We hold the lock, so a socket file still there is a crashed holder's.
        QLocalServer::removeServer(path);
        if (!server->listen(path)) {
            DIAG_LOG(qPrintable(QStringLiteral("cannot listen: ") + server->errorString()));
        } else {
            connect(server, &QLocalServer::newConnection, this, &TulSingleInstance::onNewConnection);
        }
        running = false;
        return running;
    }
    if (lock->error() != QLockFile::LockFailedError) {
        DIAG_LOG(qPrintable(QStringLiteral("cannot take the instance lock ") + path));
        running = false;
        return running;
    }
    running = true;
    if (!sendMessage(QStringLiteral("activate")))
        DIAG_LOG("the running instance did not take the activation request");
    return running;
}

bool TulSingleInstance::isPrimary() const
{
    return server && server->isListening();
}

bool TulSingleInstance::sendMessage(const QString &message, int timeoutMs)
{
    const QByteArray line = message.toUtf8() + '\n';
    if (line.size() > kMaxMessageSize || message.contains(QLatin1Char('\n'))) {
        DIAG_LOG("instance message too long or not one line");
        return false;
    }
    // The holder may have taken the lock and not be listening yet: retry
    // until the deadline rather than give up on the first refusal.
    QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(socketPath(currentId));
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired()) {
            DIAG_LOG(qPrintable(QStringLiteral("cannot reach the running instance: ")
                                + socket.errorString()));
            return false;
        }
        QThread::msleep(20);
    }
    socket.write(line);
    const bool written = socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime())));
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(100);
    if (!written)
        DIAG_LOG("instance message not written");
    return written;
}

void TulSingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void TulSingleInstance::onReadyRead(QLocalSocket *socket)
{
    // A peer is only trusted to send one short line; anything longer is dropped.
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxMessageSize) {
            DIAG_LOG("overlong instance message dropped");
            socket->abort();
        }
        return;
    }
    const QByteArray line = socket->readLine(kMaxMessageSize + 1).trimmed();
    socket->disconnectFromServer();
    emit messageReceived(QString::fromUtf8(line));
}
