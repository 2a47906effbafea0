#include "panes/size_page.h"

#include <cstdio>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "panes/preview_pane.h"
#include "platform/registry.h"
#include "res/resource.h"

CSizePage::CSizePage(QWidget* parent) : CPaneDialog(IDD_SIZE_PAGE, parent) {}

void CSizePage::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_CROP, m_crop);
    DDX_Control(dx, IDC_DIMENSION, m_dimension);
    DDX_Control(dx, IDC_SIZE_LIMIT, m_sizeList);
}

void CSizePage::OnInitDialog() {
    m_sizeList->setCurrentIndex(0);
    // The limit and Crop chosen for new pictures in an earlier run.
    int width = 0;
    int height = 0;
    const std::string limit = ReadProgramSetting(kNewPictureLimitSetting);
    if (std::sscanf(limit.c_str(), "%dx%d", &width, &height) == 2) {
        for (std::size_t i = 0; i < kSizeChoices.size(); ++i) {
            if (kSizeChoices[i].width == width && kSizeChoices[i].height == height) {
                m_limitWidth = kSizeChoices[i].width;
                m_limitHeight = kSizeChoices[i].height;
                m_sizeList->setCurrentIndex(static_cast<int>(i));
            }
        }
    }
    m_newCrop = ReadProgramSetting(kNewPictureCropSetting) == "0" ? 0 : 1;
    UpdateDimensionText();

    // Message map. Choosing a size has no handler of its own.
    const auto button = [this](int id) { return qobject_cast<QPushButton*>(GetDlgItem(id)); };
    connect(button(IDC_APPLY_TO_ALL), &QPushButton::clicked, this, &CSizePage::OnApplyToAll);
    connect(button(IDC_UPDATE_SIZE), &QPushButton::clicked, this, &CSizePage::OnUpdate);
    connect(m_crop, &QCheckBox::clicked, this, &CSizePage::OnCrop);
}

void CSizePage::ResetSize() {
    SetDimension(160, 160);
    m_sizeList->setCurrentIndex(0);
}

void CSizePage::UpdateDimensionText() {
    m_dimension->setText(QStringLiteral("%1 x %2").arg(m_dimensionWidth).arg(m_dimensionHeight));
}

void CSizePage::SetDimension(std::int16_t width, std::int16_t height) {
    m_dimensionWidth = width;
    m_dimensionHeight = height;
    UpdateDimensionText();
}

CSizePage::CSizeChoice CSizePage::ListedLimit() const {
    const int selection = m_sizeList->currentIndex();
    if (selection < 0 || selection >= static_cast<int>(kSizeChoices.size())) {
        return kSizeChoices[0];
    }
    return kSizeChoices[static_cast<std::size_t>(selection)];
}

void CSizePage::RememberChoice() {
    m_newCrop = m_crop->isChecked() ? 1 : 0;
    (void)WriteProgramSetting(kNewPictureLimitSetting,
                              std::to_string(m_limitWidth) + "x" + std::to_string(m_limitHeight));
    (void)WriteProgramSetting(kNewPictureCropSetting, m_newCrop != 0 ? "1" : "0");
}

void CSizePage::OnUpdate() {
    const CSizeChoice limit = ListedLimit();
    m_limitWidth = limit.width;
    m_limitHeight = limit.height;
    RememberChoice();
    if (m_owner != nullptr) {
        m_owner->ApplySize();
    }
}

void CSizePage::OnCrop() {
    if (m_owner != nullptr) {
        m_owner->ApplySize();
    }
}

void CSizePage::OnApplyToAll() {
    OnUpdate();
    if (m_owner != nullptr) {
        m_owner->ApplySizeLimitToAll(m_limitWidth, m_limitHeight);
        m_owner->ApplyCropToAll(m_crop->isChecked() ? 1 : 0);
    }
}
