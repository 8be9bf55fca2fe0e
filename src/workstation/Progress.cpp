#include "Progress.h"

void CProgress::Show()
{
    m_nPosition = 0;
    if (onPosition)
        onPosition(0);
    m_bVisible = true;
    if (onVisible)
        onVisible(true);
}

void CProgress::Hide()
{
    m_bVisible = false;
    if (onVisible)
        onVisible(false);
}

void CProgress::SetProgress(double fraction)
{
    if (!(fraction >= 0))
        fraction = 0;
    if (fraction > 1)
        fraction = 1;
    const int position = static_cast<int>(100 * fraction);
    if (position == m_nPosition)
        return;
    m_nPosition = position;
    if (onPosition)
        onPosition(position);
}
