// The host's texts are 8-bit ISO-8859-1; part files are JSON in UTF-8. These
// convert between the two at the file's edge.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvel::partfile {

// The ISO-8859-1 form of a UTF-8 text; nothing when it holds a character
// beyond U+00FF or is not valid UTF-8.
std::optional<std::string> utf8_to_latin1(std::string_view utf8);

// The UTF-8 form of an ISO-8859-1 text.
std::string latin1_to_utf8(const std::string &latin1);

}  // namespace orvel::partfile
