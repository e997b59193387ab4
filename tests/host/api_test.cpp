// The C API at its edges: texts cut at their buffers, the file-name
// routines, messages for every code, host lists, attributes, bodies,
// services and cycles that visit large parts whole.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "api/api_util.hpp"
#include "api/codes.hpp"
#include "orvel/zk.h"
#include "session/host_control.hpp"
#include "session/session.hpp"
#include "test_support.hpp"

namespace orvel::test {
namespace {

const char kPart[] = R"json({
  "units": 2, "description": "",
  "history": [{"version": 4, "time": 1359536700, "program": "Orvel", "user": "ann",
               "machine": "ws1"}],
  "attributes": [
    {"title": "MATERIAL", "type": "string", "value": "Steel & <more>"},
    {"title": "COUNT", "type": "integer", "value": -3},
    {"title": "WEIGHT", "type": "real", "value": 1.25},
    {"title": "CHECKED", "type": "time", "value": [41304, 545]},
    {"title": "SECOND", "type": "integer", "value": 9}],
  "objects": [
    {"id": "p0", "kind": "expression", "name": "p0", "formula": " if (a) (1) else (2)", "value": 2},
    {"id": "m", "kind": "material", "name": "Steel"},
    {"id": "f1", "kind": "feature", "name": "BLOCK(1)"},
    {"id": "f2", "kind": "feature", "suppressed": true, "status": "condemned"},
    {"id": "b1", "kind": "body", "layer": 7, "color": 4, "font": 3, "density": 2,
     "material": "m", "features": ["f1", "f2"],
     "shape": {"type": "block", "corner": [0,0,0], "size": [1,2,3]}},
    {"id": "open", "kind": "body", "body_type": "sheet", "layer": 7,
     "shape": {"type": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "triangles": [[0,1,2]]}},
    {"id": "closed", "kind": "body", "body_type": "sheet",
     "shape": {"type": "sphere", "centre": [0,0,0], "radius": 1}}]})json";

class Api : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    part("p.prt", kPart);
    part_ = open("p.prt");
    bodies_ = cycle(ZK_solid_type);
  }
  std::vector<tag_t> cycle(int type) {
    std::vector<tag_t> tags;
    tag_t t = NULL_TAG;
    while (ZK_OBJ_cycle_objs_in_part(part_, type, &t) == 0 && t != NULL_TAG) tags.push_back(t);
    return tags;
  }
  tag_t part_ = NULL_TAG;
  std::vector<tag_t> bodies_;
};

// zc4574 and zc4575.
struct NameCase {
  std::string input;
  int mode;
  std::string expected;
};

class FileSpecNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileSpecNames, DeriveTheRequestedPiece) {
  char out[ZK_FSPEC_BUFSIZE];
  ASSERT_EQ(zc4574(GetParam().input.c_str(), GetParam().mode, out), 0);
  EXPECT_EQ(std::string(out), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, FileSpecNames,
                         ::testing::Values(NameCase{"d:\\parts\\bracket.prt", 2, "bracket"},
                                           NameCase{"/p/bracket.prt", 2, "bracket"},
                                           NameCase{"mixed/dir\\a.b.prt", 2, "a.b"},
                                           NameCase{"bracket", 2, "bracket"},
                                           NameCase{"dir/.hidden", 2, ".hidden"},
                                           NameCase{"my part #1.prt", 2, "my part #1"},
                                           NameCase{"/p/bracket.prt", 1, "bracket.prt"},
                                           NameCase{"/p/q/bracket.prt", 3, "/p/q"},
                                           NameCase{"bracket.prt", 3, ""}));

TEST(FileSpecs, RefuseUnknownModesAndCutLongNamesAtTheBuffer) {
  char out[ZK_FSPEC_BUFSIZE + 8];
  std::memset(out, 'X', sizeof out);
  EXPECT_NE(zc4574("a.prt", 4, out), 0);
  EXPECT_STREQ(out, "");
  std::memset(out, 'X', sizeof out);
  std::string huge = "/d/" + std::string(4 * ZK_FSPEC_BUFSIZE, 'a') + ".prt";
  ASSERT_EQ(zc4574(huge.c_str(), 2, out), 0);
  EXPECT_EQ(std::strlen(out), size_t{ZK_FSPEC_BUFSIZE - 1});
  EXPECT_EQ(out[ZK_FSPEC_BUFSIZE], 'X') << "nothing written past the buffer";
}

TEST(FileSpecs, JoinDirectoryAndNameOrRefuseWhatDoesNotFit) {
  char path[ZK_PATH_BUFSIZE + 8];
  ASSERT_EQ(zc4575("out", 0, "a.xml", path), 0);
  EXPECT_STREQ(path, "out/a.xml");
  ASSERT_EQ(zc4575("out/", 0, "a.xml", path), 0);
  EXPECT_STREQ(path, "out/a.xml");
  ASSERT_EQ(zc4575("", 0, "a.xml", path), 0);
  EXPECT_STREQ(path, "a.xml");

  std::string dir(300, 'd');
  std::string fits(ZK_PATH_BUFSIZE - 1 - 301, 'f');
  ASSERT_EQ(zc4575(dir.c_str(), 0, fits.c_str(), path), 0);
  EXPECT_EQ(std::strlen(path), size_t{ZK_PATH_BUFSIZE - 1});
  std::memset(path, 'X', sizeof path);
  std::string too_long = fits + "f";
  EXPECT_EQ(zc4575(dir.c_str(), 0, too_long.c_str(), path), kPathTooLong);
  EXPECT_STREQ(path, "");
  EXPECT_EQ(path[ZK_PATH_BUFSIZE], 'X');
}

TEST(FailMessages, ExistForEveryCodeAndFitTheirBuffer) {
  configure_host(HostOptions{});
  std::set<std::string> texts;
  for (int code : known_codes()) {
    char message[ZK_FAIL_MESSAGE_BUFSIZE];
    ASSERT_EQ(ZK_get_fail_message(code, message), 0) << code;
    EXPECT_GT(std::strlen(message), 0u) << code;
    texts.insert(message);
  }
  EXPECT_EQ(texts.size(), known_codes().size()) << "every message says something of its own";
  char message[ZK_FAIL_MESSAGE_BUFSIZE];
  ASSERT_EQ(ZK_get_fail_message(0, message), 0);
  EXPECT_STREQ(message, "No error");
  EXPECT_NE(ZK_get_fail_message(424242, message), 0);
  EXPECT_STREQ(message, "Unknown error code 424242");
}

TEST_F(Api, CutALongLoadMessageAtItsBuffer) {
  std::string name = std::string(200, 'q') + ".prt";
  EXPECT_EQ(open_code(name), kPartFileMissing);
  char message[ZK_FAIL_MESSAGE_BUFSIZE + 8];
  std::memset(message, 'X', sizeof message);
  ASSERT_EQ(ZK_get_fail_message(kPartFileMissing, message), 0);
  EXPECT_EQ(std::strlen(message), size_t{ZK_FAIL_MESSAGE_BUFSIZE - 1});
  EXPECT_EQ(message[ZK_FAIL_MESSAGE_BUFSIZE], 'X');
  EXPECT_GT(last_failure_detail().size(), size_t{ZK_FAIL_MESSAGE_BUFSIZE});
  EXPECT_EQ(ZK_ASSEM_ask_work_part(), part_) << "a failed open leaves the work part alone";
  part("other.prt", "{}");
  open("other.prt");
  ASSERT_EQ(ZK_get_fail_message(kPartFileMissing, message), 0);
  EXPECT_STREQ(message, code_message(kPartFileMissing)) << "the detail went with its failure";
}

TEST_F(Api, HandOutHistoryListsAndRefuseToReleaseThemTwice) {
  ZK_history_list_t list = nullptr;
  ASSERT_EQ(ZK_PART_create_history_list(&list), 0);
  ASSERT_EQ(ZK_PART_clear_history_list(list), 0);
  ASSERT_EQ(ZK_PART_ask_part_history(part_, list), 0);
  int count = 0;
  ASSERT_EQ(ZK_PART_ask_num_histories(list, &count), 0);
  ASSERT_EQ(count, 1);
  char *program = nullptr, *user = nullptr, *machine = nullptr;
  int version = 0, time = 0;
  ASSERT_EQ(ZK_PART_ask_nth_history(list, 0, &program, &user, &machine, &version, &time), 0);
  EXPECT_STREQ(program, "Orvel");
  EXPECT_STREQ(user, "ann");
  EXPECT_STREQ(machine, "ws1");
  EXPECT_EQ(version, 4);
  EXPECT_EQ(time, 1359536700);
  ZK_free(program);
  ZK_free(user);
  ZK_free(machine);
  EXPECT_NE(ZK_PART_ask_nth_history(list, 1, &program, &user, &machine, &version, &time), 0);
  EXPECT_EQ(program, nullptr);
  EXPECT_EQ(machine, nullptr);

  ASSERT_EQ(ZK_PART_delete_history_list(list), 0);
  EXPECT_NE(ZK_PART_delete_history_list(list), 0);
  EXPECT_NE(ZK_PART_ask_num_histories(list, &count), 0);

  zk_list_t features = nullptr;
  ASSERT_EQ(ZK_MODL_ask_body_feats(bodies_[0], &features), 0);
  EXPECT_NE(ZK_PART_delete_history_list(reinterpret_cast<ZK_history_list_t>(features)), 0)
      << "a tag list is not a history list";
  ASSERT_EQ(ZK_MODL_ask_list_count(features, &count), 0);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(ZK_MODL_delete_list(&features), 0);
  EXPECT_EQ(features, nullptr);
}

// Feature lists asked for again after a release: each list holds its own
// body's features, whatever the one before held, lists alive together stay
// apart, and a released one is refused.
TEST_F(Api, FeatureListsAskedAgainAfterAReleaseHoldTheirOwnBody) {
  auto count_of = [](zk_list_t list) {
    int count = -1;
    return ZK_MODL_ask_list_count(list, &count) == 0 ? count : -1;
  };
  zk_list_t first = nullptr;
  ASSERT_EQ(ZK_MODL_ask_body_feats(bodies_[0], &first), 0);
  zk_list_t released = first;
  ASSERT_EQ(ZK_MODL_delete_list(&first), 0);
  EXPECT_NE(ZK_MODL_delete_list(&released), 0) << "released twice";
  EXPECT_EQ(count_of(released), -1);

  zk_list_t none = nullptr;
  ASSERT_EQ(ZK_MODL_ask_body_feats(bodies_[1], &none), 0);
  EXPECT_EQ(count_of(none), 0) << "nothing left of the two features before";
  zk_list_t two = nullptr;
  ASSERT_EQ(ZK_MODL_ask_body_feats(bodies_[0], &two), 0);
  EXPECT_NE(two, none);
  EXPECT_EQ(count_of(two), 2);
  EXPECT_EQ(count_of(none), 0);
  ASSERT_EQ(ZK_MODL_delete_list(&none), 0);
  ASSERT_EQ(ZK_MODL_delete_list(&two), 0);

  // More lists alive at once than are kept, twice over.
  for (int round = 0; round < 2; ++round) {
    std::vector<zk_list_t> lists(10, nullptr);
    for (size_t i = 0; i < lists.size(); ++i) {
      ASSERT_EQ(ZK_MODL_ask_body_feats(bodies_[i % 2], &lists[i]), 0);
    }
    EXPECT_EQ(std::set<zk_list_t>(lists.begin(), lists.end()).size(), lists.size());
    for (size_t i = 0; i < lists.size(); ++i) EXPECT_EQ(count_of(lists[i]), i % 2 ? 0 : 2);
    for (zk_list_t &list : lists) ASSERT_EQ(ZK_MODL_delete_list(&list), 0);
  }

  // A released history list is not taken for a tag list.
  ZK_history_list_t history = nullptr;
  ASSERT_EQ(ZK_PART_create_history_list(&history), 0);
  ASSERT_EQ(ZK_PART_delete_history_list(history), 0);
  zk_list_t after = nullptr;
  ASSERT_EQ(ZK_MODL_ask_body_feats(bodies_[0], &after), 0);
  EXPECT_EQ(count_of(after), 2);
  int histories = 0;
  EXPECT_NE(ZK_PART_ask_num_histories(history, &histories), 0);
  ASSERT_EQ(ZK_MODL_delete_list(&after), 0);
}

TEST_F(Api, CycleAttributesOfEveryTypeAndReadThemByTitle) {
  int count = 0;
  ASSERT_EQ(ZK_ATTR_count_attributes(part_, ZK_ATTR_any, &count), 0);
  EXPECT_EQ(count, 5);
  ASSERT_EQ(ZK_ATTR_count_attributes(part_, ZK_ATTR_integer, &count), 0);
  EXPECT_EQ(count, 2);

  std::ostringstream seen;
  int index = 0;
  char title[ZK_ATTR_TITLE_BUFSIZE];
  ZK_ATTR_value_t value;
  for (int guard = 0; guard < 10; ++guard) {
    ASSERT_EQ(ZK_ATTR_cycle(part_, &index, ZK_ATTR_any, title, &value), 0);
    if (index == 0) break;
    seen << title << ":";
    switch (value.type) {
      case ZK_ATTR_string:
        seen << value.value.string;
        break;
      case ZK_ATTR_integer:
        seen << value.value.integer;
        break;
      case ZK_ATTR_real:
        seen << value.value.real;
        break;
      case ZK_ATTR_time:
        seen << value.value.time[0] << " " << value.value.time[1];
        break;
    }
    seen << ";";
  }
  EXPECT_EQ(seen.str(), "MATERIAL:Steel & <more>;COUNT:-3;WEIGHT:1.25;CHECKED:41304 545;SECOND:9;");

  index = 0;
  ASSERT_EQ(ZK_ATTR_cycle(part_, &index, ZK_ATTR_integer, title, &value), 0);
  ASSERT_EQ(ZK_ATTR_cycle(part_, &index, ZK_ATTR_integer, title, &value), 0);
  EXPECT_STREQ(title, "SECOND");
  ASSERT_EQ(ZK_ATTR_cycle(part_, &index, ZK_ATTR_integer, title, &value), 0);
  EXPECT_EQ(index, 0);

  int type = -1;
  ASSERT_EQ(ZK_ATTR_find_attribute(part_, ZK_ATTR_any, "WEIGHT", &type), 0);
  EXPECT_EQ(type, ZK_ATTR_real);
  ASSERT_EQ(ZK_ATTR_find_attribute(part_, ZK_ATTR_string, "WEIGHT", &type), 0);
  EXPECT_EQ(type, 0);

  char text[ZK_ATTR_STRING_BUFSIZE];
  value.type = ZK_ATTR_string;
  value.value.string = text;
  ASSERT_EQ(ZK_ATTR_read_value(part_, "MATERIAL", ZK_ATTR_string, &value), 0);
  EXPECT_STREQ(text, "Steel & <more>");
  EXPECT_EQ(ZK_ATTR_read_value(part_, "COUNT", ZK_ATTR_string, &value), kAttributeType);

  // A missing attribute is an answer, not a failure: no type, and the text
  // the caller left in its buffer stays as it was.
  std::strcpy(text, "kept");
  value.type = ZK_ATTR_string;
  value.value.string = text;
  EXPECT_EQ(ZK_ATTR_read_value(part_, "NONE", ZK_ATTR_string, &value), 0);
  EXPECT_EQ(value.type, 0);
  EXPECT_EQ(value.value.string, text);
  EXPECT_STREQ(text, "kept");
  value.type = ZK_ATTR_integer;
  value.value.integer = 17;
  EXPECT_EQ(ZK_ATTR_read_value(part_, "NONE", ZK_ATTR_integer, &value), 0);
  EXPECT_EQ(value.type, 0);
  EXPECT_EQ(value.value.integer, 17);
  // Real failures still fail.
  EXPECT_EQ(ZK_ATTR_read_value(part_, "MATERIAL", ZK_ATTR_integer, &value), kAttributeType);
  EXPECT_EQ(ZK_ATTR_read_value(NULL_TAG, "MATERIAL", ZK_ATTR_string, &value), kInvalidTag);
  EXPECT_EQ(ZK_ATTR_read_value(part_, nullptr, ZK_ATTR_string, &value), kInvalidArgument);
}

// Titles that share a beginning, a length or everything but the case are
// different attributes: each lookup finds the one of exactly its title.
TEST_F(Api, FindAttributesByTheirExactTitleAmongSimilarOnes) {
  part("titles.prt", R"json({"attributes": [
    {"title": "AB", "type": "integer", "value": 1},
    {"title": "ABC", "type": "integer", "value": 2},
    {"title": "ABD", "type": "string", "value": "d"},
    {"title": "abc", "type": "integer", "value": 4},
    {"title": "ABCD", "type": "real", "value": 5.5}],
    "objects": []})json");
  const tag_t p = open("titles.prt");
  auto integer = [&](const char *title) {
    ZK_ATTR_value_t value{};
    value.type = ZK_ATTR_integer;
    EXPECT_EQ(ZK_ATTR_read_value(p, title, ZK_ATTR_integer, &value), 0) << title;
    return value.type == ZK_ATTR_integer ? value.value.integer : -1;
  };
  EXPECT_EQ(integer("AB"), 1);
  EXPECT_EQ(integer("ABC"), 2);
  EXPECT_EQ(integer("abc"), 4);
  EXPECT_EQ(integer("A"), -1) << "a title's beginning is not the title";
  EXPECT_EQ(integer("ABCDE"), -1);
  EXPECT_EQ(integer(""), -1);
  ZK_ATTR_value_t value{};
  EXPECT_EQ(ZK_ATTR_read_value(p, "ABD", ZK_ATTR_integer, &value), kAttributeType)
      << "the title is there, of another type";
  char text[ZK_ATTR_STRING_BUFSIZE] = "";
  value.type = ZK_ATTR_string;
  value.value.string = text;
  ASSERT_EQ(ZK_ATTR_read_value(p, "ABD", ZK_ATTR_string, &value), 0);
  EXPECT_STREQ(text, "d");

  int type = -1;
  ASSERT_EQ(ZK_ATTR_find_attribute(p, ZK_ATTR_any, "ABCD", &type), 0);
  EXPECT_EQ(type, ZK_ATTR_real);
  ASSERT_EQ(ZK_ATTR_find_attribute(p, ZK_ATTR_any, "ABD", &type), 0);
  EXPECT_EQ(type, ZK_ATTR_string);
  ASSERT_EQ(ZK_ATTR_find_attribute(p, ZK_ATTR_integer, "ABD", &type), 0);
  EXPECT_EQ(type, 0);
  ASSERT_EQ(ZK_ATTR_find_attribute(p, ZK_ATTR_any, "Ab", &type), 0);
  EXPECT_EQ(type, 0);
}

