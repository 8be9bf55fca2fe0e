#pragma once
// Cuts the byte stream of the line into 16-byte request frames, as a meter's
// receiver does: a pause starts a new frame, bytes that make no valid frame are skipped.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class CFrameAssembler {
public:
    explicit CFrameAssembler(unsigned gapMs = 100) : m_gapMs(gapMs) {}
    void Push(const uint8_t* bytes, size_t count, long long nowMs);
    bool Next(std::array<uint8_t, 16>& frame);
    size_t Pending() const { return m_bytes.size(); }
    void Clear() { m_bytes.clear(); }

private:
    unsigned m_gapMs;
    long long m_lastMs = 0;
    std::vector<uint8_t> m_bytes;
};
