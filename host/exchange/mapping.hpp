// How the properties of an exchange file map onto the host's model: colour
// numbers, layer numbers, densities and the length of texts.
// docs/exchange-files.md states the rules.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace orvel::exchange {

// The host colour number nearest to the sRGB colour (r, g, b), each 0 to 1.
int colour_number(double r, double g, double b);

// Layer numbers for the layer names of one file: a name that is a whole
// number from 0 to 256 is that layer; every other name gets the lowest
// number from 2 up that no name of the file takes, in the order the names
// are given; when none is left, layer 1.
class LayerNumbers {
 public:
  LayerNumbers() = default;
  explicit LayerNumbers(const std::vector<std::string> &names);
  // The layer of `name`; a name not given to the constructor is numbered
  // like the others, after them.
  int number(const std::string &name);

 private:
  std::map<std::string, int> numbers_;
  std::vector<bool> taken_ = std::vector<bool>(257, false);
  int next_ = 2;
};

// The host density (kilograms per cubic millimetre) of a material density
// as the kernel's reader gives it, converted to grams per cubic millimetre.
double density_from_file(double grams_per_cubic_millimetre);

// `text` cut to at most `size` bytes.
std::string cut(const std::string &text, std::size_t size);

}  // namespace orvel::exchange
