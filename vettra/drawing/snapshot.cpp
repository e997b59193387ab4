/* The drawing snapshot after a part's check: the host records a
 * drawing-compare snapshot of the work part, kept with the part. This is the
 * plug-in's one use of the host's object API. */
#include "orvel/OrvelOpen.hpp"
#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/drawing/drawing.h"

int take_drawing_snapshot(void) {
  OrvelOpen::Session *session = OrvelOpen::Session::GetSession();
  OrvelOpen::Part *work = session->Parts()->Work();
  log_info("Snapshot: Drawing snapshot");
  tag_t drawing = NULL_TAG;
  ZK_OBJ_cycle_objs_in_part(ZK_ASSEM_ask_work_part(), ZK_drawing_type, &drawing);
  if (drawing != NULL_TAG && work != nullptr) {
    work->DrawingCompare()->CreateSnapshot();
  } else {
    log_info("Snapshot: Warning no drawings found");
  }
  log_info("Snapshot: Drawing snapshot ---> passed");
  return 0;
}
