#include "panes/size_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "album/album_image.h"
#include "edit/album_document.h"
#include "panes/album_editor.h"
#include "res/resource.h"

CSizePage::CSizePage(QWidget* parent) : CPicturePage(IDD_SIZE_PAGE, parent) {}

void CSizePage::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_CROP, m_crop);
    DDX_Control(dx, IDC_DIMENSION, m_dimension);
    DDX_Control(dx, IDC_SIZE_LIMIT, m_sizeList);
}

void CSizePage::OnInitDialog() {
    m_sizeList->setCurrentIndex(0);
    SetDimension(0, 0);

    // Message map. Choosing a size has no handler of its own.
    const auto button = [this](int id) { return qobject_cast<QPushButton*>(GetDlgItem(id)); };
    connect(button(IDC_APPLY_TO_ALL), &QPushButton::clicked, this, &CSizePage::OnApplyToAll);
    connect(button(IDC_UPDATE_SIZE), &QPushButton::clicked, this, &CSizePage::OnUpdate);
    connect(m_crop, &QCheckBox::clicked, this, &CSizePage::OnCrop);
}

void CSizePage::FillControls(const CAlbumImage* entry) {
    // The list is left as the user chose it; only the picture's own Crop is shown.
    m_crop->setChecked(entry == nullptr || entry->m_crop != 0);
    if (entry == nullptr) {
        SetDimension(0, 0);
    }
}

void CSizePage::SetDimension(std::int16_t width, std::int16_t height) {
    m_dimension->setText(QStringLiteral("%1 x %2").arg(width).arg(height));
}

CSizePage::CSizeChoice CSizePage::ListedLimit() const {
    const int selection = m_sizeList->currentIndex();
    if (selection < 0 || selection >= static_cast<int>(kSizeChoices.size())) {
        return kSizeChoices[0];
    }
    return kSizeChoices[static_cast<std::size_t>(selection)];
}

void CSizePage::RememberChoice(const CSizeChoice& limit) {
    if (Document() == nullptr) {
        return;
    }
    CNewPictureDefaults defaults = Document()->NewPictureDefaults();
    defaults.limitWidth = limit.width;
    defaults.limitHeight = limit.height;
    Document()->SetNewPictureDefaults(defaults);
}

void CSizePage::ApplySize() {
    if (Document() == nullptr) {
        return;
    }
    const CNewPictureDefaults& defaults = Document()->NewPictureDefaults();
    CAlbumImage value;
    value.m_crop = m_crop->isChecked() ? 1 : 0;
    value.m_sizeLimitWidth = defaults.limitWidth;
    value.m_sizeLimitHeight = defaults.limitHeight;
    Document()->BreakMerge();
    StoreControls(kFieldsSize, value);
    Document()->BreakMerge();
}

void CSizePage::OnUpdate() {
    RememberChoice(ListedLimit());
    ApplySize();
}

void CSizePage::OnCrop() {
    ApplySize();
}

void CSizePage::OnApplyToAll() {
    const CSizeChoice limit = ListedLimit();
    RememberChoice(limit);
    if (Editor() != nullptr) {
        Editor()->BeginEditGroup(QStringLiteral("Apply Size to All"));
        Editor()->ApplySizeLimitToAll(limit.width, limit.height);
        Editor()->ApplyCropToAll(m_crop->isChecked() ? 1 : 0);
        Editor()->EndEditGroup();
    }
}
