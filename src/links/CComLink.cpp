#include "links/CComLink.h"

#include "common/NumberText.h"
#include "links/SerialLine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// A write may take 300 ms plus 1 ms per byte.
constexpr unsigned kWriteConstantMs = 300;

enum class Wait { Ready, Expired, Failed };

// Waits for `events` on fd until `deadline`. A hang-up or device error is Failed.
Wait WaitUntil(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
        if (left < 0)
            return Wait::Expired;
        pollfd p{fd, events, 0};
        int rc = poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000000)) + 1);
        if (rc > 0)
            return p.revents & (POLLERR | POLLHUP | POLLNVAL) ? Wait::Failed : Wait::Ready;
        if (rc < 0 && errno != EINTR)
            return Wait::Failed;
    }
}

// Waits until the output queue of the port is empty: 0, or the bytes still queued
// when the deadline passed.
unsigned WaitDrained(int fd, Clock::time_point deadline)
{
    for (;;) {
        int queued = 0;
        if (ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
            return 0;   // nothing queued, or no queue to watch
        if (Clock::now() >= deadline)
            return static_cast<unsigned>(queued);
        std::this_thread::sleep_for(Ms(1));
    }
}
}

CComLink::CComLink(const std::string& portName, uint32_t baudRate, uint8_t stopBits)
    : m_sPortName(portName), m_nBaudRate(baudRate), m_bStopBits(stopBits > 2 ? 2 : stopBits)
{
}

CComLink::~CComLink()
{
    Open(false);
}

std::string CComLink::DevicePath(const std::string& portName)
{
    if (!portName.empty() && portName[0] == '/')
        return portName;
    // A bare name stays inside /dev.
    if (portName.empty() || portName.find('/') != std::string::npos || portName.find("..") != std::string::npos)
        return std::string();
    if (portName.size() > 3 && (portName[0] == 'C' || portName[0] == 'c') && (portName[1] == 'O' || portName[1] == 'o')
        && (portName[2] == 'M' || portName[2] == 'm')) {
        bool digits = true;
        for (size_t i = 3; i < portName.size(); ++i)
            digits = digits && std::isdigit(static_cast<unsigned char>(portName[i]));
        unsigned long n = digits && portName.size() < 10 ? std::stoul(portName.substr(3)) : 0;
        if (n >= 1)
            return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + portName;
}

void CComLink::ClosePort()
{
    if (m_hPort < 0)
        return;
    if (m_bExclusive)
        ioctl(m_hPort, TIOCNXCL);   // the next opener need not wait for the last close of the tty
    close(m_hPort);   // also drops the flock
    m_hPort = -1;
    m_bExclusive = false;
}

int CComLink::Open(bool open)
{
    ClosePort();
    ClearFault();
    if (!open)
        return RC_OK;

    const std::string path = DevicePath(m_sPortName);
    if (path.empty())
        return Fault(RC_NOT_OPEN, "недопустимое имя порта: " + m_sPortName);
    // Only a terminal device: never open, let alone write, anything else.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !S_ISCHR(st.st_mode))
        return Fault(RC_NOT_OPEN, "не последовательный порт: " + path);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fault(RC_NOT_OPEN, (errno == EBUSY ? "порт занят другой программой: " : "не удалось открыть порт: ") + path);
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !isatty(fd)) {
        close(fd);
        return Fault(RC_NOT_OPEN, "не последовательный порт: " + path);
    }
    // Exclusive: a program that holds the port keeps us out, and we keep others out
    // (TIOCEXCL does not stop root, the flock does).
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        close(fd);
        return Fault(RC_NOT_OPEN, "порт занят другой программой: " + path);
    }
    m_hPort = fd;
    m_bExclusive = true;

    // A port whose set-up failed is not used: it may still be a cooked tty.
    const int rc = SetRawLine(fd, m_nBaudRate, m_bStopBits != 0);   // one and a half is not available: two
    if (rc != RC_OK) {
        ClosePort();
        return Fault(rc, FormatC("%s (%u бод): ", rc == RC_GET_STATE_FAILED ? "не удалось прочитать настройки порта"
                                                                          : "не удалось установить настройки порта",
                                 m_nBaudRate) + path);
    }
    int dtr = TIOCM_DTR;
    ioctl(fd, TIOCMBIC, &dtr);   // pseudo-terminals have no modem lines
    return RC_OK;
}