TEST_F(Api, AnswerPartDataBodiesFeaturesAndExpressions) {
  int units = 0;
  ASSERT_EQ(ZK_PART_ask_units(part_, &units), 0);
  EXPECT_EQ(units, ZK_PART_ENGLISH);
  char *description = nullptr;
  ASSERT_EQ(ZK_PART_ask_description(part_, &description), 0);
  ASSERT_NE(description, nullptr) << "an empty description is still a description";
  EXPECT_STREQ(description, "");
  ZK_free(description);

  ASSERT_EQ(bodies_.size(), 3u);
  int body_type = 0;
  ASSERT_EQ(ZK_MODL_ask_body_type(bodies_[1], &body_type), 0);
  EXPECT_EQ(body_type, ZK_MODL_SHEET_BODY);
  tag_t material = NULL_TAG;
  ASSERT_EQ(ZK_SF_locate_material(bodies_[0], &material), 0);
  char name[ZK_OBJ_NAME_BUFSIZE];
  ASSERT_EQ(ZK_OBJ_ask_name(material, name), 0);
  EXPECT_STREQ(name, "Steel");
  EXPECT_EQ(ZK_OBJ_ask_name(bodies_[0], name), kNoName);
  EXPECT_STREQ(name, "");
  ZK_OBJ_disp_props_t props{};
  ASSERT_EQ(ZK_OBJ_ask_display_properties(bodies_[0], &props), 0);
  EXPECT_EQ(props.color, 4);
  EXPECT_EQ(props.font, 3);
  EXPECT_EQ(props.layer, 7);

  std::vector<tag_t> features = cycle(ZK_feature_type);
  ASSERT_EQ(features.size(), 2u);
  int suppressed = -1;
  ASSERT_EQ(ZK_MODL_ask_suppress_feature(features[1], &suppressed), 0);
  EXPECT_EQ(suppressed, 1);
  EXPECT_EQ(ZK_OBJ_ask_status(features[1]), ZK_OBJ_CONDEMNED);
  EXPECT_EQ(ZK_OBJ_ask_status(features[0]), ZK_OBJ_ALIVE);
  EXPECT_EQ(ZK_OBJ_ask_status(999999), ZK_OBJ_DELETED);

  double density = 0;
  EXPECT_EQ(ZK_MODL_ask_body_density(bodies_[0], 1, &density), kUnitsNotSupported);
  ASSERT_EQ(ZK_MODL_ask_body_density(bodies_[0], 3, &density), 0);
  EXPECT_EQ(density, 2.0);

  int count = 0;
  tag_t *expressions = nullptr;
  ASSERT_EQ(ZK_MODL_ask_exps_of_part(part_, &count, &expressions), 0);
  ASSERT_EQ(count, 1);
  char *text = nullptr;
  ASSERT_EQ(ZK_MODL_ask_exp_tag_string(expressions[0], &text), 0);
  EXPECT_STREQ(text, "p0= if (a) (1) else (2)");
  ZK_free(text);
  double value = 0;
  ASSERT_EQ(ZK_MODL_ask_exp_tag_value(expressions[0], &value), 0);
  EXPECT_EQ(value, 2.0);
  ZK_free(expressions);
}

