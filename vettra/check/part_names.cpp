/* The encoded name under which the host opens a managed part in PDM mode,
 * built from a part specification: either "@DB" and delimited fields, or a
 * bare part number whose configured revision the store picks. */
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/text/bounded.h"
#include "vettra/text/names.h"

static const char *const PDM_MARKERS[] = {"@db", "@DB", "@Db", "@dB"};
static const int PDM_MARKER_COUNT = sizeof(PDM_MARKERS) / sizeof(PDM_MARKERS[0]);

/* The delimiter of a marked specification is its fourth character. */
static const size_t DELIMITER_INDEX = 3;
static const int LINE_ENCODE_PART_NAME = 403;

/* Work buffers: a specification holds at most 511 characters. */
#define SPEC_COPY_SIZE 512
#define FIELD_SIZE 257
#define REVISION_SIZE 129
#define FIELD_LINE_SIZE 512

static int has_pdm_marker(const char *spec) {
  for (int i = 0; i < PDM_MARKER_COUNT; i++) {
    if (strstr(spec, PDM_MARKERS[i]) != NULL) return 1;
  }
  return 0;
}

/* The decoded fields go to standard output whatever the log settings. */
static void show_field(const char *format, const char *value) {
  char line[FIELD_LINE_SIZE];
  FORMAT(line, format, value);
  fflush(stdout);
  ssize_t written = write(STDOUT_FILENO, line, strlen(line));
  (void)written;
}

static void encode_marked_spec(const char *spec, char out[VQMGR_NAME_SIZE]) {
  char copy[SPEC_COPY_SIZE];
  COPY(copy, spec);
  char delimiter = spec[DELIMITER_INDEX];
  /* With "@" as delimiter the marker's own "@" opens an extra field. */
  int shift = delimiter == '@' ? 1 : 0;
  char part_number[FIELD_SIZE], rev_id[REVISION_SIZE], file_type[FIELD_SIZE], file_name[FIELD_SIZE];
  nth_field(copy, 1 + shift, delimiter, part_number, sizeof(part_number));
  nth_field(copy, 2 + shift, delimiter, rev_id, sizeof(rev_id));
  nth_field(copy, 3 + shift, delimiter, file_type, sizeof(file_type));
  after_nth_delimiter(copy, 4 + shift, delimiter, file_name, sizeof(file_name));
  show_field("\n part_number=#%s#", part_number);
  show_field("\n rev_id=#%s#", rev_id);
  show_field("\n part_file_type=#%s#", file_type);
  show_field("\n part_file_name=#%s#", file_name);
  char encoded[ZK_VQMGR_ENCODED_BUFSIZE] = "";
  record_error(ZK_VQMGR_encode_part_filename(part_number, rev_id, file_type, file_name, encoded),
               LINE_ENCODE_PART_NAME, SOURCE_UTILS);
  copy_text(out, VQMGR_NAME_SIZE, encoded);
}

static void encode_part_number(const char *spec, char out[VQMGR_NAME_SIZE]) {
  char part_number[SPEC_COPY_SIZE];
  COPY(part_number, spec);
  remove_spaces(part_number);
  tag_t part = NULL_TAG, revision = NULL_TAG;
  char rev_id[ZK_VQMGR_REVISION_ID_BUFSIZE] = "";
  ZK_VQMGR_ask_part_tag(part_number, &part);
  ZK_VQMGR_ask_configured_rev(part, &revision);
  ZK_VQMGR_ask_part_revision_id(revision, rev_id);
  char encoded[ZK_VQMGR_ENCODED_BUFSIZE] = "";
  ZK_VQMGR_encode_part_filename(part_number, rev_id, "", "", encoded);
  copy_text(out, VQMGR_NAME_SIZE, encoded);
}

/* A marked specification too short to hold a delimiter empties out, so that
 * the open that follows fails instead of reopening an earlier name. */
int build_vqmgr_part_name(const char *spec, char out[VQMGR_NAME_SIZE]) {
  if (spec == NULL) spec = "";
  if (has_pdm_marker(spec)) {
    if (strlen(spec) <= DELIMITER_INDEX) {
      copy_text(out, VQMGR_NAME_SIZE, "");
      return 0;
    }
    encode_marked_spec(spec, out);
  } else {
    encode_part_number(spec, out);
  }
  return 0;
}
