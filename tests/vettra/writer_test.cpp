// Report writer: line writers, escaping of element values, the load options
// block and the host release parser.
#include "vettra/report/writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstring>
#include <fstream>
#include <string>

#include "orvel/zk.h"
#include "session/host_control.hpp"
#include "test_files.h"
#include "vettra/report/frame.h"
#include "vettra/text/bounded.h"

using vettra_test::file_exists;
using vettra_test::read_file;
using vettra_test::ScratchDir;

namespace {

struct EscapeCase {
  std::string value;
  std::string escaped;
};

class XmlEscape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(XmlEscape, EscapesAmpersandsThroughTheMarkerAndAnglesAndTheDegreeSign) {
  char text[LINE_SIZE];
  copy_text(text, sizeof(text), GetParam().value.c_str());
  EXPECT_EQ(xml_escape(text, sizeof(text)), 0);
  EXPECT_EQ(std::string(text), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Values, XmlEscape,
    ::testing::Values(EscapeCase{"a&b", "a&#38;b"}, EscapeCase{"x<y>z", "x&lt;y&gt;z"},
                      EscapeCase{"90\xb0", "90&#176;"}, EscapeCase{"&#38;", "&#38;#38;"},
                      EscapeCase{"##38;", "&#38;"}, EscapeCase{"#&", "#&#38;"},
                      EscapeCase{"&&<<>>", "&#38;&#38;&lt;&lt;&gt;&gt;"},
                      EscapeCase{"say \"hi\" 'there'", "say \"hi\" 'there'"}, EscapeCase{"", ""}));

TEST(XmlEscapeBounds, AValueWithNothingToEscapeKeepsItsFullLength) {
  std::string value(1000, 'v');
  char text[LINE_SIZE];
  copy_text(text, sizeof(text), value.c_str());
  xml_escape(text, sizeof(text));
  EXPECT_EQ(std::string(text), value);
}

// An escaped form longer than the escape work text is cut before the first
// character that would not fit whole: never inside a reference.
TEST(XmlEscapeBounds, CutsBeforeAReferenceThatWouldNotFitWhole) {
  for (size_t prefix : {505, 510, 511, 512, 513, 514, 515}) {
    std::string value = std::string(prefix, 'p') + std::string(200, '&');
    char text[LINE_SIZE];
    copy_text(text, sizeof(text), value.c_str());
    xml_escape(text, sizeof(text));
    std::string escaped(text);
    ASSERT_LE(escaped.size(), static_cast<size_t>(ESCAPE_SIZE - 1)) << prefix;
    size_t references = (ESCAPE_SIZE - 1 - prefix) / 5;
    std::string expected = std::string(prefix, 'p');
    for (size_t i = 0; i < references; i++) expected += "&#38;";
    EXPECT_EQ(escaped, expected) << prefix;
  }
}

TEST(XmlEscapeBounds, NeverWritesPastASmallBufferWhateverTheInput) {
  for (size_t size : {1, 2, 5, 6, 7, 40}) {
    std::string value = std::string(size * 40, '<') + "\xb0";
    std::string storage(size + 16, '#');
    copy_text(storage.data(), size, value.c_str());
    xml_escape(storage.data(), size);
    EXPECT_EQ(storage.substr(size), std::string(16, '#')) << size;
    std::string escaped(storage.c_str());
    EXPECT_LT(escaped.size(), size);
    EXPECT_EQ(escaped.size() % 4, 0u) << "a reference was split: " << escaped;
  }
}

TEST(ReportLines, ElementValuesAreEscapedAndFormattedLinesAreNot) {
  ScratchDir dir;
  const std::string path = dir.file("report.xml");
  EXPECT_EQ(write_element(path.c_str(), "      ", "Name", "%s=%d", "a&b<c>", 7), 0);
  EXPECT_EQ(write_fmt(path.c_str(), "  <Raw>%s</Raw>", "a&b<c>"), 0);
  EXPECT_EQ(write_line(path.c_str(), "</End>"), 0);
  EXPECT_EQ(read_file(path),
            "      <Name>a&#38;b&lt;c&gt;=7</Name>\n"
            "  <Raw>a&b<c></Raw>\n"
            "</End>\n");
}

// A line is never cut: a long formatted line arrives whole with its closing
// tag; an element value keeps the capacity of its own buffer.
TEST(ReportLines, ALongLineIsWrittenWholeAndAnElementValueKeepsItsBuffer) {
  ScratchDir dir;
  const std::string path = dir.file("long.xml");
  const std::string huge(3 * LINE_SIZE, 'x');
  EXPECT_EQ(write_fmt(path.c_str(), "<L>%s</L>", huge.c_str()), 0);
  EXPECT_EQ(write_element(path.c_str(), " ", "E", "%s", huge.c_str()), 0);
  std::string expected_fmt = "<L>" + huge + "</L>\n";
  std::string expected_element = " <E>" + std::string(LINE_SIZE - 1, 'x') + "</E>\n";
  EXPECT_TRUE(read_file(path) == expected_fmt + expected_element)
      << "the long lines were not written whole";
}

// The caller's argument list reaches the line whole, whether the line fits
// the stack buffer or is formatted again at its own length.
int write_through_list(const char *path, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int result = vwrite_fmt(path, format, args);
  va_end(args);
  return result;
}

TEST(ReportLines, ALineFromTheCallersArgumentListIsWrittenWholeAtEveryLength) {
  ScratchDir dir;
  const std::string path = dir.file("list.xml");
  std::string expected;
  for (size_t length :
       {size_t(0), size_t(LINE_SIZE - 40), size_t(LINE_SIZE), 3 * size_t(LINE_SIZE)}) {
    const std::string text(length, 'y');
    EXPECT_EQ(
        write_through_list(path.c_str(), "<%s>%s|%d|%lf</%s>", "T", text.c_str(), -7, 2.5, "T"), 0);
    expected += "<T>" + text + "|-7|2.500000</T>\n";
  }
  EXPECT_TRUE(read_file(path) == expected) << "a line from an argument list was not written whole";
}

// Every writer reports a line it could not write, and each lost line is
// counted: a file that cannot be opened, and a device with no space left.
TEST(ReportLines, ALineThatCannotBeWrittenIsReportedAndCounted) {
  ScratchDir dir;
  const std::string missing = dir.file("no/such/dir/report.xml");
  for (const std::string &path : {std::string(), missing, std::string("/dev/full")}) {
    SCOPED_TRACE(path);
    unsigned long before = lost_line_count();
    EXPECT_EQ(write_line(path.c_str(), "x"), -1);
    EXPECT_EQ(write_fmt(path.c_str(), "%d", 1), -1);
    EXPECT_EQ(write_element(path.c_str(), " ", "E", "%d", 1), -1);
    write_xml_end(path.c_str());
    // The empty path is no file at all: nothing to lose.
    EXPECT_EQ(lost_line_count() - before, path.empty() ? 0u : 8u);
  }
  EXPECT_EQ(init_xml_file(""), -1);
  EXPECT_EQ(init_xml_file(missing.c_str()), -1);
  EXPECT_FALSE(file_exists(missing));
}

// A write that stops part way (here at a file size limit, as on a full disk)
// leaves the file as it was before the line, never with half of it.
TEST(ReportLines, ALineWrittenOnlyInPartIsTakenBackWhole) {
  ScratchDir dir;
  const std::string path = dir.file("result.txt");
  ASSERT_EQ(write_line(path.c_str(), "first;0;OK"), 0);
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 20;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  unsigned long before = lost_line_count();
  int written = write_line(path.c_str(), "second;0;OK;a line that does not fit");
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(written, -1);
  EXPECT_EQ(lost_line_count() - before, 1u);
  EXPECT_EQ(read_file(path), "first;0;OK\n");
}

// The process's address space now, from /proc/self/status; 0 when unknown.
size_t address_space_now() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmSize:") {
      size_t kb = 0;
      status >> kb;
      return kb * 1024;
    }
    status.ignore(4096, '\n');
  }
  return 0;
}

