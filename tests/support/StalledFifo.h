#pragma once
// A named pipe in a temporary folder that nobody reads until asked: a file
// written into it stalls once the pipe's small buffer is full, as a trace file
// on a hung disk would.
#include <string>
#include <thread>

class CStalledFifo {
public:
    CStalledFifo();
    ~CStalledFifo();
    CStalledFifo(const CStalledFifo&) = delete;
    CStalledFifo& operator=(const CStalledFifo&) = delete;

    bool IsReady() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

    // Starts reading everything until the last writer closes; call after the
    // writer has opened the pipe.
    void StartReading();
    // Waits for the end and returns what was read.
    std::string Text();

private:
    std::string m_dir;
    std::string m_path;
    int m_fd = -1;
    std::thread m_reader;
    std::string m_text;
};
