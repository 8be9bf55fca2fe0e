// calibrate and verify: a whole series through the main window's logic.
#include "Commands.h"

#include "GeSource.h"
#include "workstation/PlanRunner.h"
#include "workstation/RigSession.h"
#include "workstation/TestPlan.h"
#include "common/FlowRule.h"
#include "PollReport.h"
#include "ReportOutput.h"
#include "ResultsOutput.h"
#include "report/ResultsCsv.h"
#include "workstation/PointVerdicts.h"
#include "common/AppPaths.h"
#include "common/NumberText.h"
#include "measurement/CSystem.h"
#include "results/ResultsRecorder.h"
#include "workstation/PairForming.h"
#include "workstation/SeriesRunner.h"
#include "workstation/Workstation.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {
struct MeterArg {
    uint32_t number = 0;
    std::string dn;
};

struct SeriesArgs {
    std::vector<MeterArg> meters;
    std::vector<PlanPoint> points;
    unsigned cycles = 1;
    std::string geFile;
    std::string setFlow;
    std::string dir = ".";
    bool restoreModels = false;
};

std::vector<std::string> SplitList(const std::string& text)
{
    std::vector<std::string> items;
    std::stringstream ss(text);
    for (std::string item; std::getline(ss, item, ',');)
        items.push_back(item);
    return items;
}

// --meters N[:DN],... --points G1,G2,... [--cycles K] [--ge-file PATH] [--set-flow CMD] [--dir DIR]
int ParseSeriesArgs(CtlContext& ctx, const CtlArgs& args, const char* name, SeriesArgs& out)
{
    if (!args.positional.empty())
        return ctx.Usage(std::string(name) + ": unexpected argument " + args.positional[0]);
    if (!args.Has("meters") || !args.Has("points"))
        return ctx.Usage(std::string(name) + ": --meters and --points are required");
    for (const std::string& item : SplitList(args.Get("meters"))) {
        MeterArg m;
        const auto colon = item.find(':');
        if (!ArgMeterNumber(ctx, item.substr(0, colon), m.number))
            return EXIT_USAGE;
        if (colon != std::string::npos) {
            unsigned long long dn = 0;
            m.dn = item.substr(colon + 1);
            if (!ParseUnsigned(m.dn, 999, dn))
                return ctx.Usage(std::string(name) + ": nominal diameter is not 0..999: " + m.dn);
        }
        for (const MeterArg& other : out.meters)
            if (other.number == m.number)
                return ctx.Usage(FormatC("%s: meter %u given twice", name, m.number));
        out.meters.push_back(m);
    }
    if (out.meters.empty() || out.meters.size() > METER_SLOTS)
        return ctx.Usage(FormatC("%s: give 1 to %d meters", name, METER_SLOTS));
    if (args.Has("cycles")) {
        unsigned long long k = 0;
        if (!ParseUnsigned(args.Get("cycles"), 1000, k) || k == 0)
            return ctx.Usage(std::string(name) + ": --cycles takes 1..1000");
        out.cycles = static_cast<unsigned>(k);
    }
    for (const std::string& item : SplitList(args.Get("points"))) {
        double g = 0;
        if (!ParseGe(item, g))
            return ctx.Usage(std::string(name) + ": flow point is not a number: " + item);
        if (!IsRigFlow(g))
            return ctx.Usage(std::string(name) + ": flow point " + item + " is no flow of a rig (" + RigFlowProblem(g) +
                             ")");
        out.points.push_back({g, out.cycles});
    }
    if (out.points.empty())
        return ctx.Usage(std::string(name) + ": --points needs at least one flow");
    out.geFile = args.Get("ge-file");
    out.setFlow = args.Get("set-flow");
    out.dir = args.Get("dir", DataDir());
    out.restoreModels = args.Has("restore-models");
    return EXIT_OK;
}

// The rig is brought to the flow point: by the given command, by the
// operator at the terminal, or (neither) it is taken as set.
bool SetRigFlow(const SeriesArgs& a, double flow)
{
    if (!IsRigFlow(flow)) {   // the rig never gets a flow the station would refuse
        std::fprintf(stderr, "vq7ctl: %g m3/h is no flow of a rig (%s)\n", flow, RigFlowProblem(flow).c_str());
        return false;
    }
    if (!a.setFlow.empty()) {
        const std::string cmd = a.setFlow + " " + FormatC("%g", flow);
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "vq7ctl: the flow command failed: %s\n", cmd.c_str());
            return false;
        }
        return true;
    }
    if (isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "Установите расход %g м3/ч и нажмите Enter: ", flow);
        std::fflush(stderr);
        char line[256];
        return std::fgets(line, sizeof line, stdin) != nullptr;
    }
    return true;
}

