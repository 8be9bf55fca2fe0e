#pragma once
// The operator of vq7ctl: the terminal one (messages on stderr), but a beep
// rings the terminal bell without holding the command up for its duration.
#include "common/TerminalOperator.h"

#include <cstdio>
#include <unistd.h>

class CCtlOperator : public CTerminalOperator {
public:
    void Beep(unsigned, unsigned) override
    {
        if (isatty(STDERR_FILENO)) {
            std::fputc('\a', stderr);
            std::fflush(stderr);
        }
    }
};
