#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "render/area_resampler.h"
#include "input/byte_sink.h"
#include "decode/picture_opener.h"
#include "input/memory_byte_source.h"
#include "fuzz_support.h"
#include "decode/picture_loader.h"
#include "render/text_renderer.h"

namespace tessaglyph::fuzz {
namespace {

class TextCollector : public ByteSink {
 public:
  bool Write(std::string_view bytes) override {
    text_.append(bytes);
    return true;
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The text, or nothing when the source failed part-way (it must say why).
std::optional<std::string> Render(PixelSource& pixels) {
  const TextRenderer renderer(LineEnding::kCr);
  TextCollector out;
  if (renderer.WriteHeader(out) && renderer.WriteRows(pixels, out, {})) return out.Text();
  Require(!pixels.Error().empty());
  return std::nullopt;
}

}  // namespace
}  // namespace tessaglyph::fuzz

// The converter's road: recognise the format, decode row by row (uncompressed
// BMP, non-interlaced GIF, JPEG; on a helper thread for odd sizes), and
// render. The whole-picture decoders, and the window's loader, must agree
// with it on every input: the same text, or a failure on both.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaglyph;
  using namespace tessaglyph::fuzz;
  const std::span<const std::uint8_t> bytes(data, size);
  LoadedPicture whole = PictureLoader::Load(std::make_unique<MemoryByteSource>(bytes), FuzzDecodeOptions());
  CheckDecoded(whole);
  DecodeOptions ahead = FuzzDecodeOptions();
  ahead.decodeAhead = size % 2 == 1;  // the helper thread's road too
  OpenedPicture streamed = OpenPicture(std::make_unique<MemoryByteSource>(bytes), ahead);
  if (!streamed) {
    Require(!whole.Ok() && streamed.error.kind == whole.error->kind && !streamed.error.sentence.empty());
    return 0;
  }
  const std::optional<std::string> text = Render(*streamed.source);
  Require(text.has_value() == whole.Ok());
  if (!text) return 0;
  const auto width = static_cast<std::size_t>(whole.picture.Width());
  const auto height = static_cast<std::size_t>(whole.picture.Height());
  Require(text->size() == TextRenderer::kHeaderText.size() + 2 + height * (width + 1));
  Require(text == Render(whole.picture));

  // The window's road: the streamed rows kept as one picture while they are
  // averaged down to a preview.
  ahead.keepsPicture = true;
  OpenedPicture kept = OpenPicture(std::make_unique<MemoryByteSource>(bytes), ahead);
  Require(static_cast<bool>(kept));
  PictureError error;
  const std::unique_ptr<PictureLoader> loader = PictureLoader::Open(std::move(kept.source), error);
  Require(loader != nullptr);
  AreaResampler preview(*loader, 7, 5);
  for (std::int32_t line = 0; line < preview.Lines(); ++line) Require(preview.Line(line) != nullptr);
  LoadedPicture loaded = loader->TakePicture();
  CheckDecoded(loaded);
  Require(loaded.Ok() && text == Render(loaded.picture));
  return 0;
}
