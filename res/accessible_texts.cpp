#include "res/accessible_texts.h"

#include <array>

#include "res/resource.h"

namespace {

using T = CAccessibleText;

const std::array kTexts = {
    T{IDD_ABOUTBOX, IDOK, nullptr, "Closes this box"},
    T{IDD_TAVELO_DIALOG, IDC_SEND_TO_HOTSYNC, nullptr,
      "Saves the album and installs it on the handheld at its next HotSync"},
    T{IDD_TAVELO_DIALOG, IDC_SAVE, nullptr, "Writes the album as a Palm database file"},
    T{IDD_TAVELO_DIALOG, IDC_RESET, nullptr, "Starts a new, empty album"},
    T{IDD_TAVELO_DIALOG, IDC_USER_GUIDE, nullptr, "Opens the user guide"},
    T{IDD_TAVELO_DIALOG, IDC_FAQ, nullptr, "Opens the frequently asked questions"},
    T{IDD_TAVELO_DIALOG, IDC_FREE_REGISTRATION, nullptr, "Opens the free registration page"},
    T{IDD_PREVIEW_PANE, IDC_PREVIEW_AREA, "Preview",
      "The picture as the handheld shows it; the arrow keys move the crop window, Shift ten "
      "pixels at a time, Home and End to the edges"},
    T{IDD_PREVIEW_PANE, IDC_PREVIEW_HSCROLL, "Crop window across",
      "Where the crop window lies across the picture"},
    T{IDD_PREVIEW_PANE, IDC_PREVIEW_VSCROLL, "Crop window down",
      "Where the crop window lies down the picture"},
    T{IDD_PREVIEW_PANE, IDC_SETTINGS_TAB, "Picture settings",
      "The shown picture's annotation, colour and size"},
    T{IDD_ANNOTATION_PAGE, IDC_PICTURE_TITLE, nullptr, "The picture's title on the handheld"},
    T{IDD_ANNOTATION_PAGE, IDC_PICTURE_NOTE, nullptr, "The picture's note on the handheld"},
    T{IDD_COLOR_PAGE, IDC_COLOR_DEPTH, nullptr, "How many colours the handheld shows"},
    T{IDD_COLOR_PAGE, IDC_CONTRAST, nullptr, "The picture's contrast"},
    T{IDD_COLOR_PAGE, IDC_BRIGHTNESS, nullptr, "The picture's brightness"},
    T{IDD_COLOR_PAGE, IDC_RESET_CONTRAST, "Reset contrast", "Puts the contrast back"},
    T{IDD_COLOR_PAGE, IDC_RESET_BRIGHTNESS, "Reset brightness", "Puts the brightness back"},
    T{IDD_COLOR_PAGE, IDC_DITHER, nullptr,
      "Mixes the colours the handheld has into the ones it lacks"},
    T{IDD_COLOR_PAGE, IDC_APPLY_TO_ALL, "Apply colour to all",
      "Gives every picture this picture's depth, contrast, brightness and dithering"},
    T{IDD_COLOR_PAGE, IDC_SHOW_AS_SAVED, nullptr,
      "Shows the crop window exactly as the album file will hold it"},
    T{IDD_SIZE_PAGE, IDC_SIZE_LIMIT, nullptr, "The largest size the picture is stored at"},
    T{IDD_SIZE_PAGE, IDC_APPLY_TO_ALL, "Apply size to all",
      "Gives every picture this size limit and Crop"},
    T{IDD_SIZE_PAGE, IDC_UPDATE_SIZE, nullptr, "Gives the picture the size limit chosen"},
    T{IDD_SIZE_PAGE, IDC_CROP, nullptr, "Stores only the part the preview shows"},
    T{IDD_SAVE_PROGRESS, IDCANCEL, nullptr, "Stops writing the album"},
    T{IDD_ALBUM_INFO_PANE, IDC_ALBUM_TITLE, nullptr, "The album's title on the handheld"},
    T{IDD_ALBUM_INFO_PANE, IDC_ALBUM_NOTE, nullptr, "The album's note on the handheld"},
    T{IDD_IMAGE_LIST_PANE, IDC_IMAGE_LIST, "Pictures",
      "The album's pictures in order; Alt+Up and Alt+Down move the selected one, Delete "
      "removes it"},
    T{IDD_IMAGE_LIST_PANE, IDC_ADD_FILES, nullptr, "Adds picture files to the album"},
    T{IDD_IMAGE_LIST_PANE, IDC_DELETE, nullptr, "Removes the selected picture from the album"},
    T{IDD_IMAGE_LIST_PANE, IDC_SET_ICON, nullptr, "Makes the selected picture the album's icon"},
};

}  // namespace

const CAccessibleText* FindAccessibleText(int dialogId, int controlId) {
    for (const CAccessibleText& text : kTexts) {
        if (text.dialogId == dialogId && text.controlId == controlId) {
            return &text;
        }
    }
    return nullptr;
}
