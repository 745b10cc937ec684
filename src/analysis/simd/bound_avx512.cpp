// The bound kernel with 512-bit vectors: 16 lanes times the two bins of a
// pair per step. Built with -mavx512f -mavx512bw; runs only when the
// processor has both.

#include <immintrin.h>

#include "analysis/simd/bound_kernel.h"

namespace kelditra::fast {

uint32_t BoundBlockAvx512(const BoundBlockArgs& args) {
  const __m512i low_multiplier = _mm512_set1_epi16(static_cast<int16_t>(args.low_multiplier));
  const __m512i low_mask = _mm512_set1_epi16(static_cast<int16_t>(args.low_mask));
  const __m512i high_multiplier = _mm512_set1_epi16(static_cast<int16_t>(args.high_multiplier));
  const __m512i high_mask = _mm512_set1_epi16(static_cast<int16_t>(args.high_mask));
  const __m128i shift = _mm_cvtsi32_si128(args.shift);
  const __m512i cap = _mm512_set1_epi16(static_cast<int16_t>(args.cap));
  const __m512i ceiling = _mm512_set1_epi32(args.limit + 1);

  __m512i stay_below[2];
  __m512i sum[2];
  const __m512i tie_voice = _mm512_set1_epi32(args.tie_voice);
  for (int32_t k = 0; k < 2; ++k) {
    const __m512i voices = _mm512_loadu_si512(args.voices + 16 * k);
    // Lanes after the tie voice get limit + 1 - 1.
    const __mmask16 after =
        args.ties_exact ? _mm512_cmpgt_epi32_mask(voices, tie_voice) : __mmask16{0};
    stay_below[k] = _mm512_mask_sub_epi32(ceiling, after, ceiling, _mm512_set1_epi32(1));
    sum[k] = _mm512_setzero_si512();
  }

  uint32_t alive = args.lanes;
  for (int32_t group = 0; group < kBoundGroups; ++group) {
    const uint16_t* values = args.values + group * args.group_stride;
    for (int32_t pair = 0; pair < kGroupBins / 2; ++pair) {
      const int32_t p = group * kGroupBins / 2 + pair;
      const __m512i target = _mm512_set1_epi32(static_cast<int32_t>(args.target_pairs[p]));
      const __m512i target_plus7 =
          _mm512_set1_epi32(static_cast<int32_t>(args.target_plus7_pairs[p]));
      for (int32_t k = 0; k < 2; ++k) {
        const __m512i v = _mm512_loadu_si512(values + pair * 2 * kBlockLanes + 32 * k);
        const __m512i low =
            _mm512_adds_epu16(_mm512_mulhi_epu16(v, low_multiplier), _mm512_and_si512(v, low_mask));
        const __m512i high = _mm512_adds_epu16(_mm512_mulhi_epu16(v, high_multiplier),
                                               _mm512_and_si512(v, high_mask));
        const __m512i distance =
            _mm512_or_si512(_mm512_subs_epu16(target_plus7, high), _mm512_subs_epu16(low, target));
        const __m512i a = _mm512_min_epu16(_mm512_srl_epi16(distance, shift), cap);
        sum[k] = _mm512_add_epi32(sum[k], _mm512_madd_epi16(_mm512_mullo_epi16(a, a), a));
      }
      alive &= static_cast<uint32_t>(_mm512_cmpgt_epi32_mask(stay_below[0], sum[0])) |
               (static_cast<uint32_t>(_mm512_cmpgt_epi32_mask(stay_below[1], sum[1])) << 16);
      if (alive == 0) return 0;
    }
    // The zero-masked minimum, every lane selected, is the plain one without
    // the undefined source that GCC 12's header warns about.
    sum[0] = _mm512_maskz_min_epi32(0xFFFF, sum[0], ceiling);
    sum[1] = _mm512_maskz_min_epi32(0xFFFF, sum[1], ceiling);
  }
  return alive;
}

}  // namespace kelditra::fast
