// Drawings, views, drafting objects and dimensions through the C API; the
// update calls; the drawing-compare snapshot and how a save keeps it; part
// files that refer to missing or wrong drafting objects.
#include "model/drafting.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "api/codes.hpp"
#include "orvel/OrvelOpen.hpp"
#include "orvel/zk.h"
#include "partfile/part_file.hpp"
#include "session/session.hpp"
#include "test_support.hpp"

namespace fs = std::filesystem;

namespace orvel::test {
namespace {

// Two drawings: SHEET1 with two views (one anchored, one with a note and a
// retained dimension) and SHEET2, which cannot be brought up to date, with
// a view whose long name shares its first 30 characters with another's.
const char kDrawings[] = R"json({"objects": [
  {"id": "f1", "kind": "feature", "name": "BLOCK(1)"},
  {"id": "f2", "kind": "feature", "name": "HOLE(2)", "update_failure": 1201},
  {"id": "f3", "kind": "feature", "name": "EDGE(3)", "update_failure": 1202},
  {"id": "pt", "kind": "point", "coordinates": [1.5, 2.5, 3.5]},
  {"id": "gone", "kind": "line", "start": [0,0,0], "end": [1,0,0], "status": "deleted"},
  {"id": "sheet1", "kind": "view", "name": "SHEET1"},
  {"id": "top", "kind": "view", "name": "TOP@1", "view_type": 1, "view_subtype": 2,
   "reference_point": [100, 50], "anchor": "pt", "scale": 0.5, "angle": 90,
   "borders": [1, 2, 3, 4], "out_of_date": true, "notes": ["note"]},
  {"id": "front", "kind": "view", "name": "FRONT@2", "out_of_date": true},
  {"id": "d1", "kind": "drawing", "name": "SHEET1", "sheet_view": "sheet1",
   "views": ["top", "front"], "out_of_date": true},
  {"id": "sheet2", "kind": "view", "name": "SHEET2"},
  {"id": "long1", "kind": "view", "name": "A_VERY_LONG_VIEW_NAME_OF_THIRTY_ONE", "out_of_date": true},
  {"id": "long2", "kind": "view", "name": "A_VERY_LONG_VIEW_NAME_OF_THIRTY_TWO"},
  {"id": "stuck", "kind": "view", "name": "STUCK@4", "update_failure": 1203, "out_of_date": true},
  {"id": "d2", "kind": "drawing", "name": "SHEET2", "sheet_view": "sheet2",
   "views": ["long1", "long2", "stuck"], "updatable": false},
  {"id": "note", "kind": "drafting", "subtype": 1, "view": "top", "origin": [10, 20, 0],
   "associated": ["pt"], "displayable": false,
   "texts": [{"type": 3, "font": 2, "size": 3.5, "angle": 45, "lines": ["A & B", "C"]},
             {"lines": []}]},
  {"id": "dim", "kind": "dimension", "subtype": 2, "view": "sheet1", "retained": true,
   "associated": ["gone", "pt", "note"], "sketch_value": 12.5, "name": "p7",
   "transferable": false},
  {"id": "label", "kind": "drafting", "subtype": 37, "view": "sheet1", "retained": true},
  {"id": "model_dim", "kind": "dimension", "subtype": 1}
]})json";

class Drafting : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    part("drawings.prt", kDrawings);
    part_ = open("drawings.prt");
  }
  tag_t by_handle(const std::string &handle) {
    for (tag_t t = ZK_OBJ_cycle_all(part_, NULL_TAG); t; t = ZK_OBJ_cycle_all(part_, t)) {
      if (handle == ZK_TAG_ask_handle_of_tag(t)) return t;
    }
    ADD_FAILURE() << "no object " << handle;
    return NULL_TAG;
  }
  std::vector<std::string> view_cycle(tag_t view) {
    std::vector<std::string> handles;
    tag_t t = NULL_TAG;
    while (ZK_VIEW_cycle_objects(view, ZK_VIEW_DEPENDENT_CYCLE, &t) == 0 && t) {
      handles.push_back(ZK_TAG_ask_handle_of_tag(t));
    }
    return handles;
  }
  std::vector<std::string> name_cycle(const char *drawing) {
    std::vector<std::string> names;
    char name[ZK_VIEW_CYCLE_NAME_BUFSIZE] = "";
    for (int guard = 0; guard < 10; ++guard) {
      zc6499(drawing, name);
      if (!name[0]) break;
      names.push_back(name);
    }
    return names;
  }
  logical out_of_date(const char *handle) {
    logical flag = 2;
    EXPECT_EQ(ZK_DRAW_is_object_out_of_date(by_handle(handle), &flag), 0);
    return flag;
  }
  tag_t part_ = NULL_TAG;
};

