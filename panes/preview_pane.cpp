#include "panes/preview_pane.h"

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTextOption>

#include "album/album_file_reader.h"
#include "album/album_image.h"
#include "album/palm_database.h"
#include "album/picture_preparation.h"
#include "convert/conversion.h"
#include "decode/drawing.h"
#include "edit/album_document.h"
#include "panes/album_editor.h"
#include "panes/annotation_page.h"
#include "panes/color_page.h"
#include "panes/picture_cache.h"
#include "panes/size_page.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/resources.h"
#include "ui/tab_ctrl.h"

namespace {

// Room between the tab control's frame and the page inside it.
constexpr int kPageMargin = 4;
// Room between the view's edge and a message shown in it.
constexpr int kStatusMargin = 8;
// How far the crop window moves for an arrow key with Shift.
constexpr int kLongStep = 10;
// The width of the frame around the view while it has the keyboard.
constexpr int kFocusFrame = 2;

template <class Page>
Page* CreatePage(QWidget* parent) {
    auto* page = new Page(parent);
    if (!page->Create()) {
        qFatal("the %s template is missing", Page::staticMetaObject.className());
    }
    return page;
}

}  // namespace

CPreviewPane::CPreviewPane(QWidget* parent)
    : CPaneDialog(IDD_PREVIEW_PANE, parent), m_cache(std::make_unique<CPictureCache>()) {
    m_loadingTimer.setSingleShot(true);
    connect(&m_loadingTimer, &QTimer::timeout, this, &CPreviewPane::OnLoadingTooLong);
}

CPreviewPane::~CPreviewPane() = default;

void CPreviewPane::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_SETTINGS_TAB, m_tab);
    DDX_Control(dx, IDC_PREVIEW_VSCROLL, m_vertical);
    DDX_Control(dx, IDC_PREVIEW_HSCROLL, m_horizontal);
    DDX_Control(dx, IDC_PREVIEW_AREA, m_area);
}

void CPreviewPane::OnInitDialog() {
    m_annotation = CreatePage<CAnnotationPage>(m_tab);
    m_size = CreatePage<CSizePage>(m_tab);
    m_color = CreatePage<CColorPage>(m_tab);
    m_tab->InsertItem(0, LoadResString(IDS_TAB_ANNOTATION));
    m_tab->InsertItem(1, LoadResString(IDS_TAB_COLOR));
    m_tab->InsertItem(2, LoadResString(IDS_TAB_SIZE));
    const QRect pageRect =
        m_tab->ClientArea().adjusted(kPageMargin, kPageMargin, -kPageMargin, -kPageMargin);
    for (QWidget* page : std::initializer_list<QWidget*>{m_annotation, m_size, m_color}) {
        page->setGeometry(pageRect);
    }
    ShowPage(0);
    m_tab->SetCurSel(0);
    // The keyboard reaches the tab control through its tabs, each of which says what it holds.
    QTabBar* tabs = m_tab->TabBar();
    tabs->setTabToolTip(0, QStringLiteral("The shown picture's title and note"));
    tabs->setTabToolTip(1, QStringLiteral("The shown picture's colour depth and adjustments"));
    tabs->setTabToolTip(2, QStringLiteral("The shown picture's size limit and Crop"));

    if (!m_surface.CreateSurface(kViewSide, kViewSide)) {
        return;  // the view and its bars stay where the template put them
    }
    // The picture is shown 1:1 in a window as large as the handheld's screen, whatever the
    // dialog units make of the template's area; the bars follow it.
    const QRect area(m_area->pos(), QSize(kViewSide, kViewSide));
    m_area->setGeometry(area);
    m_horizontal->setGeometry(area.x(), area.y() + area.height() + kBarGap, kViewSide,
                              kBarThickness);
    m_vertical->setGeometry(area.x() + area.width() + kBarGap, area.y(), kBarThickness, kViewSide);
    m_surface.Clear();
    OnSetCursor();
    // The view takes the keyboard: the arrow keys move the crop window as a drag does.
    m_area->setFocusPolicy(Qt::StrongFocus);
    m_area->installEventFilter(this);

    // Message map.
    connect(m_tab, &CTabCtrl::selChange, this, &CPreviewPane::OnSelChangeTab);
    connect(m_horizontal, &QScrollBar::valueChanged, this, &CPreviewPane::OnHScroll);
    connect(m_vertical, &QScrollBar::valueChanged, this, &CPreviewPane::OnVScroll);
    m_showAsSaved = m_color->ShowAsSavedBox()->isChecked();
    connect(m_color, &CColorPage::showAsSavedChanged, this, [this](bool on) {
        m_showAsSaved = on;
        DrawPreview();
    });
    // A press on a bar starts a step of its own; the moves of one press are one step.
    for (QScrollBar* bar : {m_horizontal, m_vertical}) {
        connect(bar, &QScrollBar::sliderPressed, this, [this] {
            if (m_owner != nullptr) {
                m_owner->Document().BreakMerge();
            }
        });
    }
}

