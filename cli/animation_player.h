#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "decode/frame_sequence_opener.h"
#include "render/text_renderer.h"
#include "render/text_size.h"

namespace tessaglyph {

// Plays an animated picture in place on a terminal: each frame's text is
// drawn over the one before by moving the cursor back to the picture's first
// line and rewriting only the lines that changed, and the frame's delay is
// slept away. The cursor is hidden while playing; it is shown again and the
// colours reset when the animation ends, when the terminal goes away, and on
// SIGINT, SIGTERM or SIGHUP (after which the signal ends the program as it
// would have), and before Ctrl-Z stops it (after fg the frames go on below
// what the shell printed). The frames are composed again for each loop, so memory holds
// one canvas and two frames' text.
class AnimationPlayer {
 public:
  // A frame asking for less than this shows for kShortDelayMs instead, as
  // browsers do: many files say 0 and mean "soon".
  static constexpr std::uint32_t kLeastDelayMs = 20;
  static constexpr std::uint32_t kShortDelayMs = 100;
  // The error when the terminal can no longer be written.
  static constexpr const char* kTerminalGone = "the terminal went away";

  // The text's size for a picture of width x height pixels.
  using SizeFor = std::function<TextSize(std::int32_t width, std::int32_t height)>;

  // fd: the terminal, which stays open; the renderer must end lines with LF.
  AnimationPlayer(int fd, const TextRenderer& renderer, SizeFor sizeFor);

  // Opens the animation's frames from their start, once for each loop.
  using Opener = std::function<OpenedFrames()>;

  // Plays the animation open gives loops times (0: for ever; none: as the
  // file says). False with error set when the picture or the terminal
  // fails; a damaged later frame ends the animation with warning set.
  bool Play(const Opener& open, std::optional<std::uint32_t> loops, std::string& warning, std::string& error);

 private:
  bool PlayOnce(const Opener& open, std::uint32_t& fileLoops, bool& stop, std::string& warning, std::string& error);
  bool Draw(const std::string& text);
  bool WriteAll(std::string_view bytes);

  int fd_;
  const TextRenderer& renderer_;
  SizeFor sizeFor_;
  std::vector<std::string> shown_;  // the lines on the terminal now
};

}  // namespace tessaglyph
