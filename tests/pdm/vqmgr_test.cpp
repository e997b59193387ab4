// The VQMGR calls over a session with and without a managed part store.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "orvel/zk.h"
#include "pdm/store.hpp"
#include "session/host_control.hpp"

namespace fs = std::filesystem;

namespace {

class Vqmgr : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vqmgr_test_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    store_path_ = (dir_ / "store.db").string();
    auto store = orvel::pdm::Store::open(store_path_, true);
    store->add_item("4711", "Bracket");
    store->add_revision("4711", "A");
    store->add_revision("4711", "B");
    store->add_item("4712", "No revisions yet");
  }
  void TearDown() override {
    orvel::configure_host(orvel::HostOptions{});
    fs::remove_all(dir_);
  }

  void start(bool pdm) {
    orvel::HostOptions options;
    if (pdm) options.pdm_store = store_path_;
    orvel::configure_host(options);
    ZK_initialize();
  }

  fs::path dir_;
  std::string store_path_;
};

TEST_F(Vqmgr, OutsidePdmModeNothingIsManaged) {
  start(false);
  logical active = 0;
  EXPECT_EQ(ZK_is_vqmanager_active(&active), 0);
  EXPECT_EQ(active, 0);

  char encoded[ZK_VQMGR_ENCODED_BUFSIZE] = "stale";
  EXPECT_NE(ZK_VQMGR_encode_part_filename("4711", "A", "", "", encoded), 0);
  EXPECT_STREQ(encoded, "");
  tag_t item = 99;
  EXPECT_NE(ZK_VQMGR_ask_part_tag("4711", &item), 0);
  EXPECT_EQ(item, NULL_TAG);
}

TEST_F(Vqmgr, EncodedNamesRoundTripThroughTheCalls) {
  start(true);
  logical active = 0;
  EXPECT_EQ(ZK_is_vqmanager_active(&active), 0);
  EXPECT_EQ(active, 1);

  struct Case {
    const char *number, *revision, *type, *name, *encoded;
  };
  for (const Case &c :
       {Case{"4711", "A", "", "", "@DB/4711/A"},
        Case{"4711", "B", "datasheet", "sheet 1", "@DB/4711/B/datasheet/sheet 1"}}) {
    char encoded[ZK_VQMGR_ENCODED_BUFSIZE];
    ASSERT_EQ(ZK_VQMGR_encode_part_filename(c.number, c.revision, c.type, c.name, encoded), 0);
    EXPECT_STREQ(encoded, c.encoded);
    char number[ZK_VQMGR_PART_NUMBER_BUFSIZE], revision[ZK_VQMGR_REV_BUFSIZE],
        type[ZK_VQMGR_FILE_TYPE_BUFSIZE], name[ZK_VQMGR_FILE_NAME_BUFSIZE];
    ASSERT_EQ(ZK_VQMGR_decode_part_filename(encoded, number, revision, type, name), 0);
    EXPECT_STREQ(number, c.number);
    EXPECT_STREQ(revision, c.revision);
    EXPECT_STREQ(type, c.type);
    EXPECT_STREQ(name, c.name);
  }
}

TEST_F(Vqmgr, RefusesWhatDoesNotFitAndCutsDecodedFieldsAtTheirBuffers) {
  start(true);
  char encoded[ZK_VQMGR_ENCODED_BUFSIZE] = "stale";
  std::string long_name(ZK_VQMGR_ENCODED_BUFSIZE * 4, 'n');
  EXPECT_NE(ZK_VQMGR_encode_part_filename("4711", "A", "dwg", long_name.c_str(), encoded), 0);
  EXPECT_STREQ(encoded, "");
  EXPECT_NE(ZK_VQMGR_encode_part_filename("", "A", "", "", encoded), 0);

  char number[ZK_VQMGR_PART_NUMBER_BUFSIZE], revision[ZK_VQMGR_REV_BUFSIZE],
      type[ZK_VQMGR_FILE_TYPE_BUFSIZE], name[ZK_VQMGR_FILE_NAME_BUFSIZE];
  std::string text = "@DB/4711/" + std::string(100, 'r') + "/" + std::string(100, 't') + "/" +
                     std::string(1000, 'n');
  ASSERT_EQ(ZK_VQMGR_decode_part_filename(text.c_str(), number, revision, type, name), 0);
  EXPECT_EQ(std::string(revision), std::string(ZK_VQMGR_REV_BUFSIZE - 1, 'r'));
  EXPECT_EQ(std::string(type), std::string(ZK_VQMGR_FILE_TYPE_BUFSIZE - 1, 't'));
  EXPECT_EQ(std::string(name), std::string(ZK_VQMGR_FILE_NAME_BUFSIZE - 1, 'n'));

  std::strcpy(number, "x");
  std::strcpy(name, "y");
  EXPECT_NE(ZK_VQMGR_decode_part_filename("bracket.prt", number, revision, type, name), 0);
  EXPECT_STREQ(number, "");
  EXPECT_STREQ(name, "");
}

