#pragma once

#include <QObject>
#include <QString>

class CAlbumDocument;
class CAlbumIcons;
class QWidget;

// The album file commands: Save... and the handheld view of album files. Writing an album
// file is an export: the album is taken as saved only when its project is.
class CAlbumFileCommands : public QObject {
    Q_OBJECT
public:
    CAlbumFileCommands(CAlbumDocument& document, CAlbumIcons& icons, QWidget* window);

    // Save...: asks for a file ("untitled" offered; a name without extension gets ".pdb") and
    // writes the album into it.
    void AskAndWrite();
    // Writes the album to `path` under the progress dialog; true when the file was written. A
    // failure other than the user's Cancel is shown with the path and the reason.
    bool Write(const QString& path);
    // Shows an album file in a viewer of its own, as the handheld shows it; false, with a
    // message, for a file that is damaged or not an album.
    bool Show(const QString& path);
    // Asks for an album file and shows it.
    void AskAndShow();
    // Shows the album file written last, if any.
    void ShowLastWritten();
    const QString& LastWritten() const { return m_lastWritten; }
    // Whether an album file was written since the project was last saved or opened.
    bool WrittenSinceProjectSaved() const { return m_writtenSinceSaved; }

private:
    CAlbumDocument& m_document;
    CAlbumIcons& m_icons;
    QWidget* m_window;
    QString m_lastWritten;
    bool m_writtenSinceSaved = false;
};
