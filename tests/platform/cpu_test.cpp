// The processor test the runtime's start relies on.
#include <gtest/gtest.h>

#include "platform/cpu.h"

TEST(Cpu, ReportsSse2OnTheMachinesWeBuildFor) { EXPECT_TRUE(tarnfold::platform::CpuHasSse2()); }
