// Fuzz target: the job-file parser and the checks that keep each value
// within its run configuration field. Every setting is either refused with
// a message or fits; filling the record must stay inside it.
#include "job_file.hpp"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "boundary/run_config.h"
#include "fields.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  std::vector<orvel::cli::JobSetting> settings;
  try {
    settings = orvel::cli::parse_job_text(text, "fuzz.job");
  } catch (const std::runtime_error &) {
    return 0;
  }
  orvel::cli::FieldValues values(orvel::cli::run_config_fields());
  for (const orvel::cli::JobSetting &setting : settings) {
    try {
      values.set(setting.name, setting.value);
    } catch (const std::invalid_argument &) {
    }
  }
  static run_config record;
  values.apply(&record);
  return 0;
}
