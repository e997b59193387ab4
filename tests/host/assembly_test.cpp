// Assemblies: finding component files by the load options, failures and
// cycles, the occurrence tree with its placed bodies, reference sets,
// mating conditions and injected failures.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "api/codes.hpp"
#include "orvel/zk.h"
#include "pdm/store.hpp"
#include "session/session.hpp"
#include "test_support.hpp"

namespace orvel::test {
namespace {

const char kLeaf[] = R"json({"objects": [
  {"id": "lb1", "kind": "body", "name": "CUBE",
   "shape": {"type": "block", "corner": [0,0,0], "size": [1,1,1]}},
  {"id": "lb2", "kind": "body", "shape": {"type": "sphere", "centre": [5,5,5], "radius": 1}},
  {"id": "r", "kind": "reference_set", "name": "MODEL", "members": ["lb1"]}],
  "failures": [{"call": "ZK_PART_ask_units", "code": 1006}]})json";

const char kSub[] = R"json({"objects": [
  {"id": "bs", "kind": "body", "shape": {"type": "block", "corner": [0,0,0], "size": [2,2,2]}},
  {"id": "s1", "kind": "component", "part": "leaf.prt", "instance_name": "INNER",
   "origin": [0, 10, 0]},
  {"id": "a", "kind": "arrangement", "name": "Sub arrangement", "active": true}]})json";

// c1: the sub-assembly turned 90 degrees about Z and moved by 100 in X.
const char kTop[] = R"json({"objects": [
  {"id": "p1", "kind": "expression", "name": "p1", "formula": "0", "value": 0},
  {"id": "c1", "kind": "component", "part": "sub.prt", "instance_name": "SUB",
   "origin": [100, 0, 0], "orientation": [[0,1,0],[-1,0,0],[0,0,1]],
   "attributes": [{"title": "CALLOUT", "type": "string", "value": "7"}]},
  {"id": "c2", "kind": "component", "part": "leaf.prt", "instance_name": "LEAF2",
   "reference_set": "MODEL", "suppression_expression": "p1",
   "mating": {"name": "ALIGN", "mated": "c1", "constraints": 3}},
  {"id": "c3", "kind": "component", "part": "leaf.prt", "instance_name": "OFF",
   "suppressed": true},
  {"id": "r", "kind": "reference_set", "name": "COMPS", "members": ["c1", "p1"]}],
  "failures": [
    {"call": "ZK_ASSEM_ask_component_data", "code": 1004, "object": "c2", "times": 1},
    {"call": "ZK_OBJ_ask_display_properties", "code": 1006, "skip": 1, "times": 2}]})json";

std::vector<tag_t> cycle(tag_t part, int type) {
  std::vector<tag_t> tags;
  tag_t t = NULL_TAG;
  while (ZK_OBJ_cycle_objs_in_part(part, type, &t) == 0 && t != NULL_TAG) tags.push_back(t);
  return tags;
}

std::string instance_name(tag_t component) {
  char file[ZK_COMPONENT_FILE_BUFSIZE], refset[ZK_REFSET_NAME_BUFSIZE],
      instance[ZK_INSTANCE_NAME_BUFSIZE];
  double origin[3], matrix[9], transform[4][4];
  EXPECT_EQ(
      ZK_ASSEM_ask_component_data(component, file, refset, instance, origin, matrix, transform), 0);
  return instance;
}

int level(tag_t component) {
  int n = 0;
  tag_t parent = component;
  while (ZK_ASSEM_ask_parent_component(parent, &parent) == 0 && parent != NULL_TAG) ++n;
  return n;
}

class Assemblies : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    part("asm/leaf.prt", kLeaf);
    part("asm/sub.prt", kSub);
    part("asm/top.prt", kTop);
    top_ = open("asm/top.prt");
    // The injected failures are exercised in their own test.
    host_session().work_part()->failures.clear();
  }
  tag_t top_ = NULL_TAG;
};

TEST_F(Assemblies, CycleComponentsAtEveryDepthInFileOrder) {
  std::vector<tag_t> components = cycle(top_, ZK_component_type);
  ASSERT_EQ(components.size(), 4u);
  std::vector<std::string> names;
  std::vector<int> levels;
  for (tag_t c : components) {
    names.push_back(instance_name(c));
    levels.push_back(level(c));
    EXPECT_TRUE(ZK_ASSEM_is_occurrence(c));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"SUB", "INNER", "LEAF2", "OFF"}));
  EXPECT_EQ(levels, (std::vector<int>{1, 2, 1, 1}));

  tag_t root = NULL_TAG;
  ASSERT_EQ(ZK_ASSEM_ask_parent_component(components[0], &root), 0);
  EXPECT_NE(root, NULL_TAG);
  for (tag_t c : components) EXPECT_NE(c, root) << "the root occurrence is not cycled";
  EXPECT_EQ(ZK_ASSEM_ask_prototype_of_occ(root), top_);
}

TEST_F(Assemblies, LoadAPartFileUsedTwiceOnce) {
  std::vector<tag_t> components = cycle(top_, ZK_component_type);
  tag_t leaf_via_sub = ZK_ASSEM_ask_prototype_of_occ(components[1]);
  EXPECT_NE(leaf_via_sub, NULL_TAG);
  EXPECT_EQ(ZK_ASSEM_ask_prototype_of_occ(components[2]), leaf_via_sub);
  EXPECT_EQ(host_session().part_count(), 3u);
  char name[ZK_FSPEC_BUFSIZE];
  ASSERT_EQ(ZK_PART_ask_part_name(leaf_via_sub, name), 0);
  EXPECT_STREQ(name, "asm/leaf.prt") << "built from the assembly's path, not absolute";
  // A component part also answers a component cycle of its own.
  tag_t sub = ZK_ASSEM_ask_prototype_of_occ(components[0]);
  EXPECT_EQ(cycle(sub, ZK_component_type).size(), 1u);
  EXPECT_TRUE(cycle(leaf_via_sub, ZK_component_type).empty());
}

