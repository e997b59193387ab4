// The update stage and the entities section run in-process on the reference
// host: the views update's result against the error recorder's, the text
// block records as the host hands them out, and the detail option's fields.
#include "vettra/drawing/drawing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "orvel/zk.h"
#include "test_files.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/run_config.h"
#include "vettra/report/sections.h"
#include "vettra/text/bounded.h"

using vettra_test::read_file;
using vettra_test::ScratchDir;

namespace {

// Two drawings: SHEET_A stays out of date whatever its view does; SHEET_B
// has one out-of-date view that updates. NOTE has two text blocks.
const char kDrawings[] = R"({"objects": [
  {"id": "va", "kind": "view", "name": "A@1", "out_of_date": true},
  {"id": "sa", "kind": "view", "name": "SA"},
  {"id": "da", "kind": "drawing", "name": "SHEET_A", "sheet_view": "sa", "views": ["va"],
   "out_of_date": true, "updatable": false},
  {"id": "vb", "kind": "view", "name": "B@2", "out_of_date": true},
  {"id": "sb", "kind": "view", "name": "SB"},
  {"id": "db", "kind": "drawing", "name": "SHEET_B", "sheet_view": "sb", "views": ["vb"]},
  {"id": "note", "kind": "drafting", "subtype": 1, "view": "sb", "origin": [1, 2, 3],
   "texts": [{"type": 2, "font": 3, "size": 3.5, "angle": 45, "lines": ["first", "a & b"]},
             {"lines": ["only"]}]}
]})";

class DrawingRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ZK_initialize();
    saved_ = vettra_run_config;
    std::ofstream(dir_.file("drawings.prt")) << kDrawings;
    tag_t part = NULL_TAG;
    ZK_PART_load_status_t status{};
    ASSERT_EQ(ZK_PART_open(dir_.file("drawings.prt").c_str(), &part, &status), 0);
    reset_errors();
    testing::internal::CaptureStderr();
  }
  void TearDown() override {
    log_ = testing::internal::GetCapturedStderr();
    ZK_PART_close_all();
    vettra_run_config = saved_;
  }
  tag_t find_object(int wanted_type) {
    tag_t part = ZK_ASSEM_ask_work_part();
    for (tag_t object = ZK_OBJ_cycle_all(part, NULL_TAG); object != NULL_TAG;
         object = ZK_OBJ_cycle_all(part, object)) {
      int type = 0, subtype = 0;
      ZK_OBJ_ask_type_and_subtype(object, &type, &subtype);
      if (type == wanted_type) return object;
    }
    return NULL_TAG;
  }

  ScratchDir dir_;
  run_config saved_;
  std::string log_;
};

// The stage's result is the code assigned last; the recorder keeps the first
// failure of the part, the drawing still out of date.
TEST_F(DrawingRun, ViewsUpdateGivesTheLastCodeWhileTheResultKeepsTheFirstFailure) {
  EXPECT_EQ(update_drawing_views(""), 0);
  int code = 0;
  char message[ERROR_TEXT_SIZE] = "";
  fetch_result(&code, message);
  EXPECT_EQ(code, 200);
  EXPECT_NE(std::strstr(message, "[2454]"), nullptr) << message;
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("Update: A@1 (SHEET_A)"), std::string::npos) << log;
  EXPECT_LT(log.find("Error: SHEET_A out of date"), log.find("Update: B@2 (SHEET_B)")) << log;
  testing::internal::CaptureStderr();
}

TEST_F(DrawingRun, AFilterHoldingTheKeywordTakesOnlyTheDrawingOfThatName) {
  vettra_run_config.update_views = 1;
  COPY(vettra_run_config.drawing_filter, "_All_");
  vettra_run_state.views_update_code = -7;
  run_updates();
  EXPECT_EQ(vettra_run_state.views_update_code, 0);  // no drawing named "_All_"
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(log.find("Update: A@1"), std::string::npos) << log;
  EXPECT_EQ(log.find("out of date"), std::string::npos) << log;
  EXPECT_LT(log.find("Update: Drawing views"), log.find("Update: Drawing views ---> passed"));
  testing::internal::CaptureStderr();
}

