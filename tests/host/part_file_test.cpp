// Part files: validation of every kind of problem, names, saving and the
// load-save-load round trip.
#include "partfile/part_file.hpp"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "api/codes.hpp"
#include "model/drafting.hpp"
#include "orvel/zk.h"
#include "test_support.hpp"

namespace fs = std::filesystem;

namespace orvel::test {
namespace {

// A part that uses every kind of object and field of the format.
const char kRichPart[] = R"json({
  "format": "orvel part",
  "version": 1,
  "units": 2,
  "description": "Bracket & <stuff>",
  "history": [
    {"version": 1, "time": 1359536700, "program": "Orvel", "user": "ann", "machine": "ws1"},
    {"version": 2, "time": 1359540000, "program": "Orvel", "user": "bob", "machine": "ws2"}
  ],
  "attributes": [
    {"title": "MATERIAL", "type": "string", "value": "Steel"},
    {"title": "COUNT", "type": "integer", "value": -3},
    {"title": "WEIGHT", "type": "real", "value": 1.25},
    {"title": "CHECKED", "type": "time", "value": [41304, 545]}
  ],
  "objects": [
    {"id": "p0", "kind": "expression", "name": "p0", "formula": "2", "value": 2},
    {"id": "p1", "kind": "expression", "name": "p1", "formula": "p0*2", "value": 4},
    {"id": "steel", "kind": "material", "name": "Steel"},
    {"id": "f1", "kind": "feature", "name": "BLOCK(1)", "feature_type": "BLOCK"},
    {"id": "f2", "kind": "feature", "name": "HOLE(2)", "suppressed": true, "status": "condemned"},
    {"id": "b1", "kind": "body", "name": "MAIN", "handle": "H-B1", "layer": 5, "color": 7,
     "font": 2, "line_width": 1, "blank": true, "density": 7.85e-06, "material": "steel",
     "features": ["f1", "f2"], "attributes": [{"title": "T", "type": "string", "value": "x"}],
     "shape": {"type": "block", "corner": [1, 2, 3], "size": [10, 20, 30]}},
    {"id": "b2", "kind": "body", "body_type": "sheet",
     "shape": {"type": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "triangles": [[0,1,2]]}},
    {"id": "b3", "kind": "body", "shape": {"type": "cylinder", "base": [0,0,0],
     "axis": [0,0,1], "radius": 2, "height": 5}},
    {"id": "b4", "kind": "body", "shape": {"type": "sphere", "centre": [0,0,0], "radius": 1}},
    {"id": "r1", "kind": "reference_set", "name": "MODEL", "members": ["b1", "b3"]},
    {"id": "a1", "kind": "arrangement", "name": "Default", "active": true},
    {"id": "a2", "kind": "arrangement", "name": "Open"},
    {"id": "pt", "kind": "point", "coordinates": [1, 2, 3]},
    {"id": "ln", "kind": "line", "start": [0, 0, 0], "end": [1, 1, 0], "view": "v1"},
    {"id": "ar", "kind": "arc", "centre": [0, 0, 0], "radius": 2, "start_angle": 0,
     "end_angle": 90, "layer": 250},
    {"id": "v1", "kind": "view", "name": "TOP@1", "view_type": 1, "view_subtype": 2,
     "reference_point": [100, 50], "anchor": "pt", "scale": 0.5, "angle": 90,
     "borders": [0, 0, 200, 100], "out_of_date": true, "notes": ["n1"]},
    {"id": "sheet", "kind": "view", "name": "SHEET1"},
    {"id": "d1", "kind": "drawing", "name": "SHEET1", "sheet_view": "sheet", "views": ["v1"],
     "out_of_date": true, "updatable": false},
    {"id": "n1", "kind": "drafting", "subtype": 1, "view": "v1", "origin": [10, 20, 0],
     "associated": ["ln", "pt"], "retained": true, "displayable": false,
     "texts": [{"type": 1, "font": 2, "size": 3.5, "angle": 0, "lines": ["A & B", "90°"]}]},
    {"id": "dm", "kind": "dimension", "subtype": 2, "view": "sheet", "sketch_value": 12.5,
     "transferable": false}
  ],
  "failures": [
    {"call": "ZK_MODL_ask_body_feats", "code": 1004, "skip": 1, "times": 2, "object": "b1"}
  ]
})json";