TEST_F(Api, ComputeMassOnlyForBodiesThatEncloseAVolume) {
  double acc[ZK_MODL_MASS_ACCURACY_N] = {0.01};
  double props[ZK_MODL_MASS_PROPS_N] = {0};
  double stats[ZK_MODL_MASS_STATS_N] = {0};
  ASSERT_EQ(ZK_MODL_ask_mass_props_3d(&bodies_[0], 1, 1, 3, 0.0, 1, acc, props, stats), 0);
  EXPECT_NEAR(props[1], 6.0, 1e-12);
  EXPECT_NEAR(props[2], 12.0, 1e-12) << "mass is density times volume";
  EXPECT_NEAR(props[4], 1.0, 1e-12);
  EXPECT_EQ(ZK_MODL_ask_mass_props_3d(bodies_.data(), 2, 1, 3, 0.0, 1, acc, props, stats),
            kNoVolume);
  tag_t closed[] = {bodies_[0], bodies_[2]};
  ASSERT_EQ(ZK_MODL_ask_mass_props_3d(closed, 2, 1, 3, 0.0, 1, acc, props, stats), 0)
      << "a sheet that encloses a volume counts";
  EXPECT_GT(props[1], 6.0);
  tag_t feature = cycle(ZK_feature_type)[0];
  EXPECT_EQ(ZK_MODL_ask_mass_props_3d(&feature, 1, 1, 3, 0.0, 1, acc, props, stats), kWrongType);

  ASSERT_EQ(ZK_MODL_set_body_density(bodies_[0], 3, 1.0), 0);
  ASSERT_EQ(ZK_MODL_ask_mass_props_3d(&bodies_[0], 1, 1, 3, 0.0, 1, acc, props, stats), 0);
  EXPECT_NEAR(props[2], 6.0, 1e-12);
}

