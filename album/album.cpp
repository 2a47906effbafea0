#include "album/album.h"

CAlbumImage* CAlbum::Append(std::unique_ptr<CAlbumImage> entry) {
    m_entries.push_back(std::move(entry));
    return m_entries.back().get();
}

bool CAlbum::RemoveAt(std::size_t index) {
    if (index >= m_entries.size()) {
        return false;
    }
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}
