#include "hyperlink_static.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <functional>
#include <optional>
#include <string>

#include "scripted_dialogs.h"
#include "scripted_launcher.h"

#include "support/row_name.h"

namespace tessaglyph {
namespace {

using testing::RowName;

constexpr char kTarget[] = "http://www.quorvandel.example/";

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
  int Count() const { return count_; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    count_ += event->type() == QEvent::Paint ? 1 : 0;
    return false;
  }

 private:
  int count_ = 0;
};

int CountPixels(const QImage& image, QColor color) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      count += image.pixelColor(x, y) == color ? 1 : 0;
    }
  }
  return count;
}

class HyperlinkStaticTest : public ::testing::Test {
 protected:
  HyperlinkStaticTest() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    // Whole pixels in the text colour, so the colour of each state can be found.
    font.setStyleStrategy(QFont::NoAntialias);
    dialog_.setFont(font);
    dialog_.setGeometry(100, 100, 400, 200);
  }

  HyperlinkStatic& MakeLink(const QString& label, const QRect& geometry = QRect(20, 30, 300, 16),
                            Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
    auto* link = new HyperlinkStatic(dialogs_, launcher_, &dialog_);
    link->setText(label);
    link->setGeometry(geometry);
    link->setAlignment(alignment);
    link->setWordWrap(true);
    return *link;
  }

  HyperlinkStatic& MakeAttachedLink() {
    HyperlinkStatic& link = MakeLink(QStringLiteral("Visit us"));
    link.Attach();
    return link;
  }

  static void PutCursorInside(const HyperlinkStatic& link) { QCursor::setPos(link.mapToGlobal(QPoint(2, 2))); }
  static void PutCursorOutside(const HyperlinkStatic& link) {
    QCursor::setPos(link.mapToGlobal(QPoint(link.width() + 5, 2)));
  }

  ScriptedDialogs dialogs_;
  ScriptedLauncher launcher_;
  QWidget dialog_;
};

TEST_F(HyperlinkStaticTest, AttachTakesTheLabelAsTargetUntilARealTargetIsSet) {
  HyperlinkStatic& link = MakeAttachedLink();
  EXPECT_EQ(link.Target(), QStringLiteral("Visit us"));
  EXPECT_EQ(link.toolTip(), QStringLiteral("Visit us"));

  link.SetTarget(QString::fromLatin1(kTarget));

  EXPECT_EQ(link.toolTip(), QString::fromLatin1(kTarget));
  EXPECT_EQ(link.text(), QStringLiteral("Visit us"));
}

TEST_F(HyperlinkStaticTest, AnEmptyLabelShowsTheTargetSetBeforeAttaching) {
  HyperlinkStatic& link = MakeLink(QString());
  link.SetTarget(QString::fromLatin1(kTarget));
  EXPECT_TRUE(link.toolTip().isEmpty());

  link.Attach();

  EXPECT_EQ(link.text(), QString::fromLatin1(kTarget));
  EXPECT_EQ(link.toolTip(), QString::fromLatin1(kTarget));
}