// A cycle steps on only from an object on the list cycled: not from one of
// another type, of another part (even the head of that part's list) or one
// that was deleted; the object after a deleted head is the new head.
TEST_F(Api, StepCyclesOnlyFromObjectsOnTheListCycled) {
  ASSERT_EQ(bodies_.size(), 3u);
  tag_t t = bodies_[2];
  ASSERT_EQ(ZK_OBJ_cycle_objs_in_part(part_, ZK_solid_type, &t), 0);
  EXPECT_EQ(t, NULL_TAG) << "the last body ends the cycle";
  t = bodies_[0];
  EXPECT_EQ(ZK_OBJ_cycle_objs_in_part(part_, ZK_feature_type, &t), kInvalidTag);
  EXPECT_EQ(t, NULL_TAG);
  const std::vector<tag_t> features = cycle(ZK_feature_type);
  ASSERT_EQ(features.size(), 2u);
  t = features[0];
  EXPECT_EQ(ZK_OBJ_cycle_objs_in_part(part_, ZK_solid_type, &t), kInvalidTag);
  std::vector<tag_t> all;
  for (tag_t o = ZK_OBJ_cycle_all(part_, NULL_TAG); o; o = ZK_OBJ_cycle_all(part_, o)) {
    all.push_back(o);
    ASSERT_LE(all.size(), 7u);
  }
  EXPECT_EQ(all.size(), 7u) << "every object of the part once";

  // A deleted body leaves the lists, and its tag stands for nothing.
  model::Part *p = host_session().find_part(part_);
  ASSERT_NE(p, nullptr);
  host_session().delete_objects(*p, {host_session().find(bodies_[0])});
  EXPECT_EQ(cycle(ZK_solid_type), (std::vector<tag_t>{bodies_[1], bodies_[2]}));
  t = bodies_[0];
  EXPECT_EQ(ZK_OBJ_cycle_objs_in_part(part_, ZK_solid_type, &t), kInvalidTag);
  t = bodies_[1];
  ASSERT_EQ(ZK_OBJ_cycle_objs_in_part(part_, ZK_solid_type, &t), 0);
  EXPECT_EQ(t, bodies_[2]) << "the new head steps on";
  t = bodies_[0];
  EXPECT_EQ(ZK_LAYER_cycle_by_layer(7, &t), kInvalidTag);
  t = NULL_TAG;
  ASSERT_EQ(ZK_LAYER_cycle_by_layer(7, &t), 0);
  EXPECT_EQ(t, bodies_[1]) << "the head of layer 7 now";
  ASSERT_EQ(ZK_LAYER_cycle_by_layer(7, &t), 0);
  EXPECT_EQ(t, NULL_TAG);
  EXPECT_EQ(ZK_OBJ_cycle_all(part_, bodies_[0]), NULL_TAG);

  // The head of another part's list is not on this part's list.
  part("second.prt", R"json({"objects": [{"id": "s1", "kind": "body",
    "shape": {"type": "block", "corner": [0,0,0], "size": [1,1,1]}}]})json");
  const tag_t second = open("second.prt");
  tag_t head = NULL_TAG;
  ASSERT_EQ(ZK_OBJ_cycle_objs_in_part(second, ZK_solid_type, &head), 0);
  ASSERT_NE(head, NULL_TAG);
  t = head;
  EXPECT_EQ(ZK_OBJ_cycle_objs_in_part(part_, ZK_solid_type, &t), kInvalidTag);
  EXPECT_EQ(ZK_OBJ_cycle_all(part_, head), NULL_TAG);
}

