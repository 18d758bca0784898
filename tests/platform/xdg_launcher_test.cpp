#include "xdg_launcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/row_name.h"

namespace tessaglyph {
namespace {

using testing::RowName;

constexpr char kTarget[] = "http://www.quorvandel.example/";

void WriteText(const QString& path, const QString& text) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text.toUtf8());
}

void WriteScript(const QString& path, const QString& body) {
  WriteText(path, QStringLiteral("#!/bin/sh\n") + body);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The launcher runs child processes, which want an application object; the
// suite makes one only if nobody else has.
class LauncherTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (QCoreApplication::instance() == nullptr) {
      application_ = std::make_unique<QCoreApplication>(argc_, argv_);
    }
  }
  static void TearDownTestSuite() { application_.reset(); }

  QString Path(const QString& name) const { return folder_.filePath(name); }

  // Starts the opener and runs the event loop until it answers; -1 when it
  // does not within the deadline.
  static int OpenAndWait(XdgLauncher& launcher) {
    QObject receiver;
    int result = -1;
    launcher.OpenUrl(QString::fromLatin1(kTarget), receiver, [&result](int answer) { result = answer; });
    return QTest::qWaitFor([&result] { return result != -1; }, 10000) ? result : -1;
  }

  QTemporaryDir folder_;

 private:
  static inline int argc_ = 1;
  static inline char name_[15] = "platform_tests";
  static inline char* argv_[2] = {name_, nullptr};
  static inline std::unique_ptr<QCoreApplication> application_;
};

// ---- The URL opener ------------------------------------------------------

struct OpenerCase {
  const char* name;
  const char* script;
  int expected;  // 0: any success
};

class XdgOpenerTest : public LauncherTest, public ::testing::WithParamInterface<OpenerCase> {};

TEST_P(XdgOpenerTest, TheOpenersOutcomeMapsOntoTheResultScale) {
  const QString opener = Path(QStringLiteral("xdg-open"));
  WriteScript(opener, QStringLiteral("printf '%s\\n' \"$@\" > \"%1\"\n%2\n")
                          .arg(Path(QStringLiteral("args")), QString::fromLatin1(GetParam().script)));
  // An opener still running when the wait ends counts as opened, and on a
  // loaded machine a shell can take seconds to start: wait long enough that
  // its exit code is what gets mapped.
  XdgLauncher launcher(opener, 8000);

  const int result = OpenAndWait(launcher);

  if (GetParam().expected == 0) {
    EXPECT_GT(result, 32);
  } else {
    EXPECT_EQ(result, GetParam().expected);
  }
  EXPECT_EQ(ReadText(Path(QStringLiteral("args"))), QString::fromLatin1(kTarget) + QLatin1Char('\n'));
}

INSTANTIATE_TEST_SUITE_P(
    Exits, XdgOpenerTest,
    ::testing::Values(OpenerCase{"Opened", "exit 0", 0}, OpenerCase{"SyntaxErrorIsUnknown", "exit 1", 1},
                      OpenerCase{"NoSuchFile", "exit 2", 2}, OpenerCase{"NoHandlerIsNoAssociation", "exit 3", 31},
                      OpenerCase{"HandlerFailedIsBadAssociation", "exit 4", 27},
                      OpenerCase{"OtherCodeIsUnknown", "exit 77", 1}, OpenerCase{"CrashIsUnknown", "kill -SEGV $$", 1}),
    RowName<OpenerCase>);

TEST_F(LauncherTest, AMissingOpenerIsNoAssociation) {
  XdgLauncher launcher(Path(QStringLiteral("no-such-opener")));
  EXPECT_EQ(OpenAndWait(launcher), 31);
}

