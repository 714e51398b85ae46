#include "TemporaryFiles.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

using namespace halvane;

namespace {

bool Exists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() !=
           std::filesystem::file_type::not_found;
}

} // namespace

TEST(TemporaryFiles, TemplateAndTargetMatchExactly) {
    EXPECT_EQ(TemporaryNameTemplate("screen.3.cfg"), ".screen.3.cfg.XXXXXX");
    const struct {
        const char* name;
        const char* target;
    } cases[] = {
        {".config.cfg.Ab12Cd", "config.cfg"},
        {".screen.12.cfg.zZ09aA", "screen.12.cfg"},
        {".a.b.XXXXXX", "a.b"},
        {"..XXXXXX", ""},            // no file name
        {".config.cfg.Ab12C", ""},   // five characters
        {".config.cfg.Ab12Cde", ""}, // seven characters
        {".config.cfg.Ab-2Cd", ""},  // not a letter or digit
        {".config.cfg_Ab12Cd", ""},  // no dot before them
        {"config.cfg.Ab12Cd", ""},   // no leading dot
        {".config.cfg.", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TemporaryFileTarget(c.name), c.target) << c.name;
}

TEST(TemporaryFiles, ProjectFilesAreConfigAndNumberedScreens) {
    for (const char* name : {"config.cfg", "screen.0.cfg", "screen.7.cfg", "screen.2147483647.cfg"})
        EXPECT_TRUE(IsProjectFileName(name)) << name;
    for (const char* name : {"Config.cfg", "config.cfg.bak", "gallery.cfg", "screen..cfg",
                             "screen.01.cfg", "screen.-1.cfg", "screen.+1.cfg", "screen.1a.cfg",
                             "screen.2147483648.cfg", "screen.1.cfg.bak", "screen.1.CFG"})
        EXPECT_FALSE(IsProjectFileName(name)) << name;
}

TEST(TemporaryFiles, RemovesOnlyTheProjectFilesTemporaries) {
    TempDir dir;
    const std::vector<std::string> stale = {".config.cfg.Ab12Cd", ".screen.0.cfg.000000",
                                            ".screen.12.cfg.zzzzzz"};
    const std::vector<std::string> kept = {
        "config.cfg",
        "screen.12.cfg",
        ".config.cfg.Ab12C",
        ".config.cfg.Ab12Cde",
        ".config.cfg.Ab-2Cd",
        "config.cfg.Ab12Cd",
        ".Config.cfg.Ab12Cd",
        ".screen.01.cfg.Ab12Cd",
        ".screen.-1.cfg.Ab12Cd",
        ".gallery.cfg.Ab12Cd",
        ".screen.1.cfg.bak.Ab12Cd",
    };
    for (const auto& name : stale)
        WriteText(dir / name, "half a write");
    for (const auto& name : kept)
        WriteText(dir / name, "mine");
    // What mkstemp makes of the template is recognised.
    std::string made = (dir.Path() / TemporaryNameTemplate("screen.7.cfg")).string();
    const int fd = ::mkstemp(made.data());
    ASSERT_GE(fd, 0);
    ::close(fd);
    // Right names that are not files of ours.
    std::filesystem::create_directory(dir / ".screen.3.cfg.folder");
    std::filesystem::create_symlink(dir / "config.cfg", dir / ".config.cfg.Link01");
    std::string others;
    if (const passwd* nobody = ::getpwnam("nobody"); nobody && ::geteuid() == 0) {
        others = ".screen.4.cfg.Others";
        WriteText(dir / others, "another user's write");
        ASSERT_EQ(::chown((dir / others).c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }

    RemoveStaleTemporaryFiles(dir.Path());

    for (const auto& name : stale)
        EXPECT_FALSE(Exists(dir / name)) << name;
    EXPECT_FALSE(Exists(made));
    for (const auto& name : kept)
        EXPECT_EQ(ReadText(dir / name), "mine") << name;
    EXPECT_TRUE(std::filesystem::is_directory(dir / ".screen.3.cfg.folder"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / ".config.cfg.Link01"));
    if (!others.empty()) {
        EXPECT_TRUE(Exists(dir / others));
    }

    RemoveStaleTemporaryFiles(dir / "absent"); // a data root without its cfg folder
}