TEST_F(Drafting, AnswerEveryViewQuery) {
  tag_t d1 = by_handle("d1"), top = by_handle("top");
  tag_t sheet = NULL_TAG;
  ASSERT_EQ(ZK_DRAW_ask_view_of_drawing(d1, &sheet), 0);
  EXPECT_EQ(sheet, by_handle("sheet1"));
  int count = 0;
  tag_t *views = nullptr;
  ASSERT_EQ(ZK_DRAW_ask_views(d1, &count, &views), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(views[0], top);
  EXPECT_EQ(views[1], by_handle("front"));
  ZK_free(views);

  double ref[2], borders[4], xyz[3], scale = 0, angle = 0;
  int kind = 0, type = 0, subtype = 0;
  tag_t anchor = NULL_TAG;
  ASSERT_EQ(ZK_DRAW_ask_drawing_ref_pt(top, ref), 0);
  EXPECT_EQ(ref[0], 100);
  EXPECT_EQ(ref[1], 50);
  ASSERT_EQ(ZK_DRAW_ask_view_anchor(top, &anchor), 0);
  ASSERT_EQ(ZK_CURVE_ask_point_data(anchor, xyz), 0);
  EXPECT_EQ(xyz[2], 3.5);
  ASSERT_EQ(ZK_DRAW_ask_view_anchor(by_handle("front"), &anchor), 0);
  EXPECT_EQ(anchor, NULL_TAG);
  ASSERT_EQ(ZK_DRAW_ask_view_parm_scale(top, &kind, &scale), 0);
  EXPECT_EQ(scale, 0.5);
  ASSERT_EQ(ZK_DRAW_ask_view_angle(top, &angle), 0);
  EXPECT_EQ(angle, 90);
  ASSERT_EQ(ZK_DRAW_ask_view_borders(top, borders), 0);
  EXPECT_EQ(borders[0], 1);
  EXPECT_EQ(borders[3], 4);
  ASSERT_EQ(ZK_VIEW_ask_type(top, &type, &subtype), 0);
  EXPECT_EQ(type * 10 + subtype, 12);
  tag_t *notes = nullptr;
  ASSERT_EQ(ZK_DRAW_ask_view_notes(top, &count, &notes), 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(notes[0], by_handle("note"));
  ZK_free(notes);
  ASSERT_EQ(ZK_DRAW_ask_view_notes(by_handle("front"), &count, &notes), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(notes, nullptr);

  // A view query about a drawing, and a drawing query about a view, fail.
  EXPECT_EQ(ZK_DRAW_ask_view_angle(d1, &angle), kWrongType);
  EXPECT_EQ(ZK_DRAW_ask_views(top, &count, &views), kWrongType);
  EXPECT_EQ(ZK_DRAW_ask_view_angle(999999, &angle), kInvalidTag);
}

TEST_F(Drafting, CycleTheObjectsOfAViewInOrder) {
  EXPECT_EQ(view_cycle(by_handle("sheet1")), (std::vector<std::string>{"dim", "label"}));
  EXPECT_EQ(view_cycle(by_handle("top")), (std::vector<std::string>{"note"}));
  EXPECT_TRUE(view_cycle(by_handle("front")).empty());
  tag_t t = NULL_TAG;
  EXPECT_EQ(ZK_VIEW_cycle_objects(by_handle("top"), 1, &t), kInvalidArgument);
  t = by_handle("dim");  // an object of another view
  EXPECT_EQ(ZK_VIEW_cycle_objects(by_handle("top"), ZK_VIEW_DEPENDENT_CYCLE, &t), kInvalidTag);
  EXPECT_EQ(t, NULL_TAG);
}

TEST_F(Drafting, CycleViewNamesCutToTheirBufferAndEndEvenForSharedPrefixes) {
  EXPECT_EQ(name_cycle("SHEET1"), (std::vector<std::string>{"TOP@1", "FRONT@2"}));
  // Both long names cut to the same 30 characters: handed out once.
  EXPECT_EQ(name_cycle("SHEET2"),
            (std::vector<std::string>{"A_VERY_LONG_VIEW_NAME_OF_THIRT", "STUCK@4"}));
  EXPECT_TRUE(name_cycle("NO SUCH DRAWING").empty());
  char name[ZK_VIEW_CYCLE_NAME_BUFSIZE] = "NOT A VIEW";
  zc6499("SHEET1", name);
  EXPECT_STREQ(name, "");

  tag_t view = NULL_TAG;
  ASSERT_EQ(ZK_VIEW_ask_tag_of_view_name("FRONT@2", &view), 0);
  EXPECT_EQ(view, by_handle("front"));
  ASSERT_EQ(ZK_VIEW_ask_tag_of_view_name("A_VERY_LONG_VIEW_NAME_OF_THIRT", &view), 0);
  EXPECT_EQ(view, by_handle("long1"));
  ASSERT_EQ(ZK_VIEW_ask_tag_of_view_name("A_VERY_LONG_VIEW_NAME_OF_THIRTY_TWO", &view), 0);
  EXPECT_EQ(view, by_handle("long2"));
  EXPECT_EQ(ZK_VIEW_ask_tag_of_view_name("TOP", &view), kNotFound);
  EXPECT_EQ(view, NULL_TAG);
}

TEST_F(Drafting, BringADrawingUpToDateOnlyWhenAllItsViewsUpdate) {
  tag_t d1 = by_handle("d1"), d2 = by_handle("d2");
  EXPECT_EQ(out_of_date("d1"), 1);
  EXPECT_EQ(ZK_DRAW_update_one_view(d1, by_handle("top")), 0);
  EXPECT_EQ(out_of_date("top"), 0);
  EXPECT_EQ(out_of_date("d1"), 1) << "FRONT@2 is still out of date";
  EXPECT_EQ(ZK_DRAW_update_one_view(d1, by_handle("front")), 0);
  EXPECT_EQ(out_of_date("d1"), 0);
  EXPECT_EQ(ZK_DRAW_update_one_view(d1, by_handle("long1")), kViewNotInDrawing);

  // A view that cannot update keeps its drawing out of date; so does a
  // drawing that is not updatable, once all its views are current.
  EXPECT_EQ(out_of_date("d2"), 1);
  EXPECT_EQ(ZK_DRAW_update_one_view(d2, by_handle("long1")), 0);
  EXPECT_EQ(ZK_DRAW_update_one_view(d2, by_handle("stuck")), kViewUpdateFailed);
  EXPECT_EQ(out_of_date("stuck"), 1);
  EXPECT_EQ(out_of_date("d2"), 1);
}

TEST_F(Drafting, UpdateFeaturesAsTheFailOptionSays) {
  EXPECT_EQ(ZK_MODL_update_all_features(), kFeatureUpdateFailed) << "stops at HOLE(2)";
  EXPECT_EQ(ZK_MODL_set_update_fail_option(3), kInvalidArgument);
  ASSERT_EQ(ZK_MODL_set_update_fail_option(ZK_MODL_UPDATE_ACCEPT), 0);
  EXPECT_EQ(ZK_MODL_update_all_features(), kFeatureUpdateFailed) << "the first failure counts";
  ZK_PART_close_all();
  EXPECT_EQ(ZK_MODL_update_all_features(), kNoWorkPart);
}

TEST_F(Drafting, DescribeDraftingObjects) {
  tag_t note = by_handle("note"), dim = by_handle("dim"), label = by_handle("label");
  logical flag = 2;
  ASSERT_EQ(ZK_DRF_is_annotation_retained(dim, &flag), 0);
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(ZK_DRF_is_annotation_retained(note, &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(ZK_DRF_is_annotation_retained(by_handle("top"), &flag), kWrongType);
  ASSERT_EQ(ZK_OBJ_is_displayable(note, &flag), 0);
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(ZK_OBJ_is_transferable(dim, &flag), 0);
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(ZK_OBJ_is_transferable(note, &flag), 0);
  EXPECT_EQ(flag, 1);
  double origin[3];
  ASSERT_EQ(ZK_DRF_ask_origin(note, origin), 0);
  EXPECT_EQ(origin[1], 20);
  int type = 0, subtype = 0;
  ASSERT_EQ(ZK_OBJ_ask_type_and_subtype(label, &type, &subtype), 0);
  EXPECT_EQ(type * 100 + subtype, 2537);

  int dependent = -1;
  char text[ZK_VIEW_DEPENDENCY_BUFSIZE];
  ASSERT_EQ(zc6409(note, &dependent, text), 0);
  EXPECT_EQ(dependent, 1);
  EXPECT_STREQ(text, "TOP@1");
  ASSERT_EQ(zc6409(by_handle("model_dim"), &dependent, text), 0);
  EXPECT_EQ(dependent, 0);
  EXPECT_STREQ(text, "model");

  // Only a dimension with a sketch value is a sketch dimension; any other
  // object leaves the outputs alone.
  int status = 0, sketch = -1;
  double value = 0;
  char exp[ZK_SKET_DIM_TEXT_BUFSIZE] = "";
  ASSERT_EQ(ZK_SKET_ask_dim_status(dim, &status, exp, &value, &sketch), 0);
  EXPECT_EQ(value, 12.5);
  EXPECT_STREQ(exp, "p7=12.5");
  value = 0;
  sketch = -1;
  EXPECT_EQ(ZK_SKET_ask_dim_status(note, &status, exp, &value, &sketch), kNotASketchDimension);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(sketch, -1);
}

TEST_F(Drafting, HandOutAssociativityWithAtLeastTwoWordsAndDeadObjects) {
  int count = -1;
  tag_t *objects = nullptr;
  ASSERT_EQ(ZK_DRF_ask_associativity_data(by_handle("note"), &count, &objects), 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(objects[0], by_handle("pt"));
  EXPECT_EQ(objects[1], NULL_TAG) << "a second word, 0, for a single associated object";
  EXPECT_EQ(ZK_OBJ_ask_status(objects[1]), ZK_OBJ_DELETED);
  ZK_free(objects);

  ASSERT_EQ(ZK_DRF_ask_associativity_data(by_handle("dim"), &count, &objects), 0);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(ZK_OBJ_ask_status(objects[0]), ZK_OBJ_DELETED) << "the line is dead";
  EXPECT_EQ(ZK_OBJ_ask_status(objects[1]), ZK_OBJ_ALIVE);
  ZK_free(objects);

  ASSERT_EQ(ZK_DRF_ask_associativity_data(by_handle("label"), &count, &objects), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(objects, nullptr);
}

// Reads a field of a record by its byte offset, as a caller that knows only
// the published layout does.
template <typename T>
T at(const void *record, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char *>(record) + offset, sizeof value);
  return value;
}

TEST_F(Drafting, HandOutTextBlocksInTheFixedLayoutAndTakeThemBackOnce) {
  int count = 0;
  ZK_DRF_draft_aid_text_t *blocks = nullptr;
  ASSERT_EQ(ZK_DRF_ask_draft_aid_text_info(by_handle("note"), &count, &blocks), 0);
  ASSERT_EQ(count, 2);
  const char *first = reinterpret_cast<const char *>(blocks);
  EXPECT_EQ(at<int>(first, 0), 3);
  EXPECT_EQ(at<int>(first, 4), 2);
  EXPECT_EQ(at<double>(first, 8), 3.5);
  EXPECT_EQ(at<double>(first, 16), 45);
  ASSERT_EQ(at<int>(first, 96), 2);
  const char *lines = at<const char *>(first, 104);
  EXPECT_STREQ(at<const char *>(lines, 152), "A & B");
  EXPECT_STREQ(at<const char *>(lines + 160, 152), "C");
  const char *second = first + 112;
  EXPECT_EQ(at<int>(second, 96), 0);
  EXPECT_EQ(at<int>(second, 4), 1) << "the default font";

  ZK_DRF_draft_aid_text_t *copy = blocks;
  EXPECT_EQ(ZK_DRF_free_text(1, &blocks), kInvalidArgument) << "the count must match";
  EXPECT_EQ(blocks, copy) << "a refused release leaves the blocks alone";
  ASSERT_EQ(ZK_DRF_free_text(count, &blocks), 0);
  EXPECT_EQ(blocks, nullptr);
  EXPECT_EQ(ZK_DRF_free_text(count, &copy), kInvalidArgument) << "released already";

  ASSERT_EQ(ZK_DRF_ask_draft_aid_text_info(by_handle("dim"), &count, &blocks), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(blocks, nullptr);
  EXPECT_EQ(ZK_DRF_free_text(0, &blocks), 0);
}

TEST_F(Drafting, KeepASnapshotThroughASaveAndALoad) {
  OrvelOpen::Part *work = OrvelOpen::Session::GetSession()->Parts()->Work();
  ASSERT_NE(work, nullptr);
  EXPECT_EQ(work->Tag(), part_);
  work->DrawingCompare()->CreateSnapshot();
  ZK_DRAW_update_one_view(by_handle("d1"), by_handle("top"));
  work->DrawingCompare()->CreateSnapshot();
  ASSERT_EQ(ZK_PART_save_work_only(), 0);
  std::string saved = read_file(dir_ / "drawings.prt");
  ZK_PART_close_all();
  EXPECT_EQ(OrvelOpen::Session::GetSession()->Parts()->Work(), nullptr);

  auto reread = partfile::parse_part(saved, "drawings.prt");
  ASSERT_TRUE(reread->snapshot);
  const model::Snapshot &s = *reread->snapshot;
  EXPECT_EQ(s.sequence, 2) << "the second snapshot replaced the first";
  ASSERT_EQ(s.drawings.size(), 2u);
  EXPECT_EQ(s.drawings[0].name, "SHEET1");
  EXPECT_TRUE(s.drawings[0].out_of_date);
  EXPECT_EQ(s.drawings[0].sheet_dependents, 2);
  ASSERT_EQ(s.drawings[0].views.size(), 2u);
  EXPECT_EQ(s.drawings[0].views[0].name, "TOP@1");
  EXPECT_FALSE(s.drawings[0].views[0].out_of_date) << "taken after the update";
  EXPECT_EQ(s.drawings[0].views[0].notes, 1);
  EXPECT_EQ(s.drawings[0].views[0].borders[2], 3);
  EXPECT_EQ(s.drawings[1].views.size(), 3u);
  // The update and the snapshot are in the file: saving again changes nothing.
  EXPECT_EQ(partfile::format_part(*reread), saved);
  EXPECT_FALSE(static_cast<const model::View *>(reread->find_by_id("top"))->out_of_date);
}

TEST(PartSave, KilledBeforeTheRenameLeavesTheOldFileWhole) {
  fs::path dir = fs::temp_directory_path() / ("orvel_save_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::path file = dir / "p.prt";
  write_file(file, kDrawings);
  auto part = partfile::read_part(file.string());
  part->description = "changed";
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    partfile::write_part(*part, file.string(), [](const std::string &) { ::_exit(7); });
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7) << "the save died between the temporary file and the rename";
  EXPECT_EQ(read_file(file), kDrawings);
  int files = 0;
  for (const auto &entry : fs::directory_iterator(dir)) {
    ++files;
    if (entry.path() != file) {
      EXPECT_NE(read_file(entry.path()).find("changed"), std::string::npos)
          << "the temporary file holds the whole new text";
    }
  }
  EXPECT_EQ(files, 2);
  fs::remove_all(dir);
}

class StructureSync : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    part("leaf.prt", R"({"objects": [{"id": "m", "kind": "material"}]})");
    part("sub.prt", R"({"objects": [{"id": "c", "kind": "component", "part": "leaf.prt"}]})");
    part("top.prt", R"({"objects": [{"id": "c", "kind": "component", "part": "sub.prt"}]})");
    top_ = open("top.prt");
  }
  tag_t top_ = NULL_TAG;
};

TEST_F(StructureSync, SucceedsWhileEveryComponentFileIsAsLoaded) {
  EXPECT_EQ(ZK_FLTR_update_structure(top_), 0);
  EXPECT_EQ(ZK_FLTR_update_structure(top_ + 100000), kInvalidTag);
}

TEST_F(StructureSync, FailsForAComponentFileChangedSinceTheLoad) {
  part("leaf.prt", R"({"objects": []})");
  EXPECT_EQ(ZK_FLTR_update_structure(top_), kComponentChanged);
  EXPECT_NE(last_failure_detail().find("leaf.prt"), std::string::npos);
}

TEST_F(StructureSync, FailsForAComponentFileThatVanished) {
  fs::remove(dir_ / "sub.prt");
  EXPECT_EQ(ZK_FLTR_update_structure(top_), kComponentMissing);
  EXPECT_NE(last_failure_detail().find("sub.prt"), std::string::npos);
}

TEST_F(StructureSync, TellTheObserverOfEveryOpen) {
  std::vector<std::pair<std::string, int>> seen;
  set_part_open_observer([&](const std::string &name, int code) { seen.emplace_back(name, code); });
  open("top.prt");
  open_code("absent.prt");
  set_part_open_observer(nullptr);
  open("top.prt");
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{{"top.prt", 0},
                                                            {"absent.prt", kPartFileMissing}}));
}

TEST_F(StructureSync, FailsForAComponentThatCouldNotBeLoaded) {
  HostOptions options;
  options.load_options.failure_action = ZK_ASSEM_dont_abort_on_failure;
  configure(options);
  part("holey.prt", R"({"objects": [{"id": "c", "kind": "component", "part": "none.prt"}]})");
  int failed = 0;
  tag_t holey = open("holey.prt", &failed);
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(ZK_FLTR_update_structure(holey), kComponentMissing);
  EXPECT_NE(last_failure_detail().find("none.prt"), std::string::npos);
}

TEST_F(Drafting, DriveEveryUpdateAndTextCallThroughInjectedFailures) {
  part("inj.prt", R"({"objects": [
    {"id": "v", "kind": "view", "name": "V", "out_of_date": true},
    {"id": "d", "kind": "drawing", "name": "D", "views": ["v"]},
    {"id": "n", "kind": "drafting", "view": "v", "associated": ["v"],
     "texts": [{"lines": ["x"]}]}],
   "failures": [
    {"call": "ZK_MODL_set_update_fail_option", "code": 1002},
    {"call": "ZK_MODL_update_all_features", "code": 1201},
    {"call": "ZK_FLTR_update_structure", "code": 1107},
    {"call": "ZK_DRAW_update_one_view", "code": 1203, "object": "v"},
    {"call": "ZK_DRF_ask_associativity_data", "code": 1003, "times": 1},
    {"call": "ZK_DRF_free_text", "code": 1002}]})");
  tag_t p = open("inj.prt");
  EXPECT_EQ(ZK_MODL_set_update_fail_option(ZK_MODL_UPDATE_ACCEPT), 1002);
  EXPECT_EQ(ZK_MODL_update_all_features(), 1201);
  EXPECT_EQ(ZK_FLTR_update_structure(p), 1107);
  tag_t d = NULL_TAG, v = NULL_TAG, n = NULL_TAG;
  ZK_OBJ_cycle_objs_in_part(p, ZK_drawing_type, &d);
  ZK_OBJ_cycle_objs_in_part(p, ZK_view_type, &v);
  ZK_OBJ_cycle_objs_in_part(p, ZK_drafting_entity_type, &n);
  EXPECT_EQ(ZK_DRAW_update_one_view(d, v), 1203);
  logical flag = 0;
  ZK_DRAW_is_object_out_of_date(d, &flag);
  EXPECT_EQ(flag, 1) << "a view update that failed leaves the drawing out of date";
  int count = 0;
  tag_t *objects = nullptr;
  EXPECT_EQ(ZK_DRF_ask_associativity_data(n, &count, &objects), 1003);
  EXPECT_EQ(count, 0);
  ASSERT_EQ(ZK_DRF_ask_associativity_data(n, &count, &objects), 0) << "failed once only";
  ZK_free(objects);
  ZK_DRF_draft_aid_text_t *blocks = nullptr;
  ASSERT_EQ(ZK_DRF_ask_draft_aid_text_info(n, &count, &blocks), 0);
  EXPECT_EQ(ZK_DRF_free_text(count, &blocks), 1002);
  EXPECT_EQ(blocks, nullptr) << "released all the same";
}

struct BadDrafting {
  const char *label;
  const char *objects;
  const char *path;
  const char *problem;
};

TEST_F(Drafting, RefuseFilesThatReferToMissingOrWrongDraftingObjects) {
  const BadDrafting cases[] = {
      {"missing view", R"({"id": "d", "kind": "drawing", "views": ["nope"]})", "/objects/0/views/0",
       "unknown reference \"nope\""},
      {"sheet view not a view",
       R"({"id": "p", "kind": "point", "coordinates": [0,0,0]},
          {"id": "d", "kind": "drawing", "sheet_view": "p"})",
       "/objects/1/sheet_view", "\"p\" is not of the expected kind (a point, expected a view)"},
      {"anchor not a point",
       R"({"id": "w", "kind": "view"}, {"id": "v", "kind": "view", "anchor": "w"})",
       "/objects/1/anchor", "\"w\" is not of the expected kind (a view, expected a point)"},
      {"missing associated object", R"({"id": "n", "kind": "dimension", "associated": ["x"]})",
       "/objects/0/associated/0", "unknown reference"},
      {"unknown update code", R"({"id": "f", "kind": "feature", "update_failure": 4242})",
       "/objects/0/update_failure", "unknown host code 4242"},
      {"text line not a string", R"({"id": "n", "kind": "drafting", "texts": [{"lines": [1]}]})",
       "/objects/0/texts/0/lines/0", "expected a string"},
  };
  for (const BadDrafting &c : cases) {
    part("bad.prt", std::string(R"({"objects": [)") + c.objects + "]}");
    EXPECT_EQ(open_code("bad.prt"), kPartFileInvalid) << c.label;
    EXPECT_NE(last_failure_detail().find(std::string("bad.prt: ") + c.path + ": " + c.problem),
              std::string::npos)
        << c.label << ": " << last_failure_detail();
    EXPECT_EQ(ZK_ASSEM_ask_work_part(), part_) << c.label << ": the open part stays the work part";
  }
  const char *bad_snapshots[][2] = {
      {R"({"sequence": -1, "drawings": []})", "/snapshot/sequence"},
      {R"({"sequence": 1, "drawings": [{"name": "D", "out_of_date": 1,
          "sheet_dependents": 0, "views": []}]})",
       "/snapshot/drawings/0/out_of_date"},
      {R"({"sequence": 1, "drawings": [{"name": "D", "out_of_date": true,
          "sheet_dependents": 0, "views": [{"name": "V"}]}]})",
       "/snapshot/drawings/0/views/0"},
  };
  for (const auto &c : bad_snapshots) {
    part("bad.prt", std::string(R"({"snapshot": )") + c[0] + "}");
    EXPECT_EQ(open_code("bad.prt"), kPartFileInvalid) << c[1];
    EXPECT_NE(last_failure_detail().find(std::string("bad.prt: ") + c[1] + ":"), std::string::npos)
        << last_failure_detail();
  }
}

}  // namespace
}  // namespace orvel::test

