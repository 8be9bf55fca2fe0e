#include "common/FlowRule.h"

#include <cmath>

bool IsRigFlow(double flowM3h)
{
    return RigFlowProblem(flowM3h).empty();
}

std::string RigFlowProblem(double flowM3h)
{
    if (!std::isfinite(flowM3h))
        return "не число";
    if (!(flowM3h > 0))
        return "не больше 0";
    if (flowM3h >= kRigFlowLimit)
        return "1e29 и более";
    return std::string();
}
