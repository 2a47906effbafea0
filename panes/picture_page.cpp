#include "panes/picture_page.h"

#include "edit/album_document.h"
#include "panes/album_editor.h"

CPicturePage::CPicturePage(int templateId, QWidget* parent) : CPaneDialog(templateId, parent) {}

void CPicturePage::SetEditor(CAlbumEditor* editor) {
    m_editor = editor;
    if (editor == nullptr) {
        return;
    }
    connect(&editor->Document(), &CAlbumDocument::entryChanged, this, [this](int index, unsigned) {
        if (index == m_index) {
            Refill();
        }
    });
    Refill();
}

void CPicturePage::SetEntry(int index) {
    m_index = index;
    Refill();
}

void CPicturePage::Refill() {
    m_filling = true;
    FillControls(Entry());
    m_filling = false;
}

const CAlbumImage* CPicturePage::Entry() const {
    return m_editor != nullptr ? m_editor->Document().Entry(m_index) : nullptr;
}

CAlbumDocument* CPicturePage::Document() const {
    return m_editor != nullptr ? &m_editor->Document() : nullptr;
}

void CPicturePage::StoreControls(unsigned what, const CAlbumImage& value) {
    if (!m_filling && Entry() != nullptr) {
        (void)m_editor->Document().EditPicture(m_index, what, value);
    }
}
