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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

/* The plain text between conversions is taken a block of BLOCK bytes at a
 * time: each block is searched for a "%" and stored whole while the output
 * has a block's room left, the bytes it carries past the "%" (or the end)
 * lying past the text's end, where the next piece or the final NUL goes.
 * No block is read outside the format: one that would run past its end is
 * read from the format's tail, its last BLOCK bytes copied on the stack and
 * followed by BLOCK zeros, which hold no "%". */
#define BLOCK 16

struct plain_format {
  const char *text;     /* the format */
  size_t length;        /* its length */
  char tail[2 * BLOCK]; /* its last BLOCK bytes (all of a shorter one, ending
                         * at BLOCK), then zeros */
};

static void take_format(struct plain_format *format, const char *text) {
  format->length = strlen(text);
  format->text = text;
  memset(format->tail + BLOCK, 0, BLOCK);
  if (format->length >= BLOCK) {
    memcpy(format->tail, text + format->length - BLOCK, BLOCK);
  } else {
    copy_short(format->tail + BLOCK - format->length, text, format->length);
  }
}

/* Puts the plain text from offset *at of the format up to the next "%" or
 * the format's end, and moves *at there. */
static size_t put_plain_run(char *dst, size_t capacity, size_t length,
                            const struct plain_format *format, size_t *at) {
  size_t pos = *at;
#if defined(__SSE2__)
  const __m128i percent = _mm_set1_epi8('%');
  while (length + BLOCK <= capacity) {
    size_t left = format->length - pos;
    const char *from = left >= BLOCK ? format->text + pos : format->tail + BLOCK - left;
    __m128i block = _mm_loadu_si128((const __m128i *)from);
    _mm_storeu_si128((__m128i *)(dst + length), block);
    unsigned found = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(block, percent));
    if (found != 0 || left <= BLOCK) {
      size_t taken = found != 0 ? (size_t)__builtin_ctz(found) : left;
      *at = pos + taken;
      return length + taken;
    }
    pos += BLOCK;
    length += BLOCK;
  }
#endif
  /* Near the output's capacity (or without a block search at hand). */
  const char *run = format->text + pos;
  const char *stop = (const char *)memchr(run, '%', format->length - pos);
  size_t taken = stop != NULL ? (size_t)(stop - run) : format->length - pos;
  *at = pos + taken;
  return put_bytes(dst, capacity, length, run, taken);
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
static inline __attribute__((always_inline)) size_t put_number(char *dst, size_t capacity,
                                                               size_t length, const char *start,
                                                               const char *end) {
  size_t n = (size_t)(end - start);
  if (length + NUMBER_SPAN > capacity) return put_bytes(dst, capacity, length, start, n);
  memcpy(dst + length, start, NUMBER_SPAN);
  return length + n;
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

/* A number with an optional minus sign, as "%d", "%ld" and "%lu" write it. */
static size_t put_decimal(char *dst, size_t capacity, size_t length, int negative,
                          uint64_t magnitude) {
  char text[NUMBER_WORK];
  char *end = text + NUMBER_END;
  char *start = digits_before(end, magnitude);
  if (negative) *--start = '-';
  return put_number(dst, capacity, length, start, end);
}

static size_t put_signed(char *dst, size_t capacity, size_t length, long value) {
  uint64_t magnitude = value < 0 ? 0 - (uint64_t)value : (uint64_t)value;
  return put_decimal(dst, capacity, length, value < 0, magnitude);
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
static size_t put_double(char *dst, size_t capacity, size_t length, double value) {
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
  char text[NUMBER_WORK];
  char *end = text + NUMBER_END;
  uint32_t decimals = (uint32_t)(millionths % 1000000);
  memcpy(end - 2, DIGIT_PAIRS + 2 * (decimals % 100), 2);
  memcpy(end - 4, DIGIT_PAIRS + 2 * (decimals / 100 % 100), 2);
  memcpy(end - 6, DIGIT_PAIRS + 2 * (decimals / 10000), 2);
  end[-7] = '.';
  char *start = digits_before(end - 7, millionths / 1000000);
  if ((bits >> 63) != 0) *--start = '-';
  return put_number(dst, capacity, length, start, end);
}

/* Formats a plain format in one pass into dst, with room for `capacity`
 * bytes of text, and gives the whole text's length in *length; 1 when the
 * format is not plain, when a double it takes is not finite or when doubles
 * are not plain (see doubles_are_plain), so that the caller formats the whole
 * text with vsnprintf instead (what was put together so far is then written
 * over). The format is measured once, so that each run of plain text is
 * found and copied within it. */
static int format_plain(char *dst, size_t capacity, const char *format, va_list args,
                        size_t *length) {
  struct plain_format span;
  take_format(&span, format);
  size_t at = 0;
  size_t n = 0;
  int point_checked = 0;
  for (;;) {
    n = put_plain_run(dst, capacity, n, &span, &at);
    if (at == span.length) {
      *length = n;
      return 0;
    }
    /* at is at a "%"; the bytes after it lie within the format or are its
     * final NUL, and a "l" is never the last byte read. */
    const char *conversion = format + at + 1;
    int is_long = *conversion == 'l';
    if (is_long) conversion++;
    switch (*conversion) {
      case 's': {
        if (is_long) return 1;
        const char *text = va_arg(args, const char *);
        n = put_text(dst, capacity, n, text != NULL ? text : "(null)");
        break;
      }
      case 'd':
        n = put_signed(dst, capacity, n, is_long ? va_arg(args, long) : va_arg(args, int));
        break;
      case 'u':
        if (!is_long) return 1;
        n = put_decimal(dst, capacity, n, 0, va_arg(args, unsigned long));
        break;
      case 'f': {
        if (!point_checked) {
          if (!doubles_are_plain()) return 1;
          point_checked = 1;
        }
        double value = va_arg(args, double);
        if (!isfinite(value)) return 1;
        n = put_double(dst, capacity, n, value);
        break;
      }
      case '%':
        if (is_long) return 1;
        n = put_bytes(dst, capacity, n, "%", 1);
        break;
      default:
        return 1;
    }
    at = (size_t)(conversion + 1 - format);
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
  size_t whole;
  int fallback = format_plain(dst, size - 1, format, plain_args, &whole);
  va_end(plain_args);
  if (!fallback) {
    *length = whole < size ? whole : size - 1;
    dst[*length] = '\0';
    return whole >= size ? 1 : 0;
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
