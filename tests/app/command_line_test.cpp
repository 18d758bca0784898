#include <gtest/gtest.h>

#include "command_line.h"
#include "tessaglyph_version.h"

namespace tessaglyph {
namespace {

TEST(CommandLineTest, ReadsHelpVersionOptionsAndThePicture) {
  using Action = CommandLine::Action;
  const struct {
    QStringList arguments;
    Action action;
    std::optional<QString> picture;
  } rows[] = {
      {{}, Action::kRunWindow, std::nullopt},
      {{"--help"}, Action::kShowHelp, std::nullopt},
      {{"photo.jpg", "-h"}, Action::kShowHelp, std::nullopt},
      {{"--version"}, Action::kShowVersion, std::nullopt},
      {{"--", "--version"}, Action::kRunWindow, "--version"},
      {{"--", "-h", "b.jpg"}, Action::kRunWindow, "-h"},
      {{"-"}, Action::kRunWindow, "-"},
      {{"-platform", "offscreen", "a.jpg", "b.jpg"}, Action::kRunWindow, "a.jpg"},
      {{"--style=fusion", "-reverse", "file:///tmp/a%20b.jpg"}, Action::kRunWindow, "file:///tmp/a%20b.jpg"},
      {{"--bogus", "--help"}, Action::kWrong, std::nullopt},
      {{"-x"}, Action::kWrong, std::nullopt},
  };
  for (const auto& row : rows) {
    const CommandLine line = CommandLine::Parse(QStringList{"tessaglyph"} + row.arguments);
    const std::string name = row.arguments.join(' ').toStdString();
    EXPECT_EQ(line.action, row.action) << name;
    if (row.action == Action::kRunWindow) {
      EXPECT_EQ(line.picture, row.picture) << name;
    }
    if (row.action == Action::kWrong) {
      EXPECT_EQ(line.error, "tessaglyph: unknown option '" + row.arguments.first() +
                                "'\nTry 'tessaglyph --help' for more information.");
    }
  }
  EXPECT_EQ(CommandLine::VersionLine(), "tessaglyph " TESSAGLYPH_VERSION_TEXT "\n");
}

}  // namespace
}  // namespace tessaglyph
