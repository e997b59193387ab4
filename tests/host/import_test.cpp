// Objects built from a CGM file and what the import does with them: the work
// layer and view, conversion and colour, moving by a matrix, deleting
// drawings, and a save under another name that a reload shows.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "api/codes.hpp"
#include "cgm/writer.hpp"
#include "orvel/zk.h"
#include "test_support.hpp"

namespace orvel::test {
namespace {

// One drawing whose sheet view holds a note; a view of it holds a line.
const char kTemplate[] = R"json({"units": 2, "objects": [
  {"id": "s1", "kind": "view", "name": "SHEET1"},
  {"id": "v1", "kind": "view", "name": "TOP@1"},
  {"id": "d1", "kind": "drawing", "name": "SHEET1", "sheet_view": "s1", "views": ["v1"]},
  {"id": "r1", "kind": "drafting", "subtype": 1, "view": "s1", "layer": 3},
  {"id": "in_view", "kind": "line", "view": "v1", "layer": 3, "start": [0,0,0], "end": [1,0,0]},
  {"id": "keep", "kind": "dimension", "subtype": 1, "associated": ["in_view"]},
  {"id": "b1", "kind": "body", "layer": 3, "shape": {"type": "block", "corner": [0,0,0], "size": [1,1,1]}}
]})json";

class Import : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    part("template.prt", kTemplate);
    part_ = open("template.prt");
    cgm::Scene scene;
    scene.width = 100;
    scene.height = 50;
    cgm::Item polyline;
    polyline.kind = cgm::ItemKind::kPolyline;
    polyline.points = {{0, 0}, {25.4, 0}, {25.4, 50.8}};
    cgm::Item circle;
    circle.kind = cgm::ItemKind::kCircle;
    circle.centre = {50.8, 25.4};
    circle.radius = 12.7;
    cgm::Item text;
    text.kind = cgm::ItemKind::kText;
    text.points = {{0, 25.4}};
    text.text = "NOTE";
    text.height = 5.08;
    scene.items = {polyline, circle, text};
    ASSERT_EQ(cgm::write_scene(scene, "picture.cgm", {}), "");
  }
  std::vector<tag_t> on_layer(int layer) {
    std::vector<tag_t> tags;
    tag_t t = NULL_TAG;
    while (ZK_LAYER_cycle_by_layer(layer, &t) == 0 && t) tags.push_back(t);
    return tags;
  }
  tag_t part_ = NULL_TAG;
};

TEST_F(Import, CreatesObjectsOfTheWorkViewOnTheWorkLayerInPartUnits) {
  tag_t sheet = NULL_TAG;
  ASSERT_EQ(ZK_VIEW_ask_work_view(&sheet), 0);
  char name[ZK_OBJ_NAME_BUFSIZE] = "";
  ZK_OBJ_ask_name(sheet, name);
  EXPECT_STREQ(name, "SHEET1");
  ASSERT_EQ(ZK_LAYER_set_status(40, ZK_LAYER_WORK), 0);
  char message[ZK_CGM_MESSAGE_BUFSIZE] = "x";
  ASSERT_EQ(zc6411("picture.cgm", message), 0);
  EXPECT_STREQ(message, "");
  std::vector<tag_t> created = on_layer(40);
  ASSERT_EQ(created.size(), 4u) << "two lines of the polyline, the circle, the note";
  int type = 0, subtype = 0;
  ZK_OBJ_ask_type_and_subtype(created[3], &type, &subtype);
  EXPECT_EQ(type, ZK_drafting_entity_type);
  int dependent = 0;
  char view_name[ZK_VIEW_DEPENDENCY_BUFSIZE] = "";
  ASSERT_EQ(zc6409(created[1], &dependent, view_name), 0);
  EXPECT_EQ(dependent, 1);
  EXPECT_STREQ(view_name, "SHEET1");
  // The part is in inches: 25.4 mm on the sheet is one unit.
  double origin[3] = {0, 0, 0};
  ASSERT_EQ(ZK_DRF_ask_origin(created[3], origin), 0);
  EXPECT_NEAR(origin[1], 1.0, 0.01);
}

TEST_F(Import, MalformedOrMissingFilesFailWithTheFileNamedAndNothingCreated) {
  write_file(dir_ / "text.cgm", "this is text\n");
  const std::string long_name = std::string(300, 'n') + ".cgm";
  for (const std::string &file : {std::string("text.cgm"), std::string("absent.cgm"), long_name}) {
    ASSERT_EQ(ZK_LAYER_set_status(50, ZK_LAYER_WORK), 0);
    char message[ZK_CGM_MESSAGE_BUFSIZE];
    std::memset(message, 'x', sizeof(message));
    EXPECT_EQ(zc6411(file.c_str(), message), kCgmReadFailed) << file;
    EXPECT_LT(std::strlen(message), sizeof(message)) << "cut to the buffer";
    EXPECT_EQ(std::string(message).substr(0, 8), file.substr(0, 8));
  }
  EXPECT_EQ(on_layer(50).size(), 0u);
  ZK_PART_close_all();
  char message[ZK_CGM_MESSAGE_BUFSIZE] = "";
  EXPECT_EQ(zc6411("picture.cgm", message), kNoWorkPart);
  EXPECT_NE(std::string(message).find("no work part"), std::string::npos);
}