QList<QWidget*> CPreviewPane::FocusOrder() const {
    QList<QWidget*> order = {m_area, m_tab->TabBar()};
    // Each page top to bottom, left to right; only the shown page is visited.
    const std::vector<std::pair<const CPaneDialog*, std::vector<int>>> pages = {
        {m_annotation, {IDC_PICTURE_TITLE, IDC_PICTURE_NOTE}},
        {m_color,
         {IDC_COLOR_DEPTH, IDC_CONTRAST, IDC_RESET_CONTRAST, IDC_BRIGHTNESS, IDC_RESET_BRIGHTNESS,
          IDC_DITHER, IDC_APPLY_TO_ALL, IDC_SHOW_AS_SAVED}},
        {m_size, {IDC_CROP, IDC_SIZE_LIMIT, IDC_UPDATE_SIZE, IDC_APPLY_TO_ALL}},
    };
    for (const auto& [page, ids] : pages) {
        for (const int id : ids) {
            order.append(page->GetDlgItem(id));
        }
    }
    return order;
}

void CPreviewPane::SetOwner(CAlbumEditor* owner) {
    m_owner = owner;
    for (CPicturePage* page : std::initializer_list<CPicturePage*>{m_annotation, m_color, m_size}) {
        page->SetEditor(owner);
    }
    if (owner == nullptr) {
        return;
    }
    CAlbumDocument& document = owner->Document();
    connect(&document, &CAlbumDocument::entriesInserted, this, &CPreviewPane::OnEntriesInserted);
    connect(&document, &CAlbumDocument::entriesRemoved, this, &CPreviewPane::OnEntriesRemoved);
    connect(&document, &CAlbumDocument::entryMoved, this, &CPreviewPane::OnEntryMoved);
    connect(&document, &CAlbumDocument::entryChanged, this, &CPreviewPane::OnEntryChanged);
    connect(&document, &CAlbumDocument::albumReplaced, this, &CPreviewPane::ClearPreview);
}

const CAlbumImage* CPreviewPane::CurrentEntry() const {
    return m_owner != nullptr ? m_owner->Document().Entry(m_index) : nullptr;
}

void CPreviewPane::SetPagesEntry(int index) {
    for (CPicturePage* page : std::initializer_list<CPicturePage*>{m_annotation, m_color, m_size}) {
        page->SetEntry(index);
    }
}

void CPreviewPane::OnEntriesInserted(int first, int count) {
    if (m_index >= first) {
        m_index += count;
        SetPagesEntry(m_index);
    }
    PresentPreview();  // an album that was empty no longer asks for pictures
}

QString CPreviewPane::StatusText() const {
    if (m_status.isEmpty() && m_owner != nullptr && m_owner->Document().Count() == 0) {
        return QStringLiteral("Add Files... or drop pictures here");
    }
    return m_status;
}

void CPreviewPane::OnEntriesRemoved(int first, int count) {
    if (m_index >= first + count) {
        m_index -= count;
        SetPagesEntry(m_index);
    } else if (m_index >= first) {
        // The shown picture left the album: nothing is shown until the next choice.
        (void)ShowImage(-1);
    }
}

void CPreviewPane::OnEntryMoved(int from, int to) {
    if (m_index == from) {
        m_index = to;
    } else if (from < m_index && m_index <= to) {
        --m_index;
    } else if (to <= m_index && m_index < from) {
        ++m_index;
    } else {
        return;
    }
    SetPagesEntry(m_index);
}

