#include "render/ramp_row.h"

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

#ifdef TESSAGLYPH_X86
// 32 pixels a step: the sums in 16-bit lanes, the run index as the count of
// run starts at or below each sum, the character by a byte shuffle. The two
// horizontal adds and the pack interleave groups of four pixels across the
// register halves; one dword permutation puts them back in order.
__attribute__((target("avx2"))) Pixel32 WriteByRuns(const Pixel32* row, std::size_t columns, const std::int16_t* firstSum,
                                                  std::size_t runs, const char* runByte, char* text,
                                                  std::size_t& done) {
  const __m256i weights = _mm256_set1_epi32(0x00010101);
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const __m256i bytes = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(runByte)));
  __m256i starts[16];
  for (std::size_t k = 1; k < runs; ++k) starts[k] = _mm256_set1_epi16(static_cast<std::int16_t>(firstSum[k] - 1));
  __m256i common = _mm256_set1_epi32(-1);
  std::size_t x = 0;
  for (; x + 32 <= columns; x += 32) {
    const auto* in = reinterpret_cast<const __m256i*>(row + x);
    const __m256i a = _mm256_loadu_si256(in);
    const __m256i b = _mm256_loadu_si256(in + 1);
    const __m256i c = _mm256_loadu_si256(in + 2);
    const __m256i d = _mm256_loadu_si256(in + 3);
    common = _mm256_and_si256(common, _mm256_and_si256(_mm256_and_si256(a, b), _mm256_and_si256(c, d)));
    const __m256i sumsAB = _mm256_hadd_epi16(_mm256_maddubs_epi16(a, weights), _mm256_maddubs_epi16(b, weights));
    const __m256i sumsCD = _mm256_hadd_epi16(_mm256_maddubs_epi16(c, weights), _mm256_maddubs_epi16(d, weights));
    __m256i runAB = _mm256_setzero_si256();
    __m256i runCD = _mm256_setzero_si256();
    for (std::size_t k = 1; k < runs; ++k) {
      runAB = _mm256_sub_epi16(runAB, _mm256_cmpgt_epi16(sumsAB, starts[k]));
      runCD = _mm256_sub_epi16(runCD, _mm256_cmpgt_epi16(sumsCD, starts[k]));
    }
    const __m256i characters = _mm256_shuffle_epi8(bytes, _mm256_packus_epi16(runAB, runCD));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(text + x), _mm256_permutevar8x32_epi32(characters, order));
  }
  done = x;
  alignas(32) Pixel32 lanes[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), common);
  Pixel32 all = 0xFFFFFFFFu;
  for (Pixel32 lane : lanes) all &= lane;
  return all;
}
#endif

}  // namespace

RampRow::RampRow(const CharacterRamp& ramp) : byteOfSum_(ramp.ByteOfSum().data()) {
#ifdef TESSAGLYPH_X86
  vectors_ = FindRuns() && __builtin_cpu_supports("avx2");
#endif
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
  if (vectors_) common = WriteByRuns(row, columns, firstSum_.data(), runs_, runByte_.data(), text, done);
#endif
  common &= WriteByTable(row + done, columns - done, byteOfSum_, text + done);
  return common >> 24 == 0xFF;
}

}  // namespace tessaglyph
