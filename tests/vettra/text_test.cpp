// The bounded copy and format helpers and the text tools for names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "vettra/text/bounded.h"
#include "vettra/text/names.h"

namespace {

// A buffer with guard bytes on both sides, to see any write past its capacity
// even without a sanitizer.
struct GuardedBuffer {
  static constexpr size_t kGuard = 16;
  explicit GuardedBuffer(size_t size) : bytes(size + 2 * kGuard, '#'), size(size) {}
  char *data() { return bytes.data() + kGuard; }
  bool guards_intact() const {
    for (size_t i = 0; i < kGuard; i++) {
      if (bytes[i] != '#' || bytes[kGuard + size + i] != '#') return false;
    }
    return true;
  }
  std::vector<char> bytes;
  size_t size;
};

TEST(BoundedText, CopiesATextThatFitsWholeAndReportsNoCut) {
  char buffer[8];
  EXPECT_EQ(copy_text(buffer, sizeof(buffer), "1234567"), 0);
  EXPECT_STREQ(buffer, "1234567");
  EXPECT_EQ(copy_text(buffer, sizeof(buffer), nullptr), 0);
  EXPECT_STREQ(buffer, "");
}

class BoundedCut : public ::testing::TestWithParam<size_t> {};

// Inputs of many times the capacity are cut at the capacity and terminated.
TEST_P(BoundedCut, CutsCopyAppendAndFormatAtTheCapacity) {
  const size_t size = GetParam();
  const std::string longer(size * 50 + 3, 'x');
  const std::string expected(size - 1, 'x');

  GuardedBuffer copy(size);
  EXPECT_EQ(copy_text(copy.data(), size, longer.c_str()), 1);
  EXPECT_EQ(std::string(copy.data()), expected);
  EXPECT_TRUE(copy.guards_intact());

  GuardedBuffer append(size);
  copy_text(append.data(), size, "");
  EXPECT_EQ(append_text(append.data(), size, longer.c_str()), 1);
  EXPECT_EQ(append_text(append.data(), size, longer.c_str()), 1);
  EXPECT_EQ(std::string(append.data()), expected);
  EXPECT_TRUE(append.guards_intact());

  GuardedBuffer format(size);
  EXPECT_EQ(format_text(format.data(), size, "%s%d", longer.c_str(), 42), 1);
  EXPECT_EQ(std::string(format.data()), expected);
  EXPECT_TRUE(format.guards_intact());
}

INSTANTIATE_TEST_SUITE_P(Capacities, BoundedCut, ::testing::Values(1, 2, 46, 256, 516, 1024));

TEST(BoundedText, AppendsUpToTheCapacityAndRepairsAnUnterminatedBuffer) {
  char buffer[8] = "abc";
  EXPECT_EQ(append_text(buffer, sizeof(buffer), "def"), 0);
  EXPECT_STREQ(buffer, "abcdef");
  EXPECT_EQ(append_text(buffer, sizeof(buffer), "gh"), 1);
  EXPECT_STREQ(buffer, "abcdefg");

  char unterminated[4] = {'w', 'x', 'y', 'z'};
  EXPECT_EQ(append_text(unterminated, sizeof(unterminated), "more"), 1);
  EXPECT_STREQ(unterminated, "wxy");
}

TEST(BoundedText, FormatsExactlyWhatFitsAndNothingForAZeroSizedBuffer) {
  char buffer[6];
  EXPECT_EQ(format_text(buffer, sizeof(buffer), "%d-%s", 12, "ab"), 0);
  EXPECT_STREQ(buffer, "12-ab");
  char untouched = '!';
  EXPECT_EQ(format_text(&untouched, 0, "%s", "anything"), 1);
  EXPECT_EQ(untouched, '!');
}

// format_text must give exactly the text and cut flag of vsnprintf, at
// every capacity, whether it takes its own quick path (plain %s, %d, %ld,
// %lu, %lf, %f and %% conversions) or hands the format to the C library.
std::string reference_format(const char *format, va_list args) {
  va_list again;
  va_copy(again, args);
  int needed = vsnprintf(nullptr, 0, format, args);
  std::string text(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
  vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

// Formats at every capacity from 1 to two past the whole text and compares
// each result with the C library's; returns the first mismatch, or "".
std::string mismatch_at_every_capacity(const char *format, ...) {
  va_list args;
  va_start(args, format);
  const std::string whole = reference_format(format, args);
  va_end(args);
  for (size_t size = 1; size <= whole.size() + 2; size++) {
    GuardedBuffer buffer(size);
    va_start(args, format);
    int cut = vformat_text(buffer.data(), size, format, args);
    va_end(args);
    const std::string expected = whole.substr(0, size - 1);
    if (std::string(buffer.data()) != expected || cut != (whole.size() >= size ? 1 : 0) ||
        !buffer.guards_intact()) {
      return std::string(format) + " at capacity " + std::to_string(size) + ": \"" + buffer.data() +
             "\" instead of \"" + expected + "\"";
    }
  }
  return "";
}

TEST(BoundedFormat, GivesTheCLibrarysTextAndCutAtEveryCapacity) {
  const char *none = nullptr;
  EXPECT_EQ(mismatch_at_every_capacity("          <Handle>%s</Handle>", "#1/2/3"), "");
  EXPECT_EQ(mismatch_at_every_capacity("            <%s>%lf</%s>", "X1", -0.0078125, "X1"), "");
  EXPECT_EQ(mismatch_at_every_capacity("%d|%d|%d|%ld|%ld|%lu|%lu", INT_MIN, INT_MAX, 0, LONG_MIN,
                                       LONG_MAX, 0UL, ULONG_MAX),
            "");
  EXPECT_EQ(mismatch_at_every_capacity("%f %lf %lf %lf", 0.5, -0.0, 1e300, 123456789.1234565), "");
  EXPECT_EQ(mismatch_at_every_capacity("100%% %s%%%d%%", "of", 7), "");
  EXPECT_EQ(mismatch_at_every_capacity("%s[%s]", none, ""), "");
  EXPECT_EQ(mismatch_at_every_capacity("no conversion at all"), "");
  EXPECT_EQ(mismatch_at_every_capacity(""), "");
  // Formats and values the quick path leaves to the C library.
  EXPECT_EQ(mismatch_at_every_capacity("%5d|%-4s|%.2f|%x|%c|%e", 42, "ab", 2.345, 255, 'q', 1.5),
            "");
  EXPECT_EQ(mismatch_at_every_capacity("%lf %lf %lf %d", HUGE_VAL, -HUGE_VAL, NAN, 3), "");
  // Found part way, after plain conversions were already put together.
  EXPECT_EQ(mismatch_at_every_capacity("%s=%lf;%d%% %5.1f|%lu", "a longer text", 2.5, 7, 3.25, 9UL),
            "");
  EXPECT_EQ(mismatch_at_every_capacity("<%s>%lf %lf", "X", 1.5, NAN), "");
}

// A text of `length` bytes that differ from their neighbours, in a heap
// block of exactly its size, so that a sanitizer sees any read past its end.
std::unique_ptr<char[]> exact_text(size_t length, char first) {
  std::unique_ptr<char[]> text(new char[length + 1]);
  for (size_t i = 0; i < length; i++) text[i] = static_cast<char>(first + i % 26);
  text[length] = '\0';
  return text;
}

// Plain text before and after a conversion, each of every length from 0 to
// 40, so that the runs of plain text start and end at every place around the
// blocks they are copied in and around the format's end; "%s" texts of the
// lengths around the few bytes copied one by one. Each format and text lies
// in a block of its own exact size, and each result is compared with the C
// library's at every capacity.
TEST(BoundedFormat, GivesTheCLibrarysTextForPlainRunsOfEveryLength) {
  const char *conversions[] = {"%s", "%d", "%lf", "%%"};
  int checked = 0;
  for (size_t before = 0; before <= 40; before++) {
    for (size_t after = 0; after <= 40; after++) {
      for (const char *conversion : conversions) {
        const std::unique_ptr<char[]> head = exact_text(before, 'a');
        const std::unique_ptr<char[]> tail = exact_text(after, 'A');
        const std::string shape = std::string(head.get()) + conversion + tail.get();
        const std::unique_ptr<char[]> format = exact_text(shape.size(), ' ');
        std::memcpy(format.get(), shape.c_str(), shape.size());
        for (size_t text_length : {0, 1, 7, 8, 9, 23, 24, 40, 41}) {
          const std::unique_ptr<char[]> text = exact_text(text_length, 'n');
          std::string found;
          if (conversion[1] == 's') found = mismatch_at_every_capacity(format.get(), text.get());
          if (conversion[1] == 'd') found = mismatch_at_every_capacity(format.get(), -1234567);
          if (conversion[1] == 'l') found = mismatch_at_every_capacity(format.get(), -0.7071067);
          if (conversion[1] == '%') found = mismatch_at_every_capacity(format.get());
          ASSERT_EQ(found, "") << "text of " << text_length << " bytes";
          checked++;
          if (conversion[1] != 's') break;
        }
      }
    }
  }
  EXPECT_EQ(checked, 41 * 41 * (9 + 3));
}

// A "%" in the last bytes of a format, after a long run of plain text, and
// formats that are all plain text, of the lengths around a block.
TEST(BoundedFormat, FindsAConversionAtTheEndOfAFormatOfEveryLength) {
  for (size_t length = 0; length <= 70; length++) {
    const std::unique_ptr<char[]> plain = exact_text(length, 'a');
    ASSERT_EQ(mismatch_at_every_capacity(plain.get()), "");
    if (length < 2) continue;
    plain[length - 2] = '%';
    plain[length - 1] = 'd';
    ASSERT_EQ(mismatch_at_every_capacity(plain.get(), 42), "");
  }
}

// A format is taken apart once only where its text cannot change: one in
// writable memory that is written over at the same address gives the text
// of what it holds now, each time.
TEST(BoundedFormat, FollowsAFormatRewrittenAtTheSameAddress) {
  char format[32];
  char text[64];
  const char *shapes[][2] = {{"<A>%d</A>", "<A>7</A>"},
                             {"%s and %s", "seven and 7"},
                             {"%lf|%d", "7.000000|7"},
                             {"[%lu]", "[7]"},
                             {"<A>%d</A>", "<A>7</A>"}};
  for (int round = 0; round < 2; round++) {
    for (const auto &shape : shapes) {
      std::strcpy(format, shape[0]);
      if (std::strstr(format, "%s") != nullptr) {
        format_text(text, sizeof(text), format, "seven", "7");
      } else if (std::strstr(format, "%lf") != nullptr) {
        format_text(text, sizeof(text), format, 7.0, 7);
      } else if (std::strstr(format, "%lu") != nullptr) {
        format_text(text, sizeof(text), format, 7UL);
      } else {
        format_text(text, sizeof(text), format, 7);
      }
      EXPECT_STREQ(text, shape[1]) << "format " << shape[0] << ", round " << round;
    }
  }
}

// Literal formats, each given again and again (the second time by its kept
// plan), among them one with more conversions than a plan holds, so that the
// C library formats it whole.
TEST(BoundedFormat, GivesTheSameTextForALiteralFormatEveryTime) {
  for (int round = 0; round < 3; round++) {
    ASSERT_EQ(mismatch_at_every_capacity("          <originX>%lf</originX>", -12.5 * round), "");
    ASSERT_EQ(mismatch_at_every_capacity("%s<%s>%s</%s>", "  ", "Name", "a&b", "Name"), "");
    ASSERT_EQ(mismatch_at_every_capacity("%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d.%d", 1, 2,
                                         3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, round),
              "");
    ASSERT_EQ(mismatch_at_every_capacity("%lf %lf %lf %lf", NAN, -NAN, HUGE_VAL, -HUGE_VAL), "");
  }
}

// A format in writable memory of the program itself (not on the stack or the
// heap) is written over at the same address: each call gives the text of
// what it holds now.
char global_format[32];

TEST(BoundedFormat, FollowsAGlobalFormatRewrittenAtTheSameAddress) {
  const char *shapes[][2] = {
      {"%s=%d", "key=7"}, {"%d:%s", "7:key"}, {"[%s|%d]", "[key|7]"}, {"%s=%d", "key=7"}};
  for (int round = 0; round < 3; round++) {
    for (const auto &shape : shapes) {
      std::strcpy(global_format, shape[0]);
      char text[64];
      if (global_format[1] == 'd') {
        format_text(text, sizeof(text), global_format, 7, "key");
      } else {
        format_text(text, sizeof(text), global_format, "key", 7);
      }
      EXPECT_STREQ(text, shape[1]) << "format " << shape[0] << ", round " << round;
    }
  }
}

// A thousand literal formats of two shapes, each with its own number in its
// plain text: many more formats than there are kept plans, so that formats
// take each other's place again and again. Each must give its own text, at
// every capacity, whatever the order they come in.
#define LITERAL_TEXT(x) #x
#define LITERAL_NUMBER(x) LITERAL_TEXT(x)
#define NAMES_SHAPE() "n" LITERAL_NUMBER(__COUNTER__) ":%s=%d/%lu",
#define VALUES_SHAPE() "<v" LITERAL_NUMBER(__COUNTER__) ">%lf|%ld%%",
#define FOUR_TIMES(m) m() m() m() m()
#define SIXTEEN_TIMES(m) FOUR_TIMES(m) FOUR_TIMES(m) FOUR_TIMES(m) FOUR_TIMES(m)
#define SIXTY_FOUR_TIMES(m) SIXTEEN_TIMES(m) SIXTEEN_TIMES(m) SIXTEEN_TIMES(m) SIXTEEN_TIMES(m)
#define FIVE_HUNDRED_TWELVE_TIMES(m) \
  SIXTY_FOUR_TIMES(m)                \
  SIXTY_FOUR_TIMES(m)                \
  SIXTY_FOUR_TIMES(m)                \
  SIXTY_FOUR_TIMES(m)                \
  SIXTY_FOUR_TIMES(m) SIXTY_FOUR_TIMES(m) SIXTY_FOUR_TIMES(m) SIXTY_FOUR_TIMES(m)

TEST(BoundedFormat, GivesEachOfManyLiteralFormatsItsOwnTextInAnyOrder) {
  static const char *const names[] = {FIVE_HUNDRED_TWELVE_TIMES(NAMES_SHAPE)};
  static const char *const values[] = {FIVE_HUNDRED_TWELVE_TIMES(VALUES_SHAPE)};
  const size_t count = sizeof(names) / sizeof(names[0]);
  ASSERT_EQ(count, sizeof(values) / sizeof(values[0]));
  std::mt19937 random(9);
  std::vector<size_t> order(count);
  for (size_t i = 0; i < count; i++) order[i] = i;
  for (int round = 0; round < 3; round++) {
    for (size_t i : order) {
      const int number = static_cast<int>(i) - round * 400;
      ASSERT_EQ(mismatch_at_every_capacity(names[i], round == 1 ? "" : "name", number,
                                           static_cast<unsigned long>(i) * 1000003UL),
                "");
      ASSERT_EQ(mismatch_at_every_capacity(values[i], number * 0.125 - 1e-7,
                                           -(static_cast<long>(i) << 40)),
                "");
    }
    std::shuffle(order.begin(), order.end(), random);
  }
}

// Whole numbers on either side of every power of ten, of either sign, where
// the count of their digits changes.
TEST(BoundedFormat, WritesNumbersAroundEveryPowerOfTenAsTheCLibraryDoes) {
  unsigned long power = 1;
  for (int digits = 1; digits <= 20; digits++) {
    for (unsigned long value : {power - 1, power, power + 1}) {
      ASSERT_EQ(mismatch_at_every_capacity("%lu|%ld|%d", value, -static_cast<long>(value),
                                           static_cast<int>(value)),
                "");
      const double whole = static_cast<double>(value);
      if (whole < 1e13) {
        ASSERT_EQ(mismatch_at_every_capacity("%lf|%lf", whole, -whole - 0.5), "");
      }
    }
    if (digits < 20) power *= 10;
  }
  ASSERT_EQ(mismatch_at_every_capacity("%lu|%ld|%ld", ULONG_MAX, LONG_MIN, LONG_MAX), "");
}

// Six decimals rounded as printf rounds them, ties and the extremes included.
TEST(BoundedFormat, WritesEveryDoubleAsTheCLibraryDoes) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> near(-1e4, 1e4);
  char ours[400];
  char theirs[400];
  int checked = 0;
  for (int i = 0; i < 200000; i++) {
    double values[3] = {near(random), std::round(near(random) * 1e7) / 1e7, 0.0};
    uint64_t bits = random();
    std::memcpy(&values[2], &bits, sizeof(values[2]));
    for (double value : values) {
      format_text(ours, sizeof(ours), "%lf", value);
      snprintf(theirs, sizeof(theirs), "%lf", value);
      ASSERT_STREQ(ours, theirs) << "bits " << std::hexfloat << value;
      checked++;
    }
  }
  for (double value : {0.0078125, 0.0234375, 2.5e-7, 5e-7, 999999.9999995, 4.9e-324,
                       1.7976931348623157e308, -1e-7}) {
    format_text(ours, sizeof(ours), "%lf", value);
    snprintf(theirs, sizeof(theirs), "%lf", value);
    EXPECT_STREQ(ours, theirs);
  }
  EXPECT_EQ(checked, 600000);
}

// Compares the "%lf" text of a value and of its negation with the C
// library's; returns the first that differs, or "". Counts each comparison.
std::string double_mismatch(double value, int *checked) {
  char ours[400];
  char theirs[400];
  for (double signed_value : {value, -value}) {
    format_text(ours, sizeof(ours), "%lf", signed_value);
    snprintf(theirs, sizeof(theirs), "%lf", signed_value);
    (*checked)++;
    if (std::strcmp(ours, theirs) != 0) {
      char bits[64];
      snprintf(bits, sizeof(bits), "%a", signed_value);
      return std::string(bits) + ": \"" + ours + "\" instead of \"" + theirs + "\"";
    }
  }
  return "";
}

// The `count` doubles on either side of `value`, and the value itself.
std::string neighbours_mismatch(double value, int count, int *checked) {
  double below = value;
  double above = value;
  std::string found = double_mismatch(value, checked);
  for (int i = 0; i < count && found.empty(); i++) {
    below = std::nextafter(below, 0.0);
    above = std::nextafter(above, HUGE_VAL);
    found = double_mismatch(below, checked);
    if (found.empty()) found = double_mismatch(above, checked);
  }
  return found;
}

size_t measured_length(char *dst, size_t size, const char *format, ...) {
  va_list args;
  va_start(args, format);
  size_t length = 12345;
  vformat_text_measured(dst, size, format, args, &length);
  va_end(args);
  return length;
}

// The length given is that of the text stored, whole or cut, whether the
// quick path or the C library made it; a NUL written by "%c" ends it.
TEST(BoundedFormat, GivesTheLengthOfTheTextItStored) {
  char text[16];
  EXPECT_EQ(measured_length(text, sizeof(text), "<%s>%lf", "ab", 1.5), std::strlen("<ab>1.500000"));
  EXPECT_EQ(measured_length(text, 8, "<%s>%lf", "ab", 1.5), 7u);
  EXPECT_STREQ(text, "<ab>1.5");
  EXPECT_EQ(measured_length(text, sizeof(text), "%5d|%x", 42, 255), std::strlen("   42|ff"));
  EXPECT_EQ(measured_length(text, sizeof(text), "ab%cde", 0), 2u);
  EXPECT_EQ(measured_length(text, 1, "%s", "anything"), 0u);
  EXPECT_EQ(measured_length(text, 0, "%s", "anything"), 0u);
}

// A format longer than a plan's offsets reach is formatted whole by the C
// library, cut where the buffer ends.
TEST(BoundedFormat, GivesTheCLibrarysTextForAFormatLongerThanAPlanReaches) {
  std::string shape(70000, 'a');
  shape += "%d|%s";
  const std::unique_ptr<char[]> format = exact_text(shape.size(), ' ');
  std::memcpy(format.get(), shape.c_str(), shape.size());
  for (size_t size : {size_t{16}, size_t{70001}, size_t{70010}}) {
    std::vector<char> ours(size);
    std::vector<char> theirs(size);
    const size_t length = measured_length(ours.data(), size, format.get(), 42, "end");
    EXPECT_EQ(length, std::strlen(ours.data()));
    snprintf(theirs.data(), size, format.get(), 42, "end");
    EXPECT_STREQ(ours.data(), theirs.data()) << "size " << size;
  }
}

// Halves at the sixth decimal: (2k + 1) / 2^7 is the only kind of double
// whose millionths end in exactly one half, which printf rounds to the even
// millionth. Around it, (k + 1/2) * 2^-j for other j are exact with fewer
// decimals or not a tie at all. Whole parts up to past 2^64 / 10^6, where
// the millionths no longer fit 64 bits.
TEST(BoundedFormat, RoundsAHalfAtTheSixthDecimalToTheEvenDigitAsTheCLibraryDoes) {
  int checked = 0;
  for (int j = 0; j <= 60; j++) {
    for (double k = 0; k < 300; k++) {
      ASSERT_EQ(double_mismatch(std::ldexp(k + 0.5, -j), &checked), "");
    }
  }
  for (double whole : {1.0, 1e3, 123456789.0, 1e12, 18446744073708.0, 18446744073709.0,
                       18446744073710.0, 1e13, 3.5e13}) {
    for (int t = 1; t < 256; t += 2) {
      ASSERT_EQ(double_mismatch(whole + t / 128.0, &checked), "");
    }
  }
  EXPECT_EQ(checked, 2 * (61 * 300 + 9 * 128));
  // A tie rounded up instead of to the even digit would give "0.007813".
  char text[32];
  format_text(text, sizeof(text), "%lf|%lf", 0.0078125, 0.0234375);
  EXPECT_STREQ(text, "0.007812|0.023438");
}

// Doubles whose millionths are a half, or one unit of the last bit above or
// below it: m * 2^-(s + 6), with m * 5^6 ending in the s bits 100...0 plus
// -1, 0 or 1, for every shift s a double's 53 bits allow. A rounding that
// looks at fewer bits than all those shifted out fails here.
TEST(BoundedFormat, RoundsValuesAHairFromAHalfMillionthAsTheCLibraryDoes) {
  uint64_t inverse = 15625;  // of 5^6 modulo 2^64, by Newton's iteration
  for (int i = 0; i < 6; i++) inverse *= 2 - 15625 * inverse;
  ASSERT_EQ(inverse * 15625, uint64_t{1});
  int checked = 0;
  for (int s = 1; s <= 53; s++) {
    const uint64_t mask = (uint64_t{1} << s) - 1;
    for (int delta = -1; delta <= 1; delta++) {
      const uint64_t rest = ((uint64_t{1} << (s - 1)) + delta) & mask;
      uint64_t m = (rest * inverse) & mask;
      if (s <= 52) m += uint64_t{1} << 52;
      if (m < (uint64_t{1} << 52) || m >= (uint64_t{1} << 53)) continue;
      ASSERT_EQ((m * 15625) & mask, rest);
      ASSERT_EQ(double_mismatch(std::ldexp(static_cast<double>(m), -(s + 6)), &checked), "");
    }
  }
  EXPECT_GE(checked, 2 * 3 * 52);
}

// Where the exact path ends: millionths at 2^64 (a magnitude of about
// 1.8e13), half a millionth and the bounds of the binary exponents it
// handles, the smallest doubles, the largest, and values whose rounding
// carries into a new whole digit (9.9999995 to 10.000000).
TEST(BoundedFormat, WritesTheDoublesAtTheEdgesOfItsExactPathAsTheCLibraryDoes) {
  int checked = 0;
  const double edges[] = {std::ldexp(1.0, 64) / 1e6,
                          18446744073709.551615,
                          std::ldexp(1.0, 44),
                          std::ldexp(1.0, 45),
                          std::ldexp(1.0, 46),
                          std::ldexp(1.0, 47),
                          5e-7,
                          std::ldexp(1.0, -21),
                          std::ldexp(1.0, -22),
                          std::ldexp(1.0, -20),
                          1e-6,
                          1.5e-6,
                          2.5e-6,
                          std::ldexp(1.0, -1022),
                          4.9e-324,
                          1.7976931348623157e308,
                          0.0};
  for (double edge : edges) ASSERT_EQ(neighbours_mismatch(edge, 2000, &checked), "");
  for (double ten = 1; ten <= 1e15; ten *= 10) {
    ASSERT_EQ(neighbours_mismatch(ten - 5e-7, 200, &checked), "");
    ASSERT_EQ(neighbours_mismatch(ten, 20, &checked), "");
  }
  EXPECT_EQ(checked, 2 * (17 * 4001 + 16 * (401 + 41)));
  char text[64];
  format_text(text, sizeof(text), "%lf|%lf|%lf|%lf", 9.9999996, 999.9999996, -0.0, -4e-7);
  EXPECT_STREQ(text, "10.000000|1000.000000|-0.000000|-0.000000");
}

// Random doubles of every binary exponent the exact path handles and a
// little beyond, and random subnormals, byte for byte against the C library.
TEST(BoundedFormat, WritesRandomDoublesOfEveryMagnitudeAsTheCLibraryDoes) {
  std::mt19937_64 random(8122026);
  int checked = 0;
  for (int i = 0; i < 150000; i++) {
    const uint64_t mantissa = random() & ((uint64_t{1} << 52) - 1);
    const uint64_t exponent = 1023 - 40 + random() % 90;  // 2^-40 to 2^49
    const uint64_t bits[2] = {exponent << 52 | mantissa, mantissa};
    for (uint64_t pattern : bits) {
      double value;
      std::memcpy(&value, &pattern, sizeof(value));
      ASSERT_EQ(double_mismatch(value, &checked), "");
    }
  }
  EXPECT_EQ(checked, 600000);
}

// Under a rounding mode other than to the nearest, doubles round as the C
// library rounds them then.
TEST(BoundedFormat, RoundsDoublesInTheRoundingModeOfTheMoment) {
  const double values[] = {0.0000001, -0.0000001, 2.5e-7, 1.0000005, -3.9999996, 123456.7891234};
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO, FE_TONEAREST}) {
    ASSERT_EQ(fesetround(mode), 0);
    for (double value : values) {
      char expected[64];
      char actual[64];
      std::snprintf(expected, sizeof(expected), "<%lf>", value);
      format_text(actual, sizeof(actual), "<%lf>", value);
      EXPECT_STREQ(actual, expected) << "mode " << mode << ", value " << value;
    }
  }
  fesetround(FE_TONEAREST);
}

