#include "about_dialog.h"

#include <QPushButton>

#include "about_dialog_template.h"
#include "dialog_builder.h"
#include "hyperlink_static.h"

namespace tessaglyph {

AboutDialog::AboutDialog(Dialogs& dialogs, Launcher& launcher, QWidget* parent) : QDialog(parent) {
  DialogBuilder builder(AboutDialogTemplate());
  const auto makeLink = [&dialogs, &launcher](const ControlTemplate&, QWidget* owner) -> QWidget* {
    return new HyperlinkStatic(dialogs, launcher, owner);
  };
  builder.SetControlFactory(IDC_WEB_LINK, makeLink);
  builder.SetControlFactory(IDC_MAIL_LINK, makeLink);
  builder.Build(*this);
  connect(builder.ControlAs<QPushButton>(IDOK), &QPushButton::clicked, this, &QDialog::accept);
  DoDataExchange(builder);
  OnInitDialog();
}

void AboutDialog::DoDataExchange(const DialogBuilder& builder) {
  webLink_ = builder.ControlAs<HyperlinkStatic>(IDC_WEB_LINK);
  mailLink_ = builder.ControlAs<HyperlinkStatic>(IDC_MAIL_LINK);
  // Each link takes its label as target here; OnInitDialog gives the real ones.
  webLink_->Attach();
  mailLink_->Attach();
}

void AboutDialog::OnInitDialog() {
  webLink_->SetTarget(QString::fromLatin1(kWebTarget));
  mailLink_->SetTarget(QString::fromLatin1(kMailTarget));
}

}  // namespace tessaglyph
