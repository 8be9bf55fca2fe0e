#pragma once
// One counted use of a connection: Open on construction, Close on leaving the
// scope, also when an exception passes through.
#include "protocol/connection.h"

class CConnectionUse {
public:
    explicit CConnectionUse(connection* conn) : m_pConnection(conn)
    {
        if (m_pConnection)
            m_pConnection->Open();
    }
    ~CConnectionUse()
    {
        if (m_pConnection)
            m_pConnection->Close();
    }
    CConnectionUse(const CConnectionUse&) = delete;
    CConnectionUse& operator=(const CConnectionUse&) = delete;

private:
    connection* m_pConnection;
};
