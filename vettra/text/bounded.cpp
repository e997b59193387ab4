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
 * together here, which costs a fraction of the C library's general formatter
 * and gives the same text: numbers are converted exactly (a double to six
 * decimals, rounded as printf rounds it, through whole-number arithmetic up
 * to a magnitude of about 1.8e13 and std::to_chars beyond). Any other format,
 * and any double that is not finite, in a locale whose decimal point is not a
 * full stop or under a rounding mode other than to the nearest, goes to
 * vsnprintf. */

/* Output of a plain format: `length` counts every byte the whole text has,
 * as vsnprintf counts it; only the first size - 1 are stored. */
struct plain_output {
  char *dst;
  size_t size;
  size_t length;
};

static void put_bytes(struct plain_output *out, const char *bytes, size_t n) {
  size_t capacity = out->size - 1;
  if (out->length < capacity) {
    size_t room = capacity - out->length;
    memcpy(out->dst + out->length, bytes, n < room ? n : room);
  }
  out->length += n;
}

/* A number's text is put together backwards, ending NUMBER_END bytes into a
 * work buffer of NUMBER_WORK bytes; every number the plain path writes is at
 * most 22 characters, so NUMBER_SPAN bytes from its start all lie inside the
 * buffer. */
#define NUMBER_END 32
#define NUMBER_SPAN 32
#define NUMBER_WORK (NUMBER_END + NUMBER_SPAN)

/* Puts the number text from `start` to `end` (in a work buffer laid out as
 * above). While the output has NUMBER_SPAN bytes of room left, the text is
 * moved by one fixed-size copy that needs no call: the bytes it carries past
 * the number lie past the text's end, where the next piece or the final NUL
 * goes, and never past the buffer. */
static void put_number(struct plain_output *out, const char *start, const char *end) {
  size_t n = (size_t)(end - start);
  if (out->length + NUMBER_SPAN <= out->size - 1) {
    memcpy(out->dst + out->length, start, NUMBER_SPAN);
    out->length += n;
  } else {
    put_bytes(out, start, n);
  }
}

/* 1 when doubles may be put together here: the decimal point is a full
 * stop and numbers round to the nearest, as the whole-number path rounds.
 * Under another rounding mode printf rounds the other way, and so does the
 * text then. */
static int doubles_are_plain(void) {
  const char *point = nl_langinfo(RADIXCHAR);
  return point != NULL && point[0] == '.' && point[1] == '\0' && fegetround() == FE_TONEAREST;
}

/* Two decimal digits for each number below 100, "00" to "99". */
static const char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

/* Writes the decimal digits of `value` so that they end just before `end`;
 * returns where they begin. */
static char *digits_before(char *end, uint64_t value) {
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

/* A number with an optional minus sign, as "%d", "%ld" and "%lu" write it. */
static void put_decimal(struct plain_output *out, int negative, uint64_t magnitude) {
  char text[NUMBER_WORK];
  char *end = text + NUMBER_END;
  char *start = digits_before(end, magnitude);
  if (negative) *--start = '-';
  put_number(out, start, end);
}

static void put_signed(struct plain_output *out, long value) {
  uint64_t magnitude = value < 0 ? 0 - (uint64_t)value : (uint64_t)value;
  put_decimal(out, value < 0, magnitude);
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

/* A finite double with six decimals, as "%f" writes it: the sign (a
 * negative value that rounds to zero keeps it, "-0.000000"), the whole part,
 * a point and six decimals. A magnitude too large for the exact path above
 * goes to std::to_chars, which rounds the same way. */
static void put_double(struct plain_output *out, double value) {
  uint64_t bits;
  memcpy(&bits, &value, sizeof(bits));
  uint64_t millionths;
  if (!rounded_millionths(bits, &millionths)) {
    char digits[DOUBLE_TEXT_SIZE];
    std::to_chars_result r =
        std::to_chars(digits, digits + sizeof(digits), value, std::chars_format::fixed, 6);
    put_bytes(out, digits, r.ec == std::errc() ? (size_t)(r.ptr - digits) : 0);
    return;
  }
  char text[NUMBER_WORK];
  char *end = text + NUMBER_END;
  uint32_t decimals = (uint32_t)(millionths % 1000000);
  memcpy(end - 2, DIGIT_PAIRS + 2 * (decimals % 100), 2);
  memcpy(end - 4, DIGIT_PAIRS + 2 * (decimals / 100 % 100), 2);
  memcpy(end - 6, DIGIT_PAIRS + 2 * (decimals / 10000), 2);
  end[-7] = '.';
  char *start = digits_before(end - 7, millionths / 1000000);
  if ((bits >> 63) != 0) *--start = '-';
  put_number(out, start, end);
}

/* 1 when `conversion` (just after its "%", or after the "l" of a long one)
 * is one a plain format may hold. */
static int is_plain_conversion(char conversion, int is_long) {
  if (is_long) return conversion == 'd' || conversion == 'u' || conversion == 'f';
  return conversion == 's' || conversion == 'd' || conversion == 'f' || conversion == '%';
}

/* Formats a plain format in one pass; 1 when the format is not plain, when
 * a double it takes is not finite or when doubles are not plain (see
 * doubles_are_plain), so that the caller formats the whole text with vsnprintf instead
 * (what was put together so far is then written over). One scan for the
 * next "%" or the end gives each run of plain text and its length. */
static int format_plain(struct plain_output *out, const char *format, va_list args) {
  const char *p = format;
  int point_checked = 0;
  for (;;) {
    const char *spec = strchrnul(p, '%');
    put_bytes(out, p, (size_t)(spec - p));
    if (*spec == '\0') return 0;
    const char *conversion = spec[1] == 'l' ? spec + 2 : spec + 1;
    int is_long = spec[1] == 'l';
    if (!is_plain_conversion(*conversion, is_long)) return 1;
    switch (*conversion) {
      case 's': {
        const char *text = va_arg(args, const char *);
        if (text == NULL) text = "(null)";
        put_bytes(out, text, strlen(text));
        break;
      }
      case 'd':
        put_signed(out, is_long ? va_arg(args, long) : va_arg(args, int));
        break;
      case 'u':
        put_decimal(out, 0, va_arg(args, unsigned long));
        break;
      case 'f': {
        if (!point_checked) {
          if (!doubles_are_plain()) return 1;
          point_checked = 1;
        }
        double value = va_arg(args, double);
        if (!isfinite(value)) return 1;
        put_double(out, value);
        break;
      }
      default: /* "%%" */
        put_bytes(out, "%", 1);
        break;
    }
    p = conversion + 1;
  }
}

int vformat_text_measured(char *dst, size_t size, const char *format, va_list args,
                          size_t *length) {
  *length = 0;
  if (dst == NULL || size == 0) return 1;
  if (format == NULL) {
    dst[0] = '\0';
    return 0;
  }
  va_list plain_args;
  va_copy(plain_args, args);
  struct plain_output out = {dst, size, 0};
  int fallback = format_plain(&out, format, plain_args);
  va_end(plain_args);
  if (!fallback) {
    *length = out.length < size ? out.length : size - 1;
    dst[*length] = '\0';
    return out.length >= size ? 1 : 0;
  }
  int needed = vsnprintf(dst, size, format, args);
  if (needed < 0) {
    dst[0] = '\0';
    return 1;
  }
  /* A "%c" of a NUL may end the text before the count vsnprintf gives. */
  *length = strlen(dst);
  return (size_t)needed >= size ? 1 : 0;
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
