#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "decode/bmp/bmp_info.h"
#include "decode/bmp/bmp_uncompressed_decoder.h"
#include "decode/decoding_source.h"
#include "input/byte_source.h"
#include "input/batch_read_ahead.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// An uncompressed or bit-field BMP read a batch of stored rows at a time,
// each row decoded when it is asked for. A bottom-up file is read from its
// end backwards, so memory holds one batch of file bytes (a few when read
// ahead) and one row of pixels, never the whole picture. A 24-bit picture
// also lends its rows as the file stores them, and where a core was granted
// for reading ahead, it may be split instead: a second reader then reads the
// lower rows on a thread of their own.
class BmpRowSource : public DecodingSource {
 public:
  // info must describe an uncompressed or bit-field picture whose stored
  // rows all lie within bytes. With readAhead the batches are read on a
  // helper thread while the rows of the one before are used. Reading stops
  // at the next batch once cancel is set.
  BmpRowSource(const BmpInfo& info, std::unique_ptr<ByteSource> bytes, bool readAhead,
               const std::atomic<bool>* cancel);

  // What the source holds for a picture described by info: the batches of
  // the file's rows and one row of pixels (or, split, a batch and a row for
  // each of the two readers, which is less).
  static std::uint64_t MemoryBytes(const BmpInfo& info, bool readAhead);

  std::int32_t Width() const override { return static_cast<std::int32_t>(info_.width); }
  std::int32_t Height() const override { return static_cast<std::int32_t>(info_.height); }
  const Pixel32* Row(std::int32_t y) override;
  std::int32_t ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination, std::size_t stride) override;
  bool LendsBgrRows() const override { return info_.bitsPerPixel == 24; }
  const std::uint8_t* BgrRow(std::int32_t y) override;
  PixelSource* SecondReader() override;
  const std::string& Warning() const override { return warning_; }
  const std::string& Error() const override;

 private:
  // Batch k holds the picture rows k * rowsPerBatch_ on, top first.
  struct Range {
    std::uint64_t offset;
    std::size_t length;
  };
  Range BatchRange(std::int64_t batch) const;
  // Reads batch into slot, on the helper that reads ahead.
  bool ReadAhead(std::int64_t batch, std::uint8_t* slot, std::size_t& length, std::string& failure) const;
  std::int64_t Batches() const;
  std::int64_t FirstStoredRow(std::int64_t batch) const;
  // The stored bytes of picture row y; nullptr (error_ set) when they
  // cannot be read.
  const std::uint8_t* StoredRow(std::int32_t y);
  bool ReadBatch(std::int64_t batch);
  bool DecodeInto(std::int32_t y, Pixel32* target);

  BmpInfo info_;
  BmpUncompressedDecoder decoder_;  // refers to info_
  std::unique_ptr<ByteSource> bytes_;
  const std::atomic<bool>* cancel_;
  std::int64_t rowsPerBatch_;
  bool readAheadWanted_;  // started with the first batch, unless split before
  std::optional<BatchReadAhead> readAhead_;  // uses bytes_
  std::unique_ptr<BmpRowSource> second_;     // the reader of the lower rows, once split
  const std::uint8_t* batch_ = nullptr;
  std::int64_t batchIndex_ = -1;
  std::vector<Pixel32> row_;
  std::int64_t highestIndex_ = -1;  // of the rows decoded so far
  std::string warning_;
  std::string error_;
};

}  // namespace tessaglyph
