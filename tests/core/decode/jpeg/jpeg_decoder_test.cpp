#include "decode/jpeg/jpeg_decoder.h"
#include "support/decoded.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace tessaglyph {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct RowName {
  template <typename Row>
  std::string operator()(const testing::TestParamInfo<Row>& row) const {
    return std::string(row.param.name);
  }
};

// Failing rows print as their names rather than as raw bytes.
template <typename Row>
requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

struct JpegRecipe {
  const char* name;
  J_COLOR_SPACE stored;
  bool progressive;
  int lumaSampling;  // 2: chroma halved both ways, 1: full chroma
  int width;
  int height;
};

int ComponentsOf(J_COLOR_SPACE stored) {
  switch (stored) {
    case JCS_GRAYSCALE:
      return 1;
    case JCS_CMYK:
    case JCS_YCCK:
      return 4;
    case JCS_UNKNOWN:
      return 2;
    default:
      return 3;
  }
}

J_COLOR_SPACE InputSpaceOf(J_COLOR_SPACE stored) {
  switch (ComponentsOf(stored)) {
    case 1:
      return JCS_GRAYSCALE;
    case 3:
      return JCS_RGB;
    case 4:
      return JCS_CMYK;
    default:
      return JCS_UNKNOWN;
  }
}

// Busy enough that every component carries detail through the DCT.
std::uint8_t SampleAt(int x, int y, int channel) {
  return static_cast<std::uint8_t>(x * 37 + y * 11 + channel * 67 + (x ^ y) * 13 + x * y);
}

Bytes EncodeJpeg(const JpegRecipe& recipe, const std::vector<jpeg_scan_info>& scans = {}) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  const int components = ComponentsOf(recipe.stored);
  cinfo.image_width = static_cast<JDIMENSION>(recipe.width);
  cinfo.image_height = static_cast<JDIMENSION>(recipe.height);
  cinfo.input_components = components;
  cinfo.in_color_space = InputSpaceOf(recipe.stored);
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, recipe.stored);
  jpeg_set_quality(&cinfo, 85, TRUE);
  if (recipe.stored == JCS_YCbCr || recipe.stored == JCS_YCCK) {
    cinfo.comp_info[0].h_samp_factor = recipe.lumaSampling;
    cinfo.comp_info[0].v_samp_factor = recipe.lumaSampling;
  }
  if (recipe.progressive) {
    jpeg_simple_progression(&cinfo);
  }
  if (!scans.empty()) {
    cinfo.scan_info = scans.data();
    cinfo.num_scans = static_cast<int>(scans.size());
  }
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(recipe.width * components));
  for (int y = 0; y < recipe.height; ++y) {
    for (int x = 0; x < recipe.width; ++x) {
      for (int c = 0; c < components; ++c) {
        row[static_cast<std::size_t>(x * components + c)] = SampleAt(x, y, c);
      }
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

constexpr JpegRecipe kBaseline{"baseline", JCS_YCbCr, false, 2, 61, 37};

// Each coefficient of a grey picture sent in ten successive-approximation
// scans: 640 scans, all valid.
std::vector<jpeg_scan_info> ScanFlood() {
  std::vector<jpeg_scan_info> scans;
  for (int coefficient = 0; coefficient < 64; ++coefficient) {
    for (int bit = 10; bit >= 1; --bit) {
      jpeg_scan_info scan{};
      scan.comps_in_scan = 1;
      scan.Ss = coefficient;
      scan.Se = coefficient;
      scan.Ah = bit == 10 ? 0 : bit;
      scan.Al = bit - 1;
      scans.push_back(scan);
    }
  }
  return scans;
}

std::size_t MarkerOffset(const Bytes& jpeg, std::uint8_t marker) {
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) {
      return i;
    }
  }
  ADD_FAILURE() << "marker not found";
  return 0;
}

Bytes WithSize(Bytes jpeg, unsigned width, unsigned height) {
  const std::size_t frame = MarkerOffset(jpeg, 0xC0);
  jpeg[frame + 5] = static_cast<std::uint8_t>(height >> 8);
  jpeg[frame + 6] = static_cast<std::uint8_t>(height);
  jpeg[frame + 7] = static_cast<std::uint8_t>(width >> 8);
  jpeg[frame + 8] = static_cast<std::uint8_t>(width);
  return jpeg;
}

Bytes Prefix(const Bytes& bytes, std::size_t length) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

Bytes SignatureThenNoise(unsigned seed) {
  Bytes bytes = {0xFF, 0xD8, 0xFF};
  std::mt19937 random(seed);
  for (int i = 0; i < 3000; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(random()));
  }
  return bytes;
}

// A picture as djpeg writes it: rows of grey or RGB samples.
struct Pnm {
  int width = 0;
  int height = 0;
  int channels = 0;
  Bytes samples;

