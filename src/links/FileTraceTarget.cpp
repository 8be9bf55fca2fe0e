#include "links/FileTraceTarget.h"

#include "common/DebugOutput.h"

CFileTraceTarget::CFileTraceTarget(const std::string& path) : m_pFile(std::fopen(path.c_str(), "a"))
{
    if (!m_pFile)
        DebugOutput("CFileTraceTarget, cannot open " + path);
}

CFileTraceTarget::~CFileTraceTarget()
{
    if (m_pFile)
        std::fclose(m_pFile);
}

void CFileTraceTarget::AddLine(const std::string& line)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_pFile)
        return;
    std::fputs(line.c_str(), m_pFile);
    std::fputc('\n', m_pFile);
    std::fflush(m_pFile);
}
