#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "resource_ids.h"

// A dialog described as data: style bits and rectangles in dialog units,
// which DialogBuilder turns into Qt widgets. A dialog unit is a quarter of the
// dialog font's average character width across and an eighth of its height
// down, so the whole layout grows and shrinks with the font and every label
// keeps room for its text.
namespace tessaglyph {

// Window styles shared by dialogs and controls.
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t WS_CHILD = 0x40000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WS_BORDER = 0x00800000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
// The same two bits mean different things on a dialog and on a control.
inline constexpr std::uint32_t WS_GROUP = 0x00020000;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;

// Dialog styles.
inline constexpr std::uint32_t DS_SETFONT = 0x00000040;
inline constexpr std::uint32_t DS_MODALFRAME = 0x00000080;

// Extended window styles.
inline constexpr std::uint32_t WS_EX_DLGMODALFRAME = 0x00000001;
inline constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;

// "BUTTON" styles; the low four bits are the button's kind.
inline constexpr std::uint32_t BS_TYPEMASK = 0x0000000F;
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x00000000;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x00000001;
inline constexpr std::uint32_t BS_GROUPBOX = 0x00000007;
inline constexpr std::uint32_t BS_BITMAP = 0x00000080;

// "STATIC" styles; the low five bits are the static's kind.
inline constexpr std::uint32_t SS_TYPEMASK = 0x0000001F;
inline constexpr std::uint32_t SS_LEFT = 0x00000000;
inline constexpr std::uint32_t SS_CENTER = 0x00000001;
inline constexpr std::uint32_t SS_RIGHT = 0x00000002;
inline constexpr std::uint32_t SS_ICON = 0x00000003;
inline constexpr std::uint32_t SS_NOPREFIX = 0x00000080;
inline constexpr std::uint32_t SS_CENTERIMAGE = 0x00000200;

// "EDIT" styles.
inline constexpr std::uint32_t ES_LEFT = 0x00000000;
inline constexpr std::uint32_t ES_CENTER = 0x00000001;
inline constexpr std::uint32_t ES_RIGHT = 0x00000002;
inline constexpr std::uint32_t ES_AUTOHSCROLL = 0x00000080;

// "msctls_progress32" styles.
inline constexpr std::uint32_t PBS_SMOOTH = 0x00000001;

// Control classes.
inline constexpr const char* kButtonClass = "BUTTON";
inline constexpr const char* kStaticClass = "STATIC";
inline constexpr const char* kEditClass = "EDIT";
inline constexpr const char* kProgressClass = "msctls_progress32";

// A rectangle in dialog units: x and width in quarters of the font's average
// character width, y and height in eighths of its height.
struct DialogUnitRect {
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
};

struct ControlTemplate {
  int id = IDC_STATIC;
  QString className;  // kButtonClass, kStaticClass, kEditClass or kProgressClass
  QString text;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  DialogUnitRect rect;
  // An SS_ICON static names its icon resource here (IDR_MAINFRAME) instead of
  // carrying text.
  int imageResource = 0;
};

struct DialogTemplate {
  QString title;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  DialogUnitRect rect;
  QString fontName;
  int pointSize = 8;
  std::vector<ControlTemplate> controls;  // in tab order
};

}  // namespace tessaglyph
