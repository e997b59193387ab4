/* Report line writers: every call appends one line to the report file, which
 * is opened, written and closed for that line alone, and the escaping of
 * element values. */
#include "vettra/report/writer.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "vettra/text/bounded.h"
#include "vettra/text/names.h"

/* Escape steps in the order they run. The ampersand goes through a marker
 * first so that a later search never finds the ampersand of a reference. */
struct escape_step {
  const char *pattern;
  const char *replacement;
};
static const char DEGREE_SIGN[] = {(char)176, '\0'};
static const struct escape_step ESCAPE_STEPS[] = {
    {"&", "##38;"}, {"##38;", "&#38;"}, {"<", "&lt;"}, {">", "&gt;"}, {DEGREE_SIGN, "&#176;"}};
static const int ESCAPE_STEP_COUNT = sizeof(ESCAPE_STEPS) / sizeof(ESCAPE_STEPS[0]);

/* Lines whose file could not be opened or that could not be written whole,
 * since the library was loaded. */
static unsigned long lost_lines = 0;

/* A write that stopped part way leaves the descriptor's offset just past the
 * bytes that did reach the file (an append moves it to the end it wrote), so
 * cutting the file there, less those bytes, gives it back as it was before the
 * line. Only such a write pays for the extra calls. */
static void take_back_partial_line(int fd, size_t written) {
  off_t end = lseek(fd, 0, SEEK_CUR);
  if (end >= (off_t)written) (void)ftruncate(fd, end - (off_t)written);
}

/* Appends `length` bytes of one line, its line feed included, in a single
 * write, so that a process killed while writing never leaves half a line.
 * A write that stops part way (a full disk, a file size limit) is taken back
 * to where the line began, so the file never keeps half a line either. */
static inline __attribute__((always_inline)) int append_whole_line(const char *path,
                                                                   const char *line,
                                                                   size_t length) {
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    lost_lines++;
    return -1;
  }
  ssize_t written;
  do {
    written = write(fd, line, length);
  } while (written < 0 && errno == EINTR);
  if (written > 0 && written != (ssize_t)length) take_back_partial_line(fd, (size_t)written);
  int closed = close(fd);
  if (written != (ssize_t)length || closed != 0) {
    lost_lines++;
    return -1;
  }
  return 0;
}

/* Appends text, `length` bytes long, with its line feed. A line that fits
 * LINE_SIZE is put together on the stack; a longer one gets a buffer of its
 * own length. */
static int append_text_line(const char *path, const char *text, size_t length) {
  if (length < LINE_SIZE) {
    char line[LINE_SIZE + 1];
    memcpy(line, text, length);
    line[length] = '\n';
    return append_whole_line(path, line, length + 1);
  }
  /* Without memory for the buffer the line is lost like one that cannot be
   * written: the callers are plain C and cannot be handed an exception. */
  char *long_line = (char *)malloc(length + 1);
  if (long_line == NULL) {
    lost_lines++;
    return -1;
  }
  memcpy(long_line, text, length);
  long_line[length] = '\n';
  int result = append_whole_line(path, long_line, length + 1);
  free(long_line);
  return result;
}

int write_text_line(const char *path, const char *text, size_t length) {
  if (path == NULL || path[0] == '\0') return -1;
  return append_text_line(path, text, length);
}

/* A line longer than LINE_SIZE: formatted again into a buffer of its own
 * length, so it is never cut. `args` is the line's whole argument list. */
static int append_long_line(const char *path, const char *format, va_list args) {
  va_list again;
  va_copy(again, args);
  int needed = vsnprintf(NULL, 0, format, args);
  size_t size = needed > 0 ? (size_t)needed + 1 : 1;
  char *whole = (char *)calloc(size, 1);
  if (whole == NULL) {
    va_end(again);
    lost_lines++;
    return -1;
  }
  if (needed > 0) vsnprintf(whole, size, format, again);
  va_end(again);
  int result = append_text_line(path, whole, strlen(whole));
  free(whole);
  return result;
}

