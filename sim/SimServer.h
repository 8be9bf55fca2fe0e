#pragma once
// Transports of the simulated bus: a TCP/IP-to-serial gateway on a socket
// (one client at a time, bytes unchanged) or a pseudo-terminal serial port.
// Each server runs in its own thread; Stop() or the destructor ends it.
#include "sim/FrameAssembler.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

class CRig;

class CSimServer {
public:
    // Null on failure (the reason in *error). Port 0 picks a free port.
    static std::unique_ptr<CSimServer> StartTcp(CRig& rig, const std::string& host = "127.0.0.1",
                                                 uint16_t port = 0, std::string* error = nullptr);
    // The slave side's path is SlavePath(); a symlink to it is made when given.
    static std::unique_ptr<CSimServer> StartPty(CRig& rig, const std::string& symlink = "",
                                                std::string* error = nullptr);
    ~CSimServer();
    CSimServer(const CSimServer&) = delete;
    CSimServer& operator=(const CSimServer&) = delete;

    void Stop();
    bool IsTcp() const { return m_bTcp; }
    uint16_t Port() const { return m_nPort; }
    std::string Host() const { return m_sHost; }
    std::string SlavePath() const { return m_sSlavePath; }
    std::string LinkPath() const { return m_sLink; }
    // "127.0.0.1:10001" or the pty path (the symlink when there is one).
    std::string Address() const;

    // Gateway drop fault: closes the client's connection instead of passing a
    // request on, by probability or count (count -1: unlimited). Drop() closes it now.
    void SetDropFault(double probability, int count);
    void Drop();
    unsigned ClientsAccepted() const { return m_nAccepted; }
    unsigned Drops() const { return m_nDrops; }
    unsigned FramesServed() const { return m_nFrames; }

private:
    explicit CSimServer(CRig& rig);
    void DrainWake();   // empties the wake-up pipe
    void RunTcp();
    void RunPty();
    // Feeds received bytes to the framer and writes the answers; false: drop the client.
    bool Serve(int fd, const uint8_t* bytes, size_t count);
    // false: the gateway client takes no answers (gone, or not reading).
    bool WriteAnswer(int fd, const std::vector<uint8_t>& bytes, unsigned delayMs, size_t requestBytes);
    // Waits for room in a gateway client's socket; false after a stall or on Stop().
    bool WaitWritable(int fd);
    bool DropDue();
    void CloseClient();
    void SleepMicros(long long us);

    CRig& m_rig;
    bool m_bTcp = false;
    int m_hListen = -1;
    int m_hClient = -1;
    int m_hMaster = -1;
    int m_hSlave = -1;
    int m_hWake[2] = {-1, -1};
    uint16_t m_nPort = 0;
    std::string m_sHost;
    std::string m_sSlavePath;
    std::string m_sLink;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bDropNow{false};
    std::mutex m_dropLock;
    double m_dropProbability = 0;
    int m_dropCount = 0;
    std::mt19937 m_rng{4711};
    std::atomic<unsigned> m_nAccepted{0};
    std::atomic<unsigned> m_nDrops{0};
    std::atomic<unsigned> m_nFrames{0};
    CFrameAssembler m_frames;
};
