#include "workstation/TestPlan.h"

#include "common/FlowRule.h"
#include "common/NumberText.h"
#include "common/RegularFile.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace {
constexpr unsigned kMaxCycles = 1000;
constexpr size_t kMaxMeters = 10;
constexpr size_t kMaxPlanBytes = 1 << 20;

bool ParseWhole(const std::string& text, unsigned long long max, unsigned long long& value)
{
    if (text.empty() || text.size() > 12)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= max;
}

bool ReadPoints(const nlohmann::json& doc, const char* key, std::vector<PlanPoint>& out, std::string& why)
{
    if (!doc.contains(key))
        return true;
    const nlohmann::json& list = doc[key];
    if (!list.is_array()) {
        why = std::string("\"") + key + "\" must be a list of points";
        return false;
    }
    for (size_t i = 0; i < list.size(); ++i) {
        const nlohmann::json& p = list[i];
        const std::string where = FormatC("\"%s\"[%zu]", key, i);
        if (!p.is_object() || !p.contains("flow") || !p["flow"].is_number()) {
            why = where + ": needs \"flow\" (m3/h)";
            return false;
        }
        PlanPoint point;
        point.flow = p["flow"].get<double>();
        if (!IsRigFlow(point.flow)) {
            why = where + FormatC(": flow %g is no flow of a rig (", point.flow) + RigFlowProblem(point.flow) + ")";
            return false;
        }
        if (p.contains("cycles")) {
            if (!p["cycles"].is_number_integer() || p["cycles"].get<long long>() < 1 ||
                p["cycles"].get<long long>() > kMaxCycles) {
                why = where + FormatC(": \"cycles\" takes 1..%u", kMaxCycles);
                return false;
            }
            point.cycles = p["cycles"].get<unsigned>();
        }
        out.push_back(point);
    }
    return true;
}
}

bool ParseTestPlan(const std::string& json, TestPlan& plan, std::string& why)
{
    plan = TestPlan{};
    const nlohmann::json doc = nlohmann::json::parse(json, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        why = "not a JSON object";
        return false;
    }
    const std::string kind = doc.value("kind", nlohmann::json()).is_string() ? doc["kind"].get<std::string>() : "";
    if (kind != "calibration" && kind != "verification") {
        why = "\"kind\" must be \"calibration\" or \"verification\"";
        return false;
    }
    plan.calibration = kind == "calibration";
    if (!doc.contains("meters") || !doc["meters"].is_array() || doc["meters"].empty() ||
        doc["meters"].size() > kMaxMeters) {
        why = FormatC("\"meters\" must list 1 to %zu meters as \"NUMBER\" or \"NUMBER:DN\"", kMaxMeters);
        return false;
    }
    for (const nlohmann::json& m : doc["meters"]) {
        const std::string text = m.is_string() ? m.get<std::string>() : m.is_number_unsigned() ? m.dump() : "";
        const auto colon = text.find(':');
        unsigned long long number = 0, dn = 0;
        PlanMeter meter;
        if (!ParseWhole(text.substr(0, colon), 99999999, number) || number == 0 ||
            (colon != std::string::npos && !ParseWhole(text.substr(colon + 1), 999, dn))) {
            why = "\"meters\": not NUMBER or NUMBER:DN (DN 0..999): " + m.dump();
            return false;
        }
        meter.number = static_cast<uint32_t>(number);
        if (colon != std::string::npos)
            meter.dn = text.substr(colon + 1);
        for (const PlanMeter& other : plan.meters)
            if (other.number == meter.number) {
                why = FormatC("\"meters\": meter %u given twice", meter.number);
                return false;
            }
        plan.meters.push_back(meter);
    }
    if (!ReadPoints(doc, "points", plan.points, why) || !ReadPoints(doc, "verify_after", plan.verifyAfter, why))
        return false;
    if (plan.points.empty()) {
        why = "\"points\" must hold at least one point";
        return false;
    }
    if (!plan.calibration && !plan.verifyAfter.empty()) {
        why = "\"verify_after\" belongs to a calibration plan";
        return false;
    }
    if (doc.contains("write")) {
        if (!doc["write"].is_boolean()) {
            why = "\"write\" must be true or false";
            return false;
        }
        plan.write = doc["write"].get<bool>();
    }
    return true;
}

bool ReadTestPlan(const std::string& path, TestPlan& plan, std::string& why)
{
    std::string text, problem;
    if (!ReadRegularFile(path, text, problem, kMaxPlanBytes)) {
        why = path + ": " + (problem.empty() ? "no such file" : problem);
        return false;
    }
    if (!ParseTestPlan(text, plan, why)) {
        why = path + ": " + why;
        return false;
    }
    return true;
}

