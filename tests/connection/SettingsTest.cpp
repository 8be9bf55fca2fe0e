#include "protocol/connection.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
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

TEST(ConnectionSettings, KeysIgnoreCase)
{
    IniFile file("[connection]\nPORT=TCP/IP\nip=10.1.2.3\ntcpipPORT=4001\nSpeed=57600\nauxtmout=250\nDEV_NOM=77\n");
    connection c;
    const CSettingsFile read = c.LoadSettings(file.Path());
    EXPECT_TRUE(read.Errors().empty());
    EXPECT_TRUE(read.Warnings().empty());
    EXPECT_EQ("TCP/IP", c.m_sPort);
    EXPECT_EQ("10.1.2.3", c.m_sIp);
    EXPECT_EQ("4001", c.m_sTcpIpPort);
    EXPECT_EQ(57600u, c.m_nSpeed);
    EXPECT_EQ(250, c.m_nAuxTmout);
    EXPECT_EQ(77, c.m_nDevNom);
}

TEST(ConnectionSettings, ANumberThatDoesNotConvertOrIsOutOfRangeIsAnErrorAndTheDefaultStays)
{
    struct Case {
        const char* line;
        bool wrong;
    };
    const Case cases[] = {
        {"TCPIPport=65535", false}, {"TCPIPport=1", false},     {"TCPIPport=70000", true}, {"TCPIPport=0", true},
        {"TCPIPport=4001x", true},  {"TCPIPport=", true},       {"TCPIPport=0x10", true},  {"speed=50", false},
        {"speed=4000000", false},   {"speed=fast", true},       {"speed=0", true},         {"speed=99999999", true},
        {"AuxTmout=10000", false},  {"AuxTmout=1e9", true},     {"AuxTmout=600000", true}, {"AuxTmout=-1", true},
        {"AuxTmout=2.5", true},     {"dev_nom=7", false},       {"dev_nom=x", true},
        {"speed=99999999999999999999999", true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        IniFile file(std::string("[CONNECTION]\n") + k.line + "\n");
        connection c;
        const CSettingsFile read = c.LoadSettings(file.Path());
        if (!k.wrong) {
            EXPECT_TRUE(read.Errors().empty());
            continue;
        }
        ASSERT_EQ(1u, read.Errors().size());
        // Section, key and value are named.
        EXPECT_NE(std::string::npos, read.Errors()[0].find(std::string("[CONNECTION] ") + k.line)) << read.Errors()[0];
        ExpectFileDefaults(c);
    }
}

TEST(ConnectionSettings, ASectionOrKeyGivenTwiceIsAWarningAndTheLastValueCounts)
{
    IniFile file("[CONNECTION]\nspeed=9600\nspeed=19200\n[other]\nx=1\n[connection]\nport=COM2\n");
    connection c;
    const CSettingsFile read = c.LoadSettings(file.Path());
    EXPECT_TRUE(read.Errors().empty());
    ASSERT_EQ(2u, read.Warnings().size());
    EXPECT_NE(std::string::npos, read.Warnings()[0].find("[CONNECTION] speed")) << read.Warnings()[0];
    EXPECT_NE(std::string::npos, read.Warnings()[1].find("[connection]")) << read.Warnings()[1];
    EXPECT_EQ(19200u, c.m_nSpeed);
    EXPECT_EQ("COM2", c.m_sPort);
}

TEST(ConnectionSettings, AFileWithoutTheSectionSaysSoAndNamesThePortUsed)
{
    IniFile file("[OTHER]\nport=COM9\n");
    connection c;
    const CSettingsFile read = c.LoadSettings(file.Path());
    ASSERT_EQ(1u, read.Warnings().size());
    EXPECT_NE(std::string::npos, read.Warnings()[0].find("[CONNECTION]"));
    EXPECT_NE(std::string::npos, read.Warnings()[0].find("COM1 (/dev/ttyS0)")) << read.Warnings()[0];

    const CSettingsFile none = c.LoadSettings("/tmp/vq7-no-such-dir/config.ini");
    EXPECT_TRUE(none.Warnings().empty());   // no file at all: the defaults, without a word
    EXPECT_TRUE(none.Errors().empty());
}

// A fifo or a folder in place of config.ini: an error at once, never a wait (the
// test's time-out catches a hang), and a save leaves it alone.
TEST(ConnectionSettings, AFileThatIsNoRegularFileIsAnErrorAtOnce)
{
    char dir[] = "/tmp/vq7settingsXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string fifo = std::string(dir) + "/fifo.ini", folder = std::string(dir) + "/folder.ini";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    ASSERT_EQ(0, mkdir(folder.c_str(), 0700));
    for (const auto& [path, kind] : {std::pair{fifo, "канал"}, std::pair{folder, "папка"}}) {
        SCOPED_TRACE(path);
        connection c;
        const CSettingsFile read = c.LoadSettings(path);
        ASSERT_EQ(1u, read.Errors().size());
        EXPECT_NE(std::string::npos, read.Errors()[0].find(path));
        EXPECT_NE(std::string::npos, read.Errors()[0].find(kind)) << read.Errors()[0];
        ExpectFileDefaults(c);
        EXPECT_FALSE(c.SaveSettings(path));
    }
    rmdir(folder.c_str());
    unlink(fifo.c_str());
    rmdir(dir);
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

TEST(ConnectionSettings, ALongValueIsCutTo254BytesAndReadsBackAsSaved)
{
    // The cut lands just after a tab: kept, it would be saved and then stripped on reading.
    const std::string port = std::string(253, 'D') + "\t\tCOM2";
    IniFile file("[CONNECTION]\nport=" + port + "\nIP=" + std::string(300, '1') + "\n");
    connection loaded;
    loaded.LoadSettings(file.Path());
    EXPECT_EQ(std::string(253, 'D'), loaded.m_sPort);
    EXPECT_EQ(std::string(254, '1'), loaded.m_sIp);
    ASSERT_TRUE(loaded.SaveSettings(file.Path()));
    connection again;
    again.LoadSettings(file.Path());
    EXPECT_EQ(loaded.m_sPort, again.m_sPort);
    EXPECT_EQ(loaded.m_sIp, again.m_sIp);
}

TEST(ConnectionSettings, AUtf8SignatureIsKeptAndABomStartingKeyStaysAKey)
{
    const std::string bom = "\xEF\xBB\xBF";
    {   // a file saved with a signature keeps it
        IniFile file(bom + "[CONNECTION]\nport=COM3\n");
        connection loaded;
        loaded.LoadSettings(file.Path());
        ASSERT_TRUE(loaded.SaveSettings(file.Path()));
        EXPECT_EQ(0u, file.Text().rfind(bom + "[CONNECTION]", 0));
        connection again;
        again.LoadSettings(file.Path());
        EXPECT_EQ("COM3", again.m_sPort);
    }
    {   // after the signature, a line starting with those bytes is a key, not a section,
        // and must not turn into [CONNECTION] once it is written first in the file
        IniFile file(bom + bom + "[CONNECTION]x=1\nport=COM2\n");
        connection loaded;
        loaded.LoadSettings(file.Path());
        EXPECT_FALSE(loaded.PortConfigured());
        ASSERT_TRUE(loaded.SaveSettings(file.Path()));
        connection again;
        again.LoadSettings(file.Path());
        EXPECT_FALSE(again.PortConfigured());
        EXPECT_EQ(loaded.m_sPort, again.m_sPort);
    }
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
