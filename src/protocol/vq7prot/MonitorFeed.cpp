#include "protocol/vq7prot/MonitorFeed.h"

#include "links/TraceLines.h"

#include <string>

size_t CMonitorFeed::Poll(std::vector<CMonitorRow>& out)
{
    m_lines.clear();
    const size_t taken = m_target.Drain(m_lines);
    for (CMonitorLine& line : m_lines) {
        CTracedBytes traced;
        m_frames.clear();
        uint64_t dropped = 0;
        if (ParseTraceLine(line.m_sLine, traced)) {
            m_decoder.Decode(traced, m_frames);
        } else if (CTraceLines::ParseDroppedLine(line.m_sLine, dropped)) {
            m_decoder.Reset();   // the request of the next answer may be among them
            CDecodedFrame gap;
            gap.m_sError = "трасса отстала, пропущено сообщений: " + std::to_string(dropped);
            m_frames.push_back(std::move(gap));
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
