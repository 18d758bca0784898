#include "xdg_launcher.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tessaglyph {
namespace {

// Failures on the scale the hyperlink's error message explains.
constexpr int kUnknownFailure = 1;
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kBadFormat = 11;
constexpr int kAssociationIncomplete = 27;
constexpr int kNoAssociation = 31;

constexpr char kDesktopEntryGroup[] = "Desktop Entry";
constexpr char kDefaultApplicationsGroup[] = "Default Applications";
constexpr char kAddedAssociationsGroup[] = "Added Associations";
constexpr char kRemovedAssociationsGroup[] = "Removed Associations";

// xdg-open's documented exit codes.
int ResultOfOpenerExit(int exitCode) {
  switch (exitCode) {
    case 0:
      return XdgLauncher::kStarted;
    case 2:  // a file named on its command line does not exist
      return kFileNotFound;
    case 3:  // no tool to open this kind of target
      return kNoAssociation;
    case 4:  // the handler it chose failed
      return kAssociationIncomplete;
    default:  // 1, its syntax error, and whatever a wrapper may return
      return kUnknownFailure;
  }
}

// The base folders ignore relative paths: they would depend on the working folder.
QString AbsoluteFolderOr(const char* variable, const QString& fallback) {
  const QString value = qEnvironmentVariable(variable);
  return QDir::isAbsolutePath(value) ? value : fallback;
}

QStringList AbsoluteFoldersOr(const char* variable, const QStringList& fallback) {
  QStringList folders;
  for (const QString& folder : qEnvironmentVariable(variable).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    if (QDir::isAbsolutePath(folder)) {
      folders << folder;
    }
  }
  return folders.isEmpty() ? fallback : folders;
}

QStringList ConfigFolders() {
  return QStringList{AbsoluteFolderOr("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"))} +
         AbsoluteFoldersOr("XDG_CONFIG_DIRS", {QStringLiteral("/etc/xdg")});
}

QStringList ApplicationFolders() {
  const QString applications = QStringLiteral("/applications");
  QStringList folders{AbsoluteFolderOr("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share")) +
                      applications};
  for (const QString& folder :
       AbsoluteFoldersOr("XDG_DATA_DIRS", {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")})) {
    folders << folder + applications;
  }
  return folders;
}

QStringList CurrentDesktops() {
  QStringList desktops;
  for (const QString& name : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    desktops << name.toLower();
  }
  return desktops;
}

// The groups of a desktop entry or mimeapps.list file: group -> key -> value.
// A repeated key keeps its first value.
using KeyFile = QHash<QString, QHash<QString, QString>>;

KeyFile ReadKeyFile(const QString& path) {
  KeyFile groups;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    return groups;
  }
  QString group;
  for (const QString& rawLine : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
    const QString line = rawLine.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
      continue;
    }
    if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
      group = line.mid(1, line.size() - 2);
      continue;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (group.isEmpty() || equals <= 0) {
      continue;
    }
    QHash<QString, QString>& keys = groups[group];
    const QString key = line.left(equals).trimmed();
    if (!keys.contains(key)) {
      keys.insert(key, line.mid(equals + 1).trimmed());
    }
  }
  return groups;
}

// Undoes the escapes every string value of a key file may hold.
QString UnescapeStringValue(const QString& value) {
  QString text;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
      text += value[i];
      continue;
    }
    switch (value[i + 1].unicode()) {
      case 's':
        text += QLatin1Char(' ');
        break;
      case 'n':
        text += QLatin1Char('\n');
        break;
      case 't':
        text += QLatin1Char('\t');
        break;
      case 'r':
        text += QLatin1Char('\r');
        break;
      case '\\':
        text += QLatin1Char('\\');
        break;
      default:
        // Not a string escape: the Exec quoting rules still need it.
        text += value[i];
        continue;
    }
    ++i;
  }
  return text;
}

