#include "sim/Rig.h"

#include "common/NumberText.h"
#include "sim/SimFrames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

CRig::CRig() { m_flowHistory.push_back({SimClock::now(), 0.0, 0.0}); }

CRig::~CRig() = default;

std::unique_ptr<CRig> CRig::DefaultRig()
{
    auto rig = std::make_unique<CRig>();
    for (const auto& m : DefaultMeters())
        rig->AddMeter(m);
    return rig;
}

CVirtualMeter* CRig::AddMeter(const SimMeterConfig& config)
{
    std::lock_guard bus(m_busLock);
    if (m_meters.size() >= SIM_MAX_METERS || config.number == 0 || config.number > VQ7_MAX_NUMBER
        || config.number == VQ7_BROADCAST_NUMBER)
        return nullptr;
    for (const auto& m : m_meters)
        if (SimAddressOf(m->Number()) == SimAddressOf(config.number))
            return nullptr;
    auto meter = std::make_unique<CVirtualMeter>(config);
    meter->SetFlowSource([this](SimClock::time_point t) { return FlowAt(t); });
    meter->SetIntegrationMs(m_integrationMs);
    meter->SetNoise(m_meterNoise);
    if (!m_stateDir.empty()) {
        LoadMeterState(*meter);
        meter->SetChangeHook([this](const CVirtualMeter& m) { SaveMeterState(m); });
    }
    m_meters.push_back(std::move(meter));
    return m_meters.back().get();
}

CVirtualMeter* CRig::Meter(uint32_t number)
{
    std::lock_guard bus(m_busLock);
    for (const auto& m : m_meters)
        if (m->Number() == number)
            return m.get();
    return nullptr;
}

size_t CRig::MeterCount() const
{
    std::lock_guard bus(m_busLock);
    return m_meters.size();
}

std::vector<uint32_t> CRig::Numbers() const
{
    std::lock_guard bus(m_busLock);
    std::vector<uint32_t> v;
    for (const auto& m : m_meters)
        v.push_back(m->Number());
    return v;
}

void CRig::SetFlow(double m3h)
{
    if (!std::isfinite(m3h))
        return;
    std::lock_guard lock(m_flowLock);
    const auto now = SimClock::now();
    const double from = FlowAtLocked(now);
    m_flow = m3h;
    m_flowHistory.push_back({now, m3h, from});
    // Keep an hour, and always the entry in force at its start.
    const auto cutoff = now - std::chrono::hours(1);
    while (m_flowHistory.size() > 2 && m_flowHistory[1].at < cutoff)
        m_flowHistory.pop_front();
}

void CRig::SetSettleSeconds(double seconds)
{
    std::lock_guard lock(m_flowLock);
    m_settleSeconds = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
}

void CRig::SetHunting(bool on)
{
    std::lock_guard lock(m_flowLock);
    m_hunting = on;
}

bool CRig::Hunting() const
{
    std::lock_guard lock(m_flowLock);
    return m_hunting;
}

double CRig::Flow() const
{
    std::lock_guard lock(m_flowLock);
    return m_flow;
}

double CRig::FlowAt(SimClock::time_point t) const
{
    std::lock_guard lock(m_flowLock);
    return FlowAtLocked(t);
}

double CRig::FlowAtLocked(SimClock::time_point t) const
{
    auto step = m_flowHistory.begin();
    for (auto it = m_flowHistory.rbegin(); it != m_flowHistory.rend(); ++it)
        if (it->at <= t) {
            step = std::prev(it.base());
            break;
        }
    double flow = step->target;
    const double since = std::chrono::duration<double>(t - step->at).count();
    if (m_settleSeconds > 0 && since >= 0)
        flow += (step->from - step->target) * std::exp(-since / m_settleSeconds);
    if (m_hunting)
        flow *= 1.0 + 0.05 * std::sin(2 * M_PI * std::chrono::duration<double>(t.time_since_epoch()).count() / 4.0);
    return flow;
}

void CRig::SetIntegrationMs(unsigned ms)
{
    std::lock_guard bus(m_busLock);
    m_integrationMs = std::clamp(ms, 10u, 3600000u);
    for (auto& m : m_meters)
        m->SetIntegrationMs(m_integrationMs);
}

unsigned CRig::IntegrationMs() const
{
    std::lock_guard bus(m_busLock);
    return m_integrationMs;
}

void CRig::SetNoise(double meterRelative, double rigRelative)
{
    std::lock_guard bus(m_busLock);
    m_meterNoise = std::max(0.0, meterRelative);
    {
        std::lock_guard ref(m_refLock);
        m_rigNoise = std::max(0.0, rigRelative);
    }
    for (auto& m : m_meters)
        m->SetNoise(m_meterNoise);
}

void CRig::SetBaud(unsigned baud)
{
    std::lock_guard bus(m_busLock);
    m_baud = baud;
}

unsigned CRig::Baud() const
{
    std::lock_guard bus(m_busLock);
    return m_baud;
}

unsigned CRig::WireMicros(size_t bytes) const
{
    const unsigned baud = Baud();
    if (baud == 0)
        return 0;
    return static_cast<unsigned>(bytes * 10ULL * 1000000ULL / baud);
}

double CRig::LastReferenceFlow() const
{
    std::lock_guard ref(m_refLock);
    return m_lastReference;
}

unsigned CRig::ReferenceCount() const
{
    std::lock_guard ref(m_refLock);
    return m_referenceCount;
}

