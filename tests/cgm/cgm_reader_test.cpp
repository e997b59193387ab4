// Reading binary CGM: the primitives and encodings other programs write,
// and malformed files, each of which must be a clear error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "cgm/reader.hpp"
#include "cgm/writer.hpp"
#include "cgm_bytes.hpp"
#include "sample_scene.hpp"

namespace fs = std::filesystem;
using namespace orvel::cgm;
using orvel::cgm::fixtures::CgmBytes;
using orvel::cgm::fixtures::Params;

namespace {

ReadResult read(const CgmBytes &f) {
  return read_cgm_bytes(f.b.data(), f.b.size(), "t.cgm");
}

Params pts(std::initializer_list<float> xy) {
  Params p;
  for (float v : xy) p.f32(v);
  return p;
}

// Real VDC in floating point, metric scaling of 2 mm per unit, indexed
// colours from a colour table.
CgmBytes metric_real_picture() {
  CgmBytes f;
  f.begin().element(1, 1, Params().i16(1)).element(1, 3, Params().i16(1));
  f.element(0, 3, Params().str("p"));
  f.element(2, 6, Params().fixed32(0).fixed32(0).fixed32(200).fixed32(100));
  f.element(2, 1, Params().i16(1).f32(2.0f));
  f.element(0, 4);
  f.element(3, 2, Params().i16(0).i16(9).i16(23));
  f.element(5, 34, Params().u8(2).u8(255).u8(0).u8(0).u8(0).u8(0).u8(255));
  f.element(5, 4, Params().u8(3));
  return f;
}

TEST(CgmReader, ReadsEveryCommonPrimitiveInMillimetres) {
  CgmBytes f = metric_real_picture();
  f.element(4, 1, pts({10, 10, 20, 10, 20, 20}));
  f.element(4, 2, pts({0, 0, 1, 0, 0, 1, 1, 1}));
  f.element(4, 11, pts({0, 0, 5, 5}));
  f.element(4, 12, pts({50, 50, 10}));
  f.element(4, 13, pts({60, 50, 50, 60, 40, 50}));
  f.element(4, 15, pts({50, 50, 0, 1, -1, 0, 5}));
  f.element(4, 17, pts({100, 50, 110, 50, 100, 55}));
  f.element(7, 2, Params().i16(1).i16(2).i16(3));  // escape: passed over
  f.element(4, 9, Params().i16(7));                // cell array: passed over
  f.element(5, 15, pts({2.5f})).element(5, 14, Params().u8(2));
  f.element(4, 4, Params().f32(10).f32(90).i16(0).str("AB"));
  f.element(4, 6, Params().i16(1).str("CD"));
  f.end();
  const ReadResult r = read(f);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_DOUBLE_EQ(r.scene.width, 400.0);
  EXPECT_DOUBLE_EQ(r.scene.height, 200.0);
  const auto &it = r.scene.items;
  ASSERT_EQ(it.size(), 9u);
  EXPECT_EQ(it[0].kind, ItemKind::kPolyline);
  EXPECT_EQ(it[0].colour, 4);  // table entry 3, blue
  EXPECT_DOUBLE_EQ(it[0].points[2].x, 40.0);
  EXPECT_DOUBLE_EQ(it[0].points[2].y, 40.0);
  EXPECT_EQ(it[1].kind, ItemKind::kLine);
  EXPECT_EQ(it[2].kind, ItemKind::kLine);
  EXPECT_DOUBLE_EQ(it[2].points[1].x, 2.0);
  EXPECT_EQ(it[3].kind, ItemKind::kPolyline);  // rectangle, closed
  ASSERT_EQ(it[3].points.size(), 5u);
  EXPECT_DOUBLE_EQ(it[3].points[2].x, 10.0);
  EXPECT_EQ(it[4].kind, ItemKind::kCircle);
  EXPECT_DOUBLE_EQ(it[4].radius, 20.0);
  EXPECT_EQ(it[5].kind, ItemKind::kArc);
  EXPECT_NEAR(it[5].centre.x, 100.0, 1e-9);
  EXPECT_NEAR(it[5].start_angle, 0.0, 1e-9);
  EXPECT_NEAR(it[5].end_angle, 180.0, 1e-9);
  EXPECT_EQ(it[6].kind, ItemKind::kArc);
  EXPECT_NEAR(it[6].radius, 10.0, 1e-9);
  EXPECT_NEAR(it[6].start_angle, 90.0, 1e-9);
  EXPECT_NEAR(it[6].end_angle, 180.0, 1e-9);
  EXPECT_EQ(it[7].kind, ItemKind::kPolyline);  // an ellipse that is not a circle
  EXPECT_NEAR(it[7].points.front().x, 220.0, 1e-9);
  EXPECT_NEAR(it[7].points.back().x, 220.0, 1e-9);
  EXPECT_EQ(it[8].kind, ItemKind::kText);
  EXPECT_EQ(it[8].text, "ABCD");
  EXPECT_DOUBLE_EQ(it[8].points[0].y, 180.0);
  EXPECT_DOUBLE_EQ(it[8].height, 5.0);
  EXPECT_EQ(it[8].colour, 2);
}

TEST(CgmReader, JoinsPartitionedParametersAndLongForms) {
  CgmBytes f = metric_real_picture();
  Params many;
  for (int i = 0; i < 40; ++i) many.f32(static_cast<float>(i)).f32(static_cast<float>(2 * i));
  f.partitioned(4, 1, many, 30);  // partitions split numbers apart
  f.element(4, 1, many);          // long form in one piece
  f.end();
  const ReadResult r = read(f);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.scene.items.size(), 2u);
  for (const Item &item : r.scene.items) {
    ASSERT_EQ(item.points.size(), 40u);
    EXPECT_DOUBLE_EQ(item.points[39].x, 78.0);
    EXPECT_DOUBLE_EQ(item.points[39].y, 156.0);
  }
}