size_t TextWidth(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

// The grid as aligned text, only the columns that hold something.
CtlJson PrintGrid(CtlContext& ctx, const char* title, const CTextGrid& grid)
{
    std::vector<int> cols;
    std::vector<size_t> widths;
    for (int c = 0; c < grid.ColCount(); ++c) {
        size_t w = 0;
        bool used = false;
        for (int r = 0; r < grid.RowCount(); ++r) {
            w = std::max(w, TextWidth(grid.Cell(c, r)));
            used = used || (r > 0 && !grid.Cell(c, r).empty());
        }
        if (c == 0 || used) {
            cols.push_back(c);
            widths.push_back(std::max<size_t>(w, 1));
        }
    }
    ctx.Print(title);
    CtlJson json = CtlJson::array();
    for (int r = 0; r < grid.RowCount(); ++r) {
        std::string line;
        bool any = false;
        CtlJson& row = json.emplace_back(CtlJson::array());
        for (size_t i = 0; i < cols.size(); ++i) {
            const std::string& cell = grid.Cell(cols[i], r);
            any = any || !cell.empty();
            row.push_back(cell);
            line += (i ? "  " : "") + std::string(widths[i] - TextWidth(cell), ' ') + cell;
        }
        if (any)
            ctx.Print(line);
    }
    ctx.Print("");
    return json;
}

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

// Ctrl-C, a hang-up or a kill during a series only sets a flag, so the series
// ends properly and every meter gets its own model back; a second signal acts
// as usual. Threads started while the guard is blocking (the engine's worker)
// never take these signals, so their exchanges are not cut short.
class CInterruptGuard {
public:
    CInterruptGuard()
    {
        g_interrupted = 0;
        struct sigaction sa {};
        sa.sa_handler = OnInterrupt;
        sa.sa_flags = SA_RESETHAND;
        sigemptyset(&sa.sa_mask);
        sigset_t set;
        sigemptyset(&set);
        for (size_t i = 0; i < kCount; ++i) {
            sigaction(kSignals[i], &sa, &m_old[i]);
            sigaddset(&set, kSignals[i]);
        }
        pthread_sigmask(SIG_BLOCK, &set, &m_oldMask);
    }
    // Lets this thread take the signals again.
    void Unblock() { pthread_sigmask(SIG_SETMASK, &m_oldMask, nullptr); }
    ~CInterruptGuard()
    {
        Unblock();
        for (size_t i = 0; i < kCount; ++i)
            sigaction(kSignals[i], &m_old[i], nullptr);
    }
    CInterruptGuard(const CInterruptGuard&) = delete;
    CInterruptGuard& operator=(const CInterruptGuard&) = delete;

    static bool Interrupted() { return g_interrupted != 0; }

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    static constexpr size_t kCount = sizeof kSignals / sizeof kSignals[0];
    struct sigaction m_old[kCount] {};
    sigset_t m_oldMask{};
};

class CSeries {
public:
    CSeries(CtlContext& ctx, const SeriesArgs& a) : m_ctx(ctx), m_args(a), m_system(&ctx.conn), m_ws(ctx.conn, m_system)
    {
        m_interrupt.Unblock();
        m_ws.Folders.SetBaseDir(a.dir);
        m_runner.m_nCycleTimeoutMs = 600000;
        m_runner.stopRequested = &CInterruptGuard::Interrupted;
        m_runner.onTick = [this] { m_report.Update(); };
        m_plan.cancelled = &CInterruptGuard::Interrupted;
        m_plan.bringFlow = [this](double flow) { return SetRigFlow(m_args, flow); };
        m_plan.manualPrompt = [this] {
            return m_args.geFile.empty() ? GeFromTerminal(stdin) : GeFromFile(m_args.geFile);
        };
        auto print = [this](const std::string& line) {
            if (!m_ctx.Json())
                std::fprintf(stderr, "%s\n", line.c_str());
        };
        m_plan.onProgress = print;
        m_plan.onEvent = [print](const PlanEvent& e) { print(PlanEventText(e)); };
    }
    ~CSeries()
    {
        m_system.SetReferenceFlowPrompt({});
        m_system.SetCycleHooks({});
        if (m_ws.State.ModelSet)
            m_ws.Series.ButtonStopClick();
        ReportStored();
    }

    // Where the series' records are: the store, or the spool waiting for it.
    void ReportStored()
    {
        CResultsRecorder* r = m_ws.Results.Recorder();
        if (!r || r->Series().uid.empty())
            return;
        ShowRecorderMessage(*r);
        if (r->SeriesStored()) {
            m_ctx.doc["series_id"] = r->StoredSeriesId();
            m_ctx.Print(FormatC("results: series %lld in ", r->StoredSeriesId()) + r->Location().shown);
        } else if (const std::string status = r->StatusText(); !status.empty()) {
            std::fprintf(stderr, "vq7ctl: %s\n", status.c_str());
        }
    }

    // A series that stopped early is recorded as cancelled or failed.
    void NoteOutcome(int rc)
    {
        if (rc != EXIT_OK)
            m_ws.Results.SetEndState(CInterruptGuard::Interrupted() ? SeriesState::Cancelled : SeriesState::Failed);
    }

    // config.ini [RIG]: the reference and the drive over Modbus, before any meter is touched.
    int OpenRig()
    {
        const std::string config = m_ctx.opts.configFile.empty() ? DataDir() + "/config.ini" : m_ctx.opts.configFile;
        std::string why;
        if (!m_rig.Load(config, why))
            return m_ctx.Fail("the rig: " + why + " (config.ini [RIG] reference=manual types Ge by hand)");
        if (m_rig.Active()) {
            m_system.SetCycleHooks(m_rig.Reference().Hooks());
            m_ws.Reference.geSource = m_rig.Reference().SourceText();
            m_ws.Results.SetWaterSource([this] {
                return CSeriesResults::Water{m_rig.Reference().WaterTemperature(), m_rig.Reference().WaterPressure()};
            });
            m_ctx.Print("rig: " + m_rig.Reference().SourceText() + (m_rig.HasDrive() ? ", flow set by the drive" : ""));
        }
        return EXIT_OK;
    }

    int ApplyList()
    {
        if (const int rc = OpenRig())
            return rc;
        // The results store is tried before any meter is touched.
        CResultsRecorder* recorder = CtlRecorder(m_ctx);
        if (!recorder)
            return EXIT_USAGE;
        m_ws.Results.SetRecorder(recorder);
        if (!recorder->Connect())
            ShowRecorderMessage(*recorder);
        for (size_t i = 0; i < m_args.meters.size(); ++i) {
            const int row = static_cast<int>(i) + 1;
            m_ws.MeterList.StringGrid1GetEditText(SP_METER, row);
            m_ws.MeterList.StringGrid1SetEditText(SP_METER, row, std::to_string(m_args.meters[i].number));
            m_ws.MeterList.StringGrid1GetEditText(SP_DIAMETER, row);
            m_ws.MeterList.StringGrid1SetEditText(SP_DIAMETER, row, m_args.meters[i].dn);
        }
        const int result = m_ws.MeterList.ButtonUpdateInfoClick();
        if (result != 0)
            return m_ctx.Fail("the meter list", result);
        if (const int rc = RestoreKeptModels())
            return rc;
        for (size_t i = 0; i < m_args.meters.size(); ++i) {
            const int row = static_cast<int>(i) + 1;
            const std::string& model = m_ws.Tables.StringGrid1.Cell(SP_MODEL, row);
            m_ctx.Print(FormatC("%2d  %9u  ", row, m_args.meters[i].number) + model +
                        std::string(TextWidth(model) < 26 ? 26 - TextWidth(model) : 1, ' ') +
                        m_ws.Tables.StringGrid1.Cell(SP_VERSION, row));
        }
        m_ctx.Print("");
        return EXIT_OK;
    }

    // Meters left on the base model by a series that never ended: their kept
    // model is written back with --restore-models, else the series does not start.
    int RestoreKeptModels()
    {
        const auto toRestore = m_ws.State.ModelsToRestore;
        for (const auto& k : toRestore) {
            if (!m_args.restoreModels) {
                std::fprintf(stderr,
                             "vq7ctl: meter %u holds the base model 0, its own model kept in %s is %d; "
                             "run again with --restore-models to write it back\n",
                             k.Number, m_ws.Folders.ModelFile(k.Number).c_str(), k.KeptValue);
                continue;
            }
            if (const int result = m_ws.MeterList.RestoreKeptModel(k.Slot))
                return m_ctx.Fail(FormatC("restoring the model of meter %u", k.Number), result);
            std::fprintf(stderr, "meter %u: own model %d written back\n", k.Number, k.KeptValue);
        }
        if (!m_ws.State.ModelsToRestore.empty())
            return m_ctx.Fail("meters hold the base model where their own model is kept");
        return EXIT_OK;
    }

    // Every point, its cycles each, on the given tab; progress names the plan's place.
    int Measure(int page, const std::vector<PlanPoint>& points, CPlanProgress* progress = nullptr, int first = 0)
    {
        const PlanStep step = m_plan.MeasurePoints(page, points, progress, first);
        if (step.ok)
            return EXIT_OK;
        if (const int rc = Interrupted())
            return rc;
        return step.result != 0 ? m_ctx.Fail(step.why, step.result) : m_ctx.Fail(step.why);
    }

    // After an interruption: the failure, with the series ended on return.
    int Interrupted()
    {
        if (!CInterruptGuard::Interrupted())
            return EXIT_OK;
        return m_ctx.Fail("interrupted; the series is ended and the meters get their own model back");
    }

    CtlContext& m_ctx;
    const SeriesArgs& m_args;
    CInterruptGuard m_interrupt;   // before the engine, whose worker must not take the signals
    CSystem m_system;
    CWorkstation m_ws;
    CRigSession m_rig;
    CSeriesRunner m_runner{m_ws, m_system};
    CPlanRunner m_plan{m_ws, m_system, m_runner, m_rig};
    CPollReport m_report{m_system};
};
}

