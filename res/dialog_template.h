#pragma once

#include <cstdint>
#include <span>

// Dialog templates as data: what a resource compiler would have stored for each dialog.
// Rectangles are in dialog units; the template layer turns them into widgets.

enum class ControlKind : std::uint8_t {
    Text,    // static text
    Frame,   // static black frame
    Bitmap,  // static showing a bitmap resource; sizes itself to the bitmap
    Icon,    // static showing an icon resource
    GroupBox,
    PushButton,
    DefPushButton,  // the button Enter presses
    CheckBox,
    Edit,
    ListView,
    TabControl,
    ScrollBar,
    Trackbar,
    ComboBox,
    ProgressBar,
};

// Control styles the templates use.
namespace ControlStyle {
inline constexpr std::uint32_t kDisabled = 1u << 0;
inline constexpr std::uint32_t kTabStop = 1u << 1;
inline constexpr std::uint32_t kBorder = 1u << 2;
inline constexpr std::uint32_t kMultiLine = 1u << 3;
inline constexpr std::uint32_t kAutoHScroll = 1u << 4;
inline constexpr std::uint32_t kVertical = 1u << 5;  // scroll bars and trackbars
inline constexpr std::uint32_t kReportView = 1u << 6;
inline constexpr std::uint32_t kSingleSelection = 1u << 7;
inline constexpr std::uint32_t kShowSelectionAlways = 1u << 8;
inline constexpr std::uint32_t kNoColumnHeader = 1u << 9;
inline constexpr std::uint32_t kNoSortHeader = 1u << 10;
inline constexpr std::uint32_t kNoLabelWrap = 1u << 11;
inline constexpr std::uint32_t kAlignCenter = 1u << 12;
inline constexpr std::uint32_t kAlignRight = 1u << 13;
inline constexpr std::uint32_t kReadOnly = 1u << 14;
inline constexpr std::uint32_t kDropDownList = 1u << 15;
}  // namespace ControlStyle

// Dialog styles.
namespace DialogStyle {
inline constexpr std::uint32_t kChild = 1u << 0;  // lives inside another window
inline constexpr std::uint32_t kCaption = 1u << 1;
inline constexpr std::uint32_t kSystemMenu = 1u << 2;
inline constexpr std::uint32_t kMinimizeBox = 1u << 3;
inline constexpr std::uint32_t kModalFrame = 1u << 4;  // fixed size
inline constexpr std::uint32_t kAppWindow = 1u << 5;   // shown in the task bar
}  // namespace DialogStyle

struct CControlTemplate {
    ControlKind kind = ControlKind::Text;
    int id = -1;
    const char* text = "";
    std::uint32_t style = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    int image = 0;           // bitmap or icon resource of Bitmap and Icon statics
    const char* items = "";  // a combo box's initial list, one item per line
};

struct CDialogTemplate {
    int id = 0;
    std::uint32_t style = 0;
    int cx = 0;
    int cy = 0;
    const char* caption = "";
    const char* fontFace = "";
    int pointSize = 8;
    std::span<const CControlTemplate> controls;
};

// The template of that id; null when the program has none.
const CDialogTemplate* FindDialogTemplate(int id);
// Every template, for checks that must hold for all of them.
std::span<const CDialogTemplate> AllDialogTemplates();
