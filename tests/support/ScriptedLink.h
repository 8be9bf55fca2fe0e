#pragma once
// A CLink whose far side is a script: each request written gets the next
// scripted reply (bytes, optional delay, optional pieces, or silence). The
// script lives in a ScriptedBus shared with the test, so it outlives the link
// the connection destroys at its last Close.
#include "links/CLink.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct ScriptedReply {
    Bytes bytes;               // empty: the meter stays silent
    unsigned delayMs = 0;      // before the first byte
    unsigned pieceSize = 0;    // 0: all bytes at once
    unsigned pieceGapMs = 0;   // between two pieces
};

class ScriptedBus {
public:
    using Clock = std::chrono::steady_clock;
    // Called for a request when no queued reply is left.
    using Responder = std::function<ScriptedReply(const Bytes& request)>;

    void QueueReply(ScriptedReply reply);
    void QueueReply(Bytes bytes) { QueueReply(ScriptedReply{std::move(bytes)}); }
    void QueueReplies(const ScriptedReply& reply, unsigned times);
    void QueueSilence(unsigned times = 1);
    void ClearReplies();
    void SetResponder(Responder responder);
    // Reads that the scheduled bytes cannot satisfy fail at once, delays are ignored
    // (fuzzing: no real waiting).
    void SetInstantTimeouts(bool instant);
    void SetOpenResult(int rc);

    std::vector<Bytes> Written() const;
    std::vector<Clock::time_point> WriteTimes() const;
    unsigned WriteCount() const;
    unsigned PurgeCount() const;
    unsigned QueuedReplies() const;
    void ClearRecord();

    // The link side.
    int Open(bool open);
    bool IsOpen() const;
    int Read(uint8_t* buf, unsigned len, unsigned* received, unsigned timeoutMs);
    int Write(const uint8_t* buf, unsigned len, unsigned* written);
    void Purge();

private:
    struct Chunk {
        Clock::time_point due;
        Bytes bytes;
    };
    void MoveArrived(Clock::time_point now);

    mutable std::mutex m_lock;
    std::deque<ScriptedReply> m_replies;
    Responder m_responder;
    bool m_bInstant = false;
    int m_nOpenResult = RC_OK;
    bool m_bOpen = false;
    std::deque<uint8_t> m_input;   // arrived, not yet read
    std::deque<Chunk> m_inFlight;  // scheduled, not yet arrived
    std::vector<Bytes> m_written;
    std::vector<Clock::time_point> m_writeTimes;
    unsigned m_nPurges = 0;
};

class ScriptedLink : public CLink {
public:
    explicit ScriptedLink(std::shared_ptr<ScriptedBus> bus);
    ~ScriptedLink() override;

    int Open(bool open) override;
    int Read(uint8_t* buf, unsigned len, unsigned* received, unsigned timeoutMs) override;
    int Write(const uint8_t* buf, unsigned len, unsigned* written, unsigned timeoutMs) override;
    bool IsOpen() override;
    bool Purge(int flags) override;

private:
    std::shared_ptr<ScriptedBus> m_pBus;
};

// A correct answer frame of `length` bytes (8, 32, 72): address of `number`, the
// command byte, data (zero-padded), check bytes.
Bytes MeterAnswer(uint32_t number, uint8_t cmd, const Bytes& data = {}, unsigned length = 32);
// A correct superlong packet: address, command, length byte, data, check bytes.
Bytes SuperlongAnswer(uint32_t number, uint8_t cmd, const Bytes& data);
