#include "protocol/connection.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {
class IniFile {
public:
    explicit IniFile(const std::string& text)
    {
        char name[] = "/tmp/vq7configXXXXXX";
        int fd = mkstemp(name);
        close(fd);
        m_path = name;
        std::ofstream(m_path) << text;
    }
    ~IniFile() { std::remove(m_path.c_str()); }
    const std::string& Path() const { return m_path; }
    std::string Text() const
    {
        std::ifstream in(m_path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::string m_path;
};

void ExpectFileDefaults(const connection& c)
{
    EXPECT_EQ("COM1", c.m_sPort);
    EXPECT_EQ("192.168.0.1", c.m_sIp);
    EXPECT_EQ("10001", c.m_sTcpIpPort);
    EXPECT_EQ(115200u, c.m_nSpeed);
    EXPECT_EQ(0, c.m_nAuxTmout);
    EXPECT_EQ(1, c.m_nDevNom);
}
}

TEST(ConnectionSettings, InitialValuesAndFileDefaults)
{
    connection fresh;
    EXPECT_EQ("COM1", fresh.m_sPort);
    EXPECT_EQ(9600u, fresh.m_nSpeed);
    EXPECT_EQ(0, fresh.m_nDevNom);
    EXPECT_EQ("10001", fresh.m_sTcpIpPort);
    EXPECT_EQ("192.168.0.1", fresh.m_sIp);

    IniFile other("[OTHER]\nport=COM9\nspeed=300\n");
    connection c;
    c.m_sPort = "COM5";
    c.m_nSpeed = 19200;
    c.LoadSettings(other.Path());
    ExpectFileDefaults(c);

    connection missing;
    missing.LoadSettings("/tmp/vq7-no-such-dir/config.ini");
    ExpectFileDefaults(missing);
}

TEST(ConnectionSettings, KeysIgnoreCaseAndNumbersTakeLeadingDigits)
{
    IniFile file("[connection]\nPORT=TCP/IP\nip=10.1.2.3\ntcpipPORT=4001x\nSpeed=fast\nauxtmout=250ms\nDEV_NOM=77\n");
    connection c;
    c.LoadSettings(file.Path());
    EXPECT_EQ("TCP/IP", c.m_sPort);
    EXPECT_EQ("10.1.2.3", c.m_sIp);
    EXPECT_EQ("4001", c.m_sTcpIpPort);
    EXPECT_EQ(0u, c.m_nSpeed);
    EXPECT_EQ(250, c.m_nAuxTmout);
    EXPECT_EQ(77, c.m_nDevNom);

    IniFile typo("[CONNECTION]\nAuxTmout=600000\n");
    c.LoadSettings(typo.Path());
    EXPECT_EQ(10000, c.m_nAuxTmout);   // limited as the settings dialog limits it
}

TEST(ConnectionSettings, SaveKeepsOtherContentAndNeverWritesMeterNumber)
{
    IniFile file("[REPORT]\ntitle=rig 2\n\n[CONNECTION]\ndev_nom=5\nextra=keep me\nSPEED=9600\n");
    connection c;
    c.m_sPort = "COM7";
    c.m_sIp = "10.0.0.9";
    c.m_sTcpIpPort = "5000";
    c.m_nSpeed = 57600;
    c.m_nAuxTmout = 300;
    c.m_nDevNom = 42;
    ASSERT_TRUE(c.SaveSettings(file.Path()));

    connection loaded;
    loaded.LoadSettings(file.Path());
    EXPECT_EQ("COM7", loaded.m_sPort);
    EXPECT_EQ("10.0.0.9", loaded.m_sIp);
    EXPECT_EQ("5000", loaded.m_sTcpIpPort);
    EXPECT_EQ(57600u, loaded.m_nSpeed);
    EXPECT_EQ(300, loaded.m_nAuxTmout);
    EXPECT_EQ(5, loaded.m_nDevNom);

    const std::string text = file.Text();
    EXPECT_NE(std::string::npos, text.find("[REPORT]"));
    EXPECT_NE(std::string::npos, text.find("rig 2"));
    EXPECT_NE(std::string::npos, text.find("keep me"));
    EXPECT_EQ(std::string::npos, text.find("42"));
    EXPECT_EQ(std::string::npos, text.find("9600"));   // the key was updated, not duplicated
}

TEST(ConnectionSettings, AnUnconfiguredPortStaysUnconfigured)
{
    struct Case {
        const char* file;     // config.ini before
        bool configured;      // after loading it
        const char* saved;    // port line after saving, "" for none
    };
    const Case cases[] = {
        {"[CONNECTION]\nspeed=9600\n", false, ""},
        {"[CONNECTION]\nport=COM1\n", true, "\nport = COM1"},   // chosen, even if it is the initial value
        {"[CONNECTION]\nport=/dev/ttyUSB0\n", true, "\nport = /dev/ttyUSB0"},
    };
    for (const Case& c : cases) {
        IniFile file(c.file);
        connection conn;
        conn.LoadSettings(file.Path());
        EXPECT_EQ(conn.PortConfigured(), c.configured) << c.file;
        ASSERT_TRUE(conn.SaveSettings(file.Path()));
        const std::string text = file.Text();
        if (*c.saved)
            EXPECT_NE(text.find(c.saved), std::string::npos) << text;
        else
            EXPECT_EQ(text.find("\nport ="), std::string::npos) << text;
    }
    connection set;
    set.m_sPort = "/dev/pts/3";   // set by a program (vq7ctl --port)
    EXPECT_TRUE(set.PortConfigured());
}
