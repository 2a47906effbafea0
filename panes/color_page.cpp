#include "panes/color_page.h"

#include <algorithm>
#include <string>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "album/album_image.h"
#include "album/album_rules.h"
#include "edit/album_document.h"
#include "panes/album_editor.h"
#include "platform/registry.h"
#include "res/resource.h"

namespace {

// A trackbar pages by a fifth of its range.
constexpr int kSliderPage = (kSliderMax - kSliderMin) / 5;

}  // namespace

CColorPage::CColorPage(QWidget* parent) : CPicturePage(IDD_COLOR_PAGE, parent) {}

void CColorPage::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_DITHER, m_dither);
    DDX_Control(dx, IDC_CONTRAST, m_contrast);
    DDX_Control(dx, IDC_BRIGHTNESS, m_brightness);
    DDX_Control(dx, IDC_COLOR_DEPTH, m_depth);
    DDX_Control(dx, IDC_SHOW_AS_SAVED, m_showAsSaved);
}

void CColorPage::OnInitDialog() {
    // The depth names are longer than the template's box; there is room to its right.
    const int roomy = std::min(m_depth->sizeHint().width(), width() - m_depth->x());
    m_depth->resize(std::max(m_depth->width(), roomy), m_depth->height());
    for (auto [slider, id] : {std::pair{m_brightness, IDC_BRIGHTNESS_VALUE},
                              std::pair{m_contrast, IDC_CONTRAST_VALUE}}) {
        slider->setRange(kSliderMin, kSliderMax);
        slider->setPageStep(kSliderPage);
        // Each slider's value stands beside it.
        auto* value = qobject_cast<QLabel*>(GetDlgItem(id));
        connect(slider, &QSlider::valueChanged, value,
                [value](int position) { value->setNum(position); });
        value->setNum(slider->value());
    }
    FillControls(nullptr);
    // On unless the user turned it off: the view then shows what the file will hold.
    m_showAsSaved->setChecked(ReadProgramSetting(kShowAsSavedSetting) != "0");

    // Message map.
    for (QSlider* slider : {m_brightness, m_contrast}) {
        connect(slider, &QSlider::valueChanged, this, &CColorPage::OnSliderMoved);
        // A drag, or a press on the groove, starts a step of its own.
        connect(slider, &QSlider::sliderPressed, this, [this] {
            if (Document() != nullptr) {
                Document()->BreakMerge();
            }
        });
    }
    connect(m_depth, &QComboBox::currentIndexChanged, this, &CColorPage::OnSelChangeDepth);
    connect(m_dither, &QCheckBox::clicked, this, &CColorPage::OnDither);
    connect(m_showAsSaved, &QCheckBox::clicked, this, &CColorPage::OnShowAsSaved);
    const auto button = [this](int id) { return qobject_cast<QPushButton*>(GetDlgItem(id)); };
    connect(button(IDC_RESET_BRIGHTNESS), &QPushButton::clicked, this,
            &CColorPage::OnResetBrightness);
    connect(button(IDC_RESET_CONTRAST), &QPushButton::clicked, this, &CColorPage::OnResetContrast);
    connect(button(IDC_APPLY_TO_ALL), &QPushButton::clicked, this, &CColorPage::OnApplyToAll);
}

void CColorPage::FillControls(const CAlbumImage* entry) {
    const CAlbumImage fresh;
    const CAlbumImage& values = entry != nullptr ? *entry : fresh;
    m_brightness->setValue(values.m_brightness);
    m_contrast->setValue(values.m_contrast);
    SelectDepth(values.m_colorDepth);
    m_dither->setChecked(values.m_dither != 0);
    // A picture at 16 bits is never dithered: its tick stays but cannot be changed.
    EnableDitherFor(values.m_colorDepth);
}

void CColorPage::SelectDepth(std::uint8_t depth) {
    m_depth->setCurrentIndex(depth < 8 ? 0 : depth < 16 ? 1 : 2);
}

std::uint8_t CColorPage::SelectedDepth() const {
    const int selection = m_depth->currentIndex();
    return static_cast<std::uint8_t>(1 << ((selection < 0 ? 0 : selection) + 2));
}

void CColorPage::EnableDitherFor(std::uint8_t depth) {
    m_dither->setEnabled(depth <= 8);
}

void CColorPage::OnSliderMoved() {
    // Whatever moved the slider (drag, page, arrow keys, wheel), the picture takes its value.
    const auto* slider = qobject_cast<const QSlider*>(sender());
    CAlbumImage value;
    value.m_brightness = static_cast<std::int16_t>(m_brightness->value());
    value.m_contrast = static_cast<std::int16_t>(m_contrast->value());
    StoreControls(slider == m_contrast ? kFieldContrast : kFieldBrightness, value);
}

void CColorPage::OnSelChangeDepth() {
    if (IsFilling() || Entry() == nullptr) {
        return;
    }
    CAlbumImage value;
    value.m_colorDepth = SelectedDepth();
    StoreControls(kFieldDepth, value);
    EnableDitherFor(SelectedDepth());
}

void CColorPage::OnDither() {
    CAlbumImage value;
    value.m_dither = m_dither->isChecked() ? 1 : 0;
    StoreControls(kFieldDither, value);
}

void CColorPage::OnResetBrightness() {
    ResetSlider(kFieldBrightness);
}

void CColorPage::OnResetContrast() {
    ResetSlider(kFieldContrast);
}

void CColorPage::ResetSlider(unsigned field) {
    if (Document() == nullptr) {
        return;
    }
    // A step of its own, apart from any drag before or after it.
    Document()->BreakMerge();
    CAlbumImage value;
    StoreControls(field, value);
    Document()->BreakMerge();
}

void CColorPage::OnShowAsSaved() {
    (void)WriteProgramSetting(kShowAsSavedSetting, m_showAsSaved->isChecked() ? "1" : "0");
    emit showAsSavedChanged(m_showAsSaved->isChecked());
}

void CColorPage::OnApplyToAll() {
    // The shown picture's own values: the page shows them, and every change reached it.
    const CAlbumImage* entry = Entry();
    if (entry != nullptr && Editor() != nullptr) {
        Editor()->ApplyColorToAll(entry->m_colorDepth, entry->m_brightness, entry->m_contrast,
                                  entry->m_dither);
    }
}