std::string long_text(size_t n) {
  return std::string(n, 'n');
}

struct BadPart {
  const char *label;
  std::string text;  // empty: no file at all
  int code;
  const char *path;
  const char *problem;
};

std::ostream &operator<<(std::ostream &out, const BadPart &c) {
  return out << c.label;
}

std::string body_with(const std::string &fields) {
  return R"({"objects": [{"id": "b1", "kind": "body", )" + fields + "}]}";
}

const char kBlock[] = R"("shape": {"type": "block", "corner": [0,0,0], "size": [1,1,1]})";

std::vector<BadPart> bad_parts() {
  return {
      {"missing_file", "", kPartFileMissing, "/", "no such part file"},
      {"not_json", "{\"units\": ", kPartFileSyntax, "/", "syntax error"},
      {"not_an_object", "[1, 2]", kPartFileInvalid, "/", "not an object"},
      {"wrong_type", R"({"units": "1"})", kPartFileInvalid, "/units", "expected an integer"},
      {"unknown_field", R"({"unit": 1})", kPartFileInvalid, "/unit", "unknown field"},
      {"missing_field", body_with(R"("density": 1)"), kPartFileInvalid, "/objects/0",
       "missing required field \"shape\""},
      {"unknown_kind", R"({"objects": [{"id": "x", "kind": "gizmo"}]})", kPartFileInvalid,
       "/objects/0/kind", "unknown kind"},
      {"duplicate_id",
       R"({"objects": [{"id": "m", "kind": "material"}, {"id": "m", "kind": "material"}]})",
       kPartFileInvalid, "/objects/1/id", "duplicate id"},
      {"dangling_reference", body_with(std::string(R"("material": "nope", )") + kBlock),
       kPartFileInvalid, "/objects/0/material", "unknown reference \"nope\""},
      {"reference_of_wrong_kind",
       R"({"objects": [{"id": "f", "kind": "feature"}, {"id": "b", "kind": "body",
          "material": "f", "shape": {"type": "sphere", "centre": [0,0,0], "radius": 1}}]})",
       kPartFileInvalid, "/objects/1/material", "not of the expected kind"},
      {"object_name_too_long", body_with("\"name\": \"" + long_text(133) + "\", " + kBlock),
       kPartFileInvalid, "/objects/0/name", "longer than 132"},
      {"refset_name_too_long",
       R"({"objects": [{"id": "r", "kind": "reference_set", "name": ")" + long_text(31) + "\"}]}",
       kPartFileInvalid, "/objects/0/name", "longer than 30"},
      {"instance_name_too_long",
       R"({"objects": [{"id": "c", "kind": "component", "part": "x.prt", "instance_name": ")" +
           long_text(129) + "\"}]}",
       kPartFileInvalid, "/objects/0/instance_name", "longer than 128"},
      {"attribute_title_too_long",
       R"({"attributes": [{"title": ")" + long_text(256) + R"(", "type": "integer", "value": 1}]})",
       kPartFileInvalid, "/attributes/0/title", "longer than 255"},
      {"attribute_string_too_long",
       body_with(R"("attributes": [{"title": "T", "type": "string", "value": ")" + long_text(256) +
                 "\"}], " + kBlock),
       kPartFileInvalid, "/objects/0/attributes/0/value", "longer than 255"},
      {"shape_without_volume",
       body_with(R"("shape": {"type": "block", "corner": [0,0,0], "size": [1,0,1]})"),
       kPartFileInvalid, "/objects/0/shape", ""},
      {"open_mesh_as_solid",
       body_with(R"("shape": {"type": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]],
                   "triangles": [[0,1,2]]})"),
       kPartFileInvalid, "/objects/0/shape", ""},
      {"bad_vector", body_with(R"("shape": {"type": "block", "corner": [0,0], "size": [1,1,1]})"),
       kPartFileInvalid, "/objects/0/shape/corner", "three numbers"},
      {"layer_out_of_range", body_with(std::string(R"("layer": 257, )") + kBlock), kPartFileInvalid,
       "/objects/0/layer", "outside 0 to 256"},
      {"two_active_arrangements",
       R"({"objects": [{"id": "a", "kind": "arrangement", "name": "A", "active": true},
                       {"id": "b", "kind": "arrangement", "name": "B", "active": true}]})",
       kPartFileInvalid, "/objects/1/active", "more than one active"},
      {"skewed_orientation",
       R"({"objects": [{"id": "c", "kind": "component", "part": "x.prt",
          "orientation": [[1,0,0],[1,1,0],[0,0,1]]}]})",
       kPartFileInvalid, "/objects/0/orientation", ""},
      {"beyond_iso_8859_1", R"({"description": "5 \u20ac"})", kPartFileInvalid, "/description",
       "beyond ISO-8859-1"},
      {"view_that_is_not_a_view",
       R"({"objects": [{"id": "m", "kind": "material"},
                       {"id": "p", "kind": "point", "coordinates": [0,0,0], "view": "m"}]})",
       kPartFileInvalid, "/objects/1/view", "not of the expected kind"},
      {"drawing_view_missing", R"({"objects": [{"id": "d", "kind": "drawing", "views": ["v"]}]})",
       kPartFileInvalid, "/objects/0/views/0", "unknown reference \"v\""},
      {"failure_with_code_zero", R"({"failures": [{"call": "ZK_PART_ask_units", "code": 0}]})",
       kPartFileInvalid, "/failures/0/code", "code 0"},
  };
}