TEST_F(Assemblies, ShowComponentBodiesThroughReferenceSetsAndSkipSuppressedOnes) {
  std::vector<tag_t> bodies = cycle(top_, ZK_solid_type);
  // sub's block and leaf's two bodies through SUB/INNER, leaf's cube through
  // LEAF2 (reference set MODEL), nothing through the suppressed OFF.
  ASSERT_EQ(bodies.size(), 4u);
  for (tag_t b : bodies) {
    EXPECT_TRUE(ZK_ASSEM_is_occurrence(b));
    tag_t prototype = ZK_ASSEM_ask_prototype_of_occ(b);
    EXPECT_NE(prototype, NULL_TAG);
    EXPECT_FALSE(ZK_ASSEM_is_occurrence(prototype));
  }
  char name[ZK_OBJ_NAME_BUFSIZE];
  ASSERT_EQ(ZK_OBJ_ask_name(bodies[3], name), 0);
  EXPECT_STREQ(name, "CUBE");

  std::vector<tag_t> components = cycle(top_, ZK_component_type);
  tag_t instance = ZK_ASSEM_ask_inst_of_part_occ(components[3]);
  logical suppressed = 0;
  ASSERT_EQ(ZK_ASSEM_ask_suppress_state(instance, &suppressed), 0);
  EXPECT_EQ(suppressed, 1);
  tag_t expression = NULL_TAG;
  ASSERT_EQ(ZK_ASSEM_ask_suppression_exp(ZK_ASSEM_ask_inst_of_part_occ(components[2]), &expression),
            0);
  int type = 0, subtype = 0;
  ASSERT_EQ(ZK_OBJ_ask_type_and_subtype(expression, &type, &subtype), 0);
  EXPECT_EQ(type, ZK_expression_type);
}

TEST_F(Assemblies, PlaceOccurrenceBodiesByTheComposedComponentTransforms) {
  std::vector<tag_t> bodies = cycle(top_, ZK_solid_type);
  // bodies[1] is the leaf's unit cube inside SUB: (0.5, 0.5, 0.5) moves by
  // (0, 10, 0) inside sub, then turns (x, y) into (-y, x) and moves by 100.
  double acc[ZK_MODL_MASS_ACCURACY_N] = {0.01};
  double props[ZK_MODL_MASS_PROPS_N] = {0};
  double stats[ZK_MODL_MASS_STATS_N] = {0};
  ASSERT_EQ(ZK_MODL_ask_mass_props_3d(&bodies[1], 1, 1, 3, 0.0, 1, acc, props, stats), 0);
  EXPECT_NEAR(props[1], 1.0, 1e-9);
  EXPECT_NEAR(props[3], 89.5, 1e-9);
  EXPECT_NEAR(props[4], 0.5, 1e-9);
  EXPECT_NEAR(props[5], 0.5, 1e-9);

  std::vector<tag_t> components = cycle(top_, ZK_component_type);
  char file[ZK_COMPONENT_FILE_BUFSIZE], refset[ZK_REFSET_NAME_BUFSIZE],
      instance[ZK_INSTANCE_NAME_BUFSIZE];
  double origin[3], matrix[9], transform[4][4];
  ASSERT_EQ(
      ZK_ASSEM_ask_component_data(components[1], file, refset, instance, origin, matrix, transform),
      0);
  EXPECT_STREQ(file, "asm/leaf.prt");
  EXPECT_STREQ(refset, "Entire Part");
  EXPECT_EQ(origin[1], 10.0) << "the origin is relative to the parent";
  EXPECT_EQ(matrix[0], 1.0);
  // Into the work part: the leaf's origin lands at (90, 0, 0).
  EXPECT_NEAR(transform[0][3], 90.0, 1e-12);
  EXPECT_NEAR(transform[1][3], 0.0, 1e-12);
  EXPECT_NEAR(transform[0][1], -1.0, 1e-12);
  EXPECT_EQ(transform[3][3], 1.0);

  // SUB, turned: the orientation comes back row by row as written, and the
  // transform holds the rotation (whose columns are those rows) beside the
  // translation, over the row 0 0 0 1.
  ASSERT_EQ(
      ZK_ASSEM_ask_component_data(components[0], file, refset, instance, origin, matrix, transform),
      0);
  EXPECT_STREQ(instance, "SUB");
  const std::vector<double> rows(matrix, matrix + 9);
  EXPECT_EQ(rows, (std::vector<double>{0, 1, 0, -1, 0, 0, 0, 0, 1}));
  const double expected[4][4] = {{0, -1, 0, 100}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) EXPECT_EQ(transform[i][j], expected[i][j]) << i << "," << j;
  }
}