TEST(CgmReader, AbstractIntegerPictureMapsOneUnitToOneMillimetreFromTheExtentCorner) {
  CgmBytes f;
  f.begin().element(0, 3, Params().str("p"));
  f.element(2, 6, Params().i16(100).i16(1000).i16(500).i16(200));  // y runs top down
  f.element(0, 4).element(4, 1, Params().i16(100).i16(1000).i16(150).i16(900)).end();
  const ReadResult r = read(f);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_DOUBLE_EQ(r.scene.width, 400.0);
  EXPECT_DOUBLE_EQ(r.scene.height, 800.0);
  ASSERT_EQ(r.scene.items.size(), 1u);
  EXPECT_DOUBLE_EQ(r.scene.items[0].points[1].x, 50.0);
  EXPECT_DOUBLE_EQ(r.scene.items[0].points[1].y, 100.0);
}

// Every segment of a polyline becomes an object when imported: a file is
// refused once its shapes pass the limit, so a few megabytes of points
// cannot become a part too large for memory.
TEST(CgmReader, AFileOfMoreShapesThanAnyDrawingIsRefused) {
  auto polyline_of = [](size_t points) {
    CgmBytes f;
    f.begin().begin_picture();
    Params p;
    for (size_t i = 0; i < points; ++i) p.i16(static_cast<int>(i % 30000)).i16(0);
    f.partitioned(4, 1, p, 32000).end();
    return f;
  };
  const ReadResult at_limit = read(polyline_of(kMaxShapes + 1));
  ASSERT_TRUE(at_limit.ok) << at_limit.error;
  EXPECT_EQ(at_limit.scene.items.at(0).points.size(), kMaxShapes + 1);
  const ReadResult over = read(polyline_of(kMaxShapes + 2));
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.error,
            "t.cgm: more than 1000000 lines, arcs and texts, more than any drawing needs");
  EXPECT_TRUE(over.scene.items.empty());
}

struct Malformed {
  const char *name;
  std::vector<uint8_t> bytes;
  const char *message;
};

std::vector<uint8_t> with(CgmBytes f) {
  return f.b;
}

std::vector<Malformed> malformed_files() {
  CgmBytes head;
  head.begin();
  CgmBytes overlong = head;
  overlong.b.insert(overlong.b.end(), {0x40, 0x3f, 0x7f, 0xff, 1, 2, 3});
  CgmBytes endless = head;  // a partition that says more follow, then the file ends
  endless.b.insert(endless.b.end(), {0x40, 0x3f, 0x80, 0x02, 0, 0});
  CgmBytes bad_precision = head;
  bad_precision.element(1, 4, Params().i16(13));
  CgmBytes bad_real = head;
  bad_real.element(1, 5, Params().i16(1).i16(10).i16(10));
  CgmBytes short_text = head;
  short_text.element(0, 3, Params().str("p")).element(0, 4);
  short_text.element(4, 4, Params().i16(1).i16(1).i16(1).u8(200).u8('x'));
  // Numbers that are finite in the file but not once scaled to millimetres.
  CgmBytes overflow;
  overflow.begin().element(1, 3, Params().i16(1)).element(1, 5, Params().i16(0).i16(12).i16(52));
  overflow.element(0, 3, Params().str("p")).element(2, 1, Params().i16(1).f64(1e308));
  overflow.element(0, 4).element(3, 2, Params().i16(0).i16(12).i16(52));
  overflow.element(4, 1, Params().f64(1e308).f64(1e308).f64(0).f64(0)).end();
  CgmBytes nan_factor = head;
  nan_factor.element(0, 3, Params().str("p")).element(2, 1, Params().i16(1).f32(NAN));
  return {
      {"Empty", {}, "t.cgm: the file is empty"},
      {"OneByte", {0x00}, "t.cgm: not a binary CGM file"},
      {"TextFile", {'h', 'e', 'l', 'l', 'o', '\n'}, "t.cgm: not a binary CGM file"},
      {"NoEndMetafile", with(head), "t.cgm: truncated: the file ends before END METAFILE"},
      {"HeaderCutInHalf", {0x00, 0x20, 0x00}, "t.cgm: truncated: the file ends inside the header"},
      {"LengthBeyondTheEnd", with(overlong), "claims 32767 parameter bytes but only 3 are left"},
      {"PartitionsNeverEnd", with(endless), "t.cgm: truncated: the file ends inside the length"},
      {"UnknownIntegerPrecision", with(bad_precision), "unsupported precision 13"},
      {"UnknownRealPrecision", with(bad_real), "unsupported real precision (1, 10, 10)"},
      {"StringLongerThanItsElement", with(short_text), "(class 4, id 4): its parameters end"},
      {"MetricFactorNotANumber", with(nan_factor), "a real number is not finite"},
      {"CoordinateOverflowsOnceScaled", with(overflow), "a coordinate is not finite once scaled"},
  };
}

