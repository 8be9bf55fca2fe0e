#include "DebugOutput.h"

#include "CommonUtils.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace {
std::atomic<bool> g_enabled{std::getenv("VQ7_DEBUG") != nullptr};
std::mutex g_sinkLock;
std::function<void(const std::string&)> g_sink;
}

void SetDebugOutputEnabled(bool enabled) { g_enabled = enabled; }

void SetDebugOutputSink(std::function<void(const std::string&)> sink)
{
    std::lock_guard<std::mutex> lock(g_sinkLock);
    g_sink = std::move(sink);
}

void DebugOutput(const std::string& text)
{
    {
        std::lock_guard<std::mutex> lock(g_sinkLock);
        if (g_sink)
            g_sink(text);
    }
    if (!g_enabled)
        return;
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    std::fprintf(stderr, "%02d:%02d:%02d.%03d %s: %s\n", tm.tm_hour, tm.tm_min, tm.tm_sec, ms, ProgramName().c_str(),
                 text.c_str());
}