TEST_F(HyperlinkStaticTest, AttachCopiesTheDialogFontAndTakesTheHandCursor) {
  HyperlinkStatic& link = MakeAttachedLink();
  EXPECT_EQ(link.PlainFont().family(), dialog_.font().family());
  EXPECT_EQ(link.PlainFont().pixelSize(), 11);
  EXPECT_FALSE(link.PlainFont().underline());
  EXPECT_TRUE(link.UnderlinedFont().underline());
  EXPECT_EQ(link.UnderlinedFont().pixelSize(), 11);
  EXPECT_FALSE(link.font().underline());
  ASSERT_TRUE(link.HandCursor().has_value());
  EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(HyperlinkStaticTest, SettersBeforeAttachingOnlyStoreTheirValues) {
  HyperlinkStatic& link = MakeLink(QStringLiteral("Visit us"));
  const QRect before = link.geometry();
  link.SetTarget(QString::fromLatin1(kTarget));
  link.SetUnderlineMode(HyperlinkStatic::UnderlineAlways);
  EXPECT_EQ(link.geometry(), before);
  EXPECT_FALSE(link.font().underline());

  // Attaching puts the link back to underlining on hover, in the plain font.
  link.Attach();
  EXPECT_EQ(link.GetUnderlineMode(), HyperlinkStatic::UnderlineOnHover);
  EXPECT_FALSE(link.font().underline());
  EXPECT_EQ(link.Target(), QString::fromLatin1(kTarget));
}

struct ColourCase {
  const char* name;
  bool visited;
  bool hovering;
  QColor (HyperlinkStatic::*expected)() const;
};

class HyperlinkColourTest : public HyperlinkStaticTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(HyperlinkColourTest, TextIsDrawnInTheColourOfItsStateOnTheButtonFace) {
  HyperlinkStatic& link = MakeAttachedLink();
  link.SetVisitedState(GetParam().visited);
  PutCursorInside(link);
  if (GetParam().hovering) {
    link.OnMouseMove();
  }
  const QColor expected = (link.*GetParam().expected)();

  const QImage image = link.grab().toImage();

  EXPECT_GT(CountPixels(image, expected), 0);
  for (const QColor other : {link.LinkColor(), link.VisitedColor(), link.HoverColor()}) {
    if (other != expected) {
      EXPECT_EQ(CountPixels(image, other), 0) << other.name().toStdString();
    }
  }
  EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1), link.palette().color(QPalette::Button));
}

INSTANTIATE_TEST_SUITE_P(States, HyperlinkColourTest,
                         ::testing::Values(ColourCase{"Normal", false, false, &HyperlinkStatic::LinkColor},
                                           ColourCase{"Visited", true, false, &HyperlinkStatic::VisitedColor},
                                           ColourCase{"Hovering", false, true, &HyperlinkStatic::HoverColor},
                                           ColourCase{"HoveringVisited", true, true, &HyperlinkStatic::HoverColor}),
                         RowName<ColourCase>);

qreal ContrastRatio(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& c) {
    const auto linear = [](qreal v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
  };
  const qreal la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(HyperlinkStaticTest, OnADarkPaletteEveryStateAndTheFocusMarkReadAtFourAndAHalfToOne) {
  dialog_.setPalette(QPalette(QColor(45, 45, 48)));
  dialog_.show();
  QApplication::setActiveWindow(&dialog_);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
  for (const char* state : {"normal", "visited", "hovering", "focused"}) {
    HyperlinkStatic& link = MakeAttachedLink();
    link.show();
    link.SetVisitedState(std::string(state) == "visited");
    PutCursorInside(link);
    if (std::string(state) == "hovering") link.OnMouseMove();
    if (std::string(state) == "focused") {
      link.setFocus();
      ASSERT_TRUE(QTest::qWaitFor([&link] { return link.hasFocus(); }, 5000));
    }
    const QImage image = link.grab().toImage();
    const QColor background = link.palette().color(QPalette::Button);
    qreal weakest = 21;
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
      // The focus mark runs along the edges; text stays inside them.
      if (std::string(state) == "focused" && y != 0) continue;
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y) != background) {
          weakest = std::min(weakest, ContrastRatio(image.pixelColor(x, y), background));
          ++ink;
        }
      }
    }
    EXPECT_GT(ink, 0) << state;
    EXPECT_GE(weakest, 4.5) << state;
    delete &link;
  }
}

struct UnderlineCase {
  const char* name;
  HyperlinkStatic::UnderlineMode mode;
  bool underlinedWhileHovering;
  bool underlinedAfterHover;
};

class HyperlinkUnderlineTest : public HyperlinkStaticTest, public ::testing::WithParamInterface<UnderlineCase> {};