class MalformedCgm : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedCgm, IsAnErrorNamingTheFileAndTheFault) {
  const Malformed &m = GetParam();
  const ReadResult r = read_cgm_bytes(m.bytes.data(), m.bytes.size(), "t.cgm");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find(m.message), std::string::npos) << r.error;
  EXPECT_EQ(r.error.rfind("t.cgm: ", 0), 0u) << r.error;
  EXPECT_TRUE(r.scene.items.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, MalformedCgm, ::testing::ValuesIn(malformed_files()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CgmReader, EveryCutAndEveryFlippedByteOfARealFileIsHandled) {
  const fs::path path = fs::temp_directory_path() / ("cut_" + std::to_string(getpid()) + ".cgm");
  ASSERT_EQ(write_scene(fixtures::sample_scene(), path.string(), {}), "");
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  fs::remove(path);
  ASSERT_TRUE(read_cgm_bytes(bytes.data(), bytes.size(), "x").ok);
  for (size_t n = 0; n + 1 < bytes.size(); ++n) {
    const ReadResult r = read_cgm_bytes(bytes.data(), n, "x");
    EXPECT_FALSE(r.ok) << "cut at " << n;
    EXPECT_FALSE(r.error.empty());
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::vector<uint8_t> changed = bytes;
    changed[i] ^= 0xff;  // must not crash or hang; the result may be either
    const ReadResult r = read_cgm_bytes(changed.data(), changed.size(), "x");
    EXPECT_EQ(r.ok, r.error.empty());
  }
}

TEST(CgmReader, MissingFileAndDirectoryAreErrorsNamingThePath) {
  const ReadResult missing = read_cgm_file("/nonexistent/drawing.cgm");
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.error,
            "/nonexistent/drawing.cgm: cannot open the file (it does not exist or is not "
            "readable)");
  const std::string dir = fs::temp_directory_path().string();
  const ReadResult directory = read_cgm_file(dir);
  EXPECT_FALSE(directory.ok);
  EXPECT_EQ(directory.error, dir + ": is a directory, not a CGM file");
}

// A pipe without a writer would block the open for ever, and a device reads
// endlessly or not at all: both are refused before they are opened.
TEST(CgmReader, PipesAndDevicesAreRefusedWithoutWaiting) {
  const std::string fifo =
      (fs::temp_directory_path() / ("cgm_fifo_" + std::to_string(getpid()))).string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const ReadResult pipe = read_cgm_file(fifo);
  fs::remove(fifo);
  EXPECT_FALSE(pipe.ok);
  EXPECT_EQ(pipe.error,
            fifo + ": is not a regular file (a device, pipe or socket), not a CGM file");
  const ReadResult device = read_cgm_file("/dev/zero");
  EXPECT_FALSE(device.ok);
  EXPECT_EQ(device.error,
            "/dev/zero: is not a regular file (a device, pipe or socket), not a CGM file");
}

}  // namespace

namespace {

// The fuzzing seeds are files other programs and our writer made: each reads.
TEST(CgmReader, EverySeedOfTheFuzzCorpusReads) {
  size_t files = 0;
  for (const auto &entry : fs::directory_iterator(CGM_CORPUS_DIR)) {
    const ReadResult r = read_cgm_file(entry.path().string());
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.scene.items.empty()) << entry.path();
    ++files;
  }
  EXPECT_GE(files, 5u);
}

}  // namespace
