#include "MeterCertificates.h"

#include "workstation/MainTables.h"
#include "workstation/PointVerdicts.h"

#include <filesystem>

namespace fs = std::filesystem;

std::string PerMeterPath(const std::string& path, uint32_t number)
{
    const fs::path p(path);
    const std::string ext = p.has_extension() ? p.extension().string() : std::string(".docx");
    return (p.parent_path() / (p.stem().string() + "-" + std::to_string(number) + ext)).string();
}

CMainTables TablesOfMeter(const CMainTables& tables, int slot)
{
    CMainTables one = tables;
    CTextGrid& points = one.StringGrid1;
    const int row = slot + 1;
    for (int c = 1; c < points.ColCount(); ++c)
        points.SetCell(c, 1, tables.StringGrid1.Cell(c, row));
    for (int r = 2; r < points.RowCount(); ++r)
        points.ClearRow(r, 1);
    CTextGrid& errors = one.StringGrid3;
    for (int r = 1; r < errors.RowCount(); ++r) {
        errors.SetCell(1, r, tables.StringGrid3.Cell(slot + 1, r));
        errors.ClearRow(r, 2);
    }
    return one;
}

std::vector<MeterCertificateFile> WriteMeterCertificates(const CMainTables& tables, const CertificateContent& content,
                                                         const std::string& templatePath, const std::string& outPath,
                                                         const std::string& dateTime)
{
    std::vector<MeterCertificateFile> files;
    try {
        for (const MeterJudgement& m : content.meters) {
            MeterCertificateFile f;
            f.number = m.number;
            f.path = PerMeterPath(outPath, m.number);
            f.certificate = content.number + "-" + std::to_string(m.number);
            const std::vector<MeterJudgement> alone{m};
            std::vector<MeterJudgement> found;
            for (const MeterJudgement& a : content.asFound ? *content.asFound : std::vector<MeterJudgement>{})
                if (a.number == m.number)
                    found.push_back(a);
            CertificateContent own{f.certificate, alone, content.reference};
            own.asFound = found.empty() ? nullptr : &found;
            own.asFoundSeries = content.asFoundSeries;
            own.asLeftSeries = content.asLeftSeries;
            f.warnings = WriteVerificationCertificate(TablesOfMeter(tables, m.slot), own, templatePath, f.path, dateTime);
            files.push_back(std::move(f));
        }
    } catch (...) {
        std::error_code ec;
        for (const MeterCertificateFile& f : files)
            fs::remove(f.path, ec);
        throw;
    }
    return files;
}
