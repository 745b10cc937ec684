#include "analysis/fast_spectra.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "formats/byte_order.h"

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

constexpr int64_t kTableValues = 2 * kFrameLength;  // per distinct bin

// BinMagnitude, keeping the cosines and sines it meets in table.
int32_t MagnitudeFillingTable(const double* x, int32_t bin, double step, double* table) {
  double re = 0.0;
  double im = 0.0;
  double angle = 0.0;
  for (int32_t n = 0; n < kFrameLength; ++n) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    table[n] = c;
    table[kFrameLength + n] = s;
    re = re + c * x[n];
    im = im + s * x[n];
    angle = angle + step;
  }
  double magnitude = std::sqrt(re * re + im * im) / 735.0;
  if (bin == 0) magnitude = magnitude / 2.0;
  return static_cast<int32_t>(magnitude);
}

// BinMagnitude with the cosines and sines read back from table.
int32_t MagnitudeFromTable(const double* x, int32_t bin, const double* table) {
  double re = 0.0;
  double im = 0.0;
  for (int32_t n = 0; n < kFrameLength; ++n) {
    re = re + table[n] * x[n];
    im = im + table[kFrameLength + n] * x[n];
  }
  double magnitude = std::sqrt(re * re + im * im) / 735.0;
  if (bin == 0) magnitude = magnitude / 2.0;
  return static_cast<int32_t>(magnitude);
}

}  // namespace

FrameSpectra ComputeFrameSpectraShared(const uint8_t* samples, int32_t frame, int32_t fundamental,
                                       WorkerCrew& crew, SineTables* tables) {
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
  if (silent) {
    // Every product is a signed zero, and adding one to +0.0 leaves +0.0.
    std::memset(values, 0, sizeof values);
  } else {
    const double cycles_per_frame = fundamental / 60.0;
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

    // At fundamental 0 every step is 0 and two bins are all there is to do.
    double* table = nullptr;
    bool table_filled = false;
    if (tables != nullptr && fundamental != 0) {
      SineTables::Slot* slot = &tables->slots_[0];
      for (SineTables::Slot& candidate : tables->slots_) {
        if (candidate.fundamental == fundamental) {
          slot = &candidate;
          break;
        }
        if (candidate.last_use < slot->last_use) slot = &candidate;
      }
      if (tables->values_.empty()) {
        tables->values_.resize(SineTables::kFundamentals * kAllBins * kTableValues);
      }
      table_filled = slot->fundamental == fundamental;
      tables->frames_served_ += table_filled;
      slot->fundamental = fundamental;
      slot->last_use = ++tables->uses_;
      table = tables->values_.data() + (slot - tables->slots_) * kAllBins * kTableValues;
    }

    int32_t distinct_values[kAllBins];
    std::atomic<int32_t> next{0};
    auto task = [&](int32_t) {
      for (;;) {
        const int32_t k = next.fetch_add(1, std::memory_order_relaxed);
        if (k >= distinct_count) return;
        const DistinctBin& bin = distinct[k];
        if (table == nullptr) {
          distinct_values[k] = BinMagnitude(x, bin.bin, bin.step);
        } else if (table_filled) {
          distinct_values[k] = MagnitudeFromTable(x, bin.bin, table + k * kTableValues);
        } else {
          distinct_values[k] =
              MagnitudeFillingTable(x, bin.bin, bin.step, table + k * kTableValues);
        }
      }
    };
    crew.Run(task);
    for (int32_t i = 0; i < kAllBins; ++i) values[i] = distinct_values[source[i]];
  }

  std::memcpy(spectra.half_harmonic, values, sizeof spectra.half_harmonic);
  std::memcpy(spectra.harmonic, values + kSpectrumBins, sizeof spectra.harmonic);
  spectra.half_harmonic_sum = SumOf(spectra.half_harmonic);
  spectra.harmonic_sum = SumOf(spectra.harmonic);
  spectra.half_harmonic[0] = 0;
  spectra.harmonic[0] = 0;
  return spectra;
}