// Desktop file id "vendor-app.desktop" may also live at vendor/app.desktop.
QString FindDesktopFile(const QString& folder, const QString& id) {
  const QString direct = folder + QLatin1Char('/') + id;
  if (QFileInfo(direct).isFile()) {
    return direct;
  }
  for (qsizetype dash = id.indexOf(QLatin1Char('-'), 1); dash > 0; dash = id.indexOf(QLatin1Char('-'), dash + 1)) {
    const QString subfolder = folder + QLatin1Char('/') + id.left(dash);
    if (!QFileInfo(subfolder).isDir()) {
      continue;
    }
    QString found = FindDesktopFile(subfolder, id.mid(dash + 1));
    if (!found.isEmpty()) {
      return found;
    }
  }
  return {};
}

// The Exec line of an installed application. The first folder that holds the
// id decides, even when its entry is hidden: that is how a user removes an
// application the system installed.
std::optional<QString> InstalledCommand(const QString& id) {
  if (id.contains(QLatin1Char('/'))) {
    return std::nullopt;
  }
  for (const QString& folder : ApplicationFolders()) {
    const QString path = FindDesktopFile(folder, id);
    if (path.isEmpty()) {
      continue;
    }
    const QHash<QString, QString> entry = ReadKeyFile(path).value(QLatin1String(kDesktopEntryGroup));
    const QString exec = entry.value(QStringLiteral("Exec"));
    if (entry.value(QStringLiteral("Hidden")) == QLatin1String("true") || exec.isEmpty()) {
      return std::nullopt;
    }
    return UnescapeStringValue(exec);
  }
  return std::nullopt;
}

struct MimeAppsList {
  KeyFile groups;
  // Desktop-specific lists may only name defaults.
  bool desktopSpecific = false;
};

// Every mimeapps.list, the most important first; missing files are empty.
std::vector<MimeAppsList> ReadMimeAppsLists() {
  std::vector<MimeAppsList> lists;
  const QStringList desktops = CurrentDesktops();
  for (const QString& folder : ConfigFolders() + ApplicationFolders()) {
    for (const QString& desktop : desktops) {
      lists.push_back({ReadKeyFile(folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list")), true});
    }
    lists.push_back({ReadKeyFile(folder + QStringLiteral("/mimeapps.list")), false});
  }
  return lists;
}

QStringList DesktopIds(const MimeAppsList& list, const char* group, const QString& mimeType) {
  QStringList ids;
  for (const QString& id : list.groups.value(QLatin1String(group)).value(mimeType).split(QLatin1Char(';'))) {
    if (!id.trimmed().isEmpty()) {
      ids << id.trimmed();
    }
  }
  return ids;
}

// The program's path, or the code that explains why it cannot be started.
struct ResolvedProgram {
  QString path;
  int error = 0;
};

ResolvedProgram ResolveProgram(const QString& program) {
  if (!program.contains(QLatin1Char('/'))) {
    const QString found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? ResolvedProgram{{}, kFileNotFound} : ResolvedProgram{found};
  }
  const QFileInfo info(program);
  if (!info.exists()) {
    return {{}, info.dir().exists() ? kFileNotFound : kPathNotFound};
  }
  if (!info.isFile() || !info.isExecutable()) {
    return {{}, kBadFormat};
  }
  return {info.absoluteFilePath()};
}

bool IsArgumentSeparator(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n'); }

bool IsQuotedEscape(QChar c) {
  return c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\');
}

}  // namespace

XdgLauncher::XdgLauncher(QString opener, int openerWaitMs) : opener_(std::move(opener)), openerWaitMs_(openerWaitMs) {}

void XdgLauncher::OpenUrl(const QString& target, QObject& receiver, ResultHandler done) {
  // Deleting a running QProcess kills it, and the browser with it: the opener
  // has no parent and deletes itself whenever it ends, answered or not.
  auto* opener = new QProcess();
  opener->setProgram(opener_);
  opener->setArguments({target});
  // Nothing reads its output: a pipe left to fill would stall the browser it starts.
  opener->setProcessChannelMode(QProcess::ForwardedChannels);
  opener->setStandardInputFile(QProcess::nullDevice());
  auto* wait = new QTimer(opener);
  wait->setSingleShot(true);

  // Whichever of ending, failing to start and the wait's end comes first answers.
  const auto answer = [receiver = QPointer<QObject>(&receiver), done = std::make_shared<ResultHandler>(std::move(done)),
                       wait](int result) {
    wait->stop();
    ResultHandler handler = std::exchange(*done, nullptr);
    if (handler && receiver) {
      handler(result);
    }
  };
  QObject::connect(wait, &QTimer::timeout, opener, [answer] { answer(kStarted); });
  QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, answer](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
      // Without the desktop's opener nothing is associated with URLs at all;
      // "file not found" would leave the user asking which file.
      answer(kNoAssociation);
      opener->deleteLater();
    }
  });
  QObject::connect(opener, &QProcess::finished, opener,
                   [opener, answer](int exitCode, QProcess::ExitStatus status) {
                     answer(status == QProcess::CrashExit ? kUnknownFailure : ResultOfOpenerExit(exitCode));
                     opener->deleteLater();
                   });
  wait->start(openerWaitMs_);
  opener->start();
}

