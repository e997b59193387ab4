/* Diagnostics: the output channels, the syslog prefix, the error recorder,
 * timestamps and the memory snapshot. */
#ifndef VETTRA_DIAGNOSTICS_H
#define VETTRA_DIAGNOSTICS_H

/* Source names handed to record_error; they appear in the log. */
extern const char *const SOURCE_UTILS; /* "..\SOURCE_FILES\vettra_utils" */
extern const char *const SOURCE_MAIN;  /* "..\SOURCE_FILES\Vettra" */

/* Progress log: "\n+++Vettra: <text>" into the system log. */
int log_info(const char *format, ...) __attribute__((format(printf, 1, 2)));
int log_syslog(const char *format, ...) __attribute__((format(printf, 1, 2)));
int log_syslog_gated(const char *format, ...) __attribute__((format(printf, 1, 2)));
int log_console(const char *format, ...) __attribute__((format(printf, 1, 2)));
int log_console_gated(const char *format, ...) __attribute__((format(printf, 1, 2)));
int log_to_channel(const char *format, ...) __attribute__((format(printf, 1, 2)));
void set_syslog_prefix(void);
void clear_syslog_prefix(void);

/* The error recorder: the first failure of the current part. */
#define ERROR_TEXT_SIZE 1024
int record_error(int code, int line, const char *source);
void reset_errors(void);
void fetch_result(int *code, char text[ERROR_TEXT_SIZE]);

/* Timestamps and memory: buffers of 256 bytes. */
#define TIME_TEXT_SIZE 256
void log_timestamp(const char *label);
void timestamp_text(char buffer[TIME_TEXT_SIZE]);
/* timestamp_text for a given broken-down time. */
struct tm;
void format_timestamp(const struct tm *time, char buffer[TIME_TEXT_SIZE]);
void memory_snapshot(char buffer[TIME_TEXT_SIZE]);

#endif
