#pragma once
// A throwaway PostgreSQL server for tests: initdb and pg_ctl into a temporary
// folder, listening only on a unix socket in that folder, run as an
// unprivileged user (nobody when the tests run as root). Missing server
// binaries leave it unavailable with the reason; tests then skip saying so.
#include <string>
#include <vector>

class PgServer {
public:
    PgServer();    // initdb + start; see Available()
    ~PgServer();   // stops the server and removes the folder
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool Available() const { return m_ready; }
    const std::string& Reason() const { return m_reason; }

    // Creates a database and returns the location the store takes for it:
    // postgresql:///NAME?host=SOCKETDIR&port=PORT&user=USER
    std::string NewDatabase(const std::string& name);
    // The server stops (fast) or starts again on the same folder.
    bool Stop();
    bool Start();
    const std::string& SocketDir() const { return m_dir; }

private:
    bool Run(const std::string& program, const std::vector<std::string>& args);
    std::string m_bin;
    std::string m_dir;
    std::string m_user = "vq7";
    int m_port = 5432;
    bool m_ready = false;
    bool m_running = false;
    std::string m_reason;
};

// The folder of the newest installed server's initdb and pg_ctl, "" when none.
std::string FindPostgresBin();
