#include "gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace tessaglyph {

namespace {

struct MemoryInput {
  std::span<const std::uint8_t> data;
  std::size_t position = 0;
  bool ranOut = false;  // giflib asked for bytes beyond the end
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
  auto& input = *static_cast<MemoryInput*>(gif->UserData);
  const auto wanted = static_cast<std::size_t>(std::max(length, 0));
  const std::size_t count = std::min(wanted, input.data.size() - input.position);
  input.ranOut = input.ranOut || count < wanted;
  if (count > 0) {
    std::memcpy(buffer, input.data.data() + input.position, count);
  }
  input.position += count;
  return static_cast<int>(count);
}

struct GifCloser {
  void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

std::string GiflibText(int giflibError) {
  const char* text = GifErrorString(giflibError);
  return text != nullptr ? text : "unknown giflib error " + std::to_string(giflibError);
}

DecodeResult Damaged(const std::string& reason) {
  return DecodeResult::Failure(DecodeStatus::kDamaged, "damaged GIF: " + reason);
}

// giflib leaves its error code unset on some short reads, so running out of
// bytes is told from our own reader.
DecodeResult Unreadable(int giflibError, const MemoryInput& input) {
  if (input.ranOut) {
    return DecodeResult::Failure(DecodeStatus::kDamaged,
                                 "truncated GIF: the file ends before the image data");
  }
  return Damaged(GiflibText(giflibError));
}

// A graphic control extension governs the next graphic block only, so one
// that precedes a plain-text block says nothing about the image.
bool ReadExtension(GifFileType* gif, int& transparentIndex) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
    return false;
  }
  GraphicsControlBlock control{};
  if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr &&
      DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
    transparentIndex = control.TransparentColor;
  } else if (code == PLAINTEXT_EXT_FUNC_CODE) {
    transparentIndex = NO_TRANSPARENT_COLOR;
  }
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
      return false;
    }
  }
  return true;
}

enum class Search { kFound, kNoImage, kFailed };

// Reads records up to the first image descriptor, keeping the transparent
// index that applies to that image.
Search FindFirstImage(GifFileType* gif, int& transparentIndex) {
  transparentIndex = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
      return Search::kFailed;
    }
    if (type == IMAGE_DESC_RECORD_TYPE) {
      return DGifGetImageDesc(gif) == GIF_OK ? Search::kFound : Search::kFailed;
    }
    if (type == TERMINATE_RECORD_TYPE) {
      return Search::kNoImage;
    }
    if (!ReadExtension(gif, transparentIndex)) {
      return Search::kFailed;
    }
  }
}

