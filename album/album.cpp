#include "album/album.h"

#include <algorithm>
#include <new>

CAlbum::CAlbum(const CAlbum& other)
    : m_title(other.m_title), m_note(other.m_note), m_iconSource(other.m_iconSource) {
    m_entries.reserve(other.m_entries.size());
    for (const auto& entry : other.m_entries) {
        m_entries.push_back(std::make_unique<CAlbumImage>(*entry));
    }
}

CAlbum& CAlbum::operator=(const CAlbum& other) {
    if (this != &other) {
        CAlbum copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CAlbumImage* CAlbum::Append(std::unique_ptr<CAlbumImage> entry) {
    if (!entry || IsFull()) {
        return nullptr;
    }
    try {
        m_entries.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return m_entries.back().get();
}

CAlbumImage* CAlbum::Insert(std::size_t index, std::unique_ptr<CAlbumImage> entry) {
    if (!entry || IsFull() || index > m_entries.size()) {
        return nullptr;
    }
    try {
        return m_entries
            .insert(m_entries.begin() + static_cast<std::ptrdiff_t>(index), std::move(entry))
            ->get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool CAlbum::RemoveAt(std::size_t index) {
    if (index >= m_entries.size()) {
        return false;
    }
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool CAlbum::Move(std::size_t from, std::size_t to) {
    if (from >= m_entries.size() || to >= m_entries.size()) {
        return false;
    }
    const auto at = [this](std::size_t index) {
        return m_entries.begin() + static_cast<std::ptrdiff_t>(index);
    };
    if (from < to) {
        std::rotate(at(from), at(from + 1), at(to + 1));
    } else if (to < from) {
        std::rotate(at(to), at(from), at(from + 1));
    }
    return true;
}

void CAlbum::Clear() {
    m_entries.clear();
    m_title = kUntitled;
    m_note.clear();
    m_iconSource.clear();
}