// In a locale whose decimal point is a comma, doubles keep the comma the C
// library writes. The locale is compiled for the test, from a definition of
// its numbers alone.
TEST(BoundedFormat, KeepsTheDecimalPointOfTheLocale) {
  char dir[] = "/tmp/vettra-locale-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string source = std::string(dir) + "/comma.src";
  FILE *definition = fopen(source.c_str(), "w");
  ASSERT_NE(definition, nullptr);
  fputs("LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"\"\ngrouping -1\nEND LC_NUMERIC\n",
        definition);
  fclose(definition);
  const std::string compile =
      "localedef -c -i " + source + " -f ANSI_X3.4-1968 " + dir + "/xx_COMMA >/dev/null 2>&1";
  int compiled = system(compile.c_str());
  const char *old_path = getenv("LOCPATH");
  const std::string saved_path = old_path ? old_path : "";
  setenv("LOCPATH", dir, 1);
  const char *set = compiled != -1 ? setlocale(LC_NUMERIC, "xx_COMMA") : nullptr;
  char ours[64] = "";
  char theirs[64] = "";
  if (set != nullptr) {
    format_text(ours, sizeof(ours), "<V>%lf</V>", 1.25);
    snprintf(theirs, sizeof(theirs), "<V>%lf</V>", 1.25);
    setlocale(LC_NUMERIC, "C");
  }
  // The same format once the full stop is back.
  char after[64] = "";
  format_text(after, sizeof(after), "<V>%lf</V>", 1.25);
  EXPECT_STREQ(after, "<V>1.250000</V>");
  if (old_path) {
    setenv("LOCPATH", saved_path.c_str(), 1);
  } else {
    unsetenv("LOCPATH");
  }
  system(("rm -rf " + std::string(dir)).c_str());
  if (set == nullptr) GTEST_SKIP() << "localedef cannot build a test locale here";
  EXPECT_STREQ(theirs, "<V>1,250000</V>");
  EXPECT_STREQ(ours, theirs);
}

