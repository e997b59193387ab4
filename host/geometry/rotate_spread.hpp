// A body's spread turned by its placement, R S R^T, as the mass passes take
// it for every body.
#pragma once

#include "linear.hpp"

namespace orvel::geom {

// R S R^T, each entry out[i][j] summed from 0, term by term in the order k,
// then l, of (R[i][k] S[k][l]) R[j][l]: the plain loops in
// rotate_spread_plain below. Every one of the tens of thousands of bodies of
// a large assembly passes here twice, so the entries are taken two at a
// time, in the two halves of a vector register: rows 0 and 1 of each column,
// then row 2's columns 0 and 1, and its column 2 alone. Each half does the
// multiplications and additions of its own entry on the same values in the
// same order as the plain loops, so the result is the same to the last bit.
inline Mat3 rotate_spread(const Transform &p, const Mat3 &s) {
  using Pair = double __attribute__((vector_size(16)));
  const auto &r = p.r;
  // Rows 0 and 1 of each column of R.
  const Pair top[3] = {{r[0][0], r[1][0]}, {r[0][1], r[1][1]}, {r[0][2], r[1][2]}};
  Pair upper[3] = {{0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}};  // rows 0 and 1 of column j
  Pair lower = {0.0, 0.0};                               // row 2, columns 0 and 1
  double corner = 0.0;                                   // row 2, column 2
#pragma GCC unroll 3
  for (int k = 0; k < 3; ++k) {
#pragma GCC unroll 3
    for (int l = 0; l < 3; ++l) {
      const Pair rs_upper = top[k] * Pair{s[k][l], s[k][l]};  // R[0][k] S[k][l], R[1][k] S[k][l]
      const double rs_lower = r[2][k] * s[k][l];
#pragma GCC unroll 3
      for (int j = 0; j < 3; ++j) upper[j] += rs_upper * Pair{r[j][l], r[j][l]};
      lower += Pair{rs_lower, rs_lower} * top[l];
      corner += rs_lower * r[2][l];
    }
  }
  Mat3 out;
  for (int j = 0; j < 3; ++j) {
    out[0][j] = upper[j][0];
    out[1][j] = upper[j][1];
  }
  out[2][0] = lower[0];
  out[2][1] = lower[1];
  out[2][2] = corner;
  return out;
}

// The same sums one entry at a time, for checking the one above.
inline Mat3 rotate_spread_plain(const Transform &p, const Mat3 &s) {
  Mat3 out{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) out[i][j] += p.r[i][k] * s[k][l] * p.r[j][l];
  return out;
}

}  // namespace orvel::geom
