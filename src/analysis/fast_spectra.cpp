#include "analysis/fast_spectra.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "analysis/simd/fourier_kernel.h"
#include "formats/byte_order.h"

namespace kelditra::fast {

// Why a magnitude from the vector sums may stand for BinMagnitude's.
//
// For one bin both paths add up the same products in the same order over the
// same angles θ_n; only the sines and cosines differ. Against the exact sums
// R = Σ cos θ_n x_n and I = Σ sin θ_n x_n, with |x_n| <= 32768:
//   - a sine or cosine within E of the true value moves a sum by at most
//     735 * 32768 * E. E is kSinCosError for the vector kernel. For libm we
//     assume kLibmSinCosError = 2^-40: glibc documents 1 ulp (at most 2^-52
//     here), and mingw-w64's x87 routines, whose π has 66 bits, were seen
//     within 2^-49 on angles up to 2^20;
//   - each product, at most 32768 (1 + E), rounds by at most 2^-38;
//   - each of the 735 partial sums stays below 735 * 32768 < 2^25 and rounds
//     by at most 2^-29.
// So each computed sum lies within 735 (32768 E + 2^-38 + 2^-29) of R or I,
// and since ||a| - |b|| <= |a - b| <= |Δre| + |Δim|, the computed sums' length
// over 735 lies within 2 (32768 E + 2^-38 + 2^-29) of T = |R + iI| / 735.
// Forming sqrt(re * re + im * im) / 735 rounds five times, the square root
// halving its argument's error: about 3 * 2^-53 of a value at most
// 32768 (1 + 2^-24), so below 2^-36. Halving bin 0 is exact. Each path's
// magnitude thus lies within its bound of T, and the two within
//   kMagnitudeDistance = 2 * 32768 (kSinCosError + kLibmSinCosError)
//                        + 4 (2^-38 + 2^-29) + 2 * 2^-36  (about 6.7e-8)
// of each other. A vector magnitude farther than that from every whole number
// truncates as the plain one does; one below 1 needs only stay that far
// below 1, since neither magnitude is ever negative. kCertifiedDistance is
// twice the bound, which also covers the rounding of the test itself. A bin
// whose step is 0 needs no test: both paths then take sin 0 = 0 and
// cos 0 = 1 exactly at every sample and form the same sums.
namespace {

constexpr double kLibmSinCosError = 0x1p-40;
constexpr double kMagnitudeDistance = 2 * 32768 * (kSinCosError + kLibmSinCosError) +
                                      4 * (0x1p-38 + 0x1p-29) + 2 * 0x1p-36;

}  // namespace

const double kCertifiedDistance = 2 * kMagnitudeDistance;

namespace {

constexpr int32_t kAllBins = 2 * kSpectrumBins;  // half-harmonic bins, then harmonic bins

// A bin that has to be computed: what BinMagnitude is called with.
struct DistinctBin {
  int32_t bin;  // as BinMagnitude sees it: only bin 0 is treated differently
  double step;
};

int32_t SumOf(const int32_t* bins) {
  int32_t sum = 0;
  for (int32_t n = 0; n < kSpectrumBins; ++n) sum += bins[n];
  return sum;
}

bool SameStep(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

using FourierSums = void (*)(const double* x, const double* steps, double* re, double* im);

struct VectorKernel {
  FourierSums sums;  // nullptr: the plain path for every bin
  int32_t lanes;
};

VectorKernel VectorKernelFor(SimdLevel level) {
  switch (level) {
#if defined(KELDITRA_HAVE_X86_KERNELS)
    case SimdLevel::kSse2:
      return {FourierSumsSse2, kSse2FourierLanes};
    case SimdLevel::kAvx2:
      return {FourierSumsAvx2, kAvx2FourierLanes};
    case SimdLevel::kAvx512:
      return {FourierSumsAvx512, kAvx512FourierLanes};
#endif
    default:
      return {nullptr, 1};
  }
}

// Whether a magnitude within `distance` of `magnitude` truncates as it does.
bool TruncatesAlike(double magnitude, double distance) {
  const double whole = std::floor(magnitude);
  return (whole == 0 || magnitude - whole > distance) && whole + 1 - magnitude > distance;
}

}  // namespace

FrameSpectra ComputeFrameSpectraShared(const uint8_t* samples, int32_t frame, int32_t fundamental,
                                       WorkerCrew& crew, SimdLevel simd, int32_t* plain_bins,
                                       double certified_distance) {
  double x[kFrameLength];
  const uint8_t* first = samples + int64_t{2} * kFrameLength * frame;
  bool silent = true;
  for (int32_t n = 0; n < kFrameLength; ++n) {
    x[n] = static_cast<int16_t>(ReadLittle16(first + 2 * n));
    silent = silent && x[n] == 0.0;
  }

  FrameSpectra spectra;
  spectra.fundamental = fundamental;
  int32_t values[kAllBins];
  std::atomic<int32_t> recomputed{0};
  if (silent) {
    // Every product is a signed zero, and adding one to +0.0 leaves +0.0.
    std::memset(values, 0, sizeof values);
  } else {
    const double cycles_per_frame = fundamental / static_cast<double>(kFramesPerSecond);
    DistinctBin distinct[kAllBins];
    int32_t source[kAllBins];  // which distinct bin each of the 256 takes its value from
    int32_t distinct_count = 0;
    for (int32_t i = 0; i < kAllBins; ++i) {
      const int32_t bin = i % kSpectrumBins;
      const double step = i < kSpectrumBins ? HalfHarmonicStep(bin, cycles_per_frame)
                                            : HarmonicStep(bin, cycles_per_frame);
      // Equal steps come from half-harmonic bin 2 * bin, or from the bin just
      // before when every step is 0; looking at those two finds them all.
      auto same = [&](int32_t k) {
        return k >= 0 && (distinct[k].bin == 0) == (bin == 0) && SameStep(distinct[k].step, step);
      };
      int32_t found = -1;
      if (i >= kSpectrumBins && 2 * bin < kSpectrumBins && same(source[2 * bin])) {
        found = source[2 * bin];
      } else if (same(distinct_count - 1)) {
        found = distinct_count - 1;
      }
      if (found < 0) {
        found = distinct_count++;
        distinct[found] = {bin, step};
      }
      source[i] = found;
    }

    // The vector kernel takes the bins whose angles stay in its range, a
    // group of lanes at a time, the last group padded with steps of 0; the
    // rest go the plain way, one bin at a time.
    const VectorKernel kernel = VectorKernelFor(simd);
    int32_t vector_bins[kAllBins];
    int32_t vector_count = 0;
    int32_t plain[kAllBins];
    int32_t plain_count = 0;
    for (int32_t k = 0; k < distinct_count; ++k) {
      const bool in_range = std::fabs(distinct[k].step) * kFrameLength < kSinCosLargestAngle;
      if (kernel.sums != nullptr && in_range) {
        vector_bins[vector_count++] = k;
      } else {
        plain[plain_count++] = k;
      }
    }
    const int32_t groups = (vector_count + kernel.lanes - 1) / kernel.lanes;

    int32_t distinct_values[kAllBins];
    std::atomic<int32_t> next{0};
    auto task = [&](int32_t) {
      for (;;) {
        const int32_t t = next.fetch_add(1, std::memory_order_relaxed);
        if (t >= groups + plain_count) return;
        if (t >= groups) {
          const DistinctBin& bin = distinct[plain[t - groups]];
          distinct_values[plain[t - groups]] = BinMagnitude(x, bin.bin, bin.step);
          continue;
        }
        const int32_t lanes = std::min(kernel.lanes, vector_count - t * kernel.lanes);
        double steps[kMostFourierLanes] = {};
        for (int32_t lane = 0; lane < lanes; ++lane) {
          steps[lane] = distinct[vector_bins[t * kernel.lanes + lane]].step;
        }
        double re[kMostFourierLanes];
        double im[kMostFourierLanes];
        kernel.sums(x, steps, re, im);
        for (int32_t lane = 0; lane < lanes; ++lane) {
          const int32_t k = vector_bins[t * kernel.lanes + lane];
          const DistinctBin& bin = distinct[k];
          const double magnitude = SumsMagnitude(re[lane], im[lane], bin.bin);
          if (bin.step == 0 || TruncatesAlike(magnitude, certified_distance)) {
            distinct_values[k] = static_cast<int32_t>(magnitude);
          } else {
            distinct_values[k] = BinMagnitude(x, bin.bin, bin.step);
            recomputed.fetch_add(1, std::memory_order_relaxed);
          }
        }
      }
    };
    crew.Run(task);
    for (int32_t i = 0; i < kAllBins; ++i) values[i] = distinct_values[source[i]];
  }
  if (plain_bins != nullptr) *plain_bins = recomputed.load();

  std::memcpy(spectra.half_harmonic, values, sizeof spectra.half_harmonic);
  std::memcpy(spectra.harmonic, values + kSpectrumBins, sizeof spectra.harmonic);
  spectra.half_harmonic_sum = SumOf(spectra.half_harmonic);
  spectra.harmonic_sum = SumOf(spectra.harmonic);
  spectra.half_harmonic[0] = 0;
  spectra.harmonic[0] = 0;
  return spectra;
}

}  // namespace kelditra::fast