void CRig::SetReferenceFile(const std::string& path)
{
    std::lock_guard ref(m_refLock);
    m_referenceFile = path;
}

void CRig::SetReferenceListener(std::function<void(double, unsigned)> listener)
{
    std::lock_guard ref(m_refLock);
    m_referenceListener = std::move(listener);
}

std::vector<uint8_t> CRig::Answer(const std::vector<uint8_t>& request)
{
    return Exchange(request.data(), request.size()).bytes;
}

BusAnswer CRig::Exchange(const uint8_t* request, size_t length)
{
    BusAnswer result;
    if (!request || length != VQ7_CMD_SIZE || !RequestFrameOk(request))
        return result;   // meters ignore what is not a whole frame
    Poll();
    {
        std::lock_guard bus(m_busLock);
        const uint8_t command = request[4];
        const auto before = SimClock::now();
        std::vector<CVirtualMeter*> started;
        if (IsBroadcastAddress(request)) {
            MeterAnswer single;
            for (auto& m : m_meters) {
                single = m->Handle(request, true);
                started.push_back(m.get());
            }
            // A lone meter answers a broadcast (how an unknown number is found).
            if (m_meters.size() == 1 && !single.silent) {
                result.bytes = std::move(single.bytes);
                result.delayMs = single.delayMs;
                result.meter = m_meters[0]->Number();
            }
        } else {
            const uint32_t address = LeU32(request);
            for (auto& m : m_meters) {
                if (SimAddressOf(m->Number()) != address)
                    continue;
                MeterAnswer a = m->Handle(request, false);
                started.push_back(m.get());
                if (!a.silent) {
                    result.bytes = std::move(a.bytes);
                    result.delayMs = a.delayMs;
                    result.meter = m->Number();
                }
                break;
            }
        }
        if (command == VQ7_CMD_START_MEASUREMENT) {
            std::lock_guard ref(m_refLock);
            for (CVirtualMeter* m : started)
                if (!m_refRunning && m->Integrating() && m->IntegrationStart() >= before) {
                    m_refRunning = true;
                    m_refStart = m->IntegrationStart();
                }
        }
    }
    Poll();   // a meter seen finished has its reference line already written
    return result;
}

void CRig::Poll()
{
    std::function<void(double, unsigned)> listener;
    double reference = 0;
    unsigned ms = 0;
    {
        std::lock_guard bus(m_busLock);
        std::lock_guard ref(m_refLock);
        if (!m_refRunning)
            return;
        const auto now = SimClock::now();
        // The first integration of this cycle to end gives the window.
        bool found = false;
        SimClock::time_point start{}, end{};
        for (const auto& m : m_meters) {
            if (!m->Measuring())
                continue;
            const auto s = m->IntegrationStart(), e = m->IntegrationEnd();
            if (s < m_refStart)
                continue;
            if (!found || e < end) {
                start = s;
                end = e;
                found = true;
            }
        }
        if (!found) {
            m_refRunning = false;   // the meters restarted meanwhile
            return;
        }
        if (now < end)
            return;
        m_refRunning = false;
        double sum = 0;
        const int steps = 200;
        const auto span = end - start;
        for (int i = 0; i < steps; ++i)
            sum += FlowAt(start + span * (2 * i + 1) / (2 * steps));
        reference = sum / steps;
        if (m_rigNoise > 0) {
            std::mt19937 rng(m_rigSeed + m_referenceCount * 7919u);
            std::normal_distribution<double> n(0.0, m_rigNoise);
            reference *= 1.0 + n(rng);
        }
        m_lastReference = reference;
        ++m_referenceCount;
        ms = static_cast<unsigned>(std::chrono::duration_cast<std::chrono::milliseconds>(span).count());
        if (!m_referenceFile.empty()) {
            if (FILE* f = std::fopen(m_referenceFile.c_str(), "a")) {
                std::fputs(FormatC("%.6f\n", reference).c_str(), f);
                std::fclose(f);
            } else {
                std::fprintf(stderr, "vq7sim: cannot write the reference file %s\n", m_referenceFile.c_str());
            }
        }
        listener = m_referenceListener;
    }
    if (listener)
        listener(reference, ms);
}

bool CRig::SetStateDir(const std::string& dir, std::string* error)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir)) {
        if (error)
            *error = "cannot create the state folder " + dir + ": " + ec.message();
        return false;
    }
    std::lock_guard bus(m_busLock);
    m_stateDir = dir;
    for (auto& m : m_meters) {
        LoadMeterState(*m);
        m->SetChangeHook([this](const CVirtualMeter& meter) { SaveMeterState(meter); });
    }
    return true;
}

void CRig::SaveMeterState(const CVirtualMeter& meter)
{
    const std::string path = m_stateDir + "/" + FormatC("%u", meter.Number()) + ".state";
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << meter.SaveState();
        if (!out.good()) {
            std::fprintf(stderr, "vq7sim: cannot write %s\n", tmp.c_str());
            return;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec)
        std::fprintf(stderr, "vq7sim: cannot write %s: %s\n", path.c_str(), ec.message().c_str());
}

void CRig::LoadMeterState(CVirtualMeter& meter)
{
    const std::string path = m_stateDir + "/" + FormatC("%u", meter.Number()) + ".state";
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (!meter.LoadState(text.str(), &error))
        std::fprintf(stderr, "vq7sim: %s ignored, %s\n", path.c_str(), error.c_str());
}