std::string TestPlanJson(const TestPlan& plan)
{
    nlohmann::json doc;
    doc["kind"] = plan.calibration ? "calibration" : "verification";
    doc["meters"] = nlohmann::json::array();
    for (const PlanMeter& m : plan.meters)
        doc["meters"].push_back(std::to_string(m.number) + (m.dn.empty() ? "" : ":" + m.dn));
    auto points = [](const std::vector<PlanPoint>& list) {
        nlohmann::json a = nlohmann::json::array();
        for (const PlanPoint& p : list)
            a.push_back({{"flow", p.flow}, {"cycles", p.cycles}});
        return a;
    };
    doc["points"] = points(plan.points);
    if (plan.calibration)
        doc["verify_after"] = points(plan.verifyAfter);
    doc["write"] = plan.write;
    return doc.dump(2) + "\n";
}

bool SaveTestPlan(const std::string& path, const TestPlan& plan, std::string& why)
{
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << TestPlanJson(plan);
        out.flush();
        if (!out.good()) {
            why = tmp + ": " + std::strerror(errno);
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        why = path + ": " + std::strerror(errno);
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

namespace {
std::vector<std::string> Items(const std::string& text)
{
    std::vector<std::string> items;
    std::string item;
    for (char c : text + ",") {
        if (c == ',' || c == ';') {
            const size_t b = item.find_first_not_of(" \t"), e = item.find_last_not_of(" \t");
            if (b != std::string::npos)
                items.push_back(item.substr(b, e - b + 1));
            item.clear();
        } else {
            item += c;
        }
    }
    return items;
}

// "20:2" as a point object; what is no number stays text, for the plan's check to name.
nlohmann::json PointOf(const std::string& item)
{
    const auto colon = item.find(':');
    auto value = [](const std::string& t) -> nlohmann::json {
        double v = 0;
        if (ParseFloatPoint(t, v) && std::isfinite(v)) {
            if (t.find_first_of(".eE") == std::string::npos && std::fabs(v) < 1e9)
                return static_cast<long long>(v);
            return v;
        }
        return t;
    };
    nlohmann::json p{{"flow", value(item.substr(0, colon))}};
    if (colon != std::string::npos)
        p["cycles"] = value(item.substr(colon + 1));
    return p;
}
}

bool PlanFromFields(bool calibration, const std::string& meters, const std::string& points,
                    const std::string& verifyAfter, bool write, TestPlan& plan, std::string& why)
{
    nlohmann::json doc;
    doc["kind"] = calibration ? "calibration" : "verification";
    doc["meters"] = Items(meters);
    doc["points"] = nlohmann::json::array();
    for (const std::string& item : Items(points))
        doc["points"].push_back(PointOf(item));
    if (calibration) {
        doc["verify_after"] = nlohmann::json::array();
        for (const std::string& item : Items(verifyAfter))
            doc["verify_after"].push_back(PointOf(item));
    }
    doc["write"] = write;
    return ParseTestPlan(doc.dump(), plan, why);
}

std::string PlanMetersText(const TestPlan& plan)
{
    std::string text;
    for (const PlanMeter& m : plan.meters)
        text += (text.empty() ? "" : ", ") + std::to_string(m.number) + (m.dn.empty() ? "" : ":" + m.dn);
    return text;
}

std::string PlanPointsText(const std::vector<PlanPoint>& points)
{
    std::string text;
    for (const PlanPoint& p : points)
        text += (text.empty() ? "" : ", ") + FormatC("%g:%u", p.flow, p.cycles);
    return text;
}

CPlanProgress::CPlanProgress(const TestPlan& plan, double cycleSeconds, double settleSeconds)
    : m_points(plan.points), m_calibrationPoints(plan.calibration ? plan.points.size() : 0),
      m_cycleSeconds(cycleSeconds), m_settleSeconds(settleSeconds)
{
    m_points.insert(m_points.end(), plan.verifyAfter.begin(), plan.verifyAfter.end());
}

bool CPlanProgress::IsVerification(int index) const
{
    return static_cast<size_t>(index) >= m_calibrationPoints;
}

void CPlanProgress::CycleDone(double seconds)
{
    if (!(seconds > 0) || !std::isfinite(seconds))
        return;
    m_doneSeconds += seconds;
    ++m_done;
}

double CPlanProgress::RemainingSeconds(int point, unsigned cycle) const
{
    const double perCycle = m_done > 0 ? m_doneSeconds / m_done : m_cycleSeconds;
    double cycles = 0;
    int settles = 0;
    for (int i = point - 1; i < PointCount(); ++i) {
        if (i < 0)
            continue;
        const unsigned n = m_points[static_cast<size_t>(i)].cycles;
        cycles += i == point - 1 ? (n >= cycle ? n - cycle + 1 : 0) : n;
        settles += i == point - 1 ? 0 : 1;
    }
    return cycles * perCycle + settles * m_settleSeconds;
}

std::string CPlanProgress::Text(int point, unsigned cycle) const
{
    const unsigned cycles = point >= 1 && point <= PointCount() ? m_points[static_cast<size_t>(point - 1)].cycles : 0;
    const double minutes = RemainingSeconds(point, cycle) / 60.0;
    return FormatC("точка %d из %d, цикл %u из %u, осталось ~%.0f мин", point, PointCount(), cycle, cycles,
                   std::max(1.0, std::ceil(minutes)));
}
