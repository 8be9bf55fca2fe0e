#include "protocol/vq7prot/MonitorFeed.h"

size_t CMonitorFeed::Poll(std::vector<CMonitorRow>& out)
{
    m_lines.clear();
    const size_t taken = m_target.Drain(m_lines);
    for (CMonitorLine& line : m_lines) {
        CTracedBytes traced;
        m_frames.clear();
        if (ParseTraceLine(line.m_sLine, traced)) {
            m_decoder.Decode(traced, m_frames);
        } else {
            CDecodedFrame bad;
            bad.m_sError = "нераспознанная строка трассы: " + line.m_sLine.substr(0, 80);
            m_frames.push_back(std::move(bad));
        }
        for (CDecodedFrame& frame : m_frames)
            out.push_back(CMonitorRow{line.m_nTimeMs, std::move(frame)});
    }
    return taken;
}
