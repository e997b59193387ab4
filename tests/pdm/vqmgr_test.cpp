// The VQMGR calls over a session with and without a managed part store.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
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

}  // namespace
