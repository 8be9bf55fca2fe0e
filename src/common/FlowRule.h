#pragma once
// The one rule for a flow the rig can have: a reference flow typed or read from a
// file, a flow point handed to the rig's set-flow command. Finite, above 0 and below
// the empty-pair mark (1e29 m3/h; a pair made from such a flow would read as empty).
#include <string>

constexpr double kRigFlowLimit = 1e29;

bool IsRigFlow(double flowM3h);
// Why a flow is not one, in words ("не число", "не больше 0", "1e29 и более"); empty when it is.
std::string RigFlowProblem(double flowM3h);
