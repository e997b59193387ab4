// Conversion between UTF-8 (part files) and ISO-8859-1 (host texts).
#include "partfile/latin1.hpp"

namespace orvel::partfile {

std::optional<std::string> utf8_to_latin1(std::string_view utf8) {
  size_t ascii = 0;
  while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) ++ascii;
  if (ascii == utf8.size()) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      out += static_cast<char>(byte);
      continue;
    }
    // Two-byte sequences C2 80 to C3 BF are exactly U+0080 to U+00FF.
    if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size()) {
      auto next = static_cast<unsigned char>(utf8[i + 1]);
      if ((next & 0xC0) == 0x80) {
        out += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
        ++i;
        continue;
      }
    }
    return std::nullopt;
  }
  return out;
}

std::string latin1_to_utf8(const std::string &latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (char c : latin1) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

}  // namespace orvel::partfile
