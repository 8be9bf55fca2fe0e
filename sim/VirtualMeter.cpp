#include "sim/VirtualMeter.h"

#include "sim/SimFrames.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
std::string Padded(std::string text, size_t width)
{
    text.resize(width, ' ');
    return text;
}

uint32_t SeedOf(const SimMeterConfig& cfg)
{
    return cfg.seed ? cfg.seed : (cfg.number * 2654435761u) ^ 0x5bd1e995u;
}

std::array<uint8_t, 4> FloatBytes(float f)
{
    std::array<uint8_t, 4> b{};
    PutLeFloat(b.data(), f);
    return b;
}
}  // namespace

const char* RestartModeName(RestartMode mode)
{
    switch (mode) {
    case RestartMode::Answer0: return "answer0";
    case RestartMode::Unanswered: return "silent";
    case RestartMode::Answer239: return "answer239";
    case RestartMode::Answer255: return "answer255";
    }
    return "?";
}

bool RestartModeFromName(const std::string& name, RestartMode& mode)
{
    for (RestartMode m : {RestartMode::Answer0, RestartMode::Unanswered, RestartMode::Answer239,
                          RestartMode::Answer255})
        if (name == RestartModeName(m)) {
            mode = m;
            return true;
        }
    return false;
}

CVirtualMeter::CVirtualMeter(const SimMeterConfig& config) : m_cfg(config), m_rng(SeedOf(config))
{
    m_cfg.type = Padded(m_cfg.type, 4);
    m_cfg.version = Padded(m_cfg.version, 5);
    m_cfg.fullVersion = Padded(m_cfg.fullVersion, 8);
    if (!m_cfg.pairCountCommands)
        m_cfg.pairCapacity = 7;   // older software always uses seven pairs
    m_cfg.pairCapacity = std::clamp(m_cfg.pairCapacity, 1u, 254u);

    // Erased EEPROM reads as all ones.
    SimPair erased;
    const uint32_t ones = 0xFFFFFFFFu;
    std::memcpy(&erased.gi, &ones, 4);
    std::memcpy(&erased.ge, &ones, 4);
    m_eeprom.assign(m_cfg.pairCapacity, erased);

    // The hidden error curve: a level per direction, a low-flow excess and a ripple.
    std::mt19937 curveRng(SeedOf(config) ^ 0xC0FFEEu);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    auto level = [&] { return (u(curveRng) < 0.5 ? -1 : 1) * (0.01 + 0.02 * u(curveRng)); };
    m_curve[0] = level();                     // forward level
    m_curve[1] = level();                     // reverse level
    m_curve[2] = 0.01 + 0.03 * u(curveRng);   // low-flow excess
    m_curve[3] = 0.5 + 2.5 * u(curveRng);     // its scale, m3/h
    m_curve[4] = 0.004 + 0.008 * u(curveRng); // ripple amplitude
    m_curve[5] = 6.283185307 * u(curveRng);   // ripple phase

    m_params[0] = {static_cast<uint8_t>(m_cfg.model), 0, 0, 0};
    m_params[70] = FloatBytes(16.0f);
    m_params[75] = FloatBytes(16.0f);
    m_params[79] = FloatBytes(0.0025f);

    if (!m_cfg.pairs.empty()) {
        const size_t n = std::min<size_t>(m_cfg.pairs.size(), m_cfg.pairCapacity);
        std::copy_n(m_cfg.pairs.begin(), n, m_eeprom.begin());
        m_bPairCount = m_cfg.pairCountCommands ? static_cast<uint8_t>(n) : 7;
    } else if (!m_cfg.pairCountCommands) {
        m_bPairCount = 7;
    }
    m_flash = PairsLocked();
    m_cfg.pairs.clear();
}

SimMeterConfig CVirtualMeter::Config() const
{
    std::lock_guard lock(m_lock);
    SimMeterConfig c = m_cfg;
    c.pairs = PairsLocked();
    c.model = m_params.at(0)[0];
    return c;
}

bool CVirtualMeter::IsConverter() const { return m_cfg.type.rfind("DZW", 0) == 0; }

bool CVirtualMeter::SwapsCurrentGi() const
{
    if (m_cfg.type != "DZW3" && m_cfg.type != "DZW4")
        return false;
    // NN.NN.NN as the number NNNNNN.
    unsigned v = 0;
    for (char c : m_cfg.fullVersion)
        if (c >= '0' && c <= '9')
            v = v * 10 + static_cast<unsigned>(c - '0');
    return v <= 30702;
}

