#include "links/CComLink.h"
#include "links/SerialLine.h"
#include "support/PtyPair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/file.h>
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
    for (const char* outside : {"../../etc/passwd", "pts/../../etc/passwd", "ttyUSB0/..", "a/b", "..", ""})
        EXPECT_EQ("", CComLink::DevicePath(outside)) << outside;
}

TEST(ComLink, OnlyATerminalIsOpenedAndNothingElseIsWritten)
{
    char dir[] = "/tmp/vq7comlinkXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string file = std::string(dir) + "/passwd";
    {
        std::ofstream out(file);
        out << "root:x:0:0\n";
    }
    for (const std::string& name : {file, std::string("../../etc/passwd"), std::string("/dev/null")}) {
        CComLink link(name, 9600, 0);
        EXPECT_EQ(RC_NOT_OPEN, link.Open(true)) << name;
        EXPECT_FALSE(link.IsOpen());
        EXPECT_NE(std::string::npos, link.FaultText().find(name)) << link.FaultText();
        const uint8_t frame[4] = {1, 2, 3, 4};
        unsigned count = 0;
        EXPECT_EQ(RC_NOT_OPEN, link.Write(frame, 4, &count, 10));
    }
    std::ifstream in(file);
    EXPECT_EQ("root:x:0:0\n", std::string(std::istreambuf_iterator<char>(in), {}));
    std::filesystem::remove_all(dir);
}

TEST(ComLink, APortHeldByAnotherProgramIsRefused)
{
    PtyPair pty;
    // Another program holds the port with a lock of its own.
    const int other = open(pty.SlaveName().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(0, flock(other, LOCK_EX | LOCK_NB));
    CComLink link(pty.SlaveName(), 9600, 0);
    EXPECT_EQ(RC_NOT_OPEN, link.Open(true));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_NE(std::string::npos, link.FaultText().find(pty.SlaveName()));
    close(other);

    // Our own hold keeps a second opener out, root or not.
    ASSERT_EQ(RC_OK, link.Open(true));
    CComLink second(pty.SlaveName(), 9600, 0);
    EXPECT_EQ(RC_NOT_OPEN, second.Open(true));
    link.Open(false);
    EXPECT_EQ(RC_OK, second.Open(true));
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
    // Speeds without a standard code are set as they are.
    for (uint32_t speed : {14400u, 56000u, 12345u}) {
        CComLink link(pty.SlaveName(), speed, 0);
        EXPECT_EQ(RC_OK, link.Open(true)) << speed;
        EXPECT_EQ(speed, LineSpeed(pty.Slave()));
    }
    // A set-up that fails closes the port again.
    const int before = CountOpenDescriptors();
    CComLink none(pty.SlaveName(), 0, 0);
    EXPECT_EQ(RC_SET_STATE_FAILED, none.Open(true));
    EXPECT_FALSE(none.IsOpen());
    EXPECT_EQ(before, CountOpenDescriptors());
    EXPECT_NE(std::string::npos, none.FaultText().find(pty.SlaveName()));
}

TEST(ComLink, HangUpAndStalledLine)
{
    PtyPair pty;
    CComLink link(pty.SlaveName(), 115200, 0);
    ASSERT_EQ(RC_OK, link.Open(true));
    // Output stopped: the write gives up after its time-out with what went out.
    ASSERT_EQ(0, tcflow(pty.Slave(), TCOOFF));
    const std::vector<uint8_t> frame(16, 0x26);
    unsigned count = 99;
    EXPECT_EQ(RC_SHORT_WRITE, link.Write(frame.data(), 16, &count, 0));
    EXPECT_EQ(0u, count);
    EXPECT_TRUE(link.IsOpen());
    ASSERT_EQ(0, tcflow(pty.Slave(), TCOON));

    pty.CloseMaster();
    uint8_t buf[8];
    EXPECT_EQ(RC_READ_ERROR, link.Read(buf, 8, &count, 200));
    EXPECT_FALSE(link.IsOpen());   // the next transaction opens it again
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
