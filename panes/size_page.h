#pragma once

#include <array>
#include <cstdint>

#include "panes/pane_dialog.h"

class CPreviewPane;
class QCheckBox;
class QComboBox;
class QLabel;

// The Size page: the size limit and Crop of the shown picture, and the size it comes out at.
// Choosing a size in the list does nothing by itself: Update gives it to the shown picture and
// to every picture added later, Apply to All to every picture of the album.
class CSizePage : public CPaneDialog {
    Q_OBJECT
public:
    struct CSizeChoice {
        std::int16_t width;
        std::int16_t height;
    };
    // The limits the list offers, in its order.
    static constexpr std::array<CSizeChoice, 7> kSizeChoices = {{
        {160, 160}, {200, 200}, {320, 240}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}}};

    explicit CSizePage(QWidget* parent = nullptr);

    void SetOwner(CPreviewPane* owner) { m_owner = owner; }

    // The dimension back to 160 x 160 and the list to its first size; the remembered limit and
    // Crop stay.
    void ResetSize();
    // Shows the dimension as "W x H".
    void UpdateDimensionText();
    void SetDimension(std::int16_t width, std::int16_t height);

    // The limit last chosen with Update or Apply to All: the shown picture's on Crop, and every
    // new picture's.
    std::int16_t LimitWidth() const { return m_limitWidth; }
    std::int16_t LimitHeight() const { return m_limitHeight; }
    // The limit the list shows; 160 x 160 when it shows none.
    CSizeChoice ListedLimit() const;
    // Whether new pictures start cropped: the Crop tick of the last Update or Apply to All.
    std::uint8_t NewPictureCrop() const { return m_newCrop; }

    QCheckBox* CropBox() const { return m_crop; }
    QLabel* DimensionText() const { return m_dimension; }
    QComboBox* SizeList() const { return m_sizeList; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;

private slots:
    void OnUpdate();
    void OnCrop();
    void OnApplyToAll();

private:
    // Keeps the limit and Crop chosen for new pictures between runs.
    void RememberChoice();

    CPreviewPane* m_owner = nullptr;
    std::int16_t m_dimensionWidth = 160;
    std::int16_t m_dimensionHeight = 160;
    std::int16_t m_limitWidth = 160;
    std::int16_t m_limitHeight = 160;
    std::uint8_t m_newCrop = 1;
    QCheckBox* m_crop = nullptr;
    QLabel* m_dimension = nullptr;
    QComboBox* m_sizeList = nullptr;
};
