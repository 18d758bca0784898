#include "render/bgr_rows_writer.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <thread>

namespace tessaglyph {

bool BgrRowsWriter::Write(PixelSource& pixels, ByteSink& out, const std::function<void()>& rowDone) const {
  const std::uint64_t lineBytes = static_cast<std::uint64_t>(std::max(pixels.Width(), 0)) + lineEnding_.size();
  const auto upperLines = static_cast<std::uint64_t>(pixels.Height() / 2);
  // The sink is asked first: a source that gives a second reader has given
  // up reading ahead for it.
  PixelSource* lower = out.TakesSecondWriter() ? pixels.SecondReader() : nullptr;
  ByteSink* lowerOut = lower != nullptr ? out.SecondWriter(upperLines * lineBytes) : nullptr;
  if (lowerOut != nullptr) return WriteHalves(pixels, *lower, out, *lowerOut, rowDone);
  const std::atomic<bool> never{false};
  return WritePart(pixels, 0, pixels.Height(), out, rowDone, never);
}

bool BgrRowsWriter::WritePart(PixelSource& pixels, std::int32_t first, std::int32_t end, ByteSink& out,
                              const std::function<void()>& rowDone, const std::atomic<bool>& quit) const {
  const auto columns = static_cast<std::size_t>(std::max(pixels.Width(), 0));
  std::string line(columns, '\0');
  line.append(lineEnding_);
  for (std::int32_t y = first; y < end; ++y) {
    if (quit.load(std::memory_order_relaxed)) return false;
    if (columns > 0) {
      const std::uint8_t* stored = pixels.BgrRow(y);
      if (stored == nullptr) return false;
      ramp_.WriteBgr(stored, columns, line.data());
    }
    if (!out.Write(line)) return false;
    if (rowDone) rowDone();
  }
  return true;
}

// Whichever half fails first stops the other. The lower half's rows are
// counted on its thread and reported on this one, between this half's rows.
bool BgrRowsWriter::WriteHalves(PixelSource& upper, PixelSource& lower, ByteSink& out, ByteSink& lowerOut,
                                const std::function<void()>& rowDone) const {
  const std::int32_t height = upper.Height();
  const std::int32_t half = height / 2;
  std::atomic<bool> quit{false};
  std::atomic<std::int32_t> lowerRows{0};
  bool lowerWritten = false;
  const auto writeLower = [&] {
    lowerWritten = WritePart(lower, half, height, lowerOut, [&] { lowerRows.fetch_add(1, std::memory_order_relaxed); }, quit);
    if (!lowerWritten) quit = true;
  };
  std::int32_t reported = 0;
  const auto reportLower = [&] {
    for (const std::int32_t done = lowerRows.load(std::memory_order_relaxed); reported < done; ++reported) {
      if (rowDone) rowDone();
    }
  };
  std::thread helper;
  try {
    helper = std::thread(writeLower);
  } catch (const std::system_error&) {
    // No thread: the halves are written one after the other.
  }
  bool upperWritten = false;
  try {
    upperWritten = WritePart(upper, 0, half, out, [&] {
      if (rowDone) rowDone();
      reportLower();
    }, quit);
  } catch (...) {
    quit = true;
    if (helper.joinable()) helper.join();
    throw;
  }
  if (!upperWritten) quit = true;
  if (helper.joinable()) {
    helper.join();
  } else if (upperWritten) {
    writeLower();
  }
  reportLower();
  const bool joined = out.JoinSecondWriter();
  return upperWritten && lowerWritten && joined;
}

}  // namespace tessaglyph