struct Screen {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Some encoders write a 0 x 0 logical screen; the image then sets the size.
Screen ScreenOf(const GifFileType& gif) {
  const GifImageDesc& image = gif.Image;
  return {gif.SWidth > 0 ? gif.SWidth : image.Left + image.Width,
          gif.SHeight > 0 ? gif.SHeight : image.Top + image.Height};
}

bool Exceeds(std::int32_t width, std::int32_t height, std::uint64_t maxPixels) {
  return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > maxPixels;
}

DecodeResult TooLarge(std::int32_t width, std::int32_t height, const std::string& limit) {
  return DecodeResult::Failure(DecodeStatus::kTooLarge, "GIF too large: " + std::to_string(width) +
                                                            "x" + std::to_string(height) +
                                                            " pixels " + limit);
}

// Both sizes count: the image is decoded in full even where the screen clips it.
std::optional<DecodeResult> SizeProblem(const Screen& screen, const GifImageDesc& image,
                                        std::uint64_t maxPixels) {
  const std::string limit = "exceeds the limit of " + std::to_string(maxPixels);
  if (Exceeds(screen.width, screen.height, maxPixels)) {
    return TooLarge(screen.width, screen.height, limit);
  }
  if (Exceeds(image.Width, image.Height, maxPixels)) {
    return TooLarge(image.Width, image.Height, limit);
  }
  if (screen.width == 0 || screen.height == 0) {
    return Damaged("the picture has no pixels");
  }
  return std::nullopt;
}

// LZW yields byte-sized indices, so 256 entries cover every index there is.
using Palette = std::array<Pixel32, 256>;

// Indices beyond the colour map, and all indices of a file that has no colour
// map at all, are black: the file gives them no colour, and black keeps the
// image visible against the white background.
Palette MakePalette(const ColorMapObject* map, int transparentIndex) {
  Palette palette;
  palette.fill(MakePixel(0, 0, 0));
  if (map != nullptr) {
    const int count = std::clamp(map->ColorCount, 0, static_cast<int>(palette.size()));
    for (int i = 0; i < count; ++i) {
      const GifColorType& colour = map->Colors[i];
      palette[static_cast<std::size_t>(i)] = MakePixel(colour.Red, colour.Green, colour.Blue);
    }
  }
  if (transparentIndex >= 0 && transparentIndex < static_cast<int>(palette.size())) {
    palette[static_cast<std::size_t>(transparentIndex)] = kWhitePixel;
  }
  return palette;
}

struct Pass {
  int first;
  int step;
};
constexpr std::array<Pass, 1> kSequentialRows = {{{0, 1}}};
constexpr std::array<Pass, 4> kInterlacedRows = {{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};

// Draws the image's rows as they arrive; returns false when the data breaks
// off, leaving the rows that did not arrive as they were.
bool DrawFirstImage(GifFileType* gif, const Palette& palette, const Screen& screen,
                    Pixel32* pixels) {
  const GifImageDesc& image = gif->Image;
  if (image.Width == 0 || image.Height == 0) {
    return true;
  }
  const std::span<const Pass> passes = image.Interlace ? std::span<const Pass>(kInterlacedRows)
                                                       : std::span<const Pass>(kSequentialRows);
  const int visibleFrom = std::min(image.Left, screen.width);
  const int visibleTo = std::min(image.Left + image.Width, screen.width);
  std::vector<GifPixelType> line(static_cast<std::size_t>(image.Width));
  for (const Pass& pass : passes) {
    for (int y = pass.first; y < image.Height; y += pass.step) {
      if (DGifGetLine(gif, line.data(), image.Width) == GIF_ERROR) {
        return false;
      }
      const int screenY = image.Top + y;
      if (screenY >= screen.height) {
        continue;
      }
      Pixel32* row = pixels + static_cast<std::size_t>(screenY) * screen.width;
      for (int x = visibleFrom; x < visibleTo; ++x) {
        row[x] = palette[line[static_cast<std::size_t>(x - image.Left)]];
      }
    }
  }
  return true;
}

// Like a truncated JPEG, what arrived is shown and the rest stays white.
// giflib takes the pixel data in sub-blocks of up to 255 bytes, so the rows of
// a sub-block cut short are lost with it.
std::string BrokenImageWarning(const GifFileType& gif, const MemoryInput& input) {
  if (input.ranOut) {
    return "truncated GIF: the file ends inside the image; the rows that did not arrive are white";
  }
  return "damaged GIF data: " + GiflibText(gif.Error) + "; the rows not decoded are white";
}

}  // namespace

bool LooksLikeGif(std::span<const std::uint8_t> data) {
  return data.size() >= 6 &&
         (std::memcmp(data.data(), "GIF87a", 6) == 0 || std::memcmp(data.data(), "GIF89a", 6) == 0);
}

DecodeResult DecodeGif(std::span<const std::uint8_t> data, const DecodeOptions& options) {
  MemoryInput input{data};
  int openError = D_GIF_SUCCEEDED;
  const GifHandle gif(DGifOpen(&input, ReadFromMemory, &openError));
  if (!gif) {
    return Unreadable(openError, input);
  }
  int transparentIndex = NO_TRANSPARENT_COLOR;
  switch (FindFirstImage(gif.get(), transparentIndex)) {
    case Search::kNoImage:
      return Damaged("the file holds no image");
    case Search::kFailed:
      return Unreadable(gif->Error, input);
    case Search::kFound:
      break;
  }
  const GifImageDesc& image = gif->Image;
  const Screen screen = ScreenOf(*gif);
  if (auto problem = SizeProblem(screen, image, options.maxPixels)) {
    return std::move(*problem);
  }
  std::optional<PixelBuffer> pixels =
      PixelBuffer::Allocate(static_cast<std::size_t>(screen.width) * screen.height, kWhitePixel);
  if (!pixels) {
    return TooLarge(screen.width, screen.height, "do not fit into memory");
  }
  const ColorMapObject* map = image.ColorMap != nullptr ? image.ColorMap : gif->SColorMap;
  DecodeResult result;
  if (!DrawFirstImage(gif.get(), MakePalette(map, transparentIndex), screen, pixels->Data())) {
    result.message = BrokenImageWarning(*gif, input);
  }
  result.picture = WorkingPicture(screen.width, screen.height, std::move(*pixels));
  return result;
}

}  // namespace tessaglyph
