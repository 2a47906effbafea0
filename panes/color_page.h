#pragma once

#include <cstdint>

#include "panes/picture_page.h"

class QCheckBox;
class QComboBox;
class QSlider;

// The Color page: colour depth, contrast, brightness and dither of the shown picture. Each
// change is an edit of the picture at once (a slider drag is one undo step), and the preview
// converts again from it; Apply to All gives the four values to every picture of the album.
class CColorPage : public CPicturePage {
    Q_OBJECT
public:
    explicit CColorPage(QWidget* parent = nullptr);

    // Chooses the depth list's item for a depth: up to 7 bits the grey item, 8 to 15 the
    // 8-bit item, 16 the 16-bit item.
    void SelectDepth(std::uint8_t depth);
    // The depth the list shows: 4, 8 or 16 bits.
    std::uint8_t SelectedDepth() const;
    // Dither only means something where colours are reduced: up to 8 bits.
    void EnableDitherFor(std::uint8_t depth);

    QCheckBox* DitherBox() const { return m_dither; }
    QSlider* ContrastSlider() const { return m_contrast; }
    QSlider* BrightnessSlider() const { return m_brightness; }
    QComboBox* DepthList() const { return m_depth; }
    // Whether the view shows the picture exactly as it is stored: with Crop, the window
    // converted on its own.
    QCheckBox* ShowAsSavedBox() const { return m_showAsSaved; }

signals:
    // The view option "Show as saved", at start and when the user changes it.
    void showAsSavedChanged(bool on);

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;
    void FillControls(const CAlbumImage* entry) override;

private slots:
    void OnSliderMoved();
    void OnSelChangeDepth();
    void OnDither();
    void OnResetBrightness();
    void OnResetContrast();
    void OnApplyToAll();
    void OnShowAsSaved();

private:
    // Back to the middle, the value that leaves the picture as it is.
    void ResetSlider(unsigned field);

    QCheckBox* m_dither = nullptr;
    QSlider* m_contrast = nullptr;
    QSlider* m_brightness = nullptr;
    QComboBox* m_depth = nullptr;
    QCheckBox* m_showAsSaved = nullptr;
};
