#pragma once
// A connection over a scripted link, with the retry pause and the abort flag
// restored after each test.
#include "common/DecimalSeparator.h"
#include "protocol/connection.h"
#include "protocol/vq7prot/vq7cmd.h"
#include "support/ScriptedLink.h"

#include <gtest/gtest.h>

constexpr uint32_t kMeter = 12345678;

class ProtocolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDecimalSeparator('.');
        ASSERT_EQ(conn.OpenWith(std::make_unique<ScriptedLink>(bus)), RC_OK);
    }
    void TearDown() override
    {
        conn.Close();
        g_bAbortAll = false;
        g_nRetryPauseMs = 200;
        SetDecimalSeparator('.');
    }
    // Data bytes 5.. of the n-th request.
    Bytes RequestData(size_t n = 0) const
    {
        const auto w = bus->Written();
        return w.size() > n ? Bytes(w[n].begin() + 5, w[n].begin() + 14) : Bytes();
    }
    uint8_t RequestCmd(size_t n = 0) const
    {
        const auto w = bus->Written();
        return w.size() > n ? w[n][4] : 0;
    }

    std::shared_ptr<ScriptedBus> bus = std::make_shared<ScriptedBus>();
    connection conn;
};

// Retries without the real pause, for tests about data and texts.
class QuickProtocolTest : public ProtocolTest {
protected:
    void SetUp() override
    {
        ProtocolTest::SetUp();
        g_nRetryPauseMs = 1;
    }
};

inline Bytes FloatBytes(float f)
{
    Bytes b(4);
    PutLeFloat(b.data(), f);
    return b;
}

inline Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
