// Hand-made reports for the comparison tests: the frame of a real report with the
// values the tests change.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vettra::compare::testing {

struct ComponentText {
  std::string handle;
  std::string name;
  std::string origin_x = "0.000000";
};

struct ReportText {
  std::string start_time = "2026-01-05 10:00.01";
  std::string memory = "8123456";
  std::string cli_name = "[parts/bracket.prt]";
  std::string units = "METRIC";
  std::string volume = "1000.000000";
  std::string cog_x = "5.000000";
  std::string density = "0.000008";
  std::vector<ComponentText> components;

  std::string text() const {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        "<Trellum_VettraData xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">\n"
        " <RunData>\n"
        "  <StartLoadPartDateTime>" +
        start_time +
        "</StartLoadPartDateTime>\n"
        "  <EndLoadPartMemoryAllocation>" +
        memory +
        "</EndLoadPartMemoryAllocation>\n"
        "  <UpdateAllFeaturesReturnValue>0</UpdateAllFeaturesReturnValue>\n"
        " </RunData>\n"
        " <VettraData>\n"
        "    <PartHeader>\n"
        "      <CliName>" +
        cli_name +
        "</CliName>\n"
        "      <Units>" +
        units +
        "</Units>\n"
        "    </PartHeader>\n"
        "    <ModelData>\n"
        "      <Refsets>\n"
        "        <Refset>\n"
        "         <Name>Entire Part</Name>\n"
        "          <Volume>" +
        volume +
        "</Volume>\n"
        "          <VolumeBodies_n>1</VolumeBodies_n>\n"
        "          <CentreOfGravity>\n"
        "            <X>" +
        cog_x +
        "</X>\n"
        "            <Y>0.000000</Y>\n"
        "          </CentreOfGravity>\n"
        "        </Refset>\n"
        "      </Refsets>\n"
        "      <ModelDataBase>\n"
        "       <Bodies>\n"
        "         <Body>\n"
        "         <Handle>b1</Handle>\n"
        "          <Density>" +
        density +
        "</Density>\n"
        "         </Body>\n"
        "       </Bodies>\n"
        "      </ModelDataBase>\n"
        "    </ModelData>\n"
        "    <AssemblyData>\n"
        "      <Components>\n";
    for (const ComponentText &c : components) {
      out +=
          "        <Component>\n"
          "          <Handle>" +
          c.handle +
          "</Handle>\n"
          "          <InstanceName>" +
          c.name +
          "</InstanceName>\n"
          "          <ComponentLevel>1</ComponentLevel>\n"
          "          <Matrix>\n"
          "            <X1>1.000000</X1>\n"
          "            <originX>" +
          c.origin_x +
          "</originX>\n"
          "          </Matrix>\n"
          "        </Component>\n";
    }
    out +=
        "      </Components>\n"
        "    </AssemblyData>\n"
        " </VettraData>\n"
        " <RunDataPerformance>\n"
        "  <EndDateTime>" +
        start_time +
        "</EndDateTime>\n"
        " </RunDataPerformance>\n"
        "</Trellum_VettraData>\n";
    return out;
  }
};

inline void write_file(const std::filesystem::path &path, const std::string &text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A fresh, empty directory under the test's temporary directory.
inline std::filesystem::path fresh_dir(const std::string &name) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("vettra_compare_test_" + std::to_string(::getpid()) + "_" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace vettra::compare::testing
