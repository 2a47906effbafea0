#include "panes/color_page.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>

#include "album/album_rules.h"
#include "panes/preview_pane.h"
#include "platform/registry.h"
#include "res/resource.h"

namespace {

// A trackbar pages by a fifth of its range.
constexpr int kSliderPage = (kSliderMax - kSliderMin) / 5;

}  // namespace

CColorPage::CColorPage(QWidget* parent) : CPaneDialog(IDD_COLOR_PAGE, parent) {}

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
    for (QSlider* slider : {m_brightness, m_contrast}) {
        slider->setRange(kSliderMin, kSliderMax);
        slider->setPageStep(kSliderPage);
        slider->setValue(kSliderMin);
    }

    m_showAsSaved->setChecked(ReadProgramSetting(kShowAsSavedSetting) == "1");
    const std::string depth = ReadProgramSetting(kNewPictureDepthSetting);
    if (IsStoredDepth(std::atoi(depth.c_str()))) {
        m_newDepth = static_cast<std::uint8_t>(std::atoi(depth.c_str()));
    }

    // Message map.
    for (QSlider* slider : {m_brightness, m_contrast}) {
        connect(slider, &QSlider::actionTriggered, this, &CColorPage::OnHScroll);
        connect(slider, &QSlider::valueChanged, this, &CColorPage::OnSliderMoved);
    }
    connect(m_depth, &QComboBox::activated, this, &CColorPage::OnSelChangeDepth);
    connect(m_dither, &QCheckBox::clicked, this, &CColorPage::OnDither);
    connect(m_showAsSaved, &QCheckBox::clicked, this, &CColorPage::OnShowAsSaved);
    const auto button = [this](int id) { return qobject_cast<QPushButton*>(GetDlgItem(id)); };
    connect(button(IDC_RESET_BRIGHTNESS), &QPushButton::clicked, this, &CColorPage::OnResetBrightness);
    connect(button(IDC_RESET_CONTRAST), &QPushButton::clicked, this, &CColorPage::OnResetContrast);
    connect(button(IDC_APPLY_TO_ALL), &QPushButton::clicked, this, &CColorPage::OnApplyToAll);
}

void CColorPage::SelectDepth(std::uint8_t depth) {
    m_depth->setCurrentIndex(depth < 8 ? 0 : depth < 16 ? 1 : 2);
}

std::uint8_t CColorPage::SelectedDepth() const {
    const int selection = m_depth->currentIndex();
    return static_cast<std::uint8_t>(1 << ((selection < 0 ? 0 : selection) + 2));
}

void CColorPage::ResetColor() {
    SelectDepth(8);
    m_brightness->setValue(kSliderNeutral);
    m_contrast->setValue(kSliderNeutral);
}

void CColorPage::EnableDitherFor(std::uint8_t depth) {
    m_dither->setEnabled(depth <= 8);
}

void CColorPage::OnHScroll(int action) {
    // Only dragging the thumb and paging with the mouse refresh the picture at once; a value
    // changed with the arrow keys reaches it at the next store or refresh. An action that
    // leaves the value where it was (paging at the end) is not kept: it would otherwise be
    // taken for the cause of the next value set, such as the next picture's own.
    const auto* slider = qobject_cast<const QAbstractSlider*>(sender());
    const bool moves = slider == nullptr || slider->sliderPosition() != slider->value();
    m_sliderAction = moves ? action : QAbstractSlider::SliderNoAction;
}

void CColorPage::OnSliderMoved() {
    const int action = m_sliderAction;
    m_sliderAction = QAbstractSlider::SliderNoAction;
    if ((action == QAbstractSlider::SliderPageStepAdd || action == QAbstractSlider::SliderPageStepSub ||
         action == QAbstractSlider::SliderMove) &&
        m_owner != nullptr) {
        m_owner->RefreshAdjusted();
    }
}

void CColorPage::OnSelChangeDepth() {
    if (m_owner != nullptr) {
        m_owner->RefreshDepth();
    }
    EnableDitherFor(SelectedDepth());
    // New pictures start at the depth last chosen, in this run and the next ones.
    m_newDepth = SelectedDepth();
    (void)WriteProgramSetting(kNewPictureDepthSetting, std::to_string(m_newDepth));
}

void CColorPage::OnDither() {
    if (m_owner != nullptr) {
        m_owner->RefreshAdjusted();
    }
}

void CColorPage::OnResetBrightness() {
    m_brightness->setValue(kSliderNeutral);
    if (m_owner != nullptr) {
        m_owner->RefreshAdjusted();
    }
}

void CColorPage::OnResetContrast() {
    m_contrast->setValue(kSliderNeutral);
    if (m_owner != nullptr) {
        m_owner->RefreshAdjusted();
    }
}

void CColorPage::OnShowAsSaved() {
    (void)WriteProgramSetting(kShowAsSavedSetting, m_showAsSaved->isChecked() ? "1" : "0");
    if (m_owner != nullptr) {
        m_owner->RefreshView();
    }
}

void CColorPage::OnApplyToAll() {
    if (m_owner != nullptr) {
        m_owner->ApplyColorToAll(SelectedDepth(), static_cast<std::int16_t>(m_brightness->value()),
                                 static_cast<std::int16_t>(m_contrast->value()),
                                 m_dither->isChecked() ? 1 : 0);
    }
}
