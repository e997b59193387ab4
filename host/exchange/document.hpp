// Reading an exchange file into the kernel's assembly document, with the
// file's header data and an account of what could not be read.
#pragma once

#include <TDocStd_Document.hxx>
#include <string>
#include <utility>
#include <vector>

namespace orvel::exchange {

struct ReadDocument {
  Handle(TDocStd_Document) doc;
  std::vector<std::pair<std::string, std::string>> header;  // attribute title, value
  int skipped = 0;                                          // unreadable entities
  std::string skipped_list;                                 // their labels, the first few
  bool styles_skipped = false;  // colours, layers, properties left unread for them
  // Millimetres per length unit of the file. The reader converts shapes
  // and centroids but leaves validation volumes and areas in file units.
  double file_unit_mm = 1.0;
};

// A new, empty assembly document; the caller closes it.
Handle(TDocStd_Document) new_document();

// Reads `file` in `format` ("STEP", "IGES" or "BREP") into `read.doc`, a
// new document. Throws partfile::LoadError when the file cannot be read at
// all; kernel exceptions are left to the caller.
void read_document(const std::string &file, const std::string &format, ReadDocument &read);

}  // namespace orvel::exchange
