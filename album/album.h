#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "album/album_image.h"

// The ordered list of album entries; the order is the list's and the file's.
class CAlbum {
public:
    // At most this many pictures are listed; the file's index has room for 1056.
    static constexpr std::size_t kMaxPictures = 1000;

    std::size_t Count() const { return m_entries.size(); }
    bool IsEmpty() const { return m_entries.empty(); }
    CAlbumImage* At(std::size_t index) { return index < m_entries.size() ? m_entries[index].get() : nullptr; }
    const CAlbumImage* At(std::size_t index) const {
        return index < m_entries.size() ? m_entries[index].get() : nullptr;
    }

    // Appends the entry and returns it.
    CAlbumImage* Append(std::unique_ptr<CAlbumImage> entry);
    // Removes and deletes the entry at `index`, closing the gap; false when there is none.
    bool RemoveAt(std::size_t index);
    void Clear() { m_entries.clear(); }

private:
    std::vector<std::unique_ptr<CAlbumImage>> m_entries;
};
