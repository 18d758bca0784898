// Builds the hostile pictures of the benchmark, each at the default pixel cap
// (16384 x 16384), and measures the scan work of JPEG files:
//   make_hostile_pictures flood BASE.jpg SCANS OUT.jpg   repeat BASE's last scan up to SCANS scans
//   make_hostile_pictures resize BASE.jpg SIDE OUT.jpg   claim SIDE x SIDE pixels in BASE's frame header
//   make_hostile_pictures rle-bmp WIDTH HEIGHT OUT.bmp   an RLE8 BMP holding only its end marker
//   make_hostile_pictures tall-png HEIGHT OUT.png        a grey PNG one pixel wide
//   make_hostile_pictures gif-canvas SIDE OUT.gif        an interlaced one-pixel image on a SIDE x SIDE screen
//   make_hostile_pictures work FILE.jpg...               scans, block passes and bytes of each file
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <zlib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

bool WriteAll(const char* path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

void PutLittle(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

unsigned Big16(const Bytes& b, std::size_t at) { return (b[at] << 8) | b[at + 1]; }

// A JPEG's segments: where each marker starts, and for a scan, where its
// entropy-coded data ends.
struct Segment {
  std::uint8_t marker;
  std::size_t start;
  std::size_t end;  // past the header, or past the scan's data
};

std::vector<Segment> Segments(const Bytes& jpeg) {
  std::vector<Segment> segments;
  std::size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const std::uint8_t marker = jpeg[at + 1];
    if (marker == 0xD9) break;
    std::size_t end = at + 2 + Big16(jpeg, at + 2);
    if (marker == 0xDA) {
      while (end + 1 < jpeg.size() && !(jpeg[end] == 0xFF && jpeg[end + 1] != 0 && (jpeg[end + 1] < 0xD0 || jpeg[end + 1] > 0xD7))) ++end;
    }
    segments.push_back({marker, at, end});
    at = end;
  }
  return segments;
}

bool Flood(const Bytes& base, int scans, const char* out) {
  const std::vector<Segment> segments = Segments(base);
  std::vector<const Segment*> scanSegments;
  for (const Segment& s : segments) if (s.marker == 0xDA) scanSegments.push_back(&s);
  if (scanSegments.empty()) return false;
  const Segment& last = *scanSegments.back();
  Bytes flooded(base.begin(), base.begin() + static_cast<std::ptrdiff_t>(last.end));
  for (int i = static_cast<int>(scanSegments.size()); i < scans; ++i) {
    flooded.insert(flooded.end(), base.begin() + static_cast<std::ptrdiff_t>(last.start), base.begin() + static_cast<std::ptrdiff_t>(last.end));
  }
  flooded.push_back(0xFF);
  flooded.push_back(0xD9);
  return WriteAll(out, flooded);
}

bool Resize(Bytes jpeg, unsigned side, const char* out) {
  for (const Segment& s : Segments(jpeg)) {
    if (s.marker >= 0xC0 && s.marker <= 0xC2) {
      jpeg[s.start + 5] = static_cast<std::uint8_t>(side >> 8);
      jpeg[s.start + 6] = static_cast<std::uint8_t>(side);
      jpeg[s.start + 7] = static_cast<std::uint8_t>(side >> 8);
      jpeg[s.start + 8] = static_cast<std::uint8_t>(side);
      return WriteAll(out, jpeg);
    }
  }
  return false;
}

bool RleBmp(std::uint32_t width, std::uint32_t height, const char* out) {
  Bytes bmp = {'B', 'M'};
  const std::uint32_t offset = 14 + 40 + 2 * 4;
  PutLittle(bmp, offset + 2, 4);
  PutLittle(bmp, 0, 4);
  PutLittle(bmp, offset, 4);
  for (const auto& [value, size] : {std::pair{40u, 4}, {width, 4}, {height, 4}, {1u, 2}, {8u, 2}, {1u, 4}, {2u, 4},
                                   {2835u, 4}, {2835u, 4}, {2u, 4}, {0u, 4}}) {
    PutLittle(bmp, value, size);
  }
  PutLittle(bmp, 0x000000, 4);
  PutLittle(bmp, 0xFFFFFF, 4);
  bmp.push_back(0);
  bmp.push_back(1);  // end of bitmap
  return WriteAll(out, bmp);
}

void PutBig32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutPngChunk(Bytes& png, const char* type, const Bytes& data) {
  PutBig32(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  PutBig32(png, static_cast<std::uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

bool TallPng(std::uint32_t height, const char* out) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBig32(header, 1);
  PutBig32(header, height);
  header.insert(header.end(), {8, 0, 0, 0, 0});  // 8-bit grey, no interlacing
  PutPngChunk(png, "IHDR", header);
  Bytes rows;
  for (std::uint32_t y = 0; y < height; ++y) rows.insert(rows.end(), {0, 0x80});  // no filter, one grey sample
  Bytes packed(compressBound(static_cast<uLong>(rows.size())));
  uLongf packedSize = static_cast<uLongf>(packed.size());
  if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 9) != Z_OK) return false;
  packed.resize(packedSize);
  PutPngChunk(png, "IDAT", packed);
  PutPngChunk(png, "IEND", {});
  return WriteAll(out, png);
}

bool GifCanvas(std::uint32_t side, const char* out) {
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
  PutLittle(gif, side, 2);
  PutLittle(gif, side, 2);
  gif.insert(gif.end(), {0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF});  // two colours
  gif.push_back(0x2C);
  PutLittle(gif, 0, 2);
  PutLittle(gif, 0, 2);
  PutLittle(gif, 1, 2);
  PutLittle(gif, 1, 2);
  gif.push_back(0x40);  // interlaced, so decoded whole
  gif.insert(gif.end(), {2, 2, 0x44, 0x01, 0, 0x3B});  // clear, index 0, end
  return WriteAll(out, gif);
}

// The block passes a decoder makes: for every scan, the blocks of the
// components it holds.
void PrintWork(const char* path) {
  const Bytes jpeg = ReadAll(path);
  struct Component { int id, h, v; };
  std::vector<Component> components;
  unsigned width = 0, height = 0;
  int maxH = 1, maxV = 1, scans = 0;
  std::uint64_t passes = 0;
  for (const Segment& s : Segments(jpeg)) {
    if (s.marker >= 0xC0 && s.marker <= 0xC2) {
      height = Big16(jpeg, s.start + 5);
      width = Big16(jpeg, s.start + 7);
      for (int i = 0; i < jpeg[s.start + 9]; ++i) {
        const std::size_t at = s.start + 10 + 3 * static_cast<std::size_t>(i);
        components.push_back({jpeg[at], jpeg[at + 1] >> 4, jpeg[at + 1] & 15});
        maxH = std::max(maxH, jpeg[at + 1] >> 4);
        maxV = std::max(maxV, jpeg[at + 1] & 15);
      }
    } else if (s.marker == 0xDA) {
      ++scans;
      for (int i = 0; i < jpeg[s.start + 4]; ++i) {
        for (const Component& c : components) {
          if (c.id != jpeg[s.start + 5 + 2 * static_cast<std::size_t>(i)]) continue;
          const std::uint64_t w = (static_cast<std::uint64_t>(width) * c.h + maxH - 1) / maxH;
          const std::uint64_t h = (static_cast<std::uint64_t>(height) * c.v + maxV - 1) / maxV;
          passes += ((w + 7) / 8) * ((h + 7) / 8);
        }
      }
    }
  }
  std::printf("%s: %ux%u, %d scans, %llu block passes, %zu bytes\n", path, width, height, scans,
              static_cast<unsigned long long>(passes), jpeg.size());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  bool done = false;
  if (mode == "flood" && argc == 5) done = Flood(ReadAll(argv[2]), std::atoi(argv[3]), argv[4]);
  if (mode == "resize" && argc == 5) done = Resize(ReadAll(argv[2]), static_cast<unsigned>(std::atoi(argv[3])), argv[4]);
  if (mode == "rle-bmp" && argc == 5) {
    done = RleBmp(static_cast<std::uint32_t>(std::atol(argv[2])), static_cast<std::uint32_t>(std::atol(argv[3])), argv[4]);
  }
  if (mode == "tall-png" && argc == 4) done = TallPng(static_cast<std::uint32_t>(std::atol(argv[2])), argv[3]);
  if (mode == "gif-canvas" && argc == 4) done = GifCanvas(static_cast<std::uint32_t>(std::atoi(argv[2])), argv[3]);
  if (mode == "work" && argc > 2) {
    for (int i = 2; i < argc; ++i) PrintWork(argv[i]);
    done = true;
  }
  if (!done) std::fprintf(stderr, "usage: see the head of make_hostile_pictures.cpp\n");
  return done ? 0 : 2;
}
