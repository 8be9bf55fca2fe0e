#include "ReferenceFlow.h"

#include <cmath>

bool IsValidReferenceFlow(double ge) { return std::isfinite(ge) && ge > 0; }

std::string InvalidReferenceFlowText(double ge)
{
    if (!std::isfinite(ge))
        return "Эталонный расход должен быть числом";
    return "Эталонный расход должен быть больше нуля";
}
