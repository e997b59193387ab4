/* The bounded copy and format helpers: every text the plug-in puts into a
 * fixed buffer passes through here, so no write ever goes past a buffer. A
 * text that does not fit is cut at the buffer's capacity and still ends with
 * a NUL; the caller learns of the cut from the result 1. */
#include "vettra/text/bounded.h"

#include <fenv.h>
#include <langinfo.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <charconv>

#include "vettra/text/format_plan.h"

/* The longest double "%f" writes: 309 digits, a sign, a point and six
 * decimals. */
#define DOUBLE_TEXT_SIZE 320

int copy_text(char *dst, size_t size, const char *src) {
  if (dst == NULL || size == 0) return 1;
  if (src == NULL) src = "";
  size_t length = strlen(src);
  int cut = 0;
  if (length >= size) {
    length = size - 1;
    cut = 1;
  }
  memmove(dst, src, length);
  dst[length] = '\0';
  return cut;
}

int append_text(char *dst, size_t size, const char *src) {
  if (dst == NULL || size == 0) return 1;
  size_t used = strnlen(dst, size);
  if (used == size) {
    /* Not terminated within its capacity: end it at the last byte. */
    dst[size - 1] = '\0';
    return 1;
  }
  return copy_text(dst + used, size - used, src);
}

/* ---- plain formats ----
 * Nearly every line the plug-in writes is text with %s, %d, %ld, %lu, %lf or
 * %f conversions and no flags, width or precision. Such a format is put
 * together here by its plan (see format_plan.h), which costs a fraction of
 * the C library's general formatter and gives the same text: numbers are
 * converted exactly (a double to six decimals, rounded as printf rounds it,
 * through whole-number arithmetic up to a magnitude of about 1.8e13 and
 * std::to_chars beyond; one that is not finite as "inf" or "nan" with its
 * sign). Any other format, and a double in a locale whose decimal point is
 * not a full stop or under a rounding mode other than to the nearest, goes
 * to vsnprintf. */

/* The output of a plain format is a buffer with room for `capacity` bytes
 * of text (its size less the final NUL) and the text's length so far, which
 * counts every byte the whole text has, as vsnprintf counts it: only the
 * bytes below the capacity are stored. Each put_ function takes the length
 * and returns it with its piece added, so that both stay in registers. */

/* Copies n bytes, n at most SHORT_COPY, without a call: two loads of the
 * widest size that fits, the second ending at the last byte, then two
 * stores, so that nothing outside the n bytes of either side is touched. */
#define SHORT_COPY 32

