// Cost of checking a STEP file against the unavoidable work: the kernel's
// own STEP load of the file and the kernel's own mass computation of its
// solids, each timed alone in this one run. The check is `orvel batch` with
// the plug-in's model and assembly sections, timed as a whole process.
//
//   exchange_bench ORVEL PLUGIN WORKDIR [STEP_FILE ...]
//
// Besides the files given, it generates and measures an assembly of 1000
// placed instances. Each figure is the best of BENCH_REPEAT runs (default 3).
#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>
#include <STEPControl_Reader.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS_Shape.hxx>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "fixtures.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int repeats() {
  const char *text = std::getenv("BENCH_REPEAT");
  int n = text ? std::atoi(text) : 3;
  return n > 0 ? n : 1;
}

// The best wall time in seconds of `repeat` runs of `work`.
double best_of(int repeat, const std::function<void()> &work) {
  double best = -1.0;
  for (int i = 0; i < repeat; ++i) {
    const Clock::time_point start = Clock::now();
    work();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (best < 0.0 || seconds < best) best = seconds;
  }
  return best;
}

TopoDS_Shape kernel_load(const std::string &file) {
  STEPControl_Reader reader;
  if (reader.ReadFile(file.c_str()) != IFSelect_RetDone) {
    throw std::runtime_error("the kernel cannot read " + file);
  }
  reader.TransferRoots();
  return reader.OneShape();
}

// The kernel's volume integrals of every solid; with `area` also its
// surface integrals, which the host's mass call reports as well.
double kernel_mass(const TopoDS_Shape &shape, bool area) {
  double sum = 0.0;
  for (TopExp_Explorer e(shape, TopAbs_SOLID); e.More(); e.Next()) {
    GProp_GProps props;
    BRepGProp::VolumeProperties(e.Current(), props);
    sum += props.Mass();
    if (area) {
      GProp_GProps surface;
      BRepGProp::SurfaceProperties(e.Current(), surface);
      sum += surface.Mass();
    }
  }
  return sum;
}

std::string quoted(const std::string &text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Figures {
  double load, volume, volume_area, check;
};

Figures measure(const std::string &orvel, const std::string &plugin, const std::string &work,
                const std::string &file, int repeat) {
  Figures f{};
  TopoDS_Shape shape;
  f.load = best_of(repeat, [&] { shape = kernel_load(file); });
  volatile double sum = 0.0;
  f.volume = best_of(repeat, [&] { sum = kernel_mass(shape, false); });
  f.volume_area = best_of(repeat, [&] { sum = kernel_mass(shape, true); });
  (void)sum;
  const std::string out = work + "/out";
  fs::create_directories(out);
  const std::string command = quoted(orvel) + " batch --plugin " + quoted(plugin) +
                              " --single-part " + quoted(file) + " --outdir " + quoted(out) +
                              " --result-file " + quoted(out + "/results.txt") +
                              " --action ModelGetData,AssemblyGetData --syslog " +
                              quoted(work + "/syslog.txt") + " >/dev/null 2>&1";
  f.check = best_of(repeat, [&] {
    fs::remove(out + "/results.txt");
    if (std::system(command.c_str()) != 0) throw std::runtime_error("orvel failed on " + file);
  });
  return f;
}

// Ratios of the check to the kernel's load plus its mass computation: of
// volumes only, and of volumes and areas (all the host's mass call reports).
void print(const std::string &label, const Figures &f) {
  std::printf("%-16s %9.3f s %9.3f s %9.3f s %9.3f s %7.2f %7.2f\n", label.c_str(), f.load,
              f.volume, f.volume_area, f.check, f.check / (f.load + f.volume),
              f.check / (f.load + f.volume_area));
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 4) {
    std::cerr << "usage: exchange_bench ORVEL PLUGIN WORKDIR [STEP_FILE ...]\n";
    return 2;
  }
  Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
  const std::string orvel = argv[1], plugin = argv[2], work = argv[3];
  try {
    fs::create_directories(work);
    const std::string wall = work + "/wall_1000.step";
    exchange_fixtures::write_many_instances_step(wall, 1000);
    std::vector<std::string> files;
    for (int i = 4; i < argc; ++i) files.push_back(argv[i]);
    files.push_back(wall);
    const int repeat = repeats();
    std::printf("%-16s %11s %11s %11s %11s %7s %7s\n", "file", "kernel load", "volumes",
                "vol+areas", "orvel check", "ratio V", "ratio VA");
    for (const std::string &file : files) {
      print(fs::path(file).filename().string(), measure(orvel, plugin, work, file, repeat));
    }
  } catch (const std::exception &e) {
    std::cerr << "exchange_bench: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
