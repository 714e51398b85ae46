#include "HistoryTestSupport.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace halvane;

namespace {

using CLogTest = HistoryTest;

} // namespace

TEST_F(CLogTest, DayFileIsNamedAfterTheLocalDate) {
    EXPECT_EQ(HistoryFile(QDate(2014, 4, 8)), m_root.Path() / "history" / "log20140408.csv");
    EXPECT_EQ(HistoryFolder(), m_root.Path() / "history");
}

TEST_F(CLogTest, MissingFolderIsCreatedAndHeaderGoesIntoTheEmptyFile) {
    CLog log(Clock());
    log.Init("\"Timestamp\"", 7);
    ASSERT_TRUE(std::filesystem::is_directory(HistoryFolder()));
    EXPECT_EQ(DayText(2014, 4, 8), "\"Timestamp\"\r\n");
    log.Write("line 1");
    log.Write("line 2");
    EXPECT_EQ(DayText(2014, 4, 8), "\"Timestamp\"\r\nline 1\r\nline 2\r\n");
}

TEST_F(CLogTest, SecondStartOnTheSameDayAppendsWithoutRepeatingTheHeader) {
    {
        CLog first(Clock());
        first.Init(R"("Timestamp","A[]")", 7);
        first.Write("a");
    }
    SetNow(2014, 4, 8, 18);
    CLog second(Clock());
    second.Init(R"("Timestamp","A[]")", 7);
    second.Write("b");
    EXPECT_EQ(DayText(2014, 4, 8), "\"Timestamp\",\"A[]\"\r\na\r\nb\r\n");
}

// Columns are matched by position: values never go on under another header than the
// file's last one, which a restart on the same day reads back.
TEST_F(CLogTest, HeaderIsWrittenAgainBeforeTheNextLineWhenTheFilesLastOneDiffers) {
    const std::string a = R"("Timestamp","A[]")";
    const std::string b = R"("Timestamp","B[]")";
    const std::string ab = R"("Timestamp","A[]","B[]")";
    struct Case {
        std::string existing;
        std::string header;
        std::string added; // by Init and one Write("x")
    };
    const Case cases[] = {
        {a + "\r\n1\r\n", a, "x\r\n"},
        {a + "\r\n1\r\n", b, b + "\r\nx\r\n"},
        {a + "\r\n1\r\n", ab, ab + "\r\nx\r\n"},
        {ab + "\r\n1,2\r\n", a, a + "\r\nx\r\n"},
        {a + "\r\n1\r\n" + b + "\r\n2\r\n", b, "x\r\n"},
        {a + "\r\n1\r\n" + b + "\r\n2\r\n", a, a + "\r\nx\r\n"},
        {b + "\n2\n", b, "x\r\n"},
        {"1\r\n2\r\n", a, a + "\r\nx\r\n"},
    };
    for (const Case& c : cases) {
        WriteText(DayFile(2014, 4, 8), c.existing);
        CLog log(Clock());
        log.Init(c.header, 7);
        EXPECT_EQ(DayText(2014, 4, 8), c.existing) << "Init alone writes nothing";
        log.Write("x");
        EXPECT_EQ(DayText(2014, 4, 8), c.existing + c.added) << c.existing << " / " << c.header;
    }
}

// The processor time of the calling thread, which other programs' load leaves alone.
std::chrono::nanoseconds ThreadTime() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Today's file may be huge, or hold no line end at all: only its end is read for the last
// header. One further back is not looked for, so the header is written again.
TEST_F(CLogTest, OnlyTheEndOfTodaysFileIsReadForItsLastHeader) {
    const std::string a = R"("Timestamp","A[]")";
    const std::string b = R"("Timestamp","B[]")";
    constexpr size_t kHole = 256 << 20; // bytes 0 without a line end, taking no disk space
    const struct {
        std::string before;
        std::string after;
        std::string added; // by Init(a) and one Write("x")
    } cases[] = {
        {"", "\n" + a + "\r\n1\r\n", "x\r\n"},
        {"", "", a + "\r\nx\r\n"},
        {a + "\r\n", "\r\n1\r\n", a + "\r\nx\r\n"},
        {a + "\r\n", "\r\n" + b + "\r\n2\r\n", a + "\r\nx\r\n"},
    };
    for (const auto& c : cases) {
        const std::filesystem::path file = DayFile(2014, 4, 8);
        WriteText(file, c.before);
        std::filesystem::resize_file(file, c.before.size() + kHole);
        std::ofstream(file, std::ios::binary | std::ios::app) << c.after;
        const auto start = ThreadTime();
        CLog log(Clock());
        log.Init(a, 7);
        log.Write("x");
        EXPECT_LT(ThreadTime() - start, std::chrono::milliseconds(500)) << c.after;
        std::ifstream in(file, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(c.before.size() + kHole + c.after.size()));
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.added) << c.after;
    }
}