namespace {
// The verdicts by profile: each meter's points with error, U, limit and verdict.
void PrintJudgement(CtlContext& ctx, const std::vector<MeterJudgement>& meters)
{
    ctx.Print("Поверка по точкам");
    CtlJson list = CtlJson::array();
    for (const MeterJudgement& m : meters) {
        const std::string profile = m.profileError.empty() ? StandardTitle(m.profile) : m.profileError;
        ctx.Print(FormatC("%u  ", m.number) + profile + "; правило: " + RuleTitle(m.profile.rule));
        CtlJson points = CtlJson::array();
        for (const PointJudgement& p : m.points) {
            const std::string limit = p.decision.limit.judged ? FormatC("%.3f", p.decision.acceptanceLimit) : "-";
            const char* verdict = m.profileError.empty() ? PointVerdictText(p.decision.verdict) : "";
            ctx.Print(FormatC("  q = %-9.6g e = %8.3f  U = %s%.3f  предел %s  ", p.flow, p.error,
                              p.u.complete ? "" : ">=", p.u.expanded, limit.c_str()) +
                      verdict + (p.decision.uncertaintyTooLarge ? "  (U велика для предела)" : "") +
                      (p.u.repeatabilityEvaluated ? "" : "  (повторяемость не оценена: один цикл)"));
            points.push_back(CtlJson{{"flow", p.flow},
                                     {"error", p.error},
                                     {"u", p.u.expanded},
                                     {"uComplete", p.u.complete},
                                     {"cycles", p.u.cycles},
                                     {"repeatabilityEvaluated", p.u.repeatabilityEvaluated},
                                     {"judged", p.decision.limit.judged},
                                     {"limit", p.decision.limit.mpe},
                                     {"acceptanceLimit", p.decision.acceptanceLimit},
                                     {"uncertaintyTooLarge", p.decision.uncertaintyTooLarge},
                                     {"verdict", verdict}});
        }
        for (const std::string& f : m.missingFlows)
            ctx.Print("  не измерен расход " + f);
        ctx.Print("  заключение: " + m.VerdictText());
        list.push_back(CtlJson{{"number", m.number},
                               {"section", m.section},
                               {"standard", StandardKey(m.profile.standard)},
                               {"profile", profile},
                               {"rule", RuleKey(m.profile.rule)},
                               {"ruleText", RuleTitle(m.profile.rule)},
                               {"points", points},
                               {"missingFlows", m.missingFlows},
                               {"verdict", m.VerdictText()}});
    }
    ctx.Print("");
    ctx.doc["judgement"] = list;
}
}

