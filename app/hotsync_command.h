#pragma once

#include <QString>

class CAlbumDocument;
class CAlbumFileCommands;
class CInstallLibrary;
class QWidget;

// Send To HotSync: the album written into a handheld user's install folder and queued for the
// user's next HotSync.
class CHotSyncCommand {
public:
    CHotSyncCommand(CAlbumDocument& document, CInstallLibrary& installLibrary,
                    CAlbumFileCommands& files, QWidget* window);

    // Sends the album; with several users, a menu just below `anchor` chooses who gets it.
    void Send(QWidget* anchor);
    // Why Send To HotSync cannot be used now, for the button's tip; empty when it can.
    QString WhyUnavailable(bool hasPictures);

private:
    CAlbumDocument& m_document;
    CInstallLibrary& m_installLibrary;
    CAlbumFileCommands& m_files;
    QWidget* m_window;
};
