#include "StoredSeriesTables.h"

#include "CellNumbers.h"
#include "MainTables.h"
#include "MeasurementRows.h"
#include "PairForming.h"
#include "VerificationError.h"
#include "WindowState.h"

#include <map>

int RenderStoredSeries(const StoredSeries& stored, CMainTables& tables,
                       const std::function<bool(uint32_t number)>& standardError)
{
    const bool verification = stored.series.kind == "verification";
    CTextGrid& measurements = verification ? tables.StringGrid3 : tables.StringGrid2;
    ResetMeasurementTable(tables.StringGrid2);
    ResetMeasurementTable(tables.StringGrid3);
    ResetPairsTable(tables.StringGrid4);
    for (const MeterRecord& m : stored.meters) {
        if (m.slot < 0 || m.slot >= kMeterSlots)
            continue;
        const int row = m.slot + 1;
        tables.StringGrid1.SetCell(SP_METER, row, std::to_string(m.number));
        tables.StringGrid1.SetCell(SP_MODEL, row, m.model);
        tables.StringGrid1.SetCell(SP_VERSION, row, m.version);
        tables.StringGrid1.SetCell(SP_DIAMETER, row, m.dn);
        tables.StringGrid2.SetCell(SlotColumn(m.slot), 1, std::to_string(m.number));
        tables.StringGrid3.SetCell(SlotColumn(m.slot), 1, std::to_string(m.number));
    }
    for (const PointRecord& p : stored.points) {
        const int row = measurements.RowCount() - 1;
        const float ge = static_cast<float>(p.ge);
        measurements.SetCell(0, row, CellText("%.6g", verification ? ge : p.ge));
        for (const ReadingRecord& r : p.readings) {
            if (r.slot < 0 || r.slot >= kMeterSlots)
                continue;
            if (verification && r.gv) {
                const float gv = static_cast<float>(*r.gv);
                const bool standard = standardError && standardError(r.number);
                measurements.SetCell(SlotColumn(r.slot), row,
                                     standard ? StandardErrorText(ge, gv) : VerificationErrorText(ge, gv));
            }
            else if (!verification && r.gi)
                measurements.SetCell(SlotColumn(r.slot), row, CellText("%.6E", static_cast<float>(*r.gi)));
        }
        AppendBlankRow(measurements);
    }
    // Pairs by their row in the pairs table; the last group's Ge is written fixed-point.
    std::map<int, std::vector<const PairRecord*>> rows;
    for (const PairRecord& p : stored.pairs)
        rows[p.pairNo].push_back(&p);
    size_t n = 0;
    for (const auto& [pairNo, cells] : rows) {
        const int row = tables.StringGrid4.RowCount() - 1;
        const bool last = ++n == rows.size();
        tables.StringGrid4.SetCell(0, row, CellText(last ? "%.7f" : "%.7g", cells.front()->ge));
        for (const PairRecord* p : cells)
            if (p->gi && p->slot >= 0 && p->slot < kMeterSlots)
                tables.StringGrid4.SetCell(SlotColumn(p->slot), row, CellText("%.6E", *p->gi));
        AppendBlankRow(tables.StringGrid4);
    }
    return verification ? PAGE_VERIFICATION : PAGE_CALIBRATION;
}
