#include "decode/gif/gif_first_image.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tessaglyph {

namespace {

// giflib's own texts name its functions' failures ("Failed to read from
// given file"); these say what is wrong with the file.
std::string GiflibText(int giflibError) {
  switch (giflibError) {
    case D_GIF_ERR_READ_FAILED: return "the file could not be read to its end";
    case D_GIF_ERR_NOT_GIF_FILE: return "it does not start like a GIF file";
    case D_GIF_ERR_NO_SCRN_DSCR: return "the screen description is missing";
    case D_GIF_ERR_NO_IMAG_DSCR: return "the image description is missing";
    case D_GIF_ERR_NO_COLOR_MAP: return "neither the image nor the screen has a colour map";
    case D_GIF_ERR_WRONG_RECORD: return "a block of unknown type follows";
    case D_GIF_ERR_DATA_TOO_BIG: return "the image data holds more pixels than the image has";
    case D_GIF_ERR_NOT_ENOUGH_MEM: return "there was not enough memory";
    case D_GIF_ERR_IMAGE_DEFECT: return "the compressed image data is broken";
    case D_GIF_ERR_EOF_TOO_SOON: return "the image data ends before the image is complete";
    default: break;
  }
  const char* text = GifErrorString(giflibError);
  return text != nullptr ? text : "unknown giflib error " + std::to_string(giflibError);
}

std::string Damaged(const std::string& reason) { return "damaged GIF: " + reason; }

// Draws the part of an image line that falls on the screen (screenRow null: a
// line below it). Indices beyond the 256 a colour map can hold are black, like
// those beyond the map.
template <typename Index>
void DrawVisible(int left, int width, int screenWidth, const Index* line, const std::array<Pixel32, 256>& palette,
                 Pixel32* screenRow) {
  if (screenRow == nullptr) return;
  const int visibleFrom = std::min(left, screenWidth);
  const int visibleTo = std::min(left + width, screenWidth);
  for (int x = visibleFrom; x < visibleTo; ++x) {
    const Index index = line[static_cast<std::size_t>(x - left)];
    screenRow[x] = index < palette.size() ? palette[index] : MakePixel(0, 0, 0);
  }
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

}  // namespace

int GifFirstImage::ReadInput(GifFileType* gif, GifByteType* buffer, int length) {
  Input& input = *static_cast<Input*>(gif->UserData);
  const auto wanted = static_cast<std::uint64_t>(std::max(length, 0));
  const std::uint64_t count = std::min(wanted, input.bytes->Size().value_or(0) - input.position);
  const std::uint8_t* bytes = count > 0 ? input.bytes->Read(input.position, static_cast<std::size_t>(count)) : nullptr;
  if (bytes == nullptr || count < wanted) {
    // A file that cannot be read on counts as one that ends here.
    input.ranOut = true;
    if (bytes == nullptr) return 0;
  }
  std::memcpy(buffer, bytes, static_cast<std::size_t>(count));
  input.position += count;
  return static_cast<int>(count);
}

std::unique_ptr<GifFirstImage> GifFirstImage::Open(ByteSource& bytes, const DecodeOptions& options,
                                                   PictureError& error) {
  std::unique_ptr<GifFirstImage> image(new GifFirstImage(bytes));
  if (std::optional<PictureError> failed = image->ReadToImage(options)) {
    error = std::move(*failed);
    return nullptr;
  }
  return image;
}

GifFirstImage::~GifFirstImage() {
  if (gif_ != nullptr) DGifCloseFile(gif_, nullptr);
}

// giflib leaves its error code unset on some short reads, so running out of
// bytes is told from our own reader.
std::string GifFirstImage::Unreadable(int giflibError) const {
  if (input_.ranOut) return "truncated GIF: the file ends before the image data";
  if (const int codeSize = CodeSizeGiflibRefused(); codeSize > GifWideLzwReader::kLargestCodeSize) {
    return Damaged("the image's LZW minimum code size is " + std::to_string(codeSize) +
                   ", but LZW codes of at most 12 bits leave room for sizes of up to 11");
  }
  return Damaged(GiflibText(giflibError));
}

// giflib reports an LZW minimum code size above 8 as a failed read, while a
// read that really fails sets ranOut; the size is then the last byte read.
// 0 when giflib refused nothing of the kind.
int GifFirstImage::CodeSizeGiflibRefused() const {
  if (input_.ranOut || gif_ == nullptr || gif_->Error != D_GIF_ERR_READ_FAILED || input_.position == 0) return 0;
  const std::uint8_t* codeSize = input_.bytes->Read(input_.position - 1, 1);
  return codeSize != nullptr && *codeSize > 8 ? *codeSize : 0;
}

std::optional<PictureError> GifFirstImage::ReadToImage(const DecodeOptions& options) {
  uncovered_ = options.background.value_or(kTransparentPixel);
  int openError = D_GIF_SUCCEEDED;
  gif_ = DGifOpen(&input_, ReadInput, &openError);
  if (gif_ == nullptr) {
    return PictureError{PictureErrorKind::kDamaged, Unreadable(openError)};
  }
  int transparentIndex = NO_TRANSPARENT_COLOR;
  switch (FindFirstImage(gif_, transparentIndex)) {
    case Search::kNoImage:
      return PictureError{PictureErrorKind::kDamaged, Damaged("the file holds no image")};
    case Search::kFailed:
      if (const int codeSize = CodeSizeGiflibRefused(); codeSize > 8 && codeSize <= GifWideLzwReader::kLargestCodeSize) {
        // The image description before the code size is whole: decode the
        // data as other readers do.
        wide_ = std::make_unique<GifWideLzwReader>(*input_.bytes, input_.position, codeSize);
        wideLine_.resize(static_cast<std::size_t>(gif_->Image.Width));
        break;
      }
      return PictureError{PictureErrorKind::kDamaged, Unreadable(gif_->Error)};
    case Search::kFound:
      break;
  }
  const GifImageDesc& image = gif_->Image;
  // Some encoders write a 0 x 0 logical screen; the image then sets the size.
  screenWidth_ = gif_->SWidth > 0 ? gif_->SWidth : image.Left + image.Width;
  screenHeight_ = gif_->SHeight > 0 ? gif_->SHeight : image.Top + image.Height;
  // Both sizes count: the image is decoded in full even where the screen clips it.
  for (const auto& [width, height] : {std::pair{screenWidth_, screenHeight_}, std::pair{image.Width, image.Height}}) {
    if (std::optional<PictureError> tooLarge = options.CheckSize("GIF", width, height)) return tooLarge;
  }
  if (screenWidth_ == 0 || screenHeight_ == 0) {
    return PictureError{PictureErrorKind::kDamaged, Damaged("the picture has no pixels")};
  }
  // Indices beyond the colour map, and all indices of a file that has no
  // colour map at all, are black: the file gives them no colour, and black
  // keeps the image visible against the white background.
  const ColorMapObject* map = image.ColorMap != nullptr ? image.ColorMap : gif_->SColorMap;
  palette_.fill(MakePixel(0, 0, 0));
  if (map != nullptr) {
    const int count = std::clamp(map->ColorCount, 0, static_cast<int>(palette_.size()));
    for (int i = 0; i < count; ++i) {
      const GifColorType& colour = map->Colors[i];
      palette_[static_cast<std::size_t>(i)] = MakePixel(colour.Red, colour.Green, colour.Blue);
    }
  }
  if (transparentIndex >= 0 && transparentIndex < static_cast<int>(palette_.size())) {
    palette_[static_cast<std::size_t>(transparentIndex)] = uncovered_;
  }
  left_ = image.Left;
  imageWidth_ = image.Width;
  line_.resize(static_cast<std::size_t>(image.Width));
  return std::nullopt;
}

bool GifFirstImage::DrawNextLine(Pixel32* screenRow) {
  if (wide_) return DrawWideLine(screenRow);
  if (!ReadNextIndices(line_.data())) return false;
  DrawIndices(line_.data(), screenRow);
  return true;
}

bool GifFirstImage::ReadNextIndices(std::uint8_t* line) { return DGifGetLine(gif_, line, imageWidth_) != GIF_ERROR; }

void GifFirstImage::DrawIndices(const std::uint8_t* line, Pixel32* screenRow) const {
  DrawVisible(left_, imageWidth_, screenWidth_, line, palette_, screenRow);
}

bool GifFirstImage::DrawWideLine(Pixel32* screenRow) {
  if (!wide_->ReadLine(wideLine_.data(), imageWidth_)) return false;
  DrawVisible(left_, imageWidth_, screenWidth_, wideLine_.data(), palette_, screenRow);
  return true;
}

// Like a truncated JPEG, what arrived is shown and the rest stays as it is.
// giflib takes the pixel data in sub-blocks of up to 255 bytes, so the rows of
// a sub-block cut short are lost with it.
std::string GifFirstImage::BrokenImageWarning() const {
  if (input_.ranOut || (wide_ && wide_->RanOut())) {
    return "truncated GIF: the file ends inside the image; the rows that did not arrive are white";
  }
  const int error = wide_ ? D_GIF_ERR_IMAGE_DEFECT : gif_->Error;
  return "damaged GIF data: " + GiflibText(error) + "; the rows not decoded are white";
}

}  // namespace tessaglyph