TEST_F(CLogTest, NewHeaderWhileRunningGoesBeforeTheNextLineOnceAndIntoTheNextDaysFile) {
    CLog log(Clock());
    log.Init(R"("Timestamp","A[]")", 7);
    log.Write("1");
    log.SetHeader(R"("Timestamp","B[]")");
    log.SetHeader(R"("Timestamp","A[]","B[]")");
    EXPECT_EQ(DayText(2014, 4, 8), "\"Timestamp\",\"A[]\"\r\n1\r\n") << "only before a line";
    log.Write("1,2");
    log.Write("3,4");
    SetNow(2014, 4, 9, 0, 0, 1);
    log.Write("5,6");
    EXPECT_EQ(DayText(2014, 4, 8), "\"Timestamp\",\"A[]\"\r\n1\r\n"
                                   "\"Timestamp\",\"A[]\",\"B[]\"\r\n1,2\r\n3,4\r\n");
    EXPECT_EQ(DayText(2014, 4, 9), "\"Timestamp\",\"A[]\",\"B[]\"\r\n5,6\r\n");
}

TEST_F(CLogTest, FirstLineAfterMidnightOpensTheNextDaysFileWithItsHeader) {
    SetNow(2014, 4, 8, 23, 59, 58);
    CLog log(Clock());
    log.Init("H", 7);
    SetNow(2014, 4, 8, 23, 59, 59);
    log.Write("late");
    SetNow(2014, 4, 9, 0, 0, 0);
    EXPECT_FALSE(std::filesystem::exists(DayFile(2014, 4, 9))) << "opened only by a line";
    log.Write("early");
    EXPECT_EQ(DayText(2014, 4, 8), "H\r\nlate\r\n");
    EXPECT_EQ(DayText(2014, 4, 9), "H\r\nearly\r\n");
}

// A day file goes once its whole day is older than the retention: today's file and those
// of the retention's days before it stay, however old the rest is.
TEST_F(CLogTest, RetentionRemovesEveryDayFileOlderThanItAndNeverToday) {
    const QDate today(2014, 4, 8);
    const struct {
        int retention;
        QDate oldestKept; // invalid: nothing removed
    } cases[] = {
        {7, QDate(2014, 4, 1)}, {1, QDate(2014, 4, 7)}, {30, QDate(2014, 3, 9)},
        {0, QDate()},           {-3, QDate()},
    };
    for (const auto& c : cases) {
        for (QDate day(2013, 12, 1); day <= today.addDays(1); day = day.addDays(1))
            WriteText(HistoryFile(day), "old\r\n");
        WriteText(HistoryFolder() / "log2013.csv", "not a day file");
        WriteText(HistoryFolder() / "notes.txt", "mine");
        SetNow(2014, 4, 8, 9, 30);
        CLog log(Clock());
        log.Init("H", c.retention);
        for (QDate day(2013, 12, 1); day <= today.addDays(1); day = day.addDays(1)) {
            const bool removed = c.oldestKept.isValid() && day < c.oldestKept;
            EXPECT_EQ(std::filesystem::exists(HistoryFile(day)), !removed)
                << c.retention << ": " << day.toString(Qt::ISODate).toStdString();
        }
        EXPECT_EQ(DayText(2014, 4, 8), "old\r\n") << "today's file is kept as it is";
        EXPECT_TRUE(std::filesystem::exists(HistoryFolder() / "log2013.csv"));
        EXPECT_TRUE(std::filesystem::exists(HistoryFolder() / "notes.txt"));
    }
}

TEST_F(CLogTest, UnopenableFileDropsLinesUntilTheDateChanges) {
    WriteText(HistoryFolder(), "a file where the folder should be");
    CLog log(Clock());
    log.Init("H", 7);
    log.Write("dropped");
    std::filesystem::remove(HistoryFolder());
    SetNow(2014, 4, 8, 23, 0);
    log.Write("still dropped");
    EXPECT_FALSE(std::filesystem::exists(DayFile(2014, 4, 8)));
    SetNow(2014, 4, 9, 0, 1);
    log.Write("kept");
    EXPECT_EQ(DayText(2014, 4, 9), "H\r\nkept\r\n");
}

TEST_F(CLogTest, WriteWithoutInitHasNoHeaderToWrite) {
    CLog log(Clock());
    log.Write("a");
    EXPECT_EQ(DayText(2014, 4, 8), "a\r\n");
}
