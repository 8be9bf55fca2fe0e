#pragma once
// A test plan: the kind of series, the meters, the flow points with their
// cycles, the verification after a calibration (as left) and whether the pairs
// are written. Kept as JSON:
//   {"kind": "calibration", "meters": ["11000002:65", ...],
//    "points": [{"flow": 10, "cycles": 2}, ...],
//    "verify_after": [{"flow": 10, "cycles": 1}, ...], "write": true}
#include <cstdint>
#include <string>
#include <vector>

struct PlanPoint {
    double flow = 0;        // m3/h
    unsigned cycles = 1;
};

struct PlanMeter {
    uint32_t number = 0;
    std::string dn;         // nominal diameter, may be empty
};

struct TestPlan {
    bool calibration = false;           // else a verification
    std::vector<PlanMeter> meters;
    std::vector<PlanPoint> points;
    std::vector<PlanPoint> verifyAfter;
    bool write = false;
};

// False with the reason (naming the field) for a plan that cannot run.
bool ParseTestPlan(const std::string& json, TestPlan& plan, std::string& why);
bool ReadTestPlan(const std::string& path, TestPlan& plan, std::string& why);
std::string TestPlanJson(const TestPlan& plan);
// Written whole through a temporary file, or not at all.
bool SaveTestPlan(const std::string& path, const TestPlan& plan, std::string& why);

// The plan as a form edits it: meters "11000002:65, 11000004", points
// "20:2, 8:2, 2" (flow:cycles, one cycle when left out). Checked as a file is.
bool PlanFromFields(bool calibration, const std::string& meters, const std::string& points,
                    const std::string& verifyAfter, bool write, TestPlan& plan, std::string& why);
std::string PlanMetersText(const TestPlan& plan);
std::string PlanPointsText(const std::vector<PlanPoint>& points);

// Where a running plan stands: its points in order (calibration, then
// verification after), the point and cycle now running (1-based).
class CPlanProgress {
public:
    CPlanProgress(const TestPlan& plan, double cycleSeconds, double settleSeconds);
    int PointCount() const { return static_cast<int>(m_points.size()); }
    const PlanPoint& Point(int index) const { return m_points[index]; }
    bool IsVerification(int index) const;
    // A cycle done: its length refines the estimate.
    void CycleDone(double seconds);
    double RemainingSeconds(int point, unsigned cycle) const;
    // "точка 3 из 6, цикл 2 из 3, осталось ~12 мин"
    std::string Text(int point, unsigned cycle) const;

private:
    std::vector<PlanPoint> m_points;
    size_t m_calibrationPoints = 0;
    double m_cycleSeconds, m_settleSeconds;
    double m_doneSeconds = 0;
    int m_done = 0;
};
