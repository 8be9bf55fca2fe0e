#pragma once
// The default rig, without noise, behind the simulator's TCP server, and an open connection to it.
#include "common/DecimalSeparator.h"
#include "support/SimRig.h"

#include <gtest/gtest.h>

class SimBusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDecimalSeparator('.');
        rig->SetNoise(0, 0);
        ASSERT_EQ(conn.Open(), RC_OK);
    }
    CVirtualMeter& M(uint32_t number)
    {
        CVirtualMeter* m = rig->Meter(number);
        EXPECT_NE(m, nullptr) << number;
        return *m;
    }

    SimRig sim{SimRig::Tcp, CRig::DefaultRig()};
    CRig* const rig = &sim.Rig();
    CSimServer* const server = &sim.Server();
    connection& conn = sim.Conn();
};