// A drawing whose name does not fit the views update's 30 characters keeps
// its views as they are, but one left out of date still gives code 200.
TEST_F(DrawingRun, ADrawingWithALongNameIsNotUpdatedButStillTested) {
  const char long_part[] = R"({"objects": [
    {"id": "v", "kind": "view", "name": "V@1", "out_of_date": true},
    {"id": "s", "kind": "view", "name": "S"},
    {"id": "d", "kind": "drawing", "name": "A_DRAWING_NAME_OF_THIRTY_ONE_CH", "sheet_view": "s",
     "views": ["v"], "out_of_date": true, "updatable": false}
  ]})";
  ZK_PART_close_all();
  std::ofstream(dir_.file("long.prt")) << long_part;
  tag_t part = NULL_TAG;
  ZK_PART_load_status_t status{};
  ASSERT_EQ(ZK_PART_open(dir_.file("long.prt").c_str(), &part, &status), 0);
  reset_errors();
  EXPECT_EQ(update_drawing_views(""), 200);
  int code = 0;
  char message[ERROR_TEXT_SIZE] = "";
  fetch_result(&code, message);
  EXPECT_EQ(code, 200);
  EXPECT_NE(std::strstr(message, "[2454]"), nullptr) << message;
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(log.find("Update: V@1"), std::string::npos) << log;
  EXPECT_LT(log.find("Warning: A_DRAWING_NAME_OF_THIRTY_ONE_CH not updated"),
            log.find("Error: A_DRAWING_NAME_OF_THIRTY_ONE_CH out of date"))
      << log;
  testing::internal::CaptureStderr();
}

// The records are read here by their byte offsets, so that the layout the
// host hands out is pinned independently of the header's structure.
TEST_F(DrawingRun, TextBlocksComeAsFixedRecordsWithTheirLines) {
  tag_t note = find_object(ZK_drafting_entity_type);
  ASSERT_NE(note, NULL_TAG);
  int count = 0;
  ZK_DRF_draft_aid_text_t *blocks = nullptr;
  ASSERT_EQ(ZK_DRF_ask_draft_aid_text_info(note, &count, &blocks), 0);
  ASSERT_EQ(count, 2);
  const char *first = reinterpret_cast<const char *>(blocks);
  int type = 0, font = 0, lines = 0;
  double size = 0, angle = 0;
  const char *const *line_records = nullptr;
  std::memcpy(&type, first + 0, sizeof type);
  std::memcpy(&font, first + 4, sizeof font);
  std::memcpy(&size, first + 8, sizeof size);
  std::memcpy(&angle, first + 16, sizeof angle);
  std::memcpy(&lines, first + 96, sizeof lines);
  std::memcpy(&line_records, first + 104, sizeof line_records);
  EXPECT_EQ(type, 2);
  EXPECT_EQ(font, 3);
  EXPECT_EQ(size, 3.5);
  EXPECT_EQ(angle, 45.0);
  ASSERT_EQ(lines, 2);
  const char *texts[2] = {nullptr, nullptr};
  for (int i = 0; i < 2; i++) {
    std::memcpy(&texts[i], reinterpret_cast<const char *>(line_records) + i * 160 + 152,
                sizeof texts[i]);
  }
  EXPECT_STREQ(texts[0], "first");
  EXPECT_STREQ(texts[1], "a & b");
  const char *second = first + 112;
  std::memcpy(&lines, second + 96, sizeof lines);
  std::memcpy(&font, second + 4, sizeof font);
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(font, 1);  // the default font
  EXPECT_EQ(ZK_DRF_free_text(count, &blocks), 0);
  EXPECT_EQ(blocks, nullptr);
}

TEST_F(DrawingRun, EntitiesListTheSelectedTypesOnlyAndEscapeTextLines) {
  const std::string report = dir_.file("entities.xml");
  // 25 is given with blanks before and letters after; the other fields
  // select nothing.
  write_entities(report.c_str(), " 25x,0,1000,-5,abc,,x62");
  std::string text = read_file(report);
  EXPECT_NE(text.find("         <Entity xsi:type=\"Entity_Type25_SubType1\">\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.find("Entity_Type62"), std::string::npos) << text;
  EXPECT_NE(text.find("                <Text>a &#38; b</Text>\n"), std::string::npos);
  EXPECT_EQ(text.compare(text.size() - 19, 19, "       </Entities>\n"), 0) << text;
}

// A field longer than the 255 characters of its buffer is passed over: this
// one reads as 250, and cut to 255 characters it would read as 25.
TEST_F(DrawingRun, AnOverLongDetailFieldSelectsNothing) {
  const std::string report = dir_.file("long.xml");
  const std::string field = std::string(253, ' ') + "250";
  write_entities(report.c_str(), field.c_str());
  EXPECT_EQ(read_file(report), "        <Entities>\n       </Entities>\n");
  write_entities(report.c_str(), field.substr(0, 255).c_str());
  EXPECT_NE(read_file(report).find("Entity_Type25_SubType1"), std::string::npos);
}

struct FieldCount {
  const char *text;
  int fields;
};

class CountFields : public ::testing::TestWithParam<FieldCount> {};

TEST_P(CountFields, CountsDelimitersPlusOne) {
  EXPECT_EQ(count_fields(GetParam().text, ','), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(Texts, CountFields,
                         ::testing::Values(FieldCount{"", 1}, FieldCount{"26", 1},
                                           FieldCount{"25,26", 2}, FieldCount{"26,,25", 3},
                                           FieldCount{",", 2}, FieldCount{"25;26", 1}));

}  // namespace