class PartFileErrors : public HostTest, public ::testing::WithParamInterface<BadPart> {};

TEST_P(PartFileErrors, FailTheOpenWithFilePathAndProblemAndLoadNothing) {
  const BadPart &c = GetParam();
  if (!c.text.empty()) part("bad.prt", c.text);
  EXPECT_EQ(open_code("bad.prt"), c.code);
  EXPECT_EQ(ZK_ASSEM_ask_work_part(), NULL_TAG);
  EXPECT_EQ(ZK_PART_ask_display_part(), NULL_TAG);

  std::string detail = last_failure_detail();
  std::string expected_start = std::string(code_message(c.code)) + ": bad.prt: " + c.path + ": ";
  EXPECT_EQ(detail.substr(0, expected_start.size()), expected_start) << detail;
  EXPECT_NE(detail.find(c.problem), std::string::npos) << detail;

  char message[ZK_FAIL_MESSAGE_BUFSIZE];
  EXPECT_EQ(ZK_get_fail_message(c.code, message), 0);
  EXPECT_LE(std::strlen(message), 132u);
  EXPECT_EQ(std::string(message), detail.substr(0, 132));
}

INSTANTIATE_TEST_SUITE_P(Kinds, PartFileErrors, ::testing::ValuesIn(bad_parts()),
                         [](const auto &info) { return std::string(info.param.label); });

class PartFiles : public HostTest {};

TEST_F(PartFiles, AcceptTextsAtTheirCapacity) {
  std::string text = R"({"attributes": [{"title": ")" + long_text(255) +
                     R"(", "type": "string", "value": ")" + long_text(255) + R"("}],
    "objects": [
      {"id": "m", "kind": "material", "name": ")" +
                     long_text(132) + R"("},
      {"id": "r", "kind": "reference_set", "name": ")" +
                     long_text(30) + R"("}]})";
  part("full.prt", text);
  tag_t p = open("full.prt");
  tag_t material = NULL_TAG;
  ASSERT_EQ(ZK_OBJ_cycle_objs_in_part(p, ZK_material_type, &material), 0);
  char name[ZK_OBJ_NAME_BUFSIZE];
  ASSERT_EQ(ZK_OBJ_ask_name(material, name), 0);
  EXPECT_EQ(std::string(name), long_text(132));
}

