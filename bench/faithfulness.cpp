// How faithfully a terminal picture shows its original, as a dark terminal
// would show it:
//   faithfulness make PHOTO.ppm DIR      writes DIR/dark.png (the photo, a
//                                         quarter the size and darkened),
//                                         DIR/lineart.png and DIR/logo.png (with
//                                         transparency)
//   faithfulness score ORIGINAL.png OUTPUT.ans
// score reads the terminal escapes of OUTPUT, shows every cell as a dark
// terminal would (the light a character gives off: its ink coverage times its
// colour, the rest the cell's background), averages that and the original
// (laid over the terminal's black) onto one grid of half cells in linear
// light, and prints the SSIM of the two on their sRGB-encoded luminance
// (1 is perfect).
#include <spng.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "picture_files.h"

namespace {

struct Rgb {
  double r = 0, g = 0, b = 0;
};

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
Rgb LinearRgb(int r, int g, int b) { return {Linear(r), Linear(g), Linear(b)}; }

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
};

std::string ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool ReadPng(const char* path, Picture& picture) {
  const std::string bytes = ReadAll(path);
  const std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> ctx(spng_ctx_new(0), spng_ctx_free);
  spng_ihdr header{};
  std::size_t size = 0;
  if (bytes.empty() || spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size()) != 0 ||
      spng_set_image_limits(ctx.get(), 1u << 16, 1u << 16) != 0 || spng_get_ihdr(ctx.get(), &header) != 0 ||
      spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size) != 0) {
    return false;
  }
  picture.width = static_cast<int>(header.width), picture.height = static_cast<int>(header.height);
  picture.rgba.resize(size);
  return spng_decode_image(ctx.get(), picture.rgba.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) == 0;
}

// ---- making the pictures ----

// A quarter of the size each way, at a tenth of the light.
std::vector<std::uint8_t> DarkQuarter(const bench::Ppm& photo, int& width, int& height) {
  width = photo.width / 4, height = photo.height / 4;
  std::vector<std::uint8_t> dark(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        double light = 0;
        for (int dy = 0; dy < 4; ++dy) {
          for (int dx = 0; dx < 4; ++dx) light += Linear(photo.rgb[((static_cast<std::size_t>(4 * y + dy)) * photo.width + 4 * x + dx) * 3 + c]);
        }
        const double encoded = std::pow(light / 16 * 0.1, 1 / 2.4) * 1.055 - 0.055;
        dark[(static_cast<std::size_t>(y) * width + x) * 3 + c] = static_cast<std::uint8_t>(std::clamp(encoded, 0.0, 1.0) * 255 + 0.5);
      }
    }
  }
  return dark;
}

// Coverage of a shape sampled 4 x 4 times per pixel, for smooth edges.
template <typename Inside>
double Coverage(int x, int y, Inside inside) {
  int hits = 0;
  for (int sy = 0; sy < 4; ++sy) {
    for (int sx = 0; sx < 4; ++sx) hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4);
  }
  return hits / 16.0;
}

// Black strokes on white: rings and spokes, as a drawing would have.
std::vector<std::uint8_t> LineArt(int side) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(side) * side * 3);
  const double centre = side / 2.0, stroke = side / 150.0;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const double ink = Coverage(x, y, [&](double px, double py) {
        const double dx = px - centre, dy = py - centre, r = std::hypot(dx, dy);
        const bool ring = std::fmod(r, side / 10.0) < stroke && r < side * 0.45;
        const double angle = std::atan2(dy, dx) * 6 / M_PI;
        const bool spoke = std::abs(angle - std::round(angle)) * r * M_PI / 6 < stroke / 2 && r < side * 0.45;
        return ring || spoke;
      });
      std::fill_n(rgb.begin() + (static_cast<std::ptrdiff_t>(y) * side + x) * 3, 3, static_cast<std::uint8_t>(255 * (1 - ink) + 0.5));
    }
  }
  return rgb;
}

