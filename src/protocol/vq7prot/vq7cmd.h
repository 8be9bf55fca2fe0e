#pragma once
// Transactions with a meter, its command set and its identification.
// Functions return the transaction result (0, the meter's code 1..255, or RC_*);
// they never throw except where a text argument must be a number (EConvertError).
#include "links/ResultCodes.h"
#include "protocol/vq7prot/Vq7comm.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class connection;

// What the workstation knows of one meter.
struct VQ7_INFO {
    int m_nParam0 = 0;
    std::string m_sModel;        // UTF-8
    std::string m_sVersion;      // 5 characters as received
    std::string m_sFullVersion;  // NN.NN.NN
    std::string m_sDateTime;
    std::string m_sType;         // 4 characters as received
    std::string m_sIdText;       // Windows-1251 bytes as received, trimmed
    float m_fVersion = 0;
    float m_fFullVersion = 0;
    uint32_t m_dwDevWordA = 0;
    uint32_t m_dwFeatures = 0;
    uint32_t m_dwDevWordB = 0;
    uint8_t m_bIdFlag = 0;
};

// First-answer time-out by command code & 0x7F, ms.
extern const unsigned g_anCmdTimeout[128];
// Ends every transaction with RC_ABORTED while set.
extern std::atomic<bool> g_bAbortAll;
// Pause before a retry, ms; 200 unless a test harness shortens it.
extern std::atomic<unsigned> g_nRetryPauseMs;

// Packed BCD of the eight digits (the broadcast number gives the broadcast address).
// Numbers above VQ7_MAX_NUMBER have no address: SendCmd refuses them with RC_BAD_ARGUMENT.
uint32_t NumberToBcd(uint32_t number);
int BcdToInt(uint32_t value);
void SetCmdChecks(VQ7_CMD& frame);
bool AnswerChecksOk(const uint8_t* frame, unsigned length);
// Text of the meter's own codes 239..241, 251..255; false for any other code.
bool PrintMeterError(unsigned code, const std::function<void(const std::string&)>& sink = {});
// Meaning of any result code, for the operator (one line, no bell).
std::string ResultCodeText(unsigned code);

// One attempt. answer: one slot of *answerSize bytes per expected packet; *answerSize is
// raised to the needed size on RC_BUFFER_TOO_SMALL. *packets: packets that arrived.
unsigned SendCmd(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data, unsigned dataLen,
                 uint8_t* answer, unsigned* answerSize, unsigned* packets);
// SendCmd with retries (attempts >= 1; a busy meter is asked up to 10 times).
// The last result, except that a code the meter answered with is kept over a
// line fault (1011, 1013, 1016) of a later attempt.
unsigned ExecCmd(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data, unsigned dataLen,
                 uint8_t* answer, unsigned* answerSize, unsigned* packets, unsigned attempts);
// ExecCmd for a command that older meters refuse with one of two codes (0:
// none): a refusal is asked again at once, without the pause, since an answer
// with correct checks shows the line and the meter are well; only a refusal
// on every attempt is returned as one. Other failures wait the pause as ever.
unsigned ExecCmdConfirmingRefusal(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data,
                                  unsigned dataLen, uint8_t* answer, unsigned* answerSize, unsigned attempts,
                                  uint8_t refusalA, uint8_t refusalB);

// Calibration pairs.
unsigned BeginPairWrite(connection* conn, uint32_t number);
unsigned WritePairCount(connection* conn, uint32_t number, const std::string& count);
unsigned WritePair(connection* conn, uint32_t number, uint8_t index, const std::string& gi,
                   const std::string& ge);
unsigned ReadPairCount(connection* conn, uint32_t number, std::string& count);
unsigned ReadPair(connection* conn, uint32_t number, uint8_t index, std::string& gi, std::string& ge);
// The pair as the meter's bytes hold it.
unsigned ReadPairValues(connection* conn, uint32_t number, uint8_t index, float& gi, float& ge);
unsigned Restart(connection* conn, uint32_t number, uint8_t argument = 13);

// Parameters; kind 0 byte, 1 hex word, 2 unsigned word, 3 float.
unsigned ReadParam(connection* conn, uint32_t number, uint8_t param, int kind, std::string& value);
unsigned ReadParam(connection* conn, uint32_t number, uint8_t param, std::string& value);
unsigned WriteParam(connection* conn, uint32_t number, uint8_t param, int kind, const std::string& value);
unsigned WriteParam(connection* conn, uint32_t number, uint8_t param, const std::string& value);
// The text ReadParam gives back for value written as kind; false when value
// is not one WriteParam takes.
bool ParamReadText(int kind, const std::string& value, std::string& text);
// Kind of the short forms: 3 from parameter 32 on, else 0.
int DefaultParamKind(uint8_t param);

// Measurement.
unsigned StartMeasurement(connection* conn, uint32_t number, float argument = 1.0f);
unsigned ReadStatus(connection* conn, uint32_t number, uint8_t status[8]);
unsigned ReadCurrent(connection* conn, uint32_t number, uint8_t index, std::string& value,
                     const VQ7_INFO* info);
unsigned ReadClock(connection* conn, uint32_t number, uint8_t clock[8]);
unsigned ReadGradIntegrals(connection* conn, uint32_t number, std::string& text, uint8_t* data65 = nullptr);
unsigned ReadVersion(connection* conn, uint32_t number, std::string& version);

// Identification.
unsigned ReadIdent(connection* conn, uint32_t number, VQ7_INFO& info);
unsigned GetDeviceInfo(connection* conn, uint32_t number, VQ7_INFO& info);
std::string LookupModelName(const std::string& type, int code);
bool FormatMeterDateTime(int day, int month, int year, int hour, int minute, int second, std::string& text);
