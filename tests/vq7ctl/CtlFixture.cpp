#include "CtlFixture.h"

#include <fstream>
#include <sstream>
#include <cstdlib>
#include <unistd.h>

void CtlFixture::StartRig(bool pty, unsigned integrationMs)
{
    auto rig = CRig::DefaultRig();
    rig->SetIntegrationMs(integrationMs);
    rig->SetFlow(10.0);
    m_sim.reset();
    m_sim = std::make_unique<SimRig>(pty ? SimRig::Pty : SimRig::Tcp, std::move(rig));
    m_rig = &m_sim->Rig();
    m_server = &m_sim->Server();
    const connection& c = m_sim->Conn();
    if (pty)
        m_connection = {"--port", c.m_sPort, "--speed", std::to_string(c.m_nSpeed)};
    else
        m_connection = {"--ip", c.m_sIp, "--tcp-port", c.m_sTcpIpPort};
}

void CtlFixture::StartRig(std::unique_ptr<CRig> rig)
{
    m_sim.reset();
    m_sim = std::make_unique<SimRig>(SimRig::Tcp, std::move(rig));
    m_rig = &m_sim->Rig();
    m_server = &m_sim->Server();
    m_connection = {"--ip", "127.0.0.1", "--tcp-port", m_sim->Conn().m_sTcpIpPort};
}

void CtlFixture::TearDown()
{
    m_sim.reset();
    m_server = nullptr;
    m_rig = nullptr;
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
