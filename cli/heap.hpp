// The host process's heap in large pages.
#pragma once

namespace orvel::cli {

// Asks the kernel to back the heap the session will grow with transparent
// huge pages. A large part's objects fill tens of megabytes of heap that a
// check visits in an order unrelated to where they lie: in 4 KB pages most
// visits miss the address translation cache, and every such miss also
// pushes out the kernel's own entries that the report's file calls need
// next. In 2 MB pages a few hundred entries cover the whole model.
//
// Called once, before the first part is opened. The heap is made to grow by
// a large reserve at once (address space only: pages are given as they are
// first written), and that reserve is marked for huge pages. Nothing fails
// when the kernel has them switched off: the heap then keeps small pages.
void prefer_huge_heap_pages();

}  // namespace orvel::cli