TEST_P(HyperlinkUnderlineTest, HoverEntryAndExitSelectTheFontOfTheMode) {
  HyperlinkStatic& link = MakeAttachedLink();
  link.SetUnderlineMode(GetParam().mode);
  PutCursorInside(link);

  link.OnMouseMove();
  EXPECT_EQ(link.font().underline(), GetParam().underlinedWhileHovering);

  PutCursorOutside(link);
  link.OnTimer();
  EXPECT_EQ(link.font().underline(), GetParam().underlinedAfterHover);
}

INSTANTIATE_TEST_SUITE_P(Modes, HyperlinkUnderlineTest,
                         ::testing::Values(UnderlineCase{"OnHover", HyperlinkStatic::UnderlineOnHover, true, false},
                                           UnderlineCase{"Never", HyperlinkStatic::UnderlineNever, false, false},
                                           UnderlineCase{"Always", HyperlinkStatic::UnderlineAlways, true, true}),
                         RowName<UnderlineCase>);

class HyperlinkRepaintTest : public HyperlinkStaticTest {
 protected:
  // Paint events that follow the call, once the link is on screen.
  template <class Call>
  int PaintsAfter(HyperlinkStatic& link, Call call) {
    dialog_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
    QApplication::processEvents();
    PaintCounter counter(link);
    call();
    QApplication::processEvents();
    return counter.Count();
  }
};

TEST_F(HyperlinkRepaintTest, SettingTheCurrentUnderlineModeRepaintsNothing) {
  HyperlinkStatic& link = MakeAttachedLink();
  EXPECT_EQ(PaintsAfter(link, [&link] { link.SetUnderlineMode(HyperlinkStatic::UnderlineOnHover); }), 0);
  EXPECT_GT(PaintsAfter(link, [&link] { link.SetUnderlineMode(HyperlinkStatic::UnderlineAlways); }), 0);
  EXPECT_TRUE(link.font().underline());
}

TEST_F(HyperlinkRepaintTest, SettingTheCurrentVisitedStateStillRepaints) {
  HyperlinkStatic& link = MakeAttachedLink();
  EXPECT_GT(PaintsAfter(link, [&link] { link.SetVisitedState(false); }), 0);
}

struct FitCase {
  const char* name;
  Qt::Alignment alignment;
  bool framed;
  // The label's rectangle and the one expected after fitting, from the size of
  // its text in the underlined font.
  std::function<QRect(QSize text)> before;
  std::function<QRect(QSize text)> after;
};

class HyperlinkFitTest : public HyperlinkStaticTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(HyperlinkFitTest, TheLinkTakesTheSizeOfItsText) {
  const QString label = QStringLiteral("Visit us at :- www.quorvandel.example");
  QFont underlined = dialog_.font();
  underlined.setUnderline(true);
  const QFontMetricsF metrics(underlined);
  const QSize text(static_cast<int>(std::ceil(metrics.horizontalAdvance(label))),
                   static_cast<int>(std::ceil(metrics.height())));
  HyperlinkStatic& link = MakeLink(label, GetParam().before(text), GetParam().alignment);
  if (GetParam().framed) {
    link.setFrameStyle(QFrame::Box | QFrame::Plain);
  }

  link.Attach();

  EXPECT_EQ(link.geometry(), GetParam().after(text));
}

