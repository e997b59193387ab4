/* The bounded copy and format helpers: every text the plug-in puts into a
 * fixed buffer passes through here, so no write ever goes past a buffer. A
 * text that does not fit is cut at the buffer's capacity and still ends with
 * a NUL; the caller learns of the cut from the result 1. */
#include "vettra/text/bounded.h"

#include <stdio.h>
#include <string.h>

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

int vformat_text(char *dst, size_t size, const char *format, va_list args) {
  if (dst == NULL || size == 0) return 1;
  if (format == NULL) {
    dst[0] = '\0';
    return 0;
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
