#include "main_dialog_template.h"

namespace tessaglyph {
namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kLabel = kChild | WS_GROUP | SS_LEFT;
constexpr std::uint32_t kPushButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr std::uint32_t kPathBox = kChild | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr std::uint32_t kBrowseButton = kChild | WS_TABSTOP | BS_PUSHBUTTON | BS_BITMAP;

DialogTemplate MakeMainDialogTemplate() {
  DialogTemplate main;
  main.title = QStringLiteral("Tessaglyph");
  main.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT;
  main.exStyle = WS_EX_APPWINDOW;
  main.rect = {0, 0, 178, 173};
  main.fontName = QStringLiteral("MS Sans Serif");
  main.pointSize = 8;
  main.controls = {
      {IDC_PROCESS, kButtonClass, QStringLiteral("Process"), kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
       {119, 152, 52, 14}},
      {IDCANCEL, kButtonClass, QStringLiteral("Close"), kPushButton, 0, {7, 152, 52, 14}},
      {IDC_STATIC, kStaticClass, QStringLiteral("Input Picture :"), kLabel, 0, {7, 13, 45, 8}},
      {IDC_STATIC, kStaticClass, QStringLiteral("Output Text :"), kLabel, 0, {10, 29, 42, 8}},
      {IDC_INPUT_PATH, kEditClass, QString(), kPathBox, 0, {57, 11, 86, 14}},
      {IDC_OUTPUT_PATH, kEditClass, QString(), kPathBox, 0, {57, 27, 86, 14}},
      {IDC_BROWSE_INPUT, kButtonClass, QStringLiteral("Button1"), kBrowseButton, 0, {147, 11, 18, 14}},
      {IDC_STATIC, kButtonClass, QStringLiteral("Input Status : "), kChild | BS_GROUPBOX, 0, {7, 44, 164, 90}},
      {IDC_PROGRESS, kProgressClass, QStringLiteral("Progress1"), kChild | PBS_SMOOTH, 0, {7, 136, 164, 14}},
      {IDC_ABOUT, kButtonClass, QStringLiteral("About"), kPushButton, 0, {63, 152, 52, 14}},
      {IDC_STATIC, kStaticClass, QStringLiteral("Picture Resolution :"), kLabel, 0, {13, 53, 62, 8}},
      {IDC_RESOLUTION, kEditClass, QString(), kChild | WS_DISABLED | WS_TABSTOP | ES_LEFT, 0, {79, 53, 86, 12}},
      {IDC_BROWSE_OUTPUT, kButtonClass, QStringLiteral("Button1"), kBrowseButton, 0, {147, 27, 18, 14}},
  };
  return main;
}

}  // namespace

const DialogTemplate& MainDialogTemplate() {
  static const DialogTemplate main = MakeMainDialogTemplate();
  return main;
}

}  // namespace tessaglyph
