#include "decode/gif/gif_frame_sequence.h"

#include <algorithm>
#include <cstring>

namespace tessaglyph {

namespace {

constexpr std::uint64_t kGiflibBytes = std::uint64_t{64} << 10;

int ReadNext(GifFileType* gif, GifByteType* buffer, int length) {
  auto& bytes = *static_cast<ByteSource*>(gif->UserData);
  int done = 0;
  while (done < length) {
    const std::span<const std::uint8_t> piece = bytes.Next(static_cast<std::size_t>(length - done));
    if (piece.empty()) break;
    std::memcpy(buffer + done, piece.data(), piece.size());
    done += static_cast<int>(piece.size());
  }
  return done;
}

GraphicsControlBlock NoControl() {
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSAL_UNSPECIFIED;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  return control;
}

// Reads an extension through to its end; the loop count of an application
// block "NETSCAPE2.0" (or "ANIMEXTS1.0") lands in loops, a graphic control
// block in control.
bool ReadExtension(GifFileType* gif, GraphicsControlBlock* control, std::uint32_t* loops) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && control != nullptr) {
    if (DGifExtensionToGCB(block[0], block + 1, control) != GIF_OK) *control = NoControl();
  }
  const bool looping = code == APPLICATION_EXT_FUNC_CODE && block != nullptr && block[0] == 11 &&
                       (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0);
  bool first = true;
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    if (looping && first && loops != nullptr && block != nullptr && block[0] >= 3 && block[1] == 1) {
      // The count is of repeats after the first showing, as browsers read
      // it; 0 repeats for ever.
      const std::uint32_t repeats = block[2] | (block[3] << 8);
      *loops = repeats == 0 ? 0 : repeats + 1;
    }
    first = false;
  }
  return true;
}

// giflib keeps a copy of every image description it reads, for its
// whole-file reader; read one image at a time, they would only pile up.
void ForgetSavedImages(GifFileType* gif) {
  GifFreeSavedImages(gif);
  gif->ImageCount = 0;
}

}  // namespace

GifFrameSequence::Survey GifFrameSequence::SurveyFile(ByteSource& bytes) {
  Survey survey;
  int error = D_GIF_SUCCEEDED;
  GifFileType* gif = DGifOpen(&bytes, ReadNext, &error);
  if (gif == nullptr) return survey;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      if (!ReadExtension(gif, nullptr, &survey.loops)) break;
      continue;
    }
    if (DGifGetImageDesc(gif) == GIF_ERROR) break;
    ForgetSavedImages(gif);
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) break;
    while (block != nullptr) {
      if (DGifGetCodeNext(gif, &block) == GIF_ERROR) break;
    }
    if (block != nullptr) break;
    // Past the cap the count only needs to say so.
    if (++survey.frames > kMaxFrames) break;
  }
  DGifCloseFile(gif, nullptr);
  return survey;
}

std::unique_ptr<GifFrameSequence> GifFrameSequence::Open(std::unique_ptr<ByteSource> bytes, Survey survey,
                                                         const DecodeOptions& options, PictureError& error) {
  std::unique_ptr<GifFrameSequence> sequence(new GifFrameSequence(std::move(bytes), survey));
  if (std::optional<PictureError> failed = sequence->Start(options)) {
    error = std::move(*failed);
    return nullptr;
  }
  return sequence;
}

GifFrameSequence::~GifFrameSequence() {
  if (gif_ != nullptr) DGifCloseFile(gif_, nullptr);
}

std::optional<PictureError> GifFrameSequence::Start(const DecodeOptions& options) {
  options_ = options;
  uncovered_ = options.background.value_or(kTransparentPixel);
  if (survey_.frames > kMaxFrames) {
    return PictureError::OverLimit("the GIF holds more than " + std::to_string(kMaxFrames) +
                                   " frames, more than any animation needs");
  }
  int error = D_GIF_SUCCEEDED;
  gif_ = DGifOpen(bytes_.get(), ReadNext, &error);
  if (gif_ == nullptr) return PictureError::Damaged("GIF", "it does not start like a GIF file");
  width_ = gif_->SWidth;
  height_ = gif_->SHeight;
  if (std::optional<PictureError> tooLarge = options.CheckSize("GIF", width_, height_)) return tooLarge;
  if (width_ <= 0 || height_ <= 0) return PictureError::Damaged("GIF", "the picture has no pixels");
  const std::uint64_t pixels = static_cast<std::uint64_t>(width_) * static_cast<std::uint64_t>(height_);
  // The screen, and as much again for what an image to be restored covers.
  const std::uint64_t held = kGiflibBytes + bytes_->HeldBytes() + 2 * pixels * sizeof(Pixel32);
  if (std::optional<PictureError> refused = options.Reserve("GIF", width_, height_, held, true, lease_, pictureLease_)) {
    return refused;
  }
  canvas_.assign(pixels, uncovered_);
  control_ = NoControl();
  lastControl_ = NoControl();
  return std::nullopt;
}

