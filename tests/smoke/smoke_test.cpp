#include <gtest/gtest.h>
#include "hooklib/peek_record.h"
TEST(Smoke, Native) { EXPECT_EQ(sizeof(PeekRecord), 100u); }