namespace {
// The profiles of the verification; false (after the messages) when one is refused.
bool LoadProfiles(CtlContext& ctx, CtlArgs& args, CSeries& s, const ReportArgs& report, const char* name)
{
    s.m_ws.Results.tolerance = report.tolerance;
    // No meter is judged against a profile half read: a refused one stops the series before it starts.
    const std::string config = ctx.opts.configFile.empty() ? DataDir() + "/config.ini" : ctx.opts.configFile;
    const std::vector<std::string> refused = s.m_ws.LoadJudgement(
        args.Get("profiles", DataDir() + "/" + kProfilesFileName), config, report.tolerance);
    if (refused.empty())
        return true;
    for (size_t i = 1; i < refused.size(); ++i)
        std::fprintf(stderr, "vq7ctl: %s\n", refused[i].c_str());
    ctx.Fail(std::string(name) + ": " + refused[0]);
    return false;
}

// The verification's tables, verdicts and reports, also of a series that stopped early.
int VerificationOutput(CtlContext& ctx, CSeries& s, const ReportArgs& report, int rc)
{
    s.NoteOutcome(rc);
    ctx.doc["verification"] = PrintGrid(ctx, "Поверка: погрешность, %", s.m_ws.Tables.StringGrid3);
    const std::vector<MeterJudgement> judged = s.m_ws.JudgeVerification();
    PrintJudgement(ctx, judged);
    const CsvJudgement csvJudgement{judged, s.m_ws.Reference};
    const int reported = WriteReports(ctx, report, s.m_ws.Tables, PAGE_VERIFICATION, &csvJudgement);
    if (rc != EXIT_OK)
        return rc;
    s.m_ws.Series.ButtonStopClick();
    return reported;
}

// After the calibration's cycles: pairs formed, saved under Log/ and, with write, written.
int CalibrationOutput(CtlContext& ctx, CSeries& s, const SeriesArgs& a, const ReportArgs& report, int measured,
                      bool reverse, bool write)
{
    s.NoteOutcome(measured);
    if (measured == EXIT_OK && reverse)
        s.m_ws.ResultTables.InvertGiGeButtonClick();
    const bool formed = measured == EXIT_OK && s.m_ws.Pairs.CreateGiGeClick();
    // The measurements are shown also when the series stops early or forms no pairs.
    ctx.doc["measurements"] = PrintGrid(ctx, "Градуировка: измерения", s.m_ws.Tables.StringGrid2);
    const int reported = WriteReports(ctx, report, s.m_ws.Tables, PAGE_CALIBRATION);
    if (measured != EXIT_OK)
        return measured;
    if (!formed)
        return ctx.Fail("calibrate: pairs need at least two measurements");
    ctx.doc["pairs"] = PrintGrid(ctx, "Градуировочные пары", s.m_ws.Tables.StringGrid4);
    const int pairCount = PairRowCount(s.m_ws.Tables.StringGrid4);
    ctx.doc["pairCount"] = pairCount;
    if (pairCount < 2) {
        ctx.doc["written"] = false;
        return ctx.Fail(FormatC("calibrate: %d pair formed, a characteristic needs at least 2; nothing saved or "
                                "written (give flow points more than 5 %% apart)",
                                pairCount));
    }
    const int files = s.m_ws.Pairs.SaveGiGeToFileClick();
    ctx.doc["files"] = files;
    ctx.Print(FormatC("%d files under %s/Log", files, a.dir.c_str()));
    int rc = EXIT_OK;
    const bool filesWritten = files == static_cast<int>(a.meters.size());
    if (!filesWritten)
        rc = ctx.Fail(FormatC("calibrate: %d of %zu Log files written", files, a.meters.size()));
    if (write && !filesWritten) {
        ctx.doc["written"] = false;
        rc = ctx.Fail("calibrate: the Log files failed; nothing written into the meters");
    } else if (write) {
        const int result = s.m_ws.Pairs.SaveGiGeToDeviceClick();
        ctx.doc["written"] = result == 0;
        if (result != 0)
            rc = ctx.Fail("calibrate: writing into the meters", result);
        else
            ctx.Print("pairs and setting parameters written into the meters");
        for (uint32_t n : s.m_ws.State.ParamsNotWritten)
            std::fprintf(stderr, "vq7ctl: meter %u: setting parameters not written\n", n);
        for (const auto& w : s.m_ws.State.IncompleteWrites) {
            std::fprintf(stderr,
                         "vq7ctl: meter %u now holds an incomplete characteristic (%d of %d pairs written); "
                         "restore it with: vq7ctl restore %u --dir %s\n",
                         w.Number, w.PairsWritten, w.PairsTotal, w.Number, s.m_ws.Folders.BackupDir().c_str());
            rc = EXIT_INCOMPLETE;
        }
    }
    s.m_ws.Series.ButtonStopClick();
    return rc != EXIT_OK ? rc : reported;
}
}

