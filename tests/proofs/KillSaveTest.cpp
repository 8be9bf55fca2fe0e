// Every writer of a file is killed with SIGKILL at random points of its save,
// many times: the file must then hold either its old or its new whole contents.
#include "calibration/CGiGeArray.h"
#include "calibration/GiGeFile.h"
#include "report/ReportError.h"
#include "report/ResultsCsv.h"
#include "report/ZipPackage.h"
#include "support/RecordingOperator.h"
#include "protocol/connection.h"
#include "workstation/MainTables.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"
#include "vq7ctl/ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
int Rounds()
{
    const char* text = std::getenv("VQ7_KILL_ROUNDS");   // more for a long run
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 60;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "vq7kill-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

// Waits for the child, at most a few seconds; kills it when it will not end.
void Reap(pid_t pid)
{
    for (int i = 0; i < 500; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// Forks a child that saves version A once, reports through a pipe, then saves
// B, A, B, ... until it is killed at a random moment. Returns what the file held
// after each kill.
struct KillOutcome {
    int sawA = 0, sawB = 0;
    std::vector<std::string> bad;   // descriptions of files that were neither
};

// What a file holds, as compared with the two versions (its bytes by default).
using FileReader = std::function<std::string(const fs::path&)>;

KillOutcome KillWhileSaving(const fs::path& file, const std::function<void(bool second)>& save,
                            const std::string& a, const std::string& b, int rounds, unsigned maxDelayUs,
                            const FileReader& read = ReadAll)
{
    KillOutcome outcome;
    std::mt19937 random(static_cast<unsigned>(::getpid()) * 7919u + rounds);
    for (int round = 0; round < rounds; ++round) {
        int ready[2];
        if (::pipe(ready) != 0)
            throw std::runtime_error("pipe failed");
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                _exit(3);
            ::close(ready[0]);
            save(false);
            const char byte = 'r';
            if (::write(ready[1], &byte, 1) != 1)
                _exit(4);
            for (bool second = true;; second = !second)
                save(second);
        }
        ::close(ready[1]);
        char byte = 0;
        const bool started = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
        if (!started) {
            Reap(pid);
            outcome.bad.push_back("the writer did not start");
            continue;
        }
        std::uniform_int_distribution<unsigned> delay(0, maxDelayUs);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string now = read(file);
        if (now == a)
            ++outcome.sawA;
        else if (now == b)
            ++outcome.sawB;
        else
            outcome.bad.push_back("round " + std::to_string(round) + ": " + std::to_string(now.size()) +
                                  " bytes, neither version (" + std::to_string(a.size()) + " or " +
                                  std::to_string(b.size()) + ")");
    }
    return outcome;
}

void ExpectWhole(const KillOutcome& o, const char* what)
{
    EXPECT_TRUE(o.bad.empty()) << what << ": " << o.bad.size() << " broken file(s), first: " << o.bad.front();
    std::printf("%s: %d kills, old/new version found %d/%d times\n", what, o.sawA + o.sawB + int(o.bad.size()),
                o.sawA, o.sawB);
}

CGiGeArray PairTable(int count, float scale)
{
    CGiGeArray table;
    table.m_dwNumber = 11000002;
    for (int i = 0; i < count; ++i)
        table.AddPair(scale * (0.1f + i), scale * (0.1f + i) * 1.01f);
    return table;
}

// Saves a table as a backup would and returns the bytes written.
std::string SavedBytes(CGiGeArray& table, const fs::path& path)
{
    if (table.SaveToFile(path.string()) != 0)
        throw std::runtime_error("cannot save " + path.string());
    return ReadAll(path);
}
}  // namespace

class KillSave : public ::testing::Test {
protected:
    CRecordingOperator m_operator;   // messages of the calibration table
    TempFolder m_dir;
};

// Backups and pairs saved by vq7ctl go through the table's SaveToFile; the Log
// export shares its file replacement, exercised here with a file of many blocks.
TEST_F(KillSave, PairFilesAndLargeExportsAreOldOrNew)
{
    CGiGeArray small = PairTable(3, 1.0f), large = PairTable(50, 2.0f);
    const fs::path file = m_dir.Path() / "BACKUP" / "11000002.dat";
    const std::string a = SavedBytes(small, m_dir.Path() / "a.dat");
    const std::string b = SavedBytes(large, m_dir.Path() / "b.dat");
    ExpectWhole(KillWhileSaving(
                    file, [&](bool second) { (second ? large : small).SaveToFile(file.string()); }, a, b, Rounds(),
                    3000),
                "pair file");

    const fs::path log = m_dir.Path() / "Log" / "export.dat";
    const std::string bigA(100000, 'a'), bigB(250001, 'b');
    ExpectWhole(KillWhileSaving(
                    log,
                    [&](bool second) {
                        std::string error;
                        ReplaceFileContents(log.string(), second ? bigB : bigA, error);
                    },
                    bigA, bigB, Rounds(), 8000),
                "large export");
}

TEST_F(KillSave, ConfigIniIsOldOrNew)
{
    const fs::path ini = m_dir.Path() / "config.ini";
    connection a, b;
    a.m_sPort = "COM3";
    a.m_nSpeed = 9600;
    b.m_sPort = "TCP/IP";
    b.m_sIp = "10.20.30.40";
    b.m_sTcpIpPort = "4001";
    b.m_nAuxTmout = 250;
    // Another section of the file must survive every save too.
    std::ofstream(ini) << "[OPERATOR]\nname=Иванов\n";
    const fs::path refA = m_dir.Path() / "a.ini", refB = m_dir.Path() / "b.ini";
    fs::copy_file(ini, refA);
    fs::copy_file(ini, refB);
    ASSERT_TRUE(a.SaveSettings(refA.string()) && b.SaveSettings(refB.string()));
    ExpectWhole(KillWhileSaving(
                    ini, [&](bool second) { (second ? b : a).SaveSettings(ini.string()); }, ReadAll(refA),
                    ReadAll(refB), Rounds(), 3000),
                "config.ini");
}

TEST_F(KillSave, SimulatorStateIsOldOrNew)
{
    const auto statePath = [](const fs::path& dir) { return dir / "11000002.state"; };
    const std::vector<SimPair> pa{{1, 1}, {2, 2}}, pb{{1, 1.5f}, {2, 2.5f}, {3, 3.5f}, {4, 4.5f}};
    // Every EEPROM slot goes into the state: a shorter list leaves the slots of a
    // longer one behind, so both versions start from the longer list.
    std::string a, b;
    {
        TempFolder ref;
        auto rig = CRig::DefaultRig();
        ASSERT_TRUE(rig->SetStateDir(ref.Path().string()));
        rig->Meter(11000002)->SetPairs(pb);
        b = ReadAll(statePath(ref.Path()));
        rig->Meter(11000002)->SetPairs(pa);
        a = ReadAll(statePath(ref.Path()));
    }
    ASSERT_NE(a, b);
    auto rig = CRig::DefaultRig();
    ASSERT_TRUE(rig->SetStateDir(m_dir.Path().string()));
    rig->Meter(11000002)->SetPairs(pb);
    ExpectWhole(KillWhileSaving(
                    statePath(m_dir.Path()),
                    [&](bool second) { rig->Meter(11000002)->SetPairs(second ? pb : pa); }, a, b, Rounds(), 3000),
                "simulator state");
}

// vq7ctl backup killed at random points while it reads the meter and saves.
TEST_F(KillSave, Vq7ctlBackupIsOldOrNew)
{
    auto rig = CRig::DefaultRig();
    std::string error;
    auto server = CSimServer::StartTcp(*rig, "127.0.0.1", 0, &error);
    ASSERT_TRUE(server) << error;
    const std::vector<std::string> argv{VQ7CTL_PATH, "--ip", "127.0.0.1", "--tcp-port",
                                        std::to_string(server->Port()), "backup", "11000002", "--dir",
                                        (m_dir.Path() / "BACKUP").string()};
    const fs::path file = m_dir.Path() / "BACKUP" / "11000002.dat";
    std::vector<std::vector<SimPair>> versions{{{0.3f, 0.31f}, {3, 3.1f}}, {}};
    for (int i = 0; i < 15; ++i)
        versions[1].push_back({0.1f + i, 0.1f + i * 1.02f});

    // The whole file of each version, from a backup that was let finish.
    // Kills aim at the end of a run, where the file is written.
    std::vector<std::string> whole;
    long longestUs = 0;
    for (int i = 0; i < 4; ++i) {
        rig->Meter(11000002)->SetPairs(versions[i % 2]);
        const auto start = std::chrono::steady_clock::now();
        const ProcessResult r = RunProcess(argv);
        longestUs = std::max<long>(longestUs, std::chrono::duration_cast<std::chrono::microseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        if (i < 2)
            whole.push_back(ReadAll(file));
    }
    ASSERT_NE(whole[0], whole[1]);

    std::mt19937 random(static_cast<unsigned>(::getpid()));
    int broken = 0, kills = Rounds() / 2;
    for (int round = 0; round < kills; ++round) {
        const std::string before = ReadAll(file);
        const std::string& after = whole[round % 2];
        rig->Meter(11000002)->SetPairs(versions[round % 2]);
        // Nothing is allocated after the fork: the gateway's thread may hold the heap's lock.
        std::vector<char*> args;
        for (const auto& s : argv)
            args.push_back(const_cast<char*>(s.c_str()));
        args.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execv(args[0], args.data());
            _exit(127);
        }
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<long>(longestUs / 3, longestUs * 5 / 4)(random)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string now = ReadAll(file);
        if (now != before && now != after) {
            ++broken;
            ADD_FAILURE() << "round " << round << ": the backup holds " << now.size() << " bytes, neither version";
        }
    }
    EXPECT_EQ(broken, 0);
    server->Stop();
}

// A report package (zip entries carry their save time, so the document inside
// is compared): a kill leaves the old or the new whole package, never a broken zip.
TEST_F(KillSave, ReportPackageIsOldOrNew)
{
    const fs::path file = m_dir.Path() / "Reports" / "Поверка.docx";
    fs::create_directories(file.parent_path());
    const auto package = [](char fill) {
        CZipPackage p;
        p.Set("[Content_Types].xml", "<Types/>");
        p.Set("word/document.xml", std::string(200000, fill));
        return p;
    };
    const CZipPackage a = package('a'), b = package('b');
    const auto document = [](const fs::path& path) {
        try {
            return CZipPackage::Load(path.string()).Get("word/document.xml");
        } catch (const EReportError& e) {
            return std::string("unreadable: ") + e.what();
        }
    };
    ExpectWhole(KillWhileSaving(
                    file, [&](bool second) { (second ? b : a).Save(file.string()); }, std::string(200000, 'a'),
                    std::string(200000, 'b'), Rounds(), 20000, document),
                "report package");
}

// The results CSV goes through a temporary file and a rename like the report.
TEST_F(KillSave, ResultsCsvIsOldOrNew)
{
    const fs::path file = m_dir.Path() / "Reports" / "Поверка.csv";
    fs::create_directories(file.parent_path());
    CMainTables a, b;
    for (int row = 1; row < 400; ++row) {   // files of several blocks
        a.StringGrid1.SetRowCount(row + 1);
        a.StringGrid1.SetCell(1, row, std::string(300, 'a'));
        b.StringGrid1.SetRowCount(row + 1);
        b.StringGrid1.SetCell(1, row, std::string(200, 'b'));
    }
    const std::string textA = ResultsCsv(a, "x", 2.0), textB = ResultsCsv(b, "x", 2.0);
    ExpectWhole(KillWhileSaving(
                    file, [&](bool second) { WriteResultsCsv(second ? b : a, "x", 2.0, file.string()); }, textA,
                    textB, Rounds(), 8000),
                "results CSV");
}
