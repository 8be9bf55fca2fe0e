#include "links/CComLink.h"
#include "support/PtyPair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Waits until bytes written to the master can be read on the slave side.
bool SlaveReadable(const PtyPair& pty)
{
    pollfd p{pty.Slave(), POLLIN, 0};
    return poll(&p, 1, 2000) == 1;
}
}

TEST(ComLink, PortNames)
{
    EXPECT_EQ("/dev/ttyS0", CComLink::DevicePath("COM1"));
    EXPECT_EQ("/dev/ttyS11", CComLink::DevicePath("COM12"));
    EXPECT_EQ("/dev/ttyUSB0", CComLink::DevicePath("ttyUSB0"));
    EXPECT_EQ("/dev/pts/7", CComLink::DevicePath("/dev/pts/7"));
    EXPECT_EQ("/dev/COM", CComLink::DevicePath("COM"));
    EXPECT_EQ("/dev/COM0", CComLink::DevicePath("COM0"));
}

TEST(ComLink, MissingPortStaysClosed)
{
    CComLink link("/dev/vq7-no-such-port", 9600, 0);
    EXPECT_EQ(RC_NOT_OPEN, link.Open(true));
    EXPECT_FALSE(link.IsOpen());
    uint8_t buf[4] = {1, 2, 3, 4};
    unsigned count = 99;
    EXPECT_EQ(RC_NOT_OPEN, link.Read(buf, 4, &count, 10));
    EXPECT_EQ(RC_NOT_OPEN, link.Write(buf, 4, &count, 10));
    EXPECT_FALSE(link.Purge(PURGE_RXCLEAR));
}

