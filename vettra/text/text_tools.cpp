/* Text tools for part names and file names: replacing the first occurrence of
 * a pattern, taking delimited fields apart, removing blanks and turning a name
 * into a safe file name. */
#include <string.h>

#include "vettra/text/bounded.h"
#include "vettra/text/names.h"

/* Characters that must not reach a file name, in the order they are replaced. */
static const char *const UNSAFE_PATTERNS[] = {"\\", "/", "?", "!", "#", ";", " ",
                                              ":",  "%", "=", "'", "<", ">", "$"};
static const int UNSAFE_PATTERN_COUNT = sizeof(UNSAFE_PATTERNS) / sizeof(UNSAFE_PATTERNS[0]);
static const char *const SAFE_REPLACEMENT = "_";

/* Work text of sanitize_file_name: the text it cleans holds at most 1023
 * characters; a longer one is cut there. */
#define SANITIZE_WORK_SIZE 1024

int replace_first(char *text, const char *pattern, const char *replacement, char *out,
                  size_t out_size) {
  if (text == NULL || pattern == NULL || pattern[0] == '\0') return -1;
  char *found = strstr(text, pattern);
  if (found == NULL) return -1;
  *found = '\0';
  copy_text(out, out_size, text);
  append_text(out, out_size, replacement);
  append_text(out, out_size, found + strlen(pattern));
  return 0;
}

static int has_unsafe_character(const char *text) {
  for (int i = 0; i < UNSAFE_PATTERN_COUNT; i++) {
    if (strstr(text, UNSAFE_PATTERNS[i]) != NULL) return 1;
  }
  return 0;
}

int sanitize_file_name(char *text, size_t size) {
  if (text == NULL || !has_unsafe_character(text)) return 0;
  char work[SANITIZE_WORK_SIZE];
  for (int i = 0; i < UNSAFE_PATTERN_COUNT; i++) {
    while (replace_first(text, UNSAFE_PATTERNS[i], SAFE_REPLACEMENT, work, sizeof(work)) == 0) {
      copy_text(text, size, work);
    }
  }
  return 0;
}

int nth_field(const char *text, int index, char delimiter, char *out, size_t out_size) {
  if (out == NULL || out_size == 0) return 0;
  out[0] = '\0';
  if (text == NULL) return 0;
  size_t length = 0;
  int copying = (index == 0);
  int count = 0;
  for (const char *p = text; *p != '\0'; p++) {
    if (copying) {
      if (*p == delimiter) break;
      if (length + 1 < out_size) out[length++] = *p;
    } else if (*p == delimiter && ++count == index) {
      copying = 1;
    }
  }
  out[length] = '\0';
  return (int)length;
}

int after_nth_delimiter(const char *text, int n, char delimiter, char *out, size_t out_size) {
  if (out == NULL || out_size == 0) return 0;
  out[0] = '\0';
  if (text == NULL) return 0;
  int count = 0;
  for (const char *p = text; *p != '\0'; p++) {
    if (*p == delimiter && ++count == n) {
      copy_text(out, out_size, p + 1);
      break;
    }
  }
  return (int)strlen(out);
}

void remove_spaces(char *text) {
  if (text == NULL) return;
  char *to = text;
  for (const char *from = text; *from != '\0'; from++) {
    if (*from != ' ') *to++ = *from;
  }
  *to = '\0';
}
