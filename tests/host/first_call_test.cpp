// The first C API call of a program that set up no session: the host makes
// the default session, and the call is answered in it like any later one.
// A program of its own, so that nothing has made a session before.
#include <gtest/gtest.h>

#include "api/codes.hpp"
#include "orvel/zk.h"
#include "session/host_control.hpp"
#include "session/session.hpp"

namespace orvel {
namespace {

TEST(FirstCall, MakesTheDefaultSessionAndIsAnsweredInIt) {
  int type = -1;
  int subtype = -1;
  // No part is open: no tag stands for anything, and no fault is counted.
  EXPECT_EQ(ZK_OBJ_ask_type_and_subtype(1, &type, &subtype), kInvalidTag);
  EXPECT_EQ(host_faults(), 0u);
  EXPECT_EQ(host_session().part_count(), 0u);
  EXPECT_EQ(host_session().options().release, HostOptions{}.release);

  // Later calls find the same session, and an open part shows in it.
  EXPECT_EQ(ZK_ASSEM_ask_work_part(), NULL_TAG);
  EXPECT_EQ(ZK_ASSEM_is_occurrence(1), 0);
  tag_t part = NULL_TAG;
  ZK_PART_load_status_t status{};
  EXPECT_EQ(ZK_PART_open(ORVEL_SOURCE_DIR "/examples/gear.prt", &part, &status), kOk);
  ASSERT_NE(part, NULL_TAG);
  EXPECT_EQ(ZK_ASSEM_ask_work_part(), part);
  EXPECT_EQ(ZK_OBJ_ask_type_and_subtype(part, &type, &subtype), kOk);
  EXPECT_EQ(type, ZK_part_type);
  EXPECT_EQ(host_session().part_count(), 1u);
  EXPECT_EQ(host_faults(), 0u);
}

}  // namespace
}  // namespace orvel
