// The binary CGM framing: a file is a sequence of elements, each a 16-bit
// header (class, id, parameter length) with an optional long-form length
// word, its parameters possibly split into partitions, padded to an even
// length. ElementStream cuts a byte buffer into elements; ParamReader
// decodes the parameters of one element in the precisions in force.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvel::cgm {

// A fault in the file; the message says what and where.
struct FormatError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Element {
  int cls = 0;
  int id = 0;
  size_t offset = 0;          // byte offset of its header in the file
  std::vector<uint8_t> data;  // the parameters, partitions joined
};

class ElementStream {
 public:
  ElementStream(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  bool at_end() const { return pos_ >= size_; }
  // Class and id bits of the first header (length masked off), or -1.
  int first_header() const { return size_ >= 2 ? ((data_[0] << 8) | data_[1]) & 0xffe0 : -1; }
  // Reads the next element; throws FormatError when the file ends inside it.
  Element next();

 private:
  uint16_t word(const char *what, size_t element_offset);
  const uint8_t *data_;
  size_t size_;
  size_t pos_ = 0;
};

// Precisions in force, in bits, and the real number forms.
struct RealFormat {
  bool fixed = true;  // fixed point; else IEEE floating point
  int bits = 32;      // 32 or 64
};

struct Precisions {
  int integer = 16;
  int index = 16;
  int colour = 8;  // direct colour components
  int colour_index = 8;
  RealFormat real;
  bool vdc_real = false;  // VDC type
  int vdc_integer = 16;
  RealFormat vdc_real_format;
};

class ParamReader {
 public:
  ParamReader(const Element &element, const Precisions &precisions) : e_(element), p_(precisions) {}
  size_t remaining() const { return e_.data.size() - pos_; }
  bool has(size_t bytes) const { return remaining() >= bytes; }
  int64_t signed_int(int bits);
  uint64_t unsigned_int(int bits);
  double real(const RealFormat &format);
  double ieee(int bits);
  int64_t integer() { return signed_int(p_.integer); }
  int64_t index() { return signed_int(p_.index); }
  int enumeration() { return static_cast<int>(signed_int(16)); }
  double real() { return real(p_.real); }
  double vdc();
  size_t vdc_bytes() const;
  std::string string();
  [[noreturn]] void fail(const std::string &what) const;

 private:
  void need(size_t bytes);
  const Element &e_;
  const Precisions &p_;
  size_t pos_ = 0;
};

}  // namespace orvel::cgm
