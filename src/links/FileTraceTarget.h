#pragma once
// A trace target that appends each line to a text file.
#include "links/TraceTypes.h"

#include <cstdio>
#include <mutex>
#include <string>

class CFileTraceTarget : public ITraceTarget {
public:
    explicit CFileTraceTarget(const std::string& path);
    ~CFileTraceTarget() override;
    CFileTraceTarget(const CFileTraceTarget&) = delete;
    CFileTraceTarget& operator=(const CFileTraceTarget&) = delete;

    bool IsOpen() const { return m_pFile != nullptr; }
    void RegisterThread(CTraceThread*, bool) override {}
    void AddLine(const std::string& line) override;

private:
    std::mutex m_lock;
    std::FILE* m_pFile;
};
