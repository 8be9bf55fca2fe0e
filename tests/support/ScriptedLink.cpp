#include "ScriptedLink.h"

#include "protocol/vq7prot/vq7cmd.h"

#include <algorithm>
#include <thread>

void ScriptedBus::QueueReply(ScriptedReply reply)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_replies.push_back(std::move(reply));
}

void ScriptedBus::QueueReplies(const ScriptedReply& reply, unsigned times)
{
    std::lock_guard<std::mutex> lock(m_lock);
    for (unsigned i = 0; i < times; ++i)
        m_replies.push_back(reply);
}

void ScriptedBus::QueueSilence(unsigned times) { QueueReplies(ScriptedReply{}, times); }

void ScriptedBus::ClearReplies()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_replies.clear();
}

void ScriptedBus::SetResponder(Responder responder)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_responder = std::move(responder);
}

void ScriptedBus::SetInstantTimeouts(bool instant)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_bInstant = instant;
}

void ScriptedBus::SetOpenResult(int rc)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_nOpenResult = rc;
}

std::vector<Bytes> ScriptedBus::Written() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_written;
}

std::vector<ScriptedBus::Clock::time_point> ScriptedBus::WriteTimes() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_writeTimes;
}

unsigned ScriptedBus::WriteCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return static_cast<unsigned>(m_written.size());
}

unsigned ScriptedBus::PurgeCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nPurges;
}

unsigned ScriptedBus::QueuedReplies() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return static_cast<unsigned>(m_replies.size());
}

void ScriptedBus::ClearRecord()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_written.clear();
    m_writeTimes.clear();
    m_nPurges = 0;
}

int ScriptedBus::Open(bool open)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_input.clear();
    m_inFlight.clear();
    m_bOpen = open && m_nOpenResult == RC_OK;
    return open ? m_nOpenResult : RC_OK;
}

bool ScriptedBus::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bOpen;
}

void ScriptedBus::MoveArrived(Clock::time_point now)
{
    while (!m_inFlight.empty() && (m_bInstant || m_inFlight.front().due <= now)) {
        const Bytes& b = m_inFlight.front().bytes;
        m_input.insert(m_input.end(), b.begin(), b.end());
        m_inFlight.pop_front();
    }
}

int ScriptedBus::Read(uint8_t* buf, unsigned len, unsigned* received, unsigned timeoutMs)
{
    if (received)
        *received = 0;
    if (buf == nullptr || len == 0)
        return RC_BAD_ARGUMENT;
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_bOpen)
        return RC_NOT_OPEN;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto now = Clock::now();
        MoveArrived(now);
        if (m_input.size() >= len || m_bInstant || now >= deadline)
            break;
        const auto wake = m_inFlight.empty() ? deadline : std::min(deadline, m_inFlight.front().due);
        lock.unlock();
        std::this_thread::sleep_until(wake);
        lock.lock();
    }
    const unsigned n = static_cast<unsigned>(std::min<size_t>(len, m_input.size()));
    std::copy_n(m_input.begin(), n, buf);
    m_input.erase(m_input.begin(), m_input.begin() + n);
    if (received)
        *received = n;
    return n == len ? RC_OK : RC_TIMEOUT;
}

int ScriptedBus::Write(const uint8_t* buf, unsigned len, unsigned* written)
{
    if (written)
        *written = 0;
    if (buf == nullptr || len == 0)
        return RC_BAD_ARGUMENT;
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_bOpen)
        return RC_NOT_OPEN;
    const auto now = Clock::now();
    Bytes request(buf, buf + len);
    m_written.push_back(request);
    m_writeTimes.push_back(now);
    if (written)
        *written = len;

    ScriptedReply reply;
    if (!m_replies.empty()) {
        reply = std::move(m_replies.front());
        m_replies.pop_front();
    } else if (m_responder) {
        Responder responder = m_responder;
        lock.unlock();
        reply = responder(request);
        lock.lock();
    }
    const size_t piece = reply.pieceSize ? reply.pieceSize : std::max<size_t>(reply.bytes.size(), 1);
    auto due = now + std::chrono::milliseconds(reply.delayMs);
    for (size_t at = 0; at < reply.bytes.size(); at += piece) {
        const size_t end = std::min(reply.bytes.size(), at + piece);
        m_inFlight.push_back({due, Bytes(reply.bytes.begin() + static_cast<long>(at),
                                         reply.bytes.begin() + static_cast<long>(end))});
        due += std::chrono::milliseconds(reply.pieceGapMs);
    }
    return RC_OK;
}

void ScriptedBus::Purge()
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_nPurges;
    if (m_bInstant)
        m_inFlight.clear();
    else
        MoveArrived(Clock::now());   // what is still in flight arrives later
    m_input.clear();
}

ScriptedLink::ScriptedLink(std::shared_ptr<ScriptedBus> bus) : m_pBus(std::move(bus)) {}

ScriptedLink::~ScriptedLink() { m_pBus->Open(false); }

int ScriptedLink::Open(bool open) { return m_pBus->Open(open); }

int ScriptedLink::Read(uint8_t* buf, unsigned len, unsigned* received, unsigned timeoutMs)
{
    unsigned got = 0;
    const int rc = m_pBus->Read(buf, len, &got, timeoutMs);
    if (received)
        *received = got;
    TraceBytes(buf, got, true);
    return rc;
}

int ScriptedLink::Write(const uint8_t* buf, unsigned len, unsigned* written, unsigned)
{
    unsigned count = 0;
    const int rc = m_pBus->Write(buf, len, &count);
    if (written)
        *written = count;
    TraceBytes(buf, count, false);
    return rc;
}

bool ScriptedLink::IsOpen() { return m_pBus->IsOpen(); }

bool ScriptedLink::Purge(int)
{
    m_pBus->Purge();
    return true;
}

Bytes MeterAnswer(uint32_t number, uint8_t cmd, const Bytes& data, unsigned length)
{
    Bytes frame(length, 0);
    PutLeU32(frame.data(), NumberToBcd(number));
    frame[4] = cmd;
    std::copy_n(data.begin(), std::min<size_t>(data.size(), length - 7), frame.begin() + 5);
    ComputeChecks(frame.data(), length - 2, frame[length - 2], frame[length - 1]);
    return frame;
}

Bytes SuperlongAnswer(uint32_t number, uint8_t cmd, const Bytes& data)
{
    const size_t n = std::min<size_t>(data.size(), ZUA_SUPERLONG_MAX_SIZE - 8);
    Bytes frame(n + 8, 0);
    PutLeU32(frame.data(), NumberToBcd(number));
    frame[4] = cmd;
    frame[5] = static_cast<uint8_t>(n);
    std::copy_n(data.begin(), n, frame.begin() + 6);
    ComputeChecks(frame.data(), static_cast<unsigned>(n + 6), frame[n + 6], frame[n + 7]);
    return frame;
}
