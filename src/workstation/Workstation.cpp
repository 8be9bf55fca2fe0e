#include "Workstation.h"

CWorkstation::CWorkstation(connection& conn, CSystem& system)
    : MeterList(conn, system, Tables, State, Folders, Progress), Series(system, Tables, State),
      Results(system, Tables, State),
      ResultTables(system, Tables, State), Pairs(conn, system, Tables, State, Folders, Progress, MeterList)
{
    Series.SetResults(&Results);
    Series.SetBeforeBaseModel([this] { MeterList.KeepOwnModels(); });
    Series.SetStandardError([this](uint32_t number) {
        VerificationProfile p;
        std::string error;
        return Profiles.ProfileFor(number, p, error) && p.standard != EStandard::Tolerance;
    });
}

std::vector<std::string> CWorkstation::LoadJudgement(const std::string& profilesPath, const std::string& configPath,
                                                     double stationTolerance)
{
    std::vector<std::string> errors;
    std::string error;
    if (!Profiles.Load(profilesPath, stationTolerance, error))
        errors.push_back(error);
    for (const std::string& e : Profiles.Errors())
        errors.push_back(e);
    const std::string geSource = Reference.geSource;   // the rig's, not config.ini [REFERENCE]'s
    if (const std::string e = LoadReference(configPath, Reference); !e.empty()) {
        errors.push_back(e);
        Reference = ReferenceInstrument{};
    }
    Reference.geSource = geSource;
    return errors;
}

std::vector<MeterJudgement> CWorkstation::JudgeVerification() const
{
    return ::JudgeVerification(Tables.StringGrid3, Profiles, Reference);
}
