/* Diagnostics: the progress log, the error recorder that keeps a part's first
 * host failure as its result, timestamps and the memory snapshot. */
#include "vettra/boundary/diagnostics.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

#include "orvel/zk.h"
#include "vettra/text/bounded.h"

const char *const SOURCE_UTILS = "..\\SOURCE_FILES\\vettra_utils";
const char *const SOURCE_MAIN = "..\\SOURCE_FILES\\Vettra";

/* Every progress line starts on a new line with this marker. */
static const char *const LOG_MARKER = "+++Vettra:";
#define LOG_INFO_SIZE 1024

/* Error recorder texts. */
static const char *const ERROR_LINE = "Error: %d in Program: %s";
static const char *const ERROR_PLACE_LINE = "       -> in line %d (%s)";
static const char *const ERROR_END_LINE = "*---*";
static const char *const PROGRAM_FAULT_MESSAGE = "KR-Programm fault";
static const char *const PROGRAM_FAULT_TEXT = "Programm fault [%d]";
static const char *const RECORDED_TEXT = "%s [%d]";
static const char *const NO_ERROR_TEXT = "OK";
#define HOST_MESSAGE_SIZE 1024

static int first_error_code = 0;
static char first_error_text[ERROR_TEXT_SIZE] = "OK";

int log_info(const char *format, ...) {
  char text[LOG_INFO_SIZE] = "";
  va_list args;
  va_start(args, format);
  vformat_text(text, sizeof(text), format, args);
  va_end(args);
  return log_syslog("\n%s %s", LOG_MARKER, text);
}

static void host_message(int code, char message[HOST_MESSAGE_SIZE]) {
  char host_text[ZK_FAIL_MESSAGE_BUFSIZE] = "";
  ZK_get_fail_message(code, host_text);
  copy_text(message, HOST_MESSAGE_SIZE, host_text);
}

int record_error(int code, int line, const char *source) {
  if (code == 0) return 0;
  char message[HOST_MESSAGE_SIZE];
  if (code > 0) {
    host_message(code, message);
  } else {
    COPY(message, PROGRAM_FAULT_MESSAGE);
  }
  log_info(ERROR_LINE, code, source);
  log_info(ERROR_PLACE_LINE, line, message);
  log_info("%s", ERROR_END_LINE);
  if (first_error_code == 0) {
    first_error_code = code;
    if (code > 0) {
      FORMAT(first_error_text, RECORDED_TEXT, message, line);
    } else {
      FORMAT(first_error_text, PROGRAM_FAULT_TEXT, line);
    }
  }
  return code;
}

void reset_errors(void) {
  first_error_code = 0;
  COPY(first_error_text, NO_ERROR_TEXT);
}

void fetch_result(int *code, char text[ERROR_TEXT_SIZE]) {
  *code = first_error_code;
  copy_text(text, ERROR_TEXT_SIZE, first_error_code != 0 ? first_error_text : NO_ERROR_TEXT);
}

void log_timestamp(const char *label) {
  time_t now = time(NULL);
  char ctime_text[TIME_TEXT_SIZE] = "";
  if (ctime_r(&now, ctime_text) == NULL) ctime_text[0] = '\0';
  log_info("%s %s", label, ctime_text);
}

/* A date or time field with two digits: "0%d" below 10, else "%d". */
static void two_digits(int value, char out[16]) {
  format_text(out, 16, value < 10 ? "0%d" : "%d", value);
}

void format_timestamp(const struct tm *time, char buffer[TIME_TEXT_SIZE]) {
  char year[16], month[16], day[16], hour[16], minute[16], second[16];
  format_text(year, sizeof(year), "%d", time->tm_year + 1900);
  two_digits(time->tm_mon + 1, month);
  two_digits(time->tm_mday, day);
  two_digits(time->tm_hour, hour);
  two_digits(time->tm_min, minute);
  two_digits(time->tm_sec, second);
  format_text(buffer, TIME_TEXT_SIZE, "%s-%s-%s %s:%s.%s", year, month, day, hour, minute, second);
}

void timestamp_text(char buffer[TIME_TEXT_SIZE]) {
  time_t now = time(NULL);
  struct tm local;
  if (localtime_r(&now, &local) == NULL) {
    copy_text(buffer, TIME_TEXT_SIZE, "");
    return;
  }
  format_timestamp(&local, buffer);
}

/* Memory figures in KiB, as the operating system gives them. */
struct memory_status {
  long load_percent;       /* share of physical memory in use */
  long available_physical; /* MemAvailable */
  long available_swap;     /* SwapFree: the page file's free part */
  long available_virtual;  /* the address-space limit, or what memory and swap offer */
};

static long meminfo_value(const char *text, const char *key) {
  const char *found = strstr(text, key);
  long value = 0;
  if (found == NULL || sscanf(found + strlen(key), " %ld", &value) != 1) return 0;
  return value;
}

/* Reads /proc/meminfo. The available virtual memory is the process's
 * address-space limit (RLIMIT_AS) when it has one; without a limit it is what
 * physical memory and swap still offer. */
static void read_memory_status(struct memory_status *status) {
  char text[8192] = "";
  FILE *file = fopen("/proc/meminfo", "r");
  if (file != NULL) {
    size_t length = fread(text, 1, sizeof(text) - 1, file);
    text[length] = '\0';
    fclose(file);
  }
  long total = meminfo_value(text, "MemTotal:");
  status->available_physical = meminfo_value(text, "MemAvailable:");
  status->available_swap = meminfo_value(text, "SwapFree:");
  status->load_percent = total > 0 ? (total - status->available_physical) * 100 / total : 0;
  struct rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    status->available_virtual = (long)(limit.rlim_cur >> 10);
  } else {
    status->available_virtual = status->available_physical + status->available_swap;
  }
}

void memory_snapshot(char buffer[TIME_TEXT_SIZE]) {
  struct memory_status status;
  read_memory_status(&status);
  log_info("Info: Memory Load    = %ld", status.load_percent);
  log_info("Info: dwAvailPhys = %ld", status.available_physical);
  log_info("Info: dwAvailPageFile = %ld", status.available_swap);
  log_info("Info: dwAvailVirtual = %ld", status.available_virtual);
  format_text(buffer, TIME_TEXT_SIZE, "%ld", status.available_virtual);
}