TEST_F(Api, CycleLayersOfTheWorkPartAndHandlesThatLastWhileItIsOpen) {
  std::vector<tag_t> on_seven;
  tag_t t = NULL_TAG;
  while (ZK_LAYER_cycle_by_layer(7, &t) == 0 && t != NULL_TAG) on_seven.push_back(t);
  EXPECT_EQ(on_seven, (std::vector<tag_t>{bodies_[0], bodies_[1]}));
  t = NULL_TAG;
  EXPECT_EQ(ZK_LAYER_cycle_by_layer(1, &t), 0);
  EXPECT_EQ(t, bodies_[2]) << "bodies are on layer 1 unless the file says otherwise";
  t = NULL_TAG;
  EXPECT_EQ(ZK_LAYER_cycle_by_layer(257, &t), kInvalidArgument);
  t = bodies_[2];
  EXPECT_EQ(ZK_LAYER_cycle_by_layer(7, &t), kInvalidTag) << "not on that layer";

  // A handle text stays put while its part is open, however many other
  // texts are asked for; closing the parts releases them all.
  const char *handle = ZK_TAG_ask_handle_of_tag(bodies_[0]);
  EXPECT_STREQ(handle, "b1");
  for (tag_t body : bodies_) ZK_TAG_ask_handle_of_tag(body);
  EXPECT_EQ(ZK_TAG_ask_handle_of_tag(bodies_[0]), handle);
  EXPECT_STREQ(handle, "b1");
  ASSERT_EQ(ZK_PART_close_all(), 0);
  EXPECT_STREQ(ZK_TAG_ask_handle_of_tag(bodies_[0]), "");
  t = NULL_TAG;
  EXPECT_EQ(ZK_LAYER_cycle_by_layer(7, &t), kNoWorkPart);
}

