// vq7station answers --help and --version without a display; anything else
// needs one, and without it the program fails instead of pretending.
#include "vq7ctl/ChildProcess.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <string>
#include <vector>

using ::testing::HasSubstr;

namespace {
class StationWithoutDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            ::unsetenv(name);
    }
};
}

TEST_F(StationWithoutDisplay, HelpAndVersionPrintAndExitZero)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> out;   // each printed on stdout
    };
    const std::vector<Case> cases = {
        {{"--help"}, {"Usage: ", "--dir <path>", "--version", "Calibration and verification"}},
        {{"-h"}, {"Usage: ", "--dir <path>"}},
        {{"--dir", "/nonexistent", "--help"}, {"Usage: "}},
        {{"-platform", "xcb", "--help"}, {"Usage: "}},   // a window option is no fault here
        {{"--version"}, {std::string("vq7station ") + VQ7_EXPECTED_VERSION}},
        {{"-v"}, {std::string("vq7station ") + VQ7_EXPECTED_VERSION}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv{VQ7STATION_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ProcessResult r = RunProcess(argv, "", 20000);
        EXPECT_EQ(r.exitCode, 0) << c.args.front() << ": " << r.err;
        for (const std::string& text : c.out)
            EXPECT_THAT(r.out, HasSubstr(text)) << c.args.front();
    }
}

TEST_F(StationWithoutDisplay, TheWindowItselfNeedsADisplay)
{
    // Proves the environment above has none: the same program fails to start its window.
    const ProcessResult r = RunProcess({VQ7STATION_PATH, "--dir", "/nonexistent"}, "", 20000);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_FALSE(r.timedOut);
    EXPECT_THAT(r.err, HasSubstr("platform"));
}
