#include "ProfileStore.h"
#include "NumberFormat.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace halvane;

namespace {

class ProfileStoreTest : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
    void TearDown() override { SetDecimalSeparator('.'); }
    std::filesystem::path File(const std::string& content) {
        WriteText(m_dir / "config.cfg", content);
        return m_dir / "config.cfg";
    }
    TempDir m_dir;
};

} // namespace

TEST_F(ProfileStoreTest, ReadsWithDefaultsAndConversions) {
    ProfileStore store(File("[General]\n"
                            "Number = 42 \n"
                            "Hex=0x1F\n"
                            "Dollar=$10\n"
                            "Junk=12abc\n"
                            "BoolTwo=2\n"
                            "BoolZero=0\n"
                            "BoolYes=yes\n"
                            "Float=4,5\n"
                            "FloatPoint=4.5\n"
                            "FloatEmpty=\n"
                            "Text=  spaced  text \n"
                            "Equals=a=b\n"
                            "[Other]\n"
                            "Key=other\n"));
    SetDecimalSeparator(',');
    EXPECT_EQ(store.ReadInteger("General", "Number", -1), 42);
    EXPECT_EQ(store.ReadInteger("general", "NUMBER", -1), 42);
    EXPECT_EQ(store.ReadInteger("General", "Hex", -1), 31);
    EXPECT_EQ(store.ReadInteger("General", "Dollar", -1), 16);
    EXPECT_EQ(store.ReadInteger("General", "Junk", -1), -1);
    EXPECT_EQ(store.ReadInteger("General", "Absent", 7), 7);
    EXPECT_EQ(store.ReadInteger("Absent", "Number", 7), 7);
    EXPECT_TRUE(store.ReadBool("General", "BoolTwo", false));
    EXPECT_FALSE(store.ReadBool("General", "BoolZero", true));
    EXPECT_TRUE(store.ReadBool("General", "BoolYes", true));
    EXPECT_FALSE(store.ReadBool("General", "BoolYes", false));
    EXPECT_DOUBLE_EQ(store.ReadFloat("General", "Float", 0), 4.5);
    EXPECT_DOUBLE_EQ(store.ReadFloat("General", "FloatPoint", 0), 4.5);
    EXPECT_DOUBLE_EQ(store.ReadFloat("General", "FloatEmpty", 9.5), 9.5);
    EXPECT_DOUBLE_EQ(store.ReadFloat("General", "Text", 9.5), 9.5);
    EXPECT_EQ(store.ReadString("General", "Text", ""), "spaced  text");
    EXPECT_EQ(store.ReadString("General", "Equals", ""), "a=b");
    EXPECT_EQ(store.ReadString("OTHER", "key", ""), "other");
    EXPECT_EQ(store.ReadString("General", "Key", "none"), "none");
}

TEST_F(ProfileStoreTest, WritesTypedValues) {
    ProfileStore store(m_dir / "new.cfg");
    SetDecimalSeparator(',');
    store.WriteInteger("S", "Int", -12);
    store.WriteBool("S", "On", true);
    store.WriteBool("S", "Off", false);
    store.WriteFloat("S", "Float", 0.00125);
    store.WriteFloat("S", "Big", 1.5e20);
    store.WriteString("S", "Text", "x y");
    EXPECT_EQ(ReadText(m_dir / "new.cfg"),
              "[S]\nInt=-12\nOn=1\nOff=0\nFloat=0,00125\nBig=1,5E20\nText=x y\n");
    EXPECT_DOUBLE_EQ(store.ReadFloat("S", "Float", 0), 0.00125);
}

TEST_F(ProfileStoreTest, KeepsEveryUntouchedByte) {
    const std::string original = "; plant configuration\r\n"
                                 "\r\n"
                                 "[General]\r\n"
                                 "# a hash comment\r\n"
                                 "DemoMode=0\r\n"
                                 "UnknownKey = keeps  its   spaces\r\n"
                                 "Caf\xE9=Stra\xDF"
                                 "e\r\n"
                                 "not a key line\r\n"
                                 "\r\n"
                                 "[Channel.0]\r\n"
                                 "Name=Tank \xB0"
                                 "C\r\n"
                                 "[Tail]\r\n"
                                 "Last=no newline";
    const auto file = File(original);
    {
        ProfileStore store(file);
        store.WriteString("General", "DemoMode", "0"); // same value: nothing changes
        EXPECT_EQ(ReadText(file), original);
        store.WriteBool("general", "demomode", true);
        store.WriteString("Tail", "Added", "v");
        store.WriteString("New", "Key", "1");
    }
    EXPECT_EQ(ReadText(file), "; plant configuration\r\n"
                              "\r\n"
                              "[General]\r\n"
                              "# a hash comment\r\n"
                              "DemoMode=1\r\n"
                              "UnknownKey = keeps  its   spaces\r\n"
                              "Caf\xE9=Stra\xDF"
                              "e\r\n"
                              "not a key line\r\n"
                              "\r\n"
                              "[Channel.0]\r\n"
                              "Name=Tank \xB0"
                              "C\r\n"
                              "[Tail]\r\n"
                              "Last=no newline\r\n"
                              "Added=v\r\n"
                              "\r\n"
                              "[New]\r\n"
                              "Key=1\r\n");
}

