// The bound kernel with 256-bit vectors: 8 lanes times the two bins of a pair
// per step. Built with -mavx2; runs only when the processor has it.

#include <immintrin.h>

#include "analysis/simd/bound_kernel.h"

namespace kelditra::fast {

uint32_t BoundBlockAvx2(const BoundBlockArgs& args) {
  const __m256i low_multiplier = _mm256_set1_epi16(static_cast<int16_t>(args.low_multiplier));
  const __m256i low_mask = _mm256_set1_epi16(static_cast<int16_t>(args.low_mask));
  const __m256i high_multiplier = _mm256_set1_epi16(static_cast<int16_t>(args.high_multiplier));
  const __m256i high_mask = _mm256_set1_epi16(static_cast<int16_t>(args.high_mask));
  const __m128i shift = _mm_cvtsi32_si128(args.shift);
  const __m256i cap = _mm256_set1_epi16(static_cast<int16_t>(args.cap));
  const __m256i ceiling = _mm256_set1_epi32(args.limit + 1);

  // A lane stays while limit + 1 > sum, or limit > sum for lanes after the
  // tie voice.
  __m256i stay_below[4];
  __m256i sum[4];
  const __m256i tie_voice = _mm256_set1_epi32(args.tie_voice);
  for (int32_t k = 0; k < 4; ++k) {
    const __m256i voices =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(args.voices + 8 * k));
    const __m256i after =
        args.ties_exact ? _mm256_cmpgt_epi32(voices, tie_voice) : _mm256_setzero_si256();
    stay_below[k] = _mm256_add_epi32(ceiling, after);
    sum[k] = _mm256_setzero_si256();
  }

  uint32_t alive = args.lanes;
  for (int32_t group = 0; group < kBoundGroups; ++group) {
    const uint16_t* values = args.values + group * args.group_stride;
    for (int32_t pair = 0; pair < kGroupBins / 2; ++pair) {
      const int32_t p = group * kGroupBins / 2 + pair;
      const __m256i target = _mm256_set1_epi32(static_cast<int32_t>(args.target_pairs[p]));
      const __m256i target_plus7 =
          _mm256_set1_epi32(static_cast<int32_t>(args.target_plus7_pairs[p]));
      for (int32_t k = 0; k < 4; ++k) {
        const __m256i v = _mm256_loadu_si256(
            reinterpret_cast<const __m256i*>(values + pair * 2 * kBlockLanes + 16 * k));
        const __m256i low =
            _mm256_adds_epu16(_mm256_mulhi_epu16(v, low_multiplier), _mm256_and_si256(v, low_mask));
        const __m256i high = _mm256_adds_epu16(_mm256_mulhi_epu16(v, high_multiplier),
                                               _mm256_and_si256(v, high_mask));
        const __m256i distance =
            _mm256_or_si256(_mm256_subs_epu16(target_plus7, high), _mm256_subs_epu16(low, target));
        const __m256i a = _mm256_min_epu16(_mm256_srl_epi16(distance, shift), cap);
        // a * a fits 16 signed bits; the multiply-add sums the pair's cubes.
        const __m256i cubes = _mm256_madd_epi16(_mm256_mullo_epi16(a, a), a);
        sum[k] = _mm256_add_epi32(sum[k], cubes);
      }
      uint32_t stay = 0;
      for (int32_t k = 0; k < 4; ++k) {
        const __m256i below = _mm256_cmpgt_epi32(stay_below[k], sum[k]);
        stay |= static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(below))) << (8 * k);
      }
      alive &= stay;
      if (alive == 0) return 0;
    }
    for (int32_t k = 0; k < 4; ++k) sum[k] = _mm256_min_epi32(sum[k], ceiling);
  }
  return alive;
}

}  // namespace kelditra::fast
