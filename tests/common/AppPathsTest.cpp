// Where files live: beside a program in a writable folder, under the XDG data
// folder for an installed one; Matrix/ and DOC/ from the share folder.
#include "common/AppPaths.h"

#include <gtest/gtest.h>

TEST(AppPaths, DataAndShareFolders)
{
    struct Case {
        AppPathRules rules;
        const char* data;
        const char* share;
    } cases[] = {
        {{"/home/u/vq7/build", true, "", "", "/home/u"}, "/home/u/vq7/build", "/home/u/vq7/build"},
        {{"/usr/bin", false, "", "", "/home/u"}, "/home/u/.local/share/vq7station", "/usr/share/vq7station"},
        {{"/opt/vq7/bin", false, "", "/data/x", "/home/u"}, "/data/x/vq7station", "/opt/vq7/share/vq7station"},
        // A relative XDG_DATA_HOME is not valid and is ignored.
        {{"/usr/bin", false, "", "rel", "/home/u"}, "/home/u/.local/share/vq7station", "/usr/share/vq7station"},
        {{"/usr/bin", false, "/srv/rig", "/data/x", "/home/u"}, "/srv/rig", "/usr/share/vq7station"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rules.programDir + " " + c.rules.xdgDataHome);
        EXPECT_EQ(c.data, DataDirFor(c.rules));
        EXPECT_EQ(c.share, ShareDirFor(c.rules));
    }
}

TEST(AppPaths, OverrideIsCreated)
{
    char tmpl[] = "/tmp/vq7paths.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    const std::string dir = std::string(tmpl) + "/a/b";
    setenv("VQ7_DATA_DIR", dir.c_str(), 1);
    EXPECT_EQ(dir, DataDir());
    unsetenv("VQ7_DATA_DIR");
    EXPECT_EQ(0, system(("test -d " + dir + " && rm -r " + tmpl).c_str()));
}
