// Run configuration and load option values: what the command accepts, what
// it refuses, and where an accepted value lands in the record.
#include "fields.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "boundary/run_config.h"

using namespace orvel::cli;

namespace {

class TextFieldCapacity : public ::testing::TestWithParam<Field> {};

TEST_P(TextFieldCapacity, FillsTheFieldToTheLastCharacterAndRefusesMore) {
  const Field &field = GetParam();
  run_config record;
  std::memset(&record, 'x', sizeof record);
  char *member = reinterpret_cast<char *>(&record) + field.offset;

  FieldValues values(run_config_fields());
  std::string longest(field.capacity - 1, 'a');
  values.set(field.option, longest);
  values.apply(&record);
  EXPECT_EQ(std::string(member), longest);

  for (size_t length : {field.capacity, field.capacity * 10}) {
    FieldValues refused(run_config_fields());
    try {
      refused.set(field.member, std::string(length, 'b'));
      FAIL() << field.option << " took " << length << " characters";
    } catch (const std::invalid_argument &e) {
      std::string message = e.what();
      EXPECT_NE(message.find(std::string("--") + field.option), std::string::npos) << message;
      EXPECT_NE(message.find(std::to_string(field.capacity - 1)), std::string::npos) << message;
    }
    EXPECT_TRUE(refused.empty());
  }
}

std::vector<Field> text_fields() {
  std::vector<Field> texts;
  for (const Field &field : run_config_fields()) {
    if (field.kind == FieldKind::Text) texts.push_back(field);
  }
  return texts;
}

INSTANTIATE_TEST_SUITE_P(RunConfig, TextFieldCapacity, ::testing::ValuesIn(text_fields()),
                         [](const auto &info) { return std::string(info.param.member); });

TEST(RunConfigFields, EveryValueLandsInItsOwnMember) {
  run_config record{};
  FieldValues values(run_config_fields());
  values.set("single-part", "bracket.prt");
  values.set("part_list_file", "parts.txt");
  values.set("action", "ModelGetData,DrawingGetData");
  values.set("detail-option", "1,70");
  values.set("cgm-mode", "3");
  values.set("update-features", "1");
  values.set("snapshot", "2");
  values.set("save", "1");
  values.set("log-channel", "-2147483648");
  values.set("cgm2-layer", "2147483647");
  values.set("cgm-offset-x", "-12.5");
  values.set("cgm-offset-y", "1e3");
  values.apply(&record);
  EXPECT_STREQ(record.single_part, "bracket.prt");
  EXPECT_STREQ(record.part_list_file, "parts.txt");
  EXPECT_STREQ(record.action, "ModelGetData,DrawingGetData");
  EXPECT_STREQ(record.detail_option, "1,70");
  EXPECT_STREQ(record.cgm_mode, "3");
  EXPECT_STREQ(record.outdir, "");
  EXPECT_EQ(record.update_features, 1);
  EXPECT_EQ(record.update_views, 0);
  EXPECT_EQ(record.do_snapshot, 2);
  EXPECT_EQ(record.do_save, 1);
  EXPECT_EQ(record.log_channel, INT32_MIN);
  EXPECT_EQ(record.cgm2_layer, INT32_MAX);
  EXPECT_EQ(record.cgm1_layer, 0);
  EXPECT_DOUBLE_EQ(record.cgm_offset_x, -12.5);
  EXPECT_DOUBLE_EQ(record.cgm_offset_y, 1000.0);
}

TEST(RunConfigFields, ALaterValueReplacesAnEarlierOne) {
  run_config record{};
  FieldValues values(run_config_fields());
  values.set("outdir", "a long first directory");
  values.set("outdir", "b");
  values.set("verbose", "1");
  values.set("verbose", "0");
  values.apply(&record);
  EXPECT_STREQ(record.outdir, "b");
  EXPECT_EQ(0, std::memcmp(record.outdir, "b\0\0\0", 4));
  EXPECT_EQ(record.verbose, 0);
}

TEST(RunConfigFields, RefusesNumbersThatDoNotParseWhole) {
  FieldValues values(run_config_fields());
  for (const char *text : {"", "1x", " 1", "1 ", "2147483648", "-2147483649", "0x10", "1.0"}) {
    EXPECT_THROW(values.set("verbose", text), std::invalid_argument) << "'" << text << "'";
  }
  for (const char *text : {"", "abc", "1,5", "2.0m", " 1", "+1", "nan", "-inf", "infinity", "0x1p3",
                           "1e400", ".", "-", "1e", "1e+", "--1"}) {
    EXPECT_THROW(values.set("cgm-offset-x", text), std::invalid_argument) << "'" << text << "'";
  }
  EXPECT_THROW(values.set("verbose", "+1"), std::invalid_argument);
  EXPECT_THROW(values.set("no-such-field", "1"), std::invalid_argument);
  EXPECT_THROW(values.set("outdir", std::string("a\0b", 3)), std::invalid_argument);
  EXPECT_TRUE(values.empty());
}

TEST(RunConfigFields, TakesPlainDecimalNumbers) {
  run_config record{};
  for (auto [text, expected] : {std::pair{"-12.5e3", -12500.0},
                                {"0.5", 0.5},
                                {".5", 0.5},
                                {"7.", 7.0},
                                {"1E-2", 0.01},
                                {"-0", 0.0}}) {
    FieldValues values(run_config_fields());
    values.set("cgm-offset-y", text);
    values.apply(&record);
    EXPECT_DOUBLE_EQ(record.cgm_offset_y, expected) << text;
  }
}

TEST(LoadOptionFields, EveryOptionLandsInItsOwnMember) {
  ZK_ASSEM_options_t options{};
  FieldValues values(load_option_fields());
  values.set("load-options", "1");
  values.set("failure_action", "1");
  values.set("load-wave-parents", "2");
  values.set("emphasize-color", "186");
  values.apply(&options);
  EXPECT_EQ(options.load_options, 1);
  EXPECT_EQ(options.failure_action, 1);
  EXPECT_EQ(options.load_wave_parents, 2);
  EXPECT_EQ(options.emphasize_color, 186);
  EXPECT_EQ(options.parts_list, 0);
  EXPECT_EQ(options.load_fully, 0);
  EXPECT_EQ(load_option_fields().size(), sizeof(ZK_ASSEM_options_t) / sizeof(int));
}

}  // namespace
