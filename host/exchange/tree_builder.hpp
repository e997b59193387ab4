// Turns the kernel's assembly document into parts: products, components,
// bodies with their names, colours, layers and densities, and the
// validation properties and header data as attributes.
#pragma once

#include <string>

#include "exchange/document.hpp"
#include "exchange/exchange.hpp"

namespace orvel::exchange {

struct TreeNames {
  std::string full_name;  // of the top part
  std::string file;       // the file read
  std::string key;        // identity of the top part
  std::string format;     // "STEP", "IGES" or "BREP"
};

// Throws partfile::LoadError when the document holds no body.
ExchangeTree build_tree(const ReadDocument &read, const TreeNames &names);

}  // namespace orvel::exchange