// Every cycle of a large part visits each object once, in file order. How the
// cost of a step stays constant as the part grows is shown by bench/figures
// (the check from 0.1x to 10x), not timed here.
TEST_F(Api, CycleEveryObjectOfALargePartOnceInOrder) {
  constexpr int kObjects = 60000;
  std::string text = R"({"objects": [)";
  for (int i = 0; i < kObjects; ++i) {
    text += (i ? "," : "") + std::string(R"({"id": "m)") + std::to_string(i) +
            R"(", "kind": "material", "layer": )" + std::to_string(i % 257) + "}";
  }
  text += "]}";
  part("large.prt", text);
  tag_t large = open("large.prt");
  std::vector<tag_t> all, typed;
  for (tag_t o = ZK_OBJ_cycle_all(large, NULL_TAG); o; o = ZK_OBJ_cycle_all(large, o)) {
    all.push_back(o);
  }
  tag_t t = NULL_TAG;
  while (ZK_OBJ_cycle_objs_in_part(large, ZK_material_type, &t) == 0 && t) typed.push_back(t);
  int layered = 0;
  for (int layer = 0; layer <= ZK_LAYER_MAX; ++layer) {
    t = NULL_TAG;
    tag_t previous = NULL_TAG;
    while (ZK_LAYER_cycle_by_layer(layer, &t) == 0 && t) {
      ++layered;
      EXPECT_GT(t, previous) << "layer " << layer;
      previous = t;
    }
  }
  ASSERT_EQ(all.size(), static_cast<size_t>(kObjects));
  EXPECT_EQ(typed, all);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  EXPECT_EQ(layered, kObjects);
}

TEST_F(Api, KeepTheSessionWhenANewOneCannotBeSetUp) {
  HostOptions options;
  options.syslog_file = (dir_ / "missing" / "syslog.txt").string();
  EXPECT_THROW(configure_host(options), std::runtime_error);
  options = HostOptions{};
  options.pdm_store = (dir_ / "missing.db").string();
  EXPECT_THROW(configure_host(options), std::runtime_error);
  EXPECT_EQ(ZK_ASSEM_ask_work_part(), part_);
}

