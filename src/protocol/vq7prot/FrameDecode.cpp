#include "protocol/vq7prot/FrameDecode.h"

#include "protocol/vq7prot/Vq7comm.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int HexValue(char c)
{
    if (c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// Meter number of 4 address bytes: packed BCD, little-endian, or the broadcast address.
bool AddressNumber(const uint8_t* addr, uint32_t& number)
{
    const uint32_t value = LeU32(addr);
    if (value == VQ7_ADDR_BROADCAST) {
        number = VQ7_BROADCAST_NUMBER;
        return true;
    }
    uint32_t result = 0;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const uint32_t digit = (value >> shift) & 0xF;
        if (digit > 9)
            return false;
        result = result * 10 + digit;
    }
    number = result;
    return true;
}

bool ChecksOk(const std::vector<uint8_t>& frame)
{
    if (frame.size() < 3)
        return false;
    uint8_t x, sum;
    const unsigned n = static_cast<unsigned>(frame.size()) - 2;
    ComputeChecks(frame.data(), n, x, sum);
    return frame[n] == x && frame[n + 1] == sum;
}

// Answer length for a command byte, as the transaction expects it.
unsigned LengthForCommand(uint8_t cmd)
{
    if (cmd == VQ7_CMD_EIGHT_BYTE)
        return VQ7_EIGHT_BYTE_ANSWER_SIZE;
    if (cmd >= 0x40 && cmd <= 0x7F)
        return VQ7_LONG_ANSWER_SIZE;
    if (cmd >= 0x80)
        return ZUA_SUPERLONG_MAX_SIZE;
    return VQ7_SHORT_ANSWER_SIZE;
}

void SetMeter(CDecodedFrame& f)
{
    if (f.m_abBytes.size() >= 4)
        f.m_bHasMeter = AddressNumber(f.m_abBytes.data(), f.m_dwMeter);
}

}  // namespace

bool ParseTraceLine(const std::string& line, CTracedBytes& out)
{
    if (line.size() < 4 || (line.compare(0, 3, ">> ") != 0 && line.compare(0, 3, "<< ") != 0))
        return false;
    const size_t close = line.find(']');
    if (line.compare(3, 3, "[L=") != 0 || close == std::string::npos)
        return false;
    char* end = nullptr;
    const unsigned long length = std::strtoul(line.c_str() + 6, &end, 10);
    if (end == line.c_str() + 6)
        return false;
    CTracedBytes traced;
    traced.m_bReceived = line[0] == '>';
    size_t i = close + 1;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 1 >= line.size() || !IsHexDigit(line[i]) || !IsHexDigit(line[i + 1]) ||
            (i + 2 < line.size() && line[i + 2] != ' '))
            return false;
        traced.m_abBytes.push_back(static_cast<uint8_t>(HexValue(line[i]) * 16 + HexValue(line[i + 1])));
        i += 2;
    }
    if (traced.m_abBytes.size() != length)
        return false;
    out = std::move(traced);
    return true;
}

std::string CommandName(uint8_t cmd)
{
    switch (cmd) {
    case VQ7_CMD_WRITE_PAIR_COUNT: return "Запись числа пар";
    case VQ7_CMD_READ_PAIR_COUNT: return "Чтение числа пар";
    case VQ7_CMD_READ_STATUS: return "Чтение статуса";
    case VQ7_CMD_READ_VERSION: return "Чтение версии";
    case VQ7_CMD_WRITE_PARAM: return "Запись параметра";
    case VQ7_CMD_RESTART: return "Перезапуск";
    case VQ7_CMD_READ_PARAM: return "Чтение параметра";
    case VQ7_CMD_START_MEASUREMENT: return "Пуск измерения";
    case VQ7_CMD_BROADCAST_NO_ANSWER: return "Общая команда без ответа";
    case VQ7_CMD_BEGIN_PAIR_WRITE: return "Начало записи пар";
    case VQ7_CMD_WRITE_PAIR: return "Запись пары";
    case VQ7_CMD_READ_PAIR: return "Чтение пары";
    case VQ7_CMD_READ_CURRENT: return "Чтение текущего значения";
    case VQ7_CMD_EIGHT_BYTE: return "Короткая команда";
    case VQ7_CMD_READ_IDENT: return "Чтение идентификации";
    case VQ7_CMD_READ_GRAD_INTEGRALS: return "Чтение интегралов";
    default: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "команда 0x%.2X", cmd);
        return buf;
    }
    }
}