INSTANTIATE_TEST_SUITE_P(
    Alignments, HyperlinkFitTest,
    ::testing::Values(FitCase{"LeftKeepsLeftAndTop", Qt::AlignLeft | Qt::AlignTop, false,
                              [](QSize) { return QRect(20, 30, 300, 16); },
                              [](QSize text) { return QRect(20, 30, text.width(), text.height()); }},
                      FitCase{"RightKeepsRight", Qt::AlignRight | Qt::AlignTop, false,
                              [](QSize) { return QRect(20, 30, 300, 16); },
                              [](QSize text) { return QRect(320 - text.width(), 30, text.width(), text.height()); }},
                      // 59 pixels to spare: 29 on each side, the odd one stays.
                      FitCase{"CentredInsetsHalfTheDifference", Qt::AlignHCenter | Qt::AlignTop, false,
                              [](QSize text) { return QRect(20, 30, text.width() + 59, 16); },
                              [](QSize text) { return QRect(49, 30, text.width() + 1, text.height()); }},
                      FitCase{"CentredGrowsAboutTheMiddle", Qt::AlignHCenter | Qt::AlignTop, false,
                              [](QSize text) { return QRect(100, 30, text.width() - 10, 16); },
                              [](QSize text) { return QRect(95, 30, text.width(), text.height()); }},
                      FitCase{"VerticallyCentred", Qt::AlignLeft | Qt::AlignVCenter, false,
                              [](QSize text) { return QRect(20, 30, 300, text.height() + 9); },
                              [](QSize text) { return QRect(20, 34, text.width(), text.height() + 1); }},
                      FitCase{"FrameIsKept", Qt::AlignLeft | Qt::AlignTop, true,
                              [](QSize) { return QRect(20, 30, 300, 40); },
                              [](QSize text) { return QRect(20, 30, text.width() + 2, text.height() + 2); }}),
    RowName<FitCase>);

TEST_F(HyperlinkStaticTest, SetTargetRefitsToTheLabelNotTheTarget) {
  HyperlinkStatic& link = MakeAttachedLink();
  const QRect fitted = link.geometry();
  link.setGeometry(fitted.adjusted(0, 0, 50, 0));

  link.SetTarget(QString::fromLatin1(kTarget));

  EXPECT_EQ(link.geometry(), fitted);
}

TEST_F(HyperlinkStaticTest, HoverEndsOnlyWhenTheTimerFindsTheCursorOutside) {
  HyperlinkStatic& link = MakeAttachedLink();
  PutCursorInside(link);
  link.OnMouseMove();
  EXPECT_TRUE(link.IsHovering());
  EXPECT_TRUE(link.IsHoverTimerActive());

  // Leaving is not what ends the hover; the next tick is.
  PutCursorOutside(link);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&link, &leave);
  EXPECT_TRUE(link.IsHovering());

  // Back before the tick: nothing happened.
  PutCursorInside(link);
  link.OnTimer();
  EXPECT_TRUE(link.IsHovering());
  EXPECT_EQ(link.CtlColor(), link.HoverColor());

  PutCursorOutside(link);
  link.OnTimer();
  EXPECT_FALSE(link.IsHovering());
  EXPECT_FALSE(link.IsHoverTimerActive());
  EXPECT_EQ(link.CtlColor(), link.LinkColor());
}

TEST_F(HyperlinkStaticTest, MouseMovesStartTheHoverAndTheTimerEndsIt) {
  HyperlinkStatic& link = MakeAttachedLink();
  const QPointF inside(2, 2);
  PutCursorInside(link);
  QMouseEvent move(QEvent::MouseMove, inside, link.mapToGlobal(inside), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&link, &move);
  EXPECT_TRUE(link.IsHovering());

  PutCursorOutside(link);
  EXPECT_TRUE(QTest::qWaitFor([&link] { return !link.IsHovering(); }, 2000));
}

class HyperlinkClickTest : public HyperlinkStaticTest {
 protected:
  HyperlinkStatic& MakeTargetedLink() {
    HyperlinkStatic& link = MakeAttachedLink();
    link.SetTarget(QString::fromLatin1(kTarget));
    return link;
  }

  static void Click(HyperlinkStatic& link) {
    const QPointF inside(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, inside, link.mapToGlobal(inside), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&link, &press);
  }

  static QString Opened() { return QStringLiteral("OpenUrl ") + QString::fromLatin1(kTarget); }
};

TEST_F(HyperlinkClickTest, ASuccessfulClickOpensTheTargetAndMarksTheLinkVisited) {
  HyperlinkStatic& link = MakeTargetedLink();
  PutCursorInside(link);
  link.OnMouseMove();

  Click(link);

  EXPECT_EQ(launcher_.Calls(), QStringList{Opened()});
  EXPECT_TRUE(link.IsVisited());
  // The click ends the hover colour at once; the underline and the timer wait for the next tick.
  EXPECT_EQ(link.CtlColor(), link.VisitedColor());
  EXPECT_TRUE(link.font().underline());
  EXPECT_TRUE(link.IsHoverTimerActive());
  EXPECT_TRUE(dialogs_.Unused());
}

