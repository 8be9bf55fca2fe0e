#include "protocol/connection.h"

#include "common/IniText.h"
#include "common/NumberText.h"
#include "common/RegularFile.h"
#include "common/SettingsFile.h"
#include "links/CComLink.h"
#include "links/CTCPIPLink.h"

#define SI_NO_CONVERSION   // bytes pass unchanged; keys compare ASCII case-insensitively
#include <SimpleIni.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const char* const kSection = "CONNECTION";
const char* const kTcpIpPortName = "TCP/IP";

unsigned ElapsedMs(std::chrono::steady_clock::time_point since)
{
    return static_cast<unsigned>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - since)
                                     .count());
}

// Smallest answer the raw exchange accepts for a request's command byte.
unsigned MinimumAnswerLength(uint8_t cmd)
{
    if (cmd < 0x40)
        return cmd == 0x30 ? 8 : 32;
    if (cmd >= 0x81 && cmd <= 0xDB)
        return 256;
    return 72;
}

constexpr unsigned kNextPacketMs = 100;   // wait for each packet after the first

// Holds a deadline on the link's reads for one scope.
class ReadDeadlineScope {
public:
    ReadDeadlineScope(CLink& link, CLink::ReadClock::time_point deadline) : m_link(link)
    {
        m_link.SetReadDeadline(deadline);
    }
    ~ReadDeadlineScope() { m_link.ClearReadDeadline(); }
    ReadDeadlineScope(const ReadDeadlineScope&) = delete;
    ReadDeadlineScope& operator=(const ReadDeadlineScope&) = delete;

private:
    CLink& m_link;
};

// Lock file of a named connection: one per name and port, in the runtime folder.
std::string BusLockPath(const std::string& lockName)
{
    std::string safe;
    for (char c : lockName)
        safe += (c == '/' || c == '\\') ? '_' : c;
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/vq7bus-" + safe + ".lock";
}
}

connection::connection(const std::string& name) : m_sName(name) {}

connection::~connection()
{
    Close();
    // Users still counted: the link goes with this object, and so does the bus lock.
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    m_pLink.reset();
    ReleaseBusLock();
}

bool connection::LoadSettings(CSettingsFile& file)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    // At most 254 bytes, and no blank left at the cut: the file's reader strips
    // a value's trailing blanks, so such a value would not read back as saved.
    auto text = [&](const char* key, const char* def) {
        std::string value = file.Text(kSection, key, def).substr(0, 254);
        value.erase(value.find_last_not_of(" \t\r\n") + 1);
        return value;
    };
    m_sPort = text("port", "COM1");
    m_bPortChosen = file.Has(kSection, "port");
    m_sIp = text("IP", "192.168.0.1");
    m_sTcpIpPort = std::to_string(file.Whole(kSection, "TCPIPport", 10001, 1, 65535));
    m_nSpeed = static_cast<unsigned>(file.Whole(kSection, "speed", 115200, kMinSpeed, kMaxSpeed));
    m_nAuxTmout = static_cast<int>(file.Whole(kSection, "AuxTmout", 0, 0, kMaxAuxTmoutMs));
    m_nDevNom = static_cast<int>(file.Whole(kSection, "dev_nom", 1, 0, 0x7FFFFFFF));
    return file.HasSection(kSection);
}

CSettingsFile connection::LoadSettings(const std::string& path)
{
    CSettingsFile file;
    file.Load(path);
    if (!LoadSettings(file) && file.Exists() && file.Errors().empty())
        file.AddWarning(MissingSectionText(path));
    return file;
}

std::string connection::MissingSectionText(const std::string& fileName)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    const std::string place = m_sPort == kTcpIpPortName ? m_sIp + ":" + m_sTcpIpPort
                                                        : m_sPort + " (" + CComLink::DevicePath(m_sPort) + ")";
    return fileName + ": нет раздела [" + kSection + "], используется порт " + place;
}

bool connection::SaveSettings(const std::string& path)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    CSimpleIniA ini;   // case-insensitive keys and sections
    ini.SetUnicode(false);
    // Only a missing file may start empty; a file that exists but cannot be read
    // would otherwise be replaced by one holding this section alone.
    std::string old, why;
    if (!ReadRegularFile(path, old, why, CSettingsFile::kMaxBytes) && !why.empty())
        return false;
    if (ini.LoadData(old.data(), old.size()) < 0)
        return false;
    if (PortConfigured())   // the initial value is no choice worth keeping
        ini.SetValue(kSection, "port", m_sPort.c_str());
    ini.SetValue(kSection, "IP", m_sIp.c_str());
    ini.SetValue(kSection, "TCPIPport", m_sTcpIpPort.c_str());
    ini.SetValue(kSection, "speed", FormatC("%u", m_nSpeed).c_str());
    ini.SetValue(kSection, "AuxTmout", FormatC("%u", static_cast<unsigned>(m_nAuxTmout)).c_str());
    std::string text;
    if (!IniFileText(ini, text))
        return false;
    // Write beside the file and rename, so a failed write never leaves half a file.
    const std::string tmp = path + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !written || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

