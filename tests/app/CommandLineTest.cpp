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

TEST(CommandLine, AccountCommands) {
    using Kind = AccountCommand::Kind;
    struct Case {
        std::vector<std::string> args;
        std::optional<AccountCommand> command; // nothing: the arguments are refused
    };
    const Case cases[] = {
        {{"--user-add", "alice", "--role", "admin"}, AccountCommand{Kind::Add, "alice", "admin"}},
        {{"--role", "viewer", "--data-root", "/r", "--user-add", "bob"},
         AccountCommand{Kind::Add, "bob", "viewer"}},
        {{"--user-passwd", "alice"}, AccountCommand{Kind::Password, "alice", ""}},
        {{"--user-role", "alice", "engineer"}, AccountCommand{Kind::SetRole, "alice", "engineer"}},
        {{"--user-disable", "alice"}, AccountCommand{Kind::Disable, "alice", ""}},
        {{"--user-enable", "alice"}, AccountCommand{Kind::Enable, "alice", ""}},
        {{"--user-del", "alice"}, AccountCommand{Kind::Remove, "alice", ""}},
        {{"--user-list"}, AccountCommand{Kind::List, "", ""}},
        {{"--user-add", "alice"}, {}},
        {{"--user-add", "alice", "--role"}, {}},
        {{"--user-add", "alice", "--role", "admin", "--role", "viewer"}, {}},
        {{"--role", "admin"}, {}},
        {{"--user-del", "alice", "--role", "admin"}, {}},
        {{"--user-role", "alice"}, {}},
        {{"--user-del"}, {}},
        {{"--user-list", "--user-del", "alice"}, {}},
        {{"--user-list", "-runtime"}, {}},
    };
    for (const Case& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.args);
        EXPECT_EQ(parsed.error.empty(), c.command.has_value()) << testing::PrintToString(c.args);
        if (c.command) {
            EXPECT_EQ(parsed.account, c.command) << testing::PrintToString(c.args);
        }
    }
    EXPECT_FALSE(ParseCommandLine({"-runtime"}).account);
}

TEST(CommandLine, NewProjectOption) {
    const struct {
        std::vector<std::string> args;
        bool newProject;
        bool error;
    } cases[] = {
        {{}, false, false},
        {{"--new-project"}, true, false},
        {{"-runtime", "--new-project", "--data-root", "/srv/new"}, true, false},
        {{"--NEW-PROJECT"}, false, true},
        {{"--new-project", "--user-list"}, false, true},
    };
    for (const auto& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.args);
        EXPECT_EQ(!parsed.error.empty(), c.error) << testing::PrintToString(c.args);
        if (!c.error) {
            EXPECT_EQ(parsed.newProject, c.newProject) << testing::PrintToString(c.args);
        }
    }
    EXPECT_NE(std::string(Usage()).find("--new-project"), std::string::npos);
}
