// A backup before every write, from every door: after vq7ctl pairs write,
// vq7ctl restore, the window's pairs tab and restore, and the editor's write,
// the table the meter held just before is on disk under BACKUP/ and goes back
// into the meter from there. A converter is restarted once per write.
#include "CtlFixture.h"

#include "calibration/CGiGeArray.h"
#include "calibration/ConnectionUse.h"
#include "common/DecimalSeparator.h"
#include "common/NumberText.h"
#include "measurement/CSystem.h"
#include "sim/Faults.h"
#include "support/RecordingOperator.h"
#include "workstation/GiGeScaleModel.h"
#include "workstation/MainTables.h"
#include "workstation/Workstation.h"

#include <gmock/gmock.h>

#include <functional>

namespace fs = std::filesystem;

namespace {
const std::vector<SimPair> kFormer = {{0.5f, 0.51f}, {5.0f, 5.2f}, {20.0f, 20.5f}};
const std::vector<SimPair> kNew = {{1.0f, 1.1f}, {10.0f, 10.4f}};

std::string TableText(const std::vector<SimPair>& pairs)
{
    std::string text;
    for (size_t i = 0; i < pairs.size(); ++i)
        text += FormatC(" %zu %14.6e %14.6e\r\n", i, static_cast<double>(pairs[i].gi), static_cast<double>(pairs[i].ge));
    return text;
}

bool SamePairs(const std::vector<SimPair>& a, const std::vector<SimPair>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].gi != b[i].gi || a[i].ge != b[i].ge)
            return false;
    return true;
}

// The files under dir, history/ included, that hold exactly these pairs.
std::vector<fs::path> FilesHolding(const fs::path& dir, const std::vector<SimPair>& pairs)
{
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(dir, ec)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".dat")
            continue;
        CGiGeArray table;
        if (table.LoadFromFile(entry.path().string()) != 0)
            continue;
        std::vector<SimPair> held;
        for (int i = 0; i < table.GetCount(); ++i) {
            float gi, ge;
            table.GetPair(i, gi, ge);
            held.push_back({gi, ge});
        }
        if (SamePairs(held, pairs))
            found.push_back(entry.path());
    }
    return found;
}

class WriteBackup : public CtlFixture {
protected:
    void SetUp() override
    {
        SetDecimalSeparator('.');
        StartRig(false);
    }

    fs::path Data() { return TempDir() / "data"; }
    fs::path Backup() { return Data() / "BACKUP"; }

    VQ7_INFO Identify(uint32_t number)
    {
        VQ7_INFO info;
        CConnectionUse use(&m_sim->Conn());
        EXPECT_EQ(GetDeviceInfo(&m_sim->Conn(), number, info), 0u);
        return info;
    }

    // The window's workflow on the rig: the meter in slot 0 with nominal diameter dn.
    struct Window {
        CSystem system;
        CWorkstation ws;
        Window(connection& conn, const fs::path& base, uint32_t number, const char* dn) : system(&conn), ws(conn, system)
        {
            ws.Folders.SetBaseDir(base.string());
            ws.Pairs.m_nRebootWaitMs = 0;
            ws.MeterList.StringGrid1GetEditText(SP_METER, 1);
            ws.MeterList.StringGrid1SetEditText(SP_METER, 1, std::to_string(number));
            ws.MeterList.StringGrid1GetEditText(SP_DIAMETER, 1);
            ws.MeterList.StringGrid1SetEditText(SP_DIAMETER, 1, dn);
        }
        // The formed pairs of slot 0, in the pairs table's layout (Ge, then Gi).
        void FormPairs(const std::vector<SimPair>& pairs)
        {
            CTextGrid& grid = ws.Tables.StringGrid4;
            grid.SetRowCount(static_cast<int>(pairs.size()) + 2);
            for (size_t i = 0; i < pairs.size(); ++i)
                grid.SetRowCells(static_cast<int>(i) + 1, {FormatC("%E", static_cast<double>(pairs[i].ge)),
                                                           FormatC("%E", static_cast<double>(pairs[i].gi))});
        }
    };

    CRecordingOperator m_operator;
};

struct Door {
    const char* name;
    // Makes the meter, which holds kFormer, take kNew.
    std::function<void(uint32_t number)> write;
};
}

