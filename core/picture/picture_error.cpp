#include "picture/picture_error.h"

#include <system_error>
#include <utility>

namespace tessaglyph {

PictureError PictureError::NotAPicture(bool empty) {
  return {PictureErrorKind::kNotThisFormat, empty ? "empty file" : "not a BMP, JPEG, GIF, PNG or WebP picture"};
}

PictureError PictureError::Damaged(const std::string& format, const std::string& what) {
  return {PictureErrorKind::kDamaged, "damaged " + format + ": " + what};
}

PictureError PictureError::OverPixelLimit(const std::string& format, std::uint64_t width, std::uint64_t height,
                                          std::uint64_t maxPixels) {
  return {PictureErrorKind::kOverLimit, format + " too large: " + std::to_string(width) + "x" +
                                            std::to_string(height) + " pixels exceeds the limit of " +
                                            std::to_string(maxPixels)};
}

PictureError PictureError::OverLimit(std::string sentence) { return {PictureErrorKind::kOverLimit, std::move(sentence)}; }

PictureError PictureError::OutOfMemory(const std::string& what) {
  return {PictureErrorKind::kOutOfMemory, "not enough memory for " + what};
}

PictureError PictureError::CannotRead(const std::string& what, int errorNumber) {
  return {PictureErrorKind::kCannotRead, what + ": " + ErrnoText(errorNumber)};
}

PictureError PictureError::CannotRead(std::string sentence) {
  return {PictureErrorKind::kCannotRead, std::move(sentence)};
}

PictureError PictureError::Cancelled() { return {PictureErrorKind::kCancelled, "cancelled"}; }

// std::system_category's message goes through strerror_r, unlike strerror,
// whose buffer is shared by every thread.
std::string ErrnoText(int errorNumber) { return std::system_category().message(errorNumber); }

}  // namespace tessaglyph
