// Runs of the plug-in inside a host session: `orvel interactive` and
// `orvel batch`, and the exit statuses of the command.
#pragma once

#include <string>
#include <vector>

#include "fields.hpp"

namespace orvel::cli {

// Exit statuses of the orvel command (docs/command-line.md).
enum ExitStatus {
  kExitOk = 0,
  kExitPluginFailed = 1,  // StartOfProgram returned a non-zero code
  kExitUsage = 2,         // bad command line, bad value, bad job file
  kExitNoPlugin = 3,      // plug-in missing, not loadable, or lacking an entry point
  kExitHostFailed = 4,    // the host could not start, open the store or the part
  kExitOutputLost = 5,    // batch: lines of the result file could not be written
  kExitShardFault = 6,    // merge: a shard's result or log is missing, cut short or foreign
  kExitSaveFailed = 7,    // batch: a part could not be saved
  kExitCgmFailed = 8,     // batch: a CGM file could not be written or imported
  kExitHostFault = 9,     // host calls failed inside the host: reports may lack answers
};

// Settings of the host session, common to interactive and batch runs.
struct HostArgs {
  std::string plugin;
  std::string syslog;
  std::string pdm_store;
  std::vector<std::string> search_dirs;
  std::string release = "V8.0.3.5";
  FieldValues load_options{load_option_fields()};
  std::string preview_dir;  // batch: an SVG of every drawing exported as CGM
};

// Opens `part` (and `display` as the displayed part when given), then calls
// the plug-in's zkusr. Returns an exit status; messages go to standard error.
int run_interactive(const HostArgs &host, const std::string &part, const std::string &display);

// Fills the plug-in's run configuration with `config` and calls StartOfProgram
// between ZK_initialize and ZK_terminate.
int run_batch(const HostArgs &host, const FieldValues &config);

}  // namespace orvel::cli
