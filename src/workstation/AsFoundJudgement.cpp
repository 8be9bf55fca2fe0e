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
    const long long foundId = store.AsFoundOf(asLeftId);
    const auto found = foundId ? store.LoadSeries(foundId) : std::nullopt;
    if (!found)
        return false;
    CMainTables tables;
    tables.SetTitles();
    RenderStoredSeries(*found, tables, StandardErrorOf(profiles));
    out.asLeftId = asLeftId;
    out.asFoundId = foundId;
    out.meters = JudgeVerification(tables.StringGrid3, profiles, reference);
    return true;
}
