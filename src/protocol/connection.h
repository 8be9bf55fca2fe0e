#pragma once
// The single access point to the bus: settings, the owned link, user counting
// and the raw exchange of one request and its answer packets.
//
// A link that is gone (the gateway closed the connection, the serial adapter hung up,
// the first open failed) stays owned while users are counted. The next Exchange or
// Send opens it again, once: when that fails the result is RC_NOT_OPEN (1003); when
// it succeeds but the request cannot be written the result is RC_SHORT_WRITE (1010),
// with no second attempt. A transaction that finds the link gone mid-way ends with
// RC_READ_ERROR (1011), which the transaction layer retries. LinkFaultText says
// in words what happened, naming the port or gateway.
#include "common/SettingsFile.h"
#include "links/CLink.h"

#include <memory>
#include <mutex>
#include <string>


class ITraceTarget;

class connection {
public:
    explicit connection(const std::string& name = std::string());
    virtual ~connection();
    connection(const connection&) = delete;
    connection& operator=(const connection&) = delete;

    // Section CONNECTION of a checked settings file: every number converted and in range
    // (TCPIPport 1..65535, speed kMinSpeed..kMaxSpeed, AuxTmout 0..kMaxAuxTmoutMs), or an
    // error in the file and the default. False when the file has no such section.
    bool LoadSettings(CSettingsFile& file);
    // The same from an ini file; a file without the section gets a warning naming the
    // port then used. The file's errors and warnings are returned.
    CSettingsFile LoadSettings(const std::string& path);
    // "FILE: нет раздела [CONNECTION], используется порт COM1 (/dev/ttyS0)"
    std::string MissingSectionText(const std::string& fileName);
    bool SaveSettings(const std::string& path);

    int Open();
    int OpenComPort(const std::string& port, unsigned speed, uint8_t stopBits);
    int OpenTcpIp(const std::string& address, const std::string& tcpPort);
    // Opens with a ready-made link instead of one made from the settings (tests, tools).
    int OpenWith(std::unique_ptr<CLink> link);
    void Close();
    bool Purge(int flags);
    int Send(const uint8_t* frame, unsigned length);
    // Purge, send the request, read one or more answer packets of slotSize bytes each.
    // *packets: in, packets wanted (0/1/none: one); out, packets received.
    // The answer has one deadline from the request (AnswerDeadline); bytes that trickle
    // in do not extend it, and the read ends there with RC_TIMEOUT.
    int Exchange(const uint8_t* request, unsigned requestLength, uint8_t* answer, unsigned slotSize,
                 unsigned timeoutMs, unsigned* packets);
    int ReadAnswer(uint8_t* slot, unsigned slotSize, unsigned expectedLength, unsigned* received,
                   unsigned timeoutMs);

    // Reads len more bytes of the answer being received (the rest of a shifted frame),
    // within the deadline of the last Exchange.
    int ReadMore(uint8_t* buf, unsigned len, unsigned timeoutMs);

    // The time an answer may take, counted from its request: the first time-out, the
    // link's grace, the pauses between packets and twice the line time of every byte.
    static unsigned AnswerBudgetMs(unsigned firstTimeoutMs, unsigned slotSize, unsigned packets, unsigned graceMs,
                                   unsigned byteTimeUs);

    // The link's own account of a failure with this result code, naming the port or
    // gateway ("шлюз закрыл соединение: 127.0.0.1:10001"); empty when it has none.
    std::string LinkFaultText(int code);

    // Trace target handed to every new link (not owned; null: no trace).
    void SetTraceTarget(ITraceTarget* target);

    // Settings; change them under Lock() when other threads may use the bus.
    std::recursive_mutex& Lock() { return m_csLock; }
    int OpenCount();
    bool HasLink();

    // statistics
    unsigned m_nSent = 0;
    unsigned m_nSendErrors = 0;
    unsigned m_nReceived = 0;
    unsigned m_nReceiveErrors = 0;
    int m_nLastError = 0;
    unsigned m_nMaxAnswerMs = 0;
    unsigned m_nAvgAnswerMs = 0;

    std::string m_sPort = "COM1";     // serial port name or "TCP/IP"
    // The port was read from config.ini or chosen by the operator; while it is
    // not and m_sPort is still the initial value, nothing is configured.
    bool m_bPortChosen = false;
    bool PortConfigured() const { return m_bPortChosen || m_sPort != "COM1"; }
    std::string m_sTcpIpPort = "10001";
    std::string m_sIp = "192.168.0.1";
    unsigned m_nSpeed = 9600;
    int m_nDevNom = 0;
    int m_nAuxTmout = 0;              // ms added to every first-answer time-out, 0..kMaxAuxTmoutMs
    static constexpr int kMaxAuxTmoutMs = 10000;
    static constexpr unsigned kMinSpeed = 50;
    static constexpr unsigned kMaxSpeed = 4000000;

private:
    int OpenLink(std::unique_ptr<CLink> link, const std::string& lockName);
    // RC_OK when the link is open, after opening it again once when it was gone.
    int EnsureOpen();
    bool TakeBusLock(const std::string& lockName);
    void ReleaseBusLock();

    int m_hBusLock = -1;              // flock'ed lock file of a named connection
    int m_nOpenCount = 0;
    std::recursive_mutex m_csLock;
    std::unique_ptr<CLink> m_pLink;
    CLink::ReadClock::time_point m_tAnswerDeadline = CLink::ReadClock::time_point::max();
    ITraceTarget* m_pTraceTarget = nullptr;
    std::string m_sName;
};
