#include "edit/album_commands.h"

#include <algorithm>
#include <utility>

#include "album/album_rules.h"

namespace {

// The name of a one-picture edit in the Undo and Redo menu items.
QString EditName(unsigned fields) {
    switch (fields) {
        case kFieldTitle:
            return QStringLiteral("Edit Picture Title");
        case kFieldNote:
            return QStringLiteral("Edit Picture Note");
        case kFieldDepth:
            return QStringLiteral("Change Color Depth");
        case kFieldBrightness:
            return QStringLiteral("Change Brightness");
        case kFieldContrast:
            return QStringLiteral("Change Contrast");
        case kFieldDither:
            return QStringLiteral("Change Dither");
        case kFieldCrop:
            return QStringLiteral("Change Crop");
        case kFieldLimit:
            return QStringLiteral("Change Size Limit");
        case kFieldOffset:
            return QStringLiteral("Move Crop Window");
        default:
            return QStringLiteral("Change Picture");
    }
}

}  // namespace

CInsertEntriesCommand::CInsertEntriesCommand(CAlbumDocument& document, int at,
                                             std::vector<CAlbumImage> entries)
    : m_document(document), m_at(at), m_entries(std::move(entries)) {
    setText(m_entries.size() == 1 ? QStringLiteral("Add Picture") : QStringLiteral("Add Pictures"));
}

void CInsertEntriesCommand::redo() {
    m_document.DoInsert(m_at, m_entries);
}

void CInsertEntriesCommand::undo() {
    m_document.DoRemove(m_at, static_cast<int>(m_entries.size()));
}

CRemoveEntryCommand::CRemoveEntryCommand(CAlbumDocument& document, int index)
    : m_document(document), m_index(index), m_entry(*document.Entry(index)) {
    setText(QStringLiteral("Delete Picture"));
}

void CRemoveEntryCommand::redo() {
    m_document.DoRemove(m_index, 1);
}

void CRemoveEntryCommand::undo() {
    m_document.DoInsert(m_index, {m_entry});
}

CMoveEntryCommand::CMoveEntryCommand(CAlbumDocument& document, int from, int to)
    : m_document(document), m_from(from), m_to(to) {
    setText(QStringLiteral("Move Picture"));
}

void CMoveEntryCommand::redo() {
    m_document.DoMove(m_from, m_to);
}

void CMoveEntryCommand::undo() {
    m_document.DoMove(m_to, m_from);
}

CEditEntriesCommand::CEditEntriesCommand(CAlbumDocument& document, std::vector<CChange> changes,
                                         unsigned fields, const QString& name, int mergeRun,
                                         bool mergeable)
    : m_document(document),
      m_changes(std::move(changes)),
      m_fields(fields),
      m_mergeRun(mergeRun),
      m_mergeable(mergeable) {
    setText(name);
}

void CEditEntriesCommand::redo() {
    for (const CChange& change : m_changes) {
        m_document.DoSetEntry(change.index, change.after, m_fields);
    }
}

void CEditEntriesCommand::undo() {
    for (auto it = m_changes.rbegin(); it != m_changes.rend(); ++it) {
        m_document.DoSetEntry(it->index, it->before, m_fields);
    }
}

bool CEditEntriesCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const CEditEntriesCommand*>(other);
    if (!m_mergeable || !next->m_mergeable || next->m_mergeRun != m_mergeRun ||
        next->m_fields != m_fields || m_changes.size() != 1 || next->m_changes.size() != 1 ||
        next->m_changes[0].index != m_changes[0].index) {
        return false;
    }
    m_changes[0].after = next->m_changes[0].after;
    // A drag that ends where it began leaves nothing to undo.
    setObsolete(m_changes[0].after == m_changes[0].before);
    return true;
}

CAlbumTextCommand::CAlbumTextCommand(CAlbumDocument& document, bool title, std::string before,
                                     std::string after, int mergeRun)
    : m_document(document),
      m_title(title),
      m_before(std::move(before)),
      m_after(std::move(after)),
      m_mergeRun(mergeRun) {
    setText(title ? QStringLiteral("Edit Album Title") : QStringLiteral("Edit Album Note"));
}

void CAlbumTextCommand::redo() {
    m_document.DoSetText(m_title, m_after);
}

void CAlbumTextCommand::undo() {
    m_document.DoSetText(m_title, m_before);
}

bool CAlbumTextCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const CAlbumTextCommand*>(other);
    if (next->m_title != m_title || next->m_mergeRun != m_mergeRun) {
        return false;
    }
    m_after = next->m_after;
    setObsolete(m_after == m_before);
    return true;
}