TEST_F(Assemblies, AnswerReferenceSetMembersCountsAndMating) {
  tag_t set = cycle(top_, ZK_reference_set_type).at(0);
  int count = 0;
  tag_t *members = nullptr;
  ASSERT_EQ(ZK_ASSEM_ask_ref_set_members(set, &count, &members), 0);
  ASSERT_EQ(count, 2);
  std::vector<tag_t> components = cycle(top_, ZK_component_type);
  EXPECT_EQ(members[0], components[0]) << "a component member is the component";
  ZK_free(members);

  int objects = -1;
  ASSERT_EQ(ZK_ASSEM_count_objs_in_comp(components[0], &objects), 0);
  EXPECT_EQ(objects, 2) << "sub's block and its component";
  ASSERT_EQ(ZK_ASSEM_count_objs_in_comp(components[2], &objects), 0);
  EXPECT_EQ(objects, 1) << "the members of MODEL";

  ZK_ASSEM_mc_t mc;
  ASSERT_EQ(ZK_ASSEM_init_mc(&mc), 0);
  logical mated = 0;
  ASSERT_EQ(ZK_ASSEM_ask_mc_data_of_compnt(components[0], &mated, &mc), 0);
  EXPECT_EQ(mated, 0);
  ASSERT_EQ(ZK_ASSEM_ask_mc_data_of_compnt(components[2], &mated, &mc), 0);
  EXPECT_EQ(mated, 1);
  EXPECT_EQ(mc.mated_object, components[0]);
  EXPECT_STREQ(mc.name, "ALIGN");
  int status = -1, errors = -1;
  ASSERT_EQ(ZK_ASSEM_check_mc_structure(&mc, &status, &errors), 0);
  EXPECT_EQ(status, 0);
  mc.num_constraints = 8;
  ASSERT_EQ(ZK_ASSEM_check_mc_structure(&mc, &status, &errors), 0);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(errors, 2);
  mc.mated_object = NULL_TAG;
  ASSERT_EQ(ZK_ASSEM_check_mc_structure(&mc, &status, &errors), 0);
  EXPECT_EQ(status, 2);
}

// A mating condition may name a component that comes later in its part; a
// part used twice mates each occurrence with the sibling under the same
// parent; a partner left out by the reference set is no partner.
TEST_F(Assemblies, MateEachOccurrenceWithItsOwnSibling) {
  part("asm/pair.prt", R"json({"objects": [
    {"id": "m1", "kind": "component", "part": "leaf.prt", "instance_name": "FIRST",
     "mating": {"name": "FORWARD", "mated": "m2", "constraints": 1}},
    {"id": "m2", "kind": "component", "part": "leaf.prt", "instance_name": "SECOND"},
    {"id": "only", "kind": "reference_set", "name": "ONLY_FIRST", "members": ["m1"]}]})json");
  part("asm/twin.prt", R"json({"objects": [
    {"id": "t1", "kind": "component", "part": "pair.prt", "instance_name": "LEFT"},
    {"id": "t2", "kind": "component", "part": "pair.prt", "instance_name": "RIGHT"},
    {"id": "t3", "kind": "component", "part": "pair.prt", "instance_name": "PART",
     "reference_set": "ONLY_FIRST"}]})json");
  tag_t twin = open("asm/twin.prt");
  std::map<std::string, tag_t> by_handle;
  for (tag_t c : cycle(twin, ZK_component_type)) by_handle[ZK_TAG_ask_handle_of_tag(c)] = c;
  ASSERT_EQ(by_handle.size(), 8u) << "three pairs, one showing only its first component";

  struct Expected {
    const char *component;
    const char *partner;  // empty: mated, but the partner is not shown
  };
  for (const Expected &e :
       {Expected{"#/t1/m1", "#/t1/m2"}, Expected{"#/t2/m1", "#/t2/m2"}, Expected{"#/t3/m1", ""}}) {
    SCOPED_TRACE(e.component);
    ASSERT_EQ(by_handle.count(e.component), 1u);
    ZK_ASSEM_mc_t mc;
    ASSERT_EQ(ZK_ASSEM_init_mc(&mc), 0);
    logical mated = 0;
    ASSERT_EQ(ZK_ASSEM_ask_mc_data_of_compnt(by_handle[e.component], &mated, &mc), 0);
    EXPECT_EQ(mated, 1);
    EXPECT_STREQ(mc.name, "FORWARD");
    tag_t partner = *e.partner ? by_handle[e.partner] : NULL_TAG;
    EXPECT_EQ(mc.mated_object, partner);
  }
  EXPECT_EQ(by_handle.count("#/t3/m2"), 0u);
}

