#include <gtest/gtest.h>

#include <vector>

#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"
#include "job_fixtures.h"

namespace kelditra {

namespace {

TEST(FrameSpectra, ConstantFramesAtFundamentalZero) {
  const struct {
    int16_t level;
    int32_t bin;   // bins 1..127 of both spectra
    int32_t sum;   // halved bin 0 plus 127 bins
  } cases[] = {{100, 100, 50 + 127 * 100}, {-7, 7, 3 + 127 * 7}};
  for (const auto& c : cases) {
    const auto bytes = PcmBytes(std::vector<int16_t>(kFrameLength, c.level));
    const FrameSpectra spectra = ComputeFrameSpectra(bytes.data(), 0, 0);
    for (int n = 0; n < kSpectrumBins; ++n) {
      ASSERT_EQ(spectra.harmonic[n], n == 0 ? 0 : c.bin) << c.level << " bin " << n;
      ASSERT_EQ(spectra.half_harmonic[n], n == 0 ? 0 : c.bin) << c.level << " bin " << n;
    }
    EXPECT_EQ(spectra.harmonic_sum, c.sum);
    EXPECT_EQ(spectra.half_harmonic_sum, c.sum);
  }
}

// Expected steps worked out apart from this program, in double precision:
// ((bin * 6.2831853071796) / 735.0) * q, halved for the half-harmonic one,
// with q = fundamental / 60.0. The full-precision 2π, or the same product
// taken in another order, misses at least one row.
TEST(FrameSpectra, AngleStepsUseTwoPiToThirteenDecimals) {
  const struct {
    int32_t bin;
    int32_t fundamental;
    double half_harmonic;
    double harmonic;
  } cases[] = {
      {1, 220, 0.015672344303622583, 0.031344688607245166},
      {3, 97, 0.020730237237973514, 0.04146047447594703},
      {127, 65535, 592.9093620914277, 1185.8187241828555},
  };
  for (const auto& c : cases) {
    const double cycles_per_frame = c.fundamental / 60.0;
    EXPECT_EQ(HalfHarmonicStep(c.bin, cycles_per_frame), c.half_harmonic) << c.bin;
    EXPECT_EQ(HarmonicStep(c.bin, cycles_per_frame), c.harmonic) << c.bin;
  }
}

TEST(GainLadder, SpotValuesStrictRiseAndWindows) {
  int32_t ladder[kGainSteps];
  BuildGainLadder(ladder);
  const struct {
    int index;
    int32_t gain;
  } spots[] = {{0, 0},     {1, 1},     {11, 11},   {12, 13},
               {168, 529}, {235, 4036}, {236, 4172}, {255, 7922}};
  for (const auto& spot : spots) EXPECT_EQ(ladder[spot.index], spot.gain) << spot.index;
  for (int i = 1; i < kGainSteps; ++i) EXPECT_GT(ladder[i], ladder[i - 1]) << i;
  const struct {
    int32_t entry_sum;
    int32_t target_sum;
    int32_t lower;
    int32_t upper;
  } cases[] = {
      {4096, 4096, 214, 255}, {4096, 2048, 191, 235}, {100000, 5000, 84, 157},
      {0, 0, 0, 0},           {0, 10, 253, 255},      {5000, 0, 0, 2},
      {1500, 0, 1, 2},        {100, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const GainWindow window = GainWindowFor(c.entry_sum, c.target_sum, ladder);
    EXPECT_EQ(std::pair(window.lower, window.upper), std::pair(c.lower, c.upper))
        << c.entry_sum << " / " << c.target_sum;
  }
}

}  // namespace

}  // namespace kelditra
