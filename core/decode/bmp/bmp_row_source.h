#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decode/bmp/bmp_info.h"
#include "decode/bmp/bmp_uncompressed_decoder.h"
#include "input/byte_source.h"
#include "decode/decoding_source.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// An uncompressed or bit-field BMP read a batch of stored rows at a time,
// each row decoded when it is asked for. A bottom-up file is read from its
// end backwards, so memory holds one batch of file bytes and one row of
// pixels, never the whole picture.
class BmpRowSource : public DecodingSource {
 public:
  // info must describe an uncompressed or bit-field picture whose stored
  // rows all lie within bytes.
  BmpRowSource(const BmpInfo& info, std::unique_ptr<ByteSource> bytes);

  // What the source holds for a picture described by info: a batch of the
  // file's rows and one row of pixels.
  static std::uint64_t MemoryBytes(const BmpInfo& info);

  std::int32_t Width() const override { return static_cast<std::int32_t>(info_.width); }
  std::int32_t Height() const override { return static_cast<std::int32_t>(info_.height); }
  const Pixel32* Row(std::int32_t y) override;
  std::int32_t ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination, std::size_t stride) override;
  const std::string& Warning() const override { return warning_; }
  const std::string& Error() const override { return error_; }

 private:
  bool ReadBatchHolding(std::int64_t storedRow);
  bool DecodeInto(std::int32_t y, Pixel32* target);

  BmpInfo info_;
  BmpUncompressedDecoder decoder_;  // refers to info_
  std::unique_ptr<ByteSource> bytes_;
  std::int64_t rowsPerBatch_;
  const std::uint8_t* batch_ = nullptr;
  std::int64_t batchFirst_ = 0;  // the stored rows of the batch: [first, end)
  std::int64_t batchEnd_ = 0;
  std::vector<Pixel32> row_;
  std::int64_t highestIndex_ = -1;  // of the rows decoded so far
  std::string warning_;
  std::string error_;
};

}  // namespace tessaglyph
