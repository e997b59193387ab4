// Fuzz target: the plug-in's PDM name builder on the real host, in PDM mode
// over a small store (item 4711 with revisions A and B), so that both the
// marker branch and the part-number branch reach the host.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orvel/zk.h"
#include "pdm/store.hpp"
#include "session/host_control.hpp"
#include "text/names.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  char dir[] = "/tmp/fuzz_pdm_name_XXXXXX";
  if (!mkdtemp(dir)) std::abort();
  std::string store_path = std::string(dir) + "/store.db";
  {
    auto store = orvel::pdm::Store::open(store_path, true);
    store->add_item("4711", "Bracket");
    store->add_revision("4711", "A");
    store->add_revision("4711", "B");
  }
  orvel::HostOptions options;
  options.pdm_store = store_path;
  options.syslog_file = "/dev/null";
  orvel::configure_host(options);
  ZK_initialize();
  // The builder echoes the decoded fields on standard output.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string spec(reinterpret_cast<const char *>(data), size);
  char out[VQMGR_NAME_SIZE + 1];
  std::memset(out, 'x', sizeof out);
  out[0] = '\0';
  build_vqmgr_part_name(spec.c_str(), out);
  // The name stays within its buffer: the guard byte after it is untouched.
  if (out[VQMGR_NAME_SIZE] != 'x' || std::memchr(out, '\0', VQMGR_NAME_SIZE) == nullptr) {
    std::abort();
  }
  return 0;
}
