#pragma once
// The calibration editor without widgets: one meter's pairs held at once as
// the grid, the chart points and the pair table, and every operation of the
// editor on them. Each operation leaves the three holding the same pairs.
// The window shows the views and turns mouse positions into axis values.
#include "ChartPoints.h"
#include "TextGrid.h"
#include "calibration/CGiGeArray.h"

#include <cstdint>
#include <string>
#include <vector>

class connection;
struct GridCellFault;

constexpr int kMaxClickedPoints = 15;

class CGiGeScaleModel {
public:
    CGiGeScaleModel();

    // Opening for a meter on the bus: reads its pairs unless its type is empty.
    void ShowForMeter(connection* conn, uint32_t number, const VQ7_INFO* info);
    // Opening on a copy of pairs formed in the main window.
    void ShowForTable(const CGiGeArray& table, uint32_t number, const VQ7_INFO* info);
    void GetGiGeArray(CGiGeArray& table) const;

    // "<model> № <number>: Масштабирование градуировочных пар".
    std::string Caption() const;
    bool MeterMode() const { return m_pConnection != nullptr; }

    // Files. Names proposed by the dialogs, and the folder they start in.
    std::string OpenFileName() const;
    std::string SaveFileName() const;
    const std::string& LogDir() const { return m_sLogDir; }
    void SetLogDir(const std::string& dir) { m_sLogDir = dir; }
    // Where the meter's pairs are kept before a write.
    const std::string& BackupDir() const { return m_sBackupDir; }
    void SetBackupDir(const std::string& dir) { m_sBackupDir = dir; }
    // Loads a confirmed file and shows it.
    void OpenFile(const std::string& path);
    // Saves the grid under LogDir()/%08u.dar; false (reported) on failure.
    bool SaveClick();
    // Writes the grid in the editor layout, through a temporary file; false (reported) on failure.
    bool SaveGridToFile(const std::string& path);

    // The meter. A write keeps the pairs it replaces under BackupDir() first.
    void LoadFromVQClick();
    void SaveToVQClick();

    // The operator typed text into a grid cell.
    void StringGrid1SetEditText(int col, int row, const std::string& text);
    // "Удалить" on the grid's current row.
    void N4Click();
    void SortGiGeButtonClick();
    void ToolButton2Click();

    // Scaling with the texts of the two edits.
    void BitBtn_CalcClick(const std::string& kuText, const std::string& zeroText);

    // Chart point editing, in axis values. Ctrl + left click on the curve:
    void AddPointClick(double x, double y);
    // Ctrl + right click on point k (-1: none).
    void DeletePointClick(int k);
    // Left button down on point k; true when a drag started (zooming stays off until DragEnd).
    bool DragStart(int k);
    // Moves the dragged point to Gi x when x lies strictly between its neighbours.
    bool DragMove(double x);
    void DragEnd();
    int DragIndex() const { return m_iDragIndex; }

    // The three views and the deviation chart.
    CTextGrid StringGrid1;
    CChartPoints Series1;
    std::vector<ChartPoint> LineSeries1;
    CGiGeArray m_GiGeArray;

    bool m_bCanEditPoints = false;
    uint32_t m_dwNumber = 0;

    // Changes with every change of the views; the window refreshes on it.
    uint64_t Revision() const { return m_nRevision; }

private:
    void Reset();
    void ShowTable();                         // grid, chart and deviation from the table
    bool RebuildFromGrid(const std::string& operation);
    void SeriesFromTable();
    void UpdateDeviationChart();
    void ReportFault(const GridCellFault& fault, const std::string& operation);
    // False, with the fault shown, when a grid cell is no number: the operation stops.
    bool GridReadable(const std::string& operation);
    void Changed() { ++m_nRevision; }

    connection* m_pConnection = nullptr;   // not owned
    const VQ7_INFO* m_pInfo = nullptr;     // not owned
    int m_iDragIndex = -1;
    std::string m_sLogDir;
    std::string m_sBackupDir;
    uint64_t m_nRevision = 0;
};
