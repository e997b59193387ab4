/* The bounded copy and format helpers: every text the plug-in puts into a
 * fixed buffer passes through here, so no write ever goes past a buffer. A
 * text that does not fit is cut at the buffer's capacity and still ends with
 * a NUL; the caller learns of the cut from the result 1. */
#include "vettra/text/bounded.h"

#include <langinfo.h>
#include <math.h>
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
 * decimals, rounded as printf rounds it). Any other format, and any double
 * that is not finite or in a locale whose decimal point is not a full stop,
 * goes to vsnprintf. */

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

static int decimal_point_is_full_stop(void) {
  const char *point = nl_langinfo(RADIXCHAR);
  return point != NULL && point[0] == '.' && point[1] == '\0';
}

/* A finite double with six decimals, as "%f" writes it. */
static void put_double(struct plain_output *out, double value) {
  char digits[DOUBLE_TEXT_SIZE];
  std::to_chars_result r =
      std::to_chars(digits, digits + sizeof(digits), value, std::chars_format::fixed, 6);
  put_bytes(out, digits, r.ec == std::errc() ? (size_t)(r.ptr - digits) : 0);
}

template <typename Integer>
static void put_integer(struct plain_output *out, Integer value) {
  char digits[24];
  std::to_chars_result r = std::to_chars(digits, digits + sizeof(digits), value);
  put_bytes(out, digits, (size_t)(r.ptr - digits));
}

/* 1 when `conversion` (just after its "%", or after the "l" of a long one)
 * is one a plain format may hold. */
static int is_plain_conversion(char conversion, int is_long) {
  if (is_long) return conversion == 'd' || conversion == 'u' || conversion == 'f';
  return conversion == 's' || conversion == 'd' || conversion == 'f' || conversion == '%';
}

/* Formats a plain format in one pass; 1 when the format is not plain, when
 * a double it takes is not finite or when the decimal point is not a full
 * stop, so that the caller formats the whole text with vsnprintf instead
 * (what was put together so far is then written over). */
static int format_plain(struct plain_output *out, const char *format, va_list args) {
  const char *p = format;
  int point_checked = 0;
  for (const char *spec = strchr(p, '%'); spec != NULL; spec = strchr(p, '%')) {
    put_bytes(out, p, (size_t)(spec - p));
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
        if (is_long) {
          put_integer(out, va_arg(args, long));
        } else {
          put_integer(out, va_arg(args, int));
        }
        break;
      case 'u':
        put_integer(out, va_arg(args, unsigned long));
        break;
      case 'f': {
        if (!point_checked) {
          if (!decimal_point_is_full_stop()) return 1;
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
  put_bytes(out, p, strlen(p));
  return 0;
}

int vformat_text(char *dst, size_t size, const char *format, va_list args) {
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
    dst[out.length < size ? out.length : size - 1] = '\0';
    return out.length >= size ? 1 : 0;
  }
  int needed = vsnprintf(dst, size, format, args);
  if (needed < 0) {
    dst[0] = '\0';
    return 1;
  }
  return (size_t)needed >= size ? 1 : 0;
}

int format_text(char *dst, size_t size, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int cut = vformat_text(dst, size, format, args);
  va_end(args);
  return cut;
}