struct ReplaceCase {
  const char *text;
  const char *pattern;
  const char *replacement;
  int result;
  const char *out;       // expected out on success
  const char *text_cut;  // expected text afterwards
};

class ReplaceFirst : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceFirst, ReplacesOnlyTheFirstOccurrenceAndCutsTheTextThere) {
  const ReplaceCase &c = GetParam();
  char text[64];
  char out[64] = "unchanged";
  copy_text(text, sizeof(text), c.text);
  EXPECT_EQ(replace_first(text, c.pattern, c.replacement, out, sizeof(out)), c.result);
  EXPECT_STREQ(out, c.out);
  EXPECT_STREQ(text, c.text_cut);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceFirst,
    ::testing::Values(ReplaceCase{"a b c", " ", "_", 0, "a_b c", "a"},
                      ReplaceCase{"&x&", "&", "##38;", 0, "##38;x&", ""},
                      ReplaceCase{"tail!", "!", "", 0, "tail", "tail"},
                      ReplaceCase{"none here", "#", "_", -1, "unchanged", "none here"},
                      ReplaceCase{"empty pattern", "", "_", -1, "unchanged", "empty pattern"}));

TEST(ReplaceFirstBound, CutsTheResultAtTheOutputCapacity) {
  std::string text(3000, 'a');
  text[10] = '&';
  GuardedBuffer out(32);
  EXPECT_EQ(replace_first(text.data(), "&", "&#38;", out.data(), out.size), 0);
  EXPECT_EQ(std::string(out.data()), std::string(10, 'a') + "&#38;" + std::string(16, 'a'));
  EXPECT_TRUE(out.guards_intact());
}

