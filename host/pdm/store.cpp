// The managed part store: an SQLite database of items, their revisions and
// the datasets of each revision, each dataset naming a part file. The
// configured revision of an item is the one added last.
#include "pdm/store.hpp"

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace orvel::pdm {

namespace {

const char kMarker[] = "@DB";
const char kDelimiter = '/';

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS items ("
    "  id INTEGER PRIMARY KEY,"
    "  part_number TEXT NOT NULL UNIQUE,"
    "  description TEXT NOT NULL DEFAULT '');"
    "CREATE TABLE IF NOT EXISTS revisions ("
    "  id INTEGER PRIMARY KEY,"
    "  item_id INTEGER NOT NULL REFERENCES items(id),"
    "  revision TEXT NOT NULL,"
    "  UNIQUE (item_id, revision));"
    "CREATE TABLE IF NOT EXISTS datasets ("
    "  id INTEGER PRIMARY KEY,"
    "  revision_id INTEGER NOT NULL REFERENCES revisions(id),"
    "  file_type TEXT NOT NULL,"
    "  file_name TEXT NOT NULL,"
    "  part_file TEXT NOT NULL,"
    "  UNIQUE (revision_id, file_type, file_name));";

bool starts_with_marker(const std::string &text) {
  if (text.size() < sizeof kMarker - 1) return false;
  for (size_t i = 0; i + 1 < sizeof kMarker; ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kMarker[i]) return false;
  }
  return true;
}

// Splits at the first `count` delimiters; the last piece keeps any further ones.
std::vector<std::string> split_fields(const std::string &text, size_t count) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (fields.size() < count) {
    size_t end = text.find(kDelimiter, start);
    if (end == std::string::npos) break;
    fields.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  fields.push_back(text.substr(start));
  return fields;
}

// A failure of the database under a query: the store's name and SQLite's
// account of the cause ("database is locked", "database disk image is
// malformed", "no such table: revisions").
[[noreturn]] void fail(sqlite3 *db, const std::string &store) {
  throw StoreError("PDM store " + store + ": " + sqlite3_errmsg(db));
}

// One prepared statement, finalised when it goes out of scope.
class Statement {
 public:
  Statement(sqlite3 *db, const std::string &store, const char *sql) : db_(db), store_(store) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) fail(db_, store_);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement &) = delete;
  Statement &operator=(const Statement &) = delete;

  Statement &bind(int index, const std::string &text) {
    sqlite3_bind_text(stmt_, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement &bind(int index, sqlite3_int64 value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  // True while there is a row; throws on an error.
  bool step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(db_, store_);
  }
  std::string text(int column) const {
    const unsigned char *value = sqlite3_column_text(stmt_, column);
    return value ? reinterpret_cast<const char *>(value) : "";
  }
  sqlite3_int64 integer(int column) const { return sqlite3_column_int64(stmt_, column); }

 private:
  sqlite3 *db_;
  const std::string &store_;
  sqlite3_stmt *stmt_ = nullptr;
};

// Refuses a field longer than the decoded name's buffer holds: two names
// that differ only beyond it would decode, and name their reports, alike.
void check_length(const char *what, const std::string &text, size_t buffer) {
  if (text.size() > buffer - 1) {
    throw std::invalid_argument(std::string(what) + " '" + text.substr(0, 40) + "...' of " +
                                std::to_string(text.size()) + " characters is longer than " +
                                std::to_string(buffer - 1) + ", the most a managed name holds");
  }
}

}  // namespace

std::string encode_name(const EncodedName &name) {
  if (name.part_number.empty()) throw std::invalid_argument("empty part number");
  for (const std::string *field : {&name.part_number, &name.revision, &name.file_type}) {
    if (field->find(kDelimiter) != std::string::npos) {
      throw std::invalid_argument("'" + *field + "' holds the delimiter '/'");
    }
  }
  std::string encoded =
      std::string(kMarker) + kDelimiter + name.part_number + kDelimiter + name.revision;
  if (!name.file_type.empty() || !name.file_name.empty()) {
    encoded += kDelimiter + name.file_type + kDelimiter + name.file_name;
  }
  return encoded;
}

std::optional<EncodedName> decode_name(const std::string &encoded) {
  if (!starts_with_marker(encoded) || encoded.size() < 4 || encoded[3] != kDelimiter) {
    return std::nullopt;
  }
  std::vector<std::string> fields = split_fields(encoded.substr(4), 3);
  if (fields.size() < 2) return std::nullopt;
  EncodedName name;
  name.part_number = fields[0];
  name.revision = fields[1];
  if (fields.size() > 2) name.file_type = fields[2];
  if (fields.size() > 3) name.file_name = fields[3];
  return name;
}

std::optional<std::string> overlong_field(const EncodedName &name) {
  const std::pair<const char *, std::pair<const std::string *, size_t>> fields[] = {
      {"part number", {&name.part_number, ZK_VQMGR_PART_NUMBER_BUFSIZE}},
      {"revision", {&name.revision, ZK_VQMGR_REV_BUFSIZE}},
      {"file type", {&name.file_type, ZK_VQMGR_FILE_TYPE_BUFSIZE}},
      {"file name", {&name.file_name, ZK_VQMGR_FILE_NAME_BUFSIZE}}};
  for (const auto &[what, field] : fields) {
    if (field.first->size() > field.second - 1) {
      return std::string(what) + " of " + std::to_string(field.first->size()) +
             " characters is longer than " + std::to_string(field.second - 1);
    }
  }
  return std::nullopt;
}

struct Store::Impl {
  sqlite3 *db = nullptr;
  std::string path;  // as given, for messages
  std::filesystem::path directory;
  // Handles handed out in this session, both ways.
  std::map<std::string, tag_t> item_tags;
  std::unordered_map<tag_t, std::string> items_by_tag;
  std::map<std::pair<std::string, std::string>, tag_t> revision_tags;
  std::unordered_map<tag_t, std::pair<std::string, std::string>> revisions_by_tag;

  ~Impl() { sqlite3_close(db); }

  void exec(const char *sql) {
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : "unknown error";
      sqlite3_free(error);
      throw StoreError("PDM store " + path + ": " + message);
    }
  }

  std::optional<sqlite3_int64> item_id(const std::string &part_number) {
    Statement q(db, path, "SELECT id FROM items WHERE part_number = ?1");
    q.bind(1, part_number);
    if (!q.step()) return std::nullopt;
    return q.integer(0);
  }

  std::optional<sqlite3_int64> revision_id(const std::string &part_number,
                                           const std::string &revision) {
    Statement q(db, path,
                "SELECT r.id FROM revisions r JOIN items i ON r.item_id = i.id"
                " WHERE i.part_number = ?1 AND r.revision = ?2");
    q.bind(1, part_number).bind(2, revision);
    if (!q.step()) return std::nullopt;
    return q.integer(0);
  }
};