TEST(ComLink, OpenSetsRawLineExclusiveAndReopensWithOneDescriptor)
{
    PtyPair pty;
    const int before = CountOpenDescriptors();
    CComLink link(pty.SlaveName(), 115200, 0);
    ASSERT_EQ(RC_OK, link.Open(true));
    ASSERT_EQ(RC_OK, link.Open(true));
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(before + 1, CountOpenDescriptors());

    termios tio{};
    ASSERT_EQ(0, tcgetattr(pty.Slave(), &tio));
    EXPECT_EQ(B115200, cfgetospeed(&tio));
    EXPECT_EQ(B115200, cfgetispeed(&tio));
    EXPECT_EQ(CS8, tio.c_cflag & CSIZE);
    EXPECT_EQ(0u, tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_EQ(0u, tio.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_EQ(0u, tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP));
    int exclusive = 0;
    ASSERT_EQ(0, ioctl(pty.Slave(), TIOCGEXCL, &exclusive));
    EXPECT_EQ(1, exclusive);

    EXPECT_EQ(RC_OK, link.Open(false));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(before, CountOpenDescriptors());
    ASSERT_EQ(0, ioctl(pty.Slave(), TIOCGEXCL, &exclusive));
    EXPECT_EQ(0, exclusive);
}

TEST(ComLink, StopBitsAndSpeeds)
{
    PtyPair pty;
    CComLink two(pty.SlaveName(), 9600, 5);
    EXPECT_EQ(2, two.StopBits());
    ASSERT_EQ(RC_OK, two.Open(true));
    termios tio{};
    ASSERT_EQ(0, tcgetattr(pty.Slave(), &tio));
    EXPECT_EQ(B9600, cfgetospeed(&tio));
    EXPECT_EQ(unsigned(CSTOPB), tio.c_cflag & CSTOPB);
    two.Open(false);

    for (uint32_t speed : {9600u, 19200u, 38400u, 57600u, 115200u}) {
        CComLink link(pty.SlaveName(), speed, 0);
        EXPECT_EQ(RC_OK, link.Open(true)) << speed;
    }
    CComLink odd(pty.SlaveName(), 12345, 0);
    EXPECT_EQ(RC_SET_STATE_FAILED, odd.Open(true));
    EXPECT_TRUE(odd.IsOpen());   // a configuration failure keeps the port open
}

TEST(ComLink, BadArgumentsDoNotTouchThePort)
{
    PtyPair pty;
    CComLink link(pty.SlaveName(), 115200, 0);
    uint8_t buf[4] = {};
    unsigned count = 0;
    EXPECT_EQ(RC_BAD_ARGUMENT, link.Read(nullptr, 4, &count, 10));   // before the open check
    ASSERT_EQ(RC_OK, link.Open(true));
    ASSERT_TRUE(pty.WriteMaster(std::vector<uint8_t>{7, 8}));
    ASSERT_TRUE(SlaveReadable(pty));
    EXPECT_EQ(RC_BAD_ARGUMENT, link.Read(nullptr, 4, &count, 10));
    EXPECT_EQ(RC_BAD_ARGUMENT, link.Read(buf, 0, &count, 10));
    EXPECT_EQ(RC_BAD_ARGUMENT, link.Write(nullptr, 4, &count, 10));
    EXPECT_EQ(RC_BAD_ARGUMENT, link.Write(buf, 0, &count, 10));
    EXPECT_TRUE(pty.ReadMaster(1, 50).empty());
    ASSERT_EQ(RC_OK, link.Read(buf, 2, &count, 100));
    EXPECT_EQ(7, buf[0]);
    EXPECT_EQ(8, buf[1]);
}

TEST(ComLink, BinaryBytesPassUnchangedBothWays)
{
    PtyPair pty;
    CComLink link(pty.SlaveName(), 115200, 0);
    ASSERT_EQ(RC_OK, link.Open(true));
    const std::vector<uint8_t> bytes = {0x11, 0x13, 0x0D, 0x0A, 0x03, 0x1A, 0x7F, 0xFF, 0x00, 0x04, 0x1C};
    ASSERT_TRUE(pty.WriteMaster(bytes));
    std::vector<uint8_t> got(bytes.size());
    unsigned count = 0;
    ASSERT_EQ(RC_OK, link.Read(got.data(), static_cast<unsigned>(got.size()), &count, 500));
    EXPECT_EQ(bytes.size(), count);
    EXPECT_EQ(bytes, got);

    ASSERT_EQ(RC_OK, link.Write(bytes.data(), static_cast<unsigned>(bytes.size()), &count, 0));
    EXPECT_EQ(bytes.size(), count);
    EXPECT_EQ(bytes, pty.ReadMaster(bytes.size(), 1000));
}

TEST(ComLink, SilentAndShortAnswersTimeOutAfterTheGrace)
{
    PtyPair pty;
    CComLink link(pty.SlaveName(), 115200, 0);
    ASSERT_EQ(RC_OK, link.Open(true));
    uint8_t buf[32];
    unsigned count = 99;
    auto start = Clock::now();
    EXPECT_EQ(RC_TIMEOUT, link.Read(buf, 32, &count, 200));
    long ms = MsSince(start);
    EXPECT_EQ(0u, count);
    EXPECT_GE(ms, 295);
    EXPECT_LT(ms, 2000);

    ASSERT_TRUE(pty.WriteMaster(std::vector<uint8_t>(10, 0x5A)));
    start = Clock::now();
    EXPECT_EQ(RC_TIMEOUT, link.Read(buf, 32, &count, 200));
    ms = MsSince(start);
    EXPECT_EQ(10u, count);
    EXPECT_EQ(0x5A, buf[9]);
    EXPECT_GE(ms, 295);
    EXPECT_LT(ms, 2000);
    EXPECT_TRUE(link.IsOpen());   // a time-out does not close the port
}

TEST(ComLink, PiecesWithShortGapsArriveWhole)
{
    PtyPair pty;
    CComLink link(pty.SlaveName(), 115200, 0);
    ASSERT_EQ(RC_OK, link.Open(true));
    std::thread bus([&pty] {
        for (uint8_t piece = 0; piece < 4; ++piece) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            pty.WriteMaster(std::vector<uint8_t>(8, piece));
        }
    });
    uint8_t buf[32] = {};
    unsigned count = 0;
    auto start = Clock::now();
    const int rc = link.Read(buf, 32, &count, 300);
    const long ms = MsSince(start);
    bus.join();
    EXPECT_EQ(RC_OK, rc);
    EXPECT_EQ(32u, count);
    EXPECT_EQ(3, buf[31]);
    EXPECT_GT(ms, 400);   // longer than the time-out + 100 ms: the pieces kept the read going
}

TEST(ComLink, PurgeDiscardsPendingInputButNotAWrittenFrame)
{
    PtyPair pty;
    CComLink link(pty.SlaveName(), 115200, 0);
    ASSERT_EQ(RC_OK, link.Open(true));
    // A frame that expects no answer, and at once the purge before the next request.
    const std::vector<uint8_t> frame(16, 0x26);
    unsigned written = 0;
    ASSERT_EQ(RC_OK, link.Write(frame.data(), 16, &written, 0));
    EXPECT_TRUE(link.Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_RXCLEAR));
    EXPECT_EQ(frame, pty.ReadMaster(16, 500));

    ASSERT_TRUE(pty.WriteMaster(std::vector<uint8_t>(20, 1)));
    ASSERT_TRUE(SlaveReadable(pty));
    EXPECT_TRUE(link.Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_RXCLEAR));
    ASSERT_TRUE(pty.WriteMaster(std::vector<uint8_t>{2}));
    uint8_t b = 0;
    unsigned count = 0;
    ASSERT_EQ(RC_OK, link.Read(&b, 1, &count, 500));
    EXPECT_EQ(2, b);
}
