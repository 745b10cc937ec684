#pragma once

#include <cstdint>
#include <vector>

#include "analysis/fast_workers.h"
#include "analysis/frame_spectra.h"

// The cosines and sines of every bin's angles for the last few fundamentals
// met. They depend on nothing but the fundamental, and a voice often holds
// one for several frames, so a frame at a fundamental seen lately needs no
// sine or cosine at all. Its memory (about 2.3 MB a fundamental) is taken
// once, at the first frame.
class SineTables {
 public:
  static constexpr int32_t kFundamentals = 8;

  SineTables() = default;
  SineTables(const SineTables&) = delete;
  SineTables& operator=(const SineTables&) = delete;

  int64_t frames_served() const { return frames_served_; }

 private:
  friend FrameSpectra ComputeFrameSpectraShared(const uint8_t*, int32_t, int32_t, WorkerCrew&,
                                                SineTables*);
  struct Slot {
    int32_t fundamental = -1;  // -1: empty
    int64_t last_use = 0;
  };

  Slot slots_[kFundamentals];
  std::vector<double> values_;  // per slot, per distinct bin, 735 cosines then 735 sines
  int64_t uses_ = 0;
  int64_t frames_served_ = 0;  // frames whose tables were there already
};

// ComputeFrameSpectra's result, bin for bin, with the bins shared among the
// crew. Each distinct bin is computed once: bins whose angle steps are the
// same double (half-harmonic bin 2j and harmonic bin j, every bin at
// fundamental 0) give the same value, bin 0 apart, which is halved. A frame
// of zero samples has zero bins without any work. With tables, the cosines
// and sines are kept and reused, the sums formed exactly as BinMagnitude
// forms them.
FrameSpectra ComputeFrameSpectraShared(const uint8_t* samples, int32_t frame, int32_t fundamental,
                                       WorkerCrew& crew, SineTables* tables = nullptr);
