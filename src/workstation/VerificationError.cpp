#include "VerificationError.h"

#include "CellNumbers.h"

float VerificationError(float ge, float gv)
{
    if (gv == 0)
        return 1000.0f;
    return (gv - ge) / gv * 100.0f;
}

std::string VerificationErrorText(float ge, float gv)
{
    return CellText("%.3f", VerificationError(ge, gv));
}

float StandardError(float ge, float gv)
{
    if (ge == 0)
        return 1000.0f;
    return (gv - ge) / ge * 100.0f;
}

std::string StandardErrorText(float ge, float gv)
{
    return CellText("%.3f", StandardError(ge, gv));
}