struct SanitizeCase {
  const char *text;
  const char *expected;
};

class SanitizeFileName : public ::testing::TestWithParam<SanitizeCase> {};

TEST_P(SanitizeFileName, TurnsEveryUnsafeCharacterIntoAnUnderscore) {
  char text[128];
  copy_text(text, sizeof(text), GetParam().text);
  EXPECT_EQ(sanitize_file_name(text, sizeof(text)), 0);
  EXPECT_STREQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SanitizeFileName,
    ::testing::Values(SanitizeCase{"bracket.prt.xml", "bracket.prt.xml"},
                      SanitizeCase{"d:\\parts/a b.xml", "d__parts_a_b.xml"},
                      SanitizeCase{"\\/?!#; :%='<>$", "______________"},
                      SanitizeCase{"a//b  c", "a__b__c"},
                      SanitizeCase{"4711_A_dwg_sheet 1.xml", "4711_A_dwg_sheet_1.xml"},
                      SanitizeCase{"keep-these_(1)[2]{3}&.,", "keep-these_(1)[2]{3}&.,"}));

TEST(SanitizeFileNameBound, CleansALongTextWithinItsBuffer) {
  std::string text;
  for (int i = 0; i < 300; i++) text += "a b";
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  sanitize_file_name(buffer.data(), buffer.size());
  EXPECT_EQ(std::strchr(buffer.data(), ' '), nullptr);
  EXPECT_EQ(std::strlen(buffer.data()), text.size());
}