// A part loaded only as a component builds its tree as far as a caller
// steps, so asking each part of a deep chain whether it has components
// stays linear; what the tree answers does not depend on that.
TEST_F(Assemblies, BuildAComponentPartsTreeOnlyAsFarAsAskedWithTheSameAnswers) {
  part("asm/pair.prt", R"json({"objects": [
    {"id": "m1", "kind": "component", "part": "leaf.prt", "instance_name": "FIRST",
     "mating": {"name": "FORWARD", "mated": "m2", "constraints": 1}},
    {"id": "m2", "kind": "component", "part": "leaf.prt", "instance_name": "SECOND"}]})json");
  part("asm/holder.prt", R"json({"objects": [
    {"id": "h", "kind": "component", "part": "pair.prt", "instance_name": "HELD"}]})json");
  tag_t holder = open("asm/holder.prt");
  std::vector<tag_t> held = cycle(holder, ZK_component_type);
  ASSERT_EQ(held.size(), 3u);
  tag_t pair = ZK_ASSEM_ask_prototype_of_occ(held[0]);
  model::Part *pair_part = host_session().find_part(pair);
  ASSERT_NE(pair_part, nullptr);
  EXPECT_EQ(pair_part->root_occurrence(), nullptr) << "shown through the holder only";

  tag_t first = NULL_TAG;
  ASSERT_EQ(ZK_OBJ_cycle_objs_in_part(pair, ZK_component_type, &first), 0);
  ASSERT_NE(first, NULL_TAG);
  EXPECT_EQ(instance_name(first), "FIRST");
  EXPECT_FALSE(pair_part->occurrences_built()) << "only the first component was asked for";

  // The partner of a mating condition is a later sibling, built when asked.
  ZK_ASSEM_mc_t mc;
  ASSERT_EQ(ZK_ASSEM_init_mc(&mc), 0);
  logical mated = 0;
  ASSERT_EQ(ZK_ASSEM_ask_mc_data_of_compnt(first, &mated, &mc), 0);
  EXPECT_EQ(mated, 1);
  std::vector<tag_t> components = cycle(pair, ZK_component_type);
  ASSERT_EQ(components.size(), 2u);
  EXPECT_EQ(components[0], first);
  EXPECT_EQ(instance_name(components[1]), "SECOND");
  EXPECT_EQ(mc.mated_object, components[1]);

  // Bodies through the components come in component order, each once.
  std::vector<std::string> bodies;
  for (tag_t b : cycle(pair, ZK_solid_type)) bodies.push_back(ZK_TAG_ask_handle_of_tag(b));
  EXPECT_EQ(bodies, (std::vector<std::string>{"#/m1:lb1", "#/m1:lb2", "#/m2:lb1", "#/m2:lb2"}));
}

TEST_F(Assemblies, SetTheDensityOfAnOccurrenceOnItsPrototype) {
  std::vector<tag_t> bodies = cycle(top_, ZK_solid_type);
  tag_t prototype = ZK_ASSEM_ask_prototype_of_occ(bodies[3]);
  ASSERT_EQ(ZK_MODL_set_body_density(bodies[3], 3, 4.5), 0);
  double density = 0;
  ASSERT_EQ(ZK_MODL_ask_body_density(prototype, 3, &density), 0);
  EXPECT_EQ(density, 4.5);
  // The same leaf body seen through the other component shows it too.
  ASSERT_EQ(ZK_MODL_ask_body_density(bodies[1], 3, &density), 0);
  EXPECT_EQ(density, 4.5);
  EXPECT_STREQ(ZK_TAG_ask_handle_of_tag(bodies[1]), "#/c1/s1:lb1");
  EXPECT_STREQ(ZK_TAG_ask_handle_of_tag(bodies[3]), "#/c2:lb1");
}

// A handle is made from its parent's kept one; asking the deepest object
// first, or a parent after its child, must give the same path texts.
TEST_F(Assemblies, GiveOccurrencesTheirPathHandlesInWhateverOrderAsked) {
  std::vector<tag_t> bodies = cycle(top_, ZK_solid_type);
  std::vector<tag_t> components = cycle(top_, ZK_component_type);
  ASSERT_EQ(bodies.size(), 4u);
  EXPECT_STREQ(ZK_TAG_ask_handle_of_tag(bodies[1]), "#/c1/s1:lb1");
  std::vector<std::string> handles;
  for (auto it = components.rbegin(); it != components.rend(); ++it) {
    handles.insert(handles.begin(), ZK_TAG_ask_handle_of_tag(*it));
  }
  EXPECT_EQ(handles, (std::vector<std::string>{"#/c1", "#/c1/s1", "#/c2", "#/c3"}));
  std::vector<std::string> body_handles;
  for (tag_t b : bodies) body_handles.push_back(ZK_TAG_ask_handle_of_tag(b));
  EXPECT_EQ(body_handles,
            (std::vector<std::string>{"#/c1:bs", "#/c1/s1:lb1", "#/c1/s1:lb2", "#/c2:lb1"}));
  tag_t root = NULL_TAG;
  ASSERT_EQ(ZK_ASSEM_ask_parent_component(components[0], &root), 0);
  EXPECT_STREQ(ZK_TAG_ask_handle_of_tag(root), "#");
}

