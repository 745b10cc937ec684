// The bound kernel with 128-bit vectors and nothing past SSE2, which every
// x86-64 processor has: 8 lanes of 16 bits per step.

#include <emmintrin.h>

#include "analysis/simd/bound_kernel.h"

namespace {

// SSE2 has no 32-bit low multiply; the products here stay below 2^31.
__m128i MultiplyLow32(__m128i x, __m128i y) {
  const __m128i even = _mm_mul_epu32(x, y);
  const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(x, 32), _mm_srli_epi64(y, 32));
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

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
    for (int32_t b = 0; b < kGroupBins; ++b) {
      const int32_t j = group * kGroupBins + b;
      const __m128i target = _mm_set1_epi16(static_cast<int16_t>(args.target[j]));
      const __m128i target_plus7 = _mm_set1_epi16(static_cast<int16_t>(args.target_plus7[j]));
      for (int32_t quarter = 0; quarter < 4; ++quarter) {
        const __m128i p = _mm_loadu_si128(
            reinterpret_cast<const __m128i*>(values + b * kBlockLanes + 8 * quarter));
        const __m128i low =
            _mm_adds_epu16(_mm_mulhi_epu16(p, low_multiplier), _mm_and_si128(p, low_mask));
        const __m128i high =
            _mm_adds_epu16(_mm_mulhi_epu16(p, high_multiplier), _mm_and_si128(p, high_mask));
        const __m128i distance =
            _mm_or_si128(_mm_subs_epu16(target_plus7, high), _mm_subs_epu16(low, target));
        const __m128i a = _mm_min_epi16(_mm_srl_epi16(distance, shift), cap);
        const __m128i a0 = _mm_unpacklo_epi16(a, zero);
        const __m128i a1 = _mm_unpackhi_epi16(a, zero);
        sum[2 * quarter] =
            _mm_add_epi32(sum[2 * quarter], MultiplyLow32(_mm_madd_epi16(a0, a0), a0));
        sum[2 * quarter + 1] =
            _mm_add_epi32(sum[2 * quarter + 1], MultiplyLow32(_mm_madd_epi16(a1, a1), a1));
      }
    }
    uint32_t stay = 0;
    for (int32_t k = 0; k < 8; ++k) {
      const __m128i below = _mm_cmpgt_epi32(stay_below[k], sum[k]);
      stay |= static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(below))) << (4 * k);
      sum[k] = Minimum32(sum[k], ceiling);
    }
    alive &= stay;
    if (alive == 0) break;
  }
  return alive;
}
