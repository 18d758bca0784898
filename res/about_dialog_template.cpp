#include "about_dialog_template.h"

#include "tessaglyph_version.h"

namespace tessaglyph {
namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kLabel = kChild | WS_GROUP | SS_LEFT;
constexpr std::uint32_t kVersionBox = kChild | WS_GROUP | SS_CENTERIMAGE | SS_NOPREFIX | SS_CENTER;
constexpr std::uint32_t kVersionBoxEx = WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME;
constexpr std::uint32_t kDefaultButton = kChild | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON;

DialogTemplate MakeAboutDialogTemplate() {
  const QString version =
      QStringLiteral("Tessaglyph Version %1.%2").arg(TESSAGLYPH_VERSION_MAJOR).arg(TESSAGLYPH_VERSION_MINOR);
  // The labels name the addresses the About box gives the links as targets.
  const QString webLabel = QStringLiteral("Visit us at :- www.quorvandel.example");
  const QString mailLabel = QStringLiteral("e-mail :- tessaglyph@quorvandel.example");
  DialogTemplate about;
  about.title = QStringLiteral("About Tessaglyph");
  about.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  about.rect = {0, 0, 166, 118};
  about.fontName = QStringLiteral("MS Sans Serif");
  about.pointSize = 8;
  about.controls = {
      {IDC_STATIC, kStaticClass, QString(), kChild | SS_ICON, 0, {15, 16, 20, 20}, IDR_MAINFRAME},
      {IDC_STATIC, kStaticClass, version, kVersionBox, kVersionBoxEx, {47, 14, 104, 24}},
      {IDC_STATIC, kStaticClass, QStringLiteral("A Quorvandel utility"), kLabel, 0, {35, 46, 95, 8}},
      {IDOK, kButtonClass, QStringLiteral("OK"), kDefaultButton, 0, {58, 97, 50, 14}},
      {IDC_WEB_LINK, kStaticClass, webLabel, kLabel, 0, {13, 57, 139, 8}},
      {IDC_STATIC, kStaticClass, QStringLiteral("- Quorvandel"), kLabel, 0, {96, 77, 56, 8}},
      {IDC_MAIL_LINK, kStaticClass, mailLabel, kLabel, 0, {13, 67, 96, 8}},
  };
  return about;
}

}  // namespace

const DialogTemplate& AboutDialogTemplate() {
  static const DialogTemplate about = MakeAboutDialogTemplate();
  return about;
}

}  // namespace tessaglyph