TEST_F(Vqmgr, FindsItemsAndTheirConfiguredRevision) {
  start(true);
  tag_t item = NULL_TAG, again = NULL_TAG;
  ASSERT_EQ(ZK_VQMGR_ask_part_tag("4711", &item), 0);
  EXPECT_NE(item, NULL_TAG);
  ASSERT_EQ(ZK_VQMGR_ask_part_tag("4711", &again), 0);
  EXPECT_EQ(again, item);

  tag_t revision = NULL_TAG;
  ASSERT_EQ(ZK_VQMGR_ask_configured_rev(item, &revision), 0);
  EXPECT_NE(revision, NULL_TAG);
  EXPECT_NE(revision, item);
  char id[ZK_VQMGR_REVISION_ID_BUFSIZE] = "";
  ASSERT_EQ(ZK_VQMGR_ask_part_revision_id(revision, id), 0);
  EXPECT_STREQ(id, "B");

  // The tags do not stand for each other, and an unknown number has none.
  EXPECT_NE(ZK_VQMGR_ask_part_revision_id(item, id), 0);
  EXPECT_STREQ(id, "");
  EXPECT_NE(ZK_VQMGR_ask_configured_rev(revision, &revision), 0);
  EXPECT_EQ(revision, NULL_TAG);
  tag_t unknown = 5;
  EXPECT_NE(ZK_VQMGR_ask_part_tag("9999", &unknown), 0);
  EXPECT_EQ(unknown, NULL_TAG);

  tag_t bare = NULL_TAG;
  ASSERT_EQ(ZK_VQMGR_ask_part_tag("4712", &bare), 0);
  EXPECT_NE(ZK_VQMGR_ask_configured_rev(bare, &revision), 0);
}

// A second connection to the store, as another process would hold it.
class OtherConnection {
 public:
  explicit OtherConnection(const std::string &path) { sqlite3_open(path.c_str(), &db_); }
  ~OtherConnection() { sqlite3_close(db_); }
  void exec(const char *sql) {
    ASSERT_EQ(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), SQLITE_OK);
  }

 private:
  sqlite3 *db_ = nullptr;
};

// Overwrites every page but the first (the schema) with garbage and counts
// the change in the header, as a writer in another process would, so that
// the session's connection reads the pages again.
void corrupt_pages(const std::string &path) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekg(0, std::ios::end);
  std::streamoff size = file.tellg();
  ASSERT_GT(size, 4096);
  file.seekp(4096);
  file << std::string(static_cast<size_t>(size - 4096), '\xA5');
  char counter[4];
  file.seekg(24);
  file.read(counter, 4);
  counter[3] = static_cast<char>(counter[3] + 1);
  file.seekp(24);
  file.write(counter, 4);
}

struct StoreFault {
  const char *name;
  const char *cause;  // in the failure's text
  std::function<void(const std::string &store, std::unique_ptr<OtherConnection> &other)> make;
};

class StoreFailure : public Vqmgr, public ::testing::WithParamInterface<StoreFault> {};

// A store that fails after the session opened it fails the open of a managed
// part with the store's own code, a text naming the store and the cause,
// and nothing thrown; the next open works again once the cause is gone.
TEST_P(StoreFailure, OpeningAManagedPartFailsWithTheStoresCode) {
  {
    std::ofstream part(dir_ / "bracket.prt");
    part << R"({"format": "orvel part", "version": 1, "units": 1})";
  }
  orvel::pdm::Store::open(store_path_, false)->add_dataset("4711", "B", "", "", "bracket.prt");
  start(true);
  tag_t part = NULL_TAG;
  ZK_PART_load_status_t status{};
  ASSERT_EQ(ZK_PART_open("@DB/4711/B", &part, &status), 0);
  ZK_PART_close_all();

  std::unique_ptr<OtherConnection> other;
  GetParam().make(store_path_, other);
  EXPECT_EQ(ZK_PART_open("@DB/4711/B", &part, &status), 1112);
  EXPECT_EQ(part, NULL_TAG);
  char message[ZK_FAIL_MESSAGE_BUFSIZE] = "";
  ZK_get_fail_message(1112, message);
  std::string text = orvel::last_failure_detail();
  EXPECT_NE(text.find("PDM store " + store_path_), std::string::npos) << text;
  EXPECT_NE(text.find(GetParam().cause), std::string::npos) << text;
  EXPECT_EQ(std::string(message), text.substr(0, ZK_FAIL_MESSAGE_BUFSIZE - 1));

  if (std::string(GetParam().name) == "locked") {
    other.reset();
    EXPECT_EQ(ZK_PART_open("@DB/4711/B", &part, &status), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Causes, StoreFailure,
    ::testing::Values(
        StoreFault{"locked", "database is locked",
                   [](const std::string &store, std::unique_ptr<OtherConnection> &other) {
                     other = std::make_unique<OtherConnection>(store);
                     other->exec("BEGIN EXCLUSIVE");
                   }},
        StoreFault{"corrupt", "malformed",
                   [](const std::string &store, std::unique_ptr<OtherConnection> &) {
                     corrupt_pages(store);
                   }},
        StoreFault{"schema_changed", "no such table: revisions",
                   [](const std::string &store, std::unique_ptr<OtherConnection> &other) {
                     other = std::make_unique<OtherConnection>(store);
                     other->exec("DROP TABLE revisions");
                   }}),
    [](const ::testing::TestParamInfo<StoreFault> &info) { return std::string(info.param.name); });

}  // namespace
