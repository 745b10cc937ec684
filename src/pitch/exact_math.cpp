#include "pitch/exact_math.h"

#include <cmath>

namespace kelditra {

namespace {

constexpr double kHalfPi = 1.57079632679489661923;
constexpr double kLn2 = 0.693147180559945309417;
constexpr double kSqrt2 = 1.41421356237309504880;

// Taylor series, good to full precision for |x| <= pi/4.
double SineSeries(double x) {
  const double x2 = x * x;
  double term = x;
  double sum = x;
  for (int i = 2; i <= 22; i += 2) {
    term = -term * x2 / (i * (i + 1));
    sum += term;
  }
  return sum;
}

double CosineSeries(double x) {
  const double x2 = x * x;
  double term = 1;
  double sum = 1;
  for (int i = 1; i <= 21; i += 2) {
    term = -term * x2 / (i * (i + 1));
    sum += term;
  }
  return sum;
}

}  // namespace

double CosineOfTurn(int64_t k, int64_t n) {
  // The quadrant and the angle inside it are found in integers, so the
  // argument reduction adds no error at all.
  const int64_t quarter_steps = 4 * (((k % n) + n) % n);  // 0 .. 4n-1 quarters of a turn, over n
  const int64_t quadrant = quarter_steps / n;
  const int64_t rest = quarter_steps - quadrant * n;  // the angle inside: rest / n quarter turns
  double cosine;
  double sine;
  if (2 * rest <= n) {
    const double angle = kHalfPi * static_cast<double>(rest) / static_cast<double>(n);
    cosine = CosineSeries(angle);
    sine = SineSeries(angle);
  } else {
    const double complement = kHalfPi * static_cast<double>(n - rest) / static_cast<double>(n);
    cosine = SineSeries(complement);
    sine = CosineSeries(complement);
  }
  switch (quadrant) {
    case 0: return cosine;
    case 1: return -sine;
    case 2: return -cosine;
    default: return sine;
  }
}

double SineOfHalfTurn(double x) {
  const double folded = x > 0.5 ? 1 - x : x;  // exact, as is 0.5 - folded below
  if (folded <= 0.25) return SineSeries(2 * kHalfPi * folded);
  return CosineSeries(2 * kHalfPi * (0.5 - folded));
}

double Log2(double x) {
  int exponent = 0;
  double mantissa = std::frexp(x, &exponent);  // exact: [0.5, 1)
  mantissa *= 2;
  exponent -= 1;
  if (mantissa > kSqrt2) {
    mantissa /= 2;
    exponent += 1;
  }
  // ln(m) = 2 atanh(s), s = (m - 1) / (m + 1), |s| < 0.172.
  const double s = (mantissa - 1) / (mantissa + 1);
  const double s2 = s * s;
  double power = s;
  double sum = s;
  for (int i = 3; i <= 25; i += 2) {
    power *= s2;
    sum += power / i;
  }
  return exponent + 2 * sum / kLn2;
}

}  // namespace kelditra