TEST_F(LauncherTest, AnOpenerStillRunningAfterTheWaitHasOpenedAndRunsOn) {
  const QString opener = Path(QStringLiteral("xdg-open"));
  const QString stop = Path(QStringLiteral("stop"));
  const QString done = Path(QStringLiteral("done"));
  WriteScript(opener, QStringLiteral("while [ ! -e \"%1\" ]; do sleep 0.05; done\ntouch \"%2\"\n").arg(stop, done));
  constexpr int kWaitMs = 300;
  XdgLauncher launcher(opener, kWaitMs);
  QElapsedTimer clock;
  clock.start();
  QObject receiver;
  int result = -1;
  launcher.OpenUrl(QString::fromLatin1(kTarget), receiver, [&result](int answer) { result = answer; });
  EXPECT_EQ(result, -1) << "the call waited for the opener";
  ASSERT_TRUE(QTest::qWaitFor([&result] { return result != -1; }, 5000));
  EXPECT_GT(result, 32);
  // The launcher did wait. A coarse timer may fire up to 5 % early, and the
  // clock counts whole milliseconds, so only a clearly shorter wait fails.
  EXPECT_GE(clock.elapsed(), kWaitMs * 9 / 10);
  WriteText(stop, QString());
  EXPECT_TRUE(QTest::qWaitFor([&done] { return QFileInfo::exists(done); }, 5000)) << "the opener was killed";
  QTest::qWait(100);
}

TEST_F(LauncherTest, AReceiverGoneBeforeTheOpenerEndsIsNotCalled) {
  const QString opener = Path(QStringLiteral("xdg-open"));
  WriteScript(opener, QStringLiteral("sleep 0.2\nexit 3\n"));
  XdgLauncher launcher(opener);
  bool called = false;
  auto receiver = std::make_unique<QObject>();
  launcher.OpenUrl(QString::fromLatin1(kTarget), *receiver, [&called](int) { called = true; });
  receiver.reset();
  QTest::qWait(600);
  EXPECT_FALSE(called);
}

// ---- Starting the HTML handler -------------------------------------------

struct StartCase {
  const char* name;
  // "@" stands for the test's temporary folder.
  const char* commandLine;
  int expected;
};

