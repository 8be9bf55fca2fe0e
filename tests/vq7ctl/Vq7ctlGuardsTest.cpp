// vq7ctl refuses what would reach a meter wrong or hold it without end: a journal
// that cannot take the write's line, a settings file that is no file or holds a
// wrong number, flows no rig can have, a gateway that drips its answers.
#include "CtlFixture.h"

#include "support/LoopbackServer.h"
#include "support/ScriptedLink.h"

#include <gmock/gmock.h>

#include <sys/stat.h>
#include <unistd.h>

using ::testing::HasSubstr;

namespace {
class Vq7ctlGuards : public CtlFixture {
protected:
    void SetUp() override { StartRig(false); }
};

// journal.csv in the data folder made into something that cannot be appended.
using JournalBlocker = void (*)(const std::filesystem::path& journal);

void FolderInPlace(const std::filesystem::path& journal) { std::filesystem::create_directories(journal); }
void FifoInPlace(const std::filesystem::path& journal) { ASSERT_EQ(0, ::mkfifo(journal.c_str(), 0600)); }
void ReadOnlyFile(const std::filesystem::path& journal)
{
    WriteFileBytes(journal, "");
    ::chmod(journal.c_str(), 0444);
}
}

TEST_F(Vq7ctlGuards, AJournalThatCannotBeAppendedRefusesTheWriteAndTheMeterKeepsItsValues)
{
    const std::vector<SimPair> held = {{1.0f, 1.1f}, {5.0f, 5.2f}, {10.0f, 10.1f}};
    Meter(11000004).SetPairs(held);
    const uint8_t param70 = Meter(11000004).ParamByte(70);
    const auto pairs = TempDir() / "new.dat";
    WriteFileBytes(pairs, " 0 2 2.1\r\n 1 20 20.5\r\n");

    const std::pair<const char*, JournalBlocker> blockers[] = {
        {"folder", FolderInPlace}, {"fifo", FifoInPlace}, {"read-only", ReadOnlyFile}};
    for (const auto& [name, block] : blockers) {
        SCOPED_TRACE(name);
        if (std::string(name) == "read-only" && ::geteuid() == 0)
            continue;   // root writes a read-only file all the same
        const auto journal = TempDir() / "data" / "journal.csv";
        std::filesystem::remove_all(journal);
        std::filesystem::create_directories(journal.parent_path());
        block(journal);

        ProcessResult r = Ctl({"pairs", "write", "11000004", pairs.string()});
        EXPECT_NE(0, r.exitCode);
        EXPECT_FALSE(r.timedOut);
        EXPECT_THAT(r.err, HasSubstr(journal.string()));
        r = Ctl({"param", "set", "11000004", "70", "3"});
        EXPECT_NE(0, r.exitCode);

        ASSERT_EQ(held.size(), Meter(11000004).Pairs().size());
        for (size_t i = 0; i < held.size(); ++i) {
            EXPECT_EQ(held[i].gi, Meter(11000004).Pairs()[i].gi) << i;
            EXPECT_EQ(held[i].ge, Meter(11000004).Pairs()[i].ge) << i;
        }
        EXPECT_EQ(param70, Meter(11000004).ParamByte(70));
        EXPECT_EQ(0u, Meter(11000004).CommandCount(0x06)) << "no pair count went out";
        std::filesystem::remove_all(journal);
    }
}

TEST_F(Vq7ctlGuards, ASettingsFileThatIsNoFileOrHoldsAWrongNumberEndsWithExit2)
{
    const auto dir = TempDir();
    const auto fifo = dir / "fifo.ini";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    const auto folder = dir / "folder.ini";
    std::filesystem::create_directories(folder);
    const auto wrongPort = dir / "port.ini";
    WriteFileBytes(wrongPort, "[CONNECTION]\r\nport=TCP/IP\r\nTCPIPport=70000\r\n");
    const auto wrongWait = dir / "wait.ini";
    WriteFileBytes(wrongWait, "[CONNECTION]\r\nAuxTmout=1e9\r\n[JOURNAL]\r\nreadback=yes\r\n");

    const std::pair<std::filesystem::path, std::vector<const char*>> cases[] = {
        {fifo, {"канал"}},
        {folder, {"папка"}},
        {wrongPort, {"[CONNECTION] TCPIPport=70000"}},
        {wrongWait, {"[CONNECTION] AuxTmout=1e9", "[JOURNAL] readback=yes"}},
    };
    for (const auto& [path, named] : cases) {
        SCOPED_TRACE(path.string());
        // Well within the 5 s a fifo must not hold the tool.
        const ProcessResult r = RunProcess({VQ7CTL_PATH, "--config", path.string(), "status", "11000004"}, "", 5000);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(2, r.exitCode) << r.err;
        EXPECT_THAT(r.err, HasSubstr(path.string()));
        for (const char* text : named)
            EXPECT_THAT(r.err, HasSubstr(text));
    }
    EXPECT_EQ(0u, Meter(11000004).CommandCount(0x08)) << "nothing went out";

    // No [CONNECTION]: said, with the port then used.
    const auto other = dir / "other.ini";
    WriteFileBytes(other, "[OTHER]\r\nport=COM9\r\n");
    const ProcessResult r = RunProcess({VQ7CTL_PATH, "--config", other.string(), "journal", "--file",
                                        (dir / "none.csv").string()});
    EXPECT_THAT(r.err, HasSubstr("нет раздела [CONNECTION], используется порт COM1 (/dev/ttyS0)"));
}

TEST_F(Vq7ctlGuards, FlowsNoRigCanHaveAreRefused)
{
    for (const char* points : {"0", "5,-1", "-0", "1e30"}) {
        SCOPED_TRACE(points);
        const ProcessResult r = Ctl({"verify", "--meters", "11000002", "--points", points, "--set-flow", "false"});
        EXPECT_EQ(2, r.exitCode);
        EXPECT_THAT(r.err, HasSubstr("is no flow of a rig"));
    }
    EXPECT_EQ(2, Ctl({"measure", "11000004", "--ge", "0"}).exitCode);
    EXPECT_EQ(0u, Meter(11000002).CommandCount(0x7E)) << "no cycle started";

    const auto ref = TempDir() / "reference.txt";
    for (const char* value : {"0", "-2.5", "1e308"}) {
        SCOPED_TRACE(value);
        WriteFileBytes(ref, std::string(value) + "\n");
        const ProcessResult r = Ctl({"measure", "11000004", "--ge-file", ref.string()});
        EXPECT_NE(0, r.exitCode);
        EXPECT_THAT(r.err, HasSubstr("is no reference flow"));
    }
}

// A gateway that sends a valid answer to every request one byte per 100 ms.
TEST_F(Vq7ctlGuards, IdentifyThroughAGatewayThatDripsItsAnswersEnds)
{
    LoopbackServer drip([](LoopbackServer::Peer& peer) {
        uint8_t request[16];
        while (peer.Receive(request, sizeof request, 60000)) {
            const unsigned length = request[4] >= 0x40 ? 72 : 32;
            const Bytes answer = MeterAnswer(11000004, request[4], {}, length);
            for (uint8_t b : answer)
                if (!peer.Send(&b, 1) || !peer.Sleep(100))
                    return;
        }
    });
    const ProcessResult r = RunProcess(
        {VQ7CTL_PATH, "--ip", "127.0.0.1", "--tcp-port", drip.PortText(), "identify", "11000004"}, "", 15000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_NE(0, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("1016"));
}
