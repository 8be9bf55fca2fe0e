#pragma once
// A pseudo-terminal pair in raw mode: the slave stands for the serial port of the
// workstation (open it by SlaveName()), the master for the bus behind it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PtyPair {
public:
    PtyPair();   // throws std::runtime_error when no pty is available
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return m_master; }
    int Slave() const { return m_slave; }
    const std::string& SlaveName() const { return m_slaveName; }

    // Writes every byte to the master end; false on error or when 2 s pass.
    bool WriteMaster(const void* data, size_t size);
    bool WriteMaster(const std::vector<uint8_t>& bytes) { return WriteMaster(bytes.data(), bytes.size()); }
    // Reads up to `size` bytes from the master end, waiting at most timeoutMs for each piece.
    std::vector<uint8_t> ReadMaster(size_t size, int timeoutMs);
    // Discards what the slave side wrote so far.
    void DrainMaster();
    // Closes the master end: the port hangs up.
    void CloseMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slaveName;
};

// Number of open descriptors of this process.
int CountOpenDescriptors();
