#include "panes/album_editor.h"

#include "album/picture_preparation.h"
#include "edit/album_document.h"
#include "platform/system_path.h"

CAlbumEditor::CAlbumEditor(CAlbumDocument& document, QObject* parent)
    : QObject(parent), m_document(document) {}

bool CAlbumEditor::AddImage(const QString& path) {
    // The one place a picture's path becomes the system's bytes.
    return AddPictureFile(PathToSystem(path));
}

bool CAlbumEditor::AddPictureFile(const std::string& file) {
    if (!HasPictureExtension(file) || m_document.Album().IsFull()) {
        return false;
    }
    const CNewPictureDefaults& defaults = m_document.NewPictureDefaults();
    CAlbumImage entry;
    entry.m_sourcePath = file;
    entry.m_title = PictureTitle(file);
    entry.m_sizeLimitWidth = defaults.limitWidth;
    entry.m_sizeLimitHeight = defaults.limitHeight;
    return m_document.AddPictures({entry}) == 1;
}

bool CAlbumEditor::DeleteImage(std::int16_t index) {
    return m_document.DeletePicture(index);
}

bool CAlbumEditor::MoveImage(std::int16_t from, std::int16_t to) {
    return m_document.MovePicture(from, to);
}

bool CAlbumEditor::SelectImage(std::int16_t index) {
    if (m_document.Entry(index) == nullptr) {
        return false;
    }
    emit imageSelected(index);
    return true;
}

bool CAlbumEditor::SetAlbumIcon(std::int16_t index) {
    if (m_document.Entry(index) == nullptr) {
        return false;
    }
    emit iconRequested(index);
    return true;
}

void CAlbumEditor::ResetAll() {
    m_document.Reset();
}

void CAlbumEditor::ApplySizeLimitToAll(std::int16_t width, std::int16_t height) {
    CAlbumImage value;
    value.m_sizeLimitWidth = width;
    value.m_sizeLimitHeight = height;
    m_document.ApplyToAll(kFieldLimit, value, QStringLiteral("Apply Size Limit to All"));
}

void CAlbumEditor::ApplyCropToAll(std::uint8_t crop) {
    CAlbumImage value;
    value.m_crop = crop;
    m_document.ApplyToAll(kFieldCrop, value, QStringLiteral("Apply Crop to All"));
}

void CAlbumEditor::ApplyColorToAll(std::uint8_t colorDepth, std::int16_t brightness,
                                   std::int16_t contrast, std::uint8_t dither) {
    CAlbumImage value;
    value.m_colorDepth = colorDepth;
    value.m_brightness = brightness;
    value.m_contrast = contrast;
    value.m_dither = dither;
    m_document.ApplyToAll(kFieldsColor, value, QStringLiteral("Apply Color to All"));
}

void CAlbumEditor::BeginEditGroup(const QString& name) {
    m_document.UndoStack().beginMacro(name);
}

void CAlbumEditor::EndEditGroup() {
    m_document.UndoStack().endMacro();
}