TEST_F(WriteBackup, TheFormerTableCanBeRestoredAfterAWriteFromEveryDoor)
{
    const uint32_t number = 11000004;   // a flow meter: no restart to wait for
    const std::vector<Door> doors = {
        {"vq7ctl pairs write",
         [this](uint32_t n) {
             WriteFileBytes(TempDir() / "new.dat", TableText(kNew));
             const ProcessResult r = Ctl({"pairs", "write", std::to_string(n), (TempDir() / "new.dat").string()});
             EXPECT_EQ(r.exitCode, 0) << r.err;
         }},
        {"vq7ctl restore",
         [this](uint32_t n) {
             const fs::path source = Backup() / (std::to_string(n) + ".dat");   // "%08u", eight digits here
             fs::create_directories(Backup());
             WriteFileBytes(source, TableText(kNew));
             const ProcessResult r = Ctl({"restore", std::to_string(n)});
             EXPECT_EQ(r.exitCode, 0) << r.err;
             EXPECT_EQ(ReadFileBytes(source), TableText(kNew)) << "the file restored stays";
         }},
        {"window pairs tab",
         [this](uint32_t n) {
             Window w(m_sim->Conn(), Data(), n, "0");
             Meter(n).SetPairs({{2, 2}, {4, 4}});   // the list's backup holds another table
             ASSERT_EQ(w.ws.MeterList.ButtonUpdateInfoClick(), 0);
             Meter(n).SetPairs(kFormer);
             w.FormPairs(kNew);
             EXPECT_EQ(w.ws.Pairs.SaveGiGeToDeviceClick(), 0);
         }},
        {"window restore",
         [this](uint32_t n) {
             Window w(m_sim->Conn(), Data(), n, "0");
             Meter(n).SetPairs(kNew);
             ASSERT_EQ(w.ws.MeterList.ButtonUpdateInfoClick(), 0);   // BACKUP/ now holds kNew
             Meter(n).SetPairs(kFormer);
             EXPECT_EQ(w.ws.MeterList.RestoreBackupPairs(n), 0);
         }},
        {"editor",
         [this](uint32_t n) {
             const VQ7_INFO info = Identify(n);
             CGiGeScaleModel editor;
             editor.SetBackupDir(Backup().string());
             editor.ShowForMeter(&m_sim->Conn(), n, &info);
             WriteFileBytes(TempDir() / "edited.dat", TableText(kNew));
             editor.OpenFile((TempDir() / "edited.dat").string());
             editor.SaveToVQClick();
         }},
    };
    for (const Door& door : doors) {
        SCOPED_TRACE(door.name);
        fs::remove_all(TempDir());
        fs::create_directories(Data());
        Meter(number).SetPairs(kFormer);
        door.write(number);
        ASSERT_TRUE(SamePairs(Meter(number).Pairs(), kNew)) << "the write took place";

        const std::vector<fs::path> kept = FilesHolding(Backup(), kFormer);
        ASSERT_FALSE(kept.empty()) << "the former table is under BACKUP/";
        const ProcessResult r = Ctl({"pairs", "write", std::to_string(number), kept.front().string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(SamePairs(Meter(number).Pairs(), kFormer)) << "restored from " << kept.front();
    }
}

TEST_F(WriteBackup, AMeterWhosePairsCannotBeKeptIsNotWritten)
{
    const uint32_t number = 11000004;
    Meter(number).SetPairs(kFormer);
    // The backup folder cannot be made: a file holds its name.
    fs::create_directories(Data());
    WriteFileBytes(Backup(), "x");
    WriteFileBytes(TempDir() / "new.dat", TableText(kNew));
    ProcessResult r = Ctl({"pairs", "write", std::to_string(number), (TempDir() / "new.dat").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, ::testing::HasSubstr("could not be kept; nothing written"));
    r = Ctl({"restore", std::to_string(number)});
    EXPECT_EQ(r.exitCode, 1);

    CGiGeScaleModel editor;
    editor.SetBackupDir(Backup().string());
    const VQ7_INFO info = Identify(number);
    editor.ShowForMeter(&m_sim->Conn(), number, &info);
    editor.OpenFile((TempDir() / "new.dat").string());
    m_operator.Clear();
    editor.SaveToVQClick();
    EXPECT_TRUE(SamePairs(Meter(number).Pairs(), kFormer));
    ASSERT_FALSE(m_operator.Texts().empty());
    EXPECT_THAT(m_operator.Texts().back(), ::testing::HasSubstr("не удалось сохранить резервную копию"));
}

TEST_F(WriteBackup, AConverterIsRestartedOncePerWrite)
{
    const uint32_t number = 11000006;   // DZW4
    struct Case {
        const char* name;
        std::function<void()> write;
    };
    const std::vector<Case> cases = {
        {"window pairs tab, with the parameters of Ду 15",
         [this, number] {
             Window w(m_sim->Conn(), Data(), number, "15");
             ASSERT_EQ(w.ws.MeterList.ButtonUpdateInfoClick(), 0);
             w.FormPairs(kNew);
             EXPECT_EQ(w.ws.Pairs.SaveGiGeToDeviceClick(), 0);
         }},
        {"window pairs tab, its parameters refused",
         [this, number] {
             Window w(m_sim->Conn(), Data(), number, "15");
             ASSERT_EQ(w.ws.MeterList.ButtonUpdateInfoClick(), 0);
             w.FormPairs(kNew);
             Meter(number).AddFault({FaultKind::Refuse, 0x0A, 1.0, FAULT_UNLIMITED, 0});
             EXPECT_NE(w.ws.Pairs.SaveGiGeToDeviceClick(), 0);
             Meter(number).ClearFaults();
         }},
        {"editor",
         [this, number] {
             const VQ7_INFO info = Identify(number);
             CGiGeScaleModel editor;
             editor.SetBackupDir(Backup().string());
             editor.ShowForMeter(&m_sim->Conn(), number, &info);
             WriteFileBytes(TempDir() / "edited.dat", TableText(kNew));
             editor.OpenFile((TempDir() / "edited.dat").string());
             editor.m_GiGeArray.m_nRestartWaitMs = 0;
             editor.SaveToVQClick();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WaitUntil([&] { return !Meter(number).Silent(); }, 10000));
        Meter(number).SetPairs(kFormer);
        const unsigned before = Meter(number).RestartCount();
        c.write();
        EXPECT_TRUE(SamePairs(Meter(number).Pairs(), kNew));
        EXPECT_EQ(Meter(number).RestartCount() - before, 1u);
    }
}