class StartProgramTest : public LauncherTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartProgramTest, AProgramThatCannotRunIsExplained) {
  WriteText(Path(QStringLiteral("notes.txt")), QStringLiteral("not a program"));
  XdgLauncher launcher;
  const QString commandLine = QString::fromLatin1(GetParam().commandLine).replace(QLatin1Char('@'), folder_.path());
  EXPECT_EQ(launcher.StartProgram(commandLine), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Failures, StartProgramTest,
                         ::testing::Values(StartCase{"NotOnThePath", "tessaglyph-no-such-browser %s", 2},
                                           StartCase{"MissingFileInAnExistingFolder", "@/browser x", 2},
                                           StartCase{"MissingFolder", "@/gone/browser x", 3},
                                           StartCase{"NotExecutable", "@/notes.txt x", 11},
                                           StartCase{"AFolder", "@ x", 11},
                                           StartCase{"UnclosedQuote", "\"@/browser x", 27},
                                           StartCase{"Blank", "   ", 2}),
                         RowName<StartCase>);

TEST_F(LauncherTest, StartProgramPassesTheSplitArgumentsAndDoesNotWait) {
  const QString program = Path(QStringLiteral("my browser"));
  const QString args = Path(QStringLiteral("args"));
  WriteScript(program, QStringLiteral("printf '%s\\n' \"$@\" > \"%1.part\"\nmv \"%1.part\" \"%1\"\n").arg(args));
  XdgLauncher launcher;

  EXPECT_GT(launcher.StartProgram(QStringLiteral("\"%1\" --new-window  \"a b\"").arg(program)), 32);

  ASSERT_TRUE(QTest::qWaitFor([&args] { return QFileInfo::exists(args); }, 5000));
  EXPECT_EQ(ReadText(args), QStringLiteral("--new-window\na b\n"));
}

struct SplitCase {
  const char* name;
  const char* commandLine;
  std::optional<QStringList> words;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, FollowsTheDesktopEntryQuotingRules) {
  EXPECT_EQ(XdgLauncher::SplitCommandLine(QString::fromLatin1(GetParam().commandLine)), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitCommandLineTest,
    ::testing::Values(SplitCase{"Blanks", "browser --new-window", QStringList{"browser", "--new-window"}},
                      SplitCase{"RunsOfBlanksAndTabs", "  browser  \t a   b ", QStringList{"browser", "a", "b"}},
                      SplitCase{"QuotedProgramPath", "\"/opt/My Browser/run\" x",
                                QStringList{"/opt/My Browser/run", "x"}},
                      SplitCase{"EscapesInsideQuotes", "run \"a \\\"b\\\" \\$c \\\\d \\`e\"",
                                QStringList{"run", "a \"b\" $c \\d `e"}},
                      SplitCase{"EmptyQuotedArgument", "run \"\"", QStringList{"run", ""}},
                      SplitCase{"QuotedPartOfAWord", "run --x=\"a b\"", QStringList{"run", "--x=a b"}},
                      SplitCase{"UnclosedQuote", "run \"open", std::nullopt}, SplitCase{"Empty", "", QStringList{}}),
    RowName<SplitCase>);

// ---- The text/html handler -----------------------------------------------

// Sets the XDG variables for one test and puts the old values back after it.
class ScopedEnvironment {
 public:
  void Set(const char* name, const QString& value) {
    saved_.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    qputenv(name, value.toUtf8());
  }
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        qputenv(it->first, *it->second);
      } else {
        qunsetenv(it->first);
      }
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

struct HandlerCase {
  const char* name;
  const char* currentDesktop;
  // Files under the temporary XDG folders: config (XDG_CONFIG_HOME), etc
  // (XDG_CONFIG_DIRS), data (XDG_DATA_HOME), share1 and share2 (XDG_DATA_DIRS).
  std::vector<std::pair<const char*, const char*>> files;
  std::optional<QString> command;
};

class HtmlHandlerTest : public LauncherTest, public ::testing::WithParamInterface<HandlerCase> {
 protected:
  HtmlHandlerTest() {
    environment_.Set("XDG_CONFIG_HOME", Path(QStringLiteral("config")));
    environment_.Set("XDG_CONFIG_DIRS", Path(QStringLiteral("etc")));
    environment_.Set("XDG_DATA_HOME", Path(QStringLiteral("data")));
    environment_.Set("XDG_DATA_DIRS",
                     Path(QStringLiteral("share1")) + QLatin1Char(':') + Path(QStringLiteral("share2")));
    environment_.Set("XDG_CURRENT_DESKTOP", QString::fromLatin1(GetParam().currentDesktop));
  }

  ScopedEnvironment environment_;
};

TEST_P(HtmlHandlerTest, FindsTheDefaultApplicationsCommand) {
  for (const auto& [name, text] : GetParam().files) {
    WriteText(Path(QString::fromLatin1(name)), QString::fromLatin1(text));
  }
  XdgLauncher launcher;
  EXPECT_EQ(launcher.HtmlHandlerCommand(), GetParam().command);
}

#define ENTRY(exec) "[Desktop Entry]\nType=Application\nName=Browser\nExec=" exec "\n"
#define DEFAULTS(ids) "[Default Applications]\ntext/html=" ids "\n"
#define ADDED(ids) "[Added Associations]\ntext/html=" ids "\n"

INSTANTIATE_TEST_SUITE_P(
    Associations, HtmlHandlerTest,
    ::testing::Values(HandlerCase{"UserDefaultBeatsSystemDefault",
                                  "",
                                  {{"config/mimeapps.list", DEFAULTS("user.desktop;")},
                                   {"share1/applications/mimeapps.list", DEFAULTS("system.desktop")},
                                   {"share1/applications/user.desktop", ENTRY("user-browser %u")},
                                   {"share1/applications/system.desktop", ENTRY("system-browser %u")}},
                                  QStringLiteral("user-browser %u")},
                      HandlerCase{"UninstalledDefaultIsPassedOver",
                                  "",
                                  {{"etc/mimeapps.list", DEFAULTS("gone.desktop;system.desktop;")},
                                   {"share2/applications/system.desktop", ENTRY("system-browser %u")}},
                                  QStringLiteral("system-browser %u")},
                      HandlerCase{"AnyDefaultBeatsAnAddedAssociation",
                                  "",
                                  {{"config/mimeapps.list", ADDED("added.desktop")},
                                   {"data/applications/mimeapps.list", DEFAULTS("system.desktop")},
                                   {"data/applications/added.desktop", ENTRY("added-browser %u")},
                                   {"data/applications/system.desktop", ENTRY("system-browser %u")}},
                                  QStringLiteral("system-browser %u")},
                      HandlerCase{"AddedAssociationWithoutDefault",
                                  "",
                                  {{"share2/applications/mimeapps.list", ADDED("added.desktop")},
                                   {"data/applications/added.desktop", ENTRY("added-browser %u")}},
                                  QStringLiteral("added-browser %u")},
                      HandlerCase{"RemovalHidesALaterAddition",
                                  "",
                                  {{"config/mimeapps.list", "[Removed Associations]\ntext/html=added.desktop\n"},
                                   {"etc/mimeapps.list", ADDED("added.desktop;other.desktop")},
                                   {"data/applications/added.desktop", ENTRY("added-browser %u")},
                                   {"data/applications/other.desktop", ENTRY("other-browser %u")}},
                                  QStringLiteral("other-browser %u")},
                      HandlerCase{"DesktopSpecificListComesFirst",
                                  "Tile:Stack",
                                  {{"config/mimeapps.list", DEFAULTS("user.desktop")},
                                   {"config/stack-mimeapps.list", DEFAULTS("special.desktop")},
                                   {"data/applications/user.desktop", ENTRY("user-browser %u")},
                                   {"data/applications/special.desktop", ENTRY("special-browser %u")}},
                                  QStringLiteral("special-browser %u")},
                      HandlerCase{"DashesMayNameSubfolders",
                                  "",
                                  {{"config/mimeapps.list", DEFAULTS("vendor-web-browser.desktop")},
                                   {"share1/applications/vendor/web-browser.desktop", ENTRY("vendor-browser %U")}},
                                  QStringLiteral("vendor-browser %U")},
                      HandlerCase{"HiddenEntryHidesTheSystemOne",
                                  "",
                                  {{"config/mimeapps.list", DEFAULTS("hidden.desktop;fallback.desktop")},
                                   {"data/applications/hidden.desktop", "[Desktop Entry]\nHidden=true\n"},
                                   {"share1/applications/hidden.desktop", ENTRY("hidden-browser %u")},
                                   {"share1/applications/fallback.desktop", ENTRY("fallback-browser %u")}},
                                  QStringLiteral("fallback-browser %u")},
                      HandlerCase{"StringEscapesAreUndone",
                                  "",
                                  {{"config/mimeapps.list", DEFAULTS("user.desktop")},
                                   {"data/applications/user.desktop", ENTRY("browser\\s\"a\\\\\\\\b\" %u")}},
                                  QStringLiteral("browser \"a\\\\b\" %u")},
                      HandlerCase{"OtherTypesDoNotCount",
                                  "",
                                  {{"config/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n"},
                                   {"data/applications/editor.desktop", ENTRY("editor %f")}},
                                  std::nullopt},
                      HandlerCase{"NoAssociation", "", {}, std::nullopt}),
    RowName<HandlerCase>);

#undef ENTRY
#undef DEFAULTS
#undef ADDED

}  // namespace
}  // namespace tessaglyph