TEST_F(ProfileStoreTest, NewKeysGoAfterTheSectionsLastLine) {
    const auto file = File("[A]\nx=1\n\n[B]\ny=2\n");
    ProfileStore store(file);
    store.WriteString("A", "z", "3");
    EXPECT_EQ(ReadText(file), "[A]\nx=1\nz=3\n\n[B]\ny=2\n");
}

TEST_F(ProfileStoreTest, SectionsExistWhileTheyHoldAKey) {
    const auto file = File("[Empty]\n; only a comment\n[Full]\nk=v\n[Two]\na=1\nb=2\n");
    ProfileStore store(file);
    EXPECT_FALSE(store.SectionExists("Empty"));
    EXPECT_TRUE(store.SectionExists("full"));
    EXPECT_FALSE(store.SectionExists("Missing"));

    store.DeleteKey("Full", "K");
    EXPECT_FALSE(store.SectionExists("Full"));
    store.DeleteKey("Two", "a");
    store.DeleteKey("Two", "absent");
    EXPECT_EQ(store.ReadKeys("Two"), std::vector<std::string>{"b"});

    store.EraseSection("EMPTY");
    store.EraseSection("Missing");
    EXPECT_EQ(ReadText(file), "[Full]\n[Two]\nb=2\n");
}

TEST_F(ProfileStoreTest, EraseSectionRemovesEveryCopyOfIt) {
    const auto file = File("[A]\nk=1\n[B]\nk=2\n[a]\nk=3\n");
    ProfileStore store(file);
    EXPECT_EQ(store.ReadString("A", "k", ""), "1"); // the first copy is the one read
    store.EraseSection("A");
    EXPECT_EQ(ReadText(file), "[B]\nk=2\n");
    EXPECT_FALSE(store.SectionExists("a"));
}

TEST_F(ProfileStoreTest, WritesAtomicallyAndKeepsTheFileMode) {
    const auto file = File("[S]\nk=1\n");
    ::chmod(file.c_str(), 0640);
    ProfileStore store(file);
    store.WriteString("S", "k", "2");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // Only the file itself is in the folder: no temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 1);
}

TEST_F(ProfileStoreTest, WritesThroughASymbolicLink) {
    const auto target = File("[S]\nk=1\n");
    const auto link = m_dir / "link.cfg";
    std::filesystem::create_symlink(target, link);
    ProfileStore store(link);
    store.WriteString("S", "k", "2");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadText(target), "[S]\nk=2\n");
}

TEST_F(ProfileStoreTest, SeesExternalEdits) {
    const auto file = File("[S]\nk=1\n");
    ProfileStore store(file);
    EXPECT_EQ(store.ReadString("S", "k", ""), "1");
    WriteText(file, "[S]\nk=22\nnew=x\n"); // another size
    EXPECT_EQ(store.ReadString("S", "k", ""), "22");
    // Same size, replaced by rename as editors do: the file is a new one.
    WriteText(m_dir / "other", "[S]\nk=33\nnew=y\n");
    std::filesystem::rename(m_dir / "other", file);
    EXPECT_EQ(store.ReadString("S", "new", ""), "y");
    store.WriteString("S", "k", "4");
    EXPECT_EQ(ReadText(file), "[S]\nk=4\nnew=y\n");
}

TEST_F(ProfileStoreTest, BatchWritesTheFileOnceAtItsEnd) {
    const auto file = File("[S]\nk=1\n");
    ProfileStore store(file);
    {
        ProfileStore::Batch outer(store);
        store.WriteString("S", "a", "1");
        {
            ProfileStore::Batch inner(store);
            store.WriteString("S", "b", "2");
        }
        EXPECT_EQ(ReadText(file), "[S]\nk=1\n");
        EXPECT_EQ(store.ReadString("S", "b", ""), "2");
        EXPECT_TRUE(outer.Commit());
        EXPECT_EQ(ReadText(file), "[S]\nk=1\na=1\nb=2\n");
    }
}

TEST_F(ProfileStoreTest, AFailedWriteIsReportedAndNothingIsLost) {
    const auto file = m_dir / "missing-folder" / "config.cfg";
    ProfileStore store(file);
    EXPECT_FALSE(store.WriteString("S", "first", "1"));
    EXPECT_NE(store.LastError().find("missing-folder"), std::string::npos);
    EXPECT_EQ(store.ReadString("S", "first", ""), "1");
    std::filesystem::create_directories(file.parent_path());
    EXPECT_TRUE(store.WriteString("S", "second", "2"));
    EXPECT_EQ(store.LastError(), "");
    EXPECT_EQ(ReadText(file), "[S]\nfirst=1\nsecond=2\n");
}