// A line longer than the stack buffer needs memory of its own: when there is
// none left, the line is lost and counted like any other lost line, and
// nothing is thrown at the caller (the plug-in's C callers cannot catch it,
// so it would end the process).
TEST(ReportLines, ALongLineWithNoMemoryLeftIsLostAndCountedNotThrown) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator ends the process instead of failing an allocation";
#endif
  ScratchDir dir;
  const std::string path = dir.file("no-memory.xml");
  ASSERT_EQ(write_line(path.c_str(), "<R>"), 0);
  const std::string huge(size_t{64} << 20, 'h');
  const size_t now = address_space_now();
  ASSERT_GT(now, 0u);
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  struct rlimit tight = saved;
  tight.rlim_cur = now + (size_t{16} << 20);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
  const unsigned long before = lost_line_count();
  int written = 0;
  bool thrown = false;
  try {
    written = write_fmt(path.c_str(), "<H>%s</H>", huge.c_str());
  } catch (...) {
    thrown = true;
  }
  setrlimit(RLIMIT_AS, &saved);
  EXPECT_FALSE(thrown) << "the failed allocation was thrown at the caller";
  EXPECT_EQ(written, -1);
  EXPECT_EQ(lost_line_count() - before, 1u);
  EXPECT_EQ(read_file(path), "<R>\n");
}