struct FieldCase {
  const char *text;
  int index;
  char delimiter;
  const char *field;
};

class NthField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(NthField, CopiesTheFieldAndReturnsItsLength) {
  const FieldCase &c = GetParam();
  char out[32] = "stale";
  EXPECT_EQ(nth_field(c.text, c.index, c.delimiter, out, sizeof(out)),
            static_cast<int>(std::strlen(c.field)));
  EXPECT_STREQ(out, c.field);
}

INSTANTIATE_TEST_SUITE_P(Cases, NthField,
                         ::testing::Values(FieldCase{"whole", 0, '/', "whole"},
                                           FieldCase{"@DB/4711/A/dwg/sheet1", 0, '/', "@DB"},
                                           FieldCase{"@DB/4711/A/dwg/sheet1", 1, '/', "4711"},
                                           FieldCase{"@DB/4711/A/dwg/sheet1", 4, '/', "sheet1"},
                                           FieldCase{"@DB/4711/A", 3, '/', ""},
                                           FieldCase{"a//c", 1, '/', ""},
                                           FieldCase{"a//c", 2, '/', "c"},
                                           FieldCase{"length=12.5", 0, '=', "length"},
                                           FieldCase{"length=12.5", 1, '=', "12.5"},
                                           FieldCase{"@DB@4711@A", 2, '@', "4711"}));

