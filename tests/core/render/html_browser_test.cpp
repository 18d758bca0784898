#include <gtest/gtest.h>
#include <spng.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "picture/working_picture.h"
#include "render/text_renderer.h"
#include "support/test_files.h"

// A page of half blocks as a real browser shows it: every cell's two halves
// in their colours, and rows that stay whole in a window narrower than they
// are.

namespace tessaglyph {
namespace {

constexpr int kColumns = 60, kLines = 6;
constexpr int kWindowWidth = 320, kWindowHeight = 240;

struct FileSink : ByteSink {
  explicit FileSink(const std::string& path) : file(path, std::ios::binary) {}
  bool Write(std::string_view bytes) override { return static_cast<bool>(file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))); }
  std::ofstream file;
};

// Neighbouring halves differ strongly and none is the page's white.
Rgb HalfColour(int x, int row) {
  return {static_cast<std::uint8_t>(x * 97 % 200), static_cast<std::uint8_t>((row * 61 + x * 37) % 200),
          static_cast<std::uint8_t>((x + row) % 2 ? 200 : 40)};
}

struct Screenshot {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
  Rgb At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2]};
  }
};

bool ReadPng(const std::string& path, Screenshot& shot) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> context(spng_ctx_new(0), spng_ctx_free);
  spng_ihdr header{};
  std::size_t size = 0;
  if (bytes.empty() || spng_set_png_buffer(context.get(), bytes.data(), bytes.size()) != 0 ||
      spng_get_ihdr(context.get(), &header) != 0 || spng_decoded_image_size(context.get(), SPNG_FMT_RGBA8, &size) != 0) {
    return false;
  }
  shot.width = header.width, shot.height = header.height;
  shot.rgba.resize(size);
  return spng_decode_image(context.get(), shot.rgba.data(), size, SPNG_FMT_RGBA8, 0) == 0;
}

bool Near(Rgb a, Rgb b) {
  return std::abs(a.red - b.red) <= 6 && std::abs(a.green - b.green) <= 6 && std::abs(a.blue - b.blue) <= 6;
}

TEST(HtmlBrowserTest, CellsShowTheirColoursAndRowsNeverWrap) {
  testing::TempFolder folder;
  std::vector<Pixel32> pixels;
  for (int row = 0; row < 2 * kLines; ++row) {
    for (int x = 0; x < kColumns; ++x) pixels.push_back(MakePixel(HalfColour(x, row).red, HalfColour(x, row).green, HalfColour(x, row).blue));
  }
  WorkingPicture picture(kColumns, 2 * kLines, pixels);
  {
    FileSink page(folder / "page.html");
    const TextRenderer renderer(LineEnding::kLf, CharacterRamp::Bands(), {.format = OutputFormat::kHtml, .symbols = SymbolMode::kHalf});
    ASSERT_TRUE(renderer.WriteStart(page, "cells") && renderer.WritePicture(picture, {kColumns, kLines}, page, {}) &&
                renderer.WriteEnd(page));
  }
  const std::string command = "HOME=" + folder / "home" +
                              " timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                              " --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars"
                              " --user-data-dir=" + folder / "profile" + " --window-size=" + std::to_string(kWindowWidth) + "," +
                              std::to_string(kWindowHeight) + " --screenshot=" + folder / "shot.png" + " file://" +
                              folder / "page.html" + " >" + folder / "chromium.log" + " 2>&1";
  Screenshot shot;
  if (std::system(command.c_str()) != 0 || !ReadPng(folder / "shot.png", shot)) {
    GTEST_SKIP() << "Chromium cannot start here (not installed, or no screenshot within 60 s); the page was not checked";
  }

  // The picture's top left corner and height: where the page's white ends.
  const Rgb white{255, 255, 255};
  int left = -1, top = -1, bottom = -1;
  for (int y = 0; y < static_cast<int>(shot.height); ++y) {
    for (int x = 0; x < static_cast<int>(shot.width); ++x) {
      if (Near(shot.At(x, y), white)) continue;
      if (top < 0) top = y, left = x;
      bottom = y + 1;
    }
  }
  ASSERT_GE(top, 0) << "nothing drawn";
  const double cellHeight = static_cast<double>(bottom - top) / kLines;
  // Cell edges: where the top halves' colour changes along the first line.
  const int probe = top + static_cast<int>(cellHeight / 4);
  int edges = 0, lastEdge = left;
  for (int x = left + 1; x < static_cast<int>(shot.width); ++x) {
    if (!Near(shot.At(x, probe), shot.At(x - 1, probe)) && x - lastEdge > 2) ++edges, lastEdge = x;
  }
  ASSERT_GE(edges, 8) << "the cells of the first line are not side by side";
  const double cellWidth = static_cast<double>(lastEdge - left) / edges;
  EXPECT_GT(left + kColumns * cellWidth, kWindowWidth) << "the rows must be wider than the window for this check";
  EXPECT_NEAR(cellHeight, 2 * cellWidth, cellWidth) << "rows wrapped: the picture is taller than its " << kLines << " lines";

  for (int line = 0; line < kLines; ++line) {
    for (int x = 0; x < edges; ++x) {
      for (int half = 0; half < 2; ++half) {
        const int sx = left + static_cast<int>((x + 0.5) * cellWidth);
        const int sy = top + static_cast<int>((line + 0.25 + 0.5 * half) * cellHeight);
        const Rgb seen = shot.At(sx, sy), wanted = HalfColour(x, 2 * line + half);
        EXPECT_TRUE(Near(seen, wanted)) << "cell " << x << "," << line << " half " << half << " at " << sx << "," << sy << ": "
                                        << +seen.red << "," << +seen.green << "," << +seen.blue << " not " << +wanted.red
                                        << "," << +wanted.green << "," << +wanted.blue;
      }
    }
  }
}

}  // namespace
}  // namespace tessaglyph
