// Reading the sides: bad reports, result files, pairing and the parallel run.
#include <gtest/gtest.h>

#include <filesystem>

#include "compare_run.hpp"
#include "report_builder.hpp"
#include "report_tree.hpp"
#include "sides.hpp"

namespace vettra::compare {
namespace {

namespace fs = std::filesystem;
using testing::fresh_dir;
using testing::ReportText;
using testing::write_file;

struct BadInput {
  const char *label;
  std::string content;
  const char *message;  // the start of the message the reader gives
};

class BadReport : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadReport, IsUnreadableWithAClearMessage) {
  const Report report = parse_report(GetParam().content, GetParam().label);
  EXPECT_EQ(report.state, ReadState::unreadable);
  EXPECT_EQ(report.message.rfind(GetParam().message, 0), 0u) << report.message;
}

std::string truncated() {
  const std::string text = ReportText().text();
  return text.substr(0, text.size() / 2);
}

// Far deeper than any report: must be refused, not read by recursion until the stack ends.
std::string deeply_nested() {
  constexpr int depth = 100000;
  std::string text = "<?xml version=\"1.0\"?>\n<Trellum_VettraData>";
  for (int i = 0; i < depth; ++i) text += "<a>";
  for (int i = 0; i < depth; ++i) text += "</a>";
  return text + "</Trellum_VettraData>\n";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadReport,
    ::testing::Values(BadInput{"empty", "", "empty file"}, BadInput{"blank", " \n\n", "empty file"},
                      BadInput{"truncated", truncated(), "truncated report"},
                      BadInput{"binary",
                               std::string("\x7f"
                                           "ELF\x02\x01\x01\0\0\0\x03\0>\0",
                                           14),
                               "binary file"},
                      BadInput{"other",
                               "<?xml version=\"1.0\"?>\n<project><name>x</name></project>\n",
                               "not a Vettra report: its root element is <project>"},
                      BadInput{"text", "ObjectCLI;ResultCode\nsome text\n", "not XML"},
                      BadInput{"nested", deeply_nested(),
                               "not a Vettra report: elements nested more than 256 deep"}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(ReadReport, ManyRecordsSideBySideAreNotDeep) {
  std::string text = "<?xml version=\"1.0\"?>\n<Trellum_VettraData><List>";
  for (int i = 0; i < 1000; ++i) text += "<Item><Name>i" + std::to_string(i) + "</Name></Item>";
  const Report report = parse_report(text + "</List></Trellum_VettraData>\n", "wide");
  EXPECT_EQ(report.state, ReadState::ok) << report.message;
}

TEST(ReadReport, AnUnescapedAmpersandIsReadWithRecoveryAndCompared) {
  ReportText text;
  text.cli_name = "[parts/nuts & bolts.prt]";
  const Report report = parse_report(text.text(), "nuts");
  ASSERT_EQ(report.state, ReadState::recovered);
  EXPECT_EQ(report.message.rfind("read with recovery", 0), 0u) << report.message;
  const fs::path dir = fresh_dir("recovery");
  write_file(dir / "a" / "nuts.xml", text.text());
  text.volume = "1001.000000";
  write_file(dir / "b" / "nuts.xml", text.text());
  const Side before = load_side(dir / "a");
  const Side after = load_side(dir / "b");
  const Rules rules = Rules::profile("strict");
  TreeComparer comparer(rules);
  const PartResult result = compare_pair(pair_sides(before, after).at(0), comparer, rules);
  EXPECT_EQ(result.verdict, Verdict::differs);
  ASSERT_EQ(result.differences.size(), 1u);
  EXPECT_EQ(result.differences[0].family, "volume");
  ASSERT_EQ(result.notes.size(), 2u);
  EXPECT_EQ(result.notes[0].rfind("before: read with recovery", 0), 0u);
  fs::remove_all(dir);
}

TEST(ResultFile, RecordsSplitEvenWhenAFieldHoldsASemicolon) {
  ResultRecord record;
  ASSERT_TRUE(
      parse_result_record("parts/flange #2; rev=A.prt;0;OK;out/flange__2__rev_A.xml", record));
  EXPECT_EQ(record.spec, "parts/flange #2; rev=A.prt");
  EXPECT_EQ(record.code, "0");
  EXPECT_EQ(record.message, "OK");
  EXPECT_EQ(record.report, "out/flange__2__rev_A.xml");
  ASSERT_TRUE(parse_result_record("@DB/4711/B;1012;Attribute; bad [1059];out/4711_B_.xml", record));
  EXPECT_EQ(record.message, "Attribute; bad [1059]");
  EXPECT_FALSE(parse_result_record("no fields here", record));
  EXPECT_FALSE(parse_result_record("a;b;c;d", record));
}

TEST(ResultFile, PartsThatDidNotOpenGetTheReportNameTheyWouldHave) {
  EXPECT_EQ(report_name_for_spec("parts/flange #2; rev=A.prt"), "flange__2__rev_A.xml");
  EXPECT_EQ(report_name_for_spec("bracket.prt"), "bracket.xml");
  EXPECT_EQ(report_name_for_spec("@DB/4711/B"), "4711_B_.xml");
  EXPECT_EQ(report_name_for_spec("@DB/4711/B/datasheet/sheet 1"), "4711_B_datasheet_sheet_1.xml");
}

// Two batch runs: a changed result code is flagged although the reports are the same; a
// part that no longer opens differs; the report paths are found beside the result file.
TEST(ResultFile, AChangedResultRecordIsFlaggedWhateverTheReportSays) {
  const fs::path dir = fresh_dir("results");
  for (const char *side : {"before", "after"}) {
    write_file(dir / side / "out" / "bracket.xml", ReportText().text());
    write_file(dir / side / "out" / "cover.xml", ReportText().text());
  }
  write_file(dir / "before" / "result.txt",
             "ObjectCLI;ResultCode;ResultMsg;xml_filename\n"
             "parts/bracket.prt;0;OK;out/bracket.xml\n"
             "parts/cover.prt;0;OK;out/cover.xml\n"
             "parts/gone.prt;-1001;error loading part;N.N\n"
             "parts/panel.prt;0;OK;out/panel.xml\n"
             "parts/very_long.prt;-1023;report missing: no path for very_long.xml in the "
             "output directory;\n");
  write_file(dir / "after" / "result.txt",
             "ObjectCLI;ResultCode;ResultMsg;xml_filename\n"
             "parts/bracket.prt;1012;Attribute is of another type [1059];out/bracket.xml\n"
             "parts/cover.prt;-1001;error loading part;N.N\n"
             "parts/gone.prt;-1001;error loading part;N.N\n"
             "parts/panel.prt;-1021;report incomplete (3 lines lost), not saved;out/panel.xml\n"
             "parts/very_long.prt;-1023;report missing: no path for very_long.xml in the "
             "output directory;\n");
  // An earlier run's report of the incomplete one stays; it is not compared.
  write_file(dir / "before" / "out" / "panel.xml", ReportText().text());
  write_file(dir / "after" / "out" / "panel.xml", "<?xml version=\"1.0\"?>\n<Trellum_Vet");
  const Side before = load_side(dir / "before" / "result.txt");
  const Side after = load_side(dir / "after" / "result.txt");
  const Rules rules = Rules::profile("strict");
  TreeComparer comparer(rules);
  const auto pairs = pair_sides(before, after);
  ASSERT_EQ(pairs.size(), 5u);

  const PartResult bracket = compare_pair(pairs[0], comparer, rules);
  EXPECT_EQ(bracket.name, "bracket.xml");
  EXPECT_EQ(bracket.verdict, Verdict::differs);
  ASSERT_EQ(bracket.differences.size(), 2u);
  EXPECT_EQ(bracket.differences[0].path, "result record/ResultCode");
  EXPECT_EQ(bracket.differences[0].after, "1012");
  EXPECT_EQ(bracket.differences[1].after, "Attribute is of another type [1059]");

  const PartResult cover = compare_pair(pairs[1], comparer, rules);
  EXPECT_EQ(cover.verdict, Verdict::differs);
  ASSERT_EQ(cover.notes.size(), 1u);
  EXPECT_EQ(cover.notes[0], "after: no report (-1001;error loading part)");

  const PartResult gone = compare_pair(pairs[2], comparer, rules);
  EXPECT_EQ(gone.name, "gone.xml");
  EXPECT_EQ(gone.verdict, Verdict::same);

  const PartResult panel = compare_pair(pairs[3], comparer, rules);
  EXPECT_EQ(panel.verdict, Verdict::differs);
  ASSERT_EQ(panel.notes.size(), 1u);
  EXPECT_EQ(panel.notes[0], "after: no report (-1021;report incomplete (3 lines lost), not saved)");

  const PartResult very_long = compare_pair(pairs[4], comparer, rules);
  EXPECT_EQ(very_long.name, "very_long.xml");
  EXPECT_EQ(very_long.verdict, Verdict::same);
  fs::remove_all(dir);
}

// A record naming a directory: that part is unreadable, the other parts are compared
// (reading a directory used to throw inside a worker thread and abort the run).
TEST(ResultFile, AReportPathThatIsADirectoryIsUnreadable) {
  const fs::path dir = fresh_dir("dir_report");
  write_file(dir / "out" / "a.xml", ReportText().text());
  write_file(dir / "out" / "b.xml", ReportText().text());
  fs::create_directories(dir / "odd" / "a.xml");
  write_file(dir / "before.txt",
             "ObjectCLI;ResultCode;ResultMsg;xml_filename\n"
             "a.prt;0;OK;odd/a.xml\nb.prt;0;OK;out/b.xml\n");
  write_file(dir / "after.txt",
             "ObjectCLI;ResultCode;ResultMsg;xml_filename\n"
             "a.prt;0;OK;out/a.xml\nb.prt;0;OK;out/b.xml\n");
  std::vector<PartResult> results;
  run_comparison(
      pair_sides(load_side(dir / "before.txt"), load_side(dir / "after.txt")),
      Rules::profile("strict"), 2, [&](const PartResult &result) { results.push_back(result); },
      nullptr);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].verdict, Verdict::unreadable);
  ASSERT_EQ(results[0].notes.size(), 1u);
  EXPECT_EQ(results[0].notes[0],
            "before: cannot read " + (dir / "odd" / "a.xml").string() + ": Is a directory");
  EXPECT_EQ(results[1].verdict, Verdict::same);
  fs::remove_all(dir);
}

// Lines of a result file that are not records: unreadable on either side (never "missing"
// or "new"), and a long one is cut in the note.
TEST(ResultFile, LinesThatAreNotRecordsAreUnreadable) {
  const fs::path dir = fresh_dir("garbage");
  write_file(dir / "out" / "bracket.xml", ReportText().text());
  write_file(dir / "before.txt",
             "ObjectCLI;ResultCode;ResultMsg;xml_filename\n"
             "parts/bracket.prt;0;OK;out/bracket.xml\n"
             "garbage here\n" +
                 std::string(100000, 'x') + "\n");
  write_file(dir / "after.txt",
             "ObjectCLI;ResultCode;ResultMsg;xml_filename\n"
             "parts/bracket.prt;0;OK;out/bracket.xml\n");
  const Side before = load_side(dir / "before.txt");
  const Side after = load_side(dir / "after.txt");
  const Rules rules = Rules::profile("strict");
  TreeComparer comparer(rules);
  // The stray lines on the first side, then on the second.
  for (const auto &pairs : {pair_sides(before, after), pair_sides(after, before)}) {
    ASSERT_EQ(pairs.size(), 3u);
    for (const PartPair &pair : pairs) {
      if (pair.name.rfind("line ", 0) != 0) continue;
      const PartResult result = compare_pair(pair, comparer, rules);
      EXPECT_EQ(result.verdict, Verdict::unreadable) << pair.name;
      ASSERT_EQ(result.notes.size(), 1u);
      EXPECT_LT(result.notes[0].size(), 200u);
      EXPECT_NE(result.notes[0].find("not a result record: "), std::string::npos);
    }
  }
  fs::remove_all(dir);
}

TEST(Sides, ClearErrorsForSidesThatCannotBeCompared) {
  const fs::path dir = fresh_dir("sides");
  write_file(dir / "reports" / "a.xml", ReportText().text());
  write_file(dir / "notes.txt", "just some notes\n");
  const auto message = [](auto &&load) {
    try {
      load();
    } catch (const std::runtime_error &error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([&] { load_side(dir / "absent"); }),
            "cannot read " + (dir / "absent").string() + ": No such file or directory");
  EXPECT_NE(message([&] { load_side(dir / "notes.txt"); })
                .find("neither a directory nor a "
                      "result file"),
            std::string::npos);
  const Side side = load_side(dir / "reports");
  const Side same = load_side(dir / "reports" / ".");
  EXPECT_NE(message([&] { check_distinct(side, same); }).find("both sides are the same directory"),
            std::string::npos);
  fs::remove_all(dir);
}

// Many pairs on several threads: every part once, in name order, with its verdict.
TEST(Run, EveryPairIsHandedOnOnceInOrder) {
  const fs::path dir = fresh_dir("run");
  constexpr int parts = 60;
  for (int i = 0; i < parts; ++i) {
    const std::string name = "p" + std::to_string(100 + i) + ".xml";
    ReportText text;
    if (i != 7) write_file(dir / "a" / name, text.text());
    if (i % 10 == 3) text.volume = "999.000000";
    if (i != 8) write_file(dir / "b" / name, text.text());
  }
  write_file(dir / "b" / "p150.xml", "");  // unreadable on one side
  const Side before = load_side(dir / "a");
  const Side after = load_side(dir / "b");
  std::vector<std::string> names;
  std::array<int, verdict_count> counts{};
  run_comparison(
      pair_sides(before, after), Rules::profile("strict"), 4,
      [&](const PartResult &result) {
        names.push_back(result.name);
        ++counts[static_cast<size_t>(result.verdict)];
      },
      nullptr);
  ASSERT_EQ(names.size(), static_cast<size_t>(parts));
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_EQ(counts[static_cast<size_t>(Verdict::differs)], 6);
  EXPECT_EQ(counts[static_cast<size_t>(Verdict::missing)], 1);
  EXPECT_EQ(counts[static_cast<size_t>(Verdict::new_part)], 1);
  EXPECT_EQ(counts[static_cast<size_t>(Verdict::unreadable)], 1);
  EXPECT_EQ(counts[static_cast<size_t>(Verdict::same)], parts - 9);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vettra::compare
