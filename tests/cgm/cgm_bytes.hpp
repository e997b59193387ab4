// Builds binary CGM files byte by byte, for the elements and encodings the
// tests need beyond what libplot writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvel::cgm::fixtures {

struct Params {
  std::vector<uint8_t> b;
  Params &i16(int v);
  Params &i32(int64_t v);
  Params &f32(float v);
  Params &f64(double v);
  Params &fixed32(double v);  // 16.16 fixed point
  Params &u8(int v);
  Params &str(const std::string &s);
};

struct CgmBytes {
  std::vector<uint8_t> b;
  // Short form when the parameters fit, long form otherwise.
  CgmBytes &element(int cls, int id, const Params &p = {});
  // Long form split into partitions of at most part bytes.
  CgmBytes &partitioned(int cls, int id, const Params &p, size_t part);
  CgmBytes &begin() { return element(0, 1, Params().str("test")); }
  CgmBytes &begin_picture() { return element(0, 3, Params().str("p")).element(0, 4); }
  CgmBytes &end() { return element(0, 5).element(0, 2); }
};

}  // namespace orvel::cgm::fixtures
