#include "decode/webp/webp_chunk_reader.h"

#include <algorithm>
#include <cstring>

namespace tessaglyph {

namespace {

// Skipped data is read in pieces of this size at most.
constexpr std::size_t kSkipBytes = std::size_t{64} << 10;

std::uint32_t Little16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Little24(const std::uint8_t* p) { return Little16(p) | (p[2] << 16); }
std::uint32_t Little32(const std::uint8_t* p) { return Little24(p) | (std::uint32_t{p[3]} << 24); }

}  // namespace

bool WebpChunkReader::Chunk::Is(const char* fourcc) const { return std::memcmp(type, fourcc, sizeof type) == 0; }

bool WebpChunkReader::ReadRiffHeader() {
  std::vector<std::uint8_t> riff;
  if (!Read(kRiffHeaderBytes, riff)) return false;
  fileBytes_ = std::uint64_t{Little32(&riff[4])} + kChunkHeaderBytes;
  return std::memcmp(riff.data(), "RIFF", 4) == 0 && std::memcmp(riff.data() + 8, "WEBP", 4) == 0;
}

std::optional<WebpChunkReader::Chunk> WebpChunkReader::NextChunk() {
  std::vector<std::uint8_t> header;
  if (!Read(kChunkHeaderBytes, header)) return std::nullopt;
  Chunk chunk;
  std::memcpy(chunk.type, header.data(), sizeof chunk.type);
  chunk.size = Little32(&header[4]);
  return chunk;
}

bool WebpChunkReader::Read(std::size_t length, std::vector<std::uint8_t>& out) {
  while (length > 0) {
    const std::span<const std::uint8_t> piece = bytes_.Next(length);
    if (piece.empty()) return false;
    out.insert(out.end(), piece.begin(), piece.end());
    position_ += piece.size();
    length -= piece.size();
  }
  return true;
}

bool WebpChunkReader::Skip(std::uint64_t length) {
  while (length > 0) {
    const std::span<const std::uint8_t> piece = bytes_.Next(static_cast<std::size_t>(std::min<std::uint64_t>(length, kSkipBytes)));
    if (piece.empty()) return false;
    position_ += piece.size();
    length -= piece.size();
  }
  return true;
}

PictureError WebpChunkReader::Failure(const std::string& where) const {
  if (!bytes_.Error().empty()) return PictureError::CannotRead(bytes_.Error());
  return PictureError::Damaged("WebP", "the file ends " + where);
}

WebpChunkReader::Canvas WebpChunkReader::ParseCanvas(const std::uint8_t* extendedHeader) {
  return {static_cast<std::int32_t>(1 + Little24(extendedHeader + 4)),
          static_cast<std::int32_t>(1 + Little24(extendedHeader + 7)), (extendedHeader[0] & kAnimationFlag) != 0};
}

WebpChunkReader::FrameHeader WebpChunkReader::ParseFrameHeader(const std::uint8_t* frameHeader) {
  constexpr std::uint8_t kNoBlendFlag = 0x02;
  constexpr std::uint8_t kDisposeFlag = 0x01;
  FrameHeader frame;
  frame.x = static_cast<std::int32_t>(2 * Little24(frameHeader));
  frame.y = static_cast<std::int32_t>(2 * Little24(frameHeader + 3));
  frame.width = static_cast<std::int32_t>(1 + Little24(frameHeader + 6));
  frame.height = static_cast<std::int32_t>(1 + Little24(frameHeader + 9));
  frame.durationMs = Little24(frameHeader + 12);
  frame.blend = (frameHeader[15] & kNoBlendFlag) == 0;
  frame.disposeToBackground = (frameHeader[15] & kDisposeFlag) != 0;
  return frame;
}

std::uint32_t WebpChunkReader::LoopsOf(const std::uint8_t* animationHeader) { return Little16(animationHeader + 4); }

}  // namespace tessaglyph
