#include "render/ramp_row.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TESSAGLYPH_X86 1
#endif

namespace tessaglyph {
namespace {

Pixel32 WriteByTable(const Pixel32* row, std::size_t columns, const char* byteOfSum, char* text) {
  Pixel32 common = 0xFFFFFFFFu;
  std::size_t x = 0;
  for (; x + 4 <= columns; x += 4) {
    const char a = byteOfSum[RampRow::SumOf(row[x])];
    const char b = byteOfSum[RampRow::SumOf(row[x + 1])];
    const char c = byteOfSum[RampRow::SumOf(row[x + 2])];
    const char d = byteOfSum[RampRow::SumOf(row[x + 3])];
    text[x] = a;
    text[x + 1] = b;
    text[x + 2] = c;
    text[x + 3] = d;
    common &= row[x] & row[x + 1] & row[x + 2] & row[x + 3];
  }
  for (; x < columns; ++x) {
    text[x] = byteOfSum[RampRow::SumOf(row[x])];
    common &= row[x];
  }
  return common;
}

// What the vector loops need of a ramp's runs.
struct RampRuns {
  const std::int16_t* firstSum;
  std::size_t runs;
  const char* runByte;
  std::uint16_t evenStart;
  std::uint16_t evenReciprocal;  // 0 where the runs are not equally wide
};

void WriteBgrByTable(const std::uint8_t* bgr, std::size_t columns, const char* byteOfSum, char* text) {
  for (std::size_t x = 0; x < columns; ++x, bgr += 3) text[x] = byteOfSum[bgr[0] + bgr[1] + bgr[2]];
}

#ifdef TESSAGLYPH_X86
// The run starts and characters of a ramp, held in registers for a row.
struct RunRegisters {
  __m256i bytes;
  __m256i starts[16];
  std::size_t runs;
  bool even;
  __m256i evenStart;
  __m256i evenReciprocal;
  __m256i lastRun;
};

__attribute__((target("avx2"), always_inline)) inline RunRegisters LoadRuns(const RampRuns& ramp) {
  RunRegisters registers{_mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ramp.runByte))),
                         {},
                         ramp.runs,
                         ramp.evenReciprocal != 0,
                         _mm256_set1_epi16(static_cast<std::int16_t>(ramp.evenStart)),
                         _mm256_set1_epi16(static_cast<std::int16_t>(ramp.evenReciprocal)),
                         _mm256_set1_epi16(static_cast<std::int16_t>(ramp.runs - 1))};
  for (std::size_t k = 1; k < ramp.runs; ++k) {
    registers.starts[k] = _mm256_set1_epi16(static_cast<std::int16_t>(ramp.firstSum[k] - 1));
  }
  return registers;
}

// The run index of sixteen sums: by one multiplication where the runs are
// equally wide, else as the count of run starts at or below each sum.
__attribute__((target("avx2"), always_inline)) inline __m256i RunsOf(__m256i sums, const RunRegisters& registers) {
  if (registers.even) {
    const __m256i index = _mm256_mulhi_epu16(_mm256_subs_epu16(sums, registers.evenStart), registers.evenReciprocal);
    return _mm256_min_epu16(index, registers.lastRun);
  }
  __m256i run = _mm256_setzero_si256();
  for (std::size_t k = 1; k < registers.runs; ++k) run = _mm256_sub_epi16(run, _mm256_cmpgt_epi16(sums, registers.starts[k]));
  return run;
}

// 32 pixels, each a 32-bit word whose low three bytes are blue, green and
// red, to their characters: the sums in 16-bit lanes, their run indices,
// the character by a byte shuffle.
// The two horizontal adds and the pack interleave groups of four pixels
// across the register halves; one dword permutation puts them back in order.
__attribute__((target("avx2"), always_inline)) inline void WriteCharacters(__m256i a, __m256i b, __m256i c, __m256i d,
                                                                         const RunRegisters& registers, char* text) {
  const __m256i weights = _mm256_set1_epi32(0x00010101);
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const __m256i sumsAB = _mm256_hadd_epi16(_mm256_maddubs_epi16(a, weights), _mm256_maddubs_epi16(b, weights));
  const __m256i sumsCD = _mm256_hadd_epi16(_mm256_maddubs_epi16(c, weights), _mm256_maddubs_epi16(d, weights));
  const __m256i characters =
      _mm256_shuffle_epi8(registers.bytes, _mm256_packus_epi16(RunsOf(sumsAB, registers), RunsOf(sumsCD, registers)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(text), _mm256_permutevar8x32_epi32(characters, order));
}

__attribute__((target("avx2"))) Pixel32 WriteByRuns(const Pixel32* row, std::size_t columns, const RampRuns& ramp,
                                                  char* text, std::size_t& done) {
  const RunRegisters registers = LoadRuns(ramp);
  __m256i common = _mm256_set1_epi32(-1);
  std::size_t x = 0;
  for (; x + 32 <= columns; x += 32) {
    const auto* in = reinterpret_cast<const __m256i*>(row + x);
    const __m256i a = _mm256_loadu_si256(in);
    const __m256i b = _mm256_loadu_si256(in + 1);
    const __m256i c = _mm256_loadu_si256(in + 2);
    const __m256i d = _mm256_loadu_si256(in + 3);
    common = _mm256_and_si256(common, _mm256_and_si256(_mm256_and_si256(a, b), _mm256_and_si256(c, d)));
    WriteCharacters(a, b, c, d, registers, text + x);
  }
  done = x;
  alignas(32) Pixel32 lanes[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), common);
  Pixel32 all = 0xFFFFFFFFu;
  for (Pixel32 lane : lanes) all &= lane;
  return all;
}