CIconCommand::CIconCommand(CAlbumDocument& document, std::string source, CIconPixels pixels)
    : m_document(document),
      m_beforeSource(document.Album().IconSource()),
      m_beforePixels(document.IconPixels()),
      m_afterSource(std::move(source)),
      m_afterPixels(std::move(pixels)) {
    setText(QStringLiteral("Set Icon"));
}

void CIconCommand::redo() {
    m_document.DoSetIcon(m_afterSource, m_afterPixels);
}

void CIconCommand::undo() {
    m_document.DoSetIcon(m_beforeSource, m_beforePixels);
}

CReplaceAlbumCommand::CReplaceAlbumCommand(CAlbumDocument& document, CAlbum album, CIconPixels icon,
                                           std::string projectPath, const QString& name)
    : m_document(document),
      m_before(document.Album()),
      m_beforeIcon(document.IconPixels()),
      m_beforeProject(document.ProjectPath()),
      m_after(std::move(album)),
      m_afterIcon(std::move(icon)),
      m_afterProject(std::move(projectPath)) {
    setText(name);
}

void CReplaceAlbumCommand::redo() {
    m_document.DoReplace(m_after, m_afterIcon, m_afterProject);
}

void CReplaceAlbumCommand::undo() {
    m_document.DoReplace(m_before, m_beforeIcon, m_beforeProject);
}

// The document's edits: each pushes the command that does it.

int CAlbumDocument::AddPictures(std::vector<CAlbumImage> entries) {
    const std::size_t room = kMaxPictures - std::min<std::size_t>(kMaxPictures, m_album.Count());
    if (entries.size() > room) {
        entries.resize(room);
    }
    const int count = static_cast<int>(entries.size());
    if (count > 0) {
        m_undo.push(new CInsertEntriesCommand(*this, Count(), std::move(entries)));
    }
    return count;
}

bool CAlbumDocument::DeletePicture(int index) {
    if (Entry(index) == nullptr) {
        return false;
    }
    m_undo.push(new CRemoveEntryCommand(*this, index));
    return true;
}

bool CAlbumDocument::MovePicture(int from, int to) {
    if (Entry(from) == nullptr || Entry(to) == nullptr) {
        return false;
    }
    if (from != to) {
        m_undo.push(new CMoveEntryCommand(*this, from, to));
    }
    return true;
}

void CAlbumDocument::SetIcon(const std::string& source, const CIconPixels& pixels) {
    if (source == m_album.IconSource() && pixels == IconPixels()) {
        return;
    }
    m_undo.push(new CIconCommand(*this, source, pixels));
}

bool CAlbumDocument::EditPicture(int index, unsigned what, const CAlbumImage& value) {
    const CAlbumImage* entry = Entry(index);
    if (entry == nullptr) {
        return false;
    }
    CAlbumImage after = *entry;
    CopyEntryFields(value, after, what);
    if (after == *entry) {
        return true;
    }
    std::vector<CEditEntriesCommand::CChange> changes{{index, *entry, after}};
    m_undo.push(
        new CEditEntriesCommand(*this, std::move(changes), what, EditName(what), m_mergeRun, true));
    return true;
}

void CAlbumDocument::ApplyToAll(unsigned what, const CAlbumImage& value, const QString& name) {
    std::vector<CEditEntriesCommand::CChange> changes;
    for (int i = 0; i < Count(); ++i) {
        CAlbumImage after = *Entry(i);
        CopyEntryFields(value, after, what);
        if (!(after == *Entry(i))) {
            changes.push_back({i, *Entry(i), std::move(after)});
        }
    }
    if (!changes.empty()) {
        m_undo.push(
            new CEditEntriesCommand(*this, std::move(changes), what, name, m_mergeRun, false));
    }
    BreakMerge();
}

void CAlbumDocument::SetAlbumTitle(const std::string& title) {
    if (title != m_album.Title()) {
        m_undo.push(new CAlbumTextCommand(*this, true, m_album.Title(), title, m_mergeRun));
    }
}

void CAlbumDocument::SetAlbumNote(const std::string& note) {
    if (note != m_album.Note()) {
        m_undo.push(new CAlbumTextCommand(*this, false, m_album.Note(), note, m_mergeRun));
    }
}

void CAlbumDocument::Reset() {
    if (IsBlank()) {
        return;
    }
    m_undo.push(new CReplaceAlbumCommand(*this, CAlbum(), {}, {}, QStringLiteral("Reset")));
    BreakMerge();
}

void CAlbumDocument::OpenProject(const CAlbum& album, const CIconPixels& icon,
                                 const std::string& projectPath) {
    m_undo.push(new CReplaceAlbumCommand(*this, album, icon, projectPath,
                                         QStringLiteral("Open Album Project")));
    BreakMerge();
    m_undo.setClean();
}