class AfterNthDelimiter : public ::testing::TestWithParam<FieldCase> {};

TEST_P(AfterNthDelimiter, KeepsEverythingAfterTheDelimiterIncludingLaterOnes) {
  const FieldCase &c = GetParam();
  char out[32] = "stale";
  EXPECT_EQ(after_nth_delimiter(c.text, c.index, c.delimiter, out, sizeof(out)),
            static_cast<int>(std::strlen(c.field)));
  EXPECT_STREQ(out, c.field);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AfterNthDelimiter,
    ::testing::Values(FieldCase{"@DB/4711/A/dwg/sub/sheet1", 4, '/', "sub/sheet1"},
                      FieldCase{"@DB/4711/A/dwg/", 4, '/', ""}, FieldCase{"@DB/4711/A", 4, '/', ""},
                      FieldCase{"a/b", 1, '/', "b"}, FieldCase{"a/b", 0, '/', ""}));

TEST(FieldBounds, FieldsLongerThanTheOutputAreCutAtItsCapacity) {
  std::string text = "@DB/" + std::string(4000, 'n') + "/A/dwg/" + std::string(4000, 'f');
  GuardedBuffer field(129);
  EXPECT_EQ(nth_field(text.c_str(), 1, '/', field.data(), field.size), 128);
  EXPECT_EQ(std::string(field.data()), std::string(128, 'n'));
  EXPECT_TRUE(field.guards_intact());
  GuardedBuffer rest(129);
  EXPECT_EQ(after_nth_delimiter(text.c_str(), 4, '/', rest.data(), rest.size), 128);
  EXPECT_EQ(std::string(rest.data()), std::string(128, 'f'));
  EXPECT_TRUE(rest.guards_intact());
}

TEST(RemoveSpaces, DeletesBlanksButKeepsOtherWhiteSpace) {
  char text[32] = " 47 11\t x \n";
  remove_spaces(text);
  EXPECT_STREQ(text, "4711\tx\n");
}

}  // namespace