void CVirtualMeter::SetFlowSource(std::function<double(SimClock::time_point)> flowAt)
{
    std::lock_guard lock(m_lock);
    m_flowAt = std::move(flowAt);
}

void CVirtualMeter::SetNoise(double relative)
{
    std::lock_guard lock(m_lock);
    m_noise = std::max(0.0, relative);
}

uint8_t CVirtualMeter::PairCountByte() const
{
    std::lock_guard lock(m_lock);
    return m_bPairCount;
}

std::vector<SimPair> CVirtualMeter::PairsLocked() const
{
    if (m_bPairCount == 0 || m_bPairCount == 255)
        return {};
    const size_t n = std::min<size_t>(m_bPairCount, m_eeprom.size());
    return std::vector<SimPair>(m_eeprom.begin(), m_eeprom.begin() + static_cast<long>(n));
}

std::vector<SimPair> CVirtualMeter::Pairs() const
{
    std::lock_guard lock(m_lock);
    return PairsLocked();
}

void CVirtualMeter::SetPairs(const std::vector<SimPair>& pairs)
{
    std::lock_guard lock(m_lock);
    const size_t n = std::min<size_t>(pairs.size(), m_eeprom.size());
    std::copy_n(pairs.begin(), n, m_eeprom.begin());
    if (m_cfg.pairCountCommands)
        m_bPairCount = n ? static_cast<uint8_t>(n) : 255;
    m_flash = PairsLocked();
    NotifyChange();
}

void CVirtualMeter::ClearPairs()
{
    std::lock_guard lock(m_lock);
    if (m_cfg.pairCountCommands)
        m_bPairCount = 255;
    m_flash = PairsLocked();
    NotifyChange();
}

std::vector<SimPair> CVirtualMeter::FlashPairs() const
{
    std::lock_guard lock(m_lock);
    return m_flash;
}

std::array<uint8_t, 4> CVirtualMeter::ParamBytes(uint8_t number) const
{
    std::lock_guard lock(m_lock);
    auto it = m_params.find(number);
    return it == m_params.end() ? std::array<uint8_t, 4>{} : it->second;
}

float CVirtualMeter::ParamFloat(uint8_t number) const { return LeFloat(ParamBytes(number).data()); }
uint8_t CVirtualMeter::ParamByte(uint8_t number) const { return ParamBytes(number)[0]; }

bool CVirtualMeter::WriteSwitch() const
{
    std::lock_guard lock(m_lock);
    return m_cfg.writeSwitch;
}

void CVirtualMeter::SetWriteSwitch(bool on)
{
    std::lock_guard lock(m_lock);
    m_cfg.writeSwitch = on;
    NotifyChange();
}

RestartMode CVirtualMeter::GetRestartMode() const
{
    std::lock_guard lock(m_lock);
    return m_cfg.restartMode;
}

void CVirtualMeter::SetRestartMode(RestartMode mode, unsigned silenceMs)
{
    std::lock_guard lock(m_lock);
    m_cfg.restartMode = mode;
    m_cfg.restartSilenceMs = silenceMs;
}

void CVirtualMeter::SetResponseDelay(unsigned ms)
{
    std::lock_guard lock(m_lock);
    m_cfg.responseDelayMs = ms;
}

void CVirtualMeter::AddFault(const FaultRule& rule)
{
    std::lock_guard lock(m_lock);
    if (rule.kind == FaultKind::SwitchOff && rule.command == FAULT_ANY_COMMAND &&
        rule.probability >= 1.0) {
        m_cfg.writeSwitch = false;   // plain "switch off": a state, not a rule
        return;
    }
    m_cfg.faults.push_back(rule);
}

void CVirtualMeter::ClearFaults()
{
    std::lock_guard lock(m_lock);
    m_cfg.faults.clear();
}

std::vector<FaultRule> CVirtualMeter::Faults() const
{
    std::lock_guard lock(m_lock);
    return m_cfg.faults;
}

unsigned CVirtualMeter::RestartCount() const
{
    std::lock_guard lock(m_lock);
    return m_restarts;
}

unsigned CVirtualMeter::CommandCount(uint8_t code) const
{
    std::lock_guard lock(m_lock);
    auto it = m_cmdCounts.find(code);
    return it == m_cmdCounts.end() ? 0 : it->second;
}

unsigned CVirtualMeter::RequestCount() const
{
    std::lock_guard lock(m_lock);
    return m_requests;
}

bool CVirtualMeter::Silent() const
{
    std::lock_guard lock(m_lock);
    return RestartingLocked(SimClock::now());
}

