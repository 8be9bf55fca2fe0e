#pragma once
// Waiting for a condition instead of sleeping a fixed time, and short retry pauses.
#include "protocol/vq7prot/vq7cmd.h"

#include <chrono>
#include <functional>

// True when pred() became true within timeoutMs; it is checked every few milliseconds.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs);

long long MsSince(std::chrono::steady_clock::time_point start);

// Sets the pause between transaction retries for its lifetime, then restores the old one.
class ScopedRetryPause {
public:
    explicit ScopedRetryPause(unsigned ms = 20) : m_nOld(g_nRetryPauseMs.load()) { g_nRetryPauseMs = ms; }
    ~ScopedRetryPause() { g_nRetryPauseMs = m_nOld; }
    ScopedRetryPause(const ScopedRetryPause&) = delete;
    ScopedRetryPause& operator=(const ScopedRetryPause&) = delete;

private:
    unsigned m_nOld;
};
