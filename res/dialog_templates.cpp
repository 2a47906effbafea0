#include <array>

#include "res/dialog_template.h"
#include "res/resource.h"

namespace {

using namespace ControlStyle;
using K = ControlKind;

constexpr std::uint32_t kPopupStyle =
    DialogStyle::kCaption | DialogStyle::kSystemMenu | DialogStyle::kModalFrame;

// The About box.
constexpr std::array kAboutControls = {
    CControlTemplate{K::Icon, IDC_STATIC, "", 0, 11, 17, 20, 20, IDR_MAINFRAME},
    CControlTemplate{K::Text, IDC_STATIC, "Tavelo Desktop v2.0", 0, 40, 5, 135, 8},
    CControlTemplate{K::Text, IDC_STATIC, "Copyright (C) 2001 Lumivale, Inc.", 0, 40, 15, 135, 8},
    CControlTemplate{K::Text, IDC_STATIC, "Photo albums for Palm OS handhelds", 0, 40, 30, 135, 8},
    CControlTemplate{K::Text, IDC_STATIC, "Made by the Tavelo team", 0, 40, 45, 135, 8},
    CControlTemplate{K::Text, IDC_STATIC, "www.lumivale.com", 0, 40, 53, 135, 8},
    CControlTemplate{K::DefPushButton, IDOK, "OK", kTabStop, 180, 53, 50, 14},
};

// The main window: preview on the left, album info and picture list on the right, banner
// and page buttons along the top, commands along the bottom.
constexpr std::array kMainControls = {
    CControlTemplate{K::Frame, IDC_PREVIEW_FRAME, "", 0, 5, 40, 145, 210},
    CControlTemplate{K::Frame, IDC_ALBUM_INFO_FRAME, "", 0, 155, 40, 185, 55},
    CControlTemplate{K::Frame, IDC_IMAGE_LIST_FRAME, "", 0, 155, 100, 185, 150},
    CControlTemplate{K::PushButton, IDC_SEND_TO_HOTSYNC, "Send To HotS&ync", kTabStop, 280, 255, 60,
                     15},
    CControlTemplate{K::PushButton, IDC_SAVE, "&Save...", kTabStop, 226, 255, 50, 15},
    CControlTemplate{K::PushButton, IDC_RESET, "&Reset", kTabStop, 170, 255, 50, 15},
    CControlTemplate{K::Bitmap, IDC_BANNER, "", 0, 5, 1, 267, 37, IDB_BANNER_0},
    CControlTemplate{K::PushButton, IDC_USER_GUIDE, "User &Guide", kTabStop, 280, 3, 60, 11},
    CControlTemplate{K::PushButton, IDC_FAQ, "FA&Q", kTabStop, 280, 15, 60, 11},
    CControlTemplate{K::PushButton, IDC_FREE_REGISTRATION, "&Free Registration", kTabStop, 280, 27,
                     60, 11},
};

// The preview pane: picture area with its scroll bars above the settings tabs.
constexpr std::array kPreviewControls = {
    CControlTemplate{K::ScrollBar, IDC_PREVIEW_VSCROLL, "", kVertical | kDisabled, 125, 5, 10, 100},
    CControlTemplate{K::ScrollBar, IDC_PREVIEW_HSCROLL, "", kDisabled, 10, 105, 115, 8},
    CControlTemplate{K::Frame, IDC_PREVIEW_AREA, "", 0, 10, 5, 115, 100},
    // Ten units taller than the pages need, for the Color page's "Show as saved".
    CControlTemplate{K::TabControl, IDC_SETTINGS_TAB, "", kTabStop, 5, 110, 135, 90},
};

// The annotation page: the shown picture's title and note.
constexpr std::array kAnnotationControls = {
    CControlTemplate{K::Text, IDC_STATIC, "&Title:", 0, 0, 5, 17, 8},
    CControlTemplate{K::Text, IDC_NOTE_LABEL, "N&ote:", 0, 0, 22, 18, 8},
    CControlTemplate{K::Edit, IDC_PICTURE_TITLE, "", kAutoHScroll | kBorder | kTabStop, 20, 5, 105,
                     12},
    CControlTemplate{K::Edit, IDC_PICTURE_NOTE, "", kMultiLine | kAutoHScroll | kBorder | kTabStop,
                     20, 21, 105, 39},
};

// The colour page: depth, contrast, brightness and dither of the shown picture.
constexpr std::array kColorControls = {
    CControlTemplate{K::Text, IDC_STATIC, "&Contrast:", 0, 0, 25, 35, 7},
    CControlTemplate{K::Trackbar, IDC_CONTRAST, "", kTabStop, 40, 23, 42, 10},
    CControlTemplate{K::Text, IDC_CONTRAST_VALUE, "255", kAlignRight, 83, 25, 15, 7},
    CControlTemplate{K::Text, IDC_STATIC, "&Brightness:", 0, 0, 36, 35, 7},
    CControlTemplate{K::Trackbar, IDC_BRIGHTNESS, "", kTabStop, 40, 35, 42, 10},
    CControlTemplate{K::Text, IDC_BRIGHTNESS_VALUE, "255", kAlignRight, 83, 36, 15, 7},
    CControlTemplate{K::ComboBox, IDC_COLOR_DEPTH, "", kDropDownList | kTabStop, 45, 5, 54, 80, 0,
                     "4-bit gray scale\n8-bit color\n16-bit color"},
    CControlTemplate{K::Text, IDC_STATIC, "Color De&pth:", 0, 0, 7, 41, 7},
    CControlTemplate{K::PushButton, IDC_RESET_CONTRAST, "R&eset", kTabStop, 100, 23, 25, 10},
    CControlTemplate{K::CheckBox, IDC_DITHER, "Dit&her", kTabStop, 0, 50, 35, 10},
    CControlTemplate{K::PushButton, IDC_RESET_BRIGHTNESS, "Rese&t", kTabStop, 100, 35, 25, 10},
    CControlTemplate{K::PushButton, IDC_APPLY_TO_ALL, "Apply to A&ll", kTabStop, 80, 50, 45, 10},
    CControlTemplate{K::CheckBox, IDC_SHOW_AS_SAVED, "Sho&w as saved", kTabStop, 0, 59, 80, 8},
};

// The size page: the size limit and Crop of the shown picture.
constexpr std::array kSizeControls = {
    CControlTemplate{K::Text, IDC_STATIC, "Image Dimension:", 0, 0, 42, 55, 8},
    CControlTemplate{K::Text, IDC_STATIC, "Limit Si&ze To:", 0, 0, 18, 42, 7},
    CControlTemplate{K::ComboBox, IDC_SIZE_LIMIT, "", kDropDownList | kTabStop, 45, 15, 85, 120, 0,
                     "160 x 160 (full screen)\n200 x 200 (medium)\n320 x 240 (QVGA)\n"
                     "640 x 480 (VGA)\n800 x 600 (SVGA)\n1024 x 768 (XGA)\n1280 x 1024 (SXGA)"},
    CControlTemplate{K::PushButton, IDC_APPLY_TO_ALL, "Apply to A&ll", kTabStop, 80, 50, 45, 10},
    CControlTemplate{K::Text, IDC_DIMENSION, "0000x0000", 0, 63, 42, 37, 8},
    CControlTemplate{K::PushButton, IDC_UPDATE_SIZE, "&Update", kTabStop, 90, 30, 30, 10},
    CControlTemplate{K::CheckBox, IDC_CROP, "Cro&p", kTabStop, 0, 0, 105, 10},
};

// The progress of a save.
constexpr std::array kSaveProgressControls = {
    CControlTemplate{K::PushButton, IDCANCEL, "Cancel", kTabStop, 130, 35, 50, 14},
    CControlTemplate{K::ProgressBar, IDC_SAVE_PROGRESS, "", kBorder, 5, 20, 175, 10},
    CControlTemplate{K::Text, IDC_STATIC, "Saving ", 0, 5, 5, 22, 8},
    CControlTemplate{K::Text, IDC_SAVE_COUNT, "", 0, 32, 5, 38, 8},
};

// The album info pane.
constexpr std::array kAlbumInfoControls = {
    CControlTemplate{K::Text, IDC_STATIC, "Albu&m Title:", 0, 40, 13, 40, 8},
    CControlTemplate{K::Text, IDC_STATIC, "Album &Note:", 0, 40, 25, 40, 8},
    CControlTemplate{K::Edit, IDC_ALBUM_TITLE, "", kAutoHScroll | kBorder | kTabStop, 80, 10, 100,
                     12},
    CControlTemplate{K::Edit, IDC_ALBUM_NOTE, "", kMultiLine | kAutoHScroll | kBorder | kTabStop,
                     80, 25, 100, 20},
    CControlTemplate{K::Frame, IDC_ALBUM_ICON, "", 0, 10, 14, 20, 17},
    CControlTemplate{K::GroupBox, IDC_STATIC, "Album Info", 0, 0, 0, 185, 50},
};

// The image list pane.
constexpr std::array kImageListControls = {
    CControlTemplate{K::ListView, IDC_IMAGE_LIST, "",
                     kReportView | kSingleSelection | kShowSelectionAlways | kNoColumnHeader |
                         kNoSortHeader | kNoLabelWrap | kBorder | kTabStop,
                     0, 10, 185, 125},
    CControlTemplate{K::Text, IDC_STATIC, " File Path", 0, 0, 0, 70, 10},
    CControlTemplate{K::PushButton, IDC_ADD_FILES, "&Add Files...", kTabStop, 70, 0, 40, 10},
    CControlTemplate{K::PushButton, IDC_DELETE, "&Delete", kDisabled | kTabStop, 112, 0, 35, 10},
    CControlTemplate{K::PushButton, IDC_SET_ICON, "Set &Icon", kDisabled | kTabStop, 149, 0, 35,
                     10},
};

const std::array kTemplates = {
    CDialogTemplate{IDD_ABOUTBOX, kPopupStyle, 235, 76, "About Tavelo Desktop 2.0", "MS Sans Serif",
                    8, kAboutControls},
    CDialogTemplate{IDD_TAVELO_DIALOG,
                    kPopupStyle | DialogStyle::kMinimizeBox | DialogStyle::kAppWindow, 347, 276, "",
                    "MS Sans Serif", 8, kMainControls},
    CDialogTemplate{IDD_PREVIEW_PANE, DialogStyle::kChild, 151, 207, "", "Arial", 8,
                    kPreviewControls},
    CDialogTemplate{IDD_COLOR_PAGE, DialogStyle::kChild, 131, 67, "", "Arial", 8, kColorControls},
    CDialogTemplate{IDD_SIZE_PAGE, DialogStyle::kChild, 131, 67, "", "Arial", 8, kSizeControls},
    CDialogTemplate{IDD_ANNOTATION_PAGE, DialogStyle::kChild, 131, 67, "", "Arial", 8,
                    kAnnotationControls},
    CDialogTemplate{IDD_SAVE_PROGRESS, kPopupStyle, 187, 58, "Saving File...", "Arial", 8,
                    kSaveProgressControls},
    CDialogTemplate{IDD_ALBUM_INFO_PANE, DialogStyle::kChild, 186, 57, "", "Arial", 8,
                    kAlbumInfoControls},
    CDialogTemplate{IDD_IMAGE_LIST_PANE, DialogStyle::kChild, 191, 142, "", "Arial", 8,
                    kImageListControls},
};

}  // namespace

const CDialogTemplate* FindDialogTemplate(int id) {
    for (const CDialogTemplate& dialog : kTemplates) {
        if (dialog.id == id) {
            return &dialog;
        }
    }
    return nullptr;
}

std::span<const CDialogTemplate> AllDialogTemplates() {
    return kTemplates;
}