// A handle may hold a NUL byte; the text handed out ends there, for the
// occurrences below it too, whether they are asked before or after it.
// The handles of a large assembly fill several of the blocks its part keeps
// them in: every text handed out stays whole and in place while the part is
// open, and reopening the part after closing it gives the same texts again.
TEST_F(Assemblies, KeepEveryHandleOfALargeTreeInPlaceAndTheSameAfterReopening) {
  part("big/leaf.prt", R"json({"objects": [
    {"id": "b1", "kind": "body", "shape": {"type": "block", "corner": [0,0,0], "size": [1,1,1]}},
    {"id": "b2", "kind": "body", "shape": {"type": "block", "corner": [0,0,0], "size": [1,1,1]}}]})json");
  const int kComponents = 100;
  std::string objects;
  std::vector<std::string> expected_components, expected_bodies;
  for (int i = 0; i < kComponents; ++i) {
    const std::string handle = "H" + std::to_string(i) + "-" + std::string(120, 'x');
    objects += std::string(i ? "," : "") + R"({"id": "c)" + std::to_string(i) +
               R"(", "kind": "component", "part": "leaf.prt", "handle": ")" + handle + "\"}";
    expected_components.push_back("#/" + handle);
    expected_bodies.push_back("#/" + handle + ":b1");
    expected_bodies.push_back("#/" + handle + ":b2");
  }
  part("big/top.prt", R"({"objects": [)" + objects + "]}");

  auto handles = [](const std::vector<tag_t> &tags) {
    std::vector<std::string> texts;
    for (tag_t t : tags) texts.push_back(ZK_TAG_ask_handle_of_tag(t));
    return texts;
  };
  tag_t top = open("big/top.prt");
  std::vector<tag_t> bodies = cycle(top, ZK_solid_type);
  std::vector<tag_t> components = cycle(top, ZK_component_type);
  // Bodies first: each makes its component's handle on the way.
  std::vector<const char *> handed_out;
  for (tag_t b : bodies) handed_out.push_back(ZK_TAG_ask_handle_of_tag(b));
  for (tag_t c : components) handed_out.push_back(ZK_TAG_ask_handle_of_tag(c));
  std::vector<std::string> expected = expected_bodies;
  expected.insert(expected.end(), expected_components.begin(), expected_components.end());
  ASSERT_EQ(handed_out.size(), expected.size());
  std::vector<tag_t> all = bodies;
  all.insert(all.end(), components.begin(), components.end());
  for (size_t i = 0; i < handed_out.size(); ++i) {
    EXPECT_EQ(handed_out[i], expected[i]) << i;
    EXPECT_EQ(ZK_TAG_ask_handle_of_tag(all[i]), handed_out[i]) << "made once: " << i;
  }

  ASSERT_EQ(ZK_PART_close_all(), 0);
  EXPECT_STREQ(ZK_TAG_ask_handle_of_tag(bodies[0]), "");
  top = open("big/top.prt");
  // Components first this time.
  std::vector<tag_t> reopened_components = cycle(top, ZK_component_type);
  EXPECT_EQ(handles(reopened_components), expected_components);
  EXPECT_EQ(handles(cycle(top, ZK_solid_type)), expected_bodies);
}

TEST_F(Assemblies, GiveOccurrencesBelowAHandleWithANulTheTextUpToIt) {
  part("nul/leaf.prt", R"json({"objects": [{"id": "lb", "kind": "body",
    "shape": {"type": "block", "corner": [0,0,0], "size": [1,1,1]}}]})json");
  part("nul/leaf2.prt", R"json({"objects": [{"id": "pq", "kind": "body", "handle": "p\u0000q",
    "shape": {"type": "block", "corner": [0,0,0], "size": [1,1,1]}}]})json");
  part("nul/mid.prt", R"json({"objects": [
    {"id": "m1", "kind": "component", "part": "leaf.prt"}]})json");
  part("nul/top.prt", R"json({"objects": [
    {"id": "c1", "kind": "component", "part": "mid.prt", "handle": "a\u0000b"},
    {"id": "c2", "kind": "component", "part": "leaf2.prt"}]})json");
  tag_t top = open("nul/top.prt");
  std::vector<tag_t> bodies = cycle(top, ZK_solid_type);
  std::vector<tag_t> components = cycle(top, ZK_component_type);
  ASSERT_EQ(bodies.size(), 2u);
  ASSERT_EQ(components.size(), 3u);
  EXPECT_STREQ(ZK_TAG_ask_handle_of_tag(bodies[0]), "#/a");
  EXPECT_STREQ(ZK_TAG_ask_handle_of_tag(bodies[1]), "#/c2:p");
  std::vector<std::string> handles;
  for (tag_t c : components) handles.push_back(ZK_TAG_ask_handle_of_tag(c));
  EXPECT_EQ(handles, (std::vector<std::string>{"#/a", "#/a", "#/c2"}));
}

TEST_F(Assemblies, AnswerArrangementsPerPart) {
  tag_t active = 1;
  ASSERT_EQ(ZK_ASSEM_ask_active_arrangement(top_, &active), 0);
  EXPECT_EQ(active, NULL_TAG);
  tag_t sub = ZK_ASSEM_ask_prototype_of_occ(cycle(top_, ZK_component_type)[0]);
  ASSERT_EQ(ZK_ASSEM_ask_active_arrangement(sub, &active), 0);
  char *name = nullptr;
  ASSERT_EQ(ZK_ASSEM_ask_name_of_arrangement(active, &name), 0);
  EXPECT_STREQ(name, "Sub arrangement");
  ZK_free(name);
  int count = 0;
  tag_t *all = nullptr;
  ASSERT_EQ(ZK_ASSEM_ask_arrangements_in_part(top_, &count, &all), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(all, nullptr);
}

// Injected failures of the work part: which calls fail, in order.
struct InjectionCase {
  const char *label;
  std::string failures;
  std::vector<int> expected;  // codes of six ZK_PART_ask_units calls
};

std::ostream &operator<<(std::ostream &out, const InjectionCase &c) {
  return out << c.label;
}

class InjectedFailures : public HostTest, public ::testing::WithParamInterface<InjectionCase> {};

TEST_P(InjectedFailures, FailTheMatchingCallsOnly) {
  part("p.prt", R"({"failures": )" + GetParam().failures + "}");
  tag_t p = open("p.prt");
  std::vector<int> codes;
  for (int i = 0; i < 6; ++i) {
    int units = 0;
    codes.push_back(ZK_PART_ask_units(p, &units));
  }
  EXPECT_EQ(codes, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Specs, InjectedFailures,
    ::testing::Values(InjectionCase{"every_call",
                                    R"([{"call": "ZK_PART_ask_units", "code": 1006}])",
                                    {1006, 1006, 1006, 1006, 1006, 1006}},
                      InjectionCase{
                          "skip_then_times",
                          R"([{"call": "ZK_PART_ask_units", "code": 1006, "skip": 2, "times": 2}])",
                          {0, 0, 1006, 1006, 0, 0}},
                      InjectionCase{"other_call",
                                    R"([{"call": "ZK_PART_ask_description", "code": 1006}])",
                                    {0, 0, 0, 0, 0, 0}},
                      InjectionCase{"first_spec_that_fires_wins",
                                    R"([{"call": "ZK_PART_ask_units", "code": 1, "times": 1},
                          {"call": "ZK_PART_ask_units", "code": 2, "skip": 3}])",
                                    {1, 0, 0, 2, 2, 2}}),
    [](const auto &info) { return std::string(info.param.label); });

