// The command set as a meter answers it.
#include "common/Cp1251.h"
#include "sim/SimFrames.h"
#include "sim/VirtualMeter.h"

#include <cmath>
#include <cstring>
#include <ctime>

namespace {
constexpr unsigned kParamCount = 128;   // parameters 0..127 exist

bool HasClock(const std::string& type)
{
    return type != "DZW3" && type != "DZW4" && type != "ZUI1" && type != "ZUI2";
}

// Device words where the workstation reads them for this type.
void PutDeviceWords(const std::string& type, uint32_t a, uint32_t b, uint8_t* d)
{
    auto putBe32 = [](uint8_t* p, uint32_t v) {
        p[0] = static_cast<uint8_t>(v >> 24);
        p[1] = static_cast<uint8_t>(v >> 16);
        p[2] = static_cast<uint8_t>(v >> 8);
        p[3] = static_cast<uint8_t>(v);
    };
    if (type == "ZUI3" || type == "ZUR2" || type == "ZUT ") {
        PutLeU32(d + 27, a);
        PutLeU32(d + 31, b);
    } else if (type.rfind("ZUA", 0) == 0) {
        PutLeU32(d + 25, a);
        PutLeU32(d + 29, b);
    } else {
        putBe32(d + 25, a);
        d[29] = static_cast<uint8_t>(b >> 8);
        d[30] = static_cast<uint8_t>(b);
    }
}
}  // namespace

