#include "heap.hpp"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool huge_pages_available() {
  std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string setting;
  return std::getline(in, setting) && setting.find("[never]") == std::string::npos;
}

// The sizes of this process's heap, all of it and the part marked for huge
// pages (the marking splits it into several mappings), from /proc/self/smaps.
struct Heap {
  unsigned long size_kb = 0;
  unsigned long huge_kb = 0;
};

Heap heap_now() {
  std::ifstream smaps("/proc/self/smaps");
  Heap heap;
  bool in_heap = false;
  unsigned long size_kb = 0;
  for (std::string line; std::getline(smaps, line);) {
    if (line.find('-') < line.find(' ')) {
      in_heap = line.find("[heap]") != std::string::npos;
    } else if (in_heap && line.rfind("Size:", 0) == 0) {
      size_kb = std::strtoul(line.c_str() + 5, nullptr, 10);
      heap.size_kb += size_kb;
    } else if (in_heap && line.rfind("VmFlags:", 0) == 0) {
      std::istringstream flags(line.substr(8));
      for (std::string flag; flags >> flag;) {
        if (flag == "hg") heap.huge_kb += size_kb;
      }
    }
  }
  return heap;
}

TEST(HeapPages, TheHeapTakesItsReserveInHugePages) {
  if (!huge_pages_available()) GTEST_SKIP() << "transparent huge pages are switched off";
  // A sanitizer's allocator takes no malloc options, and has no brk heap.
  if (mallopt(M_TRIM_THRESHOLD, 128 << 10) == 0) GTEST_SKIP() << "malloc takes no options";
  orvel::cli::prefer_huge_heap_pages();
  Heap heap = heap_now();
  EXPECT_GE(heap.size_kb, 256ul << 10);
  // All but the pieces before the first and after the last 2 MB boundary.
  EXPECT_GE(heap.huge_kb, heap.size_kb - (4ul << 10));

  // A second call changes nothing, and the heap serves blocks as before.
  orvel::cli::prefer_huge_heap_pages();
  EXPECT_EQ(heap_now().size_kb, heap.size_kb);
  std::string text(1 << 20, 'x');
  EXPECT_EQ(text.back(), 'x');
}

}  // namespace
