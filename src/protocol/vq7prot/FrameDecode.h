#pragma once
// Frames on the bus as a monitor shows them: trace lines back into bytes, the
// bytes split into request and answer frames, each with its meter number, its
// command named and what is wrong with it.
#include <cstdint>
#include <string>
#include <vector>

// The direction and bytes of one trace line (">> " received, "<< " sent).
struct CTracedBytes {
    bool m_bReceived = false;
    std::vector<uint8_t> m_abBytes;
};

// false for a text that is not a trace line of bytes, or whose length field
// does not match its bytes.
bool ParseTraceLine(const std::string& line, CTracedBytes& out);

struct CDecodedFrame {
    bool m_bReceived = false;
    std::vector<uint8_t> m_abBytes;   // empty for a missing answer
    bool m_bHasMeter = false;         // the address is a meter number or the broadcast address
    uint32_t m_dwMeter = 0;
    uint8_t m_bCmd = 0;               // command byte as sent or received
    std::string m_sCommand;           // name of the request's command
    std::string m_sError;             // empty when the frame is good
};

// Russian name of a command code, "команда 0xNN" for codes the workstation does not send.
std::string CommandName(uint8_t cmd);
// "78 56 34 12 ..." (upper-case hex, one blank between bytes).
std::string HexBytes(const std::vector<uint8_t>& bytes);

// Keeps the last request, so that an answer is checked against it: its length,
// command, address, check bytes; a request left without answer is reported.
class CFrameDecoder {
public:
    void Decode(const CTracedBytes& traced, std::vector<CDecodedFrame>& out);
    void Reset() { m_bAwaiting = false; m_nPackets = 0; }

private:
    void DecodeRequests(const std::vector<uint8_t>& bytes, std::vector<CDecodedFrame>& out);
    void DecodeAnswers(const std::vector<uint8_t>& bytes, std::vector<CDecodedFrame>& out);
    unsigned AnswerLength(const uint8_t* frame, size_t available) const;

    bool m_bAwaiting = false;   // a request waits for its answer
    bool m_bAnswered = false;   // ... and at least one packet came
    uint8_t m_abRequest[16] = {};
    unsigned m_nPackets = 0;    // answer packets still expected
};
