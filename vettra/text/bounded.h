/* The one bounded-copy and bounded-format helper of the plug-in. Every text
 * the plug-in writes into a fixed buffer goes through these: a longer input is
 * cut at the buffer's capacity (the result is always NUL-terminated), never
 * written past it. Each returns 0, or 1 when the text was cut. */
#ifndef VETTRA_BOUNDED_H
#define VETTRA_BOUNDED_H

#include <stdarg.h>
#include <stddef.h>

/* Copies src (NULL counts as "") into dst of `size` bytes. */
int copy_text(char *dst, size_t size, const char *src);

/* Appends src to the text already in dst of `size` bytes. */
int append_text(char *dst, size_t size, const char *src);

/* printf into dst of `size` bytes. */
int format_text(char *dst, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
int vformat_text(char *dst, size_t size, const char *format, va_list args)
    __attribute__((format(printf, 3, 0)));
/* vformat_text that also gives the length of the text stored in dst, for a
 * caller that would otherwise measure it again. */
int vformat_text_measured(char *dst, size_t size, const char *format, va_list args, size_t *length)
    __attribute__((format(printf, 3, 0)));
/* vformat_text_measured on the caller's own list (one it started with
 * va_start or va_copy), through a pointer to it: the list is read in place,
 * with no copy, and is used up. */
int format_text_from_list(char *dst, size_t size, const char *format, va_list *args, size_t *length)
    __attribute__((format(printf, 3, 0)));

/* Copies into a char array, taking its size from the array itself. */
#define COPY(dst, src) copy_text((dst), sizeof(dst), (src))
#define FORMAT(dst, ...) format_text((dst), sizeof(dst), __VA_ARGS__)

#endif
