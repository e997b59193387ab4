// Colour and layer numbers given to the colours and layer names of
// exchange files.
#include "exchange/mapping.hpp"

#include <gtest/gtest.h>

namespace {

using orvel::exchange::colour_number;
using orvel::exchange::LayerNumbers;

TEST(ColourNumber, IsTheNearestNamedColour) {
  EXPECT_EQ(colour_number(1, 1, 1), 1);
  EXPECT_EQ(colour_number(0, 0, 0), 2);
  EXPECT_EQ(colour_number(1, 0, 0), 3);
  EXPECT_EQ(colour_number(0.9, 0.1, 0.05), 3);
  EXPECT_EQ(colour_number(0.55, 0.0, 0.0), 11) << "dark red";
  EXPECT_EQ(colour_number(0.5, 0.5, 0.5), 9);
  EXPECT_EQ(colour_number(0.8, 0.8, 0.8), 10);
  EXPECT_EQ(colour_number(1.0, 0.6, 0.0), 17) << "orange";
}

TEST(LayerNumbers, NumberedNamesKeepTheirNumberOthersTakeTheFreeOnes) {
  LayerNumbers layers({"PAINT", "2", "0", "256", "HOLES", "257", "PAINT"});
  EXPECT_EQ(layers.number("2"), 2);
  EXPECT_EQ(layers.number("0"), 0);
  EXPECT_EQ(layers.number("256"), 256);
  EXPECT_EQ(layers.number("PAINT"), 3) << "2 is taken by the layer named 2";
  EXPECT_EQ(layers.number("HOLES"), 4);
  EXPECT_EQ(layers.number("257"), 5) << "beyond the last layer: an ordinary name";
  EXPECT_EQ(layers.number("LATE"), 6) << "a name met later is numbered after the others";
  EXPECT_EQ(layers.number("PAINT"), 3) << "the same name, the same layer";
}

TEST(LayerNumbers, NamesBeyondTheLastFreeNumberGoToLayerOne) {
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("L" + std::to_string(i));
  LayerNumbers layers(names);
  EXPECT_EQ(layers.number("L0"), 2);
  EXPECT_EQ(layers.number("L254"), 256);
  EXPECT_EQ(layers.number("L255"), 1);
  EXPECT_EQ(layers.number("L299"), 1);
}

}  // namespace