// Coloured shapes on nothing: a disc, a ring and a bar, smooth edges in
// alpha, the rest wholly transparent.
std::vector<std::uint8_t> Logo(int side) {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(side) * side * 4, 0);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const auto shade = [&](double px, double py) {
        const double dx = px - side * 0.35, dy = py - side * 0.4, r = std::hypot(dx, dy);
        if (r < side * 0.2) return 1;                                        // the disc
        if (std::abs(std::hypot(px - side * 0.65, py - side * 0.45) - side * 0.2) < side * 0.04) return 2;  // the ring
        if (py > side * 0.75 && py < side * 0.85 && px > side * 0.15 && px < side * 0.85) return 3;        // the bar
        return 0;
      };
      std::array<double, 4> share{};
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) share[static_cast<std::size_t>(shade(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4))] += 1 / 16.0;
      }
      const double alpha = 1 - share[0];
      if (alpha <= 0) continue;
      constexpr std::array<std::array<double, 3>, 4> kColours{{{0, 0, 0}, {230, 60, 40}, {40, 120, 230}, {250, 200, 40}}};
      std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(y) * side + x) * 4;
      for (int c = 0; c < 3; ++c) {
        double mixed = 0;
        for (std::size_t s = 1; s < 4; ++s) mixed += share[s] * kColours[s][static_cast<std::size_t>(c)];
        p[c] = static_cast<std::uint8_t>(mixed / alpha + 0.5);
      }
      p[3] = static_cast<std::uint8_t>(alpha * 255 + 0.5);
    }
  }
  return rgba;
}

int Make(const char* photoPath, const std::string& folder) {
  bench::Ppm photo;
  if (!bench::ReadPpm(photoPath, photo)) return std::fprintf(stderr, "faithfulness: cannot read %s\n", photoPath), 1;
  int width = 0, height = 0;
  const std::vector<std::uint8_t> dark = DarkQuarter(photo, width, height);
  constexpr int kSide = 1200;
  const bool ok = bench::WritePng((folder + "/dark.png").c_str(), width, height, 3, dark.data()) &&
                  bench::WritePng((folder + "/lineart.png").c_str(), kSide, kSide, 3, LineArt(kSide).data()) &&
                  bench::WritePng((folder + "/logo.png").c_str(), kSide, kSide, 4, Logo(kSide).data());
  return ok ? 0 : (std::fprintf(stderr, "faithfulness: cannot write into %s\n", folder.c_str()), 1);
}

// ---- reading a terminal picture ----

struct Cell {
  char32_t code = ' ';
  std::optional<Rgb> foreground, background;
  bool reverse = false;
};

const Rgb kTerminalBackground{0, 0, 0};
const Rgb kTerminalForeground = LinearRgb(229, 229, 229);

