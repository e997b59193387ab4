/* Report writer primitives: each call appends one line to the file at `path`
 * (opened, written and closed per line). A line is written whole, in one
 * write; a line whose file cannot be opened or that is not written whole is
 * lost alone and counted. The result file is written with the same writer. */
#ifndef VETTRA_WRITER_H
#define VETTRA_WRITER_H

#include <stdarg.h>
#include <stddef.h>
#include <string.h>

#define LINE_SIZE 1024  /* an element value; a line that fits needs no buffer of its own */
#define ESCAPE_SIZE 516 /* the escape work text */

/* Appends the `length` bytes of text and "\n"; 0, or -1 when the line is
 * lost (the file cannot be opened, or the line was not written whole). */
int write_text_line(const char *path, const char *text, size_t length);
/* Appends text (NULL counts as "") and "\n"; as write_text_line. Inline, so
 * that the length of a literal line is known when the caller is compiled. */
static inline int write_line(const char *path, const char *text) {
  if (text == NULL) text = "";
  return write_text_line(path, text, strlen(text));
}
/* Formats a line, whatever its length, and appends it; as write_line. */
int write_fmt(const char *path, const char *format, ...) __attribute__((format(printf, 2, 3)));
/* The same with the caller's argument list. */
int vwrite_fmt(const char *path, const char *format, va_list args)
    __attribute__((format(printf, 2, 0)));
/* indent + "<name>" + escaped value + "</name>"; as write_line. The value
 * is formatted into LINE_SIZE bytes and cut there. */
int write_element(const char *path, const char *indent, const char *name, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
/* Lines lost by write_line since the library was loaded; a caller takes
 * the difference across the lines it wrote. */
unsigned long lost_line_count(void);
/* Escapes text in place; `size` is the capacity of text's buffer. */
int xml_escape(char *text, unsigned long size);

/* Frame. init_xml_file creates or empties the report file: 0, or -1 (errno
 * set) when it cannot. */
int init_xml_file(const char *path);
int write_xml_header(const char *path);
int write_load_options(const char *path);
int write_xml_end(const char *path);
int host_release(int *minor_out);
/* Reads the major and minor number that follow the last "V" of a release
 * text, up to the first full stop after it; a number that cannot be read
 * leaves its output unchanged. */
void parse_release_text(const char *text, int *major, int *minor);
/* Forgets the cached release numbers (both -1 again). */
void reset_release_cache(void);

#endif
