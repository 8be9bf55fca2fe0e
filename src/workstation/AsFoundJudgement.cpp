#include "AsFoundJudgement.h"

#include "MainTables.h"
#include "StoredSeriesTables.h"
#include "results/ResultStore.h"

std::function<bool(uint32_t number)> StandardErrorOf(const CProfileSet& profiles)
{
    return [&profiles](uint32_t number) {
        VerificationProfile p;
        std::string refused;
        return profiles.ProfileFor(number, p, refused) && p.standard != EStandard::Tolerance;
    };
}

bool JudgeAsFound(CResultStore& store, long long asLeftId, const CProfileSet& profiles,
                  const ReferenceInstrument& reference, AsFoundJudgement& out)
{
    out = AsFoundJudgement{};
    const auto left = store.LoadSeries(asLeftId);
    if (!left || left->series.kind != "verification" || left->series.asFoundId == 0)
        return false;
    const auto found = store.LoadSeries(left->series.asFoundId);
    if (!found)
        return false;
    CMainTables tables;
    tables.SetTitles();
    RenderStoredSeries(*found, tables, StandardErrorOf(profiles));
    out.asLeftId = asLeftId;
    out.asFoundId = left->series.asFoundId;
    out.meters = JudgeVerification(tables.StringGrid3, profiles, reference);
    return true;
}
