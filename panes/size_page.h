#pragma once

#include <array>
#include <cstdint>

#include "panes/picture_page.h"

class QCheckBox;
class QComboBox;
class QLabel;

// The Size page: the size limit and Crop of the shown picture, and the size it comes out at.
// Choosing a size in the list does nothing by itself: Update gives it to the shown picture and
// to every picture added later, Apply to All to every picture of the album. The list keeps the
// user's last choice from picture to picture.
class CSizePage : public CPicturePage {
    Q_OBJECT
public:
    struct CSizeChoice {
        std::int16_t width;
        std::int16_t height;
    };
    // The limits the list offers, in its order.
    static constexpr std::array<CSizeChoice, 7> kSizeChoices = {
        {{160, 160}, {200, 200}, {320, 240}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}}};

    explicit CSizePage(QWidget* parent = nullptr);

    // Shows the size the picture comes out at as "W x H"; 0 x 0 while there is none.
    void SetDimension(std::int16_t width, std::int16_t height);
    // The limit the list shows; 160 x 160 when it shows none.
    CSizeChoice ListedLimit() const;

    QCheckBox* CropBox() const { return m_crop; }
    QLabel* DimensionText() const { return m_dimension; }
    QComboBox* SizeList() const { return m_sizeList; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;
    void FillControls(const CAlbumImage* entry) override;

private slots:
    void OnUpdate();
    void OnCrop();
    void OnApplyToAll();

private:
    // The limit last chosen becomes the one new pictures start with, for the rest of the run.
    void RememberChoice(const CSizeChoice& limit);
    // The shown picture gets the Crop tick and the limit last chosen.
    void ApplySize();

    QCheckBox* m_crop = nullptr;
    QLabel* m_dimension = nullptr;
    QComboBox* m_sizeList = nullptr;
};