// The failures that apply are those of the work part of the moment: a
// part's failures stop when another part is opened and apply again when it
// is opened again (already open) or after everything was closed.
TEST_F(HostTest, InjectFailuresOfWhicheverPartIsTheWorkPart) {
  part("failing.prt", R"({"failures": [{"call": "ZK_PART_ask_units", "code": 1006}]})");
  part("plain.prt", "{}");
  auto units_code = [](tag_t p) {
    int units = 0;
    return ZK_PART_ask_units(p, &units);
  };
  tag_t failing = open("failing.prt");
  EXPECT_EQ(units_code(failing), 1006);
  tag_t plain = open("plain.prt");
  EXPECT_EQ(units_code(plain), 0);
  EXPECT_EQ(units_code(failing), 0) << "not the work part";
  EXPECT_EQ(open("failing.prt"), failing);
  EXPECT_EQ(units_code(plain), 1006);
  ZK_PART_close_all();
  plain = open("plain.prt");
  EXPECT_EQ(units_code(plain), 0);
  failing = open("failing.prt");
  EXPECT_EQ(units_code(failing), 1006);
}

TEST_F(Assemblies, InjectFailuresAboutOneComponentOfTheWorkPart) {
  ZK_PART_close_all();
  top_ = open("asm/top.prt");
  std::vector<tag_t> components = cycle(top_, ZK_component_type);
  EXPECT_EQ(instance_name(components[0]), "SUB");
  char file[ZK_COMPONENT_FILE_BUFSIZE], refset[ZK_REFSET_NAME_BUFSIZE],
      instance[ZK_INSTANCE_NAME_BUFSIZE];
  double origin[3], matrix[9], transform[4][4];
  EXPECT_EQ(
      ZK_ASSEM_ask_component_data(components[2], file, refset, instance, origin, matrix, transform),
      1004);
  EXPECT_EQ(
      ZK_ASSEM_ask_component_data(components[2], file, refset, instance, origin, matrix, transform),
      0)
      << "times 1";
  // Failures of a component part do not apply while the assembly is the work part.
  int units = 0;
  EXPECT_EQ(ZK_PART_ask_units(ZK_ASSEM_ask_prototype_of_occ(components[2]), &units), 0);
  ZK_OBJ_disp_props_t props;
  std::vector<int> codes;
  for (int i = 0; i < 4; ++i) codes.push_back(ZK_OBJ_ask_display_properties(components[0], &props));
  EXPECT_EQ(codes, (std::vector<int>{0, 1006, 1006, 0}));
}

// Where components are looked for, per load option.
struct LayoutCase {
  const char *label;
  int load_options;
  const char *component;            // as written in the assembly
  std::vector<const char *> files;  // part files that exist besides the assembly
  const char *expected;             // component part name, or nullptr: not found
};

std::ostream &operator<<(std::ostream &out, const LayoutCase &c) {
  return out << c.label;
}

