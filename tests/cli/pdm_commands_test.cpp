// Building a store from its JSON description.
#include "pdm_commands.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <stdexcept>

namespace fs = std::filesystem;
using nlohmann::json;
using namespace orvel;

namespace {

class StoreDescription : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("pdm_description_test_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "store");
    store_ = pdm::Store::open((dir_ / "store" / "s.db").string(), true);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  std::unique_ptr<pdm::Store> store_;
};

TEST_F(StoreDescription, LoadsItemsRevisionsAndDatasetsWithPathsFromTheDescription) {
  json description = json::parse(R"({
    "items": [
      {"part_number": "4711", "description": "Bracket",
       "revisions": [
         {"revision": "A", "datasets": [{"part_file": "a.prt"}]},
         {"revision": "B", "datasets": [
           {"part_file": "parts/b.prt"},
           {"file_type": "dwg", "file_name": "sheet 1", "part_file": "/abs/d.prt"}]}]},
      {"part_number": "4712", "revisions": []}]})");
  cli::load_description(*store_, description, dir_ / "examples", dir_ / "store");

  EXPECT_EQ(store_->configured_revision("4711"), "B");
  EXPECT_TRUE(store_->has_item("4712"));
  EXPECT_EQ(store_->resolve({"4711", "A", "", ""}), (dir_ / "examples" / "a.prt").string());
  EXPECT_EQ(store_->resolve({"4711", "B", "", ""}),
            (dir_ / "examples" / "parts" / "b.prt").string());
  EXPECT_EQ(store_->resolve({"4711", "B", "dwg", "sheet 1"}), "/abs/d.prt");
  // Kept relative, so that the store and the parts can move together.
  EXPECT_EQ(store_->datasets()[0].second, "../examples/a.prt");
}

TEST_F(StoreDescription, NamesTheJsonPathOfABadEntryAndAddsNothing) {
  struct Case {
    const char *text;
    const char *path;
  };
  for (const Case &c : {
           Case{R"({"things": []})", "/items: missing"},
           Case{R"({"items": {}})", "/items: expected an array"},
           Case{R"({"items": [{"revisions": []}]})", "/items/0/part_number: missing"},
           Case{R"({"items": [{"part_number": 4711, "revisions": []}]})",
                "/items/0/part_number: expected a string"},
           Case{R"({"items": [{"part_number": "1", "revisions": []},
                              {"part_number": "2", "revisions": [{"revision": "A",
                                "datasets": [{"file_type": "dwg"}]}]}]})",
                "/items/1/revisions/0/datasets/0/part_file: missing"},
       }) {
    try {
      cli::load_description(*store_, json::parse(c.text), dir_, dir_ / "store");
      FAIL() << c.text;
    } catch (const std::runtime_error &e) {
      EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
    }
    EXPECT_FALSE(store_->has_item("1"));
  }
}

TEST_F(StoreDescription, ADuplicateUndoesTheWholeDescription) {
  store_->add_item("4712", "");
  json description = json::parse(R"({
    "items": [
      {"part_number": "4711", "revisions": [{"revision": "A", "datasets": [{"part_file": "a.prt"}]}]},
      {"part_number": "4712", "revisions": []}]})");
  EXPECT_THROW(cli::load_description(*store_, description, dir_, dir_ / "store"),
               std::runtime_error);
  EXPECT_FALSE(store_->has_item("4711"));
  EXPECT_TRUE(store_->datasets().empty());
  EXPECT_TRUE(store_->has_item("4712"));
}

}  // namespace
