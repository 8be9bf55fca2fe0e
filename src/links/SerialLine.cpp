// Kept apart from <termios.h>: its struct termios clashes with the kernel's.
#include "links/SerialLine.h"

#include "links/ResultCodes.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {
// The speed code of a standard rate; BOTHER for any other.
tcflag_t SpeedCode(uint32_t baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return BOTHER;
    }
}
}

int SetRawLine(int fd, uint32_t baud, bool twoStopBits)
{
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return RC_GET_STATE_FAILED;
    if (baud == 0)
        return RC_SET_STATE_FAILED;   // B0 would hang the line up
    // Binary bytes pass unchanged: no line editing, no character translation, no
    // software or hardware flow control.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    if (twoStopBits)
        tio.c_cflag |= CSTOPB;
    const tcflag_t code = SpeedCode(baud);
    tio.c_cflag |= code | (code << IBSHIFT);
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (ioctl(fd, TCSETS2, &tio) != 0)
        return RC_SET_STATE_FAILED;
    return RC_OK;
}

uint32_t LineSpeed(int fd)
{
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ospeed;
}