class LoadOptions : public HostTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(LoadOptions, FindComponentFilesWhereTheOptionSays) {
  const LayoutCase &c = GetParam();
  HostOptions options;
  options.load_options.load_options = c.load_options;
  options.search_dirs = {"lib1", "lib2"};
  configure(options);
  part("a/top.prt", std::string(R"({"objects": [{"id": "c", "kind": "component", "part": ")") +
                        c.component + "\"}]}");
  for (const char *f : c.files) part(f, "{}");
  if (!c.expected) {
    EXPECT_EQ(open_code("a/top.prt"), kComponentMissing);
    EXPECT_NE(last_failure_detail().find("/objects/0/part"), std::string::npos);
    EXPECT_EQ(host_session().part_count(), 0u);
    return;
  }
  tag_t top = open("a/top.prt");
  std::vector<tag_t> components = cycle(top, ZK_component_type);
  ASSERT_EQ(components.size(), 1u);
  char name[ZK_FSPEC_BUFSIZE];
  ASSERT_EQ(ZK_PART_ask_part_name(ZK_ASSEM_ask_prototype_of_occ(components[0]), name), 0);
  EXPECT_STREQ(name, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LoadOptions,
    ::testing::Values(
        LayoutCase{"directory_beside", 0, "w.prt", {"a/w.prt"}, "a/w.prt"},
        LayoutCase{"directory_subfolder", 0, "sub/w.prt", {"a/sub/w.prt"}, "a/sub/w.prt"},
        LayoutCase{
            "directory_absolute_uses_the_leaf_name", 0, "/nowhere/w.prt", {"a/w.prt"}, "a/w.prt"},
        LayoutCase{"directory_ignores_search_dirs", 0, "w.prt", {"lib1/w.prt"}, nullptr},
        LayoutCase{"search_first_dir_first",
                   1,
                   "w.prt",
                   {"lib1/w.prt", "lib2/w.prt", "a/w.prt"},
                   "lib1/w.prt"},
        LayoutCase{"search_second_dir", 1, "w.prt", {"lib2/w.prt", "a/w.prt"}, "lib2/w.prt"},
        LayoutCase{"search_then_assembly_dir", 1, "w.prt", {"a/w.prt"}, "a/w.prt"},
        LayoutCase{"search_nowhere", 1, "w.prt", {"w.prt"}, nullptr},
        LayoutCase{"as_saved_relative_to_cwd",
                   2,
                   "lib2/w.prt",
                   {"lib2/w.prt", "a/lib2/w.prt"},
                   "lib2/w.prt"},
        LayoutCase{"as_saved_not_beside", 2, "w.prt", {"a/w.prt"}, nullptr}),
    [](const auto &info) { return std::string(info.param.label); });

class LoadFailures : public HostTest {};

TEST_F(LoadFailures, KeepAMissingComponentWhenToldNotToAbort) {
  HostOptions options;
  options.load_options.failure_action = ZK_ASSEM_dont_abort_on_failure;
  configure(options);
  part("top.prt", R"({"objects": [
    {"id": "c1", "kind": "component", "part": "gone.prt"},
    {"id": "c2", "kind": "component", "part": "bad.prt"},
    {"id": "c3", "kind": "component", "part": "ok.prt"},
    {"id": "c4", "kind": "component", "part": "./gone.prt"}]})");
  part("bad.prt", "not json");
  part("ok.prt", R"({"objects": [{"id": "b", "kind": "body",
    "shape": {"type": "sphere", "centre": [0,0,0], "radius": 1}}]})");
  int failed = 0;
  tag_t top = open("top.prt", &failed);
  EXPECT_EQ(failed, 2) << "gone.prt counts once for both its components";
  std::vector<tag_t> components = cycle(top, ZK_component_type);
  ASSERT_EQ(components.size(), 4u);
  EXPECT_EQ(ZK_ASSEM_ask_prototype_of_occ(components[0]), NULL_TAG);
  char file[ZK_COMPONENT_FILE_BUFSIZE], refset[ZK_REFSET_NAME_BUFSIZE],
      instance[ZK_INSTANCE_NAME_BUFSIZE];
  double origin[3], matrix[9], transform[4][4];
  ASSERT_EQ(
      ZK_ASSEM_ask_component_data(components[0], file, refset, instance, origin, matrix, transform),
      0);
  EXPECT_STREQ(file, "gone.prt");
  EXPECT_EQ(cycle(top, ZK_solid_type).size(), 1u) << "only the loaded component shows bodies";
}

TEST_F(LoadFailures, AbortOnABrokenComponentAndLoadNothing) {
  part("top.prt", R"({"objects": [
    {"id": "c1", "kind": "component", "part": "ok.prt"},
    {"id": "c2", "kind": "component", "part": "bad.prt"}]})");
  part("ok.prt", "{}");
  part("bad.prt", R"({"units": true})");
  EXPECT_EQ(open_code("top.prt"), kPartFileInvalid);
  EXPECT_NE(last_failure_detail().find("bad.prt: /units"), std::string::npos)
      << last_failure_detail();
  EXPECT_EQ(host_session().part_count(), 0u);
  EXPECT_EQ(ZK_ASSEM_ask_work_part(), NULL_TAG);
}

TEST_F(LoadFailures, RefuseComponentCyclesWhateverTheFailureAction) {
  for (int action : {ZK_ASSEM_do_abort_on_failure, ZK_ASSEM_dont_abort_on_failure}) {
    HostOptions options;
    options.load_options.failure_action = action;
    configure(options);
    part("self.prt", R"({"objects": [{"id": "c", "kind": "component", "part": "self.prt"}]})");
    part("a.prt", R"({"objects": [{"id": "c", "kind": "component", "part": "b.prt"}]})");
    part("b.prt", R"({"objects": [{"id": "c", "kind": "component", "part": "./a.prt"}]})");
    EXPECT_EQ(open_code("self.prt"), kComponentCycle);
    EXPECT_EQ(open_code("a.prt"), kComponentCycle);
    EXPECT_NE(last_failure_detail().find("b.prt: /objects/0/part"), std::string::npos)
        << last_failure_detail();
    EXPECT_EQ(host_session().part_count(), 0u);
  }
}

TEST_F(LoadFailures, RefuseAReferenceSetTheComponentPartLacks) {
  part("top.prt", R"({"objects": [
    {"id": "c1", "kind": "component", "part": "ok.prt", "reference_set": "LIGHT"}]})");
  part("ok.prt", "{}");
  EXPECT_EQ(open_code("top.prt"), kPartFileInvalid);
  EXPECT_NE(last_failure_detail().find("top.prt: /objects/0/reference_set"), std::string::npos);
}

}  // namespace
}  // namespace orvel::test

namespace orvel::test {
namespace {

class ManagedParts : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    auto store = pdm::Store::open((dir_ / "store.db").string(), true);
    store->add_item("4711", "bracket assembly");
    store->add_revision("4711", "A");
    store->add_dataset("4711", "A", "", "", "files/top.prt");
    store->add_item("4712", "wheel");
    store->add_revision("4712", "B");
    store->add_dataset("4712", "B", "spec", "sheet1", "files/wheel.prt");
    store.reset();
    part("files/top.prt", R"({"objects": [
      {"id": "c1", "kind": "component", "part": "@DB/4712/B/spec/sheet1"},
      {"id": "c2", "kind": "component", "part": "plain.prt"}]})");
    part("files/wheel.prt", "{}");
    part("files/plain.prt", "{}");
    HostOptions options;
    options.pdm_store = (dir_ / "store.db").string();
    configure(options);
  }
};