std::string HexBytes(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (uint8_t b : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

void CFrameDecoder::Decode(const CTracedBytes& traced, std::vector<CDecodedFrame>& out)
{
    if (traced.m_bReceived)
        DecodeAnswers(traced.m_abBytes, out);
    else
        DecodeRequests(traced.m_abBytes, out);
}

void CFrameDecoder::DecodeRequests(const std::vector<uint8_t>& bytes, std::vector<CDecodedFrame>& out)
{
    for (size_t at = 0; at < bytes.size(); at += VQ7_CMD_SIZE) {
        if (m_bAwaiting && !m_bAnswered) {
            CDecodedFrame missing;
            missing.m_bReceived = true;
            missing.m_abBytes.assign(m_abRequest, m_abRequest + 4);
            SetMeter(missing);
            missing.m_abBytes.clear();
            missing.m_bCmd = m_abRequest[4];
            missing.m_sCommand = CommandName(m_abRequest[4]);
            missing.m_sError = "нет ответа";
            out.push_back(std::move(missing));
        }
        CDecodedFrame f;
        f.m_abBytes.assign(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + VQ7_CMD_SIZE));
        SetMeter(f);
        m_bAwaiting = false;
        if (f.m_abBytes.size() >= 5) {
            f.m_bCmd = f.m_abBytes[4];
            f.m_sCommand = CommandName(f.m_bCmd);
        }
        if (f.m_abBytes.size() < VQ7_CMD_SIZE) {
            f.m_sError = "неполный кадр: " + std::to_string(f.m_abBytes.size()) + " из 16 байт";
        } else {
            if (!ChecksOk(f.m_abBytes))
                f.m_sError = "неверная контрольная сумма";
            else if (!f.m_bHasMeter)
                f.m_sError = "адрес не является номером счетчика";
            std::copy(f.m_abBytes.begin(), f.m_abBytes.end(), m_abRequest);
            const bool noAnswer = f.m_bCmd == VQ7_CMD_BROADCAST_NO_ANSWER && LeU32(m_abRequest) == VQ7_ADDR_BROADCAST;
            m_bAwaiting = !noAnswer;
            m_bAnswered = false;
            m_nPackets = f.m_bCmd >= 0x80 ? (m_abRequest[5] >> 4) + 1u : 1u;
        }
        out.push_back(std::move(f));
    }
}

unsigned CFrameDecoder::AnswerLength(const uint8_t* frame, size_t available) const
{
    if (available >= 6 && frame[4] >= 0x81 && frame[4] <= 0xEE)
        return frame[5] + 8u;
    if (m_bAwaiting)
        return LengthForCommand(m_abRequest[4]);
    return available >= 5 ? LengthForCommand(frame[4]) : VQ7_SHORT_ANSWER_SIZE;
}

void CFrameDecoder::DecodeAnswers(const std::vector<uint8_t>& bytes, std::vector<CDecodedFrame>& out)
{
    size_t at = 0;
    while (at < bytes.size()) {
        const unsigned length = AnswerLength(bytes.data() + at, bytes.size() - at);
        CDecodedFrame f;
        f.m_bReceived = true;
        f.m_abBytes.assign(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + length));
        at += f.m_abBytes.size();
        SetMeter(f);
        if (f.m_abBytes.size() >= 5)
            f.m_bCmd = f.m_abBytes[4];
        const uint8_t requested = m_bAwaiting ? m_abRequest[4] : f.m_bCmd;
        f.m_sCommand = CommandName(requested);
        if (f.m_abBytes.size() < length) {
            f.m_sError = "короткий кадр: " + std::to_string(f.m_abBytes.size()) + " из " + std::to_string(length) +
                         " байт";
        } else if (!ChecksOk(f.m_abBytes)) {
            f.m_sError = "неверная контрольная сумма";
        } else if (!m_bAwaiting) {
            f.m_sError = "ответ без запроса";
        } else if (f.m_bCmd != requested) {
            f.m_sError = "ошибка счетчика " + std::to_string(f.m_bCmd) + ": " + ResultCodeText(f.m_bCmd);
        } else if (LeU32(m_abRequest) != VQ7_ADDR_BROADCAST && LeU32(f.m_abBytes.data()) != LeU32(m_abRequest)) {
            f.m_sError = "ответ с другого адреса";
        }
        if (m_bAwaiting) {
            m_bAnswered = true;
            if (m_nPackets > 0)
                --m_nPackets;
            if (m_nPackets == 0)
                m_bAwaiting = false;
        }
        out.push_back(std::move(f));
    }
}
