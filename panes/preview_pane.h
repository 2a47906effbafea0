#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QCursor>
#include <QList>
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
class QKeyEvent;
class QScrollBar;

// The preview pane: the shown picture as the handheld will show it, in a window as large as
// the handheld's screen, with the Annotation, Color and Size pages that edit it below. The
// picture is fitted to its size limit, adjusted and converted to its colour depth; the scroll
// bars and dragging move it inside the window and set where Crop cuts it.
//
// The view follows the album document: a change of the shown entry (by a page, an undo or
// Apply to All) redraws what it touches, and the bars always show the offsets the file will
// use. Picture files are decoded off the window's thread: until a picture is ready the view is
// plain (after a moment it says it is loading) and its bars are off.
class CPreviewPane : public CPaneDialog {
    Q_OBJECT
public:
    // The view's side, in pixels: the handheld's screen.
    static constexpr int kViewSide = 160;
    // Room between the view and its scroll bars, and their thickness.
    static constexpr int kBarGap = 2;
    static constexpr int kBarThickness = 16;
    // How long the view stays plain before it says it is loading.
    static constexpr int kLoadingDelayMs = 150;

    explicit CPreviewPane(QWidget* parent = nullptr);
    ~CPreviewPane() override;

    // The editor the pages and the view work through; the view follows its document.
    void SetOwner(CAlbumEditor* owner);

    // Makes entry `index` the shown one: its values go onto the pages at once, its picture
    // follows when decoded. With -1, only the shown entry is forgotten.
    bool ShowImage(int index);
    // Drops the picture, resets the pages and shows a black view with its bars off.
    void ClearPreview();
    // Shows tab page 0 (Annotation), 1 (Color) or 2 (Size); any other hides all three.
    void ShowPage(int index);

    // The view, the tabs and the pages' controls, in the order Tab visits them.
    QList<QWidget*> FocusOrder() const;

    // The shown entry's index, -1 for none, and the entry itself.
    int CurrentIndex() const { return m_index; }
    const CAlbumImage* CurrentEntry() const;
    // True while the shown entry's picture is being decoded.
    bool IsLoading() const { return m_loading; }
    // What the view says instead of a picture ("Loading", why a file cannot be read, how to
    // add pictures to an empty album); empty while it shows one.
    QString StatusText() const;

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
    CPictureCache& Cache() const { return *m_cache; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The shown picture's file was read: `reason` says why it could not be, empty when it was.
    void pictureRead(const std::string& path, const std::string& reason);

private slots:
    void OnSelChangeTab();
    void OnHScroll(int position);
    void OnVScroll(int position);

private:
    void OnPictureReady(std::uint64_t ticket, std::shared_ptr<const CDib> picture,
                        const std::string& reason);
    void OnLoadingTooLong();
    // The document's signals: the shown entry's index follows inserts, removals and moves;
    // a change of it redraws what the change touches.
    void OnEntriesInserted(int first, int count);
    void OnEntriesRemoved(int first, int count);
    void OnEntryMoved(int from, int to);
    void OnEntryChanged(int index, unsigned fields);
    // The page of tab `index`; none for another index.
    QWidget* PageAt(int index) const;
    // Tells the pages which entry they edit.
    void SetPagesEntry(int index);
    // The source's size fitted to the shown entry's limit and Crop, shown on the Size page.
    bool TargetSize(std::int16_t& width, std::int16_t& height);
    bool RebuildSized();
    bool RebuildDevice();
    bool ConvertPicture();
    // The bars' ranges for the sized picture, and their positions at the entry's offsets
    // (where the file cuts: at most the last position).
    void UpdateScrollBars();
    // Gives the shown entry the offsets the user scrolled or dragged to.
    void StoreOffsets(int x, int y);
    void DrawPreview();
    // With Crop and "Show as saved": the crop window prepared, converted and stored as the
    // save does it, and read back as the handheld reads it. False when it cannot be made.
    bool DrawSavedWindow();
    void PresentPreview();
    // The arrow keys (Shift: ten pixels), Home and End (Ctrl: down) on the view; false for a
    // key that is not one of them.
    bool MoveCropWindow(const QKeyEvent& key);
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
    int m_index = -1;
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
    bool m_showAsSaved = false;
    QString m_status;
    QTimer m_loadingTimer;
};