Rgb PaletteEntry(int index) {
  static constexpr int kSystem[16][3] = {{0, 0, 0},       {205, 0, 0},   {0, 205, 0},   {205, 205, 0},
                                         {0, 0, 238},     {205, 0, 205}, {0, 205, 205}, {229, 229, 229},
                                         {127, 127, 127}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                         {92, 92, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  static constexpr int kLevels[6] = {0, 95, 135, 175, 215, 255};
  if (index < 16) return LinearRgb(kSystem[index][0], kSystem[index][1], kSystem[index][2]);
  if (index < 232) return LinearRgb(kLevels[(index - 16) / 36], kLevels[(index - 16) / 6 % 6], kLevels[(index - 16) % 6]);
  const int grey = 8 + 10 * (index - 232);
  return LinearRgb(grey, grey, grey);
}

struct Style {
  std::optional<Rgb> foreground, background;
  bool reverse = false;
};

// One SGR sequence's parameters applied to the style.
void ApplySgr(const std::vector<int>& p, Style& style) {
  if (p.empty()) style = {};
  for (std::size_t i = 0; i < p.size(); ++i) {
    const int code = p[i];
    const bool extended = (code == 38 || code == 48) && i + 1 < p.size();
    std::optional<Rgb>& target = code == 38 || (code >= 30 && code <= 37) || (code >= 90 && code <= 97) || code == 39
                                     ? style.foreground
                                     : style.background;
    if (code == 0) {
      style = {};
    } else if (code == 7) {
      style.reverse = true;
    } else if (code == 27) {
      style.reverse = false;
    } else if (extended && p[i + 1] == 2 && i + 4 < p.size()) {
      target = LinearRgb(p[i + 2], p[i + 3], p[i + 4]), i += 4;
    } else if (extended && p[i + 1] == 5 && i + 2 < p.size()) {
      target = PaletteEntry(p[i + 2]), i += 2;
    } else if ((code >= 30 && code <= 37) || (code >= 40 && code <= 47)) {
      target = PaletteEntry(code % 10);
    } else if ((code >= 90 && code <= 97) || (code >= 100 && code <= 107)) {
      target = PaletteEntry(8 + code % 10);
    } else if (code == 39 || code == 49) {
      target.reset();
    }
  }
}

char32_t NextCodePoint(const std::string& text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int k = 0; k < extra && i < text.size(); ++k) code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  return code;
}

// Lines of cells; CSI sequences other than SGR, cursor forward (C) and
// repeat (b) are skipped.
std::vector<std::vector<Cell>> ReadCells(const std::string& text) {
  std::vector<std::vector<Cell>> lines(1);
  Style style;
  const auto put = [&](char32_t code) { lines.back().push_back({code, style.foreground, style.background, style.reverse}); };
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '\x1B' && i + 1 < text.size() && text[i + 1] == '[') {
      std::size_t end = i + 2;
      while (end < text.size() && !(text[end] >= 0x40 && text[end] <= 0x7E)) ++end;
      std::vector<int> parameters;
      const std::string body = text.substr(i + 2, end - i - 2);
      if (!body.empty() && body[0] != '?') {
        for (std::size_t at = 0; at <= body.size();) {
          const std::size_t next = std::min(body.find(';', at), body.size());
          parameters.push_back(std::atoi(body.substr(at, next - at).c_str()));
          at = next + 1;
        }
      }
      const char final = end < text.size() ? text[end] : 'm';
      const int count = parameters.empty() ? 1 : std::max(1, parameters[0]);
      if (final == 'm') ApplySgr(parameters, style);
      if (final == 'C') lines.back().resize(lines.back().size() + static_cast<std::size_t>(count));
      if (final == 'b' && !lines.back().empty()) lines.back().insert(lines.back().end(), static_cast<std::size_t>(count), lines.back().back());
      i = end + 1;
    } else if (text[i] == '\n') {
      lines.emplace_back(), ++i;
    } else if (text[i] == '\r' || text[i] == '\x1B') {
      ++i;
    } else {
      put(NextCodePoint(text, i));
    }
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// The share of each half of the cell (top, bottom) that a character inks.
std::array<double, 2> InkOf(char32_t code) {
  static constexpr unsigned kQuadrantMasks[10] = {4, 8, 1, 13, 9, 7, 11, 2, 6, 14};  // U+2596 to U+259F
  constexpr double kBrailleDot = 0.3;  // of its eighth of the cell
  if (code == ' ' || code == 0x2800) return {0, 0};
  if (code == 0x2580) return {1, 0};
  if (code > 0x2580 && code <= 0x2588) {
    const double height = (code - 0x2580) / 8.0;
    return {std::max(0.0, height - 0.5) * 2, std::min(height, 0.5) * 2};
  }
  if (code >= 0x2589 && code <= 0x258F) return {(0x2590 - code) / 8.0, (0x2590 - code) / 8.0};
  if (code == 0x2590) return {0.5, 0.5};
  if (code >= 0x2591 && code <= 0x2593) return {(code - 0x2590) / 4.0, (code - 0x2590) / 4.0};
  if (code == 0x2594) return {0.25, 0};
  if (code == 0x2595) return {0.125, 0.125};
  if (code >= 0x2596 && code <= 0x259F) {
    const unsigned mask = kQuadrantMasks[code - 0x2596];
    return {((mask & 1) + (mask >> 1 & 1)) / 2.0, ((mask >> 2 & 1) + (mask >> 3 & 1)) / 2.0};
  }
  if (code > 0x2800 && code <= 0x28FF) {
    const unsigned dots = code - 0x2800;
    const auto count = [&](std::initializer_list<int> bits) {
      double n = 0;
      for (int bit : bits) n += dots >> bit & 1;
      return n / 4 * kBrailleDot;
    };
    return {count({0, 1, 3, 4}), count({2, 5, 6, 7})};
  }
  // Estimated ink of the ramp's characters in a typical monospaced font.
  static const std::string kRamp = "#M@HX$%+/;=-,.";
  static constexpr double kRampInk[] = {0.45, 0.42, 0.42, 0.36, 0.3, 0.32, 0.28, 0.15, 0.12, 0.1, 0.14, 0.07, 0.05, 0.03};
  const std::size_t at = code < 0x80 ? kRamp.find(static_cast<char>(code)) : std::string::npos;
  const double ink = at != std::string::npos ? kRampInk[at] : 0.25;
  return {ink, ink};
}

// ---- the comparison ----

struct Grid {
  int width = 0, height = 0;
  std::vector<double> luma;  // sRGB-encoded luminance, 0 to 1
};

double EncodedLuma(const Rgb& c) {
  const double y = std::clamp(0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b, 0.0, 1.0);
  return y <= 0.0031308 ? 12.92 * y : 1.055 * std::pow(y, 1 / 2.4) - 0.055;
}

Grid Shown(const std::vector<std::vector<Cell>>& lines, int columns) {
  Grid grid{columns, 2 * static_cast<int>(lines.size()), {}};
  grid.luma.assign(static_cast<std::size_t>(grid.width) * grid.height, 0);
  for (std::size_t y = 0; y < lines.size(); ++y) {
    for (int x = 0; x < columns; ++x) {
      const Cell cell = x < static_cast<int>(lines[y].size()) ? lines[y][static_cast<std::size_t>(x)] : Cell{};
      Rgb ink = cell.foreground.value_or(kTerminalForeground), paper = cell.background.value_or(kTerminalBackground);
      if (cell.reverse) std::swap(ink, paper);
      const std::array<double, 2> share = InkOf(cell.code);
      for (int half = 0; half < 2; ++half) {
        const double s = share[static_cast<std::size_t>(half)];
        const Rgb light{s * ink.r + (1 - s) * paper.r, s * ink.g + (1 - s) * paper.g, s * ink.b + (1 - s) * paper.b};
        grid.luma[static_cast<std::size_t>(2 * y + half) * columns + x] = EncodedLuma(light);
      }
    }
  }
  return grid;
}

// The original laid over the terminal's black and averaged in linear light
// onto the same grid, each pixel going to the half cell its centre lies in.
Grid Original(const Picture& picture, int width, int height) {
  std::vector<Rgb> sums(static_cast<std::size_t>(width) * height);
  std::vector<double> counts(sums.size(), 0);
  for (int y = 0; y < picture.height; ++y) {
    const auto gy = static_cast<std::size_t>((y + 0.5) * height / picture.height);
    for (int x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = picture.rgba.data() + (static_cast<std::size_t>(y) * picture.width + x) * 4;
      const double alpha = p[3] / 255.0;
      Rgb& sum = sums[gy * width + static_cast<std::size_t>((x + 0.5) * width / picture.width)];
      sum.r += alpha * Linear(p[0]), sum.g += alpha * Linear(p[1]), sum.b += alpha * Linear(p[2]);
      counts[gy * width + static_cast<std::size_t>((x + 0.5) * width / picture.width)] += 1;
    }
  }
  Grid grid{width, height, std::vector<double>(sums.size())};
  for (std::size_t i = 0; i < sums.size(); ++i) {
    const double n = std::max(counts[i], 1.0);
    grid.luma[i] = EncodedLuma({sums[i].r / n, sums[i].g / n, sums[i].b / n});
  }
  return grid;
}

// Mean SSIM over every 7 x 7 window (Wang et al.'s constants, range 1).
double Ssim(const Grid& a, const Grid& b) {
  constexpr int kWindow = 7;
  constexpr double kC1 = 0.01 * 0.01, kC2 = 0.03 * 0.03;
  const int side = std::min(kWindow, std::min(a.width, a.height));
  double total = 0;
  int windows = 0;
  for (int y = 0; y + side <= a.height; ++y) {
    for (int x = 0; x + side <= a.width; ++x) {
      double ma = 0, mb = 0, va = 0, vb = 0, cov = 0;
      const double n = side * side;
      for (int dy = 0; dy < side; ++dy) {
        for (int dx = 0; dx < side; ++dx) {
          const std::size_t i = static_cast<std::size_t>(y + dy) * a.width + x + dx;
          ma += a.luma[i], mb += b.luma[i];
        }
      }
      ma /= n, mb /= n;
      for (int dy = 0; dy < side; ++dy) {
        for (int dx = 0; dx < side; ++dx) {
          const std::size_t i = static_cast<std::size_t>(y + dy) * a.width + x + dx;
          va += (a.luma[i] - ma) * (a.luma[i] - ma), vb += (b.luma[i] - mb) * (b.luma[i] - mb);
          cov += (a.luma[i] - ma) * (b.luma[i] - mb);
        }
      }
      va /= n - 1, vb /= n - 1, cov /= n - 1;
      total += (2 * ma * mb + kC1) * (2 * cov + kC2) / ((ma * ma + mb * mb + kC1) * (va + vb + kC2));
      ++windows;
    }
  }
  return windows == 0 ? 0 : total / windows;
}

int Score(const char* originalPath, const char* outputPath) {
  Picture original;
  if (!ReadPng(originalPath, original)) return std::fprintf(stderr, "faithfulness: cannot read %s\n", originalPath), 1;
  const std::vector<std::vector<Cell>> lines = ReadCells(ReadAll(outputPath));
  std::size_t columns = 0;
  for (const auto& line : lines) columns = std::max(columns, line.size());
  if (lines.empty() || columns == 0) return std::fprintf(stderr, "faithfulness: %s holds no picture\n", outputPath), 1;
  const Grid shown = Shown(lines, static_cast<int>(columns));
  std::printf("%.4f\n", Ssim(shown, Original(original, shown.width, shown.height)));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "make" && argc == 4) return Make(argv[2], argv[3]);
  if (command == "score" && argc == 4) return Score(argv[2], argv[3]);
  std::fprintf(stderr, "usage: faithfulness make PHOTO.ppm DIR | faithfulness score ORIGINAL.png OUTPUT.ans\n");
  return 2;
}
