// Exchange files (STEP, IGES, BREP) read as parts: each product of the file
// becomes a part, each instance a component, each solid a solid body and
// each free shell or face a sheet body. docs/exchange-files.md describes the
// mapping. Nothing is registered with a session here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/part.hpp"

namespace orvel::exchange {

// The exchange format that the extension of `path` names ("STEP" for .step
// and .stp, "IGES" for .iges and .igs, "BREP" for .brep, in any case);
// empty for any other file.
std::string format_of(const std::string &path);

struct ExchangeTree {
  std::vector<std::unique_ptr<model::Part>> parts;  // components first, the top part last
  model::Part *top = nullptr;
  int skipped = 0;      // entities of the file that could not be read
  std::string warning;  // what was skipped; empty when nothing was
};

// Reads the exchange file `file`; the top part is named `full_name` and has
// the identity `key`, the other products `key#label`. Throws
// partfile::LoadError for a file that cannot be read or holds no shape; no
// exception of the kernel leaves this call.
//
// The readers and the modelling kernel live in their own module,
// liborvel_exchange.so beside liborvel.so, loaded on the first exchange file:
// a session that opens none does not pay for mapping and relocating the
// kernel's libraries. A module that cannot be loaded fails the read.
ExchangeTree read_exchange(const std::string &full_name, const std::string &file,
                           const std::string &key);

// The same read inside the module, which read_exchange calls.
ExchangeTree read_exchange_file(const std::string &full_name, const std::string &file,
                                const std::string &key);

}  // namespace orvel::exchange