TEST_F(Import, ConvertColourAndMoveTheObjectsOfTheLayer) {
  tag_t sheet = NULL_TAG;
  ZK_VIEW_ask_work_view(&sheet);
  std::vector<tag_t> objects = on_layer(3);
  ASSERT_EQ(objects.size(), 3u);
  EXPECT_EQ(ZK_VIEW_convert_to_model(sheet, objects[0]), 0);
  EXPECT_EQ(ZK_VIEW_convert_to_model(sheet, objects[1]), kNotOfView) << "of another view";
  EXPECT_EQ(ZK_VIEW_convert_to_model(sheet, objects[2]), 0) << "a model object already";
  EXPECT_EQ(ZK_OBJ_set_color(objects[0], 9), 0);
  EXPECT_EQ(ZK_OBJ_set_color(objects[0], -1), kInvalidArgument);
  ZK_OBJ_disp_props_t props{};
  ZK_OBJ_ask_display_properties(objects[0], &props);
  EXPECT_EQ(props.color, 9);

  const double vector[3] = {10, -5, 0};
  double matrix[16] = {0};
  zk5943(vector, matrix);
  const int one = 1, mode = ZK_TRANSFORM_MOVE, layer_option = 0, trace = 2;
  tag_t copies = 7, group = 7;
  int status = -1;
  zk5947(matrix, &objects[0], &one, &mode, &layer_option, &trace, &copies, &group, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(copies, NULL_TAG);
  zk5947(matrix, &objects[2], &one, &mode, &layer_option, &trace, &copies, &group, &status);
  EXPECT_EQ(status, kWrongType) << "a body is not moved";
  double rotation[16] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  zk5947(rotation, &objects[0], &one, &mode, &layer_option, &trace, &copies, &group, &status);
  EXPECT_EQ(status, kInvalidArgument);
  double origin[3] = {0, 0, 0};
  ASSERT_EQ(ZK_DRF_ask_origin(objects[0], origin), 0);
  EXPECT_EQ(origin[0], 10.0);
  EXPECT_EQ(origin[1], -5.0) << "moved once, the rotation refused";
}

TEST_F(Import, TheWorkLayerCannotBeLeftWithout) {
  EXPECT_EQ(ZK_LAYER_set_status(1, 0), kInvalidArgument);
  EXPECT_EQ(ZK_LAYER_set_status(0, ZK_LAYER_WORK), kInvalidArgument);
  EXPECT_EQ(ZK_LAYER_set_status(7, ZK_LAYER_WORK), 0);
  EXPECT_EQ(ZK_LAYER_set_status(1, 0), 0);
}

TEST_F(Import, DeletedDrawingsAndCreatedObjectsSurviveASaveAsAndAReload) {
  ASSERT_EQ(ZK_LAYER_set_status(50, ZK_LAYER_WORK), 0);
  char message[ZK_CGM_MESSAGE_BUFSIZE] = "";
  ASSERT_EQ(zc6411("picture.cgm", message), 0);
  std::vector<tag_t> created = on_layer(50);
  tag_t sheet = NULL_TAG;
  ZK_VIEW_ask_work_view(&sheet);
  for (tag_t t : created) ASSERT_EQ(ZK_VIEW_convert_to_model(sheet, t), 0);
  tag_t drawing = NULL_TAG;
  ASSERT_EQ(ZK_OBJ_cycle_objs_in_part(part_, ZK_drawing_type, &drawing), 0);
  ASSERT_EQ(ZK_DRAW_delete_drawing(drawing), 0);
  EXPECT_EQ(ZK_OBJ_ask_status(drawing), ZK_OBJ_DELETED);
  EXPECT_EQ(ZK_DRAW_delete_drawing(drawing), kInvalidTag);
  tag_t next = NULL_TAG;
  EXPECT_EQ(ZK_OBJ_cycle_objs_in_part(part_, ZK_drawing_type, &next), 0);
  EXPECT_EQ(next, NULL_TAG);
  ASSERT_EQ(ZK_PART_save_as("built.prt"), 0);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "built.prt"));
  ZK_PART_close_all();

  tag_t built = open("built.prt");
  next = NULL_TAG;
  EXPECT_EQ(ZK_OBJ_cycle_objs_in_part(built, ZK_drawing_type, &next), 0);
  EXPECT_EQ(next, NULL_TAG) << "no drawing saved";
  EXPECT_EQ(on_layer(50).size(), created.size());
  EXPECT_EQ(on_layer(3).size(), 1u) << "the objects of the drawing's views went with it";
  const std::string text = read_file(dir_ / "built.prt");
  EXPECT_EQ(text.find("in_view"), std::string::npos) << "no reference to a deleted object";
  EXPECT_NE(text.find("NOTE"), std::string::npos);
}

}  // namespace
}  // namespace orvel::test
