#pragma once

#include <cstdint>

#include "panes/pane_dialog.h"

class CPreviewPane;
class QCheckBox;
class QComboBox;
class QSlider;

// The Color page: colour depth, contrast, brightness and dither of the shown picture. Each
// change converts the preview again at once; Apply to All gives the four values to every
// picture of the album.
class CColorPage : public CPaneDialog {
    Q_OBJECT
public:
    explicit CColorPage(QWidget* parent = nullptr);

    void SetOwner(CPreviewPane* owner) { m_owner = owner; }

    // Chooses the depth list's item for a depth: up to 7 bits the grey item, 8 to 15 the
    // 8-bit item, 16 the 16-bit item.
    void SelectDepth(std::uint8_t depth);
    // The depth the list shows: 4, 8 or 16 bits.
    std::uint8_t SelectedDepth() const;
    // 8-bit colour, both sliders in the middle; Dither stays as it is.
    void ResetColor();
    // Dither only means something where colours are reduced: up to 8 bits.
    void EnableDitherFor(std::uint8_t depth);
    // The depth new pictures start with: the one last chosen here (8 bits until then).
    std::uint8_t NewPictureDepth() const { return m_newDepth; }

    QCheckBox* DitherBox() const { return m_dither; }
    QSlider* ContrastSlider() const { return m_contrast; }
    QSlider* BrightnessSlider() const { return m_brightness; }
    QComboBox* DepthList() const { return m_depth; }
    // Whether the view shows the picture exactly as it is stored: with Crop, the window
    // converted on its own.
    QCheckBox* ShowAsSavedBox() const { return m_showAsSaved; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;

private slots:
    void OnHScroll(int action);
    void OnSliderMoved();
    void OnSelChangeDepth();
    void OnDither();
    void OnResetBrightness();
    void OnResetContrast();
    void OnApplyToAll();
    void OnShowAsSaved();

private:
    CPreviewPane* m_owner = nullptr;
    QCheckBox* m_dither = nullptr;
    QSlider* m_contrast = nullptr;
    QSlider* m_brightness = nullptr;
    QComboBox* m_depth = nullptr;
    QCheckBox* m_showAsSaved = nullptr;
    int m_sliderAction = 0;  // what the user last did to a slider, until its value follows
    std::uint8_t m_newDepth = 8;
};
