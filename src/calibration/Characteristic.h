#pragma once
// The rules a calibration characteristic keeps before it goes into a meter.
// Every way of writing pairs (window, editor, vq7ctl, series) passes them
// through the table's write; pair forming uses the rule for single pairs.
//
// A pair is forward (Gi and Ge above 0) or of the reverse branch (both below
// 0); Gi rises strictly from pair to pair, and at least two pairs are forward.
#include <string>
#include <utility>
#include <vector>

// Values from this magnitude on mark a pair slot a meter never had written.
constexpr double GIGE_EMPTY_PAIR_MARK = 1e29;

struct CharacteristicFault {
    int pair = 0;         // from 1; 0 for the table as a whole
    bool held = false;    // a meter can hold it (restoring what it held writes it, with a warning)
    std::string rule;     // what is wrong, e.g. "Ge равен 0"
};

// Every rule the pairs (Gi, Ge, in table order) break, pair by pair; empty
// when a meter can take them. capacity: the most pairs the meter holds.
std::vector<CharacteristicFault> CheckCharacteristic(const std::vector<std::pair<float, float>>& pairs,
                                                     int capacity);

// Why (gi, ge) cannot be a pair of a characteristic: a value that is not a
// number, at the empty mark, 0 or beyond the meter's number format, or Gi and
// Ge of different sign. Empty when it can be one.
std::string PairFault(double gi, double ge);
// The same for one value; name ("Gi", "Ge") starts the reason.
std::string PairValueFault(const char* name, double value);

// "пара 2 (Gi 1.000000e+00, Ge 0.000000e+00): Ge равен 0", or the rule alone
// for the table as a whole.
std::string CharacteristicFaultText(const CharacteristicFault& fault,
                                    const std::vector<std::pair<float, float>>& pairs);