// Eight pixels of three bytes into eight words: each register half takes
// twelve bytes, the upper half loaded from 12 bytes on, so a group reads
// four bytes beyond its 24.
__attribute__((target("avx2"), always_inline)) inline __m256i WordsOfEight(const std::uint8_t* bgr) {
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                          0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i both = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(bgr + 12), reinterpret_cast<const __m128i*>(bgr));
  return _mm256_shuffle_epi8(both, spread);
}

// Stops while two pixels (six bytes) are left after a step, for the
// group's over-read to stay within the row.
__attribute__((target("avx2"))) std::size_t WriteBgrByRuns(const std::uint8_t* bgr, std::size_t columns,
                                                         const RampRuns& ramp, char* text) {
  const RunRegisters registers = LoadRuns(ramp);
  std::size_t x = 0;
  for (; x + 34 <= columns; x += 32) {
    const std::uint8_t* in = bgr + 3 * x;
    WriteCharacters(WordsOfEight(in), WordsOfEight(in + 24), WordsOfEight(in + 48), WordsOfEight(in + 72), registers,
                    text + x);
  }
  return x;
}
#endif

}  // namespace

RampRow::RampRow(const CharacterRamp& ramp) : byteOfSum_(ramp.ByteOfSum().data()) {
#ifdef TESSAGLYPH_X86
  vectors_ = FindRuns() && __builtin_cpu_supports("avx2");
  if (vectors_) FindEvenRuns();
#endif
}

// Taken only when the multiplication gives every sum's own run, checked
// sum by sum.
void RampRow::FindEvenRuns() {
  if (runs_ < 3) return;
  const int width = firstSum_[2] - firstSum_[1];
  const int start = firstSum_[1] - width;
  if (start < 0) return;
  const auto reciprocal = static_cast<std::uint16_t>((65536 + width - 1) / width);
  for (int sum = 0; sum <= CharacterRamp::kMaxSum; ++sum) {
    const std::uint32_t index = static_cast<std::uint32_t>(std::max(sum - start, 0)) * reciprocal >> 16;
    if (runByte_[std::min<std::size_t>(index, runs_ - 1)] != byteOfSum_[sum]) return;
  }
  evenStart_ = static_cast<std::uint16_t>(start);
  evenReciprocal_ = reciprocal;
}

bool RampRow::FindRuns() {
  runs_ = 0;
  for (int sum = 0; sum <= CharacterRamp::kMaxSum; ++sum) {
    if (sum > 0 && byteOfSum_[sum] == byteOfSum_[sum - 1]) continue;
    if (runs_ == kMaxRuns) return false;
    firstSum_[runs_] = static_cast<std::int16_t>(sum);
    runByte_[runs_] = byteOfSum_[sum];
    ++runs_;
  }
  return true;
}

bool RampRow::Write(const Pixel32* row, std::size_t columns, char* text) const {
  Pixel32 common = 0xFFFFFFFFu;
  std::size_t done = 0;
#ifdef TESSAGLYPH_X86
  if (vectors_) common = WriteByRuns(row, columns, {firstSum_.data(), runs_, runByte_.data(), evenStart_, evenReciprocal_}, text, done);
#endif
  common &= WriteByTable(row + done, columns - done, byteOfSum_, text + done);
  return common >> 24 == 0xFF;
}

void RampRow::WriteBgr(const std::uint8_t* bgr, std::size_t columns, char* text) const {
  std::size_t done = 0;
#ifdef TESSAGLYPH_X86
  if (vectors_) done = WriteBgrByRuns(bgr, columns, {firstSum_.data(), runs_, runByte_.data(), evenStart_, evenReciprocal_}, text);
#endif
  WriteBgrByTable(bgr + 3 * done, columns - done, byteOfSum_, text + done);
}

}  // namespace tessaglyph