int connection::Open()
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    if (m_sPort == kTcpIpPortName)
        return OpenTcpIp(m_sIp, m_sTcpIpPort);
    return OpenComPort(m_sPort, m_nSpeed, 0);
}

int connection::OpenComPort(const std::string& port, unsigned speed, uint8_t stopBits)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    ++m_nOpenCount;
    if (m_pLink)
        return RC_OK;
    return OpenLink(std::make_unique<CComLink>(port, speed, stopBits), m_sName + "_" + port);
}

int connection::OpenTcpIp(const std::string& address, const std::string& tcpPort)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    ++m_nOpenCount;
    if (m_pLink)
        return RC_OK;
    return OpenLink(std::make_unique<CTCPIPLink>(address, tcpPort), m_sName + "_" + address + "_" + tcpPort);
}

int connection::OpenWith(std::unique_ptr<CLink> link)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    ++m_nOpenCount;
    if (m_pLink)
        return RC_OK;
    return OpenLink(std::move(link), m_sName + "_custom");
}

int connection::OpenLink(std::unique_ptr<CLink> link, const std::string& lockName)
{
    ReleaseBusLock();
    if (!m_sName.empty() && !TakeBusLock(lockName))
        return RC_BUS_LOCK_FAILED;
    if (!link)
        return RC_LINK_CREATE_FAILED;
    m_pLink = std::move(link);
    const int result = m_pLink->Open(true);
    m_pLink->SetTrace(m_pTraceTarget);
    return result;
}

bool connection::TakeBusLock(const std::string& lockName)
{
    const int fd = ::open(BusLockPath(lockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    int rc;
    do
        rc = ::flock(fd, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    m_hBusLock = fd;
    return true;
}

void connection::ReleaseBusLock()
{
    if (m_hBusLock >= 0) {
        ::flock(m_hBusLock, LOCK_UN);
        ::close(m_hBusLock);
        m_hBusLock = -1;
    }
}

void connection::Close()
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    if (m_nOpenCount > 0)
        --m_nOpenCount;
    if (m_nOpenCount == 0) {
        m_pLink.reset();
        ReleaseBusLock();
    }
}

int connection::OpenCount()
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    return m_nOpenCount;
}

bool connection::HasLink()
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    return m_pLink != nullptr;
}

void connection::SetTraceTarget(ITraceTarget* target)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    m_pTraceTarget = target;
    if (m_pLink)
        m_pLink->SetTrace(target);
}

bool connection::Purge(int flags)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    return m_pLink && m_pLink->Purge(flags);
}

int connection::EnsureOpen()
{
    if (!m_pLink)
        return RC_NOT_OPEN;
    if (m_pLink->IsOpen() || m_pLink->Open(true) == RC_OK)
        return RC_OK;
    return RC_NOT_OPEN;
}

std::string connection::LinkFaultText(int code)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    if (!m_pLink || m_pLink->FaultText().empty())
        return std::string();
    // A link that is not open explains a 1003 whatever its last failure was.
    if (m_pLink->FaultCode() == code || (code == RC_NOT_OPEN && !m_pLink->IsOpen()))
        return m_pLink->FaultText();
    return std::string();
}

unsigned connection::AnswerBudgetMs(unsigned firstTimeoutMs, unsigned slotSize, unsigned packets, unsigned graceMs,
                                    unsigned byteTimeUs)
{
    const uint64_t n = std::max(packets, 1u);
    const uint64_t lineMs = (n * slotSize * byteTimeUs + 999) / 1000;
    const uint64_t ms = uint64_t{firstTimeoutMs} + graceMs + (n - 1) * kNextPacketMs + lineMs;
    return static_cast<unsigned>(std::min<uint64_t>(ms, 0x7FFFFFFF));
}

int connection::ReadMore(uint8_t* buf, unsigned len, unsigned timeoutMs)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    if (!m_pLink)
        return RC_NOT_OPEN;
    const ReadDeadlineScope deadline(*m_pLink, m_tAnswerDeadline);
    unsigned got = 0;
    const int rc = m_pLink->Read(buf, len, &got, timeoutMs);
    m_pLink->TraceEndOfFrame();
    return rc == RC_OK && got < len ? RC_WRONG_LENGTH : rc;
}

