/* General channels and host queries: the system log with its optional prefix
 * entry, the console, the selectable channel, environment settings and the
 * question whether the session runs in PDM mode. */
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/environment.h"
#include "vettra/boundary/identity.h"
#include "vettra/boundary/run_config.h"
#include "vettra/text/bounded.h"
#include "vettra/text/names.h"

/* The shared text the system-log and console channels format into. */
#define OUTPUT_BUFFER_SIZE 2048
static char output_buffer[OUTPUT_BUFFER_SIZE];

/* The prefix entry written before each system-log write while armed. */
#define SYSLOG_PREFIX_SIZE 46 /* at most 45 characters */
static char syslog_prefix[SYSLOG_PREFIX_SIZE];
static int syslog_prefix_armed = 0;

/* log_to_channel targets. */
enum { CHANNEL_LISTING_WINDOW = 0, CHANNEL_SYSLOG = 1, CHANNEL_STDOUT = 2 };

/* The failing PDM query is reported with this source name and line. */
static const char *const SOURCE_GENERAL = "..\\..\\COMMON_SOURCE_FILES\\tavi_general_util";
static const int LINE_PDM_QUERY = 1139;
static const char *const PDM_QUERY_CALL = "<< ZK_is_vqmanager_active(&is_active) >>";
static const char *const HOST_CALL_FAILED = "** Function %s failed in %s Line %d\n ==> %s \n";

/* State of the last PDM query; kept for inspection, read by nothing else. */
static int pdm_query_code = 0;
static char pdm_query_message[ZK_FAIL_MESSAGE_BUFSIZE];

static int gated_off(void) {
  return vettra_run_config.console_output == 0;
}

/* Standard output is the console. Anything the process still holds in its
 * stdio buffer goes first, so lines keep their order. */
static void write_console(const char *text) {
  fflush(stdout);
  size_t left = strlen(text);
  while (left > 0) {
    ssize_t written = write(STDOUT_FILENO, text, left);
    if (written <= 0) return; /* a closed console is ignored */
    text += written;
    left -= (size_t)written;
  }
}

/* Formats a channel's arguments into the shared output buffer, cut at its
 * capacity. A macro, since the arguments are the calling function's own. */
#define FORMAT_OUTPUT(format)                                         \
  do {                                                                \
    va_list args;                                                     \
    va_start(args, format);                                           \
    vformat_text(output_buffer, sizeof(output_buffer), format, args); \
    va_end(args);                                                     \
  } while (0)

static int syslog_from_buffer(void) {
  if (syslog_prefix_armed) ZK_print_syslog(syslog_prefix, 0);
  return ZK_print_syslog(output_buffer, 0);
}

int log_syslog(const char *format, ...) {
  FORMAT_OUTPUT(format);
  return syslog_from_buffer();
}

int log_syslog_gated(const char *format, ...) {
  if (gated_off()) return 0;
  FORMAT_OUTPUT(format);
  return syslog_from_buffer();
}

int log_console(const char *format, ...) {
  FORMAT_OUTPUT(format);
  write_console(output_buffer);
  return 0;
}

int log_console_gated(const char *format, ...) {
  if (gated_off()) return 0;
  FORMAT_OUTPUT(format);
  write_console(output_buffer);
  return 0;
}

static void write_listing_window(const char *text) {
  logical open = 0;
  ZK_UI_is_listing_window_open(&open);
  if (!open) ZK_UI_open_listing_window();
  ZK_UI_write_listing_window(text);
}

int log_to_channel(const char *format, ...) {
  if (gated_off()) return 0;
  FORMAT_OUTPUT(format);
  append_text(output_buffer, sizeof(output_buffer), "\n");
  switch (vettra_run_config.log_channel) {
    case CHANNEL_LISTING_WINDOW:
      write_listing_window(output_buffer);
      break;
    case CHANNEL_SYSLOG:
      ZK_print_syslog(output_buffer, 0);
      break;
    case CHANNEL_STDOUT:
      write_console(output_buffer);
      break;
    default:
      break;
  }
  return 0;
}

void set_syslog_prefix(void) {
  syslog_prefix_armed = 0;
  syslog_prefix[0] = '\0';
  if (PROGRAM_PREFIX[0] != '\0') {
    COPY(syslog_prefix, PROGRAM_PREFIX);
    syslog_prefix_armed = 1;
  }
}

void clear_syslog_prefix(void) {
  syslog_prefix_armed = 0;
}

/* Values longer than `size` - 1 characters are cut there. */
int translate_env(const char *name, char *out, size_t size) {
  copy_text(out, size, "");
  char *value = NULL;
  ZK_translate_variable(name, &value);
  return value != NULL ? copy_text(out, size, value) : 0;
}

int is_pdm_active(void) {
  pdm_query_code = 0;
  logical active = 0;
  pdm_query_code = ZK_is_vqmanager_active(&active);
  if (pdm_query_code != 0) {
    ZK_get_fail_message(pdm_query_code, pdm_query_message);
    log_console(HOST_CALL_FAILED, PDM_QUERY_CALL, SOURCE_GENERAL, LINE_PDM_QUERY,
                pdm_query_message);
    log_syslog(HOST_CALL_FAILED, PDM_QUERY_CALL, SOURCE_GENERAL, LINE_PDM_QUERY, pdm_query_message);
  }
  return active != 0;
}
