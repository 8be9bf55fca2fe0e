#include "rig/RigInstruments.h"

#include "common/NumberText.h"

#include <modbus/modbus.h>

#include <cerrno>

namespace {
// A reference or set-point no water rig reaches: a broken register map.
constexpr double kMaxFlow = 100000;      // m3/h
constexpr double kMaxTotal = 1e12;       // m3
}

CRigInstruments::CRigInstruments(const RigConfig& config) : m_config(config) {}

CRigInstruments::~CRigInstruments() { Close(); }

void CRigInstruments::Close()
{
    std::lock_guard lock(m_lock);
    if (m_ctx) {
        modbus_close(m_ctx);
        modbus_free(m_ctx);
        m_ctx = nullptr;
    }
    m_connected = false;
}

bool CRigInstruments::Open(std::string& why)
{
    std::lock_guard lock(m_lock);
    return Connected(why);
}

bool CRigInstruments::Connected(std::string& why)
{
    if (m_connected)
        return true;
    if (!m_ctx) {
        m_ctx = m_config.rtu ? modbus_new_rtu(m_config.device.c_str(), m_config.baud, m_config.parity, 8, 1)
                             : modbus_new_tcp(m_config.host.c_str(), m_config.port);
        if (!m_ctx) {
            why = "стенд " + m_config.LinkText() + ": " + modbus_strerror(errno);
            return false;
        }
        modbus_set_slave(m_ctx, m_config.unit);
        const uint32_t ms = static_cast<uint32_t>(m_config.timeoutMs);
        modbus_set_response_timeout(m_ctx, ms / 1000, (ms % 1000) * 1000);
    }
    if (modbus_connect(m_ctx) != 0) {
        why = "стенд " + m_config.LinkText() + ": нет связи (" + modbus_strerror(errno) + ")";
        return false;
    }
    m_connected = true;
    return true;
}

bool CRigInstruments::Failed(const std::string& what, std::string& why)
{
    const int error = errno;
    const bool exception = error > MODBUS_ENOBASE && error < MODBUS_ENOBASE + 20;
    why = what + ": " + (exception ? "ответ-исключение" : error == ETIMEDOUT ? "нет ответа" : "ошибка обмена") +
          " (" + modbus_strerror(error) + ", " + m_config.LinkText() + ")";
    if (exception) {
        modbus_flush(m_ctx);
    } else {
        // A late answer must not be taken for the next request's: start afresh.
        modbus_close(m_ctx);
        m_connected = false;
    }
    return false;
}

bool CRigInstruments::ReadValue(const RegisterSpec& reg, const char* what, double& value, std::string& why,
                                std::chrono::steady_clock::time_point* at, std::chrono::microseconds* half)
{
    uint16_t regs[2] = {};
    const int n = RegisterCount(reg.type);
    const auto before = std::chrono::steady_clock::now();
    const int got = reg.table == RegisterTable::Input ? modbus_read_input_registers(m_ctx, reg.address, n, regs)
                                                       : modbus_read_registers(m_ctx, reg.address, n, regs);
    const auto after = std::chrono::steady_clock::now();
    if (got != n)
        return Failed(what, why);
    value = DecodeRegisters(regs, reg.type, m_config.order, reg.scale);
    if (at)
        *at = before + (after - before) / 2;
    if (half)
        *half = std::chrono::duration_cast<std::chrono::microseconds>(after - before) / 2;
    return true;
}

bool CRigInstruments::Read(RigSample& out, std::string& why)
{
    std::lock_guard lock(m_lock);
    if (!Connected(why))
        return false;
    out = RigSample{};
    const RigConfig& c = m_config;
    if (c.total.present && !ReadValue(c.total, "эталон, объем", out.total, why, &out.at, &out.halfSpan))
        return false;
    if (c.rate.present && !ReadValue(c.rate, "эталон, расход", out.rate, why, c.total.present ? nullptr : &out.at,
                                     c.total.present ? nullptr : &out.halfSpan))
        return false;
    if (c.temperature.present && !ReadValue(c.temperature, "температура воды", out.temperature, why))
        return false;
    if (c.pressure.present && !ReadValue(c.pressure, "давление", out.pressure, why))
        return false;
    if (c.rate.present && !(std::isfinite(out.rate) && std::fabs(out.rate) <= kMaxFlow)) {
        why = FormatC("эталон, расход: значение %g м3/ч вне диапазона", out.rate);
        return false;
    }
    if (c.total.present && !(std::isfinite(out.total) && std::fabs(out.total) <= kMaxTotal)) {
        why = FormatC("эталон, объем: значение %g м3 вне диапазона", out.total);
        return false;
    }
    if (c.temperature.present && !(std::isfinite(out.temperature) && out.temperature > -50 && out.temperature < 200)) {
        why = FormatC("температура воды: значение %g °C вне диапазона", out.temperature);
        return false;
    }
    if (c.pressure.present && !(std::isfinite(out.pressure) && out.pressure > -2 && out.pressure < 1000)) {
        why = FormatC("давление: значение %g бар вне диапазона", out.pressure);
        return false;
    }
    return true;
}

bool CRigInstruments::SetFlow(double m3h, std::string& why)
{
    std::lock_guard lock(m_lock);
    if (!m_config.HasDrive()) {
        why = "стенд: [RIG] setpoint_register не задан, расход задает оператор";
        return false;
    }
    uint16_t regs[2] = {};
    if (!(std::fabs(m3h) <= kMaxFlow) ||
        !EncodeRegisters(m3h, m_config.setpoint.type, m_config.order, m_config.setpoint.scale, regs)) {
        why = FormatC("стенд: расход %g м3/ч не помещается в регистр задания", m3h);
        return false;
    }
    if (!Connected(why))
        return false;
    const int n = RegisterCount(m_config.setpoint.type);
    if (modbus_write_registers(m_ctx, m_config.setpoint.address, n, regs) != n)
        return Failed("задание расхода", why);
    if (m_config.runCoil >= 0 && modbus_write_bit(m_ctx, m_config.runCoil, 1) != 1)
        return Failed("пуск насоса", why);
    return true;
}

bool CRigInstruments::StopFlow(std::string& why)
{
    std::lock_guard lock(m_lock);
    if (!m_config.HasDrive())
        return true;
    if (!Connected(why))
        return false;
    if (m_config.runCoil >= 0) {
        if (modbus_write_bit(m_ctx, m_config.runCoil, 0) != 1)
            return Failed("останов насоса", why);
        return true;
    }
    uint16_t regs[2] = {};
    EncodeRegisters(0, m_config.setpoint.type, m_config.order, m_config.setpoint.scale, regs);
    const int n = RegisterCount(m_config.setpoint.type);
    if (modbus_write_registers(m_ctx, m_config.setpoint.address, n, regs) != n)
        return Failed("задание расхода", why);
    return true;
}
