#pragma once

#include <cstdint>
#include <string>

namespace tessaglyph {

// What kind of failure kept a picture from being read: the caller acts on
// the kind (the window words some kinds its own way), the user reads the
// sentence.
enum class PictureErrorKind {
  kNotThisFormat,  // none of the formats the decoders know, or an empty file
  kDamaged,        // recognised, but the data is broken or inconsistent
  kOverLimit,      // larger than the pixel cap or the memory budget allows
  kOutOfMemory,    // within the limits, but the system had no memory for it
  kCannotRead,     // missing, unreadable, a folder, or reading failed
  kCancelled,      // the caller gave up on it
};

// A failure as a kind and one plain-words sentence without a final stop
// ("damaged GIF: the LZW data refers to a code not yet defined"). Each kind
// is worded one way across the formats, by the functions below.
struct PictureError {
  PictureErrorKind kind = PictureErrorKind::kDamaged;
  std::string sentence;

  static PictureError NotAPicture(bool empty);
  // format is the format's name ("JPEG"), what says what is wrong.
  static PictureError Damaged(const std::string& format, const std::string& what);
  static PictureError OverPixelLimit(const std::string& format, std::uint64_t width, std::uint64_t height,
                                     std::uint64_t maxPixels);
  static PictureError OverLimit(std::string sentence);
  // what names the thing that did not fit ("JPEG of 6000x4000 pixels").
  static PictureError OutOfMemory(const std::string& what);
  // errorNumber is an errno value; what names the step ("cannot read").
  static PictureError CannotRead(const std::string& what, int errorNumber);
  static PictureError CannotRead(std::string sentence);
  static PictureError Cancelled();
};

// The system's text for errorNumber, safe to call from any thread.
std::string ErrnoText(int errorNumber);

}  // namespace tessaglyph
