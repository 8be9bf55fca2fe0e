#include "GiGeScaleModel.h"

#include "GiGeScaleGrid.h"
#include "GiGeScaling.h"
#include "GridRows.h"
#include "PairsBackup.h"
#include "WorkFolders.h"
#include "CellNumbers.h"
#include "calibration/ConnectionUse.h"
#include "calibration/GiGeFile.h"
#include "common/CommonUtils.h"
#include "common/Cp1251.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"

#include <exception>

namespace {
const char* const kLimitText = "Достигли предела по количеству градуировочних точек";
const char* const kNoAddText = "Запрещено добавлять градуировочные точки!";
const char* const kNoDeleteText = "Запрещено удалять градуировочные точки!";
}

CGiGeScaleModel::CGiGeScaleModel() : StringGrid1(kScaleGridCols, 1, 0, 0), m_sLogDir(CWorkFolders().LogDir()),
      m_sBackupDir(CWorkFolders().BackupDir())
{
    for (int c = 0; c < kScaleGridCols; ++c)
        StringGrid1.SetColWidth(c, 10);
    ResetScaleGrid(StringGrid1);
}

void CGiGeScaleModel::Reset()
{
    Series1.Clear();
    ResetScaleGrid(StringGrid1);
    Changed();
}

void CGiGeScaleModel::ShowForMeter(connection* conn, uint32_t number, const VQ7_INFO* info)
{
    m_pConnection = conn;
    m_dwNumber = number;
    m_pInfo = info;
    m_iDragIndex = -1;
    Reset();
    m_GiGeArray.SetInfo(info ? *info : VQ7_INFO{}, number);
    m_GiGeArray.Clear();
    LineSeries1.clear();
    if (info && !info->m_sType.empty())
        LoadFromVQClick();
    m_bCanEditPoints = true;
}

void CGiGeScaleModel::ShowForTable(const CGiGeArray& table, uint32_t number, const VQ7_INFO* info)
{
    m_dwNumber = number;
    m_pInfo = info;
    m_pConnection = nullptr;
    m_iDragIndex = -1;
    m_GiGeArray.Assign(table);
    ShowTable();
    m_bCanEditPoints = false;
}

void CGiGeScaleModel::GetGiGeArray(CGiGeArray& table) const { table.Assign(m_GiGeArray); }

std::string CGiGeScaleModel::Caption() const
{
    return (m_pInfo ? m_pInfo->m_sModel : std::string()) + " № " + std::to_string(m_dwNumber) +
           ": Масштабирование градуировочных пар";
}

std::string CGiGeScaleModel::OpenFileName() const { return FormatC("%8.8u.dat", m_dwNumber); }
std::string CGiGeScaleModel::SaveFileName() const { return FormatC("%8.8u.dar", m_dwNumber); }

void CGiGeScaleModel::ShowTable()
{
    Reset();
    ShowTableInGrid(m_GiGeArray, StringGrid1);
    SeriesFromTable();
    UpdateDeviationChart();
}

void CGiGeScaleModel::SeriesFromTable()
{
    Series1.Clear();
    for (int i = 0; i < m_GiGeArray.GetCount(); ++i) {
        float gi, ge;
        m_GiGeArray.GetPair(i, gi, ge);
        Series1.Add(gi, ge);
    }
    Changed();
}

void CGiGeScaleModel::UpdateDeviationChart()
{
    LineSeries1 = DeviationPoints(m_GiGeArray);
    Changed();
}

bool CGiGeScaleModel::GridReadable(const std::string& operation)
{
    std::vector<GridPair> pairs;
    GridCellFault fault;
    if (ReadGridPairs(StringGrid1, pairs, fault))
        return true;
    ReportFault(fault, operation);
    return false;
}

void CGiGeScaleModel::ReportFault(const GridCellFault& fault, const std::string& operation)
{
    Operator().MessageDialog(MsgIcon::Error, fault.Message(operation));
}

bool CGiGeScaleModel::RebuildFromGrid(const std::string& operation)
{
    std::vector<GridPair> pairs;
    GridCellFault fault;
    if (!ReadGridPairs(StringGrid1, pairs, fault)) {
        ReportFault(fault, operation);
        return false;
    }
    Series1.Clear();
    m_GiGeArray.Clear();
    for (const GridPair& p : pairs) {
        m_GiGeArray.AddPair(static_cast<float>(p.Gi), static_cast<float>(p.Ge));
        Series1.Add(static_cast<float>(p.Gi), static_cast<float>(p.Ge));
    }
    if (StringGrid1.RowCount() > 1)
        StringGrid1.SetFixed(2, 1);
    UpdateDeviationChart();
    return true;
}

void CGiGeScaleModel::OpenFile(const std::string& path)
{
    Reset();
    m_GiGeArray.LoadFromFile(path);
    ShowTable();
}

bool CGiGeScaleModel::SaveClick()
{
    return SaveGridToFile(m_sLogDir + "/" + SaveFileName());
}

bool CGiGeScaleModel::SaveGridToFile(const std::string& path)
{
    std::string text;
    GridCellFault fault;
    if (!ScaleGridFileText(StringGrid1, text, fault)) {
        ReportFault(fault, "Сохранение");
        return false;
    }
    std::string error;
    if (!ReplaceFileContents(path, ToCrLf(Utf8ToCp1251(text)), error)) {
        Operator().MessageDialog(MsgIcon::Error, "Ошибка записи файла " + path + ": " + error);
        return false;
    }
    return true;
}

