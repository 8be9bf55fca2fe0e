// Edit tracking of the meter list and the tab lock, without a rig.
#include "support/RecordingOperator.h"
#include "measurement/CSystem.h"
#include "protocol/connection.h"
#include "workstation/Workstation.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
class WindowState : public ::testing::Test {
protected:
    WindowState() : m_system(&m_conn), m_ws(m_conn, m_system)
    {
        // Nothing listens there: any exchange would fail.
        m_conn.m_sPort = "TCP/IP";
        m_conn.m_sIp = "127.0.0.1";
        m_conn.m_sTcpIpPort = "1";
        m_ws.Folders.SetBaseDir((std::filesystem::temp_directory_path() / "vq7ws-no-backup").string());
        std::filesystem::remove_all(m_ws.Folders.BaseDir());
    }
    CRecordingOperator m_operator;
    connection m_conn;
    CSystem m_system;
    CWorkstation m_ws;
};
}

TEST_F(WindowState, TabsFollowEditsAndApplication)
{
    EXPECT_FALSE(m_ws.State.ButtonUpdateInfoEnabled);
    EXPECT_TRUE(m_ws.State.SelectPage(PAGE_VERIFICATION));
    EXPECT_TRUE(m_ws.State.ButtonStartPauseEnabled);
    EXPECT_FALSE(m_ws.State.InvertGiGeEnabled);
    EXPECT_TRUE(m_ws.State.SelectPage(PAGE_SET_POINTS));
    EXPECT_FALSE(m_ws.State.ButtonStopEnabled);

    // Entering and leaving a cell unchanged is no edit.
    m_ws.MeterList.StringGrid1GetEditText(SP_PPR, 3);
    m_ws.MeterList.StringGrid1SetEditText(SP_PPR, 3, "");
    m_ws.MeterList.StringGrid1Exit();
    EXPECT_TRUE(m_ws.State.PageChangeAllowed);

    m_ws.MeterList.StringGrid1GetEditText(SP_PPR, 3);
    m_ws.MeterList.StringGrid1SetEditText(SP_PPR, 3, "A");
    m_ws.MeterList.StringGrid1SetEditText(SP_PPR, 3, "");
    EXPECT_TRUE(m_ws.State.ButtonUpdateInfoEnabled);
    EXPECT_FALSE(m_ws.State.SelectPage(PAGE_CALIBRATION));
    EXPECT_EQ(m_ws.State.ActivePage, PAGE_SET_POINTS);

    // All rows empty: applied without any exchange, and no backup.
    EXPECT_EQ(m_ws.MeterList.ButtonUpdateInfoClick(), 0);
    EXPECT_FALSE(m_ws.State.ButtonUpdateInfoEnabled);
    EXPECT_TRUE(m_ws.State.SelectPage(PAGE_CALIBRATION));
    EXPECT_TRUE(m_ws.State.InvertGiGeEnabled);
    EXPECT_FALSE(std::filesystem::exists(m_ws.Folders.BackupDir()));
    EXPECT_EQ(m_conn.m_nSent, 0u);
    EXPECT_TRUE(m_operator.Texts().empty());
}

TEST_F(WindowState, ResultTableHandlersActOnTheActiveTab)
{
    CTextGrid& meas = m_ws.Tables.StringGrid2;
    meas.SetRowCells(2, {"1"});
    meas.SetRowCount(4);
    meas.SetRowCells(3, {"3"});
    meas.SetRowCount(5);

    m_ws.ResultTables.SortGiGeButtonClick();   // set points tab: nothing
    EXPECT_EQ(meas.Cell(0, 2), "1");
    ASSERT_TRUE(m_ws.State.SelectPage(PAGE_CALIBRATION));
    m_ws.ResultTables.SortGiGeButtonClick();
    EXPECT_EQ(meas.Cell(0, 2), "3");

    meas.SetCurrent(0, 3);
    m_ws.ResultTables.N4Click();
    EXPECT_EQ(meas.RowCount(), 4);
    EXPECT_EQ(meas.Cell(0, 2), "3");

    // A Ge that is no number is reported, not thrown.
    meas.SetCell(0, 2, "x");
    meas.SetRowCount(5);
    meas.SetRowCells(3, {"2"});
    m_ws.ResultTables.SortGiGeButtonClick();
    ASSERT_EQ(m_operator.Messages().size(), 1u);
    EXPECT_EQ(m_operator.Messages()[0].kind, RecordedMessage::Error);

    // Too few rows: the pair buttons write nothing, and the write says so.
    EXPECT_EQ(m_ws.Pairs.SaveGiGeToFileClick(), 0);
    EXPECT_EQ(m_ws.Pairs.SaveGiGeToDeviceClick(), -1);
    EXPECT_EQ(m_operator.Texts().back(), "Градуировочные пары не записаны: их должно быть минимум 2.");
    EXPECT_EQ(m_conn.m_nSent, 0u);
}
