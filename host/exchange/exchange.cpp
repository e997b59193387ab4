// Opening an exchange file as parts: picks the reader by the file's
// extension, builds the parts and turns every failure of the kernel into a
// load failure that names the file.
#include "exchange/exchange.hpp"

#include <Standard_Failure.hxx>
#include <XCAFApp_Application.hxx>
#include <filesystem>
#include <fstream>
#include <new>

#include "api/codes.hpp"
#include "exchange/document.hpp"
#include "exchange/fault_guard.hpp"
#include "exchange/tree_builder.hpp"
#include "partfile/part_file.hpp"

namespace orvel::exchange {

namespace {

using partfile::LoadError;

// Closes the document when the parts have been built or the read failed;
// the parts keep their own references to the shapes.
struct DocumentCloser {
  Handle(TDocStd_Document) & doc;
  ~DocumentCloser() {
    try {
      if (!doc.IsNull() && doc->IsOpened()) XCAFApp_Application::GetApplication()->Close(doc);
    } catch (...) {
    }
  }
};

ExchangeTree read(const std::string &full_name, const std::string &file, const std::string &key,
                  const std::string &format) {
  // A file that cannot be opened (no permission) is refused as a part file
  // is, before the readers see it and call it unreadable as their format.
  if (!std::ifstream(file, std::ios::binary)) {
    throw LoadError(kPartFileMissing, file, "/", "cannot open the file");
  }
  std::error_code ec;
  if (std::filesystem::file_size(file, ec) == 0 && !ec) {
    throw LoadError(kPartFileUnreadable, file, "/", "the " + format + " file is empty");
  }
  ReadDocument document;
  document.doc = new_document();
  DocumentCloser closer{document.doc};
  read_document(file, format, document);
  ExchangeTree tree = build_tree(document, {full_name, file, key, format});
  tree.skipped = document.skipped;
  if (document.skipped > 0) {
    tree.warning =
        std::to_string(document.skipped) + " unreadable " +
        (document.skipped == 1 ? "entity" : "entities") + " skipped (" + document.skipped_list +
        ")" +
        (document.styles_skipped ? "; colours, layers, materials and validation properties not read"
                                 : "");
  }
  return tree;
}

}  // namespace

ExchangeTree read_exchange_file(const std::string &full_name, const std::string &file,
                                const std::string &key) {
  const std::string format = format_of(file);
  KernelFaultGuard guard;
  try {
    return read(full_name, file, key, format);
  } catch (const LoadError &) {
    throw;
  } catch (const Standard_Failure &e) {
    const char *message = e.GetMessageString();
    throw LoadError(kPartFileUnreadable, file, "/",
                    "the " + format + " reader failed: " + e.DynamicType()->Name() +
                        (message && *message ? std::string(": ") + message : std::string()));
  } catch (const std::bad_alloc &) {
    throw LoadError(kPartFileUnreadable, file, "/",
                    "out of memory reading the " + format + " file");
  } catch (const std::exception &e) {
    throw LoadError(kPartFileUnreadable, file, "/",
                    "the " + format + " reader failed: " + e.what());
  } catch (...) {
    throw LoadError(kPartFileUnreadable, file, "/", "the " + format + " reader failed");
  }
}

}  // namespace orvel::exchange

// The entry the host looks up when it loads this module.
extern "C" void orvel_exchange_read(const std::string *full_name, const std::string *file,
                                    const std::string *key, orvel::exchange::ExchangeTree *tree) {
  *tree = orvel::exchange::read_exchange_file(*full_name, *file, *key);
}
