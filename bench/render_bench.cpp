// Renderer throughput from memory on one core, in megapixels per second.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "render/text_renderer.h"
#include "picture/working_picture.h"

namespace {

class CountingSink : public tessaglyph::ByteSink {
 public:
  bool Write(std::string_view bytes) override {
    size += bytes.size();
    return true;
  }
  std::size_t size = 0;
};

}  // namespace

int main() {
  constexpr int kWidth = 5000;
  constexpr int kHeight = 4000;
  std::vector<tessaglyph::Pixel32> pixels(static_cast<std::size_t>(kWidth) * kHeight);
  std::mt19937 random(7);
  for (auto& pixel : pixels) pixel = 0xFF000000u | (random() & 0xFFFFFFu);
  tessaglyph::WorkingPicture picture(kWidth, kHeight, std::move(pixels));
  tessaglyph::TextRenderer renderer;

  double best = 1e30;
  for (int run = 0; run < 5; ++run) {
    CountingSink sink;
    const auto start = std::chrono::steady_clock::now();
    renderer.WriteRows(picture, sink, nullptr);
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::printf("%.0f\n", kWidth * static_cast<double>(kHeight) / best / 1e6);
  return 0;
}
