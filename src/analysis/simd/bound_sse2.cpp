// The bound kernel with 128-bit vectors and nothing past SSE2, which every
// x86-64 processor has: 4 lanes times the two bins of a pair per step.

#include <emmintrin.h>

#include "analysis/simd/bound_kernel.h"

namespace kelditra::fast {

namespace {

__m128i Minimum32(__m128i x, __m128i y) {
  const __m128i x_larger = _mm_cmpgt_epi32(x, y);
  return _mm_or_si128(_mm_and_si128(x_larger, y), _mm_andnot_si128(x_larger, x));
}

}  // namespace

uint32_t BoundBlockSse2(const BoundBlockArgs& args) {
  const __m128i low_multiplier = _mm_set1_epi16(static_cast<int16_t>(args.low_multiplier));
  const __m128i low_mask = _mm_set1_epi16(static_cast<int16_t>(args.low_mask));
  const __m128i high_multiplier = _mm_set1_epi16(static_cast<int16_t>(args.high_multiplier));
  const __m128i high_mask = _mm_set1_epi16(static_cast<int16_t>(args.high_mask));
  const __m128i shift = _mm_cvtsi32_si128(args.shift);
  // The shifted distance is at most 8191, so a signed minimum serves.
  const __m128i cap = _mm_set1_epi16(static_cast<int16_t>(args.cap));
  const __m128i ceiling = _mm_set1_epi32(args.limit + 1);
  const __m128i zero = _mm_setzero_si128();

  __m128i stay_below[8];
  __m128i sum[8];
  const __m128i tie_voice = _mm_set1_epi32(args.tie_voice);
  for (int32_t k = 0; k < 8; ++k) {
    const __m128i voices = _mm_loadu_si128(reinterpret_cast<const __m128i*>(args.voices + 4 * k));
    const __m128i after = args.ties_exact ? _mm_cmpgt_epi32(voices, tie_voice) : zero;
    stay_below[k] = _mm_add_epi32(ceiling, after);
    sum[k] = zero;
  }

  uint32_t alive = args.lanes;
  for (int32_t group = 0; group < kBoundGroups; ++group) {
    const uint16_t* values = args.values + group * args.group_stride;
    for (int32_t pair = 0; pair < kGroupBins / 2; ++pair) {
      const int32_t p = group * kGroupBins / 2 + pair;
      const __m128i target = _mm_set1_epi32(static_cast<int32_t>(args.target_pairs[p]));
      const __m128i target_plus7 = _mm_set1_epi32(static_cast<int32_t>(args.target_plus7_pairs[p]));
      for (int32_t k = 0; k < 8; ++k) {
        const __m128i v = _mm_loadu_si128(
            reinterpret_cast<const __m128i*>(values + pair * 2 * kBlockLanes + 8 * k));
        const __m128i low =
            _mm_adds_epu16(_mm_mulhi_epu16(v, low_multiplier), _mm_and_si128(v, low_mask));
        const __m128i high =
            _mm_adds_epu16(_mm_mulhi_epu16(v, high_multiplier), _mm_and_si128(v, high_mask));
        const __m128i distance =
            _mm_or_si128(_mm_subs_epu16(target_plus7, high), _mm_subs_epu16(low, target));
        const __m128i a = _mm_min_epi16(_mm_srl_epi16(distance, shift), cap);
        sum[k] = _mm_add_epi32(sum[k], _mm_madd_epi16(_mm_mullo_epi16(a, a), a));
      }
      uint32_t stay = 0;
      for (int32_t k = 0; k < 8; ++k) {
        const __m128i below = _mm_cmpgt_epi32(stay_below[k], sum[k]);
        stay |= static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(below))) << (4 * k);
      }
      alive &= stay;
      if (alive == 0) return 0;
    }
    for (int32_t k = 0; k < 8; ++k) sum[k] = Minimum32(sum[k], ceiling);
  }
  return alive;
}

}  // namespace kelditra::fast