TEST_F(ManagedParts, OpenByManagedNameWithManagedAndPlainComponents) {
  tag_t top = open("@DB/4711/A");
  char name[ZK_FSPEC_BUFSIZE];
  ASSERT_EQ(ZK_PART_ask_part_name(top, name), 0);
  EXPECT_STREQ(name, "@DB/4711/A");
  std::vector<tag_t> components = cycle(top, ZK_component_type);
  ASSERT_EQ(components.size(), 2u);
  ASSERT_EQ(ZK_PART_ask_part_name(ZK_ASSEM_ask_prototype_of_occ(components[0]), name), 0);
  EXPECT_STREQ(name, "@DB/4712/B/spec/sheet1");
  ASSERT_EQ(ZK_PART_ask_part_name(ZK_ASSEM_ask_prototype_of_occ(components[1]), name), 0);
  std::string plain = name;
  EXPECT_EQ(plain.substr(plain.size() - 16), "/files/plain.prt")
      << "beside the assembly's file: " << name;
  EXPECT_EQ(open("@DB/4711/A"), top);
}

TEST_F(ManagedParts, RefuseAManagedNameTheStoreLacks) {
  EXPECT_EQ(open_code("@DB/4711/Z"), kManagedPartUnknown);
  EXPECT_NE(last_failure_detail().find("@DB/4711/Z"), std::string::npos);
  part("files/other.prt", R"({"objects": [{"id": "c", "kind": "component", "part": "@DB/9/A"}]})");
  EXPECT_EQ(open_code("files/other.prt"), kManagedPartUnknown);
  EXPECT_NE(last_failure_detail().find("files/other.prt: /objects/0/part"), std::string::npos);
}

class ComponentFiles : public HostTest {};

// The same name written in assemblies of different directories is a
// different file in each; repeated in one directory it is one file.
TEST_F(ComponentFiles, ResolveEachNameInItsAssemblysDirectory) {
  const char body[] = R"({"id": "%s", "kind": "body",
    "shape": {"type": "block", "corner": [0,0,0], "size": [1,1,1]}})";
  auto bodies = [&](int n) {
    std::string list;
    for (int i = 0; i < n; ++i) {
      char one[200];
      std::snprintf(one, sizeof one, body, ("b" + std::to_string(i)).c_str());
      list += (i ? "," : "") + std::string(one);
    }
    return R"({"objects": [)" + list + "]}";
  };
  part("t/x/leaf.prt", bodies(1));
  part("t/y/leaf.prt", bodies(3));
  const char sub[] = R"({"objects": [
    {"id": "c1", "kind": "component", "part": "leaf.prt"},
    {"id": "c2", "kind": "component", "part": "leaf.prt"}]})";
  part("t/x/sub.prt", sub);
  part("t/y/sub.prt", sub);
  part("t/top.prt", R"({"objects": [
    {"id": "c1", "kind": "component", "part": "x/sub.prt"},
    {"id": "c2", "kind": "component", "part": "y/sub.prt"},
    {"id": "c3", "kind": "component", "part": "x/sub.prt"}]})");
  tag_t top = open("t/top.prt");
  EXPECT_EQ(host_session().part_count(), 5u);
  EXPECT_EQ(cycle(top, ZK_solid_type).size(), 2u * (1 + 3 + 1));
  std::vector<tag_t> components = cycle(top, ZK_component_type);
  ASSERT_EQ(components.size(), 9u);
  char name[ZK_FSPEC_BUFSIZE];
  std::vector<std::string> leaves;
  for (size_t i : {1, 4}) {
    ASSERT_EQ(ZK_PART_ask_part_name(ZK_ASSEM_ask_prototype_of_occ(components[i]), name), 0);
    leaves.push_back(name);
  }
  EXPECT_EQ(leaves, (std::vector<std::string>{"t/x/leaf.prt", "t/y/leaf.prt"}));
}

// A field the plug-in cannot hold whole would give two such parts one
// report name, whatever wrote the store: the open refuses the name.
TEST_F(ManagedParts, RefuseAManagedNameWithAFieldLongerThanThePluginHolds) {
  std::string number(129, 'n');
  EXPECT_EQ(open_code("@DB/" + number + "/A"), kPartNameTooLong);
  EXPECT_NE(last_failure_detail().find("part number of 129 characters is longer than 128"),
            std::string::npos)
      << last_failure_detail();
  EXPECT_EQ(open_code("@DB/4711/" + std::string(33, 'r')), kPartNameTooLong);
  EXPECT_EQ(open_code("@DB/4712/B/" + std::string(43, 't') + "/sheet1"), kPartNameTooLong);
  EXPECT_EQ(open_code("@DB/4712/B/spec/" + std::string(129, 'f')), kPartNameTooLong);
  EXPECT_NE(last_failure_detail().find("file name of 129"), std::string::npos);
  EXPECT_EQ(open_code("@DB/4712/B/" + std::string(42, 't') + "/" + std::string(128, 'f')),
            kManagedPartUnknown)
      << "names that fit are looked up";
}

}  // namespace
}  // namespace orvel::test
