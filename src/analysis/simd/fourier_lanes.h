#pragma once

// The vector sine and cosine and the Fourier sums built on them, written
// once for any lane count with the compiler's generic vectors. Each
// instruction set's file includes this and builds it for its own
// instructions. Everything here has internal linkage, so that no file's copy,
// holding instructions other processors lack, can stand in for another's.
//
// Sine and cosine of an angle θ with |θ| < 2^20:
//   k = θ * 2/π rounded to a whole number (by adding 1.5 * 2^52, which also
//   leaves k mod 4 in the low bits of the sum), r = θ - k π/2 with π/2 split
//   in three (Cody and Waite): k * kPiHalfHigh and k * kPiHalfMiddle are
//   exact for |k| < 2^20, θ - k * kPiHalfHigh is exact (a multiple of 2^-53
//   below 1), and the two roundings after it leave r within 1.5 * 2^-53 of
//   θ - k π/2 (the three parts miss π/2 by 1e-37). |r| <= π/4 + 2^-31.
//   sin r and cos r from their Taylor polynomials to r^15 and r^16, whose
//   remainders stay below 2^-54 on that range; evaluated in Horner's order
//   they round within 1.1 * 2^-53 (sine) and 2 * 2^-53 (cosine), every
//   intermediate value lying below 1. Sine and cosine are 1-Lipschitz, so
//   each result lies within 4 * 2^-53 = 2^-51 (kSinCosDerivedError) of the
//   true value; the quadrant's swap and signs are exact. kSinCosError (2^-49),
//   which the certificate assumes, allows four times that. At θ = 0, r = 0 and the polynomials give exactly 0 and 1.

#include <bit>
#include <cstdint>
#include <cstring>

#include "analysis/frame_spectra.h"

namespace kelditra::fast {

namespace {

constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kPiHalfHigh = 0x1.921fb544p+0;        // 31 significant bits
constexpr double kPiHalfMiddle = 0x1.0b4611a6p-34;     // 33 significant bits
constexpr double kPiHalfLow = 0x1.3198a2e037073p-69;  // the rest, rounded
constexpr double kRoundingShift = 0x1.8p52;

template <int32_t kLanes>
struct Lanes {
  // Written as typedefs: GCC drops the attribute from a dependent alias.
  typedef double Double __attribute__((vector_size(8 * kLanes)));
  typedef uint64_t Bits __attribute__((vector_size(8 * kLanes)));
};

template <int32_t kLanes>
void SinCosLanes(typename Lanes<kLanes>::Double angle, typename Lanes<kLanes>::Double* sine,
                 typename Lanes<kLanes>::Double* cosine) {
  using Double = typename Lanes<kLanes>::Double;
  using Bits = typename Lanes<kLanes>::Bits;
  const Double shifted = angle * kTwoOverPi + kRoundingShift;
  const Double k = shifted - kRoundingShift;
  const Bits quadrant = std::bit_cast<Bits>(shifted) & 3;
  const Double r = ((angle - k * kPiHalfHigh) - k * kPiHalfMiddle) - k * kPiHalfLow;
  const Double z = r * r;
  const Double s =
      r + r * z *
              (-1.0 / 6 +
               z * (1.0 / 120 +
                    z * (-1.0 / 5040 +
                         z * (1.0 / 362880 +
                              z * (-1.0 / 39916800 +
                                   z * (1.0 / 6227020800 + z * (-1.0 / 1307674368000)))))));
  const Double c =
      1.0 +
      z * (-0.5 +
           z * (1.0 / 24 +
                z * (-1.0 / 720 +
                     z * (1.0 / 40320 +
                          z * (-1.0 / 3628800 +
                               z * (1.0 / 479001600 +
                                    z * (-1.0 / 87178291200 + z * (1.0 / 20922789888000))))))));
  // Quadrant q: sin θ = s, c, -s, -c and cos θ = c, -s, -c, s for q = 0..3.
  const auto odd = (quadrant & 1) != 0;
  const Bits sine_sign = (quadrant & 2) << 62;
  const Bits cosine_sign = ((quadrant + 1) & 2) << 62;
  *sine = std::bit_cast<Double>(std::bit_cast<Bits>(odd ? c : s) ^ sine_sign);
  *cosine = std::bit_cast<Double>(std::bit_cast<Bits>(odd ? s : c) ^ cosine_sign);
}

// BinMagnitude's sums, one bin per lane: the same angles, the same products
// and additions in the same order, only the sine and cosine are ours.
template <int32_t kLanes>
void FourierSumsLanes(const double* x, const double* steps, double* re_out, double* im_out) {
  using Double = typename Lanes<kLanes>::Double;
  Double step;
  std::memcpy(&step, steps, sizeof step);
  Double angle = {};
  Double re = {};
  Double im = {};
  for (int32_t n = 0; n < kFrameLength; ++n) {
    Double sine;
    Double cosine;
    SinCosLanes<kLanes>(angle, &sine, &cosine);
    re = re + cosine * x[n];
    im = im + sine * x[n];
    angle = angle + step;
  }
  std::memcpy(re_out, &re, sizeof re);
  std::memcpy(im_out, &im, sizeof im);
}

}  // namespace

}  // namespace kelditra::fast