int connection::Send(const uint8_t* frame, unsigned length)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    const int open = EnsureOpen();
    if (open != RC_OK) {
        ++m_nSendErrors;
        m_nLastError = open;
        return open;
    }
    unsigned written = 0;
    const int rc = m_pLink->Write(frame, length, &written, 1000);
    if (rc != RC_OK) {
        ++m_nSendErrors;
        return rc;
    }
    if (written != length) {
        ++m_nSendErrors;
        return RC_SHORT_WRITE;
    }
    ++m_nSent;
    return RC_OK;
}

int connection::Exchange(const uint8_t* request, unsigned requestLength, uint8_t* answer, unsigned slotSize,
                         unsigned timeoutMs, unsigned* packets)
{
    if (!request || requestLength == 0 || (!answer && slotSize != 0))
        return RC_BAD_ARGUMENT;
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    if (!m_pLink)
        return RC_NOT_OPEN;
    const unsigned firstTimeout = timeoutMs + static_cast<unsigned>(std::clamp(m_nAuxTmout, 0, kMaxAuxTmoutMs));

    if (m_pLink->IsOpen())
        m_pLink->Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_RXCLEAR);   // may find the gateway gone
    if (!m_pLink->IsOpen()) {
        if (EnsureOpen() != RC_OK)
            return RC_NOT_OPEN;
        m_pLink->Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_RXCLEAR);
    }
    m_tAnswerDeadline = CLink::ReadClock::time_point::max();
    const int sent = Send(request, requestLength);
    if (sent != RC_OK)
        return sent;
    if (!answer || slotSize == 0)
        return RC_OK;

    const unsigned minimum = requestLength > 4 ? MinimumAnswerLength(request[4]) : 32;
    if (slotSize < minimum) {
        ++m_nReceiveErrors;
        m_nLastError = RC_WRONG_LENGTH;
        return RC_WRONG_LENGTH;
    }

    const unsigned wanted = (packets && *packets > 1) ? *packets : 1;
    m_tAnswerDeadline = CLink::ReadClock::now() +
                        std::chrono::milliseconds(AnswerBudgetMs(firstTimeout, slotSize, wanted, m_pLink->ReadGraceMs(),
                                                                 m_pLink->ByteTimeUs()));
    const ReadDeadlineScope deadline(*m_pLink, m_tAnswerDeadline);
    unsigned received = 0;
    int result = RC_OK;
    for (unsigned i = 0; i < wanted; ++i) {
        const int rc =
            ReadAnswer(answer + i * slotSize, slotSize, slotSize, nullptr, i == 0 ? firstTimeout : kNextPacketMs);
        if (rc != RC_OK) {
            if (i == 0)
                result = rc;
            break;
        }
        ++received;
    }
    if (received > 0 && packets)
        *packets = received;
    return received > 0 ? RC_OK : result;
}

int connection::ReadAnswer(uint8_t* slot, unsigned slotSize, unsigned expectedLength, unsigned* received,
                           unsigned timeoutMs)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    const auto fail = [this](int code) {
        ++m_nReceiveErrors;
        m_nLastError = code;
        return code;
    };
    if (!m_pLink)
        return fail(RC_NOT_OPEN);
    if (!slot || slotSize < 6)
        return fail(RC_BAD_ARGUMENT);
    const auto start = std::chrono::steady_clock::now();
    unsigned got = 0;
    int rc = m_pLink->Read(slot, 6, &got, timeoutMs);
    if (received)
        *received = got;
    if (rc != RC_OK)
        return fail(rc);
    if (got < 6)
        return fail(RC_WRONG_LENGTH);

    const uint8_t cmd = slot[4];
    unsigned rest;
    if (cmd >= 0x81 && cmd <= 0xEE)
        rest = slot[5] + 2u;
    else if (expectedLength > 6)
        rest = expectedLength - 6;
    else
        rest = 0;
    if (6 + rest > slotSize)
        return fail(RC_WRONG_LENGTH);

    unsigned gotRest = 0;
    rc = rest > 0 ? m_pLink->Read(slot + 6, rest, &gotRest, timeoutMs) : RC_OK;
    m_pLink->TraceEndOfFrame();
    if (received)
        *received = 6 + gotRest;
    if (rc != RC_OK)
        return fail(rc);
    if (gotRest < rest)
        return fail(RC_WRONG_LENGTH);

    const unsigned ms = ElapsedMs(start);
    if (ms > m_nMaxAnswerMs)
        m_nMaxAnswerMs = ms;
    m_nAvgAnswerMs = (ms + 49 * m_nAvgAnswerMs) / 50;
    ++m_nReceived;
    return RC_OK;
}
