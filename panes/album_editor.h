#pragma once

#include <cstdint>

#include <QString>

class CAlbum;
class CAlbumImage;

// What the panes and pages may do to the album. The main window implements it and keeps the
// album, the list rows and the preview in step; the panes never change the album's entries
// themselves. Indices are album positions; row i of the list is entry i.
class CAlbumEditor {
public:
    virtual ~CAlbumEditor() = default;

    // Appends the picture file; false, changing nothing, for a file that is not a picture by
    // its extension or when the album is full. Neither selects it nor changes the icon.
    [[nodiscard]] virtual bool AddImage(const QString& path) = 0;
    // Removes entry `index`; the caller chooses what to show next.
    virtual bool DeleteImage(std::int16_t index) = 0;
    // Stores the pending edits of the shown picture, then shows entry `index`.
    virtual bool SelectImage(std::int16_t index) = 0;
    // Moves entry `from` to stand at `to`, the others closing up; the icon and the shown
    // picture follow their pictures. The list has moved its row already.
    virtual bool MoveImage(std::int16_t from, std::int16_t to) = 0;
    // Makes the album icon from the picture of entry `index`.
    virtual bool SetAlbumIcon(std::int16_t index) = 0;
    // Empties the album and every pane at once.
    virtual void ResetAll() = 0;
    // Each writes its values into every entry, the shown one included; nothing is redrawn.
    virtual void ApplySizeLimitToAll(std::int16_t width, std::int16_t height) = 0;
    virtual void ApplyCropToAll(std::uint8_t crop) = 0;
    virtual void ApplyColorToAll(std::uint8_t colorDepth, std::int16_t brightness,
                                 std::int16_t contrast, std::uint8_t dither) = 0;

    // The album the panes show; its title and note are edited here directly.
    virtual CAlbum& Album() = 0;
    // A pane changed the album itself (a text, a setting, an offset).
    virtual void AlbumChanged() = 0;
};