TEST_F(PartFiles, HoldTextsInIso88591AndWriteThemBackInUtf8) {
  // 132 characters that take two bytes each in the file still fit a name.
  std::string e_acute_132;
  for (int i = 0; i < 132; ++i) e_acute_132 += "\xC3\xA9";
  part("latin.prt", R"({"attributes": [{"title": "ANGLE", "type": "string", "value": "90\u00b0"}],
    "objects": [{"id": "m", "kind": "material", "name": ")" +
                        e_acute_132 + R"("}]})");
  tag_t p = open("latin.prt");
  char text[ZK_ATTR_STRING_BUFSIZE];
  ZK_ATTR_value_t value;
  value.type = ZK_ATTR_string;
  value.value.string = text;
  ASSERT_EQ(ZK_ATTR_read_value(p, "ANGLE", ZK_ATTR_string, &value), 0);
  EXPECT_STREQ(text, "90\xB0") << "the degree sign is the single byte 176";
  tag_t material = NULL_TAG;
  ASSERT_EQ(ZK_OBJ_cycle_objs_in_part(p, ZK_material_type, &material), 0);
  char name[ZK_OBJ_NAME_BUFSIZE];
  ASSERT_EQ(ZK_OBJ_ask_name(material, name), 0);
  EXPECT_EQ(std::string(name), std::string(132, '\xE9'));

  ASSERT_EQ(ZK_PART_save_work_only(), 0);
  std::string saved = read_file(dir_ / "latin.prt");
  EXPECT_NE(saved.find("90\xC2\xB0"), std::string::npos) << saved;
  EXPECT_NE(saved.find(e_acute_132), std::string::npos);
}

TEST_F(PartFiles, RefuseANameLongerThanAFileSpec) {
  std::string name = long_text(ZK_MAX_FSPEC_SIZE + 1);
  EXPECT_EQ(open_code(name), kPartNameTooLong);
  part("ok.prt", "{}");
  std::string longest = "./" + long_text(ZK_MAX_FSPEC_SIZE - 2);
  EXPECT_EQ(open_code(longest), kPartFileMissing) << "255 characters are allowed";
}

TEST_F(PartFiles, KeepThePartNameAsGivenButNormalised) {
  part("sub/a.prt", "{}");
  tag_t p = open("./sub/../sub/a.prt");
  char name[ZK_FSPEC_BUFSIZE];
  ASSERT_EQ(ZK_PART_ask_part_name(p, name), 0);
  EXPECT_STREQ(name, "sub/a.prt");
  EXPECT_EQ(open("sub/a.prt"), p) << "an open part is not loaded twice";
}

// What a reading gives: the part's file text, or the error's whole text.
std::string outcome(std::unique_ptr<model::Part> (*read)(const std::string &, const std::string &),
                    const std::string &text) {
  try {
    std::unique_ptr<model::Part> part = read(text, "t.prt");
    return part ? "part: " + partfile::format_part(*part) : "declined";
  } catch (const partfile::LoadError &e) {
    return "error " + std::to_string(e.code()) + ": " + e.what();
  }
}

