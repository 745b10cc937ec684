#pragma once

#include <cstdint>

#include "analysis/fast_workers.h"
#include "analysis/frame_spectra.h"
#include "analysis/simd/simd_level.h"

namespace kelditra::fast {

// How close to a whole number a magnitude from the vector sums may lie before
// its bin is recomputed the plain way: twice the proven distance between the
// two paths' magnitudes (the derivation is in fast_spectra.cpp).
extern const double kCertifiedDistance;

// ComputeFrameSpectra's result, bin for bin, with the bins shared among the
// crew. Each distinct bin is computed once: bins whose angle steps are the
// same double (half-harmonic bin 2j and harmonic bin j, every bin at
// fundamental 0) give the same value, bin 0 apart, which is halved. A frame
// of zero samples has zero bins without any work.
//
// Past the portable level, the sums come from the vector kernel of that
// level, several bins at a time, and a bin whose magnitude lies within
// certified_distance of a whole number is recomputed by BinMagnitude, as is
// a bin whose angles the kernel does not take. plain_bins, when given,
// receives how many distinct bins were recomputed for being that close.
FrameSpectra ComputeFrameSpectraShared(const uint8_t* samples, int32_t frame, int32_t fundamental,
                                       WorkerCrew& crew, SimdLevel simd,
                                       int32_t* plain_bins = nullptr,
                                       double certified_distance = kCertifiedDistance);

}  // namespace kelditra::fast
