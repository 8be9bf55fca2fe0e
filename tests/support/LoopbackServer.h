#pragma once
// A TCP server on 127.0.0.1 and an ephemeral port, standing for a TCP/IP-to-serial
// gateway. Each accepted connection runs the test's handler on its own thread; the
// destructor shuts every connection down and joins.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackServer {
public:
    class Peer;
    using Handler = std::function<void(Peer& peer)>;

    // receiveBuffer > 0 sets SO_RCVBUF of accepted sockets (a small one fills fast).
    explicit LoopbackServer(Handler handler, int receiveBuffer = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t Port() const { return m_port; }
    std::string PortText() const { return std::to_string(m_port); }
    int Accepted() const { return m_accepted.load(); }
    // Stops accepting and ends every connection (handlers see Stopped()).
    void Stop();

    // One accepted connection, as the handler sees it.
    class Peer {
    public:
        Peer(int fd, LoopbackServer& server) : m_fd(fd), m_server(server) {}
        int Fd() const { return m_fd; }
        bool Stopped() const { return m_server.m_stopping.load(); }
        // Reads exactly size bytes; false on close, error, stop or when timeoutMs pass.
        bool Receive(void* data, size_t size, int timeoutMs = 5000);
        std::vector<uint8_t> Receive(size_t size, int timeoutMs = 5000);
        // Reads what is there (up to size) once something comes: the count; 0 when the
        // client closed, on error or stop; -1 when timeoutMs passed.
        long ReceiveSome(void* data, size_t size, int timeoutMs);
        bool Send(const void* data, size_t size);
        bool Send(const std::vector<uint8_t>& bytes) { return Send(bytes.data(), bytes.size()); }
        // Sleeps for ms or until the server stops; false when stopped.
        bool Sleep(int ms);
        // Waits until the server stops (a gateway that keeps the line but does nothing).
        void WaitForStop() { while (Sleep(50)) {} }
        void Close();

    private:
        int m_fd;
        LoopbackServer& m_server;
    };

    // Ready-made handlers.
    static Handler Echo();
    static Handler Silent();              // accepts, reads nothing, sends nothing
    static Handler CloseAtOnce();
    // Answers every request of requestSize bytes with `answer` after delayMs.
    static Handler Answer(size_t requestSize, std::vector<uint8_t> answer, int delayMs = 0);

private:
    void AcceptLoop();

    Handler m_handler;
    int m_receiveBuffer;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    std::mutex m_lock;
    std::vector<int> m_peers;
    std::vector<std::thread> m_threads;
    std::thread m_acceptThread;
};
