#include "DataRoot.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace halvane;

TEST(DataRoot, ChoosesTheFirstSourceThatIsSet) {
    struct Case {
        DataRootSources sources;
        const char* root;
    };
    const Case cases[] = {
        {{"/a", "/b", "/x", "/h", "/exe"}, "/a/"},
        {{std::nullopt, "/b/", "/x", "/h", "/exe"}, "/b/"},
        {{"", "", "/x", "/h", "/exe"}, "/x/Korvell/Halvane/"},
        {{std::nullopt, std::nullopt, std::nullopt, "/h", "/exe"},
         "/h/.local/share/Korvell/Halvane/"},
        {{std::nullopt, std::nullopt, std::nullopt, std::nullopt, "/opt/halvane/bin"},
         "/opt/halvane/bin/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseDataRoot(c.sources), c.root);
}

TEST(DataRoot, ResolvesStoredRelativePaths) {
    SetDataRoot("/srv/plant");
    EXPECT_EQ(ResolveDataPath("cfg\\config.cfg"),
              std::filesystem::path("/srv/plant/cfg/config.cfg"));
    EXPECT_EQ(ResolveDataPath("history\\log20261209.csv").string(),
              "/srv/plant/history/log20261209.csv");
    EXPECT_EQ(ResolveDataPath("http\\").string(), "/srv/plant/http/");
}

TEST(DataRoot, AbsoluteStoredPaths) {
    EXPECT_TRUE(IsAbsoluteStoredPath("/usr/share/pic.bmp"));
    EXPECT_TRUE(IsAbsoluteStoredPath("C:\\pics\\a.bmp"));
    EXPECT_TRUE(IsAbsoluteStoredPath("d:/a.bmp"));
    EXPECT_FALSE(IsAbsoluteStoredPath("cfg\\back.bmp"));
    EXPECT_FALSE(IsAbsoluteStoredPath(""));
    EXPECT_EQ(NativeSeparators("gallery\\pumps\\p1.bmp"), "gallery/pumps/p1.bmp");
}

TEST(DataRoot, ComPortsReachDevices) {
    TempDir root;
    SetDataRoot(root.Path().string());
    ::unsetenv("HALVANE_COM1");
    ::unsetenv("HALVANE_COM2");
    EXPECT_EQ(ResolveComDevice(1), "/dev/ttyS0");
    std::filesystem::create_directories(root / "dev");
    std::filesystem::create_symlink("/dev/ttyUSB0", root / "dev/COM1");
    std::filesystem::create_symlink("../pts/ttyB", root / "dev/COM2");
    EXPECT_EQ(ResolveComDevice(1), "/dev/ttyUSB0");
    EXPECT_EQ(ResolveComDevice(2), (root / "dev/../pts/ttyB").string());
    ::setenv("HALVANE_COM1", "/dev/ttyACM3", 1);
    EXPECT_EQ(ResolveComDevice(1), "/dev/ttyACM3");
    ::unsetenv("HALVANE_COM1");
    EXPECT_EQ(ResolveComDevice(3), "/dev/ttyS2");
}
