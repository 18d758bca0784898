#pragma once

// Identifiers of the program's resources and of the controls in its dialog
// templates. The values are fixed: code, templates and tests refer to them.
namespace tessaglyph {

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_MAIN = 102;

// String table.
inline constexpr int IDS_ABOUTBOX = 101;

// Icon group and bitmap.
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDB_BROWSE = 129;

// The About entry of the main window's system menu. The window manager uses
// the low four bits of a system command, so a command is compared as id & 0xFFF0.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Controls.
inline constexpr int IDC_STATIC = -1;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_INPUT_PATH = 1000;
inline constexpr int IDC_OUTPUT_PATH = 1001;
inline constexpr int IDC_BROWSE_INPUT = 1002;
inline constexpr int IDC_BROWSE_OUTPUT = 1003;
inline constexpr int IDC_PROGRESS = 1004;
inline constexpr int IDC_ABOUT = 1005;
inline constexpr int IDC_PROCESS = 1007;
inline constexpr int IDC_RESOLUTION = 1008;
inline constexpr int IDC_WEB_LINK = 1009;
inline constexpr int IDC_MAIL_LINK = 1010;

}  // namespace tessaglyph
