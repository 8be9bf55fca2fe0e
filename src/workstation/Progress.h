#pragma once
// The status bar's progress of the long operations, reported through call-backs.
#include <functional>

class CProgress {
public:
    std::function<void(bool visible)> onVisible;   // show or hide the bar
    std::function<void(int position)> onPosition;  // 0..100, only when it changes

    void Show();    // visible at 0
    void Hide();
    // Position := 100 × fraction, truncated; fractions outside 0..1 are clamped.
    void SetProgress(double fraction);
    int Position() const { return m_nPosition; }
    bool Visible() const { return m_bVisible; }

private:
    int m_nPosition = 0;
    bool m_bVisible = false;
};
