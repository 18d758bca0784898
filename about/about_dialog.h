#pragma once

#include <QDialog>

namespace tessaglyph {

class DialogBuilder;
class Dialogs;
class HyperlinkStatic;
class Launcher;

// The modal About box: icon, version, the maker's notice and two links, to the
// maker's web page and to a mail address. Built afresh for every opening, so
// nothing (a visited link, say) carries over to the next one.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr char kWebTarget[] = "http://www.quorvandel.example/";
  static constexpr char kMailTarget[] = "mailto:tessaglyph@quorvandel.example";

  AboutDialog(Dialogs& dialogs, Launcher& launcher, QWidget* parent = nullptr);

  HyperlinkStatic& WebLink() const { return *webLink_; }
  HyperlinkStatic& MailLink() const { return *mailLink_; }

 private:
  void DoDataExchange(const DialogBuilder& builder);
  void OnInitDialog();

  HyperlinkStatic* webLink_ = nullptr;
  HyperlinkStatic* mailLink_ = nullptr;
};

}  // namespace tessaglyph