  Pixel32 PixelAt(int x, int y) const {
    const auto at = static_cast<std::size_t>((y * width + x) * channels);
    return channels == 1 ? MakePixel(samples[at], samples[at], samples[at])
                         : MakePixel(samples[at], samples[at + 1], samples[at + 2]);
  }
};

bool HaveDjpeg() { return std::system("command -v djpeg >/dev/null 2>&1") == 0; }

std::filesystem::path TempPath(const std::string& name) {
  return std::filesystem::path(testing::TempDir()) /
         ("tessaglyph_jpeg_" + std::to_string(getpid()) + "_" + name);
}

Pnm DecodeWithDjpeg(const Bytes& jpeg, const std::string& name, const std::string& djpegOptions = "") {
  const auto input = TempPath(name + ".jpg");
  const auto output = TempPath(name + ".pnm");
  std::ofstream(input, std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
  // djpeg exits with 2 after warnings, so only its output tells success.
  const std::string command =
      "djpeg -pnm " + djpegOptions + " -outfile '" + output.string() + "' '" + input.string() + "' 2>/dev/null";
  static_cast<void>(std::system(command.c_str()));
  std::ifstream file(output, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  Pnm pnm;
  file >> magic >> pnm.width >> pnm.height >> maxValue;
  file.get();
  pnm.channels = magic == "P5" ? 1 : 3;
  pnm.samples.assign(std::istreambuf_iterator<char>(file), {});
  std::filesystem::remove(input);
  std::filesystem::remove(output);
  EXPECT_TRUE(magic == "P5" || magic == "P6") << "djpeg wrote no picture";
  EXPECT_EQ(maxValue, 255);
  EXPECT_EQ(pnm.samples.size(), static_cast<std::size_t>(pnm.width * pnm.height * pnm.channels));
  return pnm;
}

void ExpectSamePixels(const WorkingPicture& picture, const Pnm& expected) {
  ASSERT_EQ(picture.Width(), expected.width);
  ASSERT_EQ(picture.Height(), expected.height);
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      ASSERT_EQ(picture.PixelAt(x, y), expected.PixelAt(x, y)) << "at " << x << "," << y;
    }
  }
}

void ExpectRowsMatch(PixelSource& source, const WorkingPicture& picture) {
  ASSERT_EQ(source.Width(), picture.Width());
  ASSERT_EQ(source.Height(), picture.Height());
  const auto width = static_cast<std::size_t>(picture.Width());
  for (int y = 0; y < picture.Height(); ++y) {
    const Pixel32* row = source.Row(y);
    ASSERT_NE(row, nullptr) << source.Error();
    ASSERT_TRUE(std::equal(row, row + width, picture.RowAt(y))) << "row " << y;
  }
}

std::unique_ptr<PixelSource> OpenRows(const Bytes& jpeg, DecodeStatus& status, const DecodeOptions& options = {}) {
  Streamed streamed = OpenStreamed(jpeg, options);
  status = streamed.status;
  return std::move(streamed.source);
}

class JpegMatchesDjpeg : public testing::TestWithParam<JpegRecipe> {};

TEST_P(JpegMatchesDjpeg, WholeAndStreamedDecodesEqualDjpeg) {
  if (!HaveDjpeg()) {
    GTEST_SKIP() << "djpeg is not installed";
  }
  const Bytes jpeg = EncodeJpeg(GetParam());
  const Decoded result = Decode(jpeg, {});
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(result.message, "");
  ExpectSamePixels(result.picture, DecodeWithDjpeg(jpeg, GetParam().name));

  DecodeStatus status = DecodeStatus::kDamaged;
  const auto source = OpenRows(jpeg, status);
  ASSERT_NE(source, nullptr);
  ExpectRowsMatch(*source, result.picture);
  EXPECT_EQ(source->Warning(), "");
}

