#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

// One running copy per user: the first copy listens on a local socket named from the window
// caption and the user; a later start hands its files over that socket and ends.

// The socket of the running copy, in the user's runtime folder (XDG_RUNTIME_DIR, else the
// temporary folder).
QString InstanceServerName(const QString& caption);

// Hands `files` to the copy listening on `serverName`; true when it took them. Gives up
// after `timeoutMs` for each of connecting and the answer.
[[nodiscard]] bool HandFilesToRunningCopy(const QString& serverName, const QStringList& files,
                                          int timeoutMs);

// The first copy's side: takes the files of later starts.
class CInstanceServer : public QObject {
    Q_OBJECT
public:
    explicit CInstanceServer(QObject* parent = nullptr);

    // Listens on `serverName`, taking over a socket left behind by a copy that has ended;
    // false when another copy answers there.
    [[nodiscard]] bool Listen(const QString& serverName);

signals:
    // A later start asked this copy to come forward and add these files.
    void filesArrived(const QStringList& files);

private slots:
    void OnNewConnection();

private:
    QLocalServer m_server;
};
