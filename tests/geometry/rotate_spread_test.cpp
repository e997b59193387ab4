// The vector form of turning a body's spread by its placement must give the
// plain entrywise sums to the last bit: the mass results of every check
// depend on it.
#include "geometry/rotate_spread.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

using orvel::geom::Mat3;
using orvel::geom::rotate_spread;
using orvel::geom::rotate_spread_plain;
using orvel::geom::Transform;

// Values over many magnitudes and both signs, so that the roundings of the
// products and sums differ between orders of operation.
double value(std::mt19937_64 &random) {
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  return std::ldexp(mantissa(random), exponent(random));
}

// A rotation about an arbitrary axis, as placements hold.
Transform rotation(std::mt19937_64 &random) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  double x = unit(random), y = unit(random), z = unit(random);
  const double n = std::sqrt(x * x + y * y + z * z);
  x /= n;
  y /= n;
  z /= n;
  const double a = 3.0 * unit(random);
  const double c = std::cos(a), s = std::sin(a), t = 1.0 - c;
  Transform p{{{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
               {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
               {t * x * z - s * y, t * y * z + s * x, t * z * z + c}},
              {0.0, 0.0, 0.0}};
  return p;
}

void expect_same_bits(const Mat3 &expected, const Mat3 &actual, int round) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_EQ(0, std::memcmp(&expected[i][j], &actual[i][j], sizeof(double)))
          << "round " << round << " entry " << i << "," << j << ": " << expected[i][j] << " vs "
          << actual[i][j];
}

TEST(RotateSpread, GivesThePlainSumsBitForBit) {
  std::mt19937_64 random(20261208);
  for (int round = 0; round < 20000; ++round) {
    Transform p{};
    if (round % 2 == 0) {
      p = rotation(random);
    } else {
      for (auto &row : p.r)
        for (double &v : row) v = value(random);
    }
    Mat3 s{};
    for (auto &row : s)
      for (double &v : row) v = value(random);
    expect_same_bits(rotate_spread_plain(p, s), rotate_spread(p, s), round);
    if (HasFailure()) return;
  }
}

TEST(RotateSpread, KeepsZerosAndSignsOfTheSums) {
  // A zero spread gives +0 everywhere, as sums started from 0 do; a turn by
  // the identity gives the spread back.
  Transform identity{{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}, {0.0, 0.0, 0.0}};
  Transform mirror{{{-1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, -1.0}}, {0.0, 0.0, 0.0}};
  Mat3 zero{};
  Mat3 spread{{{2.0, -0.5, 0.25}, {-0.5, 3.0, -0.0}, {0.25, -0.0, 4.0}}};
  expect_same_bits(rotate_spread_plain(mirror, zero), rotate_spread(mirror, zero), 0);
  expect_same_bits(rotate_spread_plain(identity, spread), rotate_spread(identity, spread), 1);
  expect_same_bits(rotate_spread_plain(mirror, spread), rotate_spread(mirror, spread), 2);
  EXPECT_EQ(spread[0][1], rotate_spread(identity, spread)[0][1]);
  EXPECT_FALSE(std::signbit(rotate_spread(mirror, zero)[1][1]));
}

}  // namespace