// The fast parser reads the valid files, the sample parts among them, into
// the same part as the careful one; what it would read otherwise (repeated
// names, a byte order mark, integers beyond 64 bits) or cannot read it
// leaves to the careful one, so parts and messages are the careful ones.
TEST_F(PartFiles, ReadFastWhatTheCarefulParserReadsTheSameWay) {
  std::vector<std::string> valid = {kRichPart};
  for (const auto &entry : fs::directory_iterator(ORVEL_SOURCE_DIR "/examples")) {
    if (entry.path().extension() != ".prt") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    valid.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_GT(valid.size(), 5u);
  for (const std::string &text : valid) {
    std::string careful = outcome(partfile::parse_part_carefully, text);
    ASSERT_EQ(careful.rfind("part: ", 0), 0u) << careful;
    if (text.find("\"snapshot\"") != std::string::npos) {
      EXPECT_EQ(outcome(partfile::parse_part_fast, text), "declined");
    } else {
      EXPECT_EQ(outcome(partfile::parse_part_fast, text), careful);
    }
    EXPECT_EQ(outcome(partfile::parse_part, text), careful);
  }

  const std::string point = R"({"objects": [{"id": "p", "kind": "point", "coordinates": )";
  for (const std::string &text : std::vector<std::string>{
           point + "[-0, 0.0, -0.0]}]}",
           point + "[1e308, -1e-400, 9223372036854775807]}]}",
           point + "[18446744073709551616, 0, 0]}]}",
           point + "[1e400, 0, 0]}]}",
           R"({"units": 9223372036854775808})",
           R"({"units": 18446744073709551615})",
           R"({"description": "first", "description": "second"})",
           R"({"objects": [{"id": "m", "kind": "feature", "kind": "material"}]})",
           R"({"description": "a\u0000b\u00e9\"\\\/"})",
           R"({"description": "\ud800"})",
           "\xEF\xBB\xBF{\"units\": 1}",
           R"({"units": 1)",
           "",
       }) {
    SCOPED_TRACE(text);
    std::string careful = outcome(partfile::parse_part_carefully, text);
    std::string fast = outcome(partfile::parse_part_fast, text);
    if (fast != "declined") {
      EXPECT_EQ(fast, careful);
    }
    EXPECT_EQ(outcome(partfile::parse_part, text), careful);
  }
  EXPECT_EQ(outcome(partfile::parse_part_fast, R"({"description": "a", "description": "b"})"),
            "declined");
}

TEST_F(PartFiles, SurviveLoadSaveLoadUnchanged) {
  auto first = partfile::parse_part(kRichPart, "rich.prt");
  std::string saved = partfile::format_part(*first);
  auto second = partfile::parse_part(saved, "rich.prt");
  EXPECT_EQ(partfile::format_part(*second), saved);

  // Everything the original says is in the saved text.
  nlohmann::json original = nlohmann::json::parse(kRichPart);
  nlohmann::json written = nlohmann::json::parse(saved);
  EXPECT_EQ(written["units"], original["units"]);
  EXPECT_EQ(written["description"], original["description"]);
  EXPECT_EQ(written["history"], original["history"]);
  EXPECT_EQ(written["attributes"], original["attributes"]);
  EXPECT_EQ(written["failures"], original["failures"]);
  ASSERT_EQ(written["objects"].size(), original["objects"].size());
  for (size_t i = 0; i < original["objects"].size(); ++i) {
    for (const auto &[key, value] : original["objects"][i].items()) {
      EXPECT_EQ(written["objects"][i][key], value) << "object " << i << " field " << key;
    }
  }
}

TEST_F(PartFiles, ListTheObjectsThatDependOnEachView) {
  auto part = partfile::parse_part(kRichPart, "rich.prt");
  auto ids = [](const model::Object *view) {
    std::vector<std::string> result;
    const model::ObjectList &list = static_cast<const model::View *>(view)->dependents;
    for (const model::Object *o = list.first(); o; o = list.next(o)) result.push_back(o->id);
    return result;
  };
  EXPECT_EQ(ids(part->find_by_id("v1")), (std::vector<std::string>{"ln", "n1"}));
  EXPECT_EQ(ids(part->find_by_id("sheet")), (std::vector<std::string>{"dm"}));
  const auto *note = static_cast<const model::Annotation *>(part->find_by_id("n1"));
  EXPECT_EQ(note->type, ZK_drafting_entity_type);
  EXPECT_EQ(note->texts.at(0).lines.at(1), "90\xB0");
  EXPECT_EQ(part->on_layer(250).first(), part->find_by_id("ar"));
}

