#include "WindowState.h"

void CWindowState::PageControl1Change(int page)
{
    ActivePage = page;
    switch (page) {
    case PAGE_SET_POINTS:
        ButtonStartPauseEnabled = false;
        ButtonStopEnabled = false;
        break;
    case PAGE_CALIBRATION:
        ButtonStartPauseEnabled = true;
        ButtonStopEnabled = true;
        InvertGiGeEnabled = true;
        break;
    case PAGE_VERIFICATION:
        ButtonStartPauseEnabled = true;
        ButtonStopEnabled = true;
        InvertGiGeEnabled = false;
        break;
    default:
        break;
    }
}

bool CWindowState::SelectPage(int page)
{
    if (page == ActivePage)
        return true;
    if (page < PAGE_SET_POINTS || page > PAGE_VERIFICATION || !PageControl1Changing())
        return false;
    PageControl1Change(page);
    return true;
}