TEST(ReportLines, InitEmptiesAnExistingReport) {
  ScratchDir dir;
  const std::string path = dir.file("again.xml");
  write_line(path.c_str(), "old content");
  EXPECT_EQ(init_xml_file(path.c_str()), 0);
  EXPECT_EQ(read_file(path), "");
}

ZK_ASSEM_options_t options_with(int load_options, int update, int load_components,
                                int load_wave_parents) {
  ZK_ASSEM_options_t o = {};
  o.load_options = load_options;
  o.parts_list = 17;
  o.update = update;
  o.emphasize = 1;
  o.emphasize_color = 186;
  o.failure_action = 1;
  o.maintain_work_part = 0;
  o.load_latest = 1;
  o.load_components = load_components;
  o.load_fully = 1;
  o.load_substitution = 0;
  o.apply_to_all_levels = 1;
  o.load_wave_data = 0;
  o.load_wave_parents = load_wave_parents;
  return o;
}

std::string options_block(const ZK_ASSEM_options_t &options) {
  ScratchDir dir;
  const std::string path = dir.file("options.xml");
  write_load_option_values(path.c_str(), &options);
  return read_file(path);
}

TEST(LoadOptions, WritesEveryFieldWithTheNameOfItsValue) {
  EXPECT_EQ(options_block(options_with(2, 1, 4, 2)),
            "   <AssemblyLoadOptions>\n"
            "    <load_options>2 [ZK_ASSEM_load_as_saved]</load_options>\n"
            "    <parts_list>17</parts_list>\n"
            "    <update>1 [ZK_ASSEM_update_report]</update>\n"
            "    <emphasize>1 [ZK_ASSEM_emphasize_wp]</emphasize>\n"
            "    <emphasize_color>186</emphasize_color>\n"
            "    <failure_action>1 [ZK_ASSEM_dont_abort_on_failure]</failure_action>\n"
            "    <maintain_work_part>0 [ZK_ASSEM_dont_maintain_work_part]</maintain_work_part>\n"
            "    <load_latest>1 [ZK_ASSEM_load_latest_version]</load_latest>\n"
            "    <load_components>4 [ZK_ASSEM_specify_filter]</load_components>\n"
            "    <load_fully>1 [ZK_ASSEM_load_components_fully]</load_fully>\n"
            "    <load_substitution>0 [ZK_ASSEM_dont_allow_substitution]</load_substitution>\n"
            "    <apply_to_all_levels>1 [ZK_ASSEM_do_apply_to_all_levels]</apply_to_all_levels>\n"
            "    <load_wave_data>0 [ZK_ASSEM_default_load_behaviour]</load_wave_data>\n"
            "    <load_wave_parents>2 [ZK_ASSEM_all]</load_wave_parents>\n"
            "   </AssemblyLoadOptions>\n");
}

struct OptionCase {
  int load_options, update, load_components, load_wave_parents;
  const char *line;  // expected somewhere in the block
};

class LoadOptionNames : public ::testing::TestWithParam<OptionCase> {};

// Values without a name in their table, inside or outside it, print empty
// brackets.
TEST_P(LoadOptionNames, PrintsTheTableNameOrEmptyBrackets) {
  const OptionCase &c = GetParam();
  std::string block =
      options_block(options_with(c.load_options, c.update, c.load_components, c.load_wave_parents));
  EXPECT_NE(block.find(c.line), std::string::npos) << block;
}