TEST_F(Api, ProvideTheSessionServices) {
  HostOptions options;
  options.syslog_file = (dir_ / "syslog.txt").string();
  options.release = "";
  configure(options);
  ASSERT_EQ(ZK_print_syslog("first\n", 0), 0);
  ASSERT_EQ(ZK_print_syslog("  second without newline", 1), 0);
  EXPECT_EQ(read_file(dir_ / "syslog.txt"), "first\n  second without newline");
  configure(options);
  ASSERT_EQ(ZK_print_syslog("+", 0), 0);
  EXPECT_EQ(read_file(dir_ / "syslog.txt"), "first\n  second without newline+") << "appends";

  char *release = reinterpret_cast<char *>(1);
  ASSERT_EQ(ZK_get_release(&release), 0);
  EXPECT_EQ(release, nullptr);
  configure(HostOptions{});
  ASSERT_EQ(ZK_get_release(&release), 0);
  EXPECT_STREQ(release, "V8.0.3.5");
  ZK_free(release);

  logical open = 1;
  ASSERT_EQ(ZK_UI_is_listing_window_open(&open), 0);
  EXPECT_EQ(open, 0);
  EXPECT_EQ(ZK_UI_write_listing_window("x"), kListingWindowClosed);
  ASSERT_EQ(ZK_UI_open_listing_window(), 0);
  ASSERT_EQ(ZK_UI_is_listing_window_open(&open), 0);
  EXPECT_EQ(open, 1);

  ::setenv("ORVEL_TEST_VARIABLE", "value one", 1);
  char *value = nullptr;
  ASSERT_EQ(ZK_translate_variable("ORVEL_TEST_VARIABLE", &value), 0);
  EXPECT_STREQ(value, "value one");
  ::unsetenv("ORVEL_TEST_VARIABLE");
  ASSERT_EQ(ZK_translate_variable("ORVEL_TEST_VARIABLE", &value), 0);
  EXPECT_EQ(value, nullptr);

  ZK_timer_t timer = -1;
  ASSERT_EQ(ZK_begin_timer(&timer), 0);
  ZK_timer_values_t values{-1, -1};
  ASSERT_EQ(ZK_end_timer(timer, &values), 0);
  EXPECT_GE(values.cpu_time, 0.0);
  EXPECT_GE(values.real_time, 0.0);
  EXPECT_EQ(ZK_end_timer(timer + 1, &values), kInvalidTimer);

  ZK_ASSEM_options_t load{};
  ASSERT_EQ(ZK_ASSEM_ask_assem_options(&load), 0);
  EXPECT_EQ(load.load_options, ZK_ASSEM_load_from_directory);
  EXPECT_EQ(load.load_components, ZK_ASSEM_do_load_components);
}

// No exception crosses the C API: a call whose body throws answers its
// fault value, the exception's text becomes the code's message, and the
// name injected failures match against is the caller's again afterwards.
TEST_F(Api, TurnAnExceptionAtTheBoundaryIntoAHostCode) {
  const char *before = api::current_call;
  const size_t faults = host_faults();
  int code = api::guard("ZK_test_call", kHostFault, [&]() -> int {
    EXPECT_STREQ(api::current_call, "ZK_test_call");
    throw std::out_of_range("index 7 of 3");
  });
  EXPECT_EQ(code, kHostFault);
  EXPECT_STREQ(api::current_call, before);
  char message[ZK_FAIL_MESSAGE_BUFSIZE] = "";
  ZK_get_fail_message(kHostFault, message);
  EXPECT_STREQ(message, "Internal host failure in ZK_test_call: index 7 of 3");

  EXPECT_EQ(api::guard("ZK_load", kPartFileUnreadable, []() -> int { throw 42; }),
            kPartFileUnreadable);
  EXPECT_EQ(api::guard_value("ZK_tag", tag_t{NULL_TAG}, []() -> tag_t { throw std::bad_alloc(); }),
            NULL_TAG);
  EXPECT_EQ(api::guard("ZK_fine", kHostFault, []() -> int { return 5; }), 5);
  // Each of the three counts for the command, which tells; the fine one not.
  EXPECT_EQ(host_faults(), faults + 3);
  EXPECT_EQ(last_host_fault(), "Internal host failure in ZK_tag: std::bad_alloc");
  // A fault with no memory left for its account still names its call.
  host_session().count_host_fault("ZK_TAG_ask_handle_of_tag");
  EXPECT_EQ(host_faults(), faults + 4);
  EXPECT_EQ(last_host_fault(),
            "a failure in ZK_TAG_ask_handle_of_tag, with no memory left for its account");
  // The account written straight to a stream is the same text.
  std::ostringstream written;
  write_last_host_fault(written);
  EXPECT_EQ(written.str(), last_host_fault());
  api::guard("ZK_tag", kHostFault, []() -> int { throw std::bad_alloc(); });
  written.str("");
  write_last_host_fault(written);
  EXPECT_EQ(written.str(), "Internal host failure in ZK_tag: std::bad_alloc");
}

// A system log write that fails (a full disk) is noticed: the call fails,
// and the session can say why and how many writes were lost.
TEST_F(Api, NoticeASystemLogThatCannotBeWritten) {
  HostOptions options;
  options.syslog_file = "/dev/full";
  configure_host(options);
  EXPECT_EQ(syslog_failure(), "");
  EXPECT_EQ(ZK_print_syslog("lost\n", 0), kSyslogWriteFailed);
  EXPECT_EQ(ZK_print_syslog("lost too\n", 1), kSyslogWriteFailed);
  EXPECT_EQ(syslog_failure(),
            "the system log /dev/full cannot be written: No space left on device (2 writes lost)");
}

}  // namespace
}  // namespace orvel::test
