#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>

class CAlbumDocument;
class CAlbumEditor;
class CAlbumFileCommands;
class CImageListPane;
class CPictureCheck;
class CProjectCommands;
class QMimeData;
class QWidget;

// Adding pictures beyond Add Files: Add Folder, and files dropped on the window or named on
// the command line.
class CPictureAdder {
public:
    CPictureAdder(CAlbumEditor& editor, CProjectCommands& projects, CAlbumFileCommands& files,
                  CPictureCheck& check, const CImageListPane& list, QWidget* window);

    // Adds the picture files of a folder (and its subfolders when `recursive`) in natural
    // order, up to the album's limit, and says in one message, once they have been read, how
    // many were added, how many left out and why, and how many cannot be read.
    void AddFolder(const QString& folder, bool recursive);
    // Asks for a folder, and whether to take its subfolders, and adds its pictures.
    void AskForFolder();
    // Pictures, folders and album projects dropped or named on the command line: each is
    // added in turn, in the order given, a refused one not stopping the others; the first
    // added is then shown, and it becomes the album icon when the list had no selection to
    // keep. A folder adds its pictures in its place (with its subfolders when `recursive`); a
    // project is opened first, and the pictures join it; an album file is shown in the
    // handheld view. The whole drop is one undo step.
    void TakeFiles(const QStringList& paths, bool recursive);

    // The local files a drag brings.
    static QStringList DroppedFiles(const QMimeData* data);

private:
    // Adds a folder's pictures within the caller's undo step and says how it went once they
    // are read; true when any was added.
    bool AddFolderPictures(const QString& folder, bool recursive);
    // Shows entry `first`, and makes it the icon when the list had no selection to keep.
    void ShowFirstAdded(std::int16_t first);

    CAlbumEditor& m_editor;
    CProjectCommands& m_projects;
    CAlbumFileCommands& m_files;
    CPictureCheck& m_check;
    const CImageListPane& m_list;
    QWidget* m_window;
};