TEST_F(PartFiles, SaveTheWorkPartAtomicallyWithItsChanges) {
  part("rich.prt", kRichPart);
  tag_t p = open("rich.prt");
  tag_t body = NULL_TAG;
  ASSERT_EQ(ZK_OBJ_cycle_objs_in_part(p, ZK_solid_type, &body), 0);
  ASSERT_EQ(ZK_MODL_set_body_density(body, 3, 2.5), 0);
  ASSERT_EQ(ZK_PART_save_work_only(), 0);
  for (const auto &entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename(), "rich.prt") << "no temporary file is left behind";
  }
  ASSERT_EQ(ZK_PART_close_all(), 0);
  EXPECT_EQ(ZK_ASSEM_ask_work_part(), NULL_TAG);

  tag_t again = open("rich.prt");
  EXPECT_NE(again, p) << "tags are never reused";
  body = NULL_TAG;
  ASSERT_EQ(ZK_OBJ_cycle_objs_in_part(again, ZK_solid_type, &body), 0);
  double density = 0;
  ASSERT_EQ(ZK_MODL_ask_body_density(body, 3, &density), 0);
  EXPECT_EQ(density, 2.5);
  EXPECT_STREQ(ZK_TAG_ask_handle_of_tag(body), "H-B1");
}

// The temporary file of a save has a name known in advance: whatever is
// found under it (a link to another file, a file of a killed run) must not
// be written through, and the save still replaces the part.
TEST_F(PartFiles, SaveNeverWritesThroughWhatLiesAtTheTemporaryName) {
  part("p.prt", "{}");
  part("victim.txt", "untouched");
  part("stale.txt", "stale");
  open("p.prt");
  const fs::path temporary = dir_ / ("p.prt.tmp" + std::to_string(::getpid()));
  fs::create_symlink(dir_ / "victim.txt", temporary);
  ASSERT_EQ(ZK_PART_save_work_only(), 0);
  EXPECT_EQ(read_file(dir_ / "victim.txt"), "untouched");
  EXPECT_FALSE(fs::is_symlink(dir_ / "p.prt")) << "the link itself became the part file";
  EXPECT_NE(read_file(dir_ / "p.prt").find("orvel part"), std::string::npos);
  EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));

  fs::copy_file(dir_ / "stale.txt", temporary);
  ASSERT_EQ(ZK_PART_save_work_only(), 0) << "a file left by a killed run stops no save";
  EXPECT_FALSE(fs::exists(temporary));
}

// A number the format cannot hold (an object moved beyond the range of
// numbers) fails the save and leaves the file as it was, rather than
// writing a part that cannot be opened again.
TEST_F(PartFiles, ASaveThatWouldWriteANumberThatIsNotFiniteFails) {
  part("far.prt", R"({"objects": [{"id": "l1", "kind": "line", "start": [1e308, 0, 0],
    "end": [0, 0, 0]}]})");
  const std::string before = read_file(dir_ / "far.prt");
  tag_t p = open("far.prt");
  tag_t line = NULL_TAG;
  ASSERT_EQ(ZK_OBJ_cycle_objs_in_part(p, ZK_line_type, &line), 0);
  double matrix[16];
  const double by[3] = {1e308, 0, 0};
  zk5943(by, matrix);
  int count = 1, mode = ZK_TRANSFORM_MOVE, layer_option = 0, trace = 2, status = -1;
  tag_t copies = NULL_TAG, group = NULL_TAG;
  zk5947(matrix, &line, &count, &mode, &layer_option, &trace, &copies, &group, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(ZK_PART_save_work_only(), kPartSaveFailed);
  EXPECT_NE(last_failure_detail().find("the number at /objects/0/start/0 is not finite"),
            std::string::npos)
      << last_failure_detail();
  EXPECT_EQ(read_file(dir_ / "far.prt"), before);
}

TEST_F(PartFiles, ReportASaveThatCannotWrite) {
  part("d/p.prt", "{}");
  open("d/p.prt");
  fs::remove_all(dir_ / "d");
  EXPECT_EQ(ZK_PART_save_work_only(), kPartSaveFailed);
  EXPECT_NE(last_failure_detail().find("d/p.prt"), std::string::npos);
}

}  // namespace
}  // namespace orvel::test