void CPreviewPane::OnEntryChanged(int index, unsigned fields) {
    if (index != m_index || m_index < 0 || !m_source) {
        return;
    }
    // Only what the change touches is done again: a new size needs a new sized picture, a new
    // depth a new device bitmap, any colour change a new conversion; an offset only a redraw.
    bool drawn = true;
    if (fields & kFieldsSize) {
        drawn = RebuildSized() && ConvertPicture();
    } else if (fields & kFieldDepth) {
        drawn = RebuildDevice() && ConvertPicture();
    } else if (fields & (kFieldBrightness | kFieldContrast | kFieldDither)) {
        drawn = ConvertPicture();
    } else if (!(fields & kFieldOffset)) {
        return;  // the texts change nothing in the view
    }
    if (drawn) {
        UpdateScrollBars();
        DrawPreview();
    }
}

void CPreviewPane::ShowPage(int index) {
    // A page that goes takes the focus along; Qt would hand it to the next box in the chain,
    // the album title with its text selected, where the next key replaces the title. The tabs
    // keep it instead.
    QWidget* focus = QApplication::focusWidget();
    for (QWidget* page : {static_cast<QWidget*>(m_annotation), static_cast<QWidget*>(m_color),
                          static_cast<QWidget*>(m_size)}) {
        if (focus != nullptr && page->isAncestorOf(focus) && page != PageAt(index)) {
            m_tab->TabBar()->setFocus(Qt::OtherFocusReason);
        }
    }
    m_annotation->setVisible(index == 0);
    m_color->setVisible(index == 1);
    m_size->setVisible(index == 2);
}

QWidget* CPreviewPane::PageAt(int index) const {
    switch (index) {
        case 0:
            return m_annotation;
        case 1:
            return m_color;
        case 2:
            return m_size;
        default:
            return nullptr;
    }
}

void CPreviewPane::OnSelChangeTab() {
    ShowPage(m_tab->GetCurSel());
}

bool CPreviewPane::ShowImage(int index) {
    const CAlbumImage* entry = m_owner != nullptr ? m_owner->Document().Entry(index) : nullptr;
    m_index = entry != nullptr ? index : -1;
    ++m_ticket;  // whatever was being decoded for another entry is no longer wanted
    m_loading = false;
    m_loadingTimer.stop();
    SetPagesEntry(m_index);
    if (entry == nullptr) {
        return true;  // the bitmaps and the view stay until the next picture or a reset
    }
    // The pages show this entry's own values at once; the view is plain until its picture is
    // ready, and never says what it said of another picture.
    m_status.clear();
    m_source.reset();
    m_sized.reset();
    m_adjusted.reset();
    m_device.reset();
    UpdateScrollBars();
    m_surface.Clear();
    PresentPreview();
    m_loading = true;
    m_loadingTimer.start(kLoadingDelayMs);
    const std::uint64_t ticket = m_ticket;
    m_cache->Request(entry->m_sourcePath, [this, ticket](std::shared_ptr<const CDib> picture,
                                                         const std::string& reason) {
        OnPictureReady(ticket, std::move(picture), reason);
    });
    return true;
}

void CPreviewPane::OnPictureReady(std::uint64_t ticket, std::shared_ptr<const CDib> picture,
                                  const std::string& reason) {
    const CAlbumImage* entry = CurrentEntry();
    if (ticket != m_ticket || entry == nullptr) {
        return;  // an answer for a picture no longer shown
    }
    m_loading = false;
    m_loadingTimer.stop();
    m_source = std::move(picture);
    emit pictureRead(entry->m_sourcePath,
                     m_source ? std::string() : (reason.empty() ? "cannot be read" : reason));
    entry = CurrentEntry();  // whoever heard it may have changed the album
    if (entry == nullptr) {
        return;
    }
    if (!m_source) {
        const QString file =
            PathFromSystem(std::filesystem::path(entry->m_sourcePath).filename().string());
        m_status = QStringLiteral("cannot read %1: %2").arg(file, QString::fromStdString(reason));
        m_size->SetDimension(0, 0);
        m_surface.Clear();
        PresentPreview();
        return;
    }
    m_status.clear();
    if (!RebuildSized()) {
        m_status = QStringLiteral("out of memory");
        PresentPreview();
        return;
    }
    (void)ConvertPicture();
    UpdateScrollBars();
    DrawPreview();
}

void CPreviewPane::OnLoadingTooLong() {
    if (m_loading) {
        m_status = QStringLiteral("Loading...");
        m_surface.Clear();
        PresentPreview();
    }
}

