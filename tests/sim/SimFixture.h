#pragma once
// The default rig behind a TCP gateway on loopback and a connection to it.
#include "common/DecimalSeparator.h"
#include "protocol/connection.h"
#include "protocol/vq7prot/vq7cmd.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"

#include <gtest/gtest.h>

class SimBusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDecimalSeparator('.');
        g_nRetryPauseMs = 20;
        rig = CRig::DefaultRig();
        rig->SetNoise(0, 0);
        std::string error;
        server = CSimServer::StartTcp(*rig, "127.0.0.1", 0, &error);
        ASSERT_TRUE(server) << error;
        conn.m_sPort = "TCP/IP";
        conn.m_sIp = "127.0.0.1";
        conn.m_sTcpIpPort = std::to_string(server->Port());
        ASSERT_EQ(conn.Open(), RC_OK);
    }
    void TearDown() override
    {
        conn.Close();
        if (server)
            server->Stop();
        g_nRetryPauseMs = 200;
    }
    CVirtualMeter& M(uint32_t number)
    {
        CVirtualMeter* m = rig->Meter(number);
        EXPECT_NE(m, nullptr) << number;
        return *m;
    }

    std::unique_ptr<CRig> rig;
    std::unique_ptr<CSimServer> server;
    connection conn;
};
