/* The interactive entry points and the housekeeping entries the host calls.
 * An interactive run takes its settings from the environment, checks the work
 * part and opens the report with the post command. */
#include "vettra/boundary/entry_points.h"

#include <stdlib.h>
#include <string.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/environment.h"
#include "vettra/boundary/identity.h"
#include "vettra/boundary/run_config.h"
#include "vettra/check/check_run.h"
#include "vettra/text/bounded.h"

static const char *const ENV_OUTDIR = "VETR_outdir";
static const char *const ENV_DETAIL_OPTION = "VETR_detail_option";
static const char *const ENV_POST_COMMAND = "VETR_POSTCOMMAND";
static const char *const DEFAULT_POST_COMMAND = "notepad";

static const char *const START_LINE = "######## Start of: %s %s <Build: %s>\n";
static const char *const POST_COMMAND_EMPTY_LINE = "VETR_POSTCOMMAND = #%s#\n";
static const char *const POST_COMMAND_DEFAULT_LINE = "VETR_POSTCOMMAND = set to #%s#\n";
static const char *const SETTINGS_RULE =
    "\n============================================================================================"
    "===\n";
static const char *const SETTING_OUTDIR_LINE = "VETR_outdir          = #%s#\n";
static const char *const SETTING_DETAIL_LINE = "VETR_detail_option   = #%s#\n";
static const char *const SETTING_POST_LINE = "VETR_POSTCOMMAND     = #%s#\n";
static const char *const END_RULE =
    "\n============================================================================================"
    "===";
static const char *const CLEANUP_LINE = "\n Cleanup for %s\n";
static const char *const UNLOAD_LINE = "zkusr_ask_unload for %s\n";
static const char *const POST_COMMAND_TOO_LONG =
    "Error: VETR_POSTCOMMAND is longer than %d characters: no post command is run\n";
static const char *const POST_LINE_TOO_LONG =
    "Error: the post command line would be longer than %d characters: not run\n";
static const char *const POST_NO_REPORT =
    "Error: no report was saved: the post command is not run\n";

#define PART_NAME_SIZE 516

int zkusr(char *parameter, int *return_code, int parameter_length) {
  (void)parameter;
  (void)return_code;
  (void)parameter_length;
  ZK_initialize();
  log_syslog(START_LINE, PROGRAM_NAME, PROGRAM_RELEASE, BUILD_DATE);
  if (ZK_ASSEM_ask_work_part() != NULL_TAG) Vettra_Interactive_Entry();
  return ZK_terminate();
}

void zkusr_cleanup(void) {
  log_console_gated(CLEANUP_LINE, PROGRAM_NAME);
}

int zkusr_ask_unload(void) {
  log_console_gated(UNLOAD_LINE, PROGRAM_NAME);
  return 1;
}

/* Appends text to line as one single-quoted shell word. */
static int append_quoted(char *line, size_t size, const char *text) {
  int cut = append_text(line, size, "'");
  for (const char *p = text; *p != '\0' && !cut; p++) {
    char one[2] = {*p, '\0'};
    cut = append_text(line, size, *p == '\'' ? "'\\''" : one);
  }
  return cut | append_text(line, size, "'");
}

/* The report path is quoted so that a path with blanks or shell characters
 * reaches the command as one argument and never runs anything else; a
 * relative path that starts with "-" gets "./" in front, so the command does
 * not take it for an option. A line that does not fit is refused rather than
 * cut: a cut line could name a different file. */
int build_post_command(const char *command, const char *path, char *line, size_t size) {
  int cut = copy_text(line, size, command);
  cut |= append_text(line, size, " ");
  if (path[0] == '-') cut |= append_text(line, size, "./");
  cut |= append_quoted(line, size, path);
  cut |= append_text(line, size, " ");
  if (cut) copy_text(line, size, "");
  return cut;
}

/* Settings of an interactive run. The output directory and the detail option
 * are cut at their fields' capacity. A post command longer than its field is
 * refused: 1 is returned and no command is run, since a cut command could do
 * something else. */
static int read_settings(char post_command[POST_COMMAND_SIZE]) {
  translate_env(ENV_OUTDIR, vettra_run_config.outdir, sizeof(vettra_run_config.outdir));
  translate_env(ENV_DETAIL_OPTION, vettra_run_config.detail_option,
                sizeof(vettra_run_config.detail_option));
  if (translate_env(ENV_POST_COMMAND, post_command, POST_COMMAND_SIZE) != 0) {
    log_syslog(POST_COMMAND_TOO_LONG, POST_COMMAND_SIZE - 1);
    return 1;
  }
  if (post_command[0] == '\0') {
    log_syslog(POST_COMMAND_EMPTY_LINE, post_command);
    copy_text(post_command, POST_COMMAND_SIZE, DEFAULT_POST_COMMAND);
    log_syslog(POST_COMMAND_DEFAULT_LINE, post_command);
  }
  return 0;
}

static void log_settings(const char *post_command) {
  log_syslog("\n%s", PROGRAM_NAME);
  log_syslog("%s", SETTINGS_RULE);
  log_syslog(SETTING_OUTDIR_LINE, vettra_run_config.outdir);
  log_syslog(SETTING_DETAIL_LINE, vettra_run_config.detail_option);
  log_syslog(SETTING_POST_LINE, post_command);
}

/* Runs the post command on the report just saved; nothing runs when the
 * check saved no report. */
static void run_post_command(const char *post_command) {
  if (!vettra_run_state.report_saved) {
    log_syslog(POST_NO_REPORT);
    return;
  }
  char line[POST_COMMAND_LINE_SIZE];
  if (build_post_command(post_command, vettra_run_state.report_path, line, sizeof(line)) != 0) {
    log_syslog(POST_LINE_TOO_LONG, POST_COMMAND_LINE_SIZE - 1);
    return;
  }
  int status = system(line);
  (void)status; /* the command's outcome is the user's business */
}

void Vettra_Interactive_Entry(void) {
  timestamp_text(vettra_run_state.load_start_time);
  char post_command[POST_COMMAND_SIZE] = "";
  int refused = read_settings(post_command);
  char part_name[PART_NAME_SIZE] = "";
  ZK_PART_ask_part_name(ZK_PART_ask_display_part(), part_name);
  log_settings(refused ? "" : post_command);
  check_part(part_name);
  if (!refused) run_post_command(post_command);
  log_syslog("%s", END_RULE);
}
