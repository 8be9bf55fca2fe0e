#pragma once
// Setting parameters written into a meter with its pairs, chosen by its
// nominal diameter (mm).
#include <cstddef>

struct NominalDiameterRow {
    int Dn;
    const char* A;   // parameters 70 and 75
    const char* B;   // parameter 79
};

extern const NominalDiameterRow NominalDiameterTable[12];

// The row for a diameter, or null when the table has none.
const NominalDiameterRow* FindNominalDiameter(int dn);
