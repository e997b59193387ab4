// Interactive and batch runs: set up the host session, load the plug-in,
// open the parts or fill the run configuration, and call the entry point.
#include "run.hpp"

#include <unistd.h>

#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "boundary/run_config.h"
#include "orvel/zk.h"
#include "plugin.hpp"
#include "progress.hpp"
#include "session/host_control.hpp"

namespace orvel::cli {

namespace {

using ZkusrEntry = int (*)(char *, int *, int);
using StartOfProgramEntry = int (*)();

void configure(const HostArgs &host) {
  HostOptions options;
  options.syslog_file = host.syslog;
  options.preview_dir = host.preview_dir;
  options.release = host.release;
  options.pdm_store = host.pdm_store;
  options.search_dirs = host.search_dirs;
  options.load_options = default_load_options();
  host.load_options.apply(&options.load_options);
  configure_host(options);
}

// Says on standard error how many host calls failed inside the host during
// the run, and the last one's account; true when any did. Such a call
// answered a code or an empty value that its caller may have taken as
// given (an empty handle in a report), so the run is no success.
bool report_host_faults() {
  const size_t faults = host_faults();
  if (faults == 0) return false;
  // Written piece by piece: with no memory left, a text made of the account
  // could not be had, and the line is needed most then.
  std::cerr << "orvel: " << faults << (faults == 1 ? " host call" : " host calls")
            << " failed inside the host (the last: ";
  write_last_host_fault(std::cerr);
  std::cerr << "); the reports may lack what they asked for\n";
  return true;
}

// The host's full account of a failed call: the detail of the last failure,
// else the code's message.
std::string failure_text(int code) {
  std::string detail = last_failure_detail();
  if (!detail.empty()) return detail;
  char message[ZK_FAIL_MESSAGE_BUFSIZE] = "";
  ZK_get_fail_message(code, message);
  return message;
}

// Opens a part as the work and displayed part; on failure writes the host's
// message to standard error and returns NULL_TAG.
tag_t open_part(const std::string &name) {
  tag_t part = NULL_TAG;
  ZK_PART_load_status_t status{};
  int code = ZK_PART_open(name.c_str(), &part, &status);
  if (code != 0) {
    std::cerr << "orvel: cannot open " << name << " (code " << code << "): " << failure_text(code)
              << '\n';
    return NULL_TAG;
  }
  return part;
}

// Sets the host session up; on failure writes the reason to standard error.
bool configure_or_report(const HostArgs &host) {
  try {
    configure(host);
    return true;
  } catch (const std::exception &e) {
    std::cerr << "orvel: " << e.what() << '\n';
    return false;
  }
}

// A list run shows its progress on standard error when that is a terminal
// and the system log goes to a file, so that the two never mix.
std::unique_ptr<ListProgress> list_progress(const HostArgs &host, const run_config &record) {
  if (record.part_list_file[0] == '\0' || host.syslog.empty() || !isatty(STDERR_FILENO)) {
    return nullptr;
  }
  if (std::strcmp(record.action, "CgmImportToOrvelPartFile") == 0) return nullptr;
  std::vector<std::string> parts;
  if (record.single_part[0] != '\0') parts.emplace_back(record.single_part);
  for (std::string &line : list_file_parts(record.part_list_file)) parts.push_back(line);
  return std::make_unique<ListProgress>(std::move(parts), record.result_file, std::cerr);
}

// Calls StartOfProgram, with the progress of a list run shown as the host
// opens each part.
int start_program(StartOfProgramEntry start, const HostArgs &host, const run_config &record) {
  std::unique_ptr<ListProgress> progress = list_progress(host, record);
  if (!progress) return start();
  set_part_open_observer(
      [&progress](const std::string &, int code) { progress->part_opened(code == 0); });
  int code = start();
  set_part_open_observer(nullptr);
  progress->finish();
  return code;
}

// A run whose system log lost writes failed, whatever the plug-in found:
// says why on standard error and turns `status` into a host failure.
int with_syslog_checked(int status) {
  std::string failure = syslog_failure();
  if (failure.empty()) return status;
  std::cerr << "orvel: " << failure << '\n';
  return kExitHostFailed;
}

}  // namespace

int run_interactive(const HostArgs &host, const std::string &part, const std::string &display) {
  if (!configure_or_report(host)) return kExitHostFailed;
  try {
    Plugin plugin(host.plugin);
    auto zkusr = reinterpret_cast<ZkusrEntry>(plugin.symbol("zkusr"));
    ZK_initialize();
    // The displayed part is opened first, so that opening PART afterwards
    // leaves PART the work part; then the display goes back to PART2.
    tag_t display_tag = NULL_TAG;
    if (!display.empty() && (display_tag = open_part(display)) == NULL_TAG) {
      ZK_terminate();
      return kExitHostFailed;
    }
    if (open_part(part) == NULL_TAG) {
      ZK_terminate();
      return kExitHostFailed;
    }
    if (display_tag != NULL_TAG) {
      int code = set_display_part(display_tag);
      if (code != 0) {
        std::cerr << "orvel: cannot display " << display << ": " << failure_text(code) << '\n';
        ZK_terminate();
        return kExitHostFailed;
      }
    }
    char parameter[1] = "";
    int status = 0;
    zkusr(parameter, &status, 0);
    return with_syslog_checked(report_host_faults() ? kExitHostFault : kExitOk);
  } catch (const std::runtime_error &e) {
    std::cerr << "orvel: " << e.what() << '\n';
    return kExitNoPlugin;
  }
}

int run_batch(const HostArgs &host, const FieldValues &config) {
  if (!configure_or_report(host)) return kExitHostFailed;
  try {
    Plugin plugin(host.plugin);
    auto *record = static_cast<run_config *>(plugin.symbol("vettra_run_config"));
    auto start = reinterpret_cast<StartOfProgramEntry>(plugin.symbol("StartOfProgram"));
    ZK_initialize();
    config.apply(record);
    int code = start_program(start, host, *record);
    // The plug-in does not look at the result of a save; the host tells.
    std::vector<std::string> unsaved = failed_saves();
    for (const std::string &failure : unsaved) {
      std::cerr << "orvel: part not saved: " << failure << '\n';
    }
    // Nor does it look at every CGM export, and an import failure ends the
    // run without a result line; the host kept both.
    std::vector<std::string> cgm_failures = failed_cgm_files();
    for (const std::string &failure : cgm_failures) std::cerr << "orvel: " << failure << '\n';
    ZK_terminate();
    // The plug-in counts the result lines it could not write in the run
    // configuration; its return code says how the run itself went.
    if (record->result_lines_lost != 0) {
      std::cerr << "orvel: " << record->result_lines_lost << " lines of the result file "
                << record->result_file << " could not be written\n";
    }
    if (record->import_result != 0) {
      std::cerr << "orvel: the CGM import failed (" << record->import_result
                << "): no part was saved; the system log says why\n";
    }
    bool host_failed = report_host_faults();
    if (code != 0) {
      std::cerr << "orvel: StartOfProgram returned " << code << '\n';
      return with_syslog_checked(kExitPluginFailed);
    }
    if (host_failed) return with_syslog_checked(kExitHostFault);
    if (record->result_lines_lost != 0) return with_syslog_checked(kExitOutputLost);
    if (!unsaved.empty()) return with_syslog_checked(kExitSaveFailed);
    bool cgm_failed = !cgm_failures.empty() || record->import_result != 0;
    return with_syslog_checked(cgm_failed ? kExitCgmFailed : kExitOk);
  } catch (const std::runtime_error &e) {
    std::cerr << "orvel: " << e.what() << '\n';
    return kExitNoPlugin;
  }
}

}  // namespace orvel::cli
