#include "sim/FrameAssembler.h"

#include "sim/SimFrames.h"

void CFrameAssembler::Push(const uint8_t* bytes, size_t count, long long nowMs)
{
    if (!m_bytes.empty() && nowMs - m_lastMs > static_cast<long long>(m_gapMs))
        m_bytes.clear();
    m_lastMs = nowMs;
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    if (m_bytes.size() > 4096)   // a flood of noise: keep only the tail
        m_bytes.erase(m_bytes.begin(), m_bytes.end() - 16);
}

bool CFrameAssembler::Next(std::array<uint8_t, 16>& frame)
{
    while (m_bytes.size() >= 16) {
        if (RequestFrameOk(m_bytes.data())) {
            std::copy(m_bytes.begin(), m_bytes.begin() + 16, frame.begin());
            m_bytes.erase(m_bytes.begin(), m_bytes.begin() + 16);
            return true;
        }
        m_bytes.erase(m_bytes.begin());
    }
    return false;
}
