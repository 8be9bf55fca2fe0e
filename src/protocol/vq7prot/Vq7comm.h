#pragma once
// Wire records of the meter protocol. Multi-byte fields are little-endian on
// the wire; read and write them with the Le* helpers, never by casting.
#include <cstdint>
#include <cstring>

constexpr uint32_t VQ7_ADDR_BROADCAST = 0x54535251;   // "QRST" on the wire
constexpr uint32_t VQ7_BROADCAST_NUMBER = 54535251;
constexpr uint32_t VQ7_MAX_NUMBER = 99999999;   // meter numbers have eight decimal digits

constexpr unsigned VQ7_CMD_SIZE = 16;
constexpr unsigned VQ7_CMD_DATA_SIZE = 9;
constexpr unsigned VQ7_SHORT_ANSWER_SIZE = 32;
constexpr unsigned VQ7_LONG_ANSWER_SIZE = 72;
constexpr unsigned VQ7_EIGHT_BYTE_ANSWER_SIZE = 8;
constexpr unsigned ZUA_SUPERLONG_MAX_SIZE = 256;

// Command codes.
enum : uint8_t {
    VQ7_CMD_WRITE_PAIR_COUNT = 0x06,
    VQ7_CMD_READ_PAIR_COUNT = 0x07,
    VQ7_CMD_READ_STATUS = 0x08,
    VQ7_CMD_READ_VERSION = 0x09,
    VQ7_CMD_WRITE_PARAM = 0x0A,
    VQ7_CMD_RESTART = 0x0D,
    VQ7_CMD_READ_PARAM = 0x0E,
    VQ7_CMD_START_MEASUREMENT = 0x0F,
    VQ7_CMD_BROADCAST_NO_ANSWER = 0x26,   // '&' to the broadcast address: no answer
    VQ7_CMD_BEGIN_PAIR_WRITE = 0x28,
    VQ7_CMD_WRITE_PAIR = 0x2A,
    VQ7_CMD_READ_PAIR = 0x2B,
    VQ7_CMD_READ_CURRENT = 0x2C,          // index 0: the clock
    VQ7_CMD_EIGHT_BYTE = 0x30,
    VQ7_CMD_READ_IDENT = 0x7C,
    VQ7_CMD_READ_GRAD_INTEGRALS = 0x7E,
};

// Meter error codes.
enum : uint8_t {
    VQ7_ERR_BAD_PARAM = 239,
    VQ7_ERR_BAD_COMMAND = 240,
    VQ7_ERR_BUSY = 241,
    VQ7_ERR_DZW_READ = 251,
    VQ7_ERR_RTC_READ = 252,
    VQ7_ERR_RTC_WRITE = 253,
    VQ7_ERR_EEPROM_READ = 254,
    VQ7_ERR_EEPROM_WRITE = 255,
};

#pragma pack(push, 1)
struct VQ7_CMD {
    uint8_t m_abAddr[4];
    uint8_t m_bCmd;
    uint8_t m_abData[VQ7_CMD_DATA_SIZE];
    uint8_t m_bXor;
    uint8_t m_bSum;
};

struct VQ7_SHORT_ANSWER {
    uint8_t m_abAddr[4];
    uint8_t m_bCmd;
    uint8_t m_abData[25];
    uint8_t m_bXor;
    uint8_t m_bSum;
};

struct VQ7_LONG_ANSWER {
    uint8_t m_abAddr[4];
    uint8_t m_bCmd;
    uint8_t m_abData[65];
    uint8_t m_bXor;
    uint8_t m_bSum;
};

// n data bytes at 6.., XOR at 6+n, sum at 7+n; n + 8 bytes in all.
struct ZUA_SUPERLONG_ANSWER {
    uint8_t m_abAddr[4];
    uint8_t m_bCmd;
    uint8_t m_bLength;
    uint8_t m_abData[ZUA_SUPERLONG_MAX_SIZE - 6];
};

struct VQ7_EIGHT_BYTE_ANSWER {
    uint8_t m_abAddr[4];
    uint8_t m_bCmd;
    uint8_t m_bData;
    uint8_t m_bXor;
    uint8_t m_bSum;
};

// Data of the long answer to ReadGradIntegrals.
struct VQ7_ANSWER_READ_GRAD_INTEGRALS {
    uint8_t m_abIntegrals[60];   // 15 floats
    uint8_t m_abReserved[3];
    uint8_t m_abCount[2];        // unsigned 16-bit sample count
};
#pragma pack(pop)

static_assert(sizeof(VQ7_CMD) == VQ7_CMD_SIZE);
static_assert(sizeof(VQ7_SHORT_ANSWER) == VQ7_SHORT_ANSWER_SIZE);
static_assert(sizeof(VQ7_LONG_ANSWER) == VQ7_LONG_ANSWER_SIZE);
static_assert(sizeof(ZUA_SUPERLONG_ANSWER) == ZUA_SUPERLONG_MAX_SIZE);
static_assert(sizeof(VQ7_EIGHT_BYTE_ANSWER) == VQ7_EIGHT_BYTE_ANSWER_SIZE);
static_assert(sizeof(VQ7_ANSWER_READ_GRAD_INTEGRALS) == 65);

inline uint16_t LeU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LeU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t BeU32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline uint16_t BeU16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline void PutLeU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLeU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline float LeFloat(const uint8_t* p)
{
    const uint32_t u = LeU32(p);
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}
inline void PutLeFloat(uint8_t* p, float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    PutLeU32(p, u);
}

// XOR and modulo-256 sum of bytes[0 .. n-1].
inline void ComputeChecks(const uint8_t* bytes, unsigned n, uint8_t& x, uint8_t& sum)
{
    x = 0;
    sum = 0;
    for (unsigned i = 0; i < n; ++i) {
        x ^= bytes[i];
        sum = static_cast<uint8_t>(sum + bytes[i]);
    }
}
