#include "ResultTableActions.h"

#include "MainTables.h"
#include "MeasurementRows.h"
#include "SeriesControl.h"
#include "WindowState.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"

CResultTableActions::CResultTableActions(CSystem& system, CMainTables& tables, CWindowState& state)
    : m_system(system), m_tables(tables), m_state(state)
{
}

CTextGrid* CResultTableActions::ActiveTable()
{
    if (m_state.ActivePage == PAGE_CALIBRATION)
        return &m_tables.StringGrid2;
    if (m_state.ActivePage == PAGE_VERIFICATION)
        return &m_tables.StringGrid3;
    return nullptr;
}

void CResultTableActions::SortGiGeButtonClick()
{
    CTextGrid* grid = ActiveTable();
    if (!grid)
        return;
    try {
        SortMeasurementRows(*grid);
    } catch (const EConvertError& e) {
        Operator().MessageDialog(MsgIcon::Error, e.what());
    }
}

void CResultTableActions::InvertGiGeButtonClick()
{
    if (m_state.ActivePage != PAGE_CALIBRATION)
        return;
    try {
        if (MirrorReverseBranch(m_tables.StringGrid2, OccupiedSlotsOf(m_system)) == MirrorOutcome::BothDirections)
            ShowAppMessage("Реверсивная ветвь \nградуировочной характеристики \nуже определена!!!");
    } catch (const EConvertError& e) {
        Operator().MessageDialog(MsgIcon::Error, e.what());
    }
}

void CResultTableActions::N4Click()
{
    if (CTextGrid* grid = ActiveTable())
        DeleteMeasurementRow(*grid, grid->Row());
}
