#include <gtest/gtest.h>

#include "records/ping_record.h"

namespace sk720 {
namespace {
TEST(ExpandSample, SegmentLaw) {
  EXPECT_EQ(ExpandSample(0), 0);
  EXPECT_EQ(ExpandSample(63), 63);
  EXPECT_EQ(ExpandSample(64), 65);
  EXPECT_EQ(ExpandSample(255), 4095);
}
}  // namespace
}  // namespace sk720
