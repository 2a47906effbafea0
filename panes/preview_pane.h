#pragma once

#include <cstdint>

#include "panes/pane_dialog.h"

class CAlbumImage;
class CAlbumEditor;
class CTabCtrl;
class QFrame;
class QScrollBar;

// The preview pane: the picture area with its two scroll bars, above the tab control that
// holds the settings pages of the shown picture. It knows which album entry is shown; the
// picture itself and the pages come with the conversion preview.
class CPreviewPane : public CPaneDialog {
    Q_OBJECT
public:
    // The picture area's size, in pixels: the handheld's screen.
    static constexpr int kViewSide = 160;
    // Room between the picture area and its scroll bars, and their thickness.
    static constexpr int kBarGap = 2;
    static constexpr int kBarThickness = 16;

    explicit CPreviewPane(QWidget* parent = nullptr);

    void SetOwner(CAlbumEditor* owner) { m_owner = owner; }

    // Makes the entry the shown one; with none, only forgets the shown entry.
    bool ShowImage(CAlbumImage* entry);
    // Forgets the shown entry and returns to the first page.
    void ClearPreview();
    // Copies the pages' values into the entry, or into the shown one with none; false when
    // there is no entry.
    bool StoreControls(CAlbumImage* entry);
    // The main window switches editing on and off with the album; the preview stays usable
    // whatever it is told.
    void SetEditingEnabled(bool enable);

    CAlbumImage* CurrentEntry() const { return m_current; }
    // The size limit new pictures get: the one last chosen on the Size page.
    std::int16_t SizeLimitWidth() const { return m_sizeLimitWidth; }
    std::int16_t SizeLimitHeight() const { return m_sizeLimitHeight; }

    CTabCtrl* TabControl() const { return m_tab; }
    QFrame* PictureArea() const { return m_area; }
    QScrollBar* HorizontalBar() const { return m_horizontal; }
    QScrollBar* VerticalBar() const { return m_vertical; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;

private:
    CAlbumEditor* m_owner = nullptr;
    CAlbumImage* m_current = nullptr;
    std::int16_t m_sizeLimitWidth = 160;
    std::int16_t m_sizeLimitHeight = 160;
    CTabCtrl* m_tab = nullptr;
    QScrollBar* m_vertical = nullptr;
    QScrollBar* m_horizontal = nullptr;
    QFrame* m_area = nullptr;
};
