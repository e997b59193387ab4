// Colour numbers, layer numbers, densities and text lengths for exchange
// files (see mapping.hpp).
#include "exchange/mapping.hpp"

#include <cctype>
#include <limits>

namespace orvel::exchange {

namespace {

struct PaletteColour {
  int number;
  int r, g, b;  // 0 to 255
};

// The host's named colours.
constexpr PaletteColour kPalette[] = {
    {1, 255, 255, 255},   // white
    {2, 0, 0, 0},         // black
    {3, 255, 0, 0},       // red
    {4, 0, 255, 0},       // green
    {5, 0, 0, 255},       // blue
    {6, 255, 255, 0},     // yellow
    {7, 0, 255, 255},     // cyan
    {8, 255, 0, 255},     // magenta
    {9, 128, 128, 128},   // grey
    {10, 192, 192, 192},  // light grey
    {11, 128, 0, 0},      // dark red
    {12, 0, 128, 0},      // dark green
    {13, 0, 0, 128},      // dark blue
    {14, 128, 128, 0},    // olive
    {15, 0, 128, 128},    // teal
    {16, 128, 0, 128},    // purple
    {17, 255, 165, 0},    // orange
    {18, 139, 69, 19},    // brown
};

constexpr int kMaxLayer = 256;

// The whole number 0 to 256 that `name` spells, else -1.
int layer_named(const std::string &name) {
  if (name.empty() || name.size() > 3) return -1;
  int value = 0;
  for (char c : name) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
    value = value * 10 + (c - '0');
  }
  return value <= kMaxLayer ? value : -1;
}

}  // namespace

int colour_number(double r, double g, double b) {
  int best = kPalette[0].number;
  double best_distance = std::numeric_limits<double>::max();
  for (const PaletteColour &c : kPalette) {
    const double dr = r * 255.0 - c.r;
    const double dg = g * 255.0 - c.g;
    const double db = b * 255.0 - c.b;
    const double distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = c.number;
    }
  }
  return best;
}

LayerNumbers::LayerNumbers(const std::vector<std::string> &names) {
  for (const std::string &name : names) {
    const int n = layer_named(name);
    if (n < 0) continue;
    numbers_[name] = n;
    taken_[static_cast<std::size_t>(n)] = true;
  }
  for (const std::string &name : names) number(name);
}

int LayerNumbers::number(const std::string &name) {
  if (auto it = numbers_.find(name); it != numbers_.end()) return it->second;
  while (next_ <= kMaxLayer && taken_[static_cast<std::size_t>(next_)]) ++next_;
  int n = 1;
  if (next_ <= kMaxLayer) {
    n = next_;
    taken_[static_cast<std::size_t>(n)] = true;
  }
  numbers_[name] = n;
  return n;
}

double density_from_file(double grams_per_cubic_millimetre) {
  return grams_per_cubic_millimetre * 1e-3;
}

std::string cut(const std::string &text, std::size_t size) {
  return text.size() <= size ? text : text.substr(0, size);
}

}  // namespace orvel::exchange
