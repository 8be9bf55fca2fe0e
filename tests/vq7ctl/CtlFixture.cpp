#include "CtlFixture.h"

#include <fstream>
#include <sstream>
#include <cstdlib>
#include <unistd.h>

void CtlFixture::StartRig(bool pty, unsigned integrationMs)
{
    m_rig = CRig::DefaultRig();
    m_rig->SetIntegrationMs(integrationMs);
    m_rig->SetFlow(10.0);
    std::string error;
    if (pty) {
        m_server = CSimServer::StartPty(*m_rig, "", &error);
        ASSERT_TRUE(m_server) << error;
        m_connection = {"--port", m_server->SlavePath(), "--speed", "115200"};
    } else {
        m_server = CSimServer::StartTcp(*m_rig, "127.0.0.1", 0, &error);
        ASSERT_TRUE(m_server) << error;
        m_connection = {"--ip", "127.0.0.1", "--tcp-port", std::to_string(m_server->Port())};
    }
}

void CtlFixture::TearDown()
{
    if (m_server)
        m_server->Stop();
    m_server.reset();
    m_rig.reset();
    ::unsetenv("VQ7_DATA_DIR");
    if (!m_temp.empty())
        std::filesystem::remove_all(m_temp);
}

ProcessResult CtlFixture::Ctl(const std::vector<std::string>& args, const std::string& input)
{
    // The data folder (journal.csv, config.ini) is this test's own.
    const auto data = TempDir() / "data";
    std::filesystem::create_directories(data);
    ::setenv("VQ7_DATA_DIR", data.c_str(), 1);
    std::vector<std::string> argv{VQ7CTL_PATH};
    argv.insert(argv.end(), m_connection.begin(), m_connection.end());
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, input);
}

std::filesystem::path CtlFixture::TempDir()
{
    if (m_temp.empty()) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_temp = std::filesystem::temp_directory_path() /
                 ("vq7ctl-" + std::string(info->name()) + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(m_temp);
        std::filesystem::create_directories(m_temp);
    }
    return m_temp;
}

std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}
