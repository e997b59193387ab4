// The embedding interface of the reference host: what a program that hosts
// plug-ins (the orvel command, tests) uses to set up the one process-wide
// session before any ZK_ call, and to learn the full text of a failure.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "orvel/zk_assem.h"
#include "orvel/zk_types.h"

namespace orvel {

// The assembly load options a session starts with:
//   load_options        ZK_ASSEM_load_from_directory (components beside the assembly)
//   parts_list          0
//   update              ZK_ASSEM_no_update_report
//   emphasize           ZK_ASSEM_do_not_emphasize_wp
//   emphasize_color     0
//   failure_action      ZK_ASSEM_do_abort_on_failure
//   maintain_work_part  ZK_ASSEM_do_maintain_work_part
//   load_latest         ZK_ASSEM_load_exact_version
//   load_components     ZK_ASSEM_do_load_components
//   load_fully          ZK_ASSEM_load_components_fully
//   load_substitution   ZK_ASSEM_dont_allow_substitution
//   apply_to_all_levels ZK_ASSEM_do_apply_to_all_levels
//   load_wave_data      ZK_ASSEM_default_load_behaviour
//   load_wave_parents   ZK_ASSEM_none
ZK_ASSEM_options_t default_load_options();

struct HostOptions {
  std::string syslog_file;               // empty: the system log goes to standard error
  std::string release = "V8.0.3.5";      // text of ZK_get_release; empty: none
  std::string pdm_store;                 // SQLite store; empty: PDM mode off
  std::vector<std::string> search_dirs;  // for ZK_ASSEM_load_from_search_dirs
  ZK_ASSEM_options_t load_options = default_load_options();
  std::string preview_dir;  // an SVG of every CGM file written goes here; empty: none
};

// Sets up the process-wide session (closing any parts of an earlier one).
// Throws std::runtime_error when the system log file or the PDM store
// cannot be opened.
void configure_host(const HostOptions &options);

// Makes an open part the displayed part; returns a host code.
int set_display_part(tag_t part);

// Called after every ZK_PART_open with the name asked for and the code
// returned; an empty function removes it. The orvel command shows progress
// with it. It belongs to the current session.
void set_part_open_observer(std::function<void(const std::string &name, int code)> observer);

// Why writes to the system log were lost ("the system log FILE cannot be
// written: No space left on device (3 writes lost)"); empty when none was.
std::string syslog_failure();

// The full text of the last failure (a part that failed to load names the
// file, the place in it and the problem), empty when there was none.
std::string last_failure_detail();

// How many calls of the current session failed inside the host (see
// Session::count_host_fault), and the last one's account: the host's text,
// or the call's name when there was no memory for a text; empty when none.
size_t host_faults();
std::string last_host_fault();
// Writes the same account to `out` without making a text of it, so that it
// can be told when no memory is left (the usual reason for such faults).
void write_last_host_fault(std::ostream &out);

// The saves of the current session that failed, each as "FILE: PROBLEM",
// in order; empty when every save succeeded.
std::vector<std::string> failed_saves();

// The CGM files of the current session that could not be written (export)
// or imported, each as "CGM file not written: PATH: PROBLEM" or "CGM file
// not imported: FILE: PROBLEM", in order; empty when there was none.
std::vector<std::string> failed_cgm_files();

}  // namespace orvel
