#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "album/album_image.h"
#include "album/album_rules.h"

// The album a user edits: its pictures in album order (the order of the list and of the
// file), its title and note, and the picture file whose centre gives the album icon. Texts
// are UTF-8; paths are the system's bytes.
class CAlbum {
public:
    static constexpr char kUntitled[] = "untitled";

    CAlbum() = default;
    // A copy owns copies of the entries: a save reads one while the window edits the other.
    CAlbum(const CAlbum& other);
    CAlbum& operator=(const CAlbum& other);
    CAlbum(CAlbum&&) noexcept = default;
    CAlbum& operator=(CAlbum&&) noexcept = default;
    ~CAlbum() = default;

    std::size_t Count() const { return m_entries.size(); }
    bool IsEmpty() const { return m_entries.empty(); }
    bool IsFull() const { return m_entries.size() >= kMaxPictures; }
    CAlbumImage* At(std::size_t index) {
        return index < m_entries.size() ? m_entries[index].get() : nullptr;
    }
    const CAlbumImage* At(std::size_t index) const {
        return index < m_entries.size() ? m_entries[index].get() : nullptr;
    }

    // Appends the entry and returns it; none, and nothing appended, when the album holds
    // kMaxPictures pictures already.
    CAlbumImage* Append(std::unique_ptr<CAlbumImage> entry);
    // Puts the entry at `index` (at most Count()), the later ones moving up; none, and nothing
    // inserted, when the album is full or the index lies past the end.
    CAlbumImage* Insert(std::size_t index, std::unique_ptr<CAlbumImage> entry);
    // Removes and deletes the entry at `index`, closing the gap; false when there is none.
    bool RemoveAt(std::size_t index);
    // Moves the entry at `from` so that it stands at `to`, the others closing up; false when
    // either names no entry.
    bool Move(std::size_t from, std::size_t to);
    // No pictures, title "untitled", no note, no icon.
    void Clear();

    // The album text the handheld shows: title, a line feed, note.
    const std::string& Title() const { return m_title; }
    const std::string& Note() const { return m_note; }
    void SetTitle(std::string title) { m_title = std::move(title); }
    void SetNote(std::string note) { m_note = std::move(note); }

    // The picture file whose central square becomes the album icon; empty for a black icon.
    // It stays when its picture leaves the album, as the icon made of it does.
    const std::string& IconSource() const { return m_iconSource; }
    void SetIconSource(std::string path) { m_iconSource = std::move(path); }

private:
    std::vector<std::unique_ptr<CAlbumImage>> m_entries;
    std::string m_title = kUntitled;
    std::string m_note;
    std::string m_iconSource;
};