Store::Store(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Store::~Store() = default;

std::unique_ptr<Store> Store::open(const std::string &path, bool create) {
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(path.c_str(), &impl->db, flags, nullptr) != SQLITE_OK) {
    std::string detail = impl->db ? sqlite3_errmsg(impl->db) : "out of memory";
    throw std::runtime_error("cannot open PDM store " + path + ": " + detail);
  }
  sqlite3_busy_timeout(impl->db, 2000);
  try {
    impl->exec("PRAGMA foreign_keys = ON");
    if (create) {
      impl->exec(kSchema);
    } else {
      Statement q(impl->db, impl->path,
                  "SELECT count(*) FROM sqlite_master WHERE name = 'datasets'");
      if (!q.step() || q.integer(0) == 0) {
        throw std::runtime_error("cannot open PDM store " + path + ": not a PDM store");
      }
    }
  } catch (const StoreError &e) {
    throw std::runtime_error(std::string("cannot open ") + e.what());
  }
  impl->directory = std::filesystem::absolute(path).parent_path();
  return std::unique_ptr<Store>(new Store(std::move(impl)));
}

void Store::add_item(const std::string &part_number, const std::string &description) {
  if (part_number.empty()) throw std::invalid_argument("empty part number");
  if (part_number.find(kDelimiter) != std::string::npos) {
    throw std::invalid_argument("part number '" + part_number + "' holds '/'");
  }
  check_length("part number", part_number, ZK_VQMGR_PART_NUMBER_BUFSIZE);
  if (impl_->item_id(part_number)) {
    throw std::runtime_error("item " + part_number + " exists already");
  }
  Statement q(impl_->db, impl_->path,
              "INSERT INTO items (part_number, description) VALUES (?1, ?2)");
  q.bind(1, part_number).bind(2, description).step();
}

void Store::add_revision(const std::string &part_number, const std::string &revision) {
  if (revision.find(kDelimiter) != std::string::npos) {
    throw std::invalid_argument("revision '" + revision + "' holds '/'");
  }
  check_length("revision", revision, ZK_VQMGR_REV_BUFSIZE);
  std::optional<sqlite3_int64> item = impl_->item_id(part_number);
  if (!item) throw std::runtime_error("no item " + part_number);
  if (impl_->revision_id(part_number, revision)) {
    throw std::runtime_error("revision " + part_number + "/" + revision + " exists already");
  }
  Statement q(impl_->db, impl_->path, "INSERT INTO revisions (item_id, revision) VALUES (?1, ?2)");
  q.bind(1, *item).bind(2, revision).step();
}