static inline __attribute__((always_inline)) void copy_short(char *dst, const char *src, size_t n) {
  if (n >= 16) {
    uint64_t head[2], tail[2];
    memcpy(head, src, 16);
    memcpy(tail, src + n - 16, 16);
    memcpy(dst, head, 16);
    memcpy(dst + n - 16, tail, 16);
  } else if (n >= 8) {
    uint64_t head, tail;
    memcpy(&head, src, 8);
    memcpy(&tail, src + n - 8, 8);
    memcpy(dst, &head, 8);
    memcpy(dst + n - 8, &tail, 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    memcpy(&head, src, 4);
    memcpy(&tail, src + n - 4, 4);
    memcpy(dst, &head, 4);
    memcpy(dst + n - 4, &tail, 4);
  } else if (n >= 2) {
    uint16_t head, tail;
    memcpy(&head, src, 2);
    memcpy(&tail, src + n - 2, 2);
    memcpy(dst, &head, 2);
    memcpy(dst + n - 2, &tail, 2);
  } else if (n == 1) {
    dst[0] = src[0];
  }
}

static inline __attribute__((always_inline)) size_t put_bytes(char *dst, size_t capacity,
                                                              size_t length, const char *bytes,
                                                              size_t n) {
  if (n <= capacity && length <= capacity - n) {
    if (n <= SHORT_COPY) {
      copy_short(dst + length, bytes, n);
    } else {
      memcpy(dst + length, bytes, n);
    }
  } else if (length < capacity) {
    memcpy(dst + length, bytes, capacity - length);
  }
  return length + n;
}

/* A "%s" text: most are short names, whose bytes are copied one by one
 * while looking for their end, which costs less than measuring them first;
 * the rest of a longer text is measured and copied whole. */
#define SHORT_TEXT 8

static size_t put_text(char *dst, size_t capacity, size_t length, const char *text) {
  if (length + SHORT_TEXT > capacity) return put_bytes(dst, capacity, length, text, strlen(text));
#pragma GCC unroll 8
  for (size_t i = 0; i < SHORT_TEXT; i++) {
    if (text[i] == '\0') return length + i;
    dst[length + i] = text[i];
  }
  const char *rest = text + SHORT_TEXT;
  return put_bytes(dst, capacity, length + SHORT_TEXT, rest, strlen(rest));
}
/* Two decimal digits for each number below 100, "00" to "99". */
static const char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

/* Writes the decimal digits of `value` so that they end just before `end`;
 * returns where they begin. */
static inline __attribute__((always_inline)) char *digits_before(char *end, uint64_t value) {
  while (value >= 100) {
    end -= 2;
    memcpy(end, DIGIT_PAIRS + 2 * (value % 100), 2);
    value /= 100;
  }
  if (value >= 10) {
    end -= 2;
    memcpy(end, DIGIT_PAIRS + 2 * value, 2);
  } else {
    *--end = (char)('0' + value);
  }
  return end;
}

/* How many decimal digits `value` has, 1 to 20: its bit length gives the
 * power of ten at or just below it, and one comparison settles which. The
 * lowest bit never changes the count (no power of ten is odd), and setting
 * it makes 0 one digit long. */
static inline __attribute__((always_inline)) size_t digit_count(uint64_t value) {
  static const uint64_t POWERS_OF_TEN[20] = {1,
                                             10,
                                             100,
                                             1000,
                                             10000,
                                             100000,
                                             1000000,
                                             10000000,
                                             100000000,
                                             1000000000,
                                             10000000000,
                                             100000000000,
                                             1000000000000,
                                             10000000000000,
                                             100000000000000,
                                             1000000000000000,
                                             10000000000000000,
                                             100000000000000000,
                                             1000000000000000000,
                                             10000000000000000000u};
  uint64_t odd = value | 1;
  size_t below = (size_t)((64 - __builtin_clzll(odd)) * 1233) >> 12;
  return below + (odd >= POWERS_OF_TEN[below] ? 1 : 0);
}

/* A number's text is written backwards from its end: straight into the
 * output when it fits, so that each byte is stored once; near the output's
 * capacity it is put together in a work buffer of NUMBER_WORK bytes (every
 * number the plain path writes is at most 22 characters) and what fits is
 * copied. */
#define NUMBER_WORK 32

/* A number with an optional minus sign, as "%d", "%ld" and "%lu" write it. */
static inline __attribute__((always_inline)) char *decimal_before(char *end, int negative,
                                                                  uint64_t magnitude) {
  char *start = digits_before(end, magnitude);
  if (negative) *--start = '-';
  return start;
}

static size_t put_decimal(char *dst, size_t capacity, size_t length, int negative,
                          uint64_t magnitude) {
  size_t n = (size_t)negative + digit_count(magnitude);
  if (n <= capacity && length <= capacity - n) {
    decimal_before(dst + length + n, negative, magnitude);
    return length + n;
  }
  char text[NUMBER_WORK];
  char *start = decimal_before(text + sizeof(text), negative, magnitude);
  return put_bytes(dst, capacity, length, start, (size_t)(text + sizeof(text) - start));
}

static size_t put_signed(char *dst, size_t capacity, size_t length, long value) {
  uint64_t magnitude = value < 0 ? 0 - (uint64_t)value : (uint64_t)value;
  return put_decimal(dst, capacity, length, value < 0, magnitude);
}

/* 1 when doubles may be put together here: the decimal point is a full
 * stop and numbers round to the nearest, as the whole-number path rounds.
 * Under another rounding mode printf rounds the other way, and so does the
 * text then. Both may change between any two calls, so each format that
 * holds a double asks again. */
static int doubles_are_plain(void) {
  const char *point = nl_langinfo(RADIXCHAR);
  return point != NULL && point[0] == '.' && point[1] == '\0' && fegetround() == FE_TONEAREST;
}

/* product >> shift, for a shift of 1 to 63, rounded to the nearest with a
 * tie to the even one, in the two 64-bit halves of the product (every
 * magnitude from 2^-17, about 7.6e-6, to the exact path's limit takes this
 * way); 0 when the result does not fit 64 bits. */
static int round_shifted(unsigned __int128 product, int shift, uint64_t *rounded) {
  uint64_t high = (uint64_t)(product >> 64);
  uint64_t low = (uint64_t)product;
  if ((high >> shift) != 0) return 0;
  uint64_t quotient = (low >> shift) | (high << (64 - shift));
  uint64_t rest = low & ((UINT64_C(1) << shift) - 1);
  uint64_t half = UINT64_C(1) << (shift - 1);
  if (rest > half || (rest == half && (quotient & 1) != 0)) {
    if (quotient == UINT64_MAX) return 0;
    quotient++;
  }
  *rounded = quotient;
  return 1;
}

/* A double's millionths, value * 10^6 rounded to a whole number as printf
 * rounds it in the default mode: to the nearest, a tie to the even one.
 * The value is m * 2^e (m below 2^53, from its bits), so value * 10^6 is
 * m * 5^6 * 2^(e + 6): the product m * 5^6, below 2^67, is shifted right by
 * s = -(e + 6) and the bits shifted out decide the rounding, all exact.
 * Returns 0, leaving the value to the general conversion, when the
 * millionths do not fit 64 bits (a magnitude of about 1.8e13 or more). */
static int rounded_millionths(uint64_t bits, uint64_t *millionths) {
  int biased = (int)((bits >> 52) & 0x7ff);
  uint64_t m = bits & ((UINT64_C(1) << 52) - 1);
  if (biased != 0) m |= UINT64_C(1) << 52;
  /* e = biased - 1075 for a normal value, -1074 for a subnormal one. */
  int shift = (biased != 0 ? 1075 - biased : 1074) - 6;
  if (shift <= 0) return 0; /* m is at least 2^52: the product is past 2^64 */
  if (shift >= 68) {
    /* Less than half a millionth: the product is below 2^67 <= 2^(s - 1). */
    *millionths = 0;
    return 1;
  }
  unsigned __int128 product = (unsigned __int128)m * 15625;
  if (shift < 64) return round_shifted(product, shift, millionths);
  unsigned __int128 quotient = product >> shift;
  unsigned __int128 rest = product - (quotient << shift);
  unsigned __int128 half = (unsigned __int128)1 << (shift - 1);
  if (rest > half || (rest == half && (quotient & 1) != 0)) quotient++;
  if ((quotient >> 64) != 0) return 0;
  *millionths = (uint64_t)quotient;
  return 1;
}

/* The whole part, a point and six decimals of `millionths`, with a sign. */
static inline __attribute__((always_inline)) char *millionths_before(char *end, int negative,
                                                                     uint64_t millionths) {
  uint32_t decimals = (uint32_t)(millionths % 1000000);
  memcpy(end - 2, DIGIT_PAIRS + 2 * (decimals % 100), 2);
  memcpy(end - 4, DIGIT_PAIRS + 2 * (decimals / 100 % 100), 2);
  memcpy(end - 6, DIGIT_PAIRS + 2 * (decimals / 10000), 2);
  end[-7] = '.';
  return decimal_before(end - 7, negative, millionths / 1000000);
}

/* What "%f" writes for a value that is not finite, sign included. */
static size_t put_not_finite(char *dst, size_t capacity, size_t length, double value) {
  if (signbit(value)) length = put_bytes(dst, capacity, length, "-", 1);
  return put_bytes(dst, capacity, length, isnan(value) ? "nan" : "inf", 3);
}

/* A double with six decimals, as "%f" writes it: the sign (a negative value
 * that rounds to zero keeps it, "-0.000000"), the whole part, a point and
 * six decimals. A magnitude too large for the exact path above goes to
 * std::to_chars, which rounds the same way. */
static size_t put_double(char *dst, size_t capacity, size_t length, double value) {
  if (!isfinite(value)) return put_not_finite(dst, capacity, length, value);
  uint64_t bits;
  memcpy(&bits, &value, sizeof(bits));
  uint64_t millionths;
  if (!rounded_millionths(bits, &millionths)) {
    char digits[DOUBLE_TEXT_SIZE];
    std::to_chars_result r =
        std::to_chars(digits, digits + sizeof(digits), value, std::chars_format::fixed, 6);
    return put_bytes(dst, capacity, length, digits,
                     r.ec == std::errc() ? (size_t)(r.ptr - digits) : 0);
  }
  int negative = (int)(bits >> 63);
  size_t n = (size_t)negative + digit_count(millionths / 1000000) + 7;
  if (n <= capacity && length <= capacity - n) {
    millionths_before(dst + length + n, negative, millionths);
    return length + n;
  }
  char text[NUMBER_WORK];
  char *start = millionths_before(text + sizeof(text), negative, millionths);
  return put_bytes(dst, capacity, length, start, (size_t)(text + sizeof(text) - start));
}

/* Puts one plain conversion, taking its argument. */
static inline __attribute__((always_inline)) size_t put_conversion(char *dst, size_t capacity,
                                                                   size_t n, int conversion,
                                                                   va_list *args) {
  switch (conversion) {
    case CONVERT_TEXT: {
      const char *text = va_arg(*args, const char *);
      return put_text(dst, capacity, n, text != NULL ? text : "(null)");
    }
    case CONVERT_INT:
      return put_signed(dst, capacity, n, va_arg(*args, int));
    case CONVERT_LONG:
      return put_signed(dst, capacity, n, va_arg(*args, long));
    case CONVERT_UNSIGNED_LONG:
      return put_decimal(dst, capacity, n, 0, va_arg(*args, unsigned long));
    case CONVERT_DOUBLE:
      return put_double(dst, capacity, n, va_arg(*args, double));
    default:
      return put_bytes(dst, capacity, n, "%", 1);
  }
}

/* Formats a plain format by its plan in one pass into dst, with room for
 * `capacity` bytes of text, and returns the whole text's length: each run
 * of plain text is copied from the format as the plan marks it, each
 * conversion put together in place. */
static size_t put_plan(char *dst, size_t capacity, const struct format_plan *plan, va_list *args) {
  const char *format = plan->format;
  size_t n = 0;
  for (int i = 0; i < plan->count; i++) {
    const struct format_piece *piece = &plan->pieces[i];
    n = put_bytes(dst, capacity, n, format + piece->plain_at, piece->plain_length);
    n = put_conversion(dst, capacity, n, piece->conversion, args);
  }
  return put_bytes(dst, capacity, n, format + plan->tail_at, plan->tail_length);
}

/* A format whose conversions are all plain is put together here, unless it
 * takes a double while doubles are not plain (see doubles_are_plain); that
 * is known before any argument is taken, so the argument list is read once,
 * by one of the two ways. The list is taken through a pointer, so that the
 * pieces that take arguments from it in turn each go on where the last one
 * stopped. */
int format_text_from_list(char *dst, size_t size, const char *format, va_list *args,
                          size_t *length) {
  *length = 0;
  if (dst == NULL || size == 0) return 1;
  if (format == NULL) {
    dst[0] = '\0';
    return 0;
  }
  struct format_plan work;
  const struct format_plan *plan = format_plan_of(format, &work);
  if (plan->plain && (!plan->has_double || doubles_are_plain())) {
    size_t whole = put_plan(dst, size - 1, plan, args);
    *length = whole < size ? whole : size - 1;
    dst[*length] = '\0';
    return whole >= size ? 1 : 0;
  }
  int needed = vsnprintf(dst, size, format, *args);
  if (needed < 0) {
    dst[0] = '\0';
    return 1;
  }
  /* A "%c" of a NUL may end the text before the count vsnprintf gives. */
  *length = strlen(dst);
  return (size_t)needed >= size ? 1 : 0;
}

/* A list handed in as a parameter is copied, since the address of the
 * parameter itself is not a pointer to a va_list everywhere. */
int vformat_text_measured(char *dst, size_t size, const char *format, va_list args,
                          size_t *length) {
  va_list own;
  va_copy(own, args);
  int cut = format_text_from_list(dst, size, format, &own, length);
  va_end(own);
  return cut;
}

int vformat_text(char *dst, size_t size, const char *format, va_list args) {
  size_t length;
  return vformat_text_measured(dst, size, format, args, &length);
}

int format_text(char *dst, size_t size, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int cut = vformat_text(dst, size, format, args);
  va_end(args);
  return cut;
}