bool GifFrameSequence::Stop(const std::string& why) {
  ended_ = true;
  if (composed_ > 0) {
    warning_ = "damaged GIF: " + why + "; the animation ends at frame " + std::to_string(composed_);
  } else {
    warning_ = "damaged GIF: " + why;
  }
  return false;
}

bool GifFrameSequence::Next() {
  while (!ended_) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif_, &type) == GIF_ERROR) return Stop("a record cannot be read");
    if (type == TERMINATE_RECORD_TYPE) {
      ended_ = true;
    } else if (type == EXTENSION_RECORD_TYPE) {
      if (!ReadExtension(gif_, &control_, nullptr)) return Stop("an extension block is broken");
    } else if (type == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif_) == GIF_ERROR) return Stop("an image description is broken");
      ForgetSavedImages(gif_);
      if (composed_ >= survey_.frames) return Stop("an image is broken");
      DisposeOfLastImage();
      if (!DrawImage()) return Stop("the data of frame " + std::to_string(composed_ + 1) + " is broken");
      ++composed_;
      return true;
    } else {
      return Stop("a block of unknown type follows");
    }
  }
  return false;
}

void GifFrameSequence::DisposeOfLastImage() {
  const Area& a = lastArea_;
  for (int y = a.top; y < a.bottom; ++y) {
    Pixel32* row = canvas_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    if (lastControl_.DisposalMode == DISPOSE_BACKGROUND) {
      std::fill(row + a.left, row + a.right, uncovered_);
    } else if (lastControl_.DisposalMode == DISPOSE_PREVIOUS) {
      const std::size_t areaWidth = static_cast<std::size_t>(a.right - a.left);
      std::copy_n(saved_.data() + static_cast<std::size_t>(y - a.top) * areaWidth, areaWidth, row + a.left);
    }
  }
}

void GifFrameSequence::LoadPalette(int transparentIndex) {
  const ColorMapObject* map = gif_->Image.ColorMap != nullptr ? gif_->Image.ColorMap : gif_->SColorMap;
  // Indices beyond the colour map are black, as in the first image alone.
  palette_.fill(MakePixel(0, 0, 0));
  opaque_.fill(true);
  if (map != nullptr) {
    const int count = std::clamp(map->ColorCount, 0, static_cast<int>(palette_.size()));
    for (int i = 0; i < count; ++i) {
      const GifColorType& colour = map->Colors[i];
      palette_[static_cast<std::size_t>(i)] = MakePixel(colour.Red, colour.Green, colour.Blue);
    }
  }
  if (transparentIndex >= 0 && transparentIndex < static_cast<int>(opaque_.size())) {
    opaque_[static_cast<std::size_t>(transparentIndex)] = false;
  }
}

// Interlaced lines arrive in four passes; each lands on its own row.
bool GifFrameSequence::DrawImage() {
  const GifImageDesc& image = gif_->Image;
  if (options_.CheckSize("GIF", image.Width, image.Height)) return false;
  const Area area{std::min(image.Left, width_), std::min(image.Top, height_),
                  std::min(image.Left + image.Width, width_), std::min(image.Top + image.Height, height_)};
  if (control_.DisposalMode == DISPOSE_PREVIOUS) {
    saved_.clear();
    for (int y = area.top; y < area.bottom; ++y) {
      const Pixel32* row = canvas_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
      saved_.insert(saved_.end(), row + area.left, row + area.right);
    }
  }
  LoadPalette(control_.TransparentColor);
  line_.resize(static_cast<std::size_t>(image.Width));
  static constexpr int kPassFirst[] = {0, 4, 2, 1};
  static constexpr int kPassStep[] = {8, 8, 4, 2};
  const int passes = image.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int first = image.Interlace ? kPassFirst[pass] : 0;
    const int step = image.Interlace ? kPassStep[pass] : 1;
    for (int y = first; y < image.Height; y += step) {
      if (image.Width > 0 && DGifGetLine(gif_, line_.data(), image.Width) == GIF_ERROR) return false;
      const int screenY = image.Top + y;
      if (screenY >= height_) continue;
      Pixel32* row = canvas_.data() + static_cast<std::size_t>(screenY) * static_cast<std::size_t>(width_);
      for (int x = area.left; x < area.right; ++x) {
        const GifPixelType index = line_[static_cast<std::size_t>(x - image.Left)];
        if (opaque_[index]) row[x] = palette_[index];
      }
    }
  }
  delayMs_ = static_cast<std::uint32_t>(std::max(control_.DelayTime, 0)) * 10;
  lastControl_ = control_;
  lastArea_ = area;
  control_ = NoControl();
  return true;
}

}  // namespace tessaglyph
