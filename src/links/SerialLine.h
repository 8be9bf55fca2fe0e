#pragma once
// The line settings of a serial device through termios2, so that any speed the
// adapter takes can be set (standard rates keep their own speed code).
#include <cstdint>

// Raw bytes, 8 data bits, no parity, one or two stop bits, no flow control, reads
// that never block. RC_OK, RC_GET_STATE_FAILED or RC_SET_STATE_FAILED (speed 0 too).
int SetRawLine(int fd, uint32_t baud, bool twoStopBits);
// The output speed the driver holds; 0 when it cannot be read.
uint32_t LineSpeed(int fd);