void CPreviewPane::ClearPreview() {
    ++m_ticket;
    m_loading = false;
    m_loadingTimer.stop();
    m_status.clear();
    m_source.reset();
    m_sized.reset();
    m_adjusted.reset();
    m_device.reset();
    m_index = -1;
    SetPagesEntry(-1);
    m_tab->SetCurSel(0);
    ShowPage(0);
    UpdateScrollBars();  // nothing to scroll: both bars at 0 and off
    m_surface.Clear();
    PresentPreview();
}

bool CPreviewPane::TargetSize(std::int16_t& width, std::int16_t& height) {
    const CAlbumImage* entry = CurrentEntry();
    if (!m_source || entry == nullptr) {
        return false;
    }
    width = static_cast<std::int16_t>(m_source->Width());
    height = static_cast<std::int16_t>(m_source->Height());
    entry->FitToSizeLimit(width, height);
    m_size->SetDimension(width, height);
    return true;
}

bool CPreviewPane::RebuildSized() {
    m_sized.reset();
    m_adjusted.reset();
    m_device.reset();
    std::int16_t width = 0;
    std::int16_t height = 0;
    if (!TargetSize(width, height)) {
        return false;
    }
    auto sized = std::make_unique<CDib>();
    if (!sized->Create(width, height, 24) ||
        !ResampleDib(*m_source, 0, 0, m_source->Width(), m_source->Height(), *sized, width,
                     height)) {
        return false;
    }
    auto adjusted = std::make_unique<CDib>();
    if (!adjusted->Create(width, height, 24)) {
        return false;
    }
    m_sized = std::move(sized);
    m_adjusted = std::move(adjusted);
    return RebuildDevice();
}

bool CPreviewPane::RebuildDevice() {
    m_device.reset();
    const CAlbumImage* entry = CurrentEntry();
    if (!m_sized || entry == nullptr) {
        return false;
    }
    const std::uint8_t depth = entry->m_colorDepth;
    const auto colors = static_cast<std::uint16_t>(std::min(1 << std::min<int>(depth, 8), 256));
    auto device = std::make_unique<CDib>();
    if (!device->Create(m_sized->Width(), m_sized->Height(), depth, colors)) {
        return false;
    }
    m_device = std::move(device);
    return true;
}

bool CPreviewPane::ConvertPicture() {
    const CAlbumImage* entry = CurrentEntry();
    if (entry == nullptr || !m_sized || !m_adjusted || !m_device) {
        return false;
    }
    AdjustBrightnessContrast(*m_sized, *m_adjusted,
                             static_cast<std::int16_t>(entry->m_brightness - kSliderNeutral),
                             entry->m_contrast);
    return ConvertDepth(*m_adjusted, *m_device, 0, entry->m_dither);
}

void CPreviewPane::UpdateScrollBars() {
    const int width = m_sized ? m_sized->Width() : 0;
    const int height = m_sized ? m_sized->Height() : 0;
    m_settingBars = true;
    for (auto [bar, side] : {std::pair{m_horizontal, width}, std::pair{m_vertical, height}}) {
        if (side > kViewSide) {
            // The position stays as it was, unless it lies past the new end.
            bar->setEnabled(true);
            bar->setRange(0, side - kViewSide);
            bar->setPageStep(kViewSide);
        } else {
            bar->setRange(0, 0);
            bar->setValue(0);
            bar->setEnabled(false);
        }
    }
    // Where the file cuts: the entry's offsets, at most the last position.
    if (const CAlbumImage* entry = CurrentEntry()) {
        m_horizontal->setValue(std::min(entry->m_horizontalOffset, m_horizontal->maximum()));
        m_vertical->setValue(std::min(entry->m_verticalOffset, m_vertical->maximum()));
    }
    m_settingBars = false;
}

void CPreviewPane::StoreOffsets(int x, int y) {
    const CAlbumImage* entry = CurrentEntry();
    if (entry == nullptr) {
        return;
    }
    CAlbumImage value;
    value.m_horizontalOffset = x;
    value.m_verticalOffset = y;
    (void)m_owner->Document().EditPicture(m_index, kFieldOffset, value);
}

void CPreviewPane::SetBarPosition(QScrollBar* bar, int position) {
    m_settingBars = true;
    bar->setValue(position);
    m_settingBars = false;
}

