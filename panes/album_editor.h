#pragma once

#include <cstdint>
#include <string>

#include <QObject>
#include <QString>

class CAlbumDocument;

// What the panes and pages may do to the album beyond a picture's own values, which the pages
// give the document directly. Each edit is an undoable step on the document, and the panes
// redraw from its signals. Showing a picture and making the icon need the window: they are
// asked for with a signal. Indices are album positions; row i of the list is entry i.
class CAlbumEditor : public QObject {
    Q_OBJECT
public:
    explicit CAlbumEditor(CAlbumDocument& document, QObject* parent = nullptr);

    CAlbumDocument& Document() const { return m_document; }

    // Appends the picture file, with what new pictures start with; false, changing nothing,
    // for a file that is not a picture by its extension or when the album is full. Neither
    // selects it nor changes the icon.
    [[nodiscard]] bool AddImage(const QString& path);
    // The same for a path already in the system's bytes, as a folder listing gives it.
    [[nodiscard]] bool AddPictureFile(const std::string& file);
    // Removes entry `index`; the caller chooses what to show next.
    bool DeleteImage(std::int16_t index);
    // Moves entry `from` to stand at `to`, the others closing up; the icon and the shown
    // picture follow their pictures.
    bool MoveImage(std::int16_t from, std::int16_t to);
    // Asks for entry `index` to be shown with its row selected.
    bool SelectImage(std::int16_t index);
    // Asks for the album icon to be made from the picture of entry `index`.
    bool SetAlbumIcon(std::int16_t index);
    // Starts a new album, in one step that Undo takes back.
    void ResetAll();
    // Each gives its values to every entry, the shown one included, in one step.
    void ApplySizeLimitToAll(std::int16_t width, std::int16_t height);
    void ApplyCropToAll(std::uint8_t crop);
    void ApplyColorToAll(std::uint8_t colorDepth, std::int16_t brightness, std::int16_t contrast,
                         std::uint8_t dither);
    // The edits made until EndEditGroup are undone as one step named `name`.
    void BeginEditGroup(const QString& name);
    void EndEditGroup();

signals:
    void imageSelected(int index);
    void iconRequested(int index);

private:
    CAlbumDocument& m_document;
};
