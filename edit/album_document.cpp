#include "edit/album_document.h"

#include <algorithm>
#include <cstring>

#include "album/album_rules.h"

namespace {

constexpr std::uint8_t kIconBits = 24;

}  // namespace

void CopyEntryFields(const CAlbumImage& from, CAlbumImage& to, unsigned what) {
    if (what & kFieldTitle)
        to.m_title = from.m_title;
    if (what & kFieldNote)
        to.m_note = from.m_note;
    if (what & kFieldDepth)
        to.m_colorDepth = from.m_colorDepth;
    if (what & kFieldBrightness)
        to.m_brightness = from.m_brightness;
    if (what & kFieldContrast)
        to.m_contrast = from.m_contrast;
    if (what & kFieldDither)
        to.m_dither = from.m_dither;
    if (what & kFieldCrop)
        to.m_crop = from.m_crop;
    if (what & kFieldLimit) {
        to.m_sizeLimitWidth = from.m_sizeLimitWidth;
        to.m_sizeLimitHeight = from.m_sizeLimitHeight;
    }
    if (what & kFieldOffset) {
        to.m_horizontalOffset = from.m_horizontalOffset;
        to.m_verticalOffset = from.m_verticalOffset;
    }
}

CAlbumDocument::CAlbumDocument(QObject* parent) : QObject(parent) {
    if (m_icon.Create(kIconSide, kIconSide, kIconBits)) {
        std::memset(m_icon.Pixels(), 0, m_icon.PixelBytes());
    }
    connect(&m_undo, &QUndoStack::cleanChanged, this, &CAlbumDocument::cleanChanged);
}

CAlbumDocument::~CAlbumDocument() {
    // The commands refer to the document: they go first.
    m_undo.clear();
}

const CAlbumImage* CAlbumDocument::Entry(int index) const {
    return index >= 0 ? m_album.At(static_cast<std::size_t>(index)) : nullptr;
}

CIconPixels CAlbumDocument::IconPixels() const {
    if (!m_icon.IsCreated() || m_album.IconSource().empty()) {
        return {};
    }
    return CIconPixels(m_icon.Pixels(), m_icon.Pixels() + m_icon.PixelBytes());
}

bool CAlbumDocument::IsBlank() const {
    return m_album.IsEmpty() && m_album.Title() == CAlbum::kUntitled && m_album.Note().empty() &&
           m_album.IconSource().empty() && m_projectPath.empty();
}

void CAlbumDocument::MarkSaved(const std::string& projectPath) {
    if (projectPath != m_projectPath) {
        m_projectPath = projectPath;
        emit projectChanged();
    }
    BreakMerge();
    m_undo.setClean();
}

void CAlbumDocument::DoInsert(int at, const std::vector<CAlbumImage>& entries) {
    int inserted = 0;
    for (const CAlbumImage& entry : entries) {
        if (m_album.Insert(static_cast<std::size_t>(at + inserted),
                           std::make_unique<CAlbumImage>(entry)) == nullptr) {
            break;
        }
        ++inserted;
    }
    if (inserted > 0) {
        emit entriesInserted(at, inserted);
    }
}

void CAlbumDocument::DoRemove(int first, int count) {
    for (int i = 0; i < count; ++i) {
        m_album.RemoveAt(static_cast<std::size_t>(first));
    }
    emit entriesRemoved(first, count);
}

void CAlbumDocument::DoMove(int from, int to) {
    if (m_album.Move(static_cast<std::size_t>(from), static_cast<std::size_t>(to))) {
        emit entryMoved(from, to);
    }
}

void CAlbumDocument::DoSetEntry(int index, const CAlbumImage& value, unsigned fields) {
    CAlbumImage* entry = m_album.At(static_cast<std::size_t>(index));
    if (entry == nullptr) {
        return;
    }
    CopyEntryFields(value, *entry, fields);
    emit entryChanged(index, fields);
}

void CAlbumDocument::DoSetText(bool title, const std::string& text) {
    if (title) {
        m_album.SetTitle(text);
    } else {
        m_album.SetNote(text);
    }
    emit albumTextChanged();
}

void CAlbumDocument::DoSetIcon(const std::string& source, const CIconPixels& pixels) {
    m_album.SetIconSource(source);
    if (m_icon.IsCreated()) {
        if (pixels.size() == m_icon.PixelBytes()) {
            std::memcpy(m_icon.Pixels(), pixels.data(), pixels.size());
        } else {
            std::memset(m_icon.Pixels(), 0, m_icon.PixelBytes());
        }
    }
    emit iconChanged();
}

void CAlbumDocument::DoReplace(const CAlbum& album, const CIconPixels& icon,
                               const std::string& projectPath) {
    m_album = album;
    const bool projectMoved = projectPath != m_projectPath;
    m_projectPath = projectPath;
    DoSetIcon(album.IconSource(), icon);
    emit albumReplaced();
    emit albumTextChanged();
    if (projectMoved) {
        emit projectChanged();
    }
}
