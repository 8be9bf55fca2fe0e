#pragma once
// The bus of a simulated rig behind a TCP/IP-to-serial gateway on loopback or
// behind a pseudo-terminal serial port; logs every request frame and can lose
// chosen ones (the meters never hear them) or rewrite answers.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CRig;
class PtyPair;
class connection;

struct GatewayRequest {
    uint8_t cmd = 0;
    std::vector<uint8_t> data;   // the 9 data bytes of the frame
};

class CRigGateway {
public:
    enum Transport { Tcp, Pty };
    CRigGateway(CRig& rig, Transport transport);
    ~CRigGateway();
    CRigGateway(const CRigGateway&) = delete;
    CRigGateway& operator=(const CRigGateway&) = delete;

    // Points the connection's settings at this gateway.
    void Configure(connection& conn) const;
    std::vector<GatewayRequest> Log() const;
    // Requests for which lose() is true get no answer and do not reach the rig.
    void SetLoss(std::function<bool(const GatewayRequest&)> lose);
    // Called with every request frame and its answer, which it may rewrite.
    using AnswerHook = std::function<void(const std::vector<uint8_t>& request, std::vector<uint8_t>& answer)>;
    void SetAnswerHook(AnswerHook hook);

private:
    void Run();
    void RunPty();
    // Reads requests from fd and answers them; false when the peer has gone.
    bool Serve(int fd, std::vector<uint8_t>& pending);

    CRig& m_rig;
    int m_hListen = -1;
    uint16_t m_nPort = 0;
    std::unique_ptr<PtyPair> m_pPty;
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_lock;
    std::vector<GatewayRequest> m_log;
    std::function<bool(const GatewayRequest&)> m_lose;
    AnswerHook m_onAnswer;
    std::thread m_thread;
};
