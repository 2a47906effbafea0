#pragma once

// Identifiers of the desktop program's resources: dialog templates, controls, strings,
// bitmaps, icon and cursor. Control ids are unique within their dialog only.

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_TAVELO_DIALOG = 102;
inline constexpr int IDD_PREVIEW_PANE = 131;
inline constexpr int IDD_COLOR_PAGE = 133;
inline constexpr int IDD_SIZE_PAGE = 134;
inline constexpr int IDD_ANNOTATION_PAGE = 135;
inline constexpr int IDD_ALBUM_INFO_PANE = 136;
inline constexpr int IDD_IMAGE_LIST_PANE = 137;
inline constexpr int IDD_SAVE_PROGRESS = 138;

// Strings.
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDS_CAPTION = 102;
inline constexpr int IDS_NO_ALBUM_TITLE = 103;
inline constexpr int IDS_TAB_ANNOTATION = 104;
inline constexpr int IDS_TAB_COLOR = 105;
inline constexpr int IDS_TAB_SIZE = 106;
inline constexpr int IDS_HELP_USER_GUIDE = 109;
inline constexpr int IDS_HELP_FAQ = 110;
inline constexpr int IDS_HELP_REGISTER = 111;
inline constexpr int IDS_UNTITLED = 112;
inline constexpr int IDS_BANNER_LINK_0 = 113;
inline constexpr int IDS_BANNER_LINK_4 = 114;
inline constexpr int IDS_TIP_ADD_FILES = 115;
inline constexpr int IDS_TIP_SET_ICON = 116;
inline constexpr int IDS_TIP_DELETE = 117;
inline constexpr int IDS_BANNER_LINK_1 = 118;
inline constexpr int IDS_BANNER_LINK_2 = 119;
inline constexpr int IDS_BANNER_LINK_3 = 120;

// Icon, bitmaps, cursor.
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDB_BANNER_0 = 140;
inline constexpr int IDB_BANNER_4 = 142;
inline constexpr int IDB_BANNER_1 = 143;
inline constexpr int IDB_BANNER_2 = 144;
inline constexpr int IDB_BANNER_3 = 145;
inline constexpr int IDC_HAND_CURSOR = 144;

// Controls shared by every dialog.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_STATIC = -1;

// Main window (102).
inline constexpr int IDC_SEND_TO_HOTSYNC = 1021;
inline constexpr int IDC_PREVIEW_FRAME = 1022;
inline constexpr int IDC_ALBUM_INFO_FRAME = 1023;
inline constexpr int IDC_IMAGE_LIST_FRAME = 1024;
inline constexpr int IDC_SAVE = 1025;
inline constexpr int IDC_RESET = 1041;
inline constexpr int IDC_USER_GUIDE = 1047;
inline constexpr int IDC_FAQ = 1048;
inline constexpr int IDC_FREE_REGISTRATION = 1049;
inline constexpr int IDC_BANNER = 1051;

// Preview pane (131).
inline constexpr int IDC_PREVIEW_HSCROLL = 1011;
inline constexpr int IDC_PREVIEW_VSCROLL = 1027;
inline constexpr int IDC_PREVIEW_AREA = 1028;
inline constexpr int IDC_SETTINGS_TAB = 1039;

// Tab pages: annotation (135), colour (133), size (134). Title and note share the album
// info pane's ids; Apply to All is 1038 on both the colour and the size page.
inline constexpr int IDC_PICTURE_TITLE = 1029;
inline constexpr int IDC_PICTURE_NOTE = 1030;
inline constexpr int IDC_NOTE_LABEL = 1052;
inline constexpr int IDC_CONTRAST = 1015;
inline constexpr int IDC_BRIGHTNESS = 1016;
inline constexpr int IDC_COLOR_DEPTH = 1017;
inline constexpr int IDC_RESET_CONTRAST = 1050;
inline constexpr int IDC_DITHER = 1042;
inline constexpr int IDC_RESET_BRIGHTNESS = 1043;
inline constexpr int IDC_APPLY_TO_ALL = 1038;
inline constexpr int IDC_SHOW_AS_SAVED = 1054;
inline constexpr int IDC_SIZE_LIMIT = 1018;
inline constexpr int IDC_DIMENSION = 1040;
inline constexpr int IDC_UPDATE_SIZE = 1044;
inline constexpr int IDC_CROP = 1053;
inline constexpr int IDC_CONTRAST_VALUE = 1060;
inline constexpr int IDC_BRIGHTNESS_VALUE = 1061;

// Save progress (138).
inline constexpr int IDC_SAVE_PROGRESS = 1045;
inline constexpr int IDC_SAVE_COUNT = 1046;

// Album info pane (136).
inline constexpr int IDC_ALBUM_TITLE = 1029;
inline constexpr int IDC_ALBUM_NOTE = 1030;
inline constexpr int IDC_ALBUM_ICON = 1031;

// Image list pane (137).
inline constexpr int IDC_IMAGE_LIST = 1035;
inline constexpr int IDC_DELETE = 1036;
inline constexpr int IDC_ADD_FILES = 1037;
inline constexpr int IDC_SET_ICON = 1043;
