#include "calibration/Characteristic.h"

#include "calibration/CGiGeArray.h"
#include "common/NumberText.h"

#include <cmath>
#include <limits>

namespace {
// A value the meter keeps as it was sent: what is no number, the empty mark
// and values between 0 and the smallest normal float are not.
bool MeterCanHold(double value)
{
    const double size = std::fabs(value);
    return std::isfinite(value) && size < GIGE_EMPTY_PAIR_MARK &&
           (size == 0 || size >= std::numeric_limits<float>::min());
}
}

std::string PairValueFault(const char* name, double value)
{
    const std::string n = name;
    if (std::isnan(value))
        return n + " не является числом";
    if (std::fabs(value) >= GIGE_EMPTY_PAIR_MARK)
        return n + " не меньше 1e+29 (так отмечена незаписанная пара)";
    if (value == 0)
        return n + " равен 0";
    if (!MeterCanHold(value))
        return n + " ближе к 0, чем позволяет формат чисел счетчика (1.17549435e-38)";
    return {};
}

std::string PairFault(double gi, double ge)
{
    std::string why = PairValueFault("Gi", gi);
    if (why.empty())
        why = PairValueFault("Ge", ge);
    if (why.empty() && (gi > 0) != (ge > 0))
        why = "Gi и Ge разных знаков (в паре обратной ветви оба меньше 0)";
    return why;
}

std::vector<CharacteristicFault> CheckCharacteristic(const std::vector<std::pair<float, float>>& pairs,
                                                     int capacity)
{
    std::vector<CharacteristicFault> faults;
    const int count = static_cast<int>(pairs.size());
    if (count > capacity) {
        // The count alone goes wrong: nothing more is looked at.
        faults.push_back({0, false, FormatC("пар %d, а счетчик принимает не более %d", count, capacity)});
        return faults;
    }
    if (count < 2)
        faults.push_back({0, false, FormatC("пар %d, а их должно быть не менее 2", count)});
    int forward = 0;
    for (int i = 0; i < count; ++i) {
        const auto [gi, ge] = pairs[static_cast<size_t>(i)];
        if (const std::string why = PairFault(gi, ge); !why.empty()) {
            faults.push_back({i + 1, MeterCanHold(gi) && MeterCanHold(ge), why});
            continue;
        }
        forward += gi > 0;
        if (i == 0)
            continue;
        const float before = pairs[static_cast<size_t>(i) - 1].first;
        if (gi == before)
            faults.push_back({i + 1, true, FormatC("Gi тот же, что в паре %d: у одного Gi не может быть двух Ge", i)});
        else if (gi < before)
            faults.push_back({i + 1, true, FormatC("Gi меньше, чем в паре %d: Gi должны возрастать", i)});
    }
    if (count >= 2 && forward < 2)
        faults.push_back({0, true, FormatC("пар с Gi и Ge больше 0 %d, а их должно быть не менее 2", forward)});
    return faults;
}

std::string CharacteristicFaultText(const CharacteristicFault& fault, const std::vector<std::pair<float, float>>& pairs)
{
    if (fault.pair < 1 || fault.pair > static_cast<int>(pairs.size()))
        return fault.rule;
    const auto [gi, ge] = pairs[static_cast<size_t>(fault.pair) - 1];
    return FormatC("пара %d (Gi ", fault.pair) + CGiGeArray::PairValueText(gi) + ", Ge " +
           CGiGeArray::PairValueText(ge) + "): " + fault.rule;
}
