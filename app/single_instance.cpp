#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// First word of every hand-over, so that a stray connection is not taken for one.
constexpr quint32 kHandOverMagic = 0x54564C32;  // "TVL2"
constexpr char kAcknowledgement = 'k';
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;
constexpr int kNameHashLength = 16;
// How long a start waits for another that is just deciding whether it is the first.
constexpr int kTurnTimeoutMs = 2000;
// How long a copy that still runs may take to accept a connection.
constexpr int kProbeTimeoutMs = 250;

QString UserIdentity() {
    QString identity = qEnvironmentVariable("USER");
#ifndef _WIN32
    identity += QStringLiteral(":%1").arg(getuid());
#endif
    return identity;
}

}  // namespace

QString InstanceServerName(const QString& caption) {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::tempPath();
    }
    const QByteArray key = (caption + u'\n' + UserIdentity()).toUtf8();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(kNameHashLength));
    return folder + QStringLiteral("/tavelo-") + hash;
}

bool HandFilesToRunningCopy(const QString& serverName, const QStringList& files, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << kHandOverMagic << files;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    // The running copy answers once it has the files; without an answer it may be dying.
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kAcknowledgement;
}

CInstanceServer::CInstanceServer(QObject* parent) : QObject(parent) {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &CInstanceServer::OnNewConnection);
}

bool CInstanceServer::Listen(const QString& serverName) {
    // Two copies started at the same moment take turns, so that only one of them listens.
    QLockFile turn(QDir(QDir::tempPath()).filePath(QFileInfo(serverName).fileName() + ".lock"));
    if (!turn.tryLock(kTurnTimeoutMs)) {
        return false;
    }
    // Listening replaces whatever socket has the name, so ask first whether a copy answers
    // there; a socket no copy answers on is what an ended copy left behind.
    QLocalSocket probe;
    probe.connectToServer(serverName);
    if (probe.waitForConnected(kProbeTimeoutMs)) {
        return false;
    }
    QLocalServer::removeServer(serverName);
    return m_server.listen(serverName);
}

void CInstanceServer::OnNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.setVersion(kStreamVersion);
            in.startTransaction();
            quint32 magic = 0;
            QStringList files;
            in >> magic >> files;
            if (!in.commitTransaction()) {
                return;  // the rest is on its way
            }
            if (magic != kHandOverMagic) {
                socket->abort();
                return;
            }
            socket->putChar(kAcknowledgement);
            socket->flush();
            socket->disconnectFromServer();
            emit filesArrived(files);
        });
    }
}
