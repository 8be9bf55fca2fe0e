#include "PgServer.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <libpq-fe.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
bool Executable(const std::string& path)
{
    return ::access(path.c_str(), X_OK) == 0;
}
}

std::string FindPostgresBin()
{
    const std::string root = "/usr/lib/postgresql";
    std::vector<std::pair<int, std::string>> found;
    if (DIR* d = opendir(root.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string bin = root + "/" + e->d_name + "/bin";
            if (e->d_name[0] != '.' && Executable(bin + "/initdb") && Executable(bin + "/pg_ctl"))
                found.emplace_back(std::atoi(e->d_name), bin);
        }
        closedir(d);
    }
    if (found.empty())
        return "";
    return std::max_element(found.begin(), found.end())->second;
}

bool PgServer::Run(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> argv;
    if (geteuid() == 0)
        argv = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
    argv.push_back(m_bin + "/" + program);
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        std::vector<char*> raw;
        for (std::string& a : argv)
            raw.push_back(a.data());
        raw.push_back(nullptr);
        const std::string log = m_dir + "/tool.log";
        if (FILE* f = std::fopen(log.c_str(), "a")) {
            dup2(fileno(f), 1);
            dup2(fileno(f), 2);
        }
        if (chdir(m_dir.c_str()) != 0)
            _exit(126);
        execv(raw[0], raw.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

PgServer::PgServer()
{
    m_bin = FindPostgresBin();
    if (m_bin.empty()) {
        m_reason = "no PostgreSQL server binaries (initdb, pg_ctl) under /usr/lib/postgresql";
        return;
    }
    if (geteuid() == 0 && (!Executable("/usr/bin/setpriv") || getpwnam("nobody") == nullptr)) {
        m_reason = "running as root without setpriv or the user nobody to run the server as";
        return;
    }
    char tmpl[] = "/tmp/vq7pg.XXXXXX";
    if (!mkdtemp(tmpl)) {
        m_reason = "no temporary folder";
        return;
    }
    m_dir = tmpl;
    if (geteuid() == 0) {
        const passwd* pw = getpwnam("nobody");
        if (chown(m_dir.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
            m_reason = "cannot hand the temporary folder to nobody";
            return;
        }
    }
    if (!Run("initdb", {"-D", m_dir + "/data", "-U", m_user, "-A", "trust", "-E", "UTF8", "--locale=C", "-N"})) {
        m_reason = "initdb failed (see " + m_dir + "/tool.log)";
        return;
    }
    m_ready = Start();
    if (!m_ready)
        m_reason = "pg_ctl start failed (see " + m_dir + "/tool.log)";
}

PgServer::~PgServer()
{
    if (m_running)
        Run("pg_ctl", {"-D", m_dir + "/data", "-m", "immediate", "-w", "stop"});
    if (!m_dir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
}

bool PgServer::Start()
{
    const std::string options = "-k " + m_dir + " -c listen_addresses= -p " + std::to_string(m_port) +
                                " -c fsync=off -c max_connections=30";
    m_running = Run("pg_ctl", {"-D", m_dir + "/data", "-o", options, "-l", m_dir + "/server.log", "-w", "-t", "60",
                               "start"});
    return m_running;
}

bool PgServer::Stop()
{
    const bool ok = Run("pg_ctl", {"-D", m_dir + "/data", "-m", "fast", "-w", "stop"});
    m_running = m_running && !ok;
    return ok;
}

std::string PgServer::NewDatabase(const std::string& name)
{
    const std::string conninfo =
        "host=" + m_dir + " port=" + std::to_string(m_port) + " user=" + m_user + " dbname=postgres";
    PGconn* conn = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn) == CONNECTION_OK) {
        PGresult* r = PQexec(conn, ("CREATE DATABASE " + name).c_str());
        PQclear(r);
    }
    PQfinish(conn);
    return "postgresql:///" + name + "?host=" + m_dir + "&port=" + std::to_string(m_port) + "&user=" + m_user;
}