TEST_F(ProfileStoreTest, ReadsFromOtherThreadsNeverSeeATornValue) {
    const std::string a(300, 'a');
    const std::string b(700, 'b');
    const auto file = File("[S]\nk=" + a + "\nfixed=42\n");
    ProfileStore store(file);
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::atomic<long> reads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&] {
            while (!stop) {
                const std::string v = store.ReadString("S", "k", "");
                if ((v != a && v != b) || store.ReadInteger("S", "fixed", 0) != 42)
                    ++bad;
                ++reads;
            }
        });
    for (int i = 0; i < 200; ++i) {
        store.WriteString("S", "k", i % 2 ? a : b);
        if (i % 50 == 0) { // an outside edit now and then: readers re-read the file
            WriteText(m_dir / "edit", "[S]\nk=" + a + "\nfixed=42\n");
            std::filesystem::rename(m_dir / "edit", file);
        }
    }
    stop = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(bad, 0);
    EXPECT_GT(reads, 0);
}

namespace {

// Runs `body` as a user who is not root, so that file modes apply: as "nobody" in a child
// process when the tests run as root, else right here. `body` returns what went wrong
// (empty when nothing did); nullopt when privileges could not be dropped.
std::optional<std::string> AsUnprivilegedUser(const std::function<std::string()>& body) {
    if (::geteuid() != 0)
        return body();
    constexpr int kCannotDrop = 3;
    const passwd* nobody = ::getpwnam("nobody");
    int channel[2];
    if (!nobody || ::pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
            ::setuid(nobody->pw_uid) != 0)
            ::_exit(kCannotDrop);
        const std::string result = body();
        [[maybe_unused]] const auto written = ::write(channel[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string result;
    char buffer[256];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<size_t>(n));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotDrop)
        return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the child process ended abnormally";
    return result;
}

} // namespace

// A file that cannot be read, or that the user may not write, is never replaced by the
// rename; once it can be read again it is read, and writes reach it.
TEST_F(ProfileStoreTest, FileThatCannotBeReadOrWrittenIsNeverReplaced) {
    struct Case {
        mode_t mode;
        const char* readBefore; // Strings/k while the mode holds
        const char* fileAfter;  // after the mode is 0644 again and one more key is written
    };
    const Case cases[] = {
        // Unreadable: reads give defaults and the refused write is not kept.
        {0000, "default", "[Strings]\nk=project\nlater=2\n"},
        // Read-only: the refused write waits in memory for the next successful one.
        {0444, "project", "[Strings]\nk=project\nrefused=1\nbatched=1\nlater=2\n"},
    };
    ::chmod(m_dir.Path().c_str(), 0777); // the folder itself is writable for everyone
    for (const Case& c : cases) {
        const std::string original = "[Strings]\nk=project\n";
        const auto file = File(original);
        if (const passwd* nobody = ::getpwnam("nobody"); nobody && ::geteuid() == 0) {
            ASSERT_EQ(::chown(file.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        }
        ::chmod(file.c_str(), c.mode);
        const auto problems = AsUnprivilegedUser([&] {
            std::string found;
            auto check = [&found](bool ok, const std::string& what) {
                if (!ok)
                    found += what + "; ";
            };
            ProfileStore store(file);
            check(store.ReadString("Strings", "k", "default") == c.readBefore, "read before");
            check(!store.WriteString("Strings", "refused", "1"), "write succeeded");
            check(store.LastError().find(file.string()) != std::string::npos,
                  "LastError: " + store.LastError());
            {
                ProfileStore::Batch batch(store);
                store.WriteString("Strings", "batched", "1");
                check(!batch.Commit(), "batch succeeded");
            }
            check(c.mode == 0000 || ReadText(file) == original, "file changed");
            ::chmod(file.c_str(), 0644); // mode only: size, time and inode stay
            check(store.ReadString("Strings", "k", "default") == "project", "read after");
            check(store.WriteString("Strings", "later", "2"), "write after: " + store.LastError());
            return found;
        });
        if (!problems)
            GTEST_SKIP() << "cannot run as a user who is not root";
        EXPECT_EQ(*problems, "") << std::oct << c.mode;
        EXPECT_EQ(ReadText(file), c.fileAfter) << std::oct << c.mode;
    }
}

TEST_F(ProfileStoreTest, FolderInPlaceOfTheFileIsNeverWrittenAndAFileThatAppearsIsRead) {
    const auto file = m_dir / "screen.1.cfg";
    std::filesystem::create_directory(file);
    ProfileStore store(file);
    EXPECT_EQ(store.ReadString("General", "Title", "default"), "default");
    EXPECT_NE(store.ReadError().find("directory"), std::string::npos) << store.ReadError();
    EXPECT_FALSE(store.WriteInteger("General", "Left", 10));
    EXPECT_NE(store.LastError().find("directory"), std::string::npos) << store.LastError();
    EXPECT_EQ(store.ReadInteger("General", "Left", -1), -1);

    std::filesystem::remove(file);
    EXPECT_EQ(store.ReadError(), ""); // nothing there to read
    WriteText(file, "[General]\nTitle=Plant\n");
    EXPECT_EQ(store.ReadString("General", "Title", "default"), "Plant");
    EXPECT_EQ(store.ReadError(), "");
    EXPECT_TRUE(store.WriteInteger("General", "Left", 20)) << store.LastError();
    EXPECT_EQ(ReadText(file), "[General]\nTitle=Plant\nLeft=20\n");
}
