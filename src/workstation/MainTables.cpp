#include "MainTables.h"

#include "common/NumberText.h"

#include <cctype>
#include <string>

namespace {
constexpr int kTableCols = kMeterSlots + 1;

void SetResultHeader(CTextGrid& grid, const char* firstTitle, int titleRow)
{
    grid.SetColWidth(0, 60);
    for (int c = 1; c < kTableCols; ++c) {
        grid.SetColWidth(c, 77);
        grid.SetCell(c, 0, std::to_string(c));
    }
    grid.SetCell(0, titleRow, firstTitle);
}

void SetCurrentValuesRow(CTextGrid& grid, const char* title)
{
    grid.SetColWidth(0, 60);
    for (int c = 1; c < kTableCols; ++c)
        grid.SetColWidth(c, 77);
    grid.ClearRow(0);
    grid.SetCell(0, 0, title);
}
}

CMainTables::CMainTables()
    : StringGrid1(6, kMeterSlots + 1, 0, 1), StringGrid2(kTableCols, 3, 0, 2), StringGrid3(kTableCols, 3, 0, 2),
      StringGrid4(kTableCols, 2, 0, 1), StringGrid5(kTableCols, 1, 0, 0), StringGrid6(kTableCols, 1, 0, 0)
{
    SetTitles();
}

void CMainTables::SetTitles()
{
    static const char* const titles[6] = {"№", "Тип", "№ ИВБ", "№ ППР", "Ду", "Версия"};
    static const int widths[6] = {25, 55, 60, 80, 40, 50};
    for (int c = 0; c < 6; ++c) {
        StringGrid1.SetCell(c, 0, titles[c]);
        StringGrid1.SetColWidth(c, widths[c]);
    }
    for (int r = 1; r <= kMeterSlots; ++r)
        StringGrid1.SetCell(SP_NUMBER, r, std::to_string(r));
    StringGrid1.SetCurrent(SP_METER, StringGrid1.Row() < 1 ? 1 : StringGrid1.Row());

    SetResultHeader(StringGrid2, "G этал.", 1);
    SetResultHeader(StringGrid3, "G этал.", 1);
    SetResultHeader(StringGrid4, "G этал.", 0);
    SetCurrentValuesRow(StringGrid5, "Gi тек.");
    SetCurrentValuesRow(StringGrid6, "Gv тек.");
}

uint32_t CMainTables::MeterNumberOfRow(int row) const
{
    const long long n = StrToIntDef(StringGrid1.Cell(SP_METER, row), 0);
    return n < 0 || n > 0xFFFFFFFFLL ? 0 : static_cast<uint32_t>(n);
}

int CMainTables::DiameterOfRow(int row) const
{
    const long long n = StrToIntDef(StringGrid1.Cell(SP_DIAMETER, row), 0);
    return n < 0 || n > 100000 ? 0 : static_cast<int>(n);
}

bool CMainTables::StringGrid1SelectCell(int col, int)
{
    return col == SP_METER || col == SP_PPR || col == SP_DIAMETER;
}

bool CMainTables::StringGrid3SelectCell(int col, int) { return col == 0; }

bool CMainTables::StringGrid4SelectCell(int col, int) { return col >= 1 && col <= kMeterSlots; }

bool CMainTables::StringGrid5SelectCell(int, int) { return false; }

std::string CMainTables::StringGrid1GetEditMask(int col, int)
{
    if (col == SP_METER)
        return "99999990;0";   // eight digits: the rig's meter numbers
    if (col == SP_DIAMETER)
        return "999;0";
    return "";
}

std::string CMainTables::ApplyEditMask(int col, const std::string& text)
{
    size_t limit;
    if (col == SP_METER)
        limit = 8;
    else if (col == SP_DIAMETER)
        limit = 3;
    else
        return text;
    std::string digits;
    for (char ch : text)
        if (std::isdigit(static_cast<unsigned char>(ch)) && digits.size() < limit)
            digits += ch;
    return digits;
}