bool CPreviewPane::DrawSavedWindow() {
    // The entry's own offsets, as the save takes them.
    std::unique_ptr<CPreparedPicture> picture = PrepareFromWorking(*CurrentEntry(), *m_adjusted);
    CPalmDatabase records;
    if (!picture || !picture->WritePictureData(records)) {
        return false;
    }
    std::vector<std::uint8_t> image;
    for (std::size_t i = 0; i < records.RecordCount(); ++i) {
        image.insert(image.end(), records.RecordData(i),
                     records.RecordData(i) + records.RecordSize(i));
    }
    CRgbImage stored;
    std::string error;
    if (!DecodeStoredImage(image, stored, error)) {
        return false;
    }
    const int inner = kViewSide - 2;
    const int visibleWidth = std::min(inner, stored.width);
    const int visibleHeight = std::min(inner, stored.height);
    const int left = std::max(0, (kViewSide - visibleWidth) / 2);
    const int top = std::max(0, (kViewSide - visibleHeight) / 2);
    m_surface.Clear();
    CDib& surface = m_surface.Bitmap();
    for (int y = 0; y < visibleHeight; ++y) {
        const std::uint8_t* in = stored.rgb.data() + static_cast<std::size_t>(y) * stored.width * 3;
        std::uint8_t* out = surface.Row(kViewSide - 1 - (top + y)) + 3 * left;
        for (int x = 0; x < visibleWidth; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    PresentPreview();
    return true;
}

void CPreviewPane::DrawPreview() {
    if (!m_sized || !m_device) {
        return;
    }
    // The whole picture converted is already what is stored when it is not cropped.
    const CAlbumImage* entry = CurrentEntry();
    if (m_showAsSaved && entry != nullptr && entry->m_crop != 0 && DrawSavedWindow()) {
        return;
    }
    // Inside the view's one-pixel frame.
    const int inner = kViewSide - 2;
    const int visibleWidth = std::min(inner, m_device->Width());
    const int visibleHeight = std::min(inner, m_device->Height());
    m_surface.Clear();
    DrawDib(*m_device, m_horizontal->value(), m_vertical->value(), visibleWidth, visibleHeight,
            m_surface.Bitmap(), std::max(0, (kViewSide - visibleWidth) / 2),
            std::max(0, (kViewSide - visibleHeight) / 2));
    PresentPreview();
}

void CPreviewPane::PresentPreview() {
    update(AreaRect());
}

QRect CPreviewPane::AreaRect() const {
    return QRect(m_area->pos(), QSize(kViewSide, kViewSide));
}

void CPreviewPane::paintEvent(QPaintEvent* event) {
    CPaneDialog::paintEvent(event);
    QPainter painter(this);
    const QImage surface = DibToImage(m_surface.Bitmap());
    if (!surface.isNull()) {
        painter.drawImage(AreaRect().topLeft(), surface);
    }
    if (m_area->hasFocus()) {
        // Around the view, in the gap before its bars.
        painter.setPen(QPen(palette().color(QPalette::Highlight), kFocusFrame, Qt::SolidLine,
                            Qt::SquareCap, Qt::MiterJoin));
        painter.drawRect(QRectF(AreaRect())
                             .adjusted(-kFocusFrame / 2.0, -kFocusFrame / 2.0, kFocusFrame / 2.0,
                                       kFocusFrame / 2.0));
    }
    if (const QString status = StatusText(); !status.isEmpty()) {
        painter.setPen(Qt::white);
        // Between words where it can, and inside a file name too long for a line.
        QTextOption layout(Qt::AlignCenter);
        layout.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        painter.drawText(QRectF(AreaRect().adjusted(kStatusMargin, kStatusMargin, -kStatusMargin,
                                                    -kStatusMargin)),
                         status, layout);
    }
}

void CPreviewPane::OnHScroll(int position) {
    if (m_settingBars) {
        return;
    }
    const CAlbumImage* entry = CurrentEntry();
    if (entry == nullptr) {
        DrawPreview();
        return;
    }
    // The other axis keeps the entry's own offset, even one past the last position.
    StoreOffsets(position, entry->m_verticalOffset);
}

void CPreviewPane::OnVScroll(int position) {
    if (m_settingBars) {
        return;
    }
    const CAlbumImage* entry = CurrentEntry();
    if (entry == nullptr) {
        DrawPreview();
        return;
    }
    StoreOffsets(entry->m_horizontalOffset, position);
}

bool CPreviewPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_area) {
        switch (event->type()) {
            case QEvent::KeyPress:
                if (MoveCropWindow(*static_cast<QKeyEvent*>(event))) {
                    return true;
                }
                break;
            case QEvent::FocusIn:
                if (m_owner != nullptr) {
                    m_owner->Document().BreakMerge();  // the keys pressed now are one step
                }
                update();
                break;
            case QEvent::FocusOut:
                update();
                break;
            default:
                break;
        }
    }
    return CPaneDialog::eventFilter(watched, event);
}