namespace orvel::test {
namespace {

// The sample parts with drawings load, and a save gives back the same text
// whatever the update stage did to them before.
TEST_F(Drafting, LoadTheSampleDrawingPartsAndSaveThemUnchanged) {
  const char *samples[] = {"examples/plate_drawings.prt",
                           "examples/gear_drawings.prt",
                           "tests/e2e/parts/drawing_filters.prt",
                           "tests/e2e/parts/fail_2211_associativity.prt",
                           "tests/e2e/parts/fail_2301_free_text.prt",
                           "tests/e2e/parts/fail_2399_update_option.prt",
                           "tests/e2e/parts/fail_2400_update_features.prt",
                           "tests/e2e/parts/fail_2417_structure_sync.prt",
                           "tests/e2e/parts/fail_2445_update_view.prt"};
  for (const char *sample : samples) {
    fs::path source = fs::path(ORVEL_SOURCE_DIR) / sample;
    auto first = partfile::read_part(source.string());
    std::string saved = partfile::format_part(*first);
    EXPECT_EQ(partfile::format_part(*partfile::parse_part(saved, sample)), saved) << sample;
  }
  HostOptions options;
  options.load_options.failure_action = ZK_ASSEM_dont_abort_on_failure;
  configure(options);
  fs::copy_file(fs::path(ORVEL_SOURCE_DIR) / "tests/e2e/parts/sync_missing_component.prt",
                dir_ / "sync.prt");
  tag_t assembly = open("sync.prt");
  EXPECT_EQ(ZK_FLTR_update_structure(assembly), kComponentMissing);
}

}  // namespace
}  // namespace orvel::test