bool CVirtualMeter::RestartingLocked(SimClock::time_point now) const { return now < m_silentUntil; }

void CVirtualMeter::SetChangeHook(std::function<void(const CVirtualMeter&)> hook)
{
    std::lock_guard lock(m_lock);
    m_changeHook = std::move(hook);
}

void CVirtualMeter::NotifyChange()
{
    if (m_changeHook)
        m_changeHook(*this);
}

const FaultRule* CVirtualMeter::PickFault(uint8_t command, FaultRule& fired)
{
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (auto it = m_cfg.faults.begin(); it != m_cfg.faults.end(); ++it) {
        if (it->command != FAULT_ANY_COMMAND && it->command != command)
            continue;
        if (it->count == 0)
            continue;
        if (it->probability < 1.0 && u(m_rng) >= it->probability)
            continue;
        fired = *it;
        if (it->count > 0 && --it->count == 0)
            m_cfg.faults.erase(it);
        return &fired;
    }
    return nullptr;
}

void CVirtualMeter::StoreOtherLocked(const uint8_t* request, bool ge)
{
    const uint8_t* d = request + 5;
    if (request[4] == VQ7_CMD_WRITE_PAIR && d[0] < m_eeprom.size()) {
        float& kept = ge ? m_eeprom[d[0]].ge : m_eeprom[d[0]].gi;
        uint32_t bits;
        std::memcpy(&bits, &kept, 4);
        bits ^= 1;
        std::memcpy(&kept, &bits, 4);
        if (!IsConverter())
            m_flash = PairsLocked();
    } else if (request[4] == VQ7_CMD_WRITE_PARAM && !ge) {
        m_params[d[0]][0] ^= 1;
    }
}

MeterAnswer CVirtualMeter::Handle(const uint8_t* request, bool broadcast)
{
    std::lock_guard lock(m_lock);
    const auto now = SimClock::now();
    const uint8_t command = request[4];
    ++m_requests;
    ++m_cmdCounts[command];

    MeterAnswer answer;
    if (RestartingLocked(now))
        return answer;

    FaultRule rule;
    const FaultRule* fault = PickFault(command, rule);
    if (fault && fault->kind == FaultKind::SwitchOff) {
        m_cfg.writeSwitch = false;
        fault = nullptr;
    }
    if (fault && fault->kind == FaultKind::Silence)
        return answer;

    answer.delayMs = m_cfg.responseDelayMs;
    if (fault && (fault->kind == FaultKind::Busy || fault->kind == FaultKind::Refuse)) {
        answer.silent = false;
        answer.bytes = MakeAnswerFrame(m_cfg.number,
                                       fault->kind == FaultKind::Busy ? VQ7_ERR_BUSY : VQ7_ERR_BAD_COMMAND,
                                       SimAnswerLength(command));
        return answer;
    }

    bool changed = false;
    MeterAnswer executed = Execute(request, changed);
    if (changed && fault && (fault->kind == FaultKind::StoreOther || fault->kind == FaultKind::StoreOtherGe))
        StoreOtherLocked(request, fault->kind == FaultKind::StoreOtherGe);
    if (changed)
        NotifyChange();
    answer.silent = executed.silent;
    answer.bytes = std::move(executed.bytes);
    if (broadcast && command == VQ7_CMD_BROADCAST_NO_ANSWER)
        answer.silent = true;
    if (answer.silent || !fault)
        return answer;

    std::vector<uint8_t>& b = answer.bytes;
    switch (fault->kind) {
    case FaultKind::Garbage: {
        unsigned n = fault->argument;
        if (n == 0)
            n = 1 + m_rng() % 3;
        std::vector<uint8_t> junk(n);
        for (auto& x : junk)
            x = static_cast<uint8_t>(m_rng());
        b.insert(b.begin(), junk.begin(), junk.end());
        break;
    }
    case FaultKind::BadChecks:
        b[b.size() - 2] ^= 0x5A;
        break;
    case FaultKind::WrongAddress: {
        uint32_t other = m_cfg.number + 1;
        if (other > VQ7_MAX_NUMBER || other == VQ7_BROADCAST_NUMBER)
            other = 1;
        PutSimAddress(b.data(), other);
        RefreshChecks(b);
        break;
    }
    case FaultKind::Truncated: {
        size_t keep = fault->argument ? fault->argument : b.size() / 2;
        b.resize(std::min(keep, b.size() - 1));
        break;
    }
    default:
        break;
    }
    return answer;
}
