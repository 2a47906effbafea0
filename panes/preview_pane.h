#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QCursor>
#include <QPoint>
#include <QString>
#include <QTimer>

#include "imaging/dib.h"
#include "imaging/memory_bitmap.h"
#include "panes/pane_dialog.h"

class CAlbumEditor;
class CAlbumImage;
class CAnnotationPage;
class CColorPage;
class CPictureCache;
class CSizePage;
class CTabCtrl;
class QFrame;
class QScrollBar;

// The preview pane: the shown picture as the handheld will show it, in a window as large as
// the handheld's screen, with the Annotation, Color and Size pages that edit it below. The
// picture is fitted to its size limit, adjusted and converted to its colour depth; the scroll
// bars and dragging move it inside the window and set where Crop cuts it.
//
// The pages hold the shown picture's values while it is shown; StoreControls copies them into
// its entry. Picture files are decoded off the window's thread: until a picture is ready the
// view keeps what it showed (after a moment, a plain "Loading" view) and its bars are off.
class CPreviewPane : public CPaneDialog {
    Q_OBJECT
public:
    // The view's side, in pixels: the handheld's screen.
    static constexpr int kViewSide = 160;
    // Room between the view and its scroll bars, and their thickness.
    static constexpr int kBarGap = 2;
    static constexpr int kBarThickness = 16;
    // How long the view keeps the previous picture before it says it is loading.
    static constexpr int kLoadingDelayMs = 150;

    explicit CPreviewPane(QWidget* parent = nullptr);
    ~CPreviewPane() override;

    void SetOwner(CAlbumEditor* owner) { m_owner = owner; }

    // Makes the entry the shown one: its values go onto the pages at once, its picture follows
    // when decoded. With none, only the shown entry is forgotten.
    bool ShowImage(CAlbumImage* entry);
    // Drops the picture, resets the pages and shows a black view with its bars off.
    void ClearPreview();
    // Copies the pages' values (title, note, brightness, contrast, depth, dither) into the
    // entry, or into the shown one with none; false when there is no entry.
    bool StoreControls(CAlbumImage* entry);
    // The main window switches editing on and off with the album; the preview stays usable
    // whatever it is told.
    void SetEditingEnabled(bool enable);
    // Shows tab page 0 (Annotation), 1 (Color) or 2 (Size); any other hides all three.
    void ShowPage(int index);

    // Called by the pages: store and convert again (brightness, contrast, dither); store, make
    // a bitmap of the new depth and convert; give the shown entry the Size page's Crop and
    // limit and fit it again. Each stops with false at the first step that fails.
    bool RefreshAdjusted();
    // Draws the view again, as "Show as saved" on the Color page asks.
    void RefreshView();
    bool RefreshDepth();
    bool ApplySize();
    // The pages' Apply to All, passed on to the album.
    void ApplySizeLimitToAll(std::int16_t width, std::int16_t height);
    void ApplyCropToAll(std::uint8_t crop);
    void ApplyColorToAll(std::uint8_t colorDepth, std::int16_t brightness, std::int16_t contrast,
                         std::uint8_t dither);

    CAlbumImage* CurrentEntry() const { return m_current; }
    // The size limit new pictures get: the one last chosen on the Size page.
    std::int16_t SizeLimitWidth() const;
    std::int16_t SizeLimitHeight() const;
    // The Crop and the depth new pictures start with, as last chosen on the pages.
    std::uint8_t NewPictureCrop() const;
    std::uint8_t NewPictureDepth() const;
    // True while the shown entry's picture is being decoded.
    bool IsLoading() const { return m_loading; }
    // What the view says instead of a picture ("Loading", why a file cannot be read); empty
    // while it shows one.
    const QString& StatusText() const { return m_status; }

    const CDib& Surface() const { return m_surface.Bitmap(); }
    const CDib* SizedBitmap() const { return m_sized.get(); }
    const CDib* DeviceBitmap() const { return m_device.get(); }
    CAnnotationPage& AnnotationPage() const { return *m_annotation; }
    CColorPage& ColorPage() const { return *m_color; }
    CSizePage& SizePage() const { return *m_size; }
    CTabCtrl* TabControl() const { return m_tab; }
    QFrame* PictureArea() const { return m_area; }
    QScrollBar* HorizontalBar() const { return m_horizontal; }
    QScrollBar* VerticalBar() const { return m_vertical; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private slots:
    void OnSelChangeTab();
    void OnHScroll(int position);
    void OnVScroll(int position);

private:
    void OnPictureReady(std::uint64_t ticket, std::shared_ptr<const CDib> picture,
                        const std::string& reason);
    void OnLoadingTooLong();
    // Tells the album that the user changed something on a page or in the view.
    void NoteChange();
    void FillPages(const CAlbumImage& entry);
    // The source's size fitted to the shown entry's limit and Crop, shown on the Size page.
    bool TargetSize(std::int16_t& width, std::int16_t& height);
    bool RebuildSized();
    bool RebuildDevice();
    bool ConvertPicture();
    void UpdateScrollBars();
    void DrawPreview();
    // With Crop and "Show as saved": the crop window prepared, converted and stored as the
    // save does it, and read back as the handheld reads it. False when it cannot be made.
    bool DrawSavedWindow();
    void PresentPreview();
    void OnLButtonDown(const QPoint& point);
    void OnLButtonUp();
    void OnMouseMove(const QPoint& point);
    void OnSetCursor();
    // Puts a position on a bar without it counting as the user's scrolling.
    void SetBarPosition(QScrollBar* bar, int position);
    // The view's rectangle in this pane's coordinates.
    QRect AreaRect() const;

    CAlbumEditor* m_owner = nullptr;
    CAnnotationPage* m_annotation = nullptr;
    CSizePage* m_size = nullptr;
    CColorPage* m_color = nullptr;
    CMemoryBitmap m_surface;
    CAlbumImage* m_current = nullptr;
    std::shared_ptr<const CDib> m_source;  // shared with the picture cache
    std::unique_ptr<CDib> m_sized;
    std::unique_ptr<CDib> m_adjusted;
    std::unique_ptr<CDib> m_device;
    bool m_dragging = false;
    QPoint m_pressPoint;
    int m_pressOffsetX = 0;
    int m_pressOffsetY = 0;
    std::optional<QCursor> m_handCursor;
    CTabCtrl* m_tab = nullptr;
    QScrollBar* m_vertical = nullptr;
    QScrollBar* m_horizontal = nullptr;
    QFrame* m_area = nullptr;

    std::unique_ptr<CPictureCache> m_cache;
    std::uint64_t m_ticket = 0;  // the request whose answer is still wanted
    bool m_loading = false;
    bool m_settingBars = false;
    QString m_status;
    QTimer m_loadingTimer;
};
