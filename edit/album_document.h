#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QString>
#include <QUndoStack>

#include "album/album.h"
#include "edit/new_picture_defaults.h"
#include "imaging/dib.h"

// What of a picture's entry an edit changed, so that a view redraws only what it must.
enum EntryField : unsigned {
    kFieldTitle = 1u << 0,
    kFieldNote = 1u << 1,
    kFieldDepth = 1u << 2,
    kFieldBrightness = 1u << 3,
    kFieldContrast = 1u << 4,
    kFieldDither = 1u << 5,
    kFieldCrop = 1u << 6,
    kFieldLimit = 1u << 7,
    kFieldOffset = 1u << 8,
    kFieldsText = kFieldTitle | kFieldNote,
    kFieldsColor = kFieldDepth | kFieldBrightness | kFieldContrast | kFieldDither,
    kFieldsSize = kFieldCrop | kFieldLimit,
    kFieldsAll = 0x1FF,
};

// The 24 x 24 album icon's pixel rows as the bitmap holds them; empty for a black icon.
using CIconPixels = std::vector<std::uint8_t>;

// The album the window edits. It owns the album and its icon, and every change goes through
// an undoable command on its stack; the views redraw from its signals and never from each
// other's widgets. "Saved" means the stack is clean since the project was last opened or saved.
// Indices are album positions.
class CAlbumDocument : public QObject {
    Q_OBJECT
public:
    explicit CAlbumDocument(QObject* parent = nullptr);
    ~CAlbumDocument() override;

    const CAlbum& Album() const { return m_album; }
    int Count() const { return static_cast<int>(m_album.Count()); }
    // The entry at `index`; none outside the album.
    const CAlbumImage* Entry(int index) const;
    // The icon as it goes into the file: made from its picture when it was chosen, black when
    // no picture was.
    const CDib& Icon() const { return m_icon; }
    CIconPixels IconPixels() const;
    // The album project the album was last opened from or saved as (the system's bytes); empty
    // for a new album.
    const std::string& ProjectPath() const { return m_projectPath; }
    QUndoStack& UndoStack() { return m_undo; }
    bool IsClean() const { return m_undo.isClean(); }
    // Nothing the user could lose: no pictures, untitled, no note, no icon, no project.
    bool IsBlank() const;

    // The edits. Each is one step on the undo stack (a run of merged steps counts as one);
    // an edit that changes nothing pushes nothing.
    // Appends the entries, as many as the album takes; the number appended.
    int AddPictures(std::vector<CAlbumImage> entries);
    bool DeletePicture(int index);
    bool MovePicture(int from, int to);
    // The icon made from `source`, with its pixels.
    void SetIcon(const std::string& source, const CIconPixels& pixels);
    // Gives entry `index` the fields `what` of `value`. Steps on the same fields of the same
    // entry merge until BreakMerge, so a slider drag or a run of typing is undone at once.
    bool EditPicture(int index, unsigned what, const CAlbumImage& value);
    // Gives every entry the fields `what` of `value`, as one step named `name`.
    void ApplyToAll(unsigned what, const CAlbumImage& value, const QString& name);
    void SetAlbumTitle(const std::string& title);
    void SetAlbumNote(const std::string& note);
    // A new album in one step: no pictures, untitled, black icon, no project.
    void Reset();
    // Replaces the album with one read from the project at `projectPath`, in one step, and
    // takes it as saved.
    void OpenProject(const CAlbum& album, const CIconPixels& icon, const std::string& projectPath);
    // The album was saved as the project at `projectPath`.
    void MarkSaved(const std::string& projectPath);
    // The next edit starts a step of its own rather than merging with the last one.
    void BreakMerge() { ++m_mergeRun; }

    // What pictures added from now on start with; not part of the album, not undone.
    const CNewPictureDefaults& NewPictureDefaults() const { return m_newPictures; }
    void SetNewPictureDefaults(const CNewPictureDefaults& defaults) { m_newPictures = defaults; }

signals:
    void entriesInserted(int first, int count);
    void entriesRemoved(int first, int count);
    void entryMoved(int from, int to);
    void entryChanged(int index, unsigned fields);
    void albumTextChanged();
    void iconChanged();
    // Everything may differ: views start again from the album.
    void albumReplaced();
    void projectChanged();
    void cleanChanged(bool clean);

private:
    friend class CInsertEntriesCommand;
    friend class CRemoveEntryCommand;
    friend class CMoveEntryCommand;
    friend class CEditEntriesCommand;
    friend class CAlbumTextCommand;
    friend class CIconCommand;
    friend class CReplaceAlbumCommand;

    // What the commands do and undo; each tells the views.
    void DoInsert(int at, const std::vector<CAlbumImage>& entries);
    void DoRemove(int first, int count);
    void DoMove(int from, int to);
    void DoSetEntry(int index, const CAlbumImage& value, unsigned fields);
    void DoSetText(bool title, const std::string& text);
    void DoSetIcon(const std::string& source, const CIconPixels& pixels);
    void DoReplace(const CAlbum& album, const CIconPixels& icon, const std::string& projectPath);
    int MergeRun() const { return m_mergeRun; }

    CAlbum m_album;
    CDib m_icon;
    std::string m_projectPath;
    QUndoStack m_undo;
    int m_mergeRun = 0;
    CNewPictureDefaults m_newPictures;
};

// Copies the fields `what` of `from` into `to`.
void CopyEntryFields(const CAlbumImage& from, CAlbumImage& to, unsigned what);
