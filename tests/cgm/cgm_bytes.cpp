#include "cgm_bytes.hpp"

#include <cmath>
#include <cstring>

namespace orvel::cgm::fixtures {

Params &Params::i16(int v) {
  b.push_back(static_cast<uint8_t>((v >> 8) & 0xff));
  b.push_back(static_cast<uint8_t>(v & 0xff));
  return *this;
}

Params &Params::i32(int64_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>((v >> s) & 0xff));
  return *this;
}

Params &Params::f32(float v) {
  uint32_t raw;
  std::memcpy(&raw, &v, sizeof raw);
  return i32(raw);
}

Params &Params::f64(double v) {
  uint64_t raw;
  std::memcpy(&raw, &v, sizeof raw);
  i32(static_cast<int64_t>(raw >> 32));
  return i32(static_cast<int64_t>(raw & 0xffffffffu));
}

Params &Params::fixed32(double v) {
  const double whole = std::floor(v);
  i16(static_cast<int>(whole));
  return i16(static_cast<int>(std::lround((v - whole) * 65536.0)) & 0xffff);
}

Params &Params::u8(int v) {
  b.push_back(static_cast<uint8_t>(v));
  return *this;
}

Params &Params::str(const std::string &s) {
  u8(static_cast<int>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
  return *this;
}

CgmBytes &CgmBytes::element(int cls, int id, const Params &p) {
  const size_t n = p.b.size();
  const int head = (cls << 12) | (id << 5);
  Params h;
  if (n < 31) {
    h.i16(head | static_cast<int>(n));
  } else {
    h.i16(head | 31).i16(static_cast<int>(n));
  }
  b.insert(b.end(), h.b.begin(), h.b.end());
  b.insert(b.end(), p.b.begin(), p.b.end());
  if (n & 1) b.push_back(0);
  return *this;
}

CgmBytes &CgmBytes::partitioned(int cls, int id, const Params &p, size_t part) {
  Params h;
  h.i16((cls << 12) | (id << 5) | 31);
  b.insert(b.end(), h.b.begin(), h.b.end());
  for (size_t at = 0; at < p.b.size(); at += part) {
    const size_t n = std::min(part, p.b.size() - at);
    const bool more = at + n < p.b.size();
    Params w;
    w.i16((more ? 0x8000 : 0) | static_cast<int>(n));
    b.insert(b.end(), w.b.begin(), w.b.end());
    b.insert(b.end(), p.b.begin() + static_cast<long>(at), p.b.begin() + static_cast<long>(at + n));
    if (n & 1) b.push_back(0);
  }
  return *this;
}

}  // namespace orvel::cgm::fixtures