int CComLink::Read(uint8_t* buf, unsigned len, unsigned* received, unsigned timeoutMs)
{
    if (!buf || len == 0)
        return RC_BAD_ARGUMENT;
    if (m_hPort < 0)
        return RC_NOT_OPEN;

    // Nothing at all ends the read time-out + 100 ms after the start; bytes that keep
    // coming with gaps shorter than the time-out (plus 1 ms per missing byte) are waited for.
    const Clock::time_point start = Clock::now();
    const Clock::time_point silentEnd = start + Ms(int64_t{timeoutMs} + kReadGraceMs);
    Clock::time_point lastByte = start;
    unsigned got = 0;
    int result = RC_OK;
    while (got < len) {
        ssize_t n = ::read(m_hPort, buf + got, len - got);
        if (n > 0) {
            got += static_cast<unsigned>(n);
            lastByte = Clock::now();
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            result = RC_READ_ERROR;
            break;
        }
        const Clock::time_point end =
            std::min(std::max(silentEnd, lastByte + Ms(int64_t{timeoutMs} + (len - got))), ReadDeadline());
        const Wait wait = WaitUntil(m_hPort, POLLIN, end);
        if (wait != Wait::Ready) {
            result = wait == Wait::Expired ? RC_TIMEOUT : RC_READ_ERROR;
            break;
        }
    }
    if (received)
        *received = got;
    TraceBytes(buf, got, true);
    if (result == RC_READ_ERROR) {
        // Hung up or gone (an unplugged adapter): the next transaction opens it again.
        ClosePort();
        return Fault(result, "порт отключён или неисправен: " + DevicePath(m_sPortName));
    }
    return result;
}

int CComLink::Write(const uint8_t* buf, unsigned len, unsigned* written, unsigned)
{
    if (!buf || len == 0)
        return RC_BAD_ARGUMENT;
    if (m_hPort < 0)
        return RC_NOT_OPEN;

    const Clock::time_point deadline = Clock::now() + Ms(int64_t{kWriteConstantMs} + len);
    unsigned sent = 0;
    while (sent < len) {
        ssize_t n = ::write(m_hPort, buf + sent, len - sent);
        if (n > 0) {
            sent += static_cast<unsigned>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
        if (WaitUntil(m_hPort, POLLOUT, deadline) != Wait::Ready)
            break;
    }
    // The frame is on the line when Write returns, so that the answer time-out starts
    // after it and a purge before the next request cannot cut it short.
    if (sent == len) {
        const unsigned stuck = WaitDrained(m_hPort, deadline);
        if (stuck > 0) {
            tcflush(m_hPort, TCOFLUSH);
            sent -= std::min(stuck, sent);
        }
    }
    if (written)
        *written = sent;
    TraceBytes(buf, sent, false);
    if (sent != len)
        return Fault(RC_SHORT_WRITE, "порт не передал запрос: " + DevicePath(m_sPortName));
    return RC_OK;
}

unsigned CComLink::ByteTimeUs() const
{
    const uint64_t us = m_nBaudRate > 0 ? 2 * 10 * 1000000ull / m_nBaudRate : 1000000;
    return static_cast<unsigned>(std::clamp<uint64_t>(us, 1000, 1000000));
}

bool CComLink::IsOpen()
{
    return m_hPort >= 0;
}

bool CComLink::Purge(int flags)
{
    if (m_hPort < 0)
        return false;
    // Output needs no purge: Write returns only when its bytes have left the port (a
    // flush would discard bytes the far end of a pseudo-terminal has not read yet).
    if (!(flags & (PURGE_RXABORT | PURGE_RXCLEAR)))
        return true;
    return tcflush(m_hPort, TCIFLUSH) == 0;
}