MeterAnswer CVirtualMeter::Execute(const uint8_t* request, bool& changed)
{
    const auto now = SimClock::now();
    const uint8_t cmd = request[4];
    const uint8_t* d = request + 5;
    MeterAnswer answer;
    answer.silent = false;
    uint8_t data[256] = {};
    unsigned n = 0;
    const unsigned length = SimAnswerLength(cmd);

    auto error = [&](uint8_t code) {
        answer.bytes = MakeAnswerFrame(m_cfg.number, code, length);
        return answer;
    };
    auto ok = [&]() {
        answer.bytes = MakeAnswerFrame(m_cfg.number, cmd, length, data, n);
        return answer;
    };
    auto echo = [&](unsigned count) {
        std::memcpy(data, d, count);
        n = count;
        return ok();
    };

    switch (cmd) {
    case VQ7_CMD_WRITE_PAIR_COUNT: {
        if (!m_cfg.pairCountCommands || !m_cfg.writeSwitch)
            return error(VQ7_ERR_BAD_COMMAND);
        if (d[0] != 255 && d[0] > m_cfg.pairCapacity)
            return error(VQ7_ERR_BAD_PARAM);
        m_bPairCount = d[0];
        if (!IsConverter())
            m_flash = PairsLocked();
        changed = true;
        return echo(1);
    }
    case VQ7_CMD_READ_PAIR_COUNT:
        if (!m_cfg.pairCountCommands)
            return error(VQ7_ERR_BAD_COMMAND);
        data[0] = m_bPairCount;
        n = 1;
        return ok();
    case VQ7_CMD_READ_STATUS:
        Advance(now);
        data[4] = m_int.measuring ? 0x40 : 0;
        data[6] = (m_int.running && now < m_int.end) ? 0x02 : 0;
        n = 8;
        return ok();
    case VQ7_CMD_READ_VERSION: {
        std::memcpy(data, m_cfg.version.data(), 5);
        data[5] = m_cfg.idFlag;
        std::memcpy(data + 6, m_cfg.type.data(), 4);
        std::string id = Utf8ToCp1251(m_cfg.idText);
        id.resize(10, ' ');
        std::memcpy(data + 10, id.data(), 10);
        PutLeU32(data + 20, m_cfg.features);
        data[24] = 0;
        n = 25;
        return ok();
    }
    case VQ7_CMD_WRITE_PARAM: {
        if (!m_cfg.writeSwitch)
            return error(VQ7_ERR_BAD_COMMAND);
        const uint8_t number = d[0], size = d[1];
        if (number >= kParamCount || (size != 1 && size != 4))
            return error(VQ7_ERR_BAD_PARAM);
        std::array<uint8_t, 4> value{d[2], 0, 0, 0};
        if (size == 4)
            value = {d[2], d[3], d[4], d[5]};
        m_params[number] = value;
        changed = true;
        return echo(6);
    }
    case VQ7_CMD_RESTART:
        if (!IsConverter())
            return error(VQ7_ERR_BAD_COMMAND);
        if (d[0] != 13)
            return error(VQ7_ERR_BAD_PARAM);
        switch (m_cfg.restartMode) {
        case RestartMode::Answer239:
            return error(VQ7_ERR_BAD_PARAM);
        case RestartMode::Answer255:
            return error(VQ7_ERR_EEPROM_WRITE);
        case RestartMode::Unanswered:
            DoRestart(now);
            answer.silent = true;
            return answer;
        case RestartMode::Answer0:
            DoRestart(now);
            return echo(1);
        }
        return error(VQ7_ERR_BAD_PARAM);
    case VQ7_CMD_READ_PARAM: {
        const uint8_t number = d[0], size = d[1];
        if (number >= kParamCount || (size != 1 && size != 4))
            return error(VQ7_ERR_BAD_PARAM);
        auto it = m_params.find(number);
        const std::array<uint8_t, 4> value = it == m_params.end() ? std::array<uint8_t, 4>{} : it->second;
        std::memcpy(data, value.data(), size);
        n = 4;
        return ok();
    }
    case VQ7_CMD_START_MEASUREMENT: {
        const float arg = LeFloat(d);
        if (!std::isfinite(arg) || arg <= 0)
            return error(VQ7_ERR_BAD_PARAM);
        Advance(now);
        m_int = Integration{};
        m_int.measuring = true;
        m_int.running = true;
        m_int.start = now;
        m_int.end = now + std::chrono::milliseconds(m_integrationMs);
        // 10 ms samples; longer for integrations the 16-bit count could not hold.
        const long long periodUs = std::max<long long>(10000, (m_integrationMs * 1000LL + 59999) / 60000);
        m_int.period = std::chrono::microseconds(periodUs);
        m_int.samplesTotal = static_cast<unsigned>(m_integrationMs * 1000LL / periodUs);
        return echo(4);
    }
    case VQ7_CMD_BROADCAST_NO_ANSWER:
        return ok();
    case VQ7_CMD_BEGIN_PAIR_WRITE:
        if (!m_cfg.writeSwitch)
            return error(VQ7_ERR_BAD_COMMAND);
        return ok();
    case VQ7_CMD_WRITE_PAIR: {
        if (!m_cfg.writeSwitch)
            return error(VQ7_ERR_BAD_COMMAND);
        if (d[0] >= m_eeprom.size())
            return error(VQ7_ERR_BAD_PARAM);
        SimPair& p = m_eeprom[d[0]];
        std::memcpy(&p.gi, d + 1, 4);   // raw bytes: a NaN pattern stays as it is
        std::memcpy(&p.ge, d + 5, 4);
        if (!IsConverter())
            m_flash = PairsLocked();
        changed = true;
        return echo(9);
    }
    case VQ7_CMD_READ_PAIR: {
        if (d[0] >= m_eeprom.size())
            return error(VQ7_ERR_BAD_PARAM);
        const SimPair& p = m_eeprom[d[0]];
        data[0] = d[0];
        std::memcpy(data + 1, &p.gi, 4);
        std::memcpy(data + 5, &p.ge, 4);
        n = 9;
        return ok();
    }
    case VQ7_CMD_READ_CURRENT: {
        const uint8_t index = d[0];
        if (index == 0) {
            if (!HasClock(m_cfg.type))
                return error(VQ7_ERR_BAD_PARAM);
            const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() +
                                                                       m_clockOffset);
            std::tm tm{};
            localtime_r(&t, &tm);
            data[0] = ToBcd(tm.tm_wday == 0 ? 7 : static_cast<unsigned>(tm.tm_wday));
            data[1] = ToBcd(static_cast<unsigned>(tm.tm_mday));
            data[2] = ToBcd(static_cast<unsigned>(tm.tm_mon + 1));
            data[3] = ToBcd(static_cast<unsigned>(tm.tm_year % 100));
            data[4] = 0;
            data[5] = ToBcd(static_cast<unsigned>(tm.tm_hour));
            data[6] = ToBcd(static_cast<unsigned>(tm.tm_min));
            data[7] = ToBcd(static_cast<unsigned>(tm.tm_sec));
            n = 8;
            return ok();
        }
        if (index > 9)
            return error(VQ7_ERR_BAD_PARAM);
        Advance(now);
        const double gi = SampleGi(FlowAt(now));
        float value = 0;
        switch (index) {
        case 8: value = static_cast<float>(gi); break;
        case 5: value = static_cast<float>(CorrectedLocked(gi)); break;
        case 1: value = 70.0f; break;       // supply temperature, degC
        case 2: value = 50.0f; break;       // return temperature, degC
        case 3: value = static_cast<float>(std::fabs(gi) * 20.0 * 1.163e-3); break;   // heat power, MW
        case 9: value = static_cast<float>(m_requests); break;
        default: value = 0; break;
        }
        PutLeFloat(data, value);
        if (index == 8 && SwapsCurrentGi()) {
            std::swap(data[0], data[3]);
            std::swap(data[1], data[2]);
        }
        n = 4;
        return ok();
    }
    case VQ7_CMD_EIGHT_BYTE:
        data[0] = 0;
        n = 1;
        return ok();
    case VQ7_CMD_READ_IDENT: {
        if (d[0] != 1)
            return error(VQ7_ERR_BAD_PARAM);
        PutSimAddress(data, m_cfg.number);
        std::memcpy(data + 4, m_cfg.type.data(), 4);
        std::memcpy(data + 17, m_cfg.fullVersion.data(), 8);
        PutDeviceWords(m_cfg.type, m_cfg.devWordA, m_cfg.devWordB, data);
        n = 65;
        return ok();
    }
    case VQ7_CMD_READ_GRAD_INTEGRALS: {
        Advance(now);
        PutLeFloat(data + 0, static_cast<float>(m_int.sumGi));
        PutLeFloat(data + 4, static_cast<float>(m_int.sumAbsGi));
        PutLeFloat(data + 8, static_cast<float>(m_int.sumGv));
        PutLeU16(data + 63, static_cast<uint16_t>(m_int.samplesDone));
        n = 65;
        return ok();
    }
    default:
        return error(VQ7_ERR_BAD_COMMAND);
    }
}

void CVirtualMeter::DoRestart(SimClock::time_point now)
{
    m_flash = PairsLocked();
    m_int = Integration{};
    m_silentUntil = now + std::chrono::milliseconds(m_cfg.restartSilenceMs);
    ++m_restarts;
}
