#include "CommandLine.h"

#include <gtest/gtest.h>

using namespace halvane;

TEST(CommandLine, Switches) {
    struct Case {
        std::vector<std::string> args;
        bool runtime;
        std::optional<std::string> dataRoot;
        bool error;
    };
    const Case cases[] = {
        {{}, false, {}, false},
        {{"-runtime"}, true, {}, false},
        {{"/RunTime"}, true, {}, false},
        {{"-RUNTIME", "--data-root", "/srv/plant"}, true, "/srv/plant", false},
        {{"--data-root=/x"}, false, "/x", false},
        {{"-platform", "offscreen", "-runtime"}, true, {}, false},
        {{"--data-root"}, false, {}, true},
        {{"--data-root="}, false, {}, true},
        {{"runtime"}, false, {}, true},
        {{"--verbose"}, false, {}, true},
    };
    for (const Case& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.args);
        EXPECT_EQ(!parsed.error.empty(), c.error) << testing::PrintToString(c.args);
        if (c.error)
            continue;
        EXPECT_EQ(parsed.runtime, c.runtime) << testing::PrintToString(c.args);
        EXPECT_EQ(parsed.dataRoot, c.dataRoot) << testing::PrintToString(c.args);
    }
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    EXPECT_TRUE(ParseCommandLine({"--version"}).version);
}
