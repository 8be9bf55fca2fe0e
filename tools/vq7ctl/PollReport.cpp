#include "PollReport.h"

#include "measurement/CSystem.h"

#include <cstdio>

void CPollReport::Update()
{
    for (int slot = 0; slot < METER_SLOTS; ++slot) {
        const uint32_t number = m_system.GetMeterNumber(slot);
        const int passes = number != 0 ? m_system.GetFailedPasses(slot) : 0;
        if (passes > m_anSeen[slot])
            std::fprintf(stderr, "meter %u: no answer in %d poll pass(es) in a row%s\n", number, passes,
                         passes >= CSYSTEM_NO_ANSWER_PASSES ? "; the cycle goes on without it" : "");
        m_anSeen[slot] = passes;
    }
}
