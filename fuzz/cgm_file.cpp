// Fuzz target of the binary CGM reader: any bytes must give a scene or an
// error message, never a crash, a hang or an allocation beyond the input.
#include <cstddef>
#include <cstdint>

#include "cgm/reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const orvel::cgm::ReadResult r = orvel::cgm::read_cgm_bytes(data, size, "fuzz.cgm");
  if (r.ok == r.error.empty()) return 0;
  __builtin_trap();  // success and an error message at once
}
