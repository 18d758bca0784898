#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "picture/pixel_source.h"
#include "render/character_ramp.h"

namespace tessaglyph {

// Writes a row of pixels as one-byte ramp characters, the hot loop of
// full-size text. A ramp of at most 16 distinct runs of characters is looked
// up 32 pixels at a time in vector registers where the processor has them;
// any other ramp goes through the per-sum table.
class RampRow {
 public:
  // ramp.SingleBytes() must hold.
  explicit RampRow(const CharacterRamp& ramp);

  // Red and blue are added in one step: with green masked out they sit 16
  // bits apart, so folding the word onto itself puts red + blue in the low
  // bits.
  static constexpr std::uint32_t SumOf(Pixel32 p) {
    const std::uint32_t redAndBlue = p & 0x00FF00FFu;
    return ((redAndBlue + (redAndBlue >> 16)) & 0x3FFu) + ((p >> 8) & 0xFFu);
  }

  // Fills text[0 .. columns-1]; true when every pixel is fully opaque.
  bool Write(const Pixel32* row, std::size_t columns, char* text) const;

  // The same for a row of opaque pixels stored as blue, green, red bytes,
  // read straight from a file's bytes.
  void WriteBgr(const std::uint8_t* bgr, std::size_t columns, char* text) const;

 private:
  static constexpr std::size_t kMaxRuns = 16;

  bool FindRuns();
  void FindEvenRuns();

  const char* byteOfSum_;
  // Run k covers the sums from firstSum_[k]; its character is runByte_[k].
  std::array<std::int16_t, kMaxRuns> firstSum_{};
  std::array<char, kMaxRuns> runByte_{};
  std::size_t runs_ = 0;
  // Where the runs after the first are equally wide (the bands), a run's
  // index is (sum - evenStart_) * evenReciprocal_ >> 16, at least 0 and at
  // most runs_ - 1: one multiplication instead of a comparison per run.
  std::uint16_t evenStart_ = 0;
  std::uint16_t evenReciprocal_ = 0;
  bool vectors_ = false;
};

}  // namespace tessaglyph