TEST_F(HyperlinkClickTest, ALaterFailureUnvisitsTheLinkAndExplainsTheCodeAfterABeep) {
  HyperlinkStatic& link = MakeTargetedLink();
  Click(link);
  ASSERT_TRUE(link.IsVisited());
  launcher_.SetOpenUrlResult(2);
  QStringList callsWhenShown;
  dialogs_.OnMessageBox([this, &callsWhenShown](const auto&) { callsWhenShown = launcher_.Calls(); });

  Click(link);

  EXPECT_FALSE(link.IsVisited());
  EXPECT_EQ(link.CtlColor(), link.LinkColor());
  const QStringList expectedCalls{Opened(), Opened(), QStringLiteral("HtmlHandlerCommand"), QStringLiteral("Beep")};
  EXPECT_EQ(callsWhenShown, expectedCalls);
  ASSERT_EQ(dialogs_.MessageBoxes().size(), 1u);
  const ScriptedDialogs::MessageBoxCall& box = dialogs_.MessageBoxes().front();
  EXPECT_EQ(box.text, QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."));
  EXPECT_EQ(box.title, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
  EXPECT_EQ(box.icon, Dialogs::Icon::kExclamation);
  EXPECT_EQ(box.buttons, Dialogs::Buttons::kOk);
  EXPECT_EQ(box.owner, &dialog_);
}

TEST_F(HyperlinkClickTest, WhenTheOpenerFailsTheHtmlHandlerOpensTheTarget) {
  HyperlinkStatic& link = MakeTargetedLink();
  launcher_.SetOpenUrlResult(31);
  launcher_.SetHtmlHandlerCommand(QStringLiteral("/opt/browser/bin/browser \"%u\""));

  link.OnLinkClicked();

  const QStringList expectedCalls{
      Opened(), QStringLiteral("HtmlHandlerCommand"),
      QStringLiteral("StartProgram /opt/browser/bin/browser  ") + QString::fromLatin1(kTarget)};
  EXPECT_EQ(launcher_.Calls(), expectedCalls);
  EXPECT_TRUE(link.IsVisited());
  EXPECT_TRUE(dialogs_.Unused());
}

TEST_F(HyperlinkClickTest, ADoubleClickOrAClickWhileTheOpenerRunsOpensOnce) {
  HyperlinkStatic& link = MakeTargetedLink();
  const QPoint inside(2, 2);
  // What a double-click delivers to a widget: a click, then the double-click.
  QTest::mouseClick(&link, Qt::LeftButton, Qt::NoModifier, inside);
  QTest::mouseDClick(&link, Qt::LeftButton, Qt::NoModifier, inside);
  ASSERT_EQ(launcher_.Calls(), QStringList{Opened()});

  launcher_.SetOpenUrlDelay(100);
  launcher_.SetOpenUrlResult(2);
  QTest::mouseClick(&link, Qt::LeftButton, Qt::NoModifier, inside);
  QTest::mouseClick(&link, Qt::LeftButton, Qt::NoModifier, inside);

  EXPECT_TRUE(link.IsOpening()) << "the click waited for the opener";
  EXPECT_TRUE(dialogs_.Unused());
  ASSERT_TRUE(QTest::qWaitFor([&link] { return !link.IsOpening(); }, 5000));
  const QStringList expectedCalls{Opened(), Opened(), QStringLiteral("HtmlHandlerCommand"), QStringLiteral("Beep")};
  EXPECT_EQ(launcher_.Calls(), expectedCalls);
  EXPECT_EQ(dialogs_.MessageBoxes().size(), 1u) << "the opener's error arrived within the wait";
}

struct FailureCase {
  const char* name;
  int openerResult;
  std::optional<QString> handler;
  int handlerResult;
  const char* explanation;
};

class HyperlinkFailureTest : public HyperlinkClickTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(HyperlinkFailureTest, TheMessageExplainsTheCodeOfTheLastStep) {
  HyperlinkStatic& link = MakeTargetedLink();
  launcher_.SetOpenUrlResult(GetParam().openerResult);
  launcher_.SetHtmlHandlerCommand(GetParam().handler);
  launcher_.SetStartProgramResult(GetParam().handlerResult);

  link.OnLinkClicked();

  EXPECT_FALSE(link.IsVisited());
  ASSERT_EQ(dialogs_.MessageBoxes().size(), 1u);
  EXPECT_EQ(dialogs_.MessageBoxes().front().text,
            QStringLiteral("Unable to open hyperlink:\n\n") + QString::fromLatin1(GetParam().explanation));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, HyperlinkFailureTest,
    ::testing::Values(FailureCase{"NoHandlerGivesTheOpenersCode", 31, std::nullopt, 0,
                                  "There is no application associated\nwith the given filename extension."},
                      FailureCase{"HandlerReportsFolderMissing", 2, QStringLiteral("/gone/browser %u"), 3,
                                  "The specified path was not found."},
                      FailureCase{"HandlerReportsBadProgram", 2, QStringLiteral("/etc/hosts %u"), 11,
                                  "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
                      FailureCase{"Code1IsUnknown", 1, std::nullopt, 0, "Unknown Error (1) occurred."},
                      FailureCase{"Code4IsUnknown", 4, std::nullopt, 0, "Unknown Error (4) occurred."},
                      FailureCase{"Code26KeepsItsTrailingBlank", 26, std::nullopt, 0, "A sharing violation occurred. "},
                      FailureCase{"Code0IsOutOfResources", 0, std::nullopt, 0,
                                  "The operating system is out\nof memory or resources."},
                      FailureCase{"NegativeCodeIsUnknown", -7, std::nullopt, 0, "Unknown Error (-7) occurred."}),
    RowName<FailureCase>);

struct CommandCase {
  const char* name;
  const char* handler;
  const char* target;
  const char* command;
};

class FallbackCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(FallbackCommandTest, TheTargetTakesThePlaceOfTheFirstFieldCode) {
  EXPECT_EQ(HyperlinkStatic::BuildFallbackCommand(QString::fromLatin1(GetParam().handler),
                                                  QString::fromLatin1(GetParam().target)),
            QString::fromLatin1(GetParam().command));
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, FallbackCommandTest,
    ::testing::Values(
        CommandCase{"QuotedCodeLeavesTwoBlanks", "browser \"%u\"", "http://a.example/", "browser  http://a.example/"},
        CommandCase{"BareCodeIsCutAtThePercentSign", "browser --new-window %U --private", "http://a.example/",
                    "browser --new-window  http://a.example/"},
        CommandCase{"NoCodeKeepsTheWholeLine", "browser --new-window", "http://a.example/",
                    "browser --new-window http://a.example/"},
        CommandCase{"QuotedCodeWinsOverAnEarlierBareOne", "viewer %f \"%u\"", "http://a.example/",
                    "viewer %f  http://a.example/"},
        CommandCase{"FileCodesCountToo", "viewer %F", "http://a.example/", "viewer  http://a.example/"},
        CommandCase{"EscapedPercentIsNoCode", "browser --x=%%u %u", "http://a.example/",
                    "browser --x=%%u  http://a.example/"},
        CommandCase{"OtherCodesStay", "browser %i %u", "http://a.example/", "browser %i  http://a.example/"},
        CommandCase{"TargetThatWouldSplitIsQuoted", "browser %u", "http://a.example/a b\"$",
                    "browser  \"http://a.example/a b\\\"\\$\""}),
    RowName<CommandCase>);

}  // namespace
}  // namespace tessaglyph
