// The orvel command: runs the plug-in inside a reference host session
// (interactive and batch) and manages PDM stores.
#include <CLI/CLI.hpp>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>

#include "fields.hpp"
#include "job_file.hpp"
#include "merge.hpp"
#include "pdm_commands.hpp"
#include "plugin.hpp"
#include "run.hpp"
#include "shard_run.hpp"

using namespace orvel::cli;

namespace {

std::string field_help(const Field &field) {
  std::string help = field.help;
  switch (field.kind) {
    case FieldKind::Text:
      return help + " (" + field.member + ", at most " + std::to_string(field.capacity - 1) +
             " characters)";
    case FieldKind::Int:
      return help + " (" + field.member + ", integer)";
    case FieldKind::Double:
      return help + " (" + field.member + ", number)";
  }
  return help;
}

// Option texts as given, by option name, for the fields of one table.
using OptionTexts = std::map<std::string, std::pair<CLI::Option *, std::string>>;

void add_field_options(CLI::App *command, const std::vector<Field> &fields, OptionTexts &texts,
                       const std::string &group) {
  for (const Field &field : fields) {
    auto &slot = texts[field.option];
    slot.first =
        command->add_option(std::string("--") + field.option, slot.second, field_help(field));
    slot.first->group(group);
    slot.first->type_name(field.kind == FieldKind::Text  ? "TEXT"
                          : field.kind == FieldKind::Int ? "INT"
                                                         : "NUMBER");
  }
}

// Moves the options that were given into `values`, after the job file's.
void collect(const OptionTexts &texts, FieldValues &values) {
  for (const auto &[name, slot] : texts) {
    if (slot.first->count() > 0) values.set(name, slot.second);
  }
}

struct HostOptionTexts {
  OptionTexts load_fields;
  std::vector<std::string> load_pairs;
};

void add_host_options(CLI::App *command, HostArgs &host, HostOptionTexts &texts) {
  const std::string group = "Host";
  command->add_option("--plugin", host.plugin, "plug-in library (default: " + host.plugin + ")")
      ->type_name("FILE")
      ->group(group);
  command->add_option("--syslog", host.syslog, "write the system log to FILE (default: stderr)")
      ->type_name("FILE")
      ->group(group);
  command->add_option("--pdm", host.pdm_store, "run in PDM mode on the store STORE.db")
      ->type_name("STORE")
      ->group(group);
  command
      ->add_option("--search-dir", host.search_dirs, "search directory for components (repeatable)")
      ->type_name("DIR")
      ->group(group);
  command->add_option("--release", host.release, "release text the host reports")
      ->capture_default_str()
      ->group(group);
  const std::string load_group = "Assembly load options";
  add_field_options(command, load_option_fields(), texts.load_fields, load_group);
  command
      ->add_option("--load-option", texts.load_pairs,
                   "NAME=VALUE for any field above, e.g. failure_action=1 (repeatable)")
      ->group(load_group);
}

void collect_host(const HostOptionTexts &texts, HostArgs &host) {
  for (const std::string &pair : texts.load_pairs) {
    size_t equals = pair.find('=');
    if (equals == std::string::npos) {
      throw std::invalid_argument("--load-option: expected NAME=VALUE, got '" + pair + "'");
    }
    host.load_options.set(pair.substr(0, equals), pair.substr(equals + 1));
  }
  collect(texts.load_fields, host.load_options);
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"orvel: the reference host. Runs a plug-in on parts and manages PDM stores."};
  app.require_subcommand(1);
  app.footer(
      "Exit status: 0 success; 1 StartOfProgram returned a non-zero code (named on stderr);\n"
      "2 bad command line or job file; 3 plug-in missing or lacking an entry point;\n"
      "4 the host failed (log file, PDM store, a part that cannot be opened, a pdm command);\n"
      "5 batch: lines of the result file could not be written (named on stderr);\n"
      "6 merge: a shard's result or log is missing, cut short or foreign;\n"
      "7 batch: a part could not be saved; 8 batch: a CGM file or its picture could not\n"
      "be written, or a CGM file could not be imported (each named on stderr).\n"
      "See docs/command-line.md.");

  HostArgs host;
  host.plugin = default_plugin_path();

  CLI::App *interactive =
      app.add_subcommand("interactive", "Open PART as work and displayed part and call zkusr");
  std::string part, display;
  interactive->add_option("PART", part, "part file, or an encoded name in PDM mode")->required();
  interactive->add_option("--display", display, "make PART2 the displayed part")
      ->option_text("PART2");
  HostOptionTexts interactive_host;
  add_host_options(interactive, host, interactive_host);

  CLI::App *batch =
      app.add_subcommand("batch", "Fill the plug-in's run configuration and call StartOfProgram");
  std::string job;
  batch
      ->add_option("--job", job,
                   "job file of 'name = value' lines naming the options below; options given "
                   "on the command line override it")
      ->check(CLI::ExistingFile);
  OptionTexts batch_fields;
  add_field_options(batch, run_config_fields(), batch_fields, "Run configuration");
  HostOptionTexts batch_host;
  add_host_options(batch, host, batch_host);
  batch
      ->add_option("--preview-dir", host.preview_dir,
                   "write an SVG picture of every drawing exported as CGM into DIR")
      ->check(CLI::ExistingDirectory)
      ->type_name("DIR")
      ->group("Host");

  std::string shard;
  batch
      ->add_option("--shard", shard,
                   "check only the K-th of N pieces of the part list; the result file and "
                   "system log get names ending .shard-K-of-N (see orvel merge)")
      ->type_name("K/N");

  add_pdm_command(app);
  MergeOptions merge_options;
  CLI::App *merge = add_merge_command(app, merge_options);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  } catch (const std::exception &e) {
    // A pdm subcommand failed in its callback.
    std::cerr << "orvel: " << e.what() << '\n';
    return kExitHostFailed;
  }

  try {
    if (interactive->parsed()) {
      collect_host(interactive_host, host);
      return run_interactive(host, part, display);
    }
    if (batch->parsed()) {
      collect_host(batch_host, host);
      FieldValues config(run_config_fields());
      if (!job.empty()) {
        for (const JobSetting &setting : read_job_file(job)) {
          try {
            config.set(setting.name, setting.value);
          } catch (const std::invalid_argument &e) {
            throw std::invalid_argument(job + ":" + std::to_string(setting.line) + ": " + e.what());
          }
        }
      }
      collect(batch_fields, config);
      ShardListFile piece =
          shard.empty() ? ShardListFile() : narrow_to_shard(parse_shard(shard), host, config);
      return run_batch(host, config);
    }
    if (merge->parsed()) return run_merge(merge_options);
  } catch (const std::invalid_argument &e) {
    std::cerr << "orvel: " << e.what() << '\n';
    return kExitUsage;
  } catch (const std::runtime_error &e) {
    std::cerr << "orvel: " << e.what() << '\n';
    return kExitUsage;
  }
  return kExitOk;
}
