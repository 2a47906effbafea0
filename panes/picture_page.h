#pragma once

#include "panes/pane_dialog.h"

class CAlbumEditor;
class CAlbumDocument;
class CAlbumImage;

// A tab page that edits the shown picture's entry. Its controls show the entry's values and
// follow every change of it (an undo included); a control the user changes turns its value
// into an edit of the entry at once.
class CPicturePage : public CPaneDialog {
    Q_OBJECT
public:
    CPicturePage(int templateId, QWidget* parent);

    void SetEditor(CAlbumEditor* editor);
    // The entry the page edits; -1 for none, which resets the controls.
    void SetEntry(int index);
    int EntryIndex() const { return m_index; }

protected:
    // Puts the entry's values on the controls; none: the values of a new picture.
    virtual void FillControls(const CAlbumImage* entry) = 0;
    // The shown entry; none when there is none.
    const CAlbumImage* Entry() const;
    CAlbumDocument* Document() const;
    CAlbumEditor* Editor() const { return m_editor; }
    // Gives the shown entry the fields `what` of `value`; nothing while the controls are being
    // filled from the entry.
    void StoreControls(unsigned what, const CAlbumImage& value);
    bool IsFilling() const { return m_filling; }

private:
    void Refill();

    CAlbumEditor* m_editor = nullptr;
    int m_index = -1;
    bool m_filling = false;
};
