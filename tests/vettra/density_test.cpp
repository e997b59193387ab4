// The normalised mass computation gives every body its density back, also
// the bodies of a component part that the assembly uses more than once:
// their occurrences share one density.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "orvel/zk.h"
#include "test_files.h"
#include "vettra/report/sections.h"

using vettra_test::ScratchDir;

namespace {

const char kLeaf[] =
    R"({"objects": [{"id": "b", "kind": "body", "density": 7.85,
        "shape": {"type": "block", "corner": [0,0,0], "size": [2,1,1]}}]})";

// Three occurrences of the leaf and a body of the assembly's own.
const char kAssembly[] =
    R"({"objects": [
        {"id": "own", "kind": "body", "density": 2.7,
         "shape": {"type": "block", "corner": [0,0,5], "size": [1,1,1]}},
        {"id": "c1", "kind": "component", "part": "leaf.prt", "origin": [0,0,0]},
        {"id": "c2", "kind": "component", "part": "leaf.prt", "origin": [10,0,0]},
        {"id": "c3", "kind": "component", "part": "leaf.prt", "origin": [20,0,0]}]})";

// The densities of every solid body the work part's cycle meets.
std::vector<double> body_densities() {
  std::vector<double> densities;
  tag_t body = NULL_TAG;
  for (;;) {
    ZK_OBJ_cycle_objs_in_part(ZK_ASSEM_ask_work_part(), ZK_solid_type, &body);
    if (body == NULL_TAG) return densities;
    int type = 0, subtype = -1;
    ZK_OBJ_ask_type_and_subtype(body, &type, &subtype);
    if (subtype != ZK_solid_body_subtype) continue;
    double density = -1.0;
    ZK_MODL_ask_body_density(body, 3, &density);
    densities.push_back(density);
  }
}

TEST(NormalisedMassDensities, ABodyUsedThroughSeveralOccurrencesGetsItsDensityBack) {
  ScratchDir dir;
  std::ofstream(dir.file("leaf.prt")) << kLeaf;
  std::ofstream(dir.file("top.prt")) << kAssembly;
  ZK_initialize();
  tag_t part = NULL_TAG;
  ZK_PART_load_status_t status = {0, 0};
  ASSERT_EQ(ZK_PART_open(dir.file("top.prt").c_str(), &part, &status), 0);
  std::vector<double> before = body_densities();
  ASSERT_EQ(before, (std::vector<double>{2.7, 7.85, 7.85, 7.85}));

  setenv("VETR_ANALYZE_NORMALIZED_MASS_PROPS", "true", 1);
  write_entire_part_mass(dir.file("report.xml").c_str());
  unsetenv("VETR_ANALYZE_NORMALIZED_MASS_PROPS");
  EXPECT_EQ(body_densities(), before);
  ZK_PART_close_all();
}

}  // namespace