/* Formats a line that fits LINE_SIZE on the stack, straight into the buffer
 * it is written from, with room left for its line feed, and writes it into
 * *result; 1, with nothing written, for a longer one. */
static inline __attribute__((always_inline)) int write_short_line(const char *path,
                                                                  const char *format, va_list *args,
                                                                  int *result) {
  char line[LINE_SIZE + 1];
  size_t length;
  if (format_text_from_list(line, LINE_SIZE, format, args, &length) != 0) return 1;
  line[length] = '\n';
  *result = append_whole_line(path, line, length + 1);
  return 0;
}

/* A longer line is formatted again by append_long_line; the argument list
 * is started again for that, so the usual line pays for no copy of it. */
int write_fmt(const char *path, const char *format, ...) {
  if (path == NULL || path[0] == '\0') return -1;
  int result;
  va_list args;
  va_start(args, format);
  int long_line = write_short_line(path, format, &args, &result);
  va_end(args);
  if (!long_line) return result;
  va_start(args, format);
  result = append_long_line(path, format, args);
  va_end(args);
  return result;
}

/* write_fmt with the caller's argument list, which is copied once for the
 * first formatting since a long line needs it whole again. */
int vwrite_fmt(const char *path, const char *format, va_list args) {
  if (path == NULL || path[0] == '\0') return -1;
  int result;
  va_list first;
  va_copy(first, args);
  int long_line = write_short_line(path, format, &first, &result);
  va_end(first);
  return long_line ? append_long_line(path, format, args) : result;
}

unsigned long lost_line_count(void) {
  return lost_lines;
}

int write_element(const char *path, const char *indent, const char *name, const char *format, ...) {
  char value[LINE_SIZE];
  va_list args;
  va_start(args, format);
  vformat_text(value, sizeof(value), format, args);
  va_end(args);
  xml_escape(value, sizeof(value));
  return write_fmt(path, "%s<%s>%s</%s>", indent, name, value, name);
}

/* Length of one byte once escaped. "##38;" needs no weight of its own: it
 * becomes "&#38;", which is just as long. */
static size_t escaped_width(unsigned char byte) {
  switch (byte) {
    case '&':
      return 5;
    case '<':
    case '>':
      return 4;
    case 176:
      return 6;
    default:
      return 1;
  }
}

/* Cuts text before the first byte whose escaped form would take the escaped
 * text past `limit` characters, so that no escape sequence is ever split. */
static void cut_to_escaped_limit(char *text, size_t limit) {
  size_t width = 0;
  for (char *p = text; *p != '\0'; p++) {
    width += escaped_width((unsigned char)*p);
    if (width > limit) {
      *p = '\0';
      return;
    }
  }
}

static int needs_escaping(const char *text) {
  for (int i = 0; i < ESCAPE_STEP_COUNT; i++) {
    if (strstr(text, ESCAPE_STEPS[i].pattern) != NULL) return 1;
  }
  return 0;
}

/* The escaped text is built in a work text of ESCAPE_SIZE bytes. A value
 * whose escaped form would be longer than that (or than its own buffer) is
 * cut first, at a whole character, so the escaped value is complete up to the
 * cut. A value with nothing to escape is left as it is, whatever its length. */
int xml_escape(char *text, unsigned long size) {
  if (text == NULL || size == 0 || !needs_escaping(text)) return 0;
  size_t capacity = size < ESCAPE_SIZE ? size : ESCAPE_SIZE;
  cut_to_escaped_limit(text, capacity - 1);
  char work[ESCAPE_SIZE];
  for (int i = 0; i < ESCAPE_STEP_COUNT; i++) {
    while (replace_first(text, ESCAPE_STEPS[i].pattern, ESCAPE_STEPS[i].replacement, work,
                         sizeof(work)) == 0) {
      copy_text(text, size, work);
    }
  }
  return 0;
}
