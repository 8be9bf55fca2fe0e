#include "NominalDiameter.h"

const NominalDiameterRow NominalDiameterTable[12] = {
    {15, "2.5", "0.0010"}, {20, "11", "0.0018"},   {25, "16", "0.0025"},    {32, "30", "0.005"},
    {40, "40", "0.007"},   {50, "60", "0.010"},    {65, "100", "0.015"},    {80, "160", "0.025"},
    {100, "250", "0.040"}, {150, "600", "0.100"},  {200, "1000", "0.150"},  {300, "2500", "0.400"},
};

const NominalDiameterRow* FindNominalDiameter(int dn)
{
    for (const auto& row : NominalDiameterTable)
        if (row.Dn == dn)
            return &row;
    return nullptr;
}