void CGiGeScaleModel::LoadFromVQClick()
{
    if (!m_pConnection)
        return;
    CConnectionUse use(m_pConnection);
    Reset();
    m_GiGeArray.ReadFromMeter(m_pConnection);
    // Chart point i and table pair i must be the same pair, so a meter's
    // unordered list is taken in ascending Gi.
    m_GiGeArray.SortByGi(true);
    ShowTable();
}

void CGiGeScaleModel::SaveToVQClick()
{
    if (m_pConnection)
        WritePairsAfterBackup(*m_pConnection, m_GiGeArray, m_sBackupDir);
}

void CGiGeScaleModel::StringGrid1SetEditText(int col, int row, const std::string& text)
{
    if (row < 1 || row >= StringGrid1.RowCount() || col < 0 || col >= kScaleGridCols)
        return;
    StringGrid1.SetCell(col, row, text);
    Changed();
    RebuildFromGrid("Изменение");
}

void CGiGeScaleModel::N4Click()
{
    if (!m_bCanEditPoints) {
        Operator().MessageDialog(MsgIcon::Error, kNoDeleteText);
        return;
    }
    const int row = StringGrid1.Row();
    if (row < 1 || row < StringGrid1.FixedRows() || row >= StringGrid1.RowCount())
        return;
    if (!GridReadable("Удаление"))
        return;
    GridDeleteRow(StringGrid1, row);
    RenumberScaleGrid(StringGrid1);
    RebuildFromGrid("Удаление");
}

void CGiGeScaleModel::SortGiGeButtonClick()
{
    GridCellFault fault;
    if (!SortScaleGrid(StringGrid1, fault))
        ReportFault(fault, "Упорядочивание");
    Changed();
}

void CGiGeScaleModel::ToolButton2Click()
{
    GridCellFault fault;
    switch (AppendReverseBranch(StringGrid1, fault)) {
    case ReverseOutcome::TooFewRows:
        return;
    case ReverseOutcome::NotANumber:
        ReportFault(fault, "Создание обратной ветви");
        return;
    case ReverseOutcome::AlreadyDefined:
        Changed();   // the grid was sorted
        ShowAppMessage("Реверсивная ветвь \nградуировочной характеристики \nуже определена!!!");
        return;
    case ReverseOutcome::LimitReached:
        ShowAppMessage(kLimitText);
        break;
    case ReverseOutcome::Appended:
        break;
    }
    RebuildFromGrid("Создание обратной ветви");
}

void CGiGeScaleModel::BitBtn_CalcClick(const std::string& kuText, const std::string& zeroText)
{
    double ku = 1, zero = 0;
    if (!ReadScaling(kuText, zeroText, ku, zero)) {
        ShowAppMessage("Неверные данные для коррекции!");
        return;
    }
    ScaleGi(m_GiGeArray, ku, zero);
    // A negative slope turns the order round; the table keeps ascending Gi.
    m_GiGeArray.SortByGi(true);
    WriteTableTexts(m_GiGeArray, StringGrid1);
    SeriesFromTable();
    UpdateDeviationChart();
}

void CGiGeScaleModel::AddPointClick(double x, double y)
{
    if (!m_bCanEditPoints) {
        Operator().MessageDialog(MsgIcon::Error, kNoAddText);
        return;
    }
    if (Series1.Count() >= kMaxClickedPoints) {
        ShowAppMessage(kLimitText);
        return;
    }
    if (!GridReadable("Добавление точки"))
        return;
    const int k = Series1.Add(x, y);
    GridInsertRow(StringGrid1, k);
    StringGrid1.SetCell(SG_NUMBER, k + 1, std::to_string(k));
    StringGrid1.SetCell(SG_GI, k + 1, CellText("%.7g", x));
    StringGrid1.SetCell(SG_GE, k + 1, CellText("%.7g", y));
    RebuildFromGrid("Добавление точки");
    RenumberScaleGrid(StringGrid1);
}

void CGiGeScaleModel::DeletePointClick(int k)
{
    if (!m_bCanEditPoints) {
        Operator().MessageDialog(MsgIcon::Error, kNoDeleteText);
        return;
    }
    if (k < 0 || k >= Series1.Count())
        return;
    if (!GridReadable("Удаление"))
        return;
    Series1.Delete(k);
    GridDeleteRow(StringGrid1, k + 1);
    RebuildFromGrid("Удаление");
    RenumberScaleGrid(StringGrid1);
}

bool CGiGeScaleModel::DragStart(int k)
{
    m_iDragIndex = (k > 0 && k < Series1.Count() - 1) ? k : -1;
    return m_iDragIndex >= 0;
}

bool CGiGeScaleModel::DragMove(double x)
{
    const int k = m_iDragIndex;
    if (k < 1 || k >= Series1.Count() - 1)
        return false;
    if (!((Series1.X(k - 1) - x) * (x - Series1.X(k + 1)) > 0))
        return false;
    x = static_cast<float>(x);   // the table keeps the point as a float
    const double y = Series1.Y(k);
    Series1.Delete(k);
    m_iDragIndex = Series1.Add(x, y);
    Changed();
    return true;
}

void CGiGeScaleModel::DragEnd()
{
    const int k = m_iDragIndex;
    m_iDragIndex = -1;
    if (k < 0 || k >= m_GiGeArray.GetCount() || k >= Series1.Count())
        return;
    {
        std::lock_guard<std::recursive_mutex> lock(m_GiGeArray.Lock());
        GiGePair& pair = m_GiGeArray.PairAt(k);
        pair.Gi = static_cast<float>(Series1.X(k));
        pair.Ge = static_cast<float>(Series1.Y(k));
    }
    WriteTableTexts(m_GiGeArray, StringGrid1);
    UpdateDeviationChart();
}