// A picture that will be averaged down is decoded at the smallest M/8 scale
// that keeps four pixels per cell both ways, exactly as djpeg -scale M/8.
TEST(JpegRowSource, DecodesAtTheReducedScaleThatStillKeepsFourPixelsPerCell) {
  if (!HaveDjpeg()) {
    GTEST_SKIP() << "djpeg is not installed";
  }
  const Bytes jpeg = EncodeJpeg(kBaseline);  // 61 x 37
  struct Reduction {
    std::int32_t columns, lines;
    int scale;
  };
  for (const Reduction& row : {Reduction{4, 2, 2}, Reduction{1, 1, 1}, Reduction{4, 9, 8}, Reduction{15, 9, 8},
                               Reduction{3, 4, 4}, Reduction{200, 100, 8}}) {
    DecodeOptions options;
    options.averagedSize = [row](std::int32_t, std::int32_t) { return std::pair{row.columns, row.lines}; };
    DecodeStatus status = DecodeStatus::kDamaged;
    const auto source = OpenRows(jpeg, status, options);
    ASSERT_NE(source, nullptr);
    const std::string scale = std::to_string(row.scale) + "/8";
    const Pnm expected = DecodeWithDjpeg(jpeg, "scaled", "-scale " + scale);
    ASSERT_EQ(source->Width(), expected.width) << scale;
    ASSERT_EQ(source->Height(), expected.height) << scale;
    for (int y = 0; y < expected.height; ++y) {
      const Pixel32* pixels = source->Row(y);
      ASSERT_NE(pixels, nullptr);
      for (int x = 0; x < expected.width; ++x) ASSERT_EQ(pixels[x], expected.PixelAt(x, y)) << scale << " at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, JpegMatchesDjpeg,
    testing::Values(kBaseline, JpegRecipe{"baseline_full_chroma", JCS_YCbCr, false, 1, 40, 23},
                    JpegRecipe{"progressive", JCS_YCbCr, true, 2, 53, 70},
                    JpegRecipe{"grey", JCS_GRAYSCALE, false, 1, 33, 17},
                    JpegRecipe{"grey_progressive", JCS_GRAYSCALE, true, 1, 33, 17},
                    JpegRecipe{"rgb_untransformed", JCS_RGB, false, 1, 29, 31},
                    JpegRecipe{"cmyk", JCS_CMYK, false, 1, 64, 64},
                    JpegRecipe{"ycck", JCS_YCCK, true, 2, 45, 26},
                    JpegRecipe{"one_pixel", JCS_YCbCr, false, 2, 1, 1}),
    RowName());

class TruncatedJpeg : public testing::TestWithParam<JpegRecipe> {};

TEST_P(TruncatedJpeg, DecodesLikeDjpegWithWarning) {
  const Bytes whole = EncodeJpeg(GetParam());
  const Bytes cut = Prefix(whole, whole.size() * 6 / 10);
  const Decoded result = Decode(cut, {});
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(result.message.rfind("truncated JPEG: ", 0), 0u) << result.message;

  DecodeStatus status = DecodeStatus::kDamaged;
  const auto source = OpenRows(cut, status);
  ASSERT_NE(source, nullptr);
  ExpectRowsMatch(*source, result.picture);
  EXPECT_EQ(source->Warning(), result.message);

  if (HaveDjpeg()) {
    ExpectSamePixels(result.picture, DecodeWithDjpeg(cut, std::string("cut_") + GetParam().name));
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, TruncatedJpeg,
                         testing::Values(JpegRecipe{"baseline", JCS_YCbCr, false, 2, 64, 64},
                                         JpegRecipe{"progressive", JCS_YCbCr, true, 2, 64, 64}),
                         RowName());

TEST(JpegDecoder, TruncatedBaselineKeepsTheRowsThatArrived) {
  const Bytes whole = EncodeJpeg({"tall", JCS_YCbCr, false, 2, 32, 96});
  const Decoded full = Decode(whole, {});
  const Decoded cut = Decode(Prefix(whole, whole.size() / 2), {});
  ASSERT_TRUE(full.Ok());
  ASSERT_TRUE(cut.Ok());
  const std::size_t firstRows = 16 * 32;
  EXPECT_TRUE(std::equal(full.picture.Data(), full.picture.Data() + firstRows, cut.picture.Data()));
}

struct BadJpeg {
  std::string name;
  Bytes bytes;
  DecodeStatus expected;
  std::string messageStart;
  std::uint64_t maxPixels = DecodeOptions::kDefaultMaxPixels;
};

std::vector<BadJpeg> BadJpegs() {
  const Bytes good = EncodeJpeg(kBaseline);
  const std::size_t scanStart = MarkerOffset(good, 0xDA);
  const std::uint64_t pixels = std::uint64_t{61} * 37;
  constexpr auto kDamaged = DecodeStatus::kDamaged;
  constexpr auto kTooLarge = DecodeStatus::kTooLarge;
  std::vector<BadJpeg> bad = {
      {"empty", {}, DecodeStatus::kNotAPicture, "empty file"},
      {"signature_only", {0xFF, 0xD8, 0xFF}, kDamaged, "truncated JPEG: "},
      {"cut_after_signature", Prefix(good, 4), kDamaged, "truncated JPEG: "},
      {"cut_in_tables", Prefix(good, 60), kDamaged, "truncated JPEG: "},
      {"cut_before_scan", Prefix(good, scanStart), kDamaged, "truncated JPEG: "},
      {"cut_in_scan_header", Prefix(good, scanStart + 6), kDamaged, "truncated JPEG: "},
      {"zero_width", WithSize(good, 0, 37), kDamaged, "damaged JPEG: "},
      {"absurd_size", WithSize(good, 65500, 65500), kTooLarge, "JPEG too large: 65500x65500"},
      {"beyond_libjpeg_limit", WithSize(good, 65535, 65535), kTooLarge, "JPEG too large: "},
      {"one_pixel_over_cap", good, kTooLarge, "JPEG too large: 61x37", pixels - 1},
      {"exactly_at_cap", good, DecodeStatus::kOk, "", pixels},
      {"scan_flood", EncodeJpeg({"grey", JCS_GRAYSCALE, true, 1, 16, 16}, ScanFlood()), kDamaged,
       "damaged JPEG: more than 500 scans"},
      {"two_components", EncodeJpeg({"two", JCS_UNKNOWN, false, 1, 8, 8}), kDamaged,
       "unsupported JPEG: "},
  };
  for (unsigned seed = 1; seed <= 8; ++seed) {
    bad.push_back(
        {"noise_" + std::to_string(seed), SignatureThenNoise(seed), kDamaged, "damaged JPEG: "});
  }
  return bad;
}

class JpegInput : public testing::TestWithParam<BadJpeg> {};

TEST_P(JpegInput, GivesTheExpectedStatusBothWays) {
  const BadJpeg& bad = GetParam();
  DecodeOptions options;
  options.maxPixels = bad.maxPixels;
  const Decoded result = Decode(bad.bytes, options);
  EXPECT_EQ(result.status, bad.expected) << result.message;
  EXPECT_EQ(result.picture.IsLoaded(), result.Ok());
  EXPECT_EQ(result.message.rfind(bad.messageStart, 0), 0u) << result.message;

  DecodeStatus status = DecodeStatus::kOk;
  const auto source = OpenRows(bad.bytes, status, options);
  EXPECT_EQ(status, bad.expected);
  EXPECT_EQ(source != nullptr, status == DecodeStatus::kOk);
}

INSTANTIATE_TEST_SUITE_P(Damaged, JpegInput, testing::ValuesIn(BadJpegs()), RowName());

// libjpeg either decodes scrambled data with a warning or gives up; both
// ways must hand back a value and keep within memory, whole or streamed.
TEST(JpegDecoder, SurvivesScrambledBytes) {
  for (const JpegRecipe& recipe :
       {kBaseline, JpegRecipe{"progressive", JCS_YCbCr, true, 2, 40, 40}}) {
    const Bytes good = EncodeJpeg(recipe);
    std::mt19937 random(7);
    for (int round = 0; round < 150; ++round) {
      Bytes bytes = good;
      for (int i = 0; i < 4; ++i) {
        bytes[2 + random() % (bytes.size() - 2)] = static_cast<std::uint8_t>(random());
      }
      const Decoded result = Decode(bytes, {});
      EXPECT_EQ(result.picture.IsLoaded(), result.Ok());
      EXPECT_TRUE(result.Ok() || !result.message.empty());

      DecodeStatus status = DecodeStatus::kOk;
      const auto source = OpenRows(bytes, status);
      for (int y = 0; source != nullptr && y < source->Height(); ++y) {
        if (source->Row(y) == nullptr) {
          EXPECT_FALSE(source->Error().empty());
          break;
        }
      }
    }
  }
}

TEST(JpegRowSource, RefusesRowsOutOfOrderButRepeatsTheCurrentOne) {
  DecodeStatus status = DecodeStatus::kDamaged;
  const auto source = OpenRows(EncodeJpeg(kBaseline), status);
  ASSERT_NE(source, nullptr);
  const Pixel32* first = source->Row(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(source->Row(0), first);
  EXPECT_EQ(source->Row(2), nullptr);
  EXPECT_FALSE(source->Error().empty());
  EXPECT_EQ(source->Row(1), nullptr);
}

struct Signature {
  const char* name;
  Bytes bytes;
  bool jpeg;
};

class JpegSignature : public testing::TestWithParam<Signature> {};

TEST_P(JpegSignature, IsRecognisedFromTheFirstThreeBytes) {
  EXPECT_EQ(LooksLikeJpeg(GetParam().bytes), GetParam().jpeg);
}

INSTANTIATE_TEST_SUITE_P(Bytes, JpegSignature,
                         testing::Values(Signature{"jfif", {0xFF, 0xD8, 0xFF, 0xE0}, true},
                                         Signature{"bare_marker", {0xFF, 0xD8, 0xFF}, true},
                                         Signature{"too_short", {0xFF, 0xD8}, false},
                                         Signature{
                                             "no_marker_after_soi", {0xFF, 0xD8, 0x00}, false},
                                         Signature{"gif", {'G', 'I', 'F', '8', '9', 'a'}, false},
                                         Signature{"empty", {}, false}),
                         RowName());

}  // namespace
}  // namespace tessaglyph
