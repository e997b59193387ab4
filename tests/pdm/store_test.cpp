// The managed part store and its encoded names.
#include "pdm/store.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;
using orvel::pdm::decode_name;
using orvel::pdm::encode_name;
using orvel::pdm::EncodedName;
using orvel::pdm::Store;

namespace {

struct NameCase {
  EncodedName name;
  std::string encoded;
};

class EncodedNameRoundTrip : public ::testing::TestWithParam<NameCase> {};

TEST_P(EncodedNameRoundTrip, EncodeAndDecodeAreInverse) {
  const NameCase &c = GetParam();
  EXPECT_EQ(encode_name(c.name), c.encoded);
  std::optional<EncodedName> back = decode_name(c.encoded);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->part_number, c.name.part_number);
  EXPECT_EQ(back->revision, c.name.revision);
  EXPECT_EQ(back->file_type, c.name.file_type);
  EXPECT_EQ(back->file_name, c.name.file_name);
  EXPECT_EQ(encode_name(*back), c.encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Names, EncodedNameRoundTrip,
    ::testing::Values(NameCase{{"4711", "A", "", ""}, "@DB/4711/A"},
                      NameCase{{"4711", "A", "dwg", "sheet1"}, "@DB/4711/A/dwg/sheet1"},
                      NameCase{{"4711", "A", "dwg", "sub/sheet1"}, "@DB/4711/A/dwg/sub/sheet1"},
                      NameCase{{"4711", "A", "dwg", ""}, "@DB/4711/A/dwg/"},
                      NameCase{{"4711", "A", "", "sheet1"}, "@DB/4711/A//sheet1"},
                      NameCase{{"4711", "", "", ""}, "@DB/4711/"},
                      NameCase{{"47 11#x", "B;1", "spec", "a b=c"}, "@DB/47 11#x/B;1/spec/a b=c"}));

TEST(EncodedName, DecodeRefusesTextsThatAreNotEncodedNames) {
  for (const char *text :
       {"", "@DB", "@DB/", "@DB/4711", "bracket.prt", "x@DB/4711/A", "@DX/4711/A", "@DB@4711@A"}) {
    EXPECT_FALSE(decode_name(text).has_value()) << text;
  }
}

TEST(EncodedName, DecodeAcceptsTheMarkerInAnyCase) {
  std::optional<EncodedName> name = decode_name("@db/4711/A/dwg/s");
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(name->part_number, "4711");
  EXPECT_EQ(name->file_name, "s");
}

TEST(EncodedName, EncodeRefusesFieldsThatWouldNotDecodeBack) {
  EXPECT_THROW(encode_name({"", "A", "", ""}), std::invalid_argument);
  EXPECT_THROW(encode_name({"47/11", "A", "", ""}), std::invalid_argument);
  EXPECT_THROW(encode_name({"4711", "A/B", "", ""}), std::invalid_argument);
  EXPECT_THROW(encode_name({"4711", "A", "d/g", "s"}), std::invalid_argument);
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("pdm_store_test_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "store.db").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  std::string path_;
};

TEST_F(StoreTest, ConfiguredRevisionIsTheOneAddedLast) {
  auto store = Store::open(path_, true);
  store->add_item("4711", "Bracket");
  EXPECT_TRUE(store->has_item("4711"));
  EXPECT_FALSE(store->configured_revision("4711").has_value());
  store->add_revision("4711", "B");
  store->add_revision("4711", "A");  // added later, so newer despite the letter
  store->add_item("4712", "Other");
  store->add_revision("4712", "C");
  EXPECT_EQ(store->configured_revision("4711"), "A");
  EXPECT_EQ(store->configured_revision("4712"), "C");
  EXPECT_FALSE(store->configured_revision("9999").has_value());
  EXPECT_FALSE(store->has_item("9999"));
}

TEST_F(StoreTest, ResolvesDatasetsRelativeToTheStoreDirectory) {
  auto store = Store::open(path_, true);
  store->add_item("4711", "");
  store->add_revision("4711", "A");
  store->add_dataset("4711", "A", "", "", "parts/master.prt");
  store->add_dataset("4711", "A", "dwg", "sheet1", "/abs/sheet1.prt");
  EXPECT_EQ(store->resolve({"4711", "A", "", ""}), (dir_ / "parts/master.prt").string());
  EXPECT_EQ(store->resolve({"4711", "A", "dwg", "sheet1"}), "/abs/sheet1.prt");
  EXPECT_FALSE(store->resolve({"4711", "A", "dwg", "sheet2"}).has_value());
  EXPECT_FALSE(store->resolve({"4711", "B", "", ""}).has_value());

  auto rows = store->datasets();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].first, "@DB/4711/A");
  EXPECT_EQ(rows[0].second, "parts/master.prt");
  EXPECT_EQ(rows[1].first, "@DB/4711/A/dwg/sheet1");
}

