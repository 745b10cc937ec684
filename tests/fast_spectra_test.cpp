// The shared spectra against the plain ComputeFrameSpectra, bit for bit, with
// every kernel (or the one KELDITRA_SIMD names), and the vector sine and
// cosine against long double.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/fast_spectra.h"
#include "analysis/frame_spectra.h"
#include "analysis/simd/fourier_kernel.h"
#include "analysis/simd/simd_level.h"
#include "job_fixtures.h"
#include "kernels_under_test.h"

namespace kelditra::fast {

namespace {

struct SpectraCase {
  std::string name;
  int32_t fundamental;
  std::vector<int16_t> samples;
};

std::vector<SpectraCase> SpectraCases() {
  auto frame = [](auto sample) {
    std::vector<int16_t> samples(kFrameLength);
    for (int32_t n = 0; n < kFrameLength; ++n) samples[n] = static_cast<int16_t>(sample(n));
    return samples;
  };
  std::vector<SpectraCase> cases = {
      {"silence", 220, frame([](int32_t) { return 0; })},
      {"constant at fundamental 0", 0, frame([](int32_t) { return 100; })},
      {"four periods of 240 Hz", 240,
       frame([](int32_t n) { return std::lround(10000 * std::sin(2 * std::numbers::pi * 240 * n / 44100)); })},
      {"full-scale square at 1 Hz", 1, frame([](int32_t n) { return n % 100 < 50 ? 32767 : -32768; })},
      {"a lone sample", 441, frame([](int32_t n) { return n == 367 ? -5 : 0; })},
      // Past anything a pitch track holds: the angles of the higher bins
      // outgrow the vector kernel's range, and those bins go the plain way.
      {"noise at 2,000,000 Hz", 2000000, frame([](int32_t n) { return (n * 104729 % 60001) - 30000; })},
  };
  std::mt19937 random(1406);
  for (int32_t k = 0; k < 10; ++k) {
    const int32_t amplitude = k % 2 == 0 ? 32767 : 200;
    std::uniform_int_distribution<int32_t> sample(-amplitude - 1, amplitude);
    const int32_t fundamental = k == 0 ? 65535 : static_cast<int32_t>(random() % 65536);
    cases.push_back({"noise, random " + std::to_string(k), fundamental,
                     frame([&](int32_t) { return sample(random); })});
  }
  return cases;
}

// With the proven distance, and with one so large that no magnitude passes
// and every bin with a step is recomputed the plain way: the same bytes.
TEST(CertifiedSpectraTest, EqualThePlainSpectraBitForBit) {
  std::string error;
  const std::vector<SimdLevel> kernels = KernelsUnderTest(&error);
  if (!error.empty()) GTEST_SKIP() << error;
  for (const SpectraCase& spectra_case : SpectraCases()) {
    // Frame 1 of two, so that the frame's offset is honoured.
    std::vector<int16_t> samples(kFrameLength, 7);
    samples.insert(samples.end(), spectra_case.samples.begin(), spectra_case.samples.end());
    const std::vector<uint8_t> bytes = PcmBytes(samples);
    const FrameSpectra plain = ComputeFrameSpectra(bytes.data(), 1, spectra_case.fundamental);
    // Half-harmonic bins 1..127 and harmonic bins 64..127 have steps of
    // their own; bin 0 and every bin at fundamental 0 have step 0.
    const bool silent = std::all_of(spectra_case.samples.begin(), spectra_case.samples.end(),
                                    [](int16_t sample) { return sample == 0; });
    const bool has_steps = !silent && spectra_case.fundamental > 0 && spectra_case.fundamental < 2000000;
    for (const SimdLevel simd : kernels) {
      for (int32_t threads : {1, 3}) {
        WorkerCrew crew(threads);
        for (const double distance : {kCertifiedDistance, 1.0}) {
          const std::string what = spectra_case.name + ", " + SimdLevelName(simd) + ", threads " +
                                   std::to_string(threads) + (distance == 1.0 ? ", every bin recomputed" : "");
          int32_t recomputed = -1;
          const FrameSpectra shared = ComputeFrameSpectraShared(
              bytes.data(), 1, spectra_case.fundamental, crew, simd, &recomputed, distance);
          EXPECT_EQ(std::memcmp(&shared, &plain, sizeof plain), 0) << what;
          if (simd == SimdLevel::kPortable) {
            EXPECT_EQ(recomputed, 0) << what;
          } else if (distance == 1.0 && has_steps) {
            EXPECT_EQ(recomputed, 127 + 64) << what;
          }
        }
      }
    }
  }
}

// The kernel's sine and cosine of each angle, read through the sums of a
// frame that is 1 at sample 1 and 0 elsewhere: the angle there is 0 + step,
// the step itself, and adding the signed zeros of the other samples leaves
// the one product as it is.
TEST(FourierKernels, SineAndCosineStayWithinTheirErrorBound) {
  std::vector<double> angles = {0.0, 0x1p-1000, 0x1p-30, 1.0, std::nextafter(0x1p20, 0.0)};
  for (const double k : {1.0, 2.0, 3.0, 4.0, 5.0, 1000.0, 99999.0, 333333.0, 667000.0}) {
    for (const double half : {0.0, 0.5}) {
      const double angle = (k + half) * (std::numbers::pi / 2);  // a quadrant's middle, then its edge
      angles.insert(angles.end(), {angle, std::nextafter(angle, 0.0), std::nextafter(angle, 1e9)});
    }
  }
  std::mt19937_64 random(49);
  for (int32_t i = 0; i < 20000; ++i) {
    angles.push_back(std::uniform_real_distribution<double>(0, 0x1p20)(random));
    angles.push_back(std::ldexp(std::uniform_real_distribution<double>(1, 2)(random),
                                static_cast<int32_t>(random() % 60) - 40));
  }
  using FourierSums = void (*)(const double*, const double*, double*, double*);
  const std::vector<std::tuple<SimdLevel, FourierSums, int32_t>> kernels = {
#if defined(__x86_64__)
      {SimdLevel::kSse2, FourierSumsSse2, kSse2FourierLanes},
      {SimdLevel::kAvx2, FourierSumsAvx2, kAvx2FourierLanes},
      {SimdLevel::kAvx512, FourierSumsAvx512, kAvx512FourierLanes},
#endif
  };
  double x[kFrameLength] = {};
  x[1] = 1.0;
  for (const auto& [level, sums, lanes] : kernels) {
    if (!SimdLevelRuns(level)) continue;
    long double worst = 0;
    for (size_t first = 0; first < angles.size(); first += lanes) {
      double steps[kMostFourierLanes] = {};
      for (int32_t lane = 0; lane < lanes && first + lane < angles.size(); ++lane) {
        steps[lane] = angles[first + lane];
      }
      double cosines[kMostFourierLanes];
      double sines[kMostFourierLanes];
      sums(x, steps, cosines, sines);
      for (int32_t lane = 0; lane < lanes; ++lane) {
        const long double angle = steps[lane];
        const long double error = std::max(std::fabs(cosines[lane] - std::cos(angle)),
                                           std::fabs(sines[lane] - std::sin(angle)));
        worst = std::max(worst, error);
        // The kernel's own analysis, not the certificate's looser bound: a
        // reduction that drops a part of π/2 still passes the looser one.
        ASSERT_LE(error, kSinCosDerivedError) << SimdLevelName(level) << " at " << steps[lane];
        if (steps[lane] == 0) {
          ASSERT_EQ(cosines[lane], 1.0);
          ASSERT_EQ(sines[lane], 0.0);
        }
      }
    }
    std::printf("%s: largest error 2^%.1f\n", SimdLevelName(level),
                static_cast<double>(std::log2(worst)));
  }
}

}  // namespace

}  // namespace kelditra::fast
