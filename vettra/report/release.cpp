/* The host's release numbers, read once from the host's release text and
 * kept for the life of the library. */
#include <stdio.h>
#include <string.h>

#include "orvel/zk.h"
#include "vettra/report/writer.h"
#include "vettra/text/bounded.h"

#define RELEASE_TEXT_SIZE 256

/* Majors 1 to 9 are reported in the host's hundred series (8 is 108). */
static const int SHORT_MAJOR_LOW = 1;
static const int SHORT_MAJOR_HIGH = 9;
static const int MAJOR_SERIES = 100;

static int release_major = -1;
static int release_minor = -1;

void parse_release_text(const char *text, int *major, int *minor) {
  if (text == NULL) return;
  char copy[RELEASE_TEXT_SIZE];
  COPY(copy, text);
  char *v = strrchr(copy, 'V');
  if (v == NULL) return;
  char *stop = strchr(v + 1, '.');
  if (stop == NULL) return;
  *stop = ' ';
  sscanf(v + 1, "%d %d", major, minor);
}

void reset_release_cache(void) {
  release_major = -1;
  release_minor = -1;
}

int host_release(int *minor_out) {
  if (release_major < 0) {
    char *text = NULL;
    ZK_get_release(&text);
    if (text != NULL) {
      parse_release_text(text, &release_major, &release_minor);
      ZK_free(text);
    }
  }
  if (release_major >= SHORT_MAJOR_LOW && release_major <= SHORT_MAJOR_HIGH) {
    release_major += MAJOR_SERIES;
  }
  if (minor_out != NULL) *minor_out = release_minor;
  return release_major;
}
