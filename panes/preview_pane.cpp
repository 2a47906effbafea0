#include "panes/preview_pane.h"

#include <algorithm>
#include <filesystem>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSlider>
#include <QTextOption>

#include "album/album_file_reader.h"
#include "album/album_image.h"
#include "album/palm_database.h"
#include "album/picture_preparation.h"
#include "convert/conversion.h"
#include "imaging/drawing.h"
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

template <class Page>
Page* CreatePage(QWidget* parent, CPreviewPane* owner) {
    auto* page = new Page(parent);
    if (!page->Create()) {
        qFatal("the %s template is missing", Page::staticMetaObject.className());
    }
    page->SetOwner(owner);
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
    m_annotation = CreatePage<CAnnotationPage>(m_tab, this);
    m_size = CreatePage<CSizePage>(m_tab, this);
    m_color = CreatePage<CColorPage>(m_tab, this);
    m_tab->InsertItem(0, LoadResString(IDS_TAB_ANNOTATION));
    m_tab->InsertItem(1, LoadResString(IDS_TAB_COLOR));
    m_tab->InsertItem(2, LoadResString(IDS_TAB_SIZE));
    const QRect pageRect = m_tab->ClientArea().adjusted(kPageMargin, kPageMargin, -kPageMargin, -kPageMargin);
    for (QWidget* page : std::initializer_list<QWidget*>{m_annotation, m_size, m_color}) {
        page->setGeometry(pageRect);
    }
    ShowPage(0);
    m_tab->SetCurSel(0);

    if (!m_surface.CreateSurface(kViewSide, kViewSide)) {
        return;  // the view and its bars stay where the template put them
    }
    // The picture is shown 1:1 in a window as large as the handheld's screen, whatever the
    // dialog units make of the template's area; the bars follow it.
    const QRect area(m_area->pos(), QSize(kViewSide, kViewSide));
    m_area->setGeometry(area);
    m_horizontal->setGeometry(area.x(), area.y() + area.height() + kBarGap, kViewSide, kBarThickness);
    m_vertical->setGeometry(area.x() + area.width() + kBarGap, area.y(), kBarThickness, kViewSide);
    m_surface.Clear();
    OnSetCursor();

    // Message map.
    connect(m_tab, &CTabCtrl::selChange, this, &CPreviewPane::OnSelChangeTab);
    // Whatever the user changes on a page may make the album differ from the saved one.
    connect(m_annotation->TitleBox(), &QLineEdit::textEdited, this, &CPreviewPane::NoteChange);
    connect(m_annotation->NoteBox(), &QPlainTextEdit::textChanged, this, &CPreviewPane::NoteChange);
    connect(m_color->BrightnessSlider(), &QSlider::sliderReleased, this, &CPreviewPane::NoteChange);
    connect(m_color->ContrastSlider(), &QSlider::sliderReleased, this, &CPreviewPane::NoteChange);
    connect(m_color->BrightnessSlider(), &QSlider::actionTriggered, this, &CPreviewPane::NoteChange);
    connect(m_color->ContrastSlider(), &QSlider::actionTriggered, this, &CPreviewPane::NoteChange);
    connect(m_color->DepthList(), &QComboBox::activated, this, &CPreviewPane::NoteChange);
    connect(m_color->DitherBox(), &QCheckBox::clicked, this, &CPreviewPane::NoteChange);
    connect(m_size->CropBox(), &QCheckBox::clicked, this, &CPreviewPane::NoteChange);
    connect(m_horizontal, &QScrollBar::valueChanged, this, &CPreviewPane::OnHScroll);
    connect(m_vertical, &QScrollBar::valueChanged, this, &CPreviewPane::OnVScroll);
}

void CPreviewPane::ShowPage(int index) {
    m_annotation->setVisible(index == 0);
    m_color->setVisible(index == 1);
    m_size->setVisible(index == 2);
}

void CPreviewPane::OnSelChangeTab() {
    ShowPage(m_tab->GetCurSel());
}

bool CPreviewPane::ShowImage(CAlbumImage* entry) {
    m_current = entry;
    ++m_ticket;  // whatever was being decoded for another entry is no longer wanted
    m_loading = false;
    m_loadingTimer.stop();
    if (entry == nullptr) {
        return true;  // the bitmaps and the view stay until the next picture or a reset
    }
    // The pages show this entry's own values at once, whatever becomes of its file.
    FillPages(*entry);
    m_source.reset();
    m_sized.reset();
    m_adjusted.reset();
    m_device.reset();
    UpdateScrollBars();
    m_loading = true;
    m_loadingTimer.start(kLoadingDelayMs);
    const std::uint64_t ticket = m_ticket;
    m_cache->Request(entry->m_sourcePath,
                     [this, ticket](std::shared_ptr<const CDib> picture, const std::string& reason) {
                         OnPictureReady(ticket, std::move(picture), reason);
                     });
    return true;
}