std::optional<QString> XdgLauncher::HtmlHandlerCommand() {
  return DefaultApplicationCommand(QStringLiteral("text/html"));
}

int XdgLauncher::StartProgram(const QString& commandLine) {
  std::optional<QStringList> words = SplitCommandLine(commandLine);
  if (!words) {
    return kAssociationIncomplete;
  }
  if (words->isEmpty()) {
    return kFileNotFound;
  }
  const ResolvedProgram program = ResolveProgram(words->takeFirst());
  if (program.error != 0) {
    return program.error;
  }
  // Resolution found an executable file; only a file the system cannot run fails here.
  return QProcess::startDetached(program.path, *words) ? kStarted : kBadFormat;
}

void XdgLauncher::Beep() { QApplication::beep(); }

std::optional<QString> XdgLauncher::DefaultApplicationCommand(const QString& mimeType) {
  const std::vector<MimeAppsList> lists = ReadMimeAppsLists();
  for (const MimeAppsList& list : lists) {
    for (const QString& id : DesktopIds(list, kDefaultApplicationsGroup, mimeType)) {
      if (std::optional<QString> command = InstalledCommand(id)) {
        return command;
      }
    }
  }
  QSet<QString> removed;
  for (const MimeAppsList& list : lists) {
    if (list.desktopSpecific) {
      continue;
    }
    for (const QString& id : DesktopIds(list, kAddedAssociationsGroup, mimeType)) {
      if (removed.contains(id)) {
        continue;
      }
      if (std::optional<QString> command = InstalledCommand(id)) {
        return command;
      }
    }
    for (const QString& id : DesktopIds(list, kRemovedAssociationsGroup, mimeType)) {
      removed.insert(id);
    }
  }
  return std::nullopt;
}

std::optional<QStringList> XdgLauncher::SplitCommandLine(const QString& commandLine) {
  QStringList words;
  QString word;
  bool inWord = false;
  bool quoted = false;
  for (qsizetype i = 0; i < commandLine.size(); ++i) {
    const QChar c = commandLine[i];
    if (quoted) {
      if (c == QLatin1Char('\\') && i + 1 < commandLine.size() && IsQuotedEscape(commandLine[i + 1])) {
        word += commandLine[++i];
      } else if (c == QLatin1Char('"')) {
        quoted = false;
      } else {
        word += c;
      }
    } else if (IsArgumentSeparator(c)) {
      if (inWord) {
        words << word;
        word.clear();
        inWord = false;
      }
    } else {
      inWord = true;
      if (c == QLatin1Char('"')) {
        quoted = true;
      } else {
        word += c;
      }
    }
  }
  if (quoted) {
    return std::nullopt;
  }
  if (inWord) {
    words << word;
  }
  return words;
}

}  // namespace tessaglyph