int CmdVerify(CtlContext& ctx, CtlArgs& args)
{
    SeriesArgs a;
    ReportArgs report;
    if (const int rc = ParseSeriesArgs(ctx, args, "verify", a))
        return rc;
    if (const int rc = ParseReportArgs(ctx, args, "verify", report))
        return rc;
    CSeries s(ctx, a);
    if (!LoadProfiles(ctx, args, s, report, "verify"))
        return EXIT_FAILED;
    if (const int rc = s.ApplyList())
        return rc;
    return VerificationOutput(ctx, s, report, s.Measure(PAGE_VERIFICATION, a.points));
}

int CmdCalibrate(CtlContext& ctx, CtlArgs& args)
{
    SeriesArgs a;
    ReportArgs report;
    if (const int rc = ParseSeriesArgs(ctx, args, "calibrate", a))
        return rc;
    if (const int rc = ParseReportArgs(ctx, args, "calibrate", report))
        return rc;
    CSeries s(ctx, a);
    if (const int rc = s.ApplyList())
        return rc;
    const int measured = s.Measure(PAGE_CALIBRATION, a.points);
    return CalibrationOutput(ctx, s, a, report, measured, args.Has("reverse"), args.Has("write"));
}

int CmdPlanRun(CtlContext& ctx, CtlArgs& args)
{
    if (args.positional.size() != 1)
        return ctx.Usage("plan run: give the plan file");
    TestPlan plan;
    std::string why;
    if (!ReadTestPlan(args.positional[0], plan, why))
        return ctx.Fail("plan run: " + why);
    ReportArgs report;
    if (const int rc = ParseReportArgs(ctx, args, "plan run", report))
        return rc;
    SeriesArgs a;
    for (const PlanMeter& m : plan.meters)
        a.meters.push_back({m.number, m.dn});
    a.points = plan.points;
    a.dir = args.Get("dir", DataDir());
    a.restoreModels = args.Has("restore-models");
    CSeries s(ctx, a);
    if (!plan.calibration || !plan.verifyAfter.empty())
        if (!LoadProfiles(ctx, args, s, report, "plan run"))
            return EXIT_FAILED;
    if (const int rc = s.ApplyList())
        return rc;
    const double settle = s.m_rig.HasDrive() ? s.m_rig.Instruments().Config().settleSeconds : 0;
    CPlanProgress progress(plan, 10.0, settle);
    int rc = EXIT_OK;
    if (!plan.calibration) {
        rc = VerificationOutput(ctx, s, report, s.Measure(PAGE_VERIFICATION, plan.points, &progress));
    } else {
        ReportArgs calibrationReport = report;
        if (!plan.verifyAfter.empty())   // the protocol is the verification's
            calibrationReport.report.clear(), calibrationReport.csv.clear();
        const int measured = s.Measure(PAGE_CALIBRATION, plan.points, &progress);
        rc = CalibrationOutput(ctx, s, a, calibrationReport, measured, false, plan.write || args.Has("write"));
        if (rc == EXIT_OK && !plan.verifyAfter.empty())
            rc = VerificationOutput(ctx, s, report,
                                    s.Measure(PAGE_VERIFICATION, plan.verifyAfter, &progress,
                                              static_cast<int>(plan.points.size())));
    }
    if (s.m_rig.HasDrive() && !s.m_rig.Instruments().StopFlow(why))
        std::fprintf(stderr, "vq7ctl: %s\n", why.c_str());
    return rc;
}

int CmdPlanCheck(CtlContext& ctx, CtlArgs& args)
{
    if (args.positional.size() != 1)
        return ctx.Usage("plan check: give the plan file");
    TestPlan plan;
    std::string why;
    if (!ReadTestPlan(args.positional[0], plan, why))
        return ctx.Fail("plan check: " + why);
    CPlanProgress progress(plan, 10.0, 0);
    unsigned cycles = 0;
    for (int i = 0; i < progress.PointCount(); ++i)
        cycles += progress.Point(i).cycles;
    ctx.doc["points"] = progress.PointCount();
    ctx.doc["cycles"] = cycles;
    ctx.Print(FormatC("%s: %s, %zu meters, %d points, %u cycles%s", args.positional[0].c_str(),
                      plan.calibration ? "calibration" : "verification", plan.meters.size(), progress.PointCount(),
                      cycles, plan.write ? ", pairs written" : ""));
    return EXIT_OK;
}
