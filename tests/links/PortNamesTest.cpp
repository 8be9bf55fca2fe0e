// Serial port names sorted by number and the texts of their tree nodes.
#include "links/PortNames.h"

#include <gtest/gtest.h>

struct SortCase {
    const char* title;
    std::vector<std::string> given;
    std::vector<std::string> sorted;
};

class PortSort : public ::testing::TestWithParam<SortCase> {};

TEST_P(PortSort, ByNumberWithinEachKind)
{
    std::vector<std::string> names = GetParam().given;
    SortPortNames(names);
    EXPECT_EQ(names, GetParam().sorted);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PortSort,
    ::testing::Values(
        SortCase{"ComByNumberNotText", {"COM12", "COM3", "COM4"}, {"COM3", "COM4", "COM12"}},
        SortCase{"LinuxKinds", {"ttyUSB1", "ttyS10", "ttyACM0", "ttyS2", "ttyUSB0"},
                 {"ttyACM0", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB1"}},
        SortCase{"NamesWithoutNumberKeepTheirOrder", {"COMx", "COM", "COM1"}, {"COMx", "COM", "COM1"}},
        SortCase{"ComNumberIsAtMostThreeDigits", {"COM1000", "COM200"}, {"COM1000", "COM200"}}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(PortNames, NumbersOfNames)
{
    EXPECT_EQ(PortNumber("COM12"), 12);
    EXPECT_EQ(PortNumber("COM1000"), 100);   // fourth character on, three at most
    EXPECT_EQ(PortNumber("COMx"), 0);
    EXPECT_EQ(PortNumber("ttyUSB7"), 7);
    EXPECT_EQ(PortNumber("/dev/pts/14"), 14);
    EXPECT_EQ(PortNumber("ttyS"), 0);
    EXPECT_EQ(PortNumber("tty99999999999999999999"), 0);   // no overflow
}

TEST(PortNames, NodeTextsAndDevicesWithoutDescription)
{
    EXPECT_EQ(PortNodeText({"COM1", "Communications Port "}), "COM1  Communications Port");
    EXPECT_EQ(PortNodeText({"ttyUSB0", "FT232R USB UART"}), "ttyUSB0  FT232R USB UART");
    EXPECT_EQ(PortNodeText({"ttyS4", ""}), "ttyS4");
    EXPECT_EQ(PortNodeText({"ttyS4", "   "}), "ttyS4");

    std::vector<CPortDevice> devices{{"COM12", "B"}, {"COM3", ""}, {"COM4", "A"}};
    SortPortDevices(devices);
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].m_sName, "COM3");
    EXPECT_EQ(devices[2].m_sName, "COM12");
}

TEST(PortNames, PreferredPortIsTheFirstUsbAdapter)
{
    struct Case {
        std::vector<CPortDevice> sorted;
        std::string preferred;
    };
    const std::vector<Case> cases = {
        {{{"ttyS0", ""}, {"ttyS1", ""}, {"ttyUSB0", "FT232R USB UART"}, {"ttyUSB1", ""}}, "ttyUSB0"},
        {{{"ttyACM0", ""}, {"ttyS0", ""}, {"ttyUSB0", ""}}, "ttyACM0"},
        {{{"ttyS0", ""}, {"ttyS4", "USB-Serial", true}}, "ttyS4"},   // the system knows its vendor
        {{{"ttyS0", ""}, {"ttyS1", ""}}, "ttyS0"},
        {{}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PreferredPortName(c.sorted), c.preferred) << (c.sorted.empty() ? "none" : c.sorted.back().m_sName);
}
