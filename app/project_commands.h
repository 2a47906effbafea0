#pragma once

#include <QString>

class CAlbumDocument;
class CAlbumEditor;
class CAlbumFileCommands;
class CAlbumIcons;
class QWidget;

// Album projects (the batch tool's ALBUM.json): opening and saving them, and the question
// before changes not saved as a project are lost.
class CProjectCommands {
public:
    CProjectCommands(CAlbumDocument& document, CAlbumEditor& editor, CAlbumIcons& icons,
                     const CAlbumFileCommands& files, QWidget* window);

    // Replaces the album with the project at `path` (one undoable step), once its icon is
    // made; pictures whose files are missing are named in a message. False, with a message,
    // for a file that is not an album project.
    bool Open(const QString& path);
    // Writes the album as a project with paths relative to it and takes the album as saved;
    // false, with a message, when it cannot be written.
    bool SaveAs(const QString& path);
    // Asks to keep the changes first, then for a project to open.
    void AskAndOpen();
    // Asks where to save the project: its own path, or a name made from the album title.
    void AskAndSave();
    // The project last opened or saved; empty when there is none.
    QString Path() const;
    // Whether the album differs from the one last saved or opened as a project.
    bool HasChanges() const;
    // Asks whether to save unsaved changes as a project first; false when the user cancels.
    bool KeepChangesFirst();

private:
    CAlbumDocument& m_document;
    CAlbumEditor& m_editor;
    CAlbumIcons& m_icons;
    const CAlbumFileCommands& m_files;
    QWidget* m_window;
};