bool CPreviewPane::MoveCropWindow(const QKeyEvent& key) {
    const CAlbumImage* entry = CurrentEntry();
    if (entry == nullptr || !m_sized) {
        return false;
    }
    const int step = (key.modifiers() & Qt::ShiftModifier) != 0 ? kLongStep : 1;
    const bool across = m_horizontal->isEnabled();
    const bool down = m_vertical->isEnabled();
    // An axis the keys do not move keeps the entry's own offset, as with the bars.
    int x = entry->m_horizontalOffset;
    int y = entry->m_verticalOffset;
    const auto moveX = [&](int to) { x = std::clamp(to, 0, m_horizontal->maximum()); };
    const auto moveY = [&](int to) { y = std::clamp(to, 0, m_vertical->maximum()); };
    // Home and End go across, or down with Ctrl or where the picture only moves down.
    const bool endsDown = (key.modifiers() & Qt::ControlModifier) != 0 || !across;
    switch (key.key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (!across) {
                return true;
            }
            moveX(m_horizontal->value() + (key.key() == Qt::Key_Left ? -step : step));
            break;
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (!down) {
                return true;
            }
            moveY(m_vertical->value() + (key.key() == Qt::Key_Up ? -step : step));
            break;
        case Qt::Key_Home:
        case Qt::Key_End: {
            const bool home = key.key() == Qt::Key_Home;
            if (endsDown && down) {
                moveY(home ? 0 : m_vertical->maximum());
            } else if (!endsDown) {
                moveX(home ? 0 : m_horizontal->maximum());
            }
            break;
        }
        default:
            return false;
    }
    if (x != entry->m_horizontalOffset || y != entry->m_verticalOffset) {
        StoreOffsets(x, y);
    }
    return true;
}

void CPreviewPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonDown(event->position().toPoint());
    }
    CPaneDialog::mousePressEvent(event);
}

void CPreviewPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonUp();
    }
    CPaneDialog::mouseReleaseEvent(event);
}

void CPreviewPane::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->position().toPoint());
    CPaneDialog::mouseMoveEvent(event);
}

void CPreviewPane::OnLButtonDown(const QPoint& point) {
    // The pane keeps the mouse while the button is down, wherever it goes.
    m_pressPoint = point;
    m_dragging = true;
    if (m_owner != nullptr) {
        m_owner->Document().BreakMerge();  // one drag, one step
    }
    m_pressOffsetX = m_horizontal->value();
    m_pressOffsetY = m_vertical->value();
}

void CPreviewPane::OnLButtonUp() {
    m_dragging = false;
}

void CPreviewPane::OnMouseMove(const QPoint& point) {
    if (!m_dragging || !m_sized || !AreaRect().contains(m_pressPoint)) {
        return;
    }
    // The picture follows the mouse: dragging to the right shows more of its left side.
    const int maxX = m_sized->Width() - kViewSide;
    const int maxY = m_sized->Height() - kViewSide;
    const CAlbumImage* entry = CurrentEntry();
    if (entry == nullptr || (maxX <= 0 && maxY <= 0)) {
        return;
    }
    // An axis that cannot move keeps the entry's own offset.
    const int x = maxX > 0 ? std::clamp(m_pressOffsetX + m_pressPoint.x() - point.x(), 0, maxX)
                           : entry->m_horizontalOffset;
    const int y = maxY > 0 ? std::clamp(m_pressOffsetY + m_pressPoint.y() - point.y(), 0, maxY)
                           : entry->m_verticalOffset;
    StoreOffsets(x, y);
}

void CPreviewPane::OnSetCursor() {
    if (!m_handCursor) {
        m_handCursor = LoadCursorResource(IDC_HAND_CURSOR);
    }
    if (m_handCursor) {
        m_area->setCursor(*m_handCursor);
    }
}