void Store::add_dataset(const std::string &part_number, const std::string &revision,
                        const std::string &file_type, const std::string &file_name,
                        const std::string &part_file) {
  if (file_type.find(kDelimiter) != std::string::npos) {
    throw std::invalid_argument("file type '" + file_type + "' holds '/'");
  }
  check_length("file type", file_type, ZK_VQMGR_FILE_TYPE_BUFSIZE);
  check_length("file name", file_name, ZK_VQMGR_FILE_NAME_BUFSIZE);
  if (part_file.empty()) throw std::invalid_argument("empty part file");
  std::optional<sqlite3_int64> rev = impl_->revision_id(part_number, revision);
  if (!rev) throw std::runtime_error("no revision " + part_number + "/" + revision);
  EncodedName name{part_number, revision, file_type, file_name};
  if (resolve(name)) throw std::runtime_error("dataset " + encode_name(name) + " exists already");
  Statement q(impl_->db, impl_->path,
              "INSERT INTO datasets (revision_id, file_type, file_name, part_file)"
              " VALUES (?1, ?2, ?3, ?4)");
  q.bind(1, *rev).bind(2, file_type).bind(3, file_name).bind(4, part_file).step();
}

void Store::transaction(const std::function<void()> &work) {
  impl_->exec("BEGIN");
  try {
    work();
  } catch (...) {
    impl_->exec("ROLLBACK");
    throw;
  }
  impl_->exec("COMMIT");
}

bool Store::has_item(const std::string &part_number) const {
  return impl_->item_id(part_number).has_value();
}

std::optional<std::string> Store::configured_revision(const std::string &part_number) const {
  Statement q(impl_->db, impl_->path,
              "SELECT r.revision FROM revisions r JOIN items i ON r.item_id = i.id"
              " WHERE i.part_number = ?1 ORDER BY r.id DESC LIMIT 1");
  q.bind(1, part_number);
  if (!q.step()) return std::nullopt;
  return q.text(0);
}

std::optional<std::string> Store::resolve(const EncodedName &name) const {
  Statement q(impl_->db, impl_->path,
              "SELECT d.part_file FROM datasets d"
              " JOIN revisions r ON d.revision_id = r.id JOIN items i ON r.item_id = i.id"
              " WHERE i.part_number = ?1 AND r.revision = ?2"
              " AND d.file_type = ?3 AND d.file_name = ?4");
  q.bind(1, name.part_number)
      .bind(2, name.revision)
      .bind(3, name.file_type)
      .bind(4, name.file_name);
  if (!q.step()) return std::nullopt;
  std::filesystem::path file = q.text(0);
  if (file.is_relative()) file = impl_->directory / file;
  return file.lexically_normal().string();
}

std::vector<std::pair<std::string, std::string>> Store::datasets() const {
  Statement q(impl_->db, impl_->path,
              "SELECT i.part_number, r.revision, d.file_type, d.file_name, d.part_file"
              " FROM datasets d"
              " JOIN revisions r ON d.revision_id = r.id JOIN items i ON r.item_id = i.id"
              " ORDER BY i.id, r.id, d.id");
  std::vector<std::pair<std::string, std::string>> rows;
  while (q.step()) {
    EncodedName name{q.text(0), q.text(1), q.text(2), q.text(3)};
    rows.emplace_back(encode_name(name), q.text(4));
  }
  return rows;
}

tag_t Store::item_tag(const std::string &part_number, const std::function<tag_t()> &new_tag) {
  auto known = impl_->item_tags.find(part_number);
  if (known != impl_->item_tags.end()) return known->second;
  if (!has_item(part_number)) return NULL_TAG;
  tag_t tag = new_tag();
  impl_->item_tags.emplace(part_number, tag);
  impl_->items_by_tag.emplace(tag, part_number);
  return tag;
}

tag_t Store::revision_tag(const std::string &part_number, const std::string &revision,
                          const std::function<tag_t()> &new_tag) {
  auto key = std::make_pair(part_number, revision);
  auto known = impl_->revision_tags.find(key);
  if (known != impl_->revision_tags.end()) return known->second;
  if (!impl_->revision_id(part_number, revision)) return NULL_TAG;
  tag_t tag = new_tag();
  impl_->revision_tags.emplace(key, tag);
  impl_->revisions_by_tag.emplace(tag, key);
  return tag;
}

std::optional<std::string> Store::item_of(tag_t item) const {
  auto found = impl_->items_by_tag.find(item);
  if (found == impl_->items_by_tag.end()) return std::nullopt;
  return found->second;
}

std::optional<std::pair<std::string, std::string>> Store::revision_of(tag_t revision) const {
  auto found = impl_->revisions_by_tag.find(revision);
  if (found == impl_->revisions_by_tag.end()) return std::nullopt;
  return found->second;
}

}  // namespace orvel::pdm
