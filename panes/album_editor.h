#pragma once

#include <cstdint>

#include <QString>

class CAlbumDocument;

// What the panes and pages may ask of the main window. The album itself is the document: the
// panes read it and redraw from its signals; every change is an undoable step on it, made here
// or, for a picture's own values, by the pages directly. Indices are album positions; row i of
// the list is entry i.
class CAlbumEditor {
public:
    virtual ~CAlbumEditor() = default;

    // Appends the picture file; false, changing nothing, for a file that is not a picture by
    // its extension or when the album is full. Neither selects it nor changes the icon.
    [[nodiscard]] virtual bool AddImage(const QString& path) = 0;
    // Removes entry `index`; the caller chooses what to show next.
    virtual bool DeleteImage(std::int16_t index) = 0;
    // Shows entry `index` and selects its row.
    virtual bool SelectImage(std::int16_t index) = 0;
    // Moves entry `from` to stand at `to`, the others closing up; the icon and the shown
    // picture follow their pictures.
    virtual bool MoveImage(std::int16_t from, std::int16_t to) = 0;
    // Makes the album icon from the picture of entry `index`, once its file is read.
    virtual bool SetAlbumIcon(std::int16_t index) = 0;
    // Starts a new album, in one step that Undo takes back.
    virtual void ResetAll() = 0;
    // Each gives its values to every entry, the shown one included, in one step.
    virtual void ApplySizeLimitToAll(std::int16_t width, std::int16_t height) = 0;
    virtual void ApplyCropToAll(std::uint8_t crop) = 0;
    virtual void ApplyColorToAll(std::uint8_t colorDepth, std::int16_t brightness,
                                 std::int16_t contrast, std::uint8_t dither) = 0;
    // The edits made until EndEditGroup are undone as one step named `name`.
    virtual void BeginEditGroup(const QString& name) = 0;
    virtual void EndEditGroup() = 0;

    virtual CAlbumDocument& Document() = 0;
};
