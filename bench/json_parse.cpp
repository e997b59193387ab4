// The cost of parsing part files with the JSON parser the host reads them
// with (nlohmann-json, insertion-ordered objects) against simdjson's DOM
// parser and its on-demand parser walking every value, over the same files.
//
//   json_parse DIR [ROUNDS]
//
// Every *.prt file of DIR is read into memory first; each parser then parses
// all of them ROUNDS times (default 5). Prints the processor seconds of each
// per round and the megabytes per second.
#include <simdjson.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

double cpu_now() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

// Counts the values of an on-demand document, parsing every one of them.
size_t walk(simdjson::ondemand::value value) {
  switch (value.type()) {
    case simdjson::ondemand::json_type::object: {
      size_t n = 1;
      for (auto field : value.get_object()) n += walk(field.value());
      return n;
    }
    case simdjson::ondemand::json_type::array: {
      size_t n = 1;
      for (auto element : value.get_array()) n += walk(element.value());
      return n;
    }
    case simdjson::ondemand::json_type::number: {
      double number = 0;
      return value.get_double().get(number) == simdjson::SUCCESS ? 1 : 0;
    }
    case simdjson::ondemand::json_type::string: {
      std::string_view text;
      return value.get_string().get(text) == simdjson::SUCCESS ? 1 : 0;
    }
    default:
      return 1;
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: json_parse DIR [ROUNDS]\n");
    return 2;
  }
  int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  std::vector<std::string> texts;
  size_t bytes = 0;
  for (const auto &entry : std::filesystem::directory_iterator(argv[1])) {
    if (entry.path().extension() != ".prt") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    texts.push_back(text.str());
    bytes += texts.back().size();
  }
  if (texts.empty()) {
    std::fprintf(stderr, "json_parse: no .prt files in %s\n", argv[1]);
    return 1;
  }
  std::vector<simdjson::padded_string> padded;
  for (const std::string &t : texts) padded.emplace_back(t);

  size_t check = 0;
  double start = cpu_now();
  for (int r = 0; r < rounds; ++r) {
    for (const std::string &t : texts) check += nlohmann::ordered_json::parse(t).size();
  }
  double nlohmann_s = (cpu_now() - start) / rounds;

  simdjson::dom::parser dom;
  start = cpu_now();
  for (int r = 0; r < rounds; ++r) {
    for (const auto &t : padded) {
      simdjson::dom::element doc;
      if (dom.parse(t).get(doc)) return 1;
      check += simdjson::dom::object(doc).size();
    }
  }
  double dom_s = (cpu_now() - start) / rounds;

  simdjson::ondemand::parser ondemand;
  start = cpu_now();
  for (int r = 0; r < rounds; ++r) {
    for (const auto &t : padded) {
      simdjson::ondemand::document doc = ondemand.iterate(t);
      check += walk(doc.get_value());
    }
  }
  double ondemand_s = (cpu_now() - start) / rounds;

  double mb = bytes / 1e6;
  std::printf("%zu files, %.2f MB, %d rounds (check %zu)\n", texts.size(), mb, rounds, check);
  std::printf("%-22s %10s %10s %8s\n", "parser", "s/round", "MB/s", "ratio");
  auto row = [&](const char *name, double s) {
    std::printf("%-22s %10.4f %10.1f %8.3f\n", name, s, mb / s, s / nlohmann_s);
  };
  row("nlohmann ordered_json", nlohmann_s);
  row("simdjson dom", dom_s);
  row("simdjson on-demand", ondemand_s);
  return 0;
}
