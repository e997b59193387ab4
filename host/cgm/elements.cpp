// Element framing and parameter decoding of binary CGM.
#include "cgm/elements.hpp"

#include <cmath>
#include <cstring>

namespace orvel::cgm {
namespace {

std::string where(const Element &e) {
  return "element at byte " + std::to_string(e.offset) + " (class " + std::to_string(e.cls) +
         ", id " + std::to_string(e.id) + ")";
}

}  // namespace

uint16_t ElementStream::word(const char *what, size_t element_offset) {
  if (size_ - pos_ < 2)
    throw FormatError("truncated: the file ends inside the " + std::string(what) +
                      " of the element at byte " + std::to_string(element_offset));
  const uint16_t w = static_cast<uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
  pos_ += 2;
  return w;
}

Element ElementStream::next() {
  Element e;
  e.offset = pos_;
  const uint16_t header = word("header", e.offset);
  e.cls = header >> 12;
  e.id = (header >> 5) & 0x7f;
  size_t length = header & 0x1f;
  bool more = false;
  bool long_form = length == 31;
  do {
    if (long_form) {
      const uint16_t lw = word("length word", e.offset);
      more = (lw & 0x8000) != 0;
      length = lw & 0x7fff;
    }
    if (size_ - pos_ < length)
      throw FormatError("truncated: " + where(e) + " claims " + std::to_string(length) +
                        " parameter bytes but only " + std::to_string(size_ - pos_) +
                        " are left in the file");
    e.data.insert(e.data.end(), data_ + pos_, data_ + pos_ + length);
    pos_ += length;
    if ((length & 1) && pos_ < size_) ++pos_;  // padding to a word boundary
  } while (more);
  return e;
}

void ParamReader::fail(const std::string &what) const {
  throw FormatError(where(e_) + ": " + what);
}

void ParamReader::need(size_t bytes) {
  if (remaining() < bytes) fail("its parameters end too early");
}

uint64_t ParamReader::unsigned_int(int bits) {
  const size_t n = static_cast<size_t>(bits / 8);
  need(n);
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = (v << 8) | e_.data[pos_ + i];
  pos_ += n;
  return v;
}

int64_t ParamReader::signed_int(int bits) {
  const uint64_t v = unsigned_int(bits);
  const uint64_t sign = uint64_t{1} << (bits - 1);
  return (v & sign) ? static_cast<int64_t>(v) - static_cast<int64_t>(sign << 1)
                    : static_cast<int64_t>(v);
}

double ParamReader::ieee(int bits) {
  double value = 0.0;
  if (bits == 32) {
    const uint32_t raw = static_cast<uint32_t>(unsigned_int(32));
    float f;
    std::memcpy(&f, &raw, sizeof f);
    value = f;
  } else {
    const uint64_t raw = unsigned_int(64);
    std::memcpy(&value, &raw, sizeof value);
  }
  if (!std::isfinite(value)) fail("a real number is not finite");
  return value;
}

double ParamReader::real(const RealFormat &format) {
  if (!format.fixed) return ieee(format.bits);
  const int half = format.bits / 2;
  const double whole = static_cast<double>(signed_int(half));
  const double fraction = static_cast<double>(unsigned_int(half));
  return whole + fraction / std::ldexp(1.0, half);
}

size_t ParamReader::vdc_bytes() const {
  return static_cast<size_t>(p_.vdc_real ? p_.vdc_real_format.bits / 8 : p_.vdc_integer / 8);
}

double ParamReader::vdc() {
  return p_.vdc_real ? real(p_.vdc_real_format) : static_cast<double>(signed_int(p_.vdc_integer));
}

std::string ParamReader::string() {
  need(1);
  size_t n = e_.data[pos_++];
  if (n < 255) {
    need(n);
    std::string s(reinterpret_cast<const char *>(e_.data.data() + pos_), n);
    pos_ += n;
    return s;
  }
  std::string s;  // long string: 15-bit lengths with a continuation flag
  bool more = true;
  while (more) {
    const uint64_t w = unsigned_int(16);
    more = (w & 0x8000) != 0;
    n = w & 0x7fff;
    need(n);
    s.append(reinterpret_cast<const char *>(e_.data.data() + pos_), n);
    pos_ += n;
  }
  return s;
}

}  // namespace orvel::cgm
