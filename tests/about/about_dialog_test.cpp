#include "about_dialog.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <stdexcept>
#include <string>

#include "about_dialog_template.h"
#include "dialog_builder.h"
#include "hyperlink_static.h"
#include "scripted_dialogs.h"
#include "scripted_launcher.h"
#include "support/modal_answer.h"

namespace tessaglyph {
namespace {

// Test rows are named by their name field.
template <class Row>
std::string RowName(const ::testing::TestParamInfo<Row>& row) {
  return row.param.name;
}

const ControlTemplate& TemplateRow(int controlId) {
  for (const ControlTemplate& control : AboutDialogTemplate().controls) {
    if (control.id == controlId) {
      return control;
    }
  }
  throw std::logic_error("no such control");
}

QLabel* LabelWithText(const AboutDialog& about, const QString& text) {
  for (QLabel* label : about.findChildren<QLabel*>()) {
    if (label->text() == text) {
      return label;
    }
  }
  return nullptr;
}

class AboutDialogTest : public ::testing::Test {
 protected:
  ScriptedDialogs dialogs_;
  ScriptedLauncher launcher_;
};

TEST_F(AboutDialogTest, ShowsIconVersionNoticeAndOkUnderItsCaption) {
  AboutDialog about(dialogs_, launcher_);

  EXPECT_EQ(about.windowTitle(), QStringLiteral("About Tessaglyph"));
  const QLabel* version = LabelWithText(about, QStringLiteral("Tessaglyph Version 1.0"));
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
  EXPECT_EQ(version->frameShadow(), QFrame::Sunken);
  EXPECT_NE(LabelWithText(about, QStringLiteral("A Quorvandel utility")), nullptr);
  EXPECT_NE(LabelWithText(about, QStringLiteral("- Quorvandel")), nullptr);
  const auto buttons = about.findChildren<QPushButton*>();
  ASSERT_EQ(buttons.size(), 1);
  EXPECT_EQ(buttons.front()->text(), QStringLiteral("OK"));
  EXPECT_TRUE(buttons.front()->isDefault());
  const auto withPicture = [](const QLabel* label) { return !label->pixmap().isNull(); };
  const auto labels = about.findChildren<QLabel*>();
  EXPECT_EQ(std::count_if(labels.begin(), labels.end(), withPicture), 1);
}

struct LinkCase {
  const char* name;
  int controlId;
  HyperlinkStatic& (AboutDialog::*link)() const;
  const char* label;
  const char* target;
};

class AboutLinkTest : public AboutDialogTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(AboutLinkTest, ShowsItsLabelAndOpensItsTarget) {
  AboutDialog about(dialogs_, launcher_);
  HyperlinkStatic& link = (about.*GetParam().link)();

  EXPECT_EQ(link.text(), QString::fromLatin1(GetParam().label));
  EXPECT_EQ(link.toolTip(), QString::fromLatin1(GetParam().target));
  link.OnLinkClicked();
  EXPECT_EQ(launcher_.Calls(), QStringList{QStringLiteral("OpenUrl ") + QString::fromLatin1(GetParam().target)});
}

TEST_P(AboutLinkTest, IsFittedToItsLabelAtItsTemplatePlace) {
  AboutDialog about(dialogs_, launcher_);
  HyperlinkStatic& link = (about.*GetParam().link)();
  const QRect place = DialogBuilder(AboutDialogTemplate()).ToPixels(TemplateRow(GetParam().controlId).rect);
  const QFontMetricsF metrics(link.UnderlinedFont());

  EXPECT_EQ(link.pos(), place.topLeft());
  EXPECT_GE(link.width(), metrics.horizontalAdvance(link.text()));
  EXPECT_LT(link.width(), metrics.horizontalAdvance(link.text()) + 1);
  EXPECT_LE(link.geometry().right(), about.width()) << "the label runs off the box";
}

INSTANTIATE_TEST_SUITE_P(
    Links, AboutLinkTest,
    ::testing::Values(LinkCase{"Web", IDC_WEB_LINK, &AboutDialog::WebLink, "Visit us at :- www.quorvandel.example",
                               "http://www.quorvandel.example/"},
                      LinkCase{"Mail", IDC_MAIL_LINK, &AboutDialog::MailLink, "e-mail :- tessaglyph@quorvandel.example",
                               "mailto:tessaglyph@quorvandel.example"}),
    RowName<LinkCase>);

TEST_F(AboutDialogTest, EveryOpeningStartsFresh) {
  {
    AboutDialog first(dialogs_, launcher_);
    first.WebLink().OnLinkClicked();
    first.MailLink().OnLinkClicked();
    ASSERT_TRUE(first.WebLink().IsVisited());
  }

  AboutDialog second(dialogs_, launcher_);

  for (const HyperlinkStatic* link : {&second.WebLink(), &second.MailLink()}) {
    EXPECT_FALSE(link->IsVisited());
    EXPECT_EQ(link->CtlColor(), link->LinkColor());
  }
}

TEST_F(AboutDialogTest, OkHasTheFocusAndEndsTheBox) {
  AboutDialog about(dialogs_, launcher_);
  QPushButton* ok = about.findChild<QPushButton*>();
  QWidget* focused = nullptr;
  testing::ModalAnswer<AboutDialog> answer([&focused, ok](AboutDialog& shown) {
    EXPECT_TRUE(QTest::qWaitForWindowActive(&shown));
    focused = shown.focusWidget();
    ok->click();
  });

  EXPECT_EQ(about.exec(), QDialog::Accepted);
  EXPECT_EQ(focused, ok);
}

TEST_F(AboutDialogTest, TabReachesEachLinkWithAFocusMarkAndEnterOrSpaceOpensIt) {
  AboutDialog about(dialogs_, launcher_);
  testing::ModalAnswer<AboutDialog> answer([](AboutDialog& shown) {
    if (!QTest::qWaitForWindowActive(&shown)) {
      ADD_FAILURE() << "the About box never became the active window";
      shown.reject();
      return;
    }
    const QImage unfocused = shown.WebLink().grab().toImage();
    for (const auto& [link, key] : {std::pair{&shown.WebLink(), Qt::Key_Return}, {&shown.MailLink(), Qt::Key_Space}}) {
      QTest::keyClick(shown.focusWidget(), Qt::Key_Tab);
      EXPECT_EQ(shown.focusWidget(), link);
      QTest::keyClick(shown.focusWidget(), key);
    }
    QTest::keyClick(shown.focusWidget(), Qt::Key_Backtab);
    EXPECT_NE(shown.WebLink().grab().toImage(), unfocused) << "no focus mark";
    shown.reject();
  });
  about.exec();
  EXPECT_EQ(launcher_.Calls(), QStringList({QStringLiteral("OpenUrl ") + AboutDialog::kWebTarget,
                                            QStringLiteral("OpenUrl ") + AboutDialog::kMailTarget}));
}

}  // namespace
}  // namespace tessaglyph