void CPreviewPane::FillPages(const CAlbumImage& entry) {
    m_annotation->TitleBox()->setText(QString::fromStdString(entry.m_title));
    m_annotation->NoteBox()->setPlainText(QString::fromStdString(entry.m_note));
    m_color->BrightnessSlider()->setValue(entry.m_brightness);
    m_color->ContrastSlider()->setValue(entry.m_contrast);
    m_color->SelectDepth(entry.m_colorDepth);
    m_color->DitherBox()->setChecked(entry.m_dither != 0);
    // A picture shown at 16 bits is never dithered: its tick stays but cannot be changed.
    m_color->EnableDitherFor(entry.m_colorDepth);
    m_size->CropBox()->setChecked(entry.m_crop != 0);
}

void CPreviewPane::OnPictureReady(std::uint64_t ticket, std::shared_ptr<const CDib> picture,
                                  const std::string& reason) {
    if (ticket != m_ticket || m_current == nullptr) {
        return;  // an answer for a picture no longer shown
    }
    m_loading = false;
    m_loadingTimer.stop();
    m_source = std::move(picture);
    if (!m_source) {
        const QString file = PathFromSystem(std::filesystem::path(m_current->m_sourcePath).filename().string());
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
    SetBarPosition(m_horizontal, m_current->m_horizontalOffset);
    SetBarPosition(m_vertical, m_current->m_verticalOffset);
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
    m_current = nullptr;
    m_annotation->ClearText();
    m_size->ResetSize();
    m_color->ResetColor();
    m_tab->SetCurSel(0);
    ShowPage(0);
    UpdateScrollBars();  // nothing to scroll: both bars at 0 and off
    m_surface.Clear();
    PresentPreview();
}

bool CPreviewPane::StoreControls(CAlbumImage* entry) {
    CAlbumImage* target = entry != nullptr ? entry : m_current;
    if (target == nullptr) {
        return false;
    }
    target->m_title = m_annotation->TitleBox()->text().toStdString();
    target->m_note = m_annotation->NoteBox()->toPlainText().toStdString();
    target->m_brightness = static_cast<std::int16_t>(m_color->BrightnessSlider()->value());
    target->m_contrast = static_cast<std::int16_t>(m_color->ContrastSlider()->value());
    target->m_colorDepth = m_color->SelectedDepth();
    target->m_dither = m_color->DitherBox()->isChecked() ? 1 : 0;
    return true;
}

void CPreviewPane::SetEditingEnabled(bool /*enable*/) {}

std::int16_t CPreviewPane::SizeLimitWidth() const {
    return m_size->LimitWidth();
}

std::int16_t CPreviewPane::SizeLimitHeight() const {
    return m_size->LimitHeight();
}

std::uint8_t CPreviewPane::NewPictureCrop() const {
    return m_size->NewPictureCrop();
}

std::uint8_t CPreviewPane::NewPictureDepth() const {
    return m_color->NewPictureDepth();
}

void CPreviewPane::NoteChange() {
    if (m_owner != nullptr && m_current != nullptr) {
        m_owner->AlbumChanged();
    }
}

bool CPreviewPane::TargetSize(std::int16_t& width, std::int16_t& height) {
    if (!m_source || m_current == nullptr) {
        return false;
    }
    width = static_cast<std::int16_t>(m_source->Width());
    height = static_cast<std::int16_t>(m_source->Height());
    m_current->FitToSizeLimit(width, height);
    m_size->CropBox()->setChecked(m_current->m_crop != 0);
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
        !ResampleDib(*m_source, 0, 0, m_source->Width(), m_source->Height(), *sized, width, height)) {
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
    if (!m_sized || m_current == nullptr) {
        return false;
    }
    const std::uint8_t depth = m_current->m_colorDepth;
    const auto colors = static_cast<std::uint16_t>(std::min(1 << std::min<int>(depth, 8), 256));
    auto device = std::make_unique<CDib>();
    if (!device->Create(m_sized->Width(), m_sized->Height(), depth, colors)) {
        return false;
    }
    m_device = std::move(device);
    return true;
}

bool CPreviewPane::ConvertPicture() {
    if (!StoreControls(nullptr) || !m_sized || !m_adjusted || !m_device) {
        return false;
    }
    AdjustBrightnessContrast(*m_sized, *m_adjusted,
                             static_cast<std::int16_t>(m_current->m_brightness - kSliderNeutral),
                             m_current->m_contrast);
    return ConvertDepth(*m_adjusted, *m_device, 0, m_current->m_dither);
}

bool CPreviewPane::RefreshAdjusted() {
    if (!StoreControls(nullptr) || !ConvertPicture()) {
        return false;
    }
    UpdateScrollBars();
    DrawPreview();
    return true;
}

bool CPreviewPane::RefreshDepth() {
    if (!StoreControls(nullptr) || !RebuildDevice() || !ConvertPicture()) {
        return false;
    }
    UpdateScrollBars();
    DrawPreview();
    return true;
}

bool CPreviewPane::ApplySize() {
    if (m_current == nullptr) {
        return false;
    }
    m_current->m_crop = m_size->CropBox()->isChecked() ? 1 : 0;
    m_current->m_sizeLimitWidth = m_size->LimitWidth();
    m_current->m_sizeLimitHeight = m_size->LimitHeight();
    if (!RebuildSized() || !ConvertPicture()) {
        return false;
    }
    UpdateScrollBars();
    DrawPreview();
    return true;
}

void CPreviewPane::ApplySizeLimitToAll(std::int16_t width, std::int16_t height) {
    if (m_owner != nullptr) {
        m_owner->ApplySizeLimitToAll(width, height);
    }
}

void CPreviewPane::ApplyCropToAll(std::uint8_t crop) {
    if (m_owner != nullptr) {
        m_owner->ApplyCropToAll(crop);
    }
}

void CPreviewPane::ApplyColorToAll(std::uint8_t colorDepth, std::int16_t brightness,
                                   std::int16_t contrast, std::uint8_t dither) {
    if (m_owner != nullptr) {
        m_owner->ApplyColorToAll(colorDepth, brightness, contrast, dither);
    }
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
    m_settingBars = false;
}

void CPreviewPane::SetBarPosition(QScrollBar* bar, int position) {
    m_settingBars = true;
    bar->setValue(position);
    m_settingBars = false;
}

void CPreviewPane::RefreshView() {
    DrawPreview();
}

bool CPreviewPane::DrawSavedWindow() {
    CAlbumImage entry = *m_current;
    entry.m_horizontalOffset = m_horizontal->value();
    entry.m_verticalOffset = m_vertical->value();
    std::unique_ptr<CPreparedPicture> picture = PrepareFromWorking(entry, *m_adjusted);
    CPalmDatabase records;
    if (!picture || !picture->WritePictureData(records)) {
        return false;
    }
    std::vector<std::uint8_t> image;
    for (std::size_t i = 0; i < records.RecordCount(); ++i) {
        image.insert(image.end(), records.RecordData(i), records.RecordData(i) + records.RecordSize(i));
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
    if (m_color->ShowAsSavedBox()->isChecked() && m_current != nullptr && m_current->m_crop != 0 &&
        DrawSavedWindow()) {
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
    if (!m_status.isEmpty()) {
        painter.setPen(Qt::white);
        // Between words where it can, and inside a file name too long for a line.
        QTextOption layout(Qt::AlignCenter);
        layout.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        painter.drawText(QRectF(AreaRect().adjusted(kStatusMargin, kStatusMargin, -kStatusMargin,
                                                    -kStatusMargin)),
                         m_status, layout);
    }
}

void CPreviewPane::OnHScroll(int position) {
    if (m_settingBars) {
        return;
    }
    if (m_current != nullptr) {
        m_current->m_horizontalOffset = position;
    }
    DrawPreview();
    NoteChange();
}

void CPreviewPane::OnVScroll(int position) {
    if (m_settingBars) {
        return;
    }
    if (m_current != nullptr) {
        m_current->m_verticalOffset = position;
    }
    DrawPreview();
    NoteChange();
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
    if (maxX > 0) {
        SetBarPosition(m_horizontal, std::clamp(m_pressOffsetX + m_pressPoint.x() - point.x(), 0, maxX));
    }
    if (maxY > 0) {
        SetBarPosition(m_vertical, std::clamp(m_pressOffsetY + m_pressPoint.y() - point.y(), 0, maxY));
    }
    if (m_current != nullptr) {
        m_current->m_horizontalOffset = m_horizontal->value();
        m_current->m_verticalOffset = m_vertical->value();
    }
    if (maxX > 0 || maxY > 0) {
        DrawPreview();
        NoteChange();
    }
}

void CPreviewPane::OnSetCursor() {
    if (!m_handCursor) {
        m_handCursor = LoadCursorResource(IDC_HAND_CURSOR);
    }
    if (m_handCursor) {
        m_area->setCursor(*m_handCursor);
    }
}
