#pragma once

#include <string>
#include <vector>

#include <QUndoCommand>

#include "album/album.h"
#include "edit/album_document.h"

// The undoable steps of the album document. Each does its change in redo() and takes it back
// in undo(), through the document, which tells the views.

class CInsertEntriesCommand : public QUndoCommand {
public:
    CInsertEntriesCommand(CAlbumDocument& document, int at, std::vector<CAlbumImage> entries);
    void redo() override;
    void undo() override;

private:
    CAlbumDocument& m_document;
    int m_at;
    std::vector<CAlbumImage> m_entries;
};

class CRemoveEntryCommand : public QUndoCommand {
public:
    CRemoveEntryCommand(CAlbumDocument& document, int index);
    void redo() override;
    void undo() override;

private:
    CAlbumDocument& m_document;
    int m_index;
    CAlbumImage m_entry;
};

class CMoveEntryCommand : public QUndoCommand {
public:
    CMoveEntryCommand(CAlbumDocument& document, int from, int to);
    void redo() override;
    void undo() override;

private:
    CAlbumDocument& m_document;
    int m_from;
    int m_to;
};

// Changes fields of one entry, or of several (Apply to All). Steps on the same fields of one
// entry within one run of edits merge.
class CEditEntriesCommand : public QUndoCommand {
public:
    static constexpr int kId = 1;

    struct CChange {
        int index;
        CAlbumImage before;
        CAlbumImage after;
    };
    CEditEntriesCommand(CAlbumDocument& document, std::vector<CChange> changes, unsigned fields,
                        const QString& name, int mergeRun, bool mergeable);
    void redo() override;
    void undo() override;
    int id() const override { return m_mergeable ? kId : -1; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    CAlbumDocument& m_document;
    std::vector<CChange> m_changes;
    unsigned m_fields;
    int m_mergeRun;
    bool m_mergeable;
};

class CAlbumTextCommand : public QUndoCommand {
public:
    static constexpr int kId = 2;

    CAlbumTextCommand(CAlbumDocument& document, bool title, std::string before, std::string after,
                      int mergeRun);
    void redo() override;
    void undo() override;
    int id() const override { return kId; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    CAlbumDocument& m_document;
    bool m_title;
    std::string m_before;
    std::string m_after;
    int m_mergeRun;
};

class CIconCommand : public QUndoCommand {
public:
    CIconCommand(CAlbumDocument& document, std::string source, CIconPixels pixels);
    void redo() override;
    void undo() override;

private:
    CAlbumDocument& m_document;
    std::string m_beforeSource;
    CIconPixels m_beforePixels;
    std::string m_afterSource;
    CIconPixels m_afterPixels;
};

// Reset and opening a project: the whole album, its icon and its project at once.
class CReplaceAlbumCommand : public QUndoCommand {
public:
    CReplaceAlbumCommand(CAlbumDocument& document, CAlbum album, CIconPixels icon,
                         std::string projectPath, const QString& name);
    void redo() override;
    void undo() override;

private:
    CAlbumDocument& m_document;
    CAlbum m_before;
    CIconPixels m_beforeIcon;
    std::string m_beforeProject;
    CAlbum m_after;
    CIconPixels m_afterIcon;
    std::string m_afterProject;
};