TEST_F(StoreTest, RefusesDuplicatesAndUnknownOwners) {
  auto store = Store::open(path_, true);
  store->add_item("4711", "");
  EXPECT_THROW(store->add_item("4711", "again"), std::runtime_error);
  EXPECT_THROW(store->add_revision("9999", "A"), std::runtime_error);
  store->add_revision("4711", "A");
  EXPECT_THROW(store->add_revision("4711", "A"), std::runtime_error);
  EXPECT_THROW(store->add_dataset("4711", "B", "", "", "x.prt"), std::runtime_error);
  store->add_dataset("4711", "A", "", "", "x.prt");
  EXPECT_THROW(store->add_dataset("4711", "A", "", "", "y.prt"), std::runtime_error);
  EXPECT_THROW(store->add_item("", ""), std::invalid_argument);
  EXPECT_THROW(store->add_item("a/b", ""), std::invalid_argument);
  EXPECT_EQ(store->resolve({"4711", "A", "", ""}), (dir_ / "x.prt").string());
}

// Names longer than a decoded managed name's fields would decode alike and
// give two parts one report name: refused at the longest that fits plus one.
TEST_F(StoreTest, RefusesNamesLongerThanTheDecodedFieldsHold) {
  auto store = Store::open(path_, true);
  std::string number(128, 'n'), revision(32, 'r'), type(42, 't'), name(128, 'f');
  store->add_item(number, "");
  store->add_revision(number, revision);
  store->add_dataset(number, revision, type, name, "x.prt");
  EXPECT_THROW(store->add_item(number + "x", ""), std::invalid_argument);
  EXPECT_THROW(store->add_revision(number, revision + "x"), std::invalid_argument);
  EXPECT_THROW(store->add_dataset(number, revision, type + "x", "n", "x.prt"),
               std::invalid_argument);
  EXPECT_THROW(store->add_dataset(number, revision, "t", name + "x", "x.prt"),
               std::invalid_argument);
  try {
    store->add_item(std::string(300, 'n'), "");
    FAIL() << "accepted a part number of 300 characters";
  } catch (const std::invalid_argument &e) {
    EXPECT_NE(std::string(e.what()).find("300 characters is longer than 128"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(store->datasets().size(), 1u);
}

TEST_F(StoreTest, KeepsItsContentAcrossSessions) {
  {
    auto store = Store::open(path_, true);
    store->add_item("4711", "");
    store->add_revision("4711", "A");
    store->add_revision("4711", "B");
  }
  auto store = Store::open(path_, false);
  EXPECT_EQ(store->configured_revision("4711"), "B");
}

TEST_F(StoreTest, OpenFailsWithAMessageNamingTheFile) {
  std::string missing = (dir_ / "missing.db").string();
  try {
    Store::open(missing, false);
    FAIL() << "opened a missing store";
  } catch (const std::runtime_error &e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(missing));

  std::string empty = (dir_ / "empty.db").string();
  std::ofstream(empty).close();
  EXPECT_THROW(Store::open(empty, false), std::runtime_error);

  std::string text = (dir_ / "text.db").string();
  std::ofstream(text) << "this is not a database\n";
  EXPECT_THROW(Store::open(text, false), std::runtime_error);
}

}  // namespace

namespace {

TEST_F(StoreTest, HandsOutOneTagPerItemAndRevisionAndMapsItBack) {
  auto store = Store::open(path_, true);
  store->add_item("4711", "");
  store->add_revision("4711", "A");
  store->add_revision("4711", "B");
  tag_t next = 100;
  auto allocate = [&next] { return next++; };

  tag_t item = store->item_tag("4711", allocate);
  tag_t rev_a = store->revision_tag("4711", "A", allocate);
  tag_t rev_b = store->revision_tag("4711", "B", allocate);
  EXPECT_EQ(store->item_tag("4711", allocate), item);
  EXPECT_EQ(store->revision_tag("4711", "A", allocate), rev_a);
  EXPECT_EQ(next, 103u);
  EXPECT_NE(rev_a, rev_b);

  EXPECT_EQ(store->item_tag("9999", allocate), NULL_TAG);
  EXPECT_EQ(store->revision_tag("4711", "C", allocate), NULL_TAG);
  EXPECT_EQ(next, 103u);

  EXPECT_EQ(store->item_of(item), "4711");
  EXPECT_FALSE(store->item_of(rev_a).has_value());
  EXPECT_EQ(store->revision_of(rev_b), std::make_pair(std::string("4711"), std::string("B")));
  EXPECT_FALSE(store->revision_of(item).has_value());
  EXPECT_FALSE(store->revision_of(NULL_TAG).has_value());
}

}  // namespace
