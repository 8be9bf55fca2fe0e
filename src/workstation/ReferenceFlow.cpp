#include "ReferenceFlow.h"

#include "common/FlowRule.h"

#include <cmath>

bool IsValidReferenceFlow(double ge) { return IsRigFlow(ge); }

std::string InvalidReferenceFlowText(double ge)
{
    if (!std::isfinite(ge))
        return "Эталонный расход должен быть числом";
    if (ge >= kRigFlowLimit)
        return "Эталонный расход должен быть меньше 1e29";
    return "Эталонный расход должен быть больше нуля";
}
