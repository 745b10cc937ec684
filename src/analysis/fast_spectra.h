#pragma once

#include <cstdint>

#include "analysis/fast_workers.h"
#include "analysis/frame_spectra.h"

// ComputeFrameSpectra's result, bin for bin, with the bins shared among the
// crew. Each distinct bin is computed once by BinMagnitude itself: bins whose
// angle steps are the same double (half-harmonic bin 2j and harmonic bin j,
// every bin at fundamental 0) give the same value, bin 0 apart, which is
// halved. A frame of zero samples has zero bins without any work.
FrameSpectra ComputeFrameSpectraShared(const uint8_t* samples, int32_t frame, int32_t fundamental,
                                       WorkerCrew& crew);