INSTANTIATE_TEST_SUITE_P(
    Values, LoadOptionNames,
    ::testing::Values(
        OptionCase{1, 0, 0, 0, "<load_options>1 [ZK_ASSEM_load_from_search_dirs]</load_options>"},
        OptionCase{3, 0, 0, 0, "<load_options>3 []</load_options>"},
        OptionCase{-1, 0, 0, 0, "<load_options>-1 []</load_options>"},
        OptionCase{0, 2, 0, 0, "<update>2 []</update>"},
        OptionCase{0, 5, 0, 0, "<update>5 []</update>"},
        OptionCase{0, 0, 2, 0, "<load_components>2 [ZK_ASSEM_use_last_component_set]<"},
        OptionCase{0, 0, 9, 0, "<load_components>9 []</load_components>"},
        OptionCase{0, 0, 10, 0, "<load_components>10 []</load_components>"},
        OptionCase{0, 0, 0, 1, "<load_wave_parents>1 [ZK_ASSEM_immediate]<"},
        OptionCase{0, 0, 0, 1000000, "<load_wave_parents>1000000 []<"}));

struct ReleaseCase {
  const char *text;  // nullptr: the host gives none
  int major;
  int minor;
};

class ReleaseParser : public ::testing::TestWithParam<ReleaseCase> {};

// Parsing and the adjustment of short majors, from an empty cache.
TEST_P(ReleaseParser, ReadsMajorAndMinorAfterTheLastCapitalV) {
  int major = -1, minor = -1;
  parse_release_text(GetParam().text, &major, &minor);
  if (major >= 1 && major <= 9) major += 100;
  EXPECT_EQ(major, GetParam().major);
  EXPECT_EQ(minor, GetParam().minor);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReleaseParser,
    ::testing::Values(ReleaseCase{"V8.0.3.5", 108, 0}, ReleaseCase{"V10.1.2", 10, 1},
                      ReleaseCase{"Orvel V9.2", 109, 2}, ReleaseCase{"VX V7.3", 107, 3},
                      ReleaseCase{"8.0.3.5", -1, -1}, ReleaseCase{"8.0 V3", -1, -1},
                      ReleaseCase{"v8.0", -1, -1}, ReleaseCase{"V0.4", 0, 4},
                      ReleaseCase{"", -1, -1}, ReleaseCase{nullptr, -1, -1}));

TEST(HostRelease, CachesTheHostsNumbersAndAdjustsThemOnce) {
  ZK_initialize();
  reset_release_cache();
  char *text = nullptr;
  ZK_get_release(&text);
  int expected_major = -1, expected_minor = -1;
  parse_release_text(text, &expected_major, &expected_minor);
  if (expected_major >= 1 && expected_major <= 9) expected_major += 100;
  ZK_free(text);

  int minor = -7;
  EXPECT_EQ(host_release(&minor), expected_major);
  EXPECT_EQ(minor, expected_minor);
  EXPECT_EQ(host_release(nullptr), expected_major);
  reset_release_cache();
}

std::string orvel_data_of_header(const std::string &release) {
  orvel::HostOptions options;
  options.release = release;
  orvel::configure_host(options);
  ZK_initialize();
  reset_release_cache();
  ScratchDir dir;
  const std::string path = dir.file("header.xml");
  write_xml_header(path.c_str());
  std::string header = read_file(path);
  size_t start = header.find(" <OrvelData>\n");
  size_t end = header.find("   <AssemblyLoadOptions>");
  orvel::configure_host(orvel::HostOptions());
  reset_release_cache();
  return header.substr(start, end - start);
}

TEST(HeaderRelease, AHostWithoutAReleaseTextGivesNoReleaseLineAndMinusOnes) {
  EXPECT_EQ(orvel_data_of_header(""), " <OrvelData>\n   <OrvelVersion>-1.-1</OrvelVersion>\n");
}

TEST(HeaderRelease, AReleaseTextIsShownUnchangedWithItsParsedVersion) {
  EXPECT_EQ(orvel_data_of_header("Orvel V9.12.1 & more"),
            " <OrvelData>\n   <OrvelRelease>Orvel V9.12.1 & more</OrvelRelease>\n"
            "   <OrvelVersion>109.12</OrvelVersion>\n");
}

}  // namespace
