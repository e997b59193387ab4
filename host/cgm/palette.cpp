// The fixed colour palette shared by the CGM writer and reader.
#include <array>
#include <limits>

#include "cgm/scene.hpp"

namespace orvel::cgm {
namespace {

constexpr std::array<Rgb, 16> kPalette{{{0, 0, 0},
                                        {255, 255, 255},
                                        {255, 0, 0},
                                        {0, 160, 0},
                                        {0, 0, 255},
                                        {230, 200, 0},
                                        {0, 200, 200},
                                        {200, 0, 200},
                                        {128, 128, 128},
                                        {128, 0, 0},
                                        {0, 90, 0},
                                        {0, 0, 128},
                                        {255, 140, 0},
                                        {0, 128, 128},
                                        {110, 0, 160},
                                        {192, 192, 192}}};

}  // namespace

Rgb colour_rgb(int colour) {
  const int n = static_cast<int>(kPalette.size());
  return kPalette[static_cast<size_t>(((colour % n) + n) % n)];
}

int nearest_colour(Rgb rgb) {
  int best = 0;
  long best_distance = std::numeric_limits<long>::max();
  for (size_t i = 0; i < kPalette.size(); ++i) {
    const long dr = long(rgb.r) - kPalette[i].r;
    const long dg = long(rgb.g) - kPalette[i].g;
    const long db = long(rgb.b) - kPalette[i].b;
    const long distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = static_cast<int>(i);
    }
  }
  return best;
}

}  // namespace orvel::cgm
